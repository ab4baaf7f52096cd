#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) { return fileContents(path.string()); }

std::string commandOutput(const std::string& command) {
    std::string out;
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[256];
        while (fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        pclose(pipe);
    }
    return out;
}

} // namespace

// A scripted recording in fixed steps: every frame becomes a PNG, and frame 20 is the very file a screenshot at
// frame 20 of a second run of the same script gives, so recording changes nothing that is simulated or drawn.
TEST(Recording, PngFramesAreTheScreenshotsOfAnUnrecordedRun) {
    std::string dir = makeWorkDir("record-png");
    RunResult recorded = runProgram(dir, "SKIP_DEMO --target Voyager --fps 30 --frames 30", "1 record frames\n");
    EXPECT_EQ(recorded.exitCode, 0) << recorded.output;
    EXPECT_NE(recorded.output.find("Recording saved: frames (30 frames at 30 frames/s)"), std::string::npos)
        << recorded.output;
    EXPECT_EQ(validationMessageCount(recorded.output), 0) << recorded.output;
    int frames = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(dir) / "frames"))
        frames += entry.path().extension() == ".png";
    EXPECT_EQ(frames, 30);

    RunResult shot = runProgram(dir, "SKIP_DEMO --target Voyager --fps 30 --frames 20", "20 screenshot shot.png\n");
    EXPECT_EQ(shot.exitCode, 0) << shot.output;
    std::string frame20 = contents(fs::path(dir) / "frames" / "frame-00020.png");
    ASSERT_FALSE(frame20.empty());
    EXPECT_TRUE(frame20 == contents(fs::path(dir) / "shot.png"));
    EXPECT_FALSE(frame20 == contents(fs::path(dir) / "frames" / "frame-00019.png"));
}

// 60 frames at 30 frames a second are a 2 s video; a target that cannot be recorded stops the program before its
// window opens, naming it.
TEST(Recording, VideoLastsItsFramesAtItsRateAndBadTargetsStopTheStart) {
    std::string dir = makeWorkDir("record-mp4");
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 60 --record tour.mp4");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    EXPECT_FALSE(fs::exists(fs::path(dir) / "tour.mp4.part"));
    std::string duration =
        commandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + dir + "/tour.mp4'");
    EXPECT_NEAR(std::atof(duration.c_str()), 2.0, 1e-3) << duration;

    RunResult bad = runProgram(dir, "SKIP_DEMO --record tour.avi");
    EXPECT_EQ(bad.exitCode, 1) << bad.output;
    EXPECT_NE(bad.output.find("Cannot record into \"tour.avi\": unknown extension \".avi\""), std::string::npos)
        << bad.output;
    EXPECT_EQ(bad.output.find("Window:"), std::string::npos) << bad.output;
    EXPECT_FALSE(fs::exists(fs::path(dir) / "tour.avi"));
}
