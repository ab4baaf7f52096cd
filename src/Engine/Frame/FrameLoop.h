#pragma once
// The Vulkan half of a frame: wait for the frame slot, acquire a swap chain image, record, submit and present, and
// rebuild the swap chain when the surface is out of date, the window changed size or a rebuild was requested.
#include <cstdint>
#include <functional>

class GraphicsDevice;
class SwapChain;
class CommandContext;
class Image2D;

class FrameLoop {
public:
    FrameLoop(GraphicsDevice* device, SwapChain* swapChain);

    // Waits until the slot of the next frame has finished its last submission and releases what that used; the
    // caller may then collect that submission's results (screenshots) before `render`.
    void waitForSlot();
    // Acquires an image and records the frame into it: the upload pass, then `record` with the image in colour
    // attachment layout (moved to present layout after it). Returns false when the swap chain was rebuilt
    // instead of a frame being presented. Throws on results that are not recoverable.
    bool render(const std::function<void(CommandContext* context, Image2D* target)>& record);

    uint64_t rebuilds = 0; // swap chain rebuilds made by the loop

private:
    void rebuild();

    GraphicsDevice* device;
    SwapChain* swapChain;
};
