#include "E2eSupport.h"

#include <gtest/gtest.h>

TEST(Faults, MissingVulkanDriverStopsWithAClearMessage) {
    std::string dir = makeWorkDir("nodriver");
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 5", {}, "VK_ICD_FILENAMES=/nonexistent/icd.json");
    EXPECT_EQ(r.exitCode, 1) << r.output; // a reported failure, not a crash
    EXPECT_NE(r.output.find("ERROR: Unable to create the Vulkan instance"), std::string::npos) << r.output;
}

// A malformed script is refused as a whole before any window opens, naming the line and what is wrong (the
// parser's case table holds the other faults).
TEST(Faults, MalformedScriptIsRefusedNamingTheLine) {
    RunResult r = runProgram(makeWorkDir("badscript"), "SKIP_DEMO --frames 5", "# ok\n2 hold M -3\n");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("line 2: frame count -3 is out of range"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("vkCreateInstance"), std::string::npos) << "no window opens\n" << r.output;
}

// A mistyped command line stops with what is wrong and the usage, exit code 2, before any window opens; --help
// prints the usage and exits 0 (the parser's case table holds the other faults).
TEST(Faults, MalformedCommandLineStopsWithUsage) {
    std::string dir = makeWorkDir("badargs");
    RunResult r = runProgram(dir, "--frames -1");
    EXPECT_EQ(r.exitCode, 2) << r.output;
    EXPECT_NE(r.output.find("--frames needs a whole number of frames of at least 1, not \"-1\""), std::string::npos)
        << r.output;
    EXPECT_NE(r.output.find("Usage: kestrune"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("vkCreateInstance"), std::string::npos) << r.output;
    RunResult help = runProgram(dir, "--help");
    EXPECT_EQ(help.exitCode, 0) << help.output;
    EXPECT_NE(help.output.find("--script FILE"), std::string::npos) << help.output;
}
