#pragma once
#include <optional>
#include <string>
#include <vector>

struct CommandLine {
    bool demo = true;                    // false when any argument is exactly "SKIP_DEMO"
    std::optional<long> frames;          // --frames N: quit after N frames as Escape would
    std::optional<std::string> screenshotPath; // --screenshot PATH: PNG of the last presented frame
    std::optional<std::string> target;   // --target NAME: the body the main camera focuses at start
    std::vector<std::string> errors;     // unusable options, reported and ignored
};

CommandLine parseCommandLine(int argc, const char* const* argv);
