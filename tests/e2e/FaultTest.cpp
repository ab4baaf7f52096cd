#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

TEST(Faults, MissingVulkanDriverStopsWithAClearMessage) {
    std::string dir = makeWorkDir("nodriver");
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 5", {}, "VK_ICD_FILENAMES=/nonexistent/icd.json");
    EXPECT_EQ(r.exitCode, 1) << r.output; // a reported failure, not a crash
    EXPECT_NE(r.output.find("ERROR: Unable to create the Vulkan instance"), std::string::npos) << r.output;
}

TEST(Faults, CorruptConfigFileFallsBackToDefaults) {
    std::string dir = makeWorkDir("badconfig");
    std::ofstream(std::filesystem::path(dir) / "config.gcfg", std::ios::binary) << "garbage"; // 7 bytes
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 5");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("config.gcfg has 7 bytes"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

TEST(Faults, WindowedConfigRestartsWindowedAtItsPosition) {
    std::string dir = makeWorkDir("windowed");
    writeConfig(dir, 0, 200, 100);
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 3");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    // The stored size is never used: windowed restarts at 1920 x 1080.
    EXPECT_NE(r.output.find("Window: windowed 1920 x 1080 at (200, 100)"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

// Every malformed script is refused as a whole before any window opens, naming the line and what is wrong.
TEST(Faults, MalformedScriptsAreRefusedNamingTheLine) {
    struct Case {
        const char* script;
        const char* message;
    };
    const Case cases[] = {
        {"1 key\n", "line 1: \"key\" takes a key name"},
        {"# ok\n2 hold M -3\n", "line 2: frame count -3 is out of range"},
        {"1 resize 0 x\n", "line 1: width 0 is out of range"},
        {"5 key U\n3 key U\n", "line 2: frame 3 comes after frame 5"},
        {"1 jump 3\n", "line 1: unknown command \"jump\""},
        {"1 key Hyper\n", "line 1: unknown key name \"Hyper\""},
        {"x key U\n", "line 1: frame number must be a whole number"},
    };
    std::string dir = makeWorkDir("badscript");
    for (const Case& c : cases) {
        RunResult r = runProgram(dir, "SKIP_DEMO --frames 5", c.script);
        EXPECT_EQ(r.exitCode, 1) << c.script << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.script << r.output;
        EXPECT_EQ(r.output.find("vkCreateInstance"), std::string::npos) << "no window opens\n" << r.output;
    }
}

// A mistyped command line stops with what is wrong and the usage, exit code 2, before any window opens.
TEST(Faults, MalformedCommandLinesStopWithUsage) {
    struct Case {
        const char* arguments;
        const char* message;
    };
    const Case cases[] = {
        {"--frames -1", "--frames needs a whole number of frames of at least 1, not \"-1\""},
        {"--frames abc", "not \"abc\""},
        {"--frames 0", "not \"0\""},
        {"--frames", "--frames needs a number of frames"},
        {"--bogus", "unknown option \"--bogus\""},
        {"SKIP_DEMO extra", "unexpected argument \"extra\""},
        {"--screenshot", "--screenshot needs a file path"},
    };
    std::string dir = makeWorkDir("badargs");
    for (const Case& c : cases) {
        RunResult r = runProgram(dir, c.arguments);
        EXPECT_EQ(r.exitCode, 2) << c.arguments << "\n" << r.output;
        EXPECT_NE(r.output.find(c.message), std::string::npos) << c.arguments << "\n" << r.output;
        EXPECT_NE(r.output.find("Usage: kestrune"), std::string::npos) << r.output;
        EXPECT_EQ(r.output.find("vkCreateInstance"), std::string::npos) << r.output;
    }
    RunResult help = runProgram(dir, "--help");
    EXPECT_EQ(help.exitCode, 0) << help.output;
    EXPECT_NE(help.output.find("--script FILE"), std::string::npos) << help.output;
}
