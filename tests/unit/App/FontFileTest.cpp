#include "App/FontFile.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

std::string readFont() {
    std::ifstream file(KESTRUNE_FONT_SOURCE, std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    return bytes.str();
}

uint32_t be32(const std::string& b, size_t o) {
    return uint32_t(uint8_t(b[o])) << 24 | uint32_t(uint8_t(b[o + 1])) << 16 | uint32_t(uint8_t(b[o + 2])) << 8 |
           uint8_t(b[o + 3]);
}
void put16(std::string& b, size_t o, uint32_t v) {
    b[o] = char(v >> 8);
    b[o + 1] = char(v);
}
void put32(std::string& b, size_t o, uint32_t v) {
    put16(b, o, v >> 16);
    put16(b, o + 2, v & 0xFFFF);
}
// The directory record of a table (its byte offset in the file).
size_t recordOf(const std::string& b, const char* tag) {
    uint32_t count = uint32_t(uint8_t(b[4])) << 8 | uint8_t(b[5]);
    for (uint32_t i = 0; i < count; ++i)
        if (b.compare(12 + i * 16, 4, tag) == 0)
            return 12 + i * 16;
    ADD_FAILURE() << "no table " << tag;
    return 0;
}
size_t tableOf(const std::string& b, const char* tag) {
    return be32(b, recordOf(b, tag) + 8);
}

} // namespace

// The atlas builder trusts every offset of a font; a cut or damaged file is refused before it gets there.
TEST(FontFile, CutOrDamagedFontsAreRefusedWithTheReason) {
    const std::string font = readFont();
    ASSERT_GT(font.size(), 100000u) << KESTRUNE_FONT_SOURCE;
    EXPECT_EQ(fontFileProblem(font), "");

    // Cut anywhere short of its end (half of it crashed the builder).
    for (size_t k = 0; k < 32; ++k) {
        size_t size = font.size() * k / 32;
        EXPECT_NE(fontFileProblem(font.substr(0, size)), "") << "cut to " << size << " bytes";
    }

    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        const char* problem;
    };
    const Case cases[] = {
        {"not a font", [](std::string& b) { b.replace(0, 4, "GIF8"); }, "not a TrueType or OpenType font"},
        {"table past the end", [](std::string& b) { put32(b, recordOf(b, "glyf") + 8, 0xFFFFFFF0u); },
         "table 'glyf' ends past the end of the file"},
        {"required table gone", [](std::string& b) { b.replace(recordOf(b, "hhea"), 4, "xxxx"); },
         "table 'hhea' is missing"},
        {"directory longer than the file", [](std::string& b) { put16(b, 4, 0xFFFF); },
         "the table directory ends past the end"},
        {"unknown glyph index format", [](std::string& b) { put16(b, tableOf(b, "head") + 50, 7); },
         "unknown glyph index format 7"},
        {"more glyphs than the index holds", [](std::string& b) { put16(b, tableOf(b, "maxp") + 4, 0xFFFF); },
         "too short for 65535 glyphs"},
        {"glyph outside its table",
         [](std::string& b) {
             size_t loca = tableOf(b, "loca");
             bool shortIndex = (uint8_t(b[tableOf(b, "head") + 50]) << 8 | uint8_t(b[tableOf(b, "head") + 51])) == 0;
             if (shortIndex)
                 put16(b, loca + 2 * 5, 0xFFFF);
             else
                 put32(b, loca + 4 * 5, 0x7FFFFFFF);
         },
         "lies outside table 'glyf'"},
        {"character map past its table", [](std::string& b) { put32(b, tableOf(b, "cmap") + 8, 0x00FFFFFF); },
         "starts past its end"},
    };
    for (const Case& c : cases) {
        std::string damaged = font;
        c.damage(damaged);
        std::string problem = fontFileProblem(damaged);
        EXPECT_NE(problem.find(c.problem), std::string::npos) << c.what << ": \"" << problem << "\"";
    }
    EXPECT_NE(fontFileProblem(""), "");
    EXPECT_NE(fontFileProblem(std::string(4096, '\xA5')), "");
}
