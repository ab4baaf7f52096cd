#include "GpuFixture.h"

#include "App/Screenshot.h"
#include "Engine/Images/Image.h"
#include "Engine/GraphicsDevice/FrameSync.h"

#define STB_IMAGE_IMPLEMENTATION
#include <stb/stb_image.h>

#include <array>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ScreenshotGpuTest : public GpuTest {};

struct Rgb {
    uint8_t r, g, b;
};
Rgb frameColour(uint32_t frame) {
    return {uint8_t(30 * frame + 10), uint8_t(250 - 40 * frame), uint8_t(frame * 7)};
}

// True when every pixel of the PNG at `path` is `colour`.
bool holdsColour(const fs::path& path, Rgb colour, int width, int height) {
    int w = 0, h = 0, channels = 0;
    unsigned char* data = stbi_load(path.string().c_str(), &w, &h, &channels, 4);
    if (!data)
        return false;
    bool same = w == width && h == height;
    for (int i = 0; same && i < w * h; ++i)
        same = data[i * 4] == colour.r && data[i * 4 + 1] == colour.g && data[i * 4 + 2] == colour.b &&
               data[i * 4 + 3] == 255;
    stbi_image_free(data);
    return same;
}

} // namespace

// The frame loop's order with three frames in flight: wait for the slot's fence, mark its frames complete, write
// the finished shots, record (clear the slot's image to the frame's colour, copy it), submit.
TEST_F(ScreenshotGpuTest, EveryShotHoldsItsOwnFrameWithThreeFramesInFlight) {
    const uint32_t W = 64, H = 48, Slots = 3, Frames = 7;
    const VkFormat format = VK_FORMAT_R8G8B8A8_UNORM;
    const fs::path dir = fs::temp_directory_path() / ("kestrune-shots-" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    auto exactPath = [&](uint32_t frame) { return dir / ("frame" + std::to_string(frame) + ".png"); };
    const uint32_t firstUnique = 4; // later frames ask for the same name, as F12 within one second does
    const std::string uniqueBase = (dir / "shot.png").string();

    std::array<Image2D*, Slots> images{};
    std::array<FrameSync, Slots> sync{};
    std::array<uint64_t, Slots> serials{};
    for (uint32_t s = 0; s < Slots; ++s) {
        images[s] =
            new Image2D(device, W, H, format, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                        VK_IMAGE_ASPECT_COLOR_BIT, 1);
        VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
        fenceInfo.flags = VK_FENCE_CREATE_SIGNALED_BIT;
        vkCreateFence(device->device, &fenceInfo, nullptr, &sync[s].fence);
        serials[s] = device->registry.currentSerial() - 1;
    }

    ScreenshotCapture capture(device);
    for (uint32_t frame = 0; frame < Frames; ++frame) {
        const uint32_t s = frame % Slots;
        device->frameIndex = s;
        vkWaitForFences(device->device, 1, &sync[s].fence, VK_TRUE, UINT64_MAX);
        device->registry.framesCompleted(serials[s]);
        capture.writeCompleted();
        // The slot's fence covers the frame three back; the previous frame may still be running.
        if (frame >= 1 && frame - 1 < firstUnique) {
            EXPECT_FALSE(fs::exists(exactPath(frame - 1))) << "frame " << frame - 1 << " written before it completed";
        }
        if (frame >= Slots && frame - Slots < firstUnique) {
            EXPECT_TRUE(fs::exists(exactPath(frame - Slots))) << "frame " << frame - Slots << " not written";
        }
        vkResetFences(device->device, 1, &sync[s].fence);

        device->commandPools->resetSlot(s);
        CommandContext* context = device->commandPools->acquireContext();
        context->free = 0;
        VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
        vkBeginCommandBuffer(context->commandBuffer, &begin);
        VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
        imageBarrier(context, images[s]->image, range, VK_IMAGE_LAYOUT_UNDEFINED,
                     VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                     VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                     VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
        Rgb colour = frameColour(frame);
        VkRenderingAttachmentInfo attachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
        attachment.imageView = images[s]->imageView.view;
        attachment.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
        attachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
        attachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
        attachment.clearValue.color = {{colour.r / 255.0f, colour.g / 255.0f, colour.b / 255.0f, 1.0f}};
        VkRenderingInfo rendering{VK_STRUCTURE_TYPE_RENDERING_INFO};
        rendering.renderArea = {{0, 0}, {W, H}};
        rendering.layerCount = 1;
        rendering.colorAttachmentCount = 1;
        rendering.pColorAttachments = &attachment;
        vkCmdBeginRendering(context->commandBuffer, &rendering);
        vkCmdEndRendering(context->commandBuffer);
        if (frame < firstUnique)
            capture.request(exactPath(frame).string(), ScreenshotNaming::Exact);
        else
            capture.request(uniqueBase, ScreenshotNaming::Unique);
        EXPECT_TRUE(capture.requested());
        capture.recordCopy(context, images[s]->image, format, W, H);
        EXPECT_FALSE(capture.requested());
        vkEndCommandBuffer(context->commandBuffer);
        submit(device, {context}, sync[s], {});
        serials[s] = device->registry.currentSerial() - 1;
    }
    vkDeviceWaitIdle(device->device);
    device->registry.allFramesCompleted();
    EXPECT_EQ(capture.writeCompleted(), int(Slots));
    capture.finish();
    EXPECT_FALSE(capture.failed());

    for (uint32_t frame = 0; frame < Frames; ++frame) {
        fs::path path = frame < firstUnique ? exactPath(frame)
                                            : fs::path(numberedScreenshotPath(uniqueBase, frame - firstUnique + 1));
        EXPECT_TRUE(holdsColour(path, frameColour(frame), int(W), int(H))) << path;
    }

    // A request that no frame served is reported, and fails the run when its path was asked for exactly.
    capture.request((dir / "never.png").string(), ScreenshotNaming::Exact);
    capture.finish();
    EXPECT_TRUE(capture.failed());
    EXPECT_FALSE(fs::exists(dir / "never.png"));

    for (uint32_t s = 0; s < Slots; ++s) {
        vkDestroyFence(device->device, sync[s].fence, nullptr);
        unregisterResource(device, images[s]);
    }
    device->frameIndex = 0;
    device->registry.allFramesCompleted();
    fs::remove_all(dir);
}
