#include "App/Recorder.h"
#include "App/CommandLine.h"
#include "App/Screenshot.h"
#include "App/Script.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string contents(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

// A scratch directory with a "bin" holding stand-ins for ffmpeg.
class RecordWriterThread : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("kestrune-record-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir / "bin");
        fs::create_directories(dir / "empty");
    }
    void TearDown() override { fs::remove_all(dir); }
    // An executable "ffmpeg" in bin running `body` (sh), with $out the last argument (the output file).
    std::string fakeEncoder(const std::string& body) {
        fs::path program = dir / "bin" / "ffmpeg";
        std::ofstream(program) << "#!/bin/sh\nfor a; do out=$a; done\n" << body << "\n";
        fs::permissions(program, fs::perms::owner_all);
        return (dir / "bin").string();
    }
    fs::path dir;
};

} // namespace

TEST(RecordOptions, CommandLineAndScriptCommands) {
    const char* ok[] = {"kestrune", "--record", "tour.mp4", "--fps", "60"};
    CommandLine cl = parseCommandLine(5, ok);
    EXPECT_TRUE(cl.errors.empty());
    EXPECT_EQ(*cl.recordPath, "tour.mp4");
    EXPECT_EQ(*cl.fps, 60);
    for (const char* fps : {"1", "1000"}) {
        const char* args[] = {"kestrune", "--fps", fps};
        EXPECT_TRUE(parseCommandLine(3, args).errors.empty()) << fps;
    }
    for (const char* fps : {"0", "1001", "29.97", "x", ""}) {
        const char* args[] = {"kestrune", "--fps", fps};
        EXPECT_EQ(parseCommandLine(3, args).errors.size(), 1u) << fps;
    }
    const char* missing[] = {"kestrune", "--record"};
    EXPECT_EQ(parseCommandLine(2, missing).errors.size(), 1u);

    ScriptParse p = parseScript("1 record frames\n5 record STOP\n8 record tour.webm\n9 quit\n");
    ASSERT_TRUE(p.error.empty()) << p.error;
    ScriptPlayer player(p.commands);
    EXPECT_EQ(player.recordPaths(), (std::vector<std::string>{"frames", "tour.webm"}));
    EXPECT_EQ(player.nextFrameOf(ScriptAction::RecordStop, 2), 5u);
    EXPECT_EQ(player.nextFrameOf(ScriptAction::Record, 2), 8u);
    EXPECT_FALSE(player.nextFrameOf(ScriptAction::Quit, 10));
    for (uint64_t frame = 1; frame <= 9; ++frame) {
        const ScriptFrame& f = player.advance(frame);
        EXPECT_EQ(f.record.value_or(""), frame == 1 ? "frames" : frame == 8 ? "tour.webm" : "") << frame;
        EXPECT_EQ(f.recordStop, frame == 5) << frame;
    }
    for (const char* bad : {"1 record\n", "1 record a b\n"})
        EXPECT_NE(parseScript(bad).error.find("\"record\" takes"), std::string::npos) << bad;
}

// Every refused target is named with its reason, before anything is rendered.
TEST_F(RecordWriterThread, TargetsAreCheckedBeforeRecording) {
    const std::string withEncoder = fakeEncoder("exit 0");
    const std::string noEncoder = (dir / "empty").string() + ":" + (dir / "nowhere").string();
    std::ofstream(dir / "file") << "x";
    fs::create_directories(dir / "old.mp4");
    struct Case {
        fs::path path;
        std::string searchPath;
        std::string error; // empty: accepted
        RecordKind kind = RecordKind::PngDirectory;
    };
    const Case cases[] = {
        {dir / "empty", noEncoder, ""},
        {dir / "old.mp4", noEncoder, ""}, // an existing directory takes PNGs whatever its name
        {dir / "new-frames", noEncoder, ""},
        {dir / "tour.mp4", withEncoder, "", RecordKind::Video},
        {dir / "tour.WebM", withEncoder, "", RecordKind::Video},
        {dir / "tour.mp4", noEncoder, "ffmpeg, which encodes .mp4 videos, was not found on PATH"},
        {dir / "tour.webm", "", "ffmpeg, which encodes .webm videos, was not found"},
        {dir / "tour.avi", withEncoder, "unknown extension \".avi\""},
        {dir / "shot.png", withEncoder, "unknown extension \".png\""},
        {dir / "missing" / "tour.mp4", withEncoder, "does not exist"},
        {dir / "missing" / "frames", withEncoder, "does not exist"},
        {dir / "file" / "tour.mp4", withEncoder, "is not a directory"},
        {dir / "file", withEncoder, "exists and is not a directory"},
        {"", withEncoder, "the path is empty"},
    };
    for (const Case& c : cases) {
        RecordTarget t = planRecordTarget(c.path.string(), c.searchPath);
        if (c.error.empty()) {
            EXPECT_TRUE(t.ok()) << c.path << ": " << t.error;
            EXPECT_EQ(t.kind, c.kind) << c.path;
        } else {
            EXPECT_NE(t.error.find(c.error), std::string::npos) << c.path << ": " << t.error;
            const std::string named = std::string("\"").append(c.path.string()).append("\"");
            EXPECT_NE(t.error.find(named), std::string::npos) << t.error;
        }
    }
    EXPECT_EQ(planRecordTarget((dir / "x.mp4").string(), withEncoder).ffmpeg, (dir / "bin" / "ffmpeg").string());
    // Only executable files count.
    fs::permissions(dir / "bin" / "ffmpeg", fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(dir / "empty" / "ffmpeg");
    EXPECT_EQ(findExecutable("ffmpeg", noEncoder + "::" + withEncoder), "");
}

// A PNG recording's frames are the very files a screenshot of the same pixels gives, numbered from 1.
TEST_F(RecordWriterThread, PngFramesAreScreenshotsOfTheSamePixels) {
    const uint32_t w = 5, h = 3;
    std::vector<uint8_t> bgra(w * h * 4);
    {
        Recorder recorder(planRecordTarget((dir / "frames").string(), ""), 30);
        for (uint8_t k = 0; k < 3; ++k) {
            for (size_t i = 0; i < bgra.size(); ++i)
                bgra[i] = uint8_t(i * 7 + k * 50);
            recorder.take(bgra.data(), w, h, VK_FORMAT_B8G8R8A8_SRGB);
        }
        EXPECT_TRUE(recorder.finish());
    }
    ASSERT_TRUE(writeScreenshotPng((dir / "shot.png").string(), ScreenshotNaming::Exact,
                                   toRgba8(bgra.data(), w, h, VK_FORMAT_B8G8R8A8_SRGB), w, h)
                    .ok);
    EXPECT_EQ(contents(recordedFramePath((dir / "frames").string(), 3)), contents(dir / "shot.png"));
    EXPECT_NE(contents(recordedFramePath((dir / "frames").string(), 2)), contents(dir / "shot.png"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "frames"), {}), 3);
}

// A video appears under its name only when the encoder has finished it; a failed encoder leaves nothing behind.
TEST_F(RecordWriterThread, VideoIsPutInPlaceOnlyWhenComplete) {
    const uint32_t w = 4, h = 2;
    std::vector<uint8_t> rgba(w * h * 4, 9);
    const fs::path video = dir / "tour.mp4";
    {
        Recorder recorder(planRecordTarget(video.string(), fakeEncoder("cat > \"$out\"")), 30);
        recorder.take(rgba.data(), w, h, VK_FORMAT_R8G8B8A8_UNORM);
        std::vector<uint8_t> wider((w + 2) * h * 4, 7);
        recorder.take(wider.data(), w + 2, h, VK_FORMAT_R8G8B8A8_UNORM); // resized: fitted to the first size
        EXPECT_TRUE(recorder.finish());
    }
    EXPECT_EQ(contents(video).size(), 2u * w * h * 4);
    EXPECT_FALSE(fs::exists(video.string() + ".part"));

    fs::remove(video);
    Recorder failing(planRecordTarget(video.string(), fakeEncoder("cat > \"$out\"; exit 3")), 30);
    for (int k = 0; k < 3; ++k)
        failing.take(rgba.data(), w, h, VK_FORMAT_R8G8B8A8_UNORM);
    EXPECT_FALSE(failing.finish());
    EXPECT_NE(failing.error().find("exit status 3"), std::string::npos) << failing.error();
    EXPECT_FALSE(fs::exists(video));
    EXPECT_FALSE(fs::exists(video.string() + ".part"));

    // An encoder that stops reading: the writer's error, not the end of the process.
    Recorder gone(planRecordTarget(video.string(), fakeEncoder("exit 0")), 30);
    std::vector<uint8_t> large(1920 * 1080 * 4, 1);
    for (int k = 0; k < 3; ++k)
        gone.take(large.data(), 1920, 1080, VK_FORMAT_R8G8B8A8_UNORM);
    EXPECT_FALSE(gone.finish());
    EXPECT_FALSE(fs::exists(video));
}

TEST(RecordFrames, ResizedFramesAreCentredCroppedOrPadded) {
    // 4 × 2 source, pixel value = its index.
    std::vector<uint8_t> from(4 * 2 * 4);
    for (size_t i = 0; i < from.size(); ++i)
        from[i] = uint8_t(i / 4 + 1);
    std::vector<uint8_t> to;
    fitFrame(from.data(), 4, 2, to, 2, 2); // crop: the middle columns
    EXPECT_EQ(to[0], 2);
    EXPECT_EQ(to[4], 3);
    EXPECT_EQ(to[8], 6);
    fitFrame(from.data(), 4, 2, to, 4, 4); // pad: a black opaque row above and below
    EXPECT_EQ(to[0], 0);
    EXPECT_EQ(to[3], 255);
    EXPECT_EQ(to[16], 1);
    EXPECT_EQ(to[3 * 16], 0);
    EXPECT_EQ(recordProgressText("t.mp4", 30, 120, 15.0), "Recording t.mp4: frame 30 of 120, 15.0 frames/s, 0:06 left");
    EXPECT_EQ(recordProgressText("d", 7, std::nullopt, 2.5), "Recording d: frame 7, 2.5 frames/s");
}
