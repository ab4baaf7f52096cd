#include "App/SettingsWindow.h"

#include "App/Config.h"
#include "App/DebugWindow.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"

#include <imgui.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

int monitorItemCount(int monitorCount) {
    return std::clamp(monitorCount, 0, 5);
}

namespace {

// Appends one zero-terminated item and the final empty item; false (buffer unchanged) when it does not fit.
bool appendItem(char* buffer, size_t capacity, size_t& used, const char* text) {
    size_t length = std::strlen(text);
    if (used + length + 2 > capacity)
        return false;
    std::memcpy(buffer + used, text, length + 1);
    used += length + 1;
    buffer[used] = '\0';
    return true;
}

template <class T, class Format>
int writeItems(const std::vector<T>& values, char* buffer, size_t capacity, Format format) {
    if (capacity < 2)
        return 0;
    size_t used = 0;
    buffer[0] = buffer[1] = '\0';
    if (!appendItem(buffer, capacity, used, "Native"))
        return 0;
    int count = 1;
    char text[64];
    for (const T& v : values) {
        format(v, text, sizeof text);
        if (!appendItem(buffer, capacity, used, text))
            break;
        ++count;
    }
    return count;
}

} // namespace

int writeResolutionItems(const std::vector<ResolutionEntry>& entries, char* buffer, size_t capacity) {
    return writeItems(entries, buffer, capacity, [](const ResolutionEntry& e, char* text, size_t size) {
        std::snprintf(text, size, "%dx%d", int(e.width), int(e.height));
    });
}

int writeRefreshRateItems(const std::vector<uint32_t>& rates, char* buffer, size_t capacity) {
    return writeItems(rates, buffer, capacity,
                      [](uint32_t rate, char* text, size_t size) { std::snprintf(text, size, "%u Hz", rate); });
}

int32_t clampEntryIndex(int32_t index, size_t entryCount) {
    return std::clamp<int64_t>(index, 0, int64_t(entryCount));
}

float applyButtonsX(float contentRight, float applyTextWidth, float saveTextWidth, float framePaddingX,
                    float itemSpacingX) {
    return contentRight - (applyTextWidth + saveTextWidth + 4.0f * framePaddingX + itemSpacingX);
}

PanelPosition settingsPanelPosition(uint32_t windowWidth, uint32_t windowHeight, float panelWidth, float contentBottom,
                                    float windowPaddingY) {
    PanelPosition p;
    p.x = float(windowWidth / 2) - panelWidth / 2.0f;
    p.y = float(windowHeight / 2) - (contentBottom + windowPaddingY) / 2.0f;
    return p;
}

SettingsWindow::SettingsWindow() : scratch(ScratchSize, '\0') {}

void SettingsWindow::draw(const SettingsWindowInput& input) {
    if (closed || !input.settings)
        return;
    ImGui::SetNextWindowSize(ImVec2(Width, 0.0f));
    ImGui::Begin("Settings", nullptr,
                 ImGuiWindowFlags_NoTitleBar | ImGuiWindowFlags_NoResize | ImGuiWindowFlags_NoMove);
    const ImGuiStyle& style = ImGui::GetStyle();

    if (largeFont)
        ImGui::PushFont(largeFont);
    float titleWidth = ImGui::CalcTextSize("Settings").x;
    ImGui::SetCursorPosX(ImGui::GetContentRegionAvail().x * 0.5f - titleWidth * 0.5f);
    ImGui::TextUnformatted("Settings");
    if (largeFont)
        ImGui::PopFont();
    ImGui::Separator();
    ImGui::Spacing();
    ImGui::Separator();

    if (ImGui::BeginTabBar("SettingTabs")) {
        if (ImGui::BeginTabItem("General")) {
            drawGeneral(input);
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Graphics")) {
            drawGraphics(input);
            ImGui::EndTabItem();
        }
        if (ImGui::BeginTabItem("Control")) {
            drawControl(input);
            ImGui::EndTabItem();
        }
        ImGui::EndTabBar();
    }

    ImGui::Spacing();
    ImGui::Separator();
    if (mediumFont)
        ImGui::PushFont(mediumFont);
    if (ImGui::Button("Close"))
        closed = true;
    ImGui::SameLine(applyButtonsX(ImGui::GetWindowContentRegionMax().x, ImGui::CalcTextSize("Apply").x,
                                  ImGui::CalcTextSize("Apply and save").x, style.FramePadding.x, style.ItemSpacing.x));
    if (ImGui::Button("Apply"))
        applyDisplaySettings(input.settings->display, input.settings->window, input.window);
    ImGui::SameLine();
    if (ImGui::Button("Apply and save"))
        applyAndSave(input);
    if (mediumFont)
        ImGui::PopFont();
    if (!status.empty()) {
        ImVec4 colour = statusIsError ? ImVec4(1.0f, 0.45f, 0.4f, 1.0f) : ImVec4(0.75f, 0.75f, 0.75f, 1.0f);
        ImGui::PushStyleColor(ImGuiCol_Text, colour);
        ImGui::TextWrapped("%s", status.c_str());
        ImGui::PopStyleColor();
    }

    PanelPosition at = settingsPanelPosition(input.windowWidth, input.windowHeight, ImGui::GetWindowWidth(),
                                             ImGui::GetCursorPosY(), style.WindowPadding.y);
    ImGui::SetWindowPos(ImVec2(at.x, at.y));
    ImGui::End();
}

void SettingsWindow::applyAndSave(const SettingsWindowInput& input) {
    applyDisplaySettings(input.settings->display, input.settings->window, input.window);
    ConfigWriteResult result = saveConfig(*input.settings);
    if (result.ok)
        result = saveQualityFile(input.settings->quality);
    statusIsError = !result.ok;
    status = result.ok ? std::string("Settings saved to ") + ConfigFileName + " and " + Demo::QualityFileName
                       : result.message;
}

void SettingsWindow::drawGeneral(const SettingsWindowInput& input) {
    DisplaySettings& d = input.settings->display;
    ImGui::BeginChild("GeneralContainer", ImVec2(0.0f, 300.0f));
    if (ImGui::Button("Open debug window") && input.debug)
        input.debug->open = true;
    static const char* const windowModes[] = {"Windowed", "Fullscreen"};
    ImGui::Combo("Fullscreen Mode", &d.windowMode, windowModes, 2);
    bool fullscreen = d.windowMode == 1;
    if (fullscreen) {
        static const char* const monitors[] = {"0 (Primary)", "1", "2", "3", "4"};
        ImGui::Combo("Monitor", &d.monitorIndex, monitors, monitorItemCount(d.monitorCount));
    }
    static const char* const refreshModes[] = {"Unlimited", "V-Sync"};
    ImGui::Combo("Refresh Mode", &d.refreshMode, refreshModes, 2);

    static const std::vector<ResolutionEntry> none;
    const std::vector<ResolutionEntry>& entries =
        d.monitorIndex >= 0 && size_t(d.monitorIndex) < d.resolutions.size() ? d.resolutions[d.monitorIndex] : none;
    char* resolutionItems = scratch.data();
    size_t half = scratch.size() / 2;
    int resolutionCount = writeResolutionItems(entries, resolutionItems, half);
    d.resolutionIndex = clampEntryIndex(d.resolutionIndex, size_t(resolutionCount - 1));
    if (fullscreen)
        ImGui::Combo("Resolution", &d.resolutionIndex, resolutionItems);
    if (fullscreen && d.resolutionIndex >= 1) {
        char* rateItems = scratch.data() + half;
        int rateCount = writeRefreshRateItems(entries[d.resolutionIndex - 1].refreshRates, rateItems, half);
        d.refreshRateIndex = clampEntryIndex(d.refreshRateIndex, size_t(rateCount - 1));
        ImGui::Combo("Refresh rate", &d.refreshRateIndex, rateItems);
    }
    ImGui::EndChild();
}

void SettingsWindow::drawGraphics(const SettingsWindowInput& input) {
    ImGui::BeginChild("GeneralContainer", ImVec2(0.0f, 300.0f));
    // Takes effect at once; "Apply and save" keeps it.
    static const char* const qualities[] = {"Low", "Medium", "High"};
    int quality = int(input.settings->quality);
    if (ImGui::Combo("Quality", &quality, qualities, 3))
        input.settings->quality = Demo::GraphicsQuality(quality);
    if (input.scene) {
        bool wireframe = Demo::solidSurfacesWireframe(*input.scene);
        if (ImGui::Checkbox("Wireframe planets (T)", &wireframe))
            Demo::setSolidSurfacesWireframe(*input.scene, wireframe);
    }
    if (input.exposure)
        ImGui::SliderFloat("Exposure", input.exposure, 0.05f, 20.0f, "%.2f", ImGuiSliderFlags_Logarithmic);
    ImGui::EndChild();
}

void drawKeyTable() {
    if (!ImGui::BeginTable("Keys", 2, ImGuiTableFlags_BordersInnerH | ImGuiTableFlags_SizingFixedFit))
        return;
    ImGui::TableSetupColumn("Key");
    ImGui::TableSetupColumn("Effect");
    ImGui::TableHeadersRow();
    for (const Demo::KeyBinding& k : Demo::KeyBindings) {
        ImGui::TableNextRow();
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(k.keyName);
        ImGui::TableNextColumn();
        ImGui::TextUnformatted(k.effect);
    }
    ImGui::EndTable();
}

void SettingsWindow::drawControl(const SettingsWindowInput& input) {
    ImGui::BeginChild("GeneralContainer", ImVec2(0.0f, 300.0f));
    ImGui::SliderFloat("Look sensitivity", &input.settings->lookSensitivity, 0.05f, 10.0f, "%.2f",
                       ImGuiSliderFlags_Logarithmic | ImGuiSliderFlags_AlwaysClamp);
    ImGui::TextDisabled("Saved with \"Apply and save\".");
    ImGui::Spacing();
    drawKeyTable();
    ImGui::EndChild();
}
