#pragma once
// The program's arguments. Strict, as command-line tools are: an unknown option or a malformed value is an
// error that stops the program before any window opens; "SKIP_DEMO" is accepted in any position.
#include "Demo/Scene/GraphicsQuality.h"

#include <optional>
#include <string>
#include <vector>

// --fps range: a frame of 1 ms is as fine as the frame time's resolution goes.
inline constexpr long MaxFps = 1000;
// Frames a second of a recording without --fps.
inline constexpr long DefaultRecordFps = 30;

struct CommandLine {
    bool demo = true;                          // false when any argument is exactly "SKIP_DEMO"
    bool help = false;                         // --help / -h: print the usage and stop
    bool profile = false;                      // --profile: per-pass timing table at exit
    std::optional<long> frames;                // --frames N: quit after N frames as Escape would
    std::optional<std::string> screenshotPath; // --screenshot PATH: PNG of the last presented frame
    std::optional<std::string> target;         // --target NAME: the body the main camera focuses at start
    std::optional<std::string> scriptPath;     // --script FILE: scripted input, one command a line
    std::optional<std::string> missionPath;    // --mission FILE: a mission file that replaces the built-in plan
    std::optional<std::string> recordPath;     // --record FILE: every frame into a video or a directory of PNGs
    std::optional<long> fps;                   // --fps N: fixed steps of 1/N s of real time per frame
    // --quality low|medium|high: this run's quality, over quality.txt's
    std::optional<Demo::GraphicsQuality> quality;
    std::vector<std::string> errors; // what is wrong; the program prints them with the usage
};

CommandLine parseCommandLine(int argc, const char* const* argv);

// The usage text printed with --help and after a command-line error.
std::string usageText();
