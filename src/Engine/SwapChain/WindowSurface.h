#pragma once
#include <vulkan/vulkan.h>

#include <cstdint>

struct GLFWwindow;

// What the device layer needs of the application window: the surface and the size the swap chain must have.
// The application's Window derives from it.
class WindowSurface {
public:
    virtual ~WindowSurface() = default;
    GLFWwindow* window = nullptr;
    VkSurfaceKHR surface = VK_NULL_HANDLE;
    uint32_t width = 0;
    uint32_t height = 0;
    uint8_t renderable = 1; // false while the framebuffer is 0 x 0 (minimised)
};
