#pragma once
#include <vulkan/vulkan.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class GraphicsDevice;
class CommandContext;

// Receives the pixels of every frame it asked for, once that frame has completed on the GPU (a recording).
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Tightly packed 4-byte texels of `format`; valid only during the call.
    virtual void take(const uint8_t* pixels, uint32_t width, uint32_t height, VkFormat format) = 0;
};

// How a requested file is named.
enum class ScreenshotNaming {
    Exact,  // the given path, replaced when it exists (the command line's --screenshot PATH)
    Unique, // the given path or, when that exists, the same name with "-2", "-3", ... before the extension;
            // created exclusively, so no earlier shot and no other instance's shot is ever replaced (F12)
};

struct ScreenshotWrite {
    bool ok = false;
    std::string path;  // the file written (Unique may have numbered it)
    std::string error; // why nothing was written
};
// Encodes RGBA8 pixels as PNG and writes them. Exact writes a temporary file beside `path` and renames it over
// `path` once complete, so a reader never finds a half-written shot; Unique creates the first free name.
ScreenshotWrite writeScreenshotPng(const std::string& path, ScreenshotNaming naming, const std::vector<uint8_t>& rgba,
                                   uint32_t width, uint32_t height);
// The n-th candidate of a Unique name: n = 1 is `path` itself, then "shot-2.png", "shot-3.png", ...
std::string numberedScreenshotPath(const std::string& path, uint32_t n);

// Copies presentable images into host memory during their frame and writes them as PNG files once that frame has
// completed on the GPU. Every request gets its own file and every capture its own buffer, so shots taken in
// successive frames (three may be in flight) never share memory.
class ScreenshotCapture {
public:
    explicit ScreenshotCapture(GraphicsDevice* device) : device(device) {}
    ~ScreenshotCapture();

    // Queues a shot of the next rendered frame.
    void request(const std::string& path, ScreenshotNaming naming);
    // The next rendered frame goes to `sink` as well (through the same copy as a shot of that frame); the capture
    // keeps the sink alive until it has been handed the pixels.
    void requestFrame(std::shared_ptr<FrameSink> sink) { frameSink = std::move(sink); }
    bool requested() const { return !requests.empty() || frameSink; }
    // Recorded after the frame's last pass, with the image in colour-attachment layout; leaves it there. The copy
    // belongs to the frame being recorded (the device registry's current serial) and serves every queued request.
    void recordCopy(CommandContext* context, VkImage image, VkFormat format, uint32_t width, uint32_t height);
    // Writes every capture whose own frame has completed (the registry's completed serial, so call it after
    // framesCompleted); captures of frames still in flight wait. Returns the number of files attempted.
    int writeCompleted();
    // Once the device is idle (shutdown): writes what is left and reports requests no frame was rendered for.
    void finish();
    // A shot requested with an exact path (the command line's) could not be written.
    bool failed() const { return exactFailed; }
    // Milliseconds the hand-over to a sink took in the last writeCompleted, or -1 when no frame went to one.
    double lastHandOverMs() const { return handOverMs; }

private:
    struct Request {
        std::string path;
        ScreenshotNaming naming;
    };
    struct Capture {
        VkBuffer buffer = VK_NULL_HANDLE;
        VkDeviceMemory memory = VK_NULL_HANDLE;
        void* mapped = nullptr; // for the buffer's lifetime
        VkDeviceSize size = 0;
        uint32_t width = 0, height = 0;
        VkFormat format = VK_FORMAT_UNDEFINED;
        uint64_t serial = 0; // the frame whose copy fills the buffer
        std::vector<Request> requests;
        std::shared_ptr<FrameSink> sink;
    };
    // Buffers of this many frames are kept for reuse, so recording every frame allocates nothing per frame.
    static constexpr size_t SpareBuffers = 4;
    void write(Capture& capture);
    void release(Capture& capture);
    void destroy(Capture& capture);
    GraphicsDevice* device;
    std::vector<Request> requests; // waiting for a rendered frame
    std::shared_ptr<FrameSink> frameSink;
    std::vector<Capture> captures; // copied, waiting for their frame to complete
    std::vector<Capture> spare;    // buffers back from written captures
    bool exactFailed = false;
    double handOverMs = -1.0;
};

// "screenshot-YYYYMMDD-HHMMSS.png" for the local time now.
std::string timestampedScreenshotName();
// Converts tightly packed 4-byte pixels of a B8G8R8A8 or R8G8B8A8 format to RGBA with opaque alpha.
std::vector<uint8_t> toRgba8(const uint8_t* pixels, uint32_t width, uint32_t height, VkFormat format);
