#include "E2eSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    return fileContents(path.string());
}

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

// A scripted recording in fixed steps: every frame becomes a PNG, and frame 10 is the very file a screenshot at
// frame 10 of a second run of the same script gives, so recording changes nothing that is simulated or drawn.
TEST(Recording, PngFramesAreTheScreenshotsOfAnUnrecordedRun) {
    std::string dir = makeWorkDir("record-png");
    RunResult recorded = runProgram(dir, "SKIP_DEMO --target Voyager --fps 30 --frames 12", "1 record frames\n");
    EXPECT_EQ(recorded.exitCode, 0) << recorded.output;
    EXPECT_NE(recorded.output.find("Recording saved: frames (12 frames at 30 frames/s)"), std::string::npos)
        << recorded.output;
    EXPECT_EQ(validationMessageCount(recorded.output), 0) << recorded.output;
    int frames = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(dir) / "frames"))
        frames += entry.path().extension() == ".png";
    EXPECT_EQ(frames, 12);

    RunResult shot = runProgram(dir, "SKIP_DEMO --target Voyager --fps 30 --frames 10", "10 screenshot shot.png\n");
    EXPECT_EQ(shot.exitCode, 0) << shot.output;
    std::string frame10 = contents(fs::path(dir) / "frames" / "frame-00010.png");
    ASSERT_FALSE(frame10.empty());
    EXPECT_TRUE(frame10 == contents(fs::path(dir) / "shot.png"));
    EXPECT_FALSE(frame10 == contents(fs::path(dir) / "frames" / "frame-00009.png"));
}

// 30 frames at 30 frames a second are a 1 s video, put in place only when complete (the recorder tests hold the
// targets that cannot be recorded).
TEST(Recording, VideoLastsItsFramesAtItsRate) {
    std::string dir = makeWorkDir("record-mp4");
    RunResult r = runProgram(dir, "SKIP_DEMO --frames 30 --record tour.mp4");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_EQ(validationMessageCount(r.output), 0) << r.output;
    EXPECT_FALSE(fs::exists(fs::path(dir) / "tour.mp4.part"));
    std::string duration =
        commandOutput("ffprobe -v error -show_entries format=duration -of csv=p=0 '" + dir + "/tour.mp4'");
    EXPECT_NEAR(std::atof(duration.c_str()), 1.0, 1e-3) << duration;
}
