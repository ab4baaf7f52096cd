#include "App/CommandLine.h"

#include <cstdlib>
#include <cstring>

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
        bool hasValue = i + 1 < argc;
        if (std::strcmp(arg, "--frames") == 0) {
            if (!hasValue) {
                cl.errors.push_back("--frames needs a number");
                continue;
            }
            char* end = nullptr;
            long n = std::strtol(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0' || n < 1)
                cl.errors.push_back(std::string("--frames needs a positive number, not \"") + argv[i] + "\"");
            else
                cl.frames = n;
        } else if (std::strcmp(arg, "--screenshot") == 0) {
            if (!hasValue)
                cl.errors.push_back("--screenshot needs a file path");
            else
                cl.screenshotPath = argv[++i];
        } else if (std::strcmp(arg, "--target") == 0) {
            if (!hasValue)
                cl.errors.push_back("--target needs a body name");
            else
                cl.target = argv[++i];
        }
    }
    return cl;
}
