#include "Demo/Spacecraft/MissionText.h"

#include "Engine/Files/UserFile.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <limits>
#include <locale>
#include <optional>
#include <sstream>

namespace Demo {

namespace {

std::string writeMission(const MissionData& m, int precision, bool withDefaults) {
    std::ostringstream os;
    os.imbue(std::locale::classic());
    os.precision(precision);
    if (withDefaults)
        os << "// Kestrune mission: the start step, the burns, the demo's keyframes and its defaults.\n";
    os << "uint64 startTimeStep = " << m.startTimeStep << ";\n";
    os << "startData = {\n"
          "    system->computeObjectPos(craft, startTimeStep),\n"
          "    system->computeObjectVel(craft, startTimeStep),\n"
          "    startTimeStep\n"
          "};\n\n";
    for (const Maneuver& b : m.maneuvers)
        os << "scheduleManouver(" << b.time << ", " << b.burn << ", { " << b.direction.x << ", " << b.direction.y
           << ", " << b.direction.z << " }, " << b.thrust << ", " << b.continuous << ", " << b.dominantObject << ", "
           << b.rotationSpeed << ");\n";
    os << "\n";
    for (const TimestepSetting& s : m.settings)
        os << "scheduleSetting(" << s.timestep << ", " << s.timeFactor << ", false, { " << s.camDir.x << ", "
           << s.camDir.y << ", " << s.camDir.z << " }, " << s.camDistance << ", " << s.targetObject << ", "
           << s.dominantObject << ");\n";
    if (withDefaults) {
        os << "\ndefaultTimeFactor = " << m.defaultTimeFactor << ";\n";
        os << "defaultCamDir = { " << m.defaultCamDir.x << ", " << m.defaultCamDir.y << ", " << m.defaultCamDir.z
           << " };\n";
        os << "defaultCamDistance = " << m.defaultCamDistance << ";\n";
        os << "speed = " << double(m.speed) << ";\n";
    }
    return os.str();
}

// ---- Tokens -------------------------------------------------------------------------------------------------

enum class Kind { Word, Number, Punct, End };

struct Token {
    Kind kind = Kind::End;
    std::string text;
    uint32_t line = 1;
};

struct Refusal {
    uint32_t line;
    std::string reason;
};

bool isWordStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}
bool isWordChar(char c) {
    return isWordStart(c) || isDigit(c);
}

std::string shown(char c) {
    if (c >= 0x20 && c < 0x7f)
        return std::string("'") + c + "'";
    char buffer[8];
    std::snprintf(buffer, sizeof buffer, "0x%02X", unsigned(static_cast<unsigned char>(c)));
    return std::string("byte ") + buffer;
}

std::vector<Token> tokenize(const std::string& text) {
    std::vector<Token> tokens;
    uint32_t line = 1;
    const size_t n = text.size();
    size_t i = 0;
    while (i < n) {
        char c = text[i];
        if (c == '\n') {
            ++line;
            ++i;
        } else if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
        } else if (c == '/' && i + 1 < n && text[i + 1] == '/') {
            while (i < n && text[i] != '\n')
                ++i;
        } else if (isWordStart(c)) {
            size_t start = i;
            while (i < n && isWordChar(text[i]))
                ++i;
            tokens.push_back({Kind::Word, text.substr(start, i - start), line});
        } else if (c == '-' && i + 1 < n && text[i + 1] == '>') {
            tokens.push_back({Kind::Punct, "->", line});
            i += 2;
        } else if (isDigit(c) || c == '.' || c == '-' || c == '+') {
            // A number as the stream writes it: sign, digits, point, exponent with its own sign.
            size_t start = i++;
            while (i < n && (isWordChar(text[i]) || text[i] == '.' ||
                             ((text[i] == '+' || text[i] == '-') && (text[i - 1] == 'e' || text[i - 1] == 'E'))))
                ++i;
            tokens.push_back({Kind::Number, text.substr(start, i - start), line});
        } else if (std::strchr("(){},;=", c) && c != '\0') {
            tokens.push_back({Kind::Punct, std::string(1, c), line});
            ++i;
        } else {
            throw Refusal{line, "unexpected character " + shown(c)};
        }
    }
    tokens.push_back({Kind::End, "", line});
    return tokens;
}

std::string shortNumber(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%g", v);
    return buffer;
}

std::string describe(const Token& t) {
    return t.kind == Kind::End ? std::string("the end of the text") : "\"" + t.text + "\"";
}

// ---- Statements ---------------------------------------------------------------------------------------------

class Parser {
public:
    explicit Parser(const std::vector<Token>& tokens_) : tokens(tokens_) {}

    const Token& peek() const { return tokens[k]; }
    const Token& take() {
        const Token& t = tokens[k];
        if (t.kind != Kind::End)
            ++k;
        return t;
    }
    void expect(const char* text, const std::string& where) {
        const Token& t = take();
        if ((t.kind != Kind::Punct && t.kind != Kind::Word) || t.text != text)
            throw Refusal{t.line, "expected '" + std::string(text) + "' " + where + ", found " + describe(t)};
    }

    // A time step or a length in time steps: digits only.
    uint64_t whole(const std::string& what) {
        const Token& t = take();
        if (t.kind != Kind::Number && t.kind != Kind::Word)
            throw Refusal{t.line, "expected " + what + ", found " + describe(t)};
        const std::string& s = t.text;
        if (!s.empty() && s[0] == '-')
            throw Refusal{t.line, what + " " + s + " is negative"};
        uint64_t v = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (ec == std::errc::result_out_of_range)
            throw Refusal{t.line, what + " " + s + " is too large"};
        if (ec != std::errc() || end != s.data() + s.size())
            throw Refusal{t.line, what + " must be a whole number of time steps, not \"" + s + "\""};
        return v;
    }

    int32_t index(const std::string& what) {
        const Token& t = take();
        const std::string& s = t.text;
        int32_t v = 0;
        auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
        if (t.kind != Kind::Number || ec != std::errc() || end != s.data() + s.size())
            throw Refusal{t.line, what + " must be a whole number, not " + describe(t)};
        return v;
    }

    double number(const std::string& what) {
        const Token& t = take();
        if (t.kind == Kind::Word && (t.text == "inf" || t.text == "nan" || t.text == "infinity" ||
                                     t.text == "INF" || t.text == "NAN" || t.text == "Infinity"))
            throw Refusal{t.line, what + " is not a finite number (" + t.text + ")"};
        if (t.kind != Kind::Number)
            throw Refusal{t.line, "expected " + what + ", found " + describe(t)};
        const char* first = t.text.data();
        const char* last = first + t.text.size();
        if (last - first > 1 && *first == '+' && first[1] != '-' && first[1] != '+')
            ++first;
        double v = 0.0;
        auto [end, ec] = std::from_chars(first, last, v);
        if (ec == std::errc::result_out_of_range)
            throw Refusal{t.line, what + " " + t.text + " is out of the range of a double"};
        if (ec != std::errc() || end != last)
            throw Refusal{t.line, what + " must be a number, not \"" + t.text + "\""};
        if (!std::isfinite(v))
            throw Refusal{t.line, what + " is not a finite number (" + t.text + ")"};
        return v;
    }

    // A number within [low, high], refused naming the range.
    double ranged(const std::string& what, double low, double high) {
        const Token& t = peek();
        uint32_t line = t.line;
        std::string text = t.text;
        double v = number(what);
        if (v < low || v > high)
            throw Refusal{line, what + " " + text + " is out of range [" + shortNumber(low) + ", " +
                                    shortNumber(high) + "]"};
        return v;
    }

    // The ranges of 32-bit fields lie well inside a float's.
    float single(const std::string& what, double low, double high) { return float(ranged(what, low, high)); }

    bool flag(const std::string& what) {
        const Token& t = take();
        if (t.text == "1" || t.text == "true")
            return true;
        if (t.text == "0" || t.text == "false")
            return false;
        throw Refusal{t.line, what + " must be 0, 1, true or false, not " + describe(t)};
    }

    Vec3d triple(const std::string& what) {
        const double w = MissionRange::Weight;
        expect("{", "to open " + what);
        Vec3d v;
        v.x = ranged(what + " (first value)", -w, w);
        expect(",", "after the first value of " + what);
        v.y = ranged(what + " (second value)", -w, w);
        expect(",", "after the second value of " + what);
        v.z = ranged(what + " (third value)", -w, w);
        expect("}", "to close " + what);
        return v;
    }

private:
    const std::vector<Token>& tokens;
    size_t k = 0;
};

// Refuses a second assignment of the same value.
struct Once {
    const char* what;
    std::optional<uint32_t> line;
    void mark(uint32_t at) {
        if (line)
            throw Refusal{at, std::string(what) + " is given twice (first on line " + std::to_string(*line) + ")"};
        line = at;
    }
};

void parseStatements(Parser& p, MissionParse& out) {
    MissionData& m = out.mission;
    Once start{"the start time step", {}}, startData{"the startData block", {}}, factor{"defaultTimeFactor", {}},
        dir{"defaultCamDir", {}}, distance{"defaultCamDistance", {}}, speed{"speed", {}};
    while (p.peek().kind != Kind::End) {
        const Token head = p.take();
        if (head.kind != Kind::Word)
            throw Refusal{head.line, "expected a statement, found " + describe(head)};
        const std::string& name = head.text;
        if (name == "uint64") {
            p.expect("startTimeStep", "after uint64");
            start.mark(head.line);
            p.expect("=", "after startTimeStep");
            m.startTimeStep = p.whole("the start time step");
            p.expect(";", "after the start time step");
        } else if (name == "startData") {
            startData.mark(head.line);
            // The start state is always the craft on its orbit at the start step: the block is fixed text.
            static const char* const block[] = {
                "=",      "{",        "system",           "->", "computeObjectPos", "(",     "craft",
                ",",      "startTimeStep", ")",           ",",  "system",           "->",    "computeObjectVel",
                "(",      "craft",    ",",                "startTimeStep",          ")",     ",",
                "startTimeStep",      "}",                ";"};
            for (const char* word : block)
                p.expect(word, "in the startData block (it always starts the craft on its orbit at startTimeStep)");
        } else if (name == "scheduleManouver") {
            Maneuver b;
            p.expect("(", "after scheduleManouver");
            b.time = p.whole("the burn's time step");
            p.expect(",", "after the burn's time step");
            const uint32_t burnLine = p.peek().line;
            b.burn = p.whole("the burn length");
            p.expect(",", "after the burn length");
            b.direction = p.triple("the burn direction { P, N, R }");
            p.expect(",", "after the burn direction");
            b.thrust = p.ranged("the thrust", -MissionRange::Thrust, MissionRange::Thrust);
            p.expect(",", "after the thrust");
            b.continuous = p.flag("continuous");
            p.expect(",", "after continuous");
            b.dominantObject = p.index("the dominant body index");
            p.expect(",", "after the dominant body index");
            b.rotationSpeed = p.single("the rotation speed", -MissionRange::RotationSpeed, MissionRange::RotationSpeed);
            p.expect(")", "after the rotation speed");
            p.expect(";", "after scheduleManouver(...)");
            if (b.burn > std::numeric_limits<uint64_t>::max() - b.time)
                throw Refusal{burnLine, "the burn ends past the last time step"};
            if (m.maneuvers.size() >= MaxMissionEntries)
                throw Refusal{head.line, "more than " + std::to_string(MaxMissionEntries) + " manoeuvres"};
            m.maneuvers.push_back(b);
            out.maneuverLines.push_back(head.line);
        } else if (name == "scheduleSetting") {
            TimestepSetting s;
            p.expect("(", "after scheduleSetting");
            s.timestep = p.whole("the setting's time step");
            p.expect(",", "after the setting's time step");
            s.timeFactor = p.ranged("the time factor", 0.0, MissionRange::TimeFactor);
            p.expect(",", "after the time factor");
            p.flag("the third argument");
            p.expect(",", "after the third argument");
            s.camDir = p.triple("the camera direction { P, N, R }");
            p.expect(",", "after the camera direction");
            s.camDistance = p.ranged("the camera distance", 0.0, MissionRange::CamDistance);
            p.expect(",", "after the camera distance");
            s.targetObject = p.index("the target body index");
            p.expect(",", "after the target body index");
            s.dominantObject = p.index("the dominant body index");
            p.expect(")", "after the dominant body index");
            p.expect(";", "after scheduleSetting(...)");
            if (m.settings.size() >= MaxMissionEntries)
                throw Refusal{head.line, "more than " + std::to_string(MaxMissionEntries) + " timestep settings"};
            m.settings.push_back(s);
            out.settingLines.push_back(head.line);
        } else if (name == "defaultTimeFactor" || name == "defaultCamDistance" || name == "speed") {
            (name == "speed" ? speed : name == "defaultTimeFactor" ? factor : distance).mark(head.line);
            p.expect("=", "after " + name);
            if (name == "speed")
                m.speed = p.single("speed", 0.0, MissionRange::Speed);
            else if (name == "defaultTimeFactor")
                m.defaultTimeFactor = p.ranged(name, 0.0, MissionRange::TimeFactor);
            else
                m.defaultCamDistance = p.ranged(name, 0.0, MissionRange::CamDistance);
            p.expect(";", "after the value of " + name);
        } else if (name == "defaultCamDir") {
            dir.mark(head.line);
            p.expect("=", "after defaultCamDir");
            m.defaultCamDir = p.triple("defaultCamDir");
            p.expect(";", "after defaultCamDir");
        } else {
            throw Refusal{head.line, "unknown statement \"" + name + "\""};
        }
    }
}

std::string bodyError(uint32_t line, const std::string& what, int32_t index, size_t bodyCount) {
    return "line " + std::to_string(line) + ": unknown body index " + std::to_string(index) + " for " + what +
           " (-1 or 0 to " + std::to_string(bodyCount > 0 ? bodyCount - 1 : 0) + ")";
}

} // namespace

std::string missionClipboardText(const MissionData& mission) {
    return writeMission(mission, 6, false);
}

std::string missionFileText(const MissionData& mission) {
    return writeMission(mission, 17, true);
}

MissionParse parseMissionText(const std::string& text, const MissionData& base) {
    MissionParse out;
    out.mission = base;
    out.mission.maneuvers.clear();
    out.mission.settings.clear();
    try {
        std::vector<Token> tokens = tokenize(text);
        Parser parser(tokens);
        parseStatements(parser, out);
    } catch (const Refusal& refusal) {
        out.mission = base;
        out.maneuverLines.clear();
        out.settingLines.clear();
        out.error = "line " + std::to_string(refusal.line) + ": " + refusal.reason;
    }
    return out;
}

std::string checkMissionBodies(const MissionParse& parse, size_t bodyCount) {
    auto known = [bodyCount](int32_t i) { return i == -1 || (i >= 0 && size_t(i) < bodyCount); };
    for (size_t k = 0; k < parse.mission.maneuvers.size() && k < parse.maneuverLines.size(); ++k) {
        int32_t i = parse.mission.maneuvers[k].dominantObject;
        if (!known(i))
            return bodyError(parse.maneuverLines[k], "the burn's dominant body", i, bodyCount);
    }
    for (size_t k = 0; k < parse.mission.settings.size() && k < parse.settingLines.size(); ++k) {
        const TimestepSetting& s = parse.mission.settings[k];
        if (!known(s.targetObject))
            return bodyError(parse.settingLines[k], "the camera target", s.targetObject, bodyCount);
        if (!known(s.dominantObject))
            return bodyError(parse.settingLines[k], "the camera's dominant body", s.dominantObject, bodyCount);
    }
    return {};
}

bool readMissionFile(const std::string& path, std::string& text, std::string& error) {
    UserFile file = readUserFile(path, MaxMissionFileBytes);
    if (!file.ok()) {
        error = file.reason();
        return false;
    }
    text = std::move(file.bytes);
    return true;
}

bool writeMissionFile(const std::string& path, const std::string& text, std::string& error) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "cannot be opened for writing";
        return false;
    }
    file.write(text.data(), std::streamsize(text.size()));
    file.close();
    if (!file) {
        error = "could not be written completely";
        return false;
    }
    return true;
}

MissionParse parseMission(const std::string& text, const MissionData& base, size_t bodyCount) {
    MissionParse parse = parseMissionText(text, base);
    if (parse.ok()) {
        std::string error = checkMissionBodies(parse, bodyCount);
        if (!error.empty()) {
            parse.mission = base;
            parse.error = error;
        }
    }
    return parse;
}

} // namespace Demo
