#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <ctime>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    return fileContents(path.string());
}

} // namespace

// A stored window position off the screen that the file could hold for another monitor set-up is moved onto the
// monitor with a note, so the window opens where it can be grabbed (one no desktop has is a config file fault).
TEST(WindowAndScreenshots, StoredPositionOffTheScreenOpensTheWindowOnIt) {
    std::string dir = makeWorkDir("position");
    writeConfig(dir, 0, 10000, -9000);
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 2");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_NE(r.output.find("Window position 10000, -9000 is off every monitor; placed at "), std::string::npos)
        << r.output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.output, m, std::regex(R"(Window: windowed \d+ x \d+ at \((-?\d+), (-?\d+)\))")))
        << r.output;
    // The title bar's corner lies on the 1920 x 1080 screen.
    int x = std::stoi(m[1]), y = std::stoi(m[2]);
    EXPECT_TRUE(x >= 0 && x + 100 <= 1920 && y >= 0 && y + 50 <= 1080) << x << ", " << y;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

// While the window is unmapped the program renders nothing (the simulation goes on every 20 ms); a shot asked for
// then is taken from the first frame after the window is back. --profile counts the rendered frames: 4 before the
// window is hidden in frame 5, 6 after it is shown again in frame 35.
TEST(WindowAndScreenshots, UnmappedWindowIsNotRenderedAndItsShotWaitsForTheWindow) {
    std::string dir = makeWorkDir("unmapped");
    writeConfig(dir, 0, 50, 50); // windowed: without a window manager only a windowed window can be hidden
    RunResult r = runProgram(dir, "SKIP_DEMO --profile", R"(
5 minimize
10 screenshot hidden.png
35 restore
40 quit
)");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    std::smatch m;
    ASSERT_TRUE(std::regex_search(r.output, m, std::regex(R"(medians over the last (\d+) frames)"))) << r.output;
    EXPECT_EQ(std::stoi(m[1]), 10) << r.output;
    EXPECT_NE(r.output.find("Screenshot saved: hidden.png"), std::string::npos) << r.output;
    Picture shot;
    ASSERT_TRUE(shot.load(dir + "/hidden.png"));
    EXPECT_GT(shot.meanLuma(0, 0, shot.width, shot.height), 1.0) << "a rendered frame, not an empty image";
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

// Every F12 press writes a new file, also for presses two frames apart (three frames in flight) and in the same
// second. Every timestamped name the run could use already exists (another instance in the same directory): none
// of them is touched; each shot is numbered instead. A scripted shot in the same frame as a press gets its own file.
TEST(WindowAndScreenshots, EveryF12PressWritesItsOwnFileAndNoOtherFileIsReplaced) {
    std::string dir = makeWorkDir("f12");
    std::set<std::string> taken;
    std::time_t now = std::time(nullptr);
    for (int s = 0; s < 900; ++s) {
        std::time_t t = now + s;
        std::tm local = *std::localtime(&t);
        char name[64];
        std::strftime(name, sizeof name, "screenshot-%Y%m%d-%H%M%S.png", &local);
        std::ofstream(fs::path(dir) / name) << "another instance";
        taken.insert(name);
    }
    RunResult r = runProgram(dir, "SKIP_DEMO", R"(
5 key F12
7 key F12
9 key F12
9 screenshot scripted.png
11 key F12
14 quit
)");
    const int presses = 4;
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(countOccurrences(r.output, "Screenshot saved: "), presses + 1) << r.output;
    EXPECT_EQ(countOccurrences(r.output, "Unable to write screenshot"), 0) << r.output;
    int shots = 0;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::string name = entry.path().filename().string();
        if (taken.count(name)) {
            EXPECT_EQ(contents(entry.path()), "another instance") << name;
        } else if (entry.path().extension() == ".png" && name != "scripted.png") {
            ++shots;
            EXPECT_NE(r.output.find("Screenshot saved: " + name), std::string::npos) << name;
            Picture picture;
            EXPECT_TRUE(picture.load(entry.path().string())) << name;
        }
    }
    EXPECT_EQ(shots, presses);
    EXPECT_TRUE(fs::exists(fs::path(dir) / "scripted.png"));
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}

// A requested screenshot that cannot be written is reported and ends the run, after a normal shutdown, with exit
// code 1; a shot asked for with no frame rendered after it (the window hidden until the end) as well.
TEST(WindowAndScreenshots, ScreenshotThatCannotBeWrittenFailsTheRun) {
    std::string dir = makeWorkDir("shotfails");
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 3 --screenshot missing-dir/shot.png");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("Unable to write screenshot missing-dir/shot.png"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("Screenshot saved"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("GLFW error"), std::string::npos) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;

    writeConfig(dir, 0, 50, 50);
    r = runProgram(dir, "SKIP_DEMO", "3 minimize\n5 screenshot never.png\n8 quit\n");
    EXPECT_EQ(r.exitCode, 1) << r.output;
    EXPECT_NE(r.output.find("Unable to write screenshot never.png: no frame was rendered"), std::string::npos)
        << r.output;
    EXPECT_FALSE(fs::exists(fs::path(dir) / "never.png"));
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
}
