#include "Demo/Panels/DemoCameraWindow.h"

#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>

#include <string>

namespace Demo {

namespace {

// A typed value is taken only when finite, and clamped to what the camera can use.
void inputWithin(const char* label, double& value, double low, double high) {
    double typed = value;
    if (ImGui::InputDouble(label, &typed, 0.0, 0.0, "%.6f") && std::isfinite(typed))
        value = std::clamp(typed, low, high);
}

} // namespace

void drawDemoCameraWindow(DemoCameraWindow& state, DemoCamera& camera, const Scene& scene) {
    ImGuiContext* ui = ImGui::GetCurrentContext();
    if (state.hidden || !ui || !ui->WithinFrameScope)
        return;
    bool open = true;
    // First shown at the top right, clear of the debug window and below the menu bar.
    ImGui::SetNextWindowPos(ImVec2(ImGui::GetIO().DisplaySize.x - 10.0f, ImGui::GetFrameHeight() + 10.0f),
                            ImGuiCond_FirstUseEver, ImVec2(1.0f, 0.0f));
    const std::string title = "Demo Camera (" + camera.name + ")";
    if (ImGui::Begin(title.c_str(), &open, ImGuiWindowFlags_AlwaysAutoResize)) {
        int mode = camera.mode;
        if (ImGui::Combo("Camera Mode", &mode, CameraModeNames, 8) && mode != camera.mode)
            camera.setMode(mode);

        if (camera.mode != FREE) {
            const char* preview = camera.target ? camera.target->name.c_str() : "";
            if (ImGui::BeginCombo("Target", preview)) {
                for (SceneObject* object : scene.objects) {
                    if (object == &camera)
                        continue;
                    bool selected = object == camera.target;
                    ImGui::PushID(object);
                    if (ImGui::Selectable(object->name.c_str(), selected))
                        camera.setTarget(object);
                    if (selected)
                        ImGui::SetItemDefaultFocus();
                    ImGui::PopID();
                }
                ImGui::EndCombo();
            }
        }

        ProjectionParams& projection = camera.view.projectionParams;
        float nearFar[2] = {projection.nearPlane, projection.farPlane};
        // Up to twice the default far distance; the projection takes the planes at its next refresh.
        if (ImGui::DragFloat2("Near Far", nearFar, 0.01f, 0.1f, 400000.0f, "%.3f", ImGuiSliderFlags_AlwaysClamp)) {
            // The near plane stays in front of the far one, or the projection would have no depth range.
            projection.farPlane = nearFar[1];
            projection.nearPlane = std::min(nearFar[0], 0.5f * nearFar[1]);
            camera.uploadView();
        }
        inputWithin("Move Speed", camera.moveSpeed, 0.0, 1e6);
        inputWithin("Sprint Multiplier", camera.sprintMultiplier, 0.0, 1e3);
        inputWithin("Mouse Sensitivity", camera.mouseSensitivity, 0.0, 100.0);
        inputWithin("Orbit Distance", camera.orbitDistance, 0.0, 0.75 * double(projection.farPlane));
    }
    ImGui::End();
    if (!open)
        state.hidden = true;
}

} // namespace Demo
