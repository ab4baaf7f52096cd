#include "App/Script.h"

#include "App/Keyboard.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <sstream>

namespace {

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return s;
}

bool parseInteger(const std::string& text, int64_t& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end;
}

bool parseNumber(const std::string& text, double& out) {
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, out);
    return ec == std::errc() && ptr == end && std::isfinite(out);
}

// Control bytes of a damaged script are shown as \xNN rather than written raw into the message.
std::string printable(const std::string& text) {
    std::string out;
    for (char ch : text) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7f) {
            static const char hex[] = "0123456789ABCDEF";
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        } else {
            out += ch;
        }
    }
    return out;
}

struct Refusal {
    std::string reason;
};

} // namespace

uint8_t virtualKeyFromName(const std::string& name) {
    std::string n = lower(name);
    if (n.size() == 1) {
        char c = n[0];
        if (c >= 'a' && c <= 'z')
            return VirtualKey::letter(c);
        if (c >= '0' && c <= '9')
            return VirtualKey::digit(c - '0');
        if (c == '.')
            return VirtualKey::Period;
        if (c == ',')
            return VirtualKey::Comma;
    }
    if (n.size() >= 2 && n[0] == 'f') {
        int64_t k = 0;
        if (parseInteger(n.substr(1), k) && k >= 1 && k <= 12)
            return uint8_t(VirtualKey::F1 + (k - 1));
    }
    static const std::pair<const char*, uint8_t> names[] = {
        {"period", VirtualKey::Period},        {"comma", VirtualKey::Comma},
        {"escape", VirtualKey::Escape},        {"esc", VirtualKey::Escape},
        {"space", VirtualKey::Space},          {"enter", VirtualKey::Return},
        {"return", VirtualKey::Return},        {"tab", VirtualKey::Tab},
        {"backspace", VirtualKey::Back},       {"shift", VirtualKey::LeftShift},
        {"leftshift", VirtualKey::LeftShift},  {"rightshift", VirtualKey::RightShift},
        {"control", VirtualKey::LeftControl},  {"ctrl", VirtualKey::LeftControl},
        {"leftcontrol", VirtualKey::LeftControl}, {"rightcontrol", VirtualKey::RightControl},
        {"alt", VirtualKey::LeftMenu},         {"minus", VirtualKey::Minus},
        {"left", VirtualKey::Left},            {"right", VirtualKey::Right},
        {"up", VirtualKey::Up},                {"down", VirtualKey::Down},
        {"insert", VirtualKey::Insert},        {"delete", VirtualKey::Delete},
        {"home", VirtualKey::Home},            {"end", VirtualKey::End},
        {"pageup", VirtualKey::PageUp},        {"pagedown", VirtualKey::PageDown},
    };
    for (const auto& [text, vk] : names)
        if (n == text)
            return vk;
    return 0;
}

ScriptParse parseScript(const std::string& text) {
    ScriptParse result;
    std::istringstream in(text);
    std::string rawLine;
    uint32_t lineNumber = 0;
    uint64_t previousFrame = 0;
    try {
        while (std::getline(in, rawLine)) {
            ++lineNumber;
            std::string line = rawLine.substr(0, rawLine.find('#'));
            std::istringstream words(line);
            std::vector<std::string> w;
            for (std::string word; words >> word;)
                w.push_back(word);
            if (w.empty())
                continue;

            auto integer = [&](size_t k, const char* what, int64_t min, int64_t max) {
                int64_t v = 0;
                if (k >= w.size())
                    throw Refusal{std::string("missing ") + what};
                if (!parseInteger(w[k], v))
                    throw Refusal{std::string(what) + " must be a whole number, not \"" + w[k] + "\""};
                if (v < min || v > max)
                    throw Refusal{std::string(what) + " " + w[k] + " is out of range [" + std::to_string(min) + ", " +
                                  std::to_string(max) + "]"};
                return v;
            };
            auto expectCount = [&](size_t n, const char* usage) {
                if (w.size() != n)
                    throw Refusal{"\"" + w[1] + "\" takes " + usage};
            };
            auto button = [&](size_t k) -> uint8_t {
                std::string b = lower(w[k]);
                if (b == "left")
                    return VirtualKey::LeftButton;
                if (b == "right")
                    return VirtualKey::RightButton;
                throw Refusal{"the mouse button must be left or right, not \"" + w[k] + "\""};
            };
            auto key = [&](size_t k) {
                uint8_t vk = virtualKeyFromName(w[k]);
                if (!vk)
                    throw Refusal{"unknown key name \"" + w[k] + "\""};
                return vk;
            };

            ScriptCommand c;
            c.line = lineNumber;
            c.frame = uint64_t(integer(0, "frame number", 1, int64_t(1) << 40));
            if (c.frame < previousFrame)
                throw Refusal{"frame " + w[0] + " comes after frame " + std::to_string(previousFrame) +
                              " (frames never decrease)"};
            previousFrame = c.frame;
            if (w.size() < 2)
                throw Refusal{"missing command after the frame number"};
            const std::string command = lower(w[1]);
            const int64_t coordinate = 1 << 20;
            if (command == "key") {
                expectCount(3, "a key name");
                c.action = ScriptAction::Key;
                c.key = key(2);
            } else if (command == "hold") {
                expectCount(4, "a key name and a number of frames");
                c.action = ScriptAction::Hold;
                c.key = key(2);
                c.frames = integer(3, "frame count", 1, 1 << 24);
            } else if (command == "move") {
                expectCount(4, "X Y");
                c.action = ScriptAction::Move;
                c.x = integer(2, "X", -coordinate, coordinate);
                c.y = integer(3, "Y", -coordinate, coordinate);
            } else if (command == "click") {
                expectCount(5, "left|right X Y");
                c.action = ScriptAction::Click;
                c.key = button(2);
                c.x = integer(3, "X", -coordinate, coordinate);
                c.y = integer(4, "Y", -coordinate, coordinate);
            } else if (command == "drag") {
                expectCount(8, "left|right X Y DX DY FRAMES");
                c.action = ScriptAction::Drag;
                c.key = button(2);
                c.x = integer(3, "X", -coordinate, coordinate);
                c.y = integer(4, "Y", -coordinate, coordinate);
                c.dx = integer(5, "DX", -coordinate, coordinate);
                c.dy = integer(6, "DY", -coordinate, coordinate);
                c.frames = integer(7, "frame count", 1, 1 << 24);
            } else if (command == "scroll") {
                expectCount(3, "a number of steps");
                c.action = ScriptAction::Scroll;
                if (!parseNumber(w[2], c.steps))
                    throw Refusal{"steps must be a number, not \"" + w[2] + "\""};
            } else if (command == "resize") {
                expectCount(4, "W H");
                c.action = ScriptAction::Resize;
                c.x = integer(2, "width", 1, 16384);
                c.y = integer(3, "height", 1, 16384);
            } else if (command == "minimize" || command == "restore" || command == "quit" || command == "status") {
                expectCount(2, "no arguments");
                c.action = command == "minimize"  ? ScriptAction::Minimize
                           : command == "restore" ? ScriptAction::Restore
                           : command == "status"  ? ScriptAction::Status
                                                  : ScriptAction::Quit;
            } else if (command == "screenshot") {
                expectCount(3, "a file path");
                c.action = ScriptAction::Screenshot;
                c.path = w[2];
            } else if (command == "record") {
                expectCount(3, "a video file, a directory or \"stop\"");
                if (lower(w[2]) == "stop") {
                    c.action = ScriptAction::RecordStop;
                } else {
                    c.action = ScriptAction::Record;
                    c.path = w[2];
                }
            } else if (command == "timestep") {
                expectCount(3, "a time step");
                c.action = ScriptAction::Timestep;
                c.timestep = uint64_t(integer(2, "time step", 0, int64_t(1) << 62));
            } else if (command == "stall") {
                expectCount(3, "a number of milliseconds");
                c.action = ScriptAction::Stall;
                c.milliseconds = uint32_t(integer(2, "milliseconds", 1, 60000));
            } else {
                throw Refusal{"unknown command \"" + w[1] + "\""};
            }
            result.commands.push_back(std::move(c));
        }
    } catch (const Refusal& refusal) {
        result.commands.clear();
        result.error = "line " + std::to_string(lineNumber) + ": " + printable(refusal.reason);
    }
    return result;
}

std::optional<uint64_t> ScriptPlayer::nextFrameOf(ScriptAction action, uint64_t from) const {
    for (const ScriptCommand& c : commands)
        if (c.action == action && c.frame >= from)
            return c.frame;
    return std::nullopt;
}

std::vector<std::string> ScriptPlayer::recordPaths() const {
    std::vector<std::string> paths;
    for (const ScriptCommand& c : commands)
        if (c.action == ScriptAction::Record)
            paths.push_back(c.path);
    return paths;
}

ScriptPlayer::ScriptPlayer(std::vector<ScriptCommand> commands_) : commands(std::move(commands_)) {}

bool ScriptPlayer::finished() const {
    if (next < commands.size() || !drags.empty())
        return false;
    for (uint64_t release : keyReleaseFrame)
        if (release > lastFrame + 1)
            return false;
    return true;
}

const ScriptFrame& ScriptPlayer::advance(uint64_t frame) {
    lastFrame = frame;
    current.hasScroll = false;
    current.scroll = 0.0;
    current.resize.reset();
    current.minimize = current.restore = current.quit = current.status = false;
    current.screenshots.clear();
    current.timestep.reset();
    current.record.reset();
    current.recordStop = false;
    current.stallMilliseconds = 0;

    auto press = [&](uint8_t vk, uint64_t frames) {
        keyReleaseFrame[vk] = std::max(keyReleaseFrame[vk], frame + uint64_t(frames));
    };
    for (; next < commands.size() && commands[next].frame <= frame; ++next) {
        const ScriptCommand& c = commands[next];
        switch (c.action) {
        case ScriptAction::Key:
            press(c.key, 1);
            break;
        case ScriptAction::Hold:
            press(c.key, uint64_t(c.frames));
            break;
        case ScriptAction::Move:
            hasCursor = true;
            cursorX = float(c.x);
            cursorY = float(c.y);
            break;
        case ScriptAction::Click:
            hasCursor = true;
            cursorX = float(c.x);
            cursorY = float(c.y);
            press(c.key, 1);
            break;
        case ScriptAction::Drag:
            hasCursor = true;
            cursorX = float(c.x);
            cursorY = float(c.y);
            drags.push_back({c.key, frame, uint64_t(c.frames), float(c.x), float(c.y), float(c.dx), float(c.dy)});
            break;
        case ScriptAction::Scroll:
            current.hasScroll = true;
            current.scroll += c.steps;
            break;
        case ScriptAction::Resize:
            current.resize = std::make_pair(int(c.x), int(c.y));
            break;
        case ScriptAction::Minimize:
            current.minimize = true;
            break;
        case ScriptAction::Restore:
            current.restore = true;
            break;
        case ScriptAction::Screenshot:
            current.screenshots.push_back(c.path);
            break;
        case ScriptAction::Timestep:
            current.timestep = c.timestep;
            break;
        case ScriptAction::Status:
            current.status = true;
            break;
        case ScriptAction::Quit:
            current.quit = true;
            break;
        case ScriptAction::Record:
            current.record = c.path;
            current.recordStop = false;
            break;
        case ScriptAction::RecordStop:
            current.record.reset();
            current.recordStop = true;
            break;
        case ScriptAction::Stall:
            current.stallMilliseconds += c.milliseconds;
            break;
        }
    }
    // A drag puts the cursor on its start first (so the press itself moves nothing), holds the button from the
    // next frame while the cursor travels the whole way in `frames` frames, and releases it one frame later.
    for (auto it = drags.begin(); it != drags.end();) {
        uint64_t elapsed = frame - it->start;
        float t = elapsed == 0 ? 0.0f : std::min(1.0f, float(elapsed - 1) / float(it->frames));
        cursorX = it->x + it->dx * t;
        cursorY = it->y + it->dy * t;
        if (elapsed > it->frames + 1) {
            it = drags.erase(it);
            continue;
        }
        if (elapsed >= 1)
            press(it->button, 1);
        ++it;
    }
    for (int vk = 0; vk < 256; ++vk)
        current.keysDown[vk] = keyReleaseFrame[vk] > frame ? 0x80 : 0x00;
    if (hasCursor) {
        current.cursor[0] = cursorX;
        current.cursor[1] = cursorY;
    }
    return current;
}
