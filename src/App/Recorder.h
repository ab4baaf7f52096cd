#pragma once
// Recording a run: every rendered frame, read back with the screenshots' copy, goes to a writer thread that either
// encodes numbered PNG files into a directory or feeds raw RGBA frames to ffmpeg through a pipe. A video is
// written under a temporary name and put in place only once ffmpeg has finished it, so the final name never holds
// a partial file.
#include "App/Screenshot.h"

#include <vulkan/vulkan.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

enum class RecordKind { PngDirectory, Video };

struct RecordTarget {
    RecordKind kind = RecordKind::PngDirectory;
    std::string path;      // as given
    std::string container; // "mp4" or "webm" for a video
    std::string ffmpeg;    // the encoder's executable, found on the search path
    bool createDirectory = false;
    std::string error; // names the target and what is wrong; empty when it can be recorded into
    bool ok() const { return error.empty(); }
};

// What `path` records into, checked before anything is rendered: ".mp4" and ".webm" (any case) are videos encoded
// by the ffmpeg found on `searchPath` (PATH's format); an existing directory, or a name without an extension (made
// when recording starts), receives PNG frames; any other extension is refused. The directory that will hold the
// result must exist and be writable.
RecordTarget planRecordTarget(const std::string& path, const std::string& searchPath);
// The first executable file `name` in a colon-separated list of directories, or empty.
std::string findExecutable(const std::string& name, const std::string& searchPath);
// ffmpeg's arguments (program name first) to encode raw RGBA frames of w × h at `fps` from its standard input into
// `output`. H.264 and VP9 want even sizes and 4:2:0 for players to accept them: an odd edge is padded by one pixel.
std::vector<std::string> ffmpegArguments(const RecordTarget& target, uint32_t width, uint32_t height, long fps,
                                         const std::string& output);
// The n-th frame (from 1) of a PNG recording: "DIR/frame-00001.png".
std::string recordedFramePath(const std::string& directory, uint64_t n);
// Copies an RGBA image into one of another size, centred: cropped where it is larger, black where it is smaller
// (a video keeps the size of its first frame when the window is resized).
void fitFrame(const uint8_t* from, uint32_t fromWidth, uint32_t fromHeight, std::vector<uint8_t>& to, uint32_t width,
              uint32_t height);
// The terminal's progress line: frames done, frames a second and, when the end is known, time left.
std::string recordProgressText(const std::string& path, uint64_t done, std::optional<uint64_t> total,
                               double framesPerSecond);

class Recorder : public FrameSink {
public:
    // Frames waiting for the writer before `take` blocks (each 8 MB at 1080p).
    static constexpr size_t MaxQueued = 3;

    // Makes a PNG directory when the target asks for it; `error()` says when that failed.
    Recorder(RecordTarget target, long fps);
    ~Recorder() override;
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // Hands over one frame: `pixels` are tightly packed 4-byte texels of `format` (B8G8R8A8 or R8G8B8A8), copied
    // here; conversion and encoding happen on the writer thread.
    void take(const uint8_t* pixels, uint32_t width, uint32_t height, VkFormat format) override;
    // Waits for the writer, ends the encoder and puts the video in place. Prints the outcome; false when the
    // recording is not complete. Runs once.
    bool finish();
    bool failed() const { return failedFlag.load(std::memory_order_acquire); }
    std::string error() const;
    uint64_t framesTaken() const { return taken; }
    const RecordTarget& target() const { return plan; }

private:
    struct Frame {
        std::vector<uint8_t> pixels;
        uint32_t width = 0, height = 0;
        VkFormat format = VK_FORMAT_UNDEFINED;
    };
    void writerLoop();
    void write(Frame& frame);
    void fail(const std::string& message);
    bool startEncoder(uint32_t width, uint32_t height);
    bool endEncoder();

    RecordTarget plan;
    long fps;
    std::string temporaryPath; // the video until it is complete
    uint64_t taken = 0;        // main thread
    uint64_t written = 0;      // writer thread
    bool finished = false;

    std::thread writer;
    mutable std::mutex mutex; // guards queue, spare, stopping, errorText
    std::condition_variable changed;
    std::deque<Frame> queue;
    std::vector<std::vector<uint8_t>> spare; // pixel buffers back from the writer, reused
    bool stopping = false;
    std::string errorText;
    std::atomic<bool> failedFlag{false};

    // The encoder (writer thread, then finish once the writer has ended).
    pid_t encoder = -1;
    int pipeFd = -1;
    uint32_t videoWidth = 0, videoHeight = 0;
    std::vector<uint8_t> fitted;
};
