#include "Demo/Panels/AstroSettingsWindow.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Panels/MissionEditor.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/OrbitRenderer.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"

#include <imgui.h>
#include <imgui_internal.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <mutex>
#include <string>

namespace Demo {

uint64_t timeStepFromSeconds(double seconds, double timeStepLength, uint64_t current) {
    if (!std::isfinite(seconds) || seconds < 0.0 || !(timeStepLength > 0.0))
        return current;
    double steps = seconds / timeStepLength;
    if (!(steps < 18446744073709551616.0)) // 2^64
        return std::numeric_limits<uint64_t>::max();
    return uint64_t(steps);
}

namespace {

// The "Astro Settings" header of planets and stars; true when a value that moves bodies changed.
bool bodySettingsHeader(const AstroSettingsWindow& window, AstroSystem* system, AstroObject& body) {
    if (!panelHeader(window, "Astro Settings", true))
        return false;
    widgets::inputFloat3("Position", body.position);
    bool changed = editRadius(system, body);
    ImGui::Separator();
    ImGui::TextUnformatted("Object Settings");
    changed |= widgets::inputFloat3("Rotation Speed", body.rotationSpeed);
    changed |= widgets::inputDouble("Rotation Epoch", &body.rotationEpoch);
    changed |= editDensity(system, body);
    volumeAndMassTexts(body);
    return changed;
}

void resetFirstPlan(AstroSystem* system) {
    if (system)
        if (MissionPlan* plan = flownMission(*system))
            plan->reset();
}

std::string targetLabel(const AstroObject& object, int32_t index) {
    return std::to_string(index) + ": " + object.name;
}

} // namespace

// ---- The window ----------------------------------------------------------------------------------------------

AstroSettingsWindow::AstroSettingsWindow(AstroSystem* system_) : system(system_) {}

void AstroSettingsWindow::setTarget(AstroObject* object) {
    if (object == target)
        return;
    releasePreview();
    target = object;
}

void AstroSettingsWindow::draw(const Services& services) {
    ImGuiContext* ui = ImGui::GetCurrentContext();
    if (hidden || !system || !ui || !ui->WithinFrameScope)
        return;
    // First shown on the left below the debug window, clear of the settings panel in the middle.
    ImGui::SetNextWindowPos(ImVec2(10.0f, 380.0f), ImGuiCond_FirstUseEver);
    ImGui::SetNextWindowSize(ImVec2(560.0f, 620.0f), ImGuiCond_FirstUseEver);
    bool open = !hidden;
    const std::string title = "Astro Object Settings (" + system->name + ")";
    if (ImGui::Begin(title.c_str(), &open, 0)) {
        std::string preview;
        if (target == system)
            preview = targetLabel(*system, 0);
        else if (target)
            preview = targetLabel(*target, target->index);
        if (ImGui::BeginCombo("Target", preview.c_str())) {
            auto entry = [&](AstroObject* object, int32_t index) {
                ImGui::PushID(object);
                bool selected = object == target;
                if (ImGui::Selectable(targetLabel(*object, index).c_str(), selected))
                    setTarget(object);
                if (selected)
                    ImGui::SetItemDefaultFocus();
                ImGui::PopID();
            };
            entry(system, 0);
            for (AstroObject* object : system->objects)
                entry(object, object->index);
            ImGui::EndCombo();
        }
        if (target == system)
            drawSystemTabs(*system, services);
        else if (dynamic_cast<Planetoid*>(target))
            drawPlanetTabs(*target, services);
        else if (dynamic_cast<Star*>(target))
            drawStarTabs(*target, services);
        else if (auto* craft = dynamic_cast<Spacecraft*>(target))
            drawSpacecraftTabs(*this, *craft, services);
    }
    ImGui::End();
    if (!open)
        hidden = true;
}

void AstroSettingsWindow::drawSystemTabs(AstroSystem& sys, const Services&) {
    if (!ImGui::BeginTabBar("SystemTabs"))
        return;
    if (ImGui::BeginTabItem("System")) {
        if (panelHeader(*this, "Astro Settings", true)) {
            widgets::inputFloat3("Position", sys.position);
            editRadius(&sys, sys);
        }
        if (panelHeader(*this, "Time Settings", true)) {
            double seconds = double(sys.timeStep) * sys.timeStepLength;
            // Applied on Enter: every keystroke would otherwise jump time and restart the caches.
            if (widgets::inputDouble("Time", &seconds, "%.6f", 0.0, 0.0, ImGuiInputTextFlags_EnterReturnsTrue)) {
                uint64_t step = timeStepFromSeconds(seconds, sys.timeStepLength, sys.timeStep);
                if (step != sys.timeStep)
                    sys.jumpToTimeStep(step);
            }
            widgets::sliderDouble("Factor", &sys.timeFactor, 0.0, 1000.0);
        }
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Orbit")) {
        drawOrbitSection(*this, sys);
        drawOrbitRendererSection(*this, sys);
        ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
}

void AstroSettingsWindow::drawPlanetTabs(AstroObject& body, const Services& services) {
    if (!ImGui::BeginTabBar("PlanetTabs"))
        return;
    if (ImGui::BeginTabItem("Planet")) {
        if (bodySettingsHeader(*this, system, body))
            resetFirstPlan(system);
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Orbit")) {
        drawOrbitSection(*this, body);
        drawOrbitRendererSection(*this, body);
        ImGui::EndTabItem();
    }
    if (body.getSurface() && ImGui::BeginTabItem("Surface")) {
        drawSurfaceSection(*this, body, services);
        ImGui::EndTabItem();
    }
    // An airless body carries the component for its surface's shading, but nothing draws it: its edits would
    // change nothing.
    auto* planetoid = dynamic_cast<Planetoid*>(&body);
    const bool airless = planetoid && !planetoid->hasAtmosphereSettings;
    if (Atmosphere* atmosphere = body.getAtmosphere(); atmosphere && !airless && ImGui::BeginTabItem("Atmosphere")) {
        drawAtmosphereSection(*this, *atmosphere);
        ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
}

void AstroSettingsWindow::drawStarTabs(AstroObject& body, const Services& services) {
    auto& star = static_cast<Star&>(body);
    if (!ImGui::BeginTabBar("StarTabs"))
        return;
    if (ImGui::BeginTabItem("Star")) {
        if (bodySettingsHeader(*this, system, star))
            resetFirstPlan(system);
        if (panelHeader(*this, "Star Settings", true)) {
            ImGui::ColorEdit3("Light Color", star.light.color);
            widgets::inputFloat("Light Intensity", &star.light.intensity);
            // The star writes its position here every frame.
            widgets::inputFloat3("Light Position", star.light.position);
        }
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Orbit")) {
        drawOrbitSection(*this, star);
        drawOrbitRendererSection(*this, star);
        ImGui::EndTabItem();
    }
    if (star.getSurface() && ImGui::BeginTabItem("Surface")) {
        drawSurfaceSection(*this, star, services);
        ImGui::EndTabItem();
    }
    if (Atmosphere* atmosphere = star.getAtmosphere(); atmosphere && ImGui::BeginTabItem("Atmosphere")) {
        drawAtmosphereSection(*this, *atmosphere);
        ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
}

} // namespace Demo
