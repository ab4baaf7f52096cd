#include "App/Window.h"

#include "Engine/GraphicsDevice/VulkanInstance.h"
#include "Engine/Helper/Helper.h"
#include "Engine/SwapChain/SwapChain.h"

#include <GLFW/glfw3.h>

#include <algorithm>
#include <iostream>
#include <string>

std::vector<ResolutionEntry> groupVideoModes(const std::vector<VideoModeInfo>& modes) {
    std::vector<ResolutionEntry> entries;
    for (const VideoModeInfo& m : modes) {
        if (entries.empty() || entries.back().width != m.width || entries.back().height != m.height)
            entries.push_back({m.width, m.height, {}});
        entries.back().refreshRates.push_back(uint32_t(m.refreshRate));
    }
    return entries;
}

uint32_t presentModeForRefreshMode(int32_t refreshMode, uint32_t previous) {
    if (refreshMode == 0)
        return VK_PRESENT_MODE_IMMEDIATE_KHR;
    if (refreshMode == 1 || refreshMode == 2)
        return VK_PRESENT_MODE_FIFO_KHR;
    return previous;
}

std::pair<int32_t, int32_t> placeOnMonitors(int64_t x, int64_t y, int32_t width, int32_t height,
                                            const std::vector<ScreenRect>& workAreas, const ScreenRect& home) {
    const int64_t w = std::max(width, 1), h = std::max(height, 1);
    const int64_t grabW = std::min<int64_t>(w, 100), grabH = std::min<int64_t>(h, 50);
    for (const ScreenRect& a : workAreas) {
        int64_t overlapW = std::min<int64_t>(x + w, int64_t(a.x) + a.width) - std::max<int64_t>(x, a.x);
        int64_t overlapH = std::min<int64_t>(y + h, int64_t(a.y) + a.height) - std::max<int64_t>(y, a.y);
        if (overlapW >= grabW && overlapH >= grabH)
            return {int32_t(x), int32_t(y)};
    }
    // A window larger than the area keeps its top-left corner (with the title bar) on it.
    int64_t placedX = std::clamp<int64_t>(x, home.x, std::max<int64_t>(home.x, int64_t(home.x) + home.width - w));
    int64_t placedY = std::clamp<int64_t>(y, home.y, std::max<int64_t>(home.y, int64_t(home.y) + home.height - h));
    return {int32_t(placedX), int32_t(placedY)};
}

bool windowRenderable(int framebufferWidth, int framebufferHeight, bool visible, bool iconified) {
    return visible && !iconified && !(framebufferWidth == 0 && framebufferHeight == 0);
}

static Window* windowOf(GLFWwindow* w) {
    return static_cast<Window*>(glfwGetWindowUserPointer(w));
}

Window::Window(const WindowSettings& settings, VulkanInstance* instance_) : instance(instance_) {
    renderable = 1;
    glfwInit();
    captureDesktopResolutions();

    glfwWindowHint(GLFW_CLIENT_API, GLFW_NO_API);
    glfwWindowHint(GLFW_RESIZABLE, GLFW_TRUE);
    glfwWindowHint(GLFW_REFRESH_RATE, settings.refreshRate);
    GLFWmonitor* monitor = nullptr;
    if (!settings.fullscreen && settings.maximized) {
        glfwWindowHint(GLFW_MAXIMIZED, GLFW_TRUE);
    } else {
        glfwWindowHint(GLFW_MAXIMIZED, GLFW_FALSE);
        monitor = settings.fullscreen ? settings.monitor : nullptr;
    }
    window = glfwCreateWindow(settings.width, settings.height, "Kestrune", monitor, nullptr);
    if (!window)
        ENGINE_ERROR("Failed to create the window");
    if (!settings.fullscreen && !settings.maximized) {
        int count = 0;
        GLFWmonitor** monitors = glfwGetMonitors(&count);
        std::vector<ScreenRect> areas;
        for (int i = 0; i < count; ++i) {
            ScreenRect a;
            glfwGetMonitorWorkarea(monitors[i], &a.x, &a.y, &a.width, &a.height);
            areas.push_back(a);
        }
        GLFWmonitor* homeMonitor = settings.monitor ? settings.monitor : glfwGetPrimaryMonitor();
        ScreenRect home;
        for (int i = 0; i < count; ++i)
            if (monitors[i] == homeMonitor)
                home = areas[size_t(i)];
        auto [x, y] = areas.empty() ? std::pair<int32_t, int32_t>{settings.positionX, settings.positionY}
                                    : placeOnMonitors(settings.positionX, settings.positionY, settings.width,
                                                      settings.height, areas, home);
        if (x != settings.positionX || y != settings.positionY)
            std::cout << "Window position " << settings.positionX << ", " << settings.positionY
                      << " is off every monitor; placed at " << x << ", " << y << std::endl;
        glfwSetWindowPos(window, x, y);
    }

    VkResult result = glfwCreateWindowSurface(instance->instance, window, nullptr, &surface);
    std::cout << "glfwCreateWindowSurface: " << int(result) << std::endl;
    if (result != VK_SUCCESS)
        ENGINE_ERROR("Failed to create the window surface (VkResult " + std::to_string(int(result)) + ")");
    if (glfwRawMouseMotionSupported())
        glfwSetInputMode(window, GLFW_RAW_MOUSE_MOTION, GLFW_TRUE);
    // A key tapped between two slow frames still shows as down in the next snapshot.
    glfwSetInputMode(window, GLFW_STICKY_KEYS, GLFW_TRUE);
    glfwSetInputMode(window, GLFW_STICKY_MOUSE_BUTTONS, GLFW_TRUE);

    // The real size may differ from the request (maximised, window manager); the swap chain follows it.
    int w = settings.width, h = settings.height;
    glfwGetWindowSize(window, &w, &h);
    width = uint32_t(std::max(w, 0));
    height = uint32_t(std::max(h, 0));
    glfwSetWindowUserPointer(window, this);

    glfwSetFramebufferSizeCallback(
        window, [](GLFWwindow* w, int fw, int fh) { windowOf(w)->renderable = !(fw == 0 && fh == 0); });
    // Printed when the window gains focus; losing it is not worth a line.
    glfwSetWindowFocusCallback(window, [](GLFWwindow*, int focused) {
        if (focused)
            std::cout << "focus\n";
    });
    glfwSetWindowIconifyCallback(window, [](GLFWwindow* w, int) { windowOf(w)->refreshRenderable(); });
    glfwSetWindowMaximizeCallback(window, [](GLFWwindow* w, int) {
        windowOf(w)->renderable = 1;
        std::cout << "maximize\n";
    });
    // Installed before the user interface's binding, which chains to these.
    glfwSetKeyCallback(window, [](GLFWwindow* w, int key, int, int action, int) {
        if (action == GLFW_PRESS)
            windowOf(w)->taps.press(virtualKeyFromGlfwKey(key));
    });
    glfwSetMouseButtonCallback(window, [](GLFWwindow* w, int button, int action, int) {
        if (action == GLFW_PRESS)
            windowOf(w)->taps.press(virtualKeyFromGlfwMouseButton(button));
    });
    glfwSetWindowSizeCallback(window, [](GLFWwindow* w, int ww, int wh) {
        Window* self = windowOf(w);
        self->width = uint32_t(std::max(ww, 0));
        self->height = uint32_t(std::max(wh, 0));
        for (std::function<void()>* listener : self->resizeListeners)
            if (listener && *listener)
                (*listener)();
    });
}

Window::~Window() {
    if (surface != VK_NULL_HANDLE && instance && instance->instance != VK_NULL_HANDLE)
        vkDestroySurfaceKHR(instance->instance, surface, nullptr);
    // After a reported error GLFW is terminated and the window went with it.
    if (window && !glfwTerminatedByError())
        glfwDestroyWindow(window);
}

void Window::refreshRenderable() {
    int w = 0, h = 0;
    glfwGetFramebufferSize(window, &w, &h);
    renderable = windowRenderable(w, h, glfwGetWindowAttrib(window, GLFW_VISIBLE) != 0,
                                  glfwGetWindowAttrib(window, GLFW_ICONIFIED) != 0);
}

void Window::captureDesktopResolutions() {
    desktopResolutions.clear();
    int count = 0;
    GLFWmonitor** monitors = glfwGetMonitors(&count);
    for (int i = 0; i < count; ++i) {
        const GLFWvidmode* mode = glfwGetVideoMode(monitors[i]);
        desktopResolutions.push_back(mode ? std::make_pair(mode->width, mode->height) : std::make_pair(0, 0));
    }
}

void refreshVideoModes(DisplaySettings& d) {
    d.monitors = glfwGetMonitors(&d.monitorCount);
    d.monitorIndex = std::clamp(d.monitorIndex, 0, std::max(d.monitorCount - 1, 0));
    d.resolutions.assign(size_t(std::max(d.monitorCount, 0)), {});
    for (int i = 0; i < d.monitorCount; ++i) {
        int modeCount = 0;
        const GLFWvidmode* modes = glfwGetVideoModes(d.monitors[i], &modeCount);
        std::vector<VideoModeInfo> infos;
        for (int m = 0; m < modeCount; ++m)
            infos.push_back({modes[m].width, modes[m].height, modes[m].refreshRate});
        d.resolutions[i] = groupVideoModes(infos);
    }
}

void applyDisplaySettings(DisplaySettings& d, WindowSettings& r, Window* window) {
    refreshVideoModes(d);
    GLFWmonitor* monitor = d.monitorCount > 0 ? d.monitors[d.monitorIndex] : nullptr;

    int nativeW = r.width, nativeH = r.height;
    if (window && size_t(d.monitorIndex) < window->desktopResolutions.size()) {
        nativeW = window->desktopResolutions[d.monitorIndex].first;
        nativeH = window->desktopResolutions[d.monitorIndex].second;
    } else if (monitor) {
        if (const GLFWvidmode* mode = glfwGetVideoMode(monitor)) {
            nativeW = mode->width;
            nativeH = mode->height;
        }
    }

    r.fullscreen = d.windowMode == 1 && monitor != nullptr;
    d.presentMode = presentModeForRefreshMode(d.refreshMode, d.presentMode);
    if (window && window->swapChain) {
        window->swapChain->presentMode = VkPresentModeKHR(d.presentMode);
        window->swapChain->recreateRequested = 1;
    }

    bool leavingFullscreen = false;
    if (r.fullscreen) {
        r.monitor = monitor;
        const std::vector<ResolutionEntry>& entries = d.resolutions[d.monitorIndex];
        if (d.resolutionIndex <= 0 || size_t(d.resolutionIndex) > entries.size()) {
            r.width = nativeW;
            r.height = nativeH;
            r.refreshRate = -1;
        } else {
            const ResolutionEntry& e = entries[d.resolutionIndex - 1];
            r.width = e.width;
            r.height = e.height;
            if (d.refreshRateIndex <= 0 || size_t(d.refreshRateIndex) > e.refreshRates.size())
                r.refreshRate = -1;
            else
                r.refreshRate = int32_t(e.refreshRates[d.refreshRateIndex - 1]);
        }
    } else {
        if (!window)
            return;
        if (glfwGetWindowMonitor(window->window)) {
            leavingFullscreen = true;
            r.maximized = 0;
            r.width = 1600;
            r.height = 900;
            r.positionX = 50;
            r.positionY = 50;
        } else {
            r.maximized = glfwGetWindowAttrib(window->window, GLFW_MAXIMIZED) > 0;
            glfwGetWindowPos(window->window, &r.positionX, &r.positionY);
            glfwGetWindowSize(window->window, &r.width, &r.height);
        }
    }
    if (!window)
        return;
    if (leavingFullscreen)
        glfwRestoreWindow(window->window);
    glfwSetWindowMonitor(window->window, r.fullscreen ? r.monitor : nullptr, r.positionX, r.positionY, r.width,
                         r.height, r.refreshRate);
    if (!r.fullscreen)
        window->captureDesktopResolutions();
}
