#include "App/CommandLine.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

namespace {

// A whole decimal number in [1, LONG_MAX]; nothing else (no sign, no trailing text, no overflow).
std::optional<long> positiveNumber(const char* text) {
    if (!*text || *text == '-' || *text == '+' || *text == ' ')
        return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long n = std::strtol(text, &end, 10);
    if (errno == ERANGE || *end != '\0' || n < 1)
        return std::nullopt;
    return n;
}

// Digits only with one that is not 0: a whole number that positiveNumber refused for its size.
bool tooLargeNumber(const char* text) {
    bool nonZero = false;
    for (const char* c = text; *c; ++c) {
        if (*c < '0' || *c > '9')
            return false;
        nonZero |= *c != '0';
    }
    return nonZero;
}

} // namespace

CommandLine parseCommandLine(int argc, const char* const* argv) {
    CommandLine cl;
    for (int i = 0; i < argc; ++i) {
        const char* arg = argv[i];
        if (std::strcmp(arg, "SKIP_DEMO") == 0) {
            cl.demo = false;
            continue;
        }
        if (i == 0)
            continue; // the program path
        std::string option = arg;
        auto value = [&](const char* what) -> const char* {
            if (i + 1 >= argc || argv[i + 1][0] == '\0') {
                cl.errors.push_back(option + " needs " + what);
                if (i + 1 < argc)
                    ++i;
                return nullptr;
            }
            return argv[++i];
        };
        if (option == "--help" || option == "-h") {
            cl.help = true;
        } else if (option == "--profile") {
            cl.profile = true;
        } else if (option == "--frames") {
            if (const char* v = value("a number of frames")) {
                if (auto n = positiveNumber(v))
                    cl.frames = *n;
                else if (tooLargeNumber(v))
                    cl.errors.push_back("--frames " + std::string(v) + " is too large (at most " +
                                        std::to_string(LONG_MAX) + ")");
                else
                    cl.errors.push_back("--frames needs a whole number of frames of at least 1, not \"" +
                                        std::string(v) + "\"");
            }
        } else if (option == "--screenshot") {
            if (const char* v = value("a file path"))
                cl.screenshotPath = v;
        } else if (option == "--target") {
            if (const char* v = value("a body name"))
                cl.target = v;
        } else if (option == "--script") {
            if (const char* v = value("a script file"))
                cl.scriptPath = v;
        } else if (option == "--mission") {
            if (const char* v = value("a mission file"))
                cl.missionPath = v;
        } else if (option == "--record") {
            if (const char* v = value("a video file or a directory"))
                cl.recordPath = v;
        } else if (option == "--fps") {
            if (const char* v = value("a number of frames a second")) {
                auto n = positiveNumber(v);
                if (n && *n <= MaxFps)
                    cl.fps = *n;
                else
                    cl.errors.push_back("--fps needs a whole number of frames a second from 1 to " +
                                        std::to_string(MaxFps) + ", not \"" + std::string(v) + "\"");
            }
        } else if (option == "--quality") {
            if (const char* v = value("low, medium or high")) {
                if (auto q = Demo::parseQuality(v))
                    cl.quality = *q;
                else
                    cl.errors.push_back("--quality needs low, medium or high, not \"" + std::string(v) + "\"");
            }
        } else if (option.rfind("-", 0) == 0) {
            cl.errors.push_back("unknown option \"" + option + "\"");
        } else {
            cl.errors.push_back("unexpected argument \"" + option + "\"");
        }
    }
    return cl;
}

std::string usageText() {
    return "Usage: kestrune [SKIP_DEMO] [options]\n"
           "  SKIP_DEMO            start without the scripted demonstration\n"
           "  --frames N           quit after N frames, as Escape would (N >= 1)\n"
           "  --screenshot PATH    save the last frame as a PNG\n"
           "  --target NAME        focus the camera on the named body, lit side in view\n"
           "  --script FILE        drive the program from a script of input commands\n"
           "  --mission FILE       fly the mission of a mission file instead of the built-in one\n"
           "  --record FILE        record every frame: FILE.mp4 or FILE.webm (through ffmpeg) or a directory of PNGs\n"
           "  --fps N              fixed time steps of 1/N s a frame, however long frames take (default 30 when\n"
           "                       recording)\n"
           "  --quality LEVEL      low, medium or high for this run (default: quality.txt, else medium)\n"
           "  --profile            print per-pass GPU and CPU milliseconds at exit\n"
           "  --help               show this text\n";
}
