#pragma once
#include "Engine/GraphicsDevice/FrameSync.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <functional>
#include <vector>

class WindowSurface;
class GraphicsDevice;
class Image2D;

// Presentable images, their views and the per-slot fences and semaphores.
class SwapChain {
public:
    SwapChain(WindowSurface* window, GraphicsDevice* device, VkPresentModeKHR presentMode);
    ~SwapChain(); // destroys sync objects and the swapchain; images belong to the device registry

    // First build and every rebuild (size, present mode or surface change).
    void build();

    std::vector<std::function<void()>*> recreateListeners;
    WindowSurface* window = nullptr;
    GraphicsDevice* device = nullptr;
    VkSwapchainKHR swapchain = VK_NULL_HANDLE;
    std::vector<Image2D*> images;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t imageIndex = 1000; // none acquired yet
    std::vector<FrameSync> acquireSet;
    std::vector<FrameSync> renderSet;
    std::vector<uint64_t> renderSerials; // frame serial last submitted in each slot (deferred releases)
    VkSurfaceFormatKHR surfaceFormat{};
    VkPresentModeKHR presentMode = VK_PRESENT_MODE_FIFO_KHR;
    uint8_t recreateRequested = 0;
    bool transferSource = false; // images also usable as copy sources (screenshots)
    uint32_t buildCount = 0;

private:
    void destroySync();
};
