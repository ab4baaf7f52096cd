#include "App/UserInterface.h"

#include <imgui.h>

#include <cstdio>
#include <cstring>

void sceneKeySnapshot(const uint8_t raw[256], bool uiWantsInput, uint8_t scene[256]) {
    if (uiWantsInput)
        std::memset(scene, 0, 256);
    else
        std::memcpy(scene, raw, 256);
}

UserInterface::UserInterface(GraphicsDevice* device, DescriptorPool* pool, GLFWwindow* window, VkFormat colorFormat,
                             VkFormat depthFormat, const std::string& fontFile)
    : renderer(device, pool, window, colorFormat, depthFormat) {
    defaultFont = renderer.addFont(16.0f, fontFile);
    mediumFont = renderer.addFont(20.0f, fontFile);
    largeFont = renderer.addFont(24.0f, fontFile);
    renderer.uploadFontAtlas();
    settings.mediumFont = mediumFont;
    settings.largeFont = largeFont;
}

bool UserInterface::update(const UiFrame& frame) {
    ImGui::SetCurrentContext(renderer.imguiContext);
    ImGuiIO& io = ImGui::GetIO();
    // Hidden windows must not take clicks, and the camera's captured cursor is not a pointer.
    if (!frame.visible || frame.cursorCaptured)
        io.ConfigFlags |= ImGuiConfigFlags_NoMouse;
    else
        io.ConfigFlags &= ~ImGuiConfigFlags_NoMouse;
    renderer.beginFrame(frame.scriptedMouse);
    if (!frame.visible)
        return false;

    drawMenuBar(frame);
    DebugWindowInput debugInput;
    debugInput.frameTime = frame.frameTime;
    debugInput.drawCount = frame.drawCount;
    debugInput.passes = frame.passTimings;
    debugInput.astroSettingsHidden = frame.astroSettingsHidden;
    if (drawDebugWindow(debug, debugInput))
        settings.closed = false;
    SettingsWindowInput settingsInput = frame.settings;
    settingsInput.debug = &debug;
    settings.draw(settingsInput);
    if (drawScenePanels)
        drawScenePanels();

    if (frame.cursorCaptured)
        return false;
    return ImGui::IsAnyItemActive() || ImGui::IsAnyItemHovered() ||
           ImGui::IsWindowHovered(ImGuiHoveredFlags_AnyWindow | ImGuiHoveredFlags_AllowWhenBlockedByPopup);
}

void UserInterface::drawMenuBar(const UiFrame& frame) {
    if (!ImGui::BeginMainMenuBar())
        return;
    if (ImGui::BeginMenu("Windows")) {
        ImGui::MenuItem("Debug", nullptr, &debug.open);
        bool settingsShown = !settings.closed;
        if (ImGui::MenuItem("Settings", nullptr, &settingsShown))
            settings.closed = !settingsShown;
        if (!panels.empty())
            ImGui::Separator();
        for (const UiPanel& panel : panels) {
            bool shown = panel.shown();
            if (ImGui::MenuItem(panel.name.c_str(), nullptr, &shown))
                panel.setShown(shown);
        }
        ImGui::EndMenu();
    }
    if (ImGui::BeginMenu("Keys")) {
        drawKeyTable();
        ImGui::EndMenu();
    }
    // The clock and the frame rate at the right end, where they never cover a window.
    char clock[96];
    const int fps = frameRateFromSmoothed(debug.smoothedFrameTime);
    if (frame.simulatedSeconds >= 0.0)
        std::snprintf(clock, sizeof clock, "Day %.2f    time \xC3\x97%g    %d fps", frame.simulatedSeconds / 86400.0,
                      frame.timeFactor, fps);
    else
        std::snprintf(clock, sizeof clock, "%d fps", fps);
    ImGui::SameLine(ImGui::GetWindowWidth() - ImGui::CalcTextSize(clock).x - 2.0f * ImGui::GetStyle().ItemSpacing.x);
    ImGui::TextDisabled("%s", clock);
    ImGui::EndMainMenuBar();
}

bool UserInterface::editingText() const {
    ImGui::SetCurrentContext(renderer.imguiContext);
    return ImGui::GetIO().WantTextInput;
}

void UserInterface::record(CommandContext* context, VkImage image, VkImageView view, uint32_t width, uint32_t height,
                           bool visible) {
    if (visible)
        renderer.recordPass(context, image, view, width, height);
    else
        renderer.endFrame();
}
