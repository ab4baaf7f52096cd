#pragma once
#include "App/Keyboard.h"
#include "Engine/SwapChain/WindowSurface.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

struct GLFWmonitor;
class VulkanInstance;
class SwapChain;

// Stored in the configuration file; field order and sizes are part of its format.
struct WindowSettings {
    uint8_t fullscreen = 1;
    uint8_t maximized = 0;
    int32_t positionX = 50;
    int32_t positionY = 50;
    int32_t width = 1920;
    int32_t height = 1080;
    int32_t refreshRate = 0; // Hz, -1 = any
    GLFWmonitor* monitor = nullptr;
};
static_assert(sizeof(WindowSettings) == 32);

struct ResolutionEntry {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> refreshRates;
};

struct VideoModeInfo {
    int32_t width, height, refreshRate;
};

// Display settings shown and edited by the settings window; the first four are stored in the config file.
struct DisplaySettings {
    int32_t windowMode = 1;  // 0 windowed, 1 fullscreen
    int32_t refreshMode = 0; // 0 unlimited, 1 or 2 V-Sync
    int32_t monitorIndex = 0;
    uint32_t presentMode = VK_PRESENT_MODE_IMMEDIATE_KHR;
    GLFWmonitor** monitors = nullptr;
    int monitorCount = 0;
    std::vector<std::vector<ResolutionEntry>> resolutions; // per monitor
    int32_t resolutionIndex = 0;                           // 0 = native, k = entry k - 1
    int32_t refreshRateIndex = 0;                          // 0 = any, r = rate r - 1
};

// Runs of consecutive modes of equal size become one entry each, in GLFW's order.
std::vector<ResolutionEntry> groupVideoModes(const std::vector<VideoModeInfo>& modes);
// Refresh mode 0 -> immediate, 1 or 2 -> FIFO, anything else keeps the previous mode.
uint32_t presentModeForRefreshMode(int32_t refreshMode, uint32_t previous);

// A rectangle of the desktop in screen coordinates (a monitor's work area).
struct ScreenRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
};
// Where a windowed window of `width` x `height` asked to open at (x, y) goes: where asked while a part of it big
// enough to grab (100 x 50, or all of a smaller window) lies on one of `workAreas`; otherwise onto `home` (the work
// area of the monitor it belongs on), as near the asked position as it fits. A stored position can come from
// another monitor set-up, or be nonsense.
std::pair<int32_t, int32_t> placeOnMonitors(int64_t x, int64_t y, int32_t width, int32_t height,
                                            const std::vector<ScreenRect>& workAreas, const ScreenRect& home);
// A window is rendered while it is mapped, not iconified and its framebuffer is not 0 x 0. Window managers differ
// in which of these they change when a window is minimised; an unmapped window changes only the first.
bool windowRenderable(int framebufferWidth, int framebufferHeight, bool visible, bool iconified);

// The one GLFW window with its Vulkan surface.
class Window : public WindowSurface {
public:
    Window(const WindowSettings& settings, VulkanInstance* instance);
    ~Window() override; // destroys the surface and the GLFW window

    std::vector<std::function<void()>*> resizeListeners;
    std::vector<std::pair<int32_t, int32_t>> desktopResolutions; // per monitor, kept while fullscreen
    VulkanInstance* instance = nullptr;
    SwapChain* swapChain = nullptr;
    double scrollValue = 0.0; // vertical offset of this frame's last scroll event
    KeyTapLatch taps;         // presses between two keyboard snapshots

    void captureDesktopResolutions();
    // Sets renderable from the window's state now (windowRenderable); once a frame, after polling events, since
    // GLFW reports no event when the window is unmapped.
    void refreshRenderable();
};

// The connected monitors and the video modes of each, into `display`; the monitor index is clamped to them.
void refreshVideoModes(DisplaySettings& display);
// Turns the chosen display settings into the window record, the present mode and, once the window exists,
// a windowed or fullscreen window (every apply rebuilds the swap chain once).
void applyDisplaySettings(DisplaySettings& display, WindowSettings& record, Window* window);
