#include "App/DebugWindow.h"

#include <imgui.h>

#include <climits>
#include <cmath>

float smoothFrameTime(float smoothed, float frameTimeMs) {
    return (smoothed + frameTimeMs / 30.0f) * 0.9677419f;
}

int frameRateFromSmoothed(float smoothedMs) {
    if (!(smoothedMs > 0.0f))
        return 0;
    double rate = std::round(1000.0 / double(smoothedMs));
    return rate > double(INT_MAX) ? INT_MAX : int(rate);
}

bool drawDebugWindow(DebugWindowState& state, const DebugWindowInput& input) {
    if (!state.open)
        return false;
    bool openSettings = false;
    if (ImGui::Begin("Debug", &state.open, 0)) {
        ImGui::SetNextItemOpen(true, ImGuiCond_Appearing);
        if (ImGui::CollapsingHeader("Rendering")) {
            state.smoothedFrameTime = smoothFrameTime(state.smoothedFrameTime, input.frameTime);
            ImGui::Text("Framerate: %d", frameRateFromSmoothed(state.smoothedFrameTime));
            ImGui::Text("Rendered Objects: %d", int(input.drawCount));
            // The buttons stay in place however many passes the table lists.
            if (ImGui::Button("Settings"))
                openSettings = true;
            if (input.astroSettingsHidden) {
                ImGui::SameLine();
                if (ImGui::Button("Astro settings"))
                    *input.astroSettingsHidden = false;
            }
            if (input.passes && !input.passes->empty() &&
                ImGui::BeginTable("Passes", 3, ImGuiTableFlags_BordersInnerH | ImGuiTableFlags_SizingFixedFit)) {
                ImGui::TableSetupColumn("Pass");
                ImGui::TableSetupColumn("GPU ms");
                ImGui::TableSetupColumn("CPU ms");
                ImGui::TableHeadersRow();
                for (const PassTiming& pass : *input.passes) {
                    ImGui::TableNextRow();
                    ImGui::TableNextColumn();
                    ImGui::TextUnformatted(pass.name.c_str());
                    ImGui::TableNextColumn();
                    ImGui::Text("%.3f", double(pass.gpuMs));
                    ImGui::TableNextColumn();
                    ImGui::Text("%.3f", double(pass.cpuMs));
                }
                ImGui::EndTable();
            }
        }
    }
    ImGui::End();
    return openSettings;
}
