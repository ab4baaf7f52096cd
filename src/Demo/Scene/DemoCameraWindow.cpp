#include "Demo/Scene/DemoCameraWindow.h"

#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <string>

namespace Demo {

void drawDemoCameraWindow(DemoCamera& camera, const Scene& scene) {
    DemoCamera::SettingsWindow& state = camera.settingsWindow;
    ImGuiContext* ui = ImGui::GetCurrentContext();
    if (state.hidden || !ui || !ui->WithinFrameScope)
        return;
    bool open = true;
    // First shown at the top right, clear of the debug window.
    ImGui::SetNextWindowPos(ImVec2(ImGui::GetIO().DisplaySize.x - 10.0f, 10.0f), ImGuiCond_FirstUseEver,
                            ImVec2(1.0f, 0.0f));
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
        if (ImGui::DragFloat2("Near Far", nearFar, 0.01f, 0.1f, 400000.0f, "%.3f")) {
            projection.nearPlane = nearFar[0];
            projection.farPlane = nearFar[1];
            camera.uploadView();
        }
        ImGui::InputDouble("Move Speed", &camera.moveSpeed, 0.0, 0.0, "%.6f");
        ImGui::InputDouble("Sprint Multiplier", &camera.sprintMultiplier, 0.0, 0.0, "%.6f");
        ImGui::InputDouble("Mouse Sensitivity", &camera.mouseSensitivity, 0.0, 0.0, "%.6f");
        ImGui::InputDouble("Orbit Distance", &camera.orbitDistance, 0.0, 0.0, "%.6f");
    }
    ImGui::End();
    if (!open)
        state.hidden = true;
}

} // namespace Demo
