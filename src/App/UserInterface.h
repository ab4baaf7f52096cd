#pragma once
// The application's user interface: the UI renderer with its three fonts, the debug and settings windows, and
// the rule by which the UI takes the mouse and keyboard away from the scene.
#include "App/DebugWindow.h"
#include "App/SettingsWindow.h"
#include "App/UIRenderer.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// What the scene sees of this frame's key snapshot (Windows virtual-key codes, high bit = down): the keys and
// mouse buttons as they are, or all of them up while the UI has the input, so that typing into a field or
// dragging a window neither moves the camera nor toggles a simulation key.
void sceneKeySnapshot(const uint8_t raw[256], bool uiWantsInput, uint8_t scene[256]);

// A window of the scene that the menu bar shows and hides; its close button only hides it, so it comes back from
// the menu.
struct UiPanel {
    std::string name;
    std::function<bool()> shown;
    std::function<void(bool)> setShown;
};

// One frame's inputs of the UI.
struct UiFrame {
    bool visible = false;        // the U key's flag: hidden windows are not built
    bool cursorCaptured = false; // the camera holds the mouse while it looks around: the UI ignores the mouse
    float frameTime = 0.0f;      // milliseconds of the last frame
    uint32_t drawCount = 0;      // draws of the last frame
    const std::vector<PassTiming>* passTimings = nullptr;
    SettingsWindowInput settings;                 // its `debug` is filled in here
    const ScriptedMouse* scriptedMouse = nullptr; // a script's mouse instead of the platform's
    bool* astroSettingsHidden = nullptr;          // shown again by the debug window's "Astro settings"
    double simulatedSeconds = -1.0;               // since the epoch, for the menu bar; negative: no clock
    double timeFactor = 0.0;                      // simulated seconds per real second
};

class UserInterface {
public:
    // Creates the renderer (context, binding, pipeline), loads the font at 16 px (the default), 20 px and
    // 24 px and queues the atlas upload. A missing font file throws naming it.
    UserInterface(GraphicsDevice* device, DescriptorPool* pool, GLFWwindow* window, VkFormat colorFormat,
                  VkFormat depthFormat = VK_FORMAT_UNDEFINED, const std::string& fontFile = UIRenderer::FontFile);

    // Begins the UI frame and, while visible, builds the menu bar, the debug and settings windows and the scene's
    // windows. Returns whether the UI wants the input: an item active or hovered, or the mouse over any window (also
    // one blocked by a popup); always false while hidden.
    bool update(const UiFrame& frame);
    // A text field is being edited: the application's own keys (U, Escape, F12) are text then.
    bool editingText() const;
    // While visible, the UI pass on the target image (in colour-attachment layout, left so); otherwise the
    // frame is ended without drawing.
    void record(CommandContext* context, VkImage image, VkImageView view, uint32_t width, uint32_t height,
                bool visible);

    UIRenderer renderer;
    ImFont* defaultFont = nullptr; // 16 px
    ImFont* mediumFont = nullptr;  // 20 px
    ImFont* largeFont = nullptr;   // 24 px
    DebugWindowState debug;
    SettingsWindow settings;
    std::vector<UiPanel> panels;           // the scene's windows, listed in the menu bar after Debug and Settings
    std::function<void()> drawScenePanels; // builds the scene's windows, after the application's own

private:
    void drawMenuBar(const UiFrame& frame);
};
