#pragma once
#include <vulkan/vulkan.h>

#include <cstdint>
#include <string>
#include <vector>

class GraphicsDevice;
class CommandContext;

// Copies a presentable image into host memory during the frame and writes it as a PNG once the frame is done.
class ScreenshotCapture {
public:
    explicit ScreenshotCapture(GraphicsDevice* device) : device(device) {}
    ~ScreenshotCapture();

    // Recorded after the frame's last pass, with the image in colour-attachment layout; leaves it there.
    void recordCopy(CommandContext* context, VkImage image, VkFormat format, uint32_t width, uint32_t height,
                    const std::string& path);
    // After the frame's fence: converts to RGBA8 and writes the file. Returns false when nothing was pending.
    bool writePending();
    bool pending() const { return !path.empty(); }

private:
    void release();
    GraphicsDevice* device;
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    VkDeviceSize capacity = 0;
    uint32_t width = 0, height = 0;
    VkFormat format = VK_FORMAT_UNDEFINED;
    std::string path;
};

// "screenshot-YYYYMMDD-HHMMSS.png" for the local time now.
std::string timestampedScreenshotName();
// Converts tightly packed 4-byte pixels of a B8G8R8A8 or R8G8B8A8 format to RGBA with opaque alpha.
std::vector<uint8_t> toRgba8(const uint8_t* pixels, uint32_t width, uint32_t height, VkFormat format);
