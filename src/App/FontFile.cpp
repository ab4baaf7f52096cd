#include "App/FontFile.h"

#include <cstdint>

namespace {

struct Reader {
    const std::string& bytes;
    bool has(uint64_t offset, uint64_t length) const {
        return offset <= bytes.size() && length <= bytes.size() - offset;
    }
    uint32_t u8(uint64_t o) const { return static_cast<unsigned char>(bytes[size_t(o)]); }
    uint32_t u16(uint64_t o) const { return (u8(o) << 8) | u8(o + 1); }
    uint32_t u32(uint64_t o) const { return (u16(o) << 16) | u16(o + 2); }
};

struct Table {
    uint64_t offset = 0, length = 0;
    bool present = false;
};

std::string tagText(uint32_t tag) {
    std::string t;
    for (int shift = 24; shift >= 0; shift -= 8) {
        char c = char((tag >> shift) & 0xFF);
        t += (c >= 0x20 && c < 0x7f) ? c : '?';
    }
    return "'" + t + "'";
}

constexpr uint32_t tag(const char (&t)[5]) {
    return uint32_t(uint8_t(t[0])) << 24 | uint32_t(uint8_t(t[1])) << 16 | uint32_t(uint8_t(t[2])) << 8 |
           uint32_t(uint8_t(t[3]));
}

std::string cmapProblem(const Reader& r, const Table& cmap) {
    if (cmap.length < 4)
        return "table 'cmap' is too short";
    uint32_t count = r.u16(cmap.offset + 2);
    if (4 + uint64_t(count) * 8 > cmap.length)
        return "table 'cmap' lists more encodings than it holds";
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t sub = r.u32(cmap.offset + 4 + uint64_t(i) * 8 + 4);
        if (sub + 4 > cmap.length)
            return "a character map of table 'cmap' starts past its end";
        uint64_t at = cmap.offset + sub;
        uint32_t format = r.u16(at);
        uint64_t length = 0, needed = 0;
        if (format == 0 || format == 4 || format == 6) {
            length = r.u16(at + 2);
            if (format == 0)
                needed = 6 + 256;
            else if (format == 4)
                needed = sub + 14 <= cmap.length ? 16 + 4 * uint64_t(r.u16(at + 6)) : 14;
            else
                needed = sub + 10 <= cmap.length ? 10 + 2 * uint64_t(r.u16(at + 8)) : 10;
        } else if (format == 12 || format == 13) {
            if (sub + 16 > cmap.length)
                return "a character map of table 'cmap' ends past its end";
            length = r.u32(at + 4);
            needed = 16 + 12 * uint64_t(r.u32(at + 12));
        } else {
            continue; // formats the builder does not read
        }
        if (length < needed || sub + length > cmap.length)
            return "a character map of table 'cmap' (format " + std::to_string(format) + ") ends past its end";
    }
    return {};
}

} // namespace

std::string fontFileProblem(const std::string& bytes) {
    Reader r{bytes};
    if (!r.has(0, 12))
        return "not a TrueType or OpenType font (too short)";
    uint64_t face = 0;
    if (r.u32(0) == tag("ttcf")) {
        if (!r.has(0, 16) || r.u32(8) == 0)
            return "a font collection without a font";
        face = r.u32(12);
        if (!r.has(face, 12))
            return "the first font of the collection starts past the end of the file";
    }
    uint32_t version = r.u32(face);
    if (version != 0x00010000u && version != tag("true") && version != tag("OTTO"))
        return "not a TrueType or OpenType font";
    uint32_t count = r.u16(face + 4);
    if (!r.has(face + 12, uint64_t(count) * 16))
        return "the table directory ends past the end of the file";

    Table cmap, head, hhea, hmtx, maxp, loca, glyf, cff;
    struct Named {
        uint32_t tag;
        Table* table;
    } named[] = {{tag("cmap"), &cmap}, {tag("head"), &head}, {tag("hhea"), &hhea}, {tag("hmtx"), &hmtx},
                 {tag("maxp"), &maxp}, {tag("loca"), &loca}, {tag("glyf"), &glyf}, {tag("CFF "), &cff}};
    for (uint32_t i = 0; i < count; ++i) {
        uint64_t record = face + 12 + uint64_t(i) * 16;
        uint32_t t = r.u32(record);
        Table table{r.u32(record + 8), r.u32(record + 12), true};
        if (!r.has(table.offset, table.length))
            return "table " + tagText(t) + " ends past the end of the file";
        for (Named& n : named)
            if (n.tag == t)
                *n.table = table;
    }
    for (const Named& n : named) {
        bool outline = n.table == &loca || n.table == &glyf || n.table == &cff;
        if (!outline && !n.table->present)
            return "table " + tagText(n.tag) + " is missing";
    }
    if (!cff.present && !(glyf.present && loca.present))
        return "no glyph outlines (neither 'glyf' with 'loca' nor 'CFF ')";
    if (head.length < 54)
        return "table 'head' is too short";
    if (hhea.length < 36)
        return "table 'hhea' is too short";
    if (maxp.length < 6)
        return "table 'maxp' is too short";
    uint64_t glyphs = r.u16(maxp.offset + 4);
    uint64_t metrics = r.u16(hhea.offset + 34);
    if (metrics == 0 || metrics > glyphs)
        return "table 'hhea' gives " + std::to_string(metrics) + " metrics for " + std::to_string(glyphs) + " glyphs";
    if (hmtx.length < metrics * 4 + (glyphs - metrics) * 2)
        return "table 'hmtx' is too short for " + std::to_string(glyphs) + " glyphs";
    if (std::string problem = cmapProblem(r, cmap); !problem.empty())
        return problem;

    if (glyf.present && loca.present) {
        uint32_t format = r.u16(head.offset + 50);
        if (format > 1)
            return "table 'head' gives an unknown glyph index format " + std::to_string(format);
        uint64_t entry = format == 0 ? 2 : 4;
        if (loca.length < (glyphs + 1) * entry)
            return "table 'loca' is too short for " + std::to_string(glyphs) + " glyphs";
        uint64_t previous = 0;
        for (uint64_t g = 0; g <= glyphs; ++g) {
            uint64_t at = loca.offset + g * entry;
            uint64_t offset = format == 0 ? uint64_t(r.u16(at)) * 2 : r.u32(at);
            if (offset < previous || offset > glyf.length)
                return "glyph " + std::to_string(g) + " lies outside table 'glyf'";
            previous = offset;
        }
    }
    return {};
}
