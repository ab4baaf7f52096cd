#include "Demo/Panels/MissionEditor.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Panels/AstroPanels.h"
#include "Demo/Panels/PredictionHorizon.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/BurnAiming.h"
#include "Demo/Spacecraft/MissionEditing.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"

#include <imgui.h>

#include <algorithm>
#include <cfloat>
#include <cinttypes>
#include <cstdio>
#include <iostream>

namespace Demo {

// ---- Mission files -------------------------------------------------------------------------------------------

namespace {

void report(MissionFilePanel& panel, const std::string& message, bool error) {
    panel.message = message;
    panel.messageIsError = error;
    std::cout << message << std::endl;
}

std::string counts(const MissionData& m) {
    return std::to_string(m.maneuvers.size()) + " manoeuvres and " + std::to_string(m.settings.size()) +
           " timestep settings";
}

// Parses `text` against the plan and replaces the plan when it is accepted; `source` names the text in messages.
void loadMissionText(MissionPlan& plan, size_t bodyCount, const std::string& text, const std::string& source,
                     MissionFilePanel& panel) {
    MissionParse parse = parseMission(text, missionDataOf(plan), bodyCount);
    if (!parse.ok()) {
        report(panel, "Mission " + source + ", " + parse.error + " (the plan is unchanged)", true);
        return;
    }
    replaceMission(plan, parse.mission);
    report(panel, "Loaded " + counts(parse.mission) + " from " + source, false);
}

} // namespace

void saveMissionFile(const MissionPlan& plan, MissionFilePanel& panel) {
    const std::string path = panel.path;
    MissionData mission = missionDataOf(plan);
    std::string error;
    if (path.empty())
        report(panel, "No file name to save the mission to", true);
    else if (!writeMissionFile(path, missionFileText(mission), error))
        report(panel, "Mission \"" + path + "\" " + error, true);
    else
        report(panel, "Saved " + counts(mission) + " to \"" + path + "\"", false);
}

void loadMissionFile(MissionPlan& plan, size_t bodyCount, MissionFilePanel& panel) {
    const std::string path = panel.path;
    std::string text, error;
    if (!readMissionFile(path, text, error)) {
        report(panel, "Mission \"" + path + "\" " + error + " (the plan is unchanged)", true);
        return;
    }
    loadMissionText(plan, bodyCount, text, "\"" + path + "\"", panel);
}

void pasteMission(MissionPlan& plan, size_t bodyCount, const std::string& clipboard, MissionFilePanel& panel) {
    loadMissionText(plan, bodyCount, clipboard, "from the clipboard", panel);
}

namespace {

// ---- Small helpers -------------------------------------------------------------------------------------------

// Combo items "-1: None", then "i: name" of every body; `field` is the body index (item index − 1).
bool bodyCombo(const char* label, int32_t& field, const AstroSystem& system) {
    const int32_t count = int32_t(system.objects.size());
    char preview[160];
    if (field >= 0 && field < count)
        std::snprintf(preview, sizeof preview, "%d: %s", field, system.objects[size_t(field)]->name.c_str());
    else
        std::snprintf(preview, sizeof preview, "%d: None", field);
    bool changed = false;
    if (ImGui::BeginCombo(label, preview)) {
        char item[160];
        for (int32_t k = -1; k < count; ++k) {
            if (k < 0)
                std::snprintf(item, sizeof item, "-1: None");
            else
                std::snprintf(item, sizeof item, "%d: %s", k, system.objects[size_t(k)]->name.c_str());
            ImGui::PushID(k);
            bool selected = k == field;
            if (ImGui::Selectable(item, selected) && k != field) {
                field = k;
                changed = true;
            }
            if (selected)
                ImGui::SetItemDefaultFocus();
            ImGui::PopID();
        }
        ImGui::EndCombo();
    }
    return changed;
}

bool dragStep(const char* label, uint64_t& value, float speed) {
    return ImGui::DragScalar(label, ImGuiDataType_U64, &value, speed);
}

// A three-float drag over a double vector: only what the user moves is narrowed.
bool dragDirection(const char* label, Vec3d& v, float speed) {
    float f[3] = {float(v.x), float(v.y), float(v.z)};
    if (!widgets::dragFloatN(label, f, 3, speed, -1.0f, 1.0f))
        return false;
    v = {double(f[0]), double(f[1]), double(f[2])};
    return true;
}

void clampSelection(int32_t& selected, size_t size) {
    if (selected >= int32_t(size) || selected < -1)
        selected = -1;
}

// ---- Spacecraft tab ------------------------------------------------------------------------------------------

void spacecraftTab(const AstroWindowState& window, Spacecraft& craft) {
    bool changed = false;
    if (panelHeader(window, "Astro Settings", true)) {
        widgets::inputFloat3("Position", craft.position);
        changed |= editRadius(craft.system, craft);
    }
    if (panelHeader(window, "Object Settings", false)) {
        changed |= editDensity(craft.system, craft);
        volumeAndMassTexts(craft);
    }
    if (changed && craft.missionPlan)
        craft.missionPlan->reset();
}

// ---- Navigation panel ----------------------------------------------------------------------------------------

void navigationPanel(const AstroWindowState& window, Spacecraft& craft, SpacecraftNavigation& navigation) {
    AstroSystem* system = craft.system;
    if (panelHeader(window, "SAS", true)) {
        int orientation = int(std::min<uint32_t>(navigation.orientation, 7u));
        if (ImGui::Combo("Orientation", &orientation, OrientationNames, 8))
            navigation.orientation = uint32_t(orientation);
        if (system && !system->objects.empty()) {
            ImGui::BeginDisabled(navigation.autoNav);
            const char* preview = navigation.reference ? navigation.reference->name.c_str() : "None";
            if (ImGui::BeginCombo("Reference", preview)) {
                if (ImGui::Selectable("None", navigation.reference == nullptr))
                    navigation.reference = nullptr;
                for (AstroObject* object : system->objects) {
                    ImGui::PushID(object);
                    if (ImGui::Selectable(object->name.c_str(), navigation.reference == object))
                        navigation.reference = object;
                    ImGui::PopID();
                }
                ImGui::EndCombo();
            }
            ImGui::EndDisabled();
        }
        ImGui::Checkbox("AutoNav", &navigation.autoNav);
    }
    if (craft.prediction && panelHeader(window, "Prediction", true)) {
        static const char* const spaces[] = {"World", "Target", "Dominant"};
        int space = int(std::min<uint32_t>(craft.prediction->space, 2u));
        if (ImGui::Combo("Space", &space, spaces, 3))
            craft.prediction->space = uint32_t(space);
    }
    if (panelHeader(window, "Info", true)) {
        ImGui::Text("Timestep: %" PRIu64, system ? system->timeStep : uint64_t(0));
        ImGui::Text("Velocity:   %.6f", length(craft.simVelocity));
        if (craft.prediction)
            horizonText(predictionHorizon(horizonInputOf(craft)));
    }
}

// ---- Mission editor ------------------------------------------------------------------------------------------

void demoModeHeader(const AstroWindowState& window, Spacecraft& craft, MissionPlan& plan) {
    if (!panelHeader(window, "Demo Mode", true))
        return;
    DemoCamera* camera = craft.scene ? craft.scene->mainCamera : nullptr;
    bool demo = plan.demoActive;
    if (ImGui::Checkbox("Enable Demo", &demo)) {
        if (demo) {
            plan.demoActive = true;
            plan.reset();
            plan.enterDemoCamera(true);
        } else {
            plan.demoActive = false;
            if (camera) {
                camera->mode = TARGET_FOCUS;
                if (auto* body = dynamic_cast<AstroObject*>(camera->target))
                    camera->orbitDistance = std::max(1.0, 3.0 * double(body->radius));
            }
        }
    }
    widgets::dragFloatN("Speed", &plan.speed, 1, 0.1f, 1.0f, 20.0f, "%.1f", ImGuiSliderFlags_Logarithmic);
    if (camera) {
        int mode = std::clamp(int(camera->mode), 0, 7);
        if (ImGui::Combo("Camera Mode", &mode, CameraModeLabels, 8) && mode != camera->mode)
            camera->setMode(mode);
        if (camera->mode == DEMO)
            widgets::sliderFloat("Lerp Speed", &camera->lerpSpeed, 0.1f, 10.0f);
        widgets::dragDouble("Orbit Distance", &camera->orbitDistance, 10.0f, 1.0, 100000.0, "%.1f",
                            ImGuiSliderFlags_Logarithmic);
    }
    ImGui::TextUnformatted("Default Demo Settings:");
    uint64_t start = plan.startTimeStep;
    if (dragStep("Start time step", start, 10.0f) && start != plan.startTimeStep)
        plan.chooseStartTimeStep(start);
    dragDirection("Default Cam Dir (PNR)", plan.defaultCamDir, 0.01f);
    widgets::dragDouble("Default Cam Distance", &plan.defaultCamDistance, 10.0f, 1.0, 10000.0, "%.1f",
                        ImGuiSliderFlags_Logarithmic);
}

PlanEdit maneuverList(const AstroWindowState& window, AstroSystem& system, MissionPlan& plan, int32_t& selected) {
    PlanEdit edits;
    if (!panelHeader(window, "Maneuvers", true))
        return edits;
    std::vector<Maneuver>& list = plan.maneuvers;
    clampSelection(selected, list.size());
    if (!ImGui::BeginTable("##maneuverTable", 2, ImGuiTableFlags_Resizable))
        return edits;
    ImGui::TableNextRow();
    ImGui::TableNextColumn();
    if (ImGui::BeginListBox("##ManeuverList", ImVec2(-FLT_MIN, 250.0f))) {
        ImGuiListClipper clipper;
        clipper.Begin(int(list.size()));
        char label[96];
        while (clipper.Step())
            for (int k = clipper.DisplayStart; k < clipper.DisplayEnd; ++k) {
                std::snprintf(label, sizeof label, "M %" PRIu64 " | %" PRIu64 "##%d", list[size_t(k)].time,
                              list[size_t(k)].burn, k);
                if (ImGui::Selectable(label, k == selected))
                    selected = k;
            }
        ImGui::EndListBox();
    }
    if (ImGui::Button("New Last"))
        edits += newLastManeuver(list);
    if (selected >= 0) {
        ImGui::SameLine();
        if (ImGui::Button("New Before"))
            edits += newManeuverBefore(list, selected);
        ImGui::SameLine();
        if (ImGui::Button("New After"))
            edits += newManeuverAfter(list, selected);
        ImGui::SameLine();
        if (ImGui::Button("Remove"))
            edits += removeManeuver(list, selected);
    }
    ImGui::TableNextColumn();
    if (selected >= 0 && size_t(selected) < list.size()) {
        Maneuver m = list[size_t(selected)];
        dragStep("Time", m.time, 10.0f);
        dragStep("Burn", m.burn, 1.0f);
        dragDirection("P N R", m.direction, 0.001f);
        widgets::dragDouble("Thrust", &m.thrust, 0.2f, -MissionRange::Thrust, MissionRange::Thrust, "%.3f");
        ImGui::Checkbox("Continuous", &m.continuous);
        bodyCombo("Dominant Object", m.dominantObject, system);
        float rotation = m.rotationSpeed;
        const float window = float(MissionRange::RotationSpeed);
        if (ImGui::DragFloat("Rotation speed", &rotation, 1.0f, -window, window, "%.3f",
                             ImGuiSliderFlags_AlwaysClamp) &&
            std::isfinite(rotation))
            m.rotationSpeed = rotation;
        edits += maneuverFieldEdit(list[size_t(selected)], m);
        list[size_t(selected)] = m;
    } else {
        ImGui::TextDisabled("Select a burn to edit it.");
    }
    ImGui::EndTable();
    return edits;
}

PlanEdit settingList(const AstroWindowState& window, AstroSystem& system, MissionPlan& plan, int32_t& selected) {
    PlanEdit edits;
    if (!panelHeader(window, "Timestep Settings", true))
        return edits;
    std::vector<TimestepSetting>& list = plan.settings;
    clampSelection(selected, list.size());
    if (!ImGui::BeginTable("##timestepTable", 2, ImGuiTableFlags_Resizable))
        return edits;
    ImGui::TableNextRow();
    ImGui::TableNextColumn();
    if (ImGui::BeginListBox("##TimestepList", ImVec2(-FLT_MIN, 250.0f))) {
        ImGuiListClipper clipper;
        clipper.Begin(int(list.size()));
        char label[96];
        while (clipper.Step())
            for (int k = clipper.DisplayStart; k < clipper.DisplayEnd; ++k) {
                const TimestepSetting& s = list[size_t(k)];
                double factor = s.timeFactor / 10000.0;
                long long shown = std::isfinite(factor) ? (long long)std::clamp(factor, -9e18, 9e18) : 0;
                std::snprintf(label, sizeof label, "T:%" PRIu64 " | Fac:%lld##%d", s.timestep, shown, k);
                if (ImGui::Selectable(label, k == selected))
                    selected = k;
            }
        ImGui::EndListBox();
    }
    if (ImGui::Button("New Last##TS"))
        edits += newLastSetting(list);
    if (selected >= 0) {
        ImGui::SameLine();
        if (ImGui::Button("New Before##TS"))
            edits += newSettingBefore(list, selected);
        ImGui::SameLine();
        if (ImGui::Button("New After##TS"))
            edits += newSettingAfter(list, selected);
        ImGui::SameLine();
        if (ImGui::Button("Remove##TS"))
            edits += removeSetting(list, selected);
    }
    ImGui::TableNextColumn();
    if (selected >= 0 && size_t(selected) < list.size()) {
        TimestepSetting& s = list[size_t(selected)];
        bool changed = dragStep("Timestep##ts", s.timestep, 10.0f);
        float factor = timeFactorField(s.timeFactor);
        if (widgets::dragFloatN("Timefac##ts", &factor, 1, 2.0f, 0.1f, 1000.0f, "%.3f", ImGuiSliderFlags_Logarithmic)) {
            s.timeFactor = timeFactorFromField(factor);
            changed = true;
        }
        changed |= dragDirection("Cam Dir", s.camDir, 0.01f);
        if (length(s.camDir) > 1e-6) {
            Vec3d n = normalize(s.camDir);
            ImGui::TextColored(ImVec4(0.7f, 0.7f, 0.7f, 1.0f), "Normalized: (%.2f, %.2f, %.2f)", n.x, n.y, n.z);
        }
        changed |= widgets::dragDouble("Cam Distance##ts", &s.camDistance, 10.0f, 1.0, 10000.0, "%.1f",
                                       ImGuiSliderFlags_Logarithmic);
        changed |= bodyCombo("Target Object", s.targetObject, system);
        changed |= bodyCombo("Dominant Object", s.dominantObject, system);
        ImGui::TextUnformatted("Presets:");
        static const struct {
            const char* label;
            Vec3d direction;
            bool newLine;
        } presets[] = {{"Prograde", {1, 0, 0}, false},  {"Retro", {-1, 0, 0}, false},
                       {"Normal", {0, 1, 0}, false},    {"Anti-Normal", {0, -1, 0}, true},
                       {"Radial In", {0, 0, 1}, false}, {"Radial Out", {0, 0, -1}, false}};
        for (const auto& p : presets) {
            if (!p.newLine)
                ImGui::SameLine();
            if (ImGui::SmallButton(p.label)) {
                s.camDir = p.direction;
                changed = true;
            }
        }
        if (changed)
            edits += PlanEdit{true, NothingToApply};
    } else {
        ImGui::TextDisabled("Select a keyframe to edit it.");
    }
    ImGui::EndTable();
    return edits;
}

void missionFileButtons(AstroWindowState& window, const Services& services, AstroSystem& system, MissionPlan& plan) {
    MissionFilePanel& panel = window.missionFile;
    if (ImGui::Button("Copy to clipboard") && services.setClipboard)
        services.setClipboard(missionClipboardText(missionDataOf(plan)));
    ImGui::SameLine();
    if (ImGui::Button("Paste from clipboard")) {
        if (services.getClipboard) {
            pasteMission(plan, system.objects.size(), services.getClipboard(), panel);
            window.selectedManeuver = window.selectedTimestepSetting = -1;
        } else {
            report(panel, "No clipboard to paste from", true);
        }
    }
    if (ImGui::Button("Save mission..."))
        ImGui::OpenPopup("Save mission");
    ImGui::SameLine();
    if (ImGui::Button("Load mission..."))
        ImGui::OpenPopup("Load mission");
    for (const char* popup : {"Save mission", "Load mission"}) {
        const bool saving = popup[0] == 'S';
        if (!ImGui::BeginPopupModal(popup, nullptr, ImGuiWindowFlags_AlwaysAutoResize))
            continue;
        ImGui::SetNextItemWidth(420.0f);
        if (ImGui::IsWindowAppearing())
            ImGui::SetKeyboardFocusHere();
        bool go =
            ImGui::InputText("File", panel.path, MissionFilePanel::PathCapacity, ImGuiInputTextFlags_EnterReturnsTrue);
        go |= ImGui::Button(saving ? "Save" : "Load");
        ImGui::SameLine();
        if (ImGui::Button("Cancel"))
            ImGui::CloseCurrentPopup();
        if (go) {
            if (saving) {
                saveMissionFile(plan, panel);
            } else {
                loadMissionFile(plan, system.objects.size(), panel);
                window.selectedManeuver = window.selectedTimestepSetting = -1;
            }
            ImGui::CloseCurrentPopup();
        }
        ImGui::EndPopup();
    }
    if (!panel.message.empty()) {
        ImVec4 color = panel.messageIsError ? ImVec4(1.0f, 0.45f, 0.4f, 1.0f) : ImVec4(0.7f, 0.7f, 0.7f, 1.0f);
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextColored(color, "%s", panel.message.c_str());
        ImGui::PopTextWrapPos();
    }
}

// The "Aim" section of the selected burn. An aim that ended is taken first, whatever is selected or shown now.
PlanEdit aimSection(AstroWindowState& window, BurnAimer* aimer, const AstroSystem& system, MissionPlan& plan,
                    int32_t selected) {
    PlanEdit edits;
    AimPanel& panel = window.aim;
    std::vector<Maneuver>& list = plan.maneuvers;
    auto edited = [&](int32_t burn, const Maneuver& before) { edits += maneuverFieldEdit(before, list[size_t(burn)]); };
    AimOutcome outcome;
    if (panel.running && (!aimer || aimer->finished(outcome))) {
        const int32_t burn = panel.request.burn;
        const Maneuver before = burn >= 0 && size_t(burn) < list.size() ? list[size_t(burn)] : Maneuver{};
        if (!aimer)
            outcome.message = "The aiming solver went away; the burn is unchanged.";
        if (takeAim(list, panel, outcome, system.timeStepLength))
            edited(burn, before);
    }
    if (!panelHeader(window, "Aim##section", true))
        return edits;
    if (selected < 0 || size_t(selected) >= list.size()) {
        ImGui::TextDisabled("Select a burn to aim it.");
        return edits;
    }
    AimRequest& r = panel.request;
    ImGui::BeginDisabled(panel.running);
    bodyCombo("Target body", r.body, system);
    int kind = int(r.kind);
    if (ImGui::Combo("Kind", &kind, AimKindLabels, 2))
        r.kind = AimKind(kind);
    widgets::dragDouble("Distance", &r.distance, 0.1f, 0.0, 1e12, "%.3f");
    if (r.kind == AimKind::ArriveAtStep)
        dragStep("Step", r.step, 10.0f);
    ImGui::EndDisabled();

    ImGui::BeginDisabled(!aimer || panel.running);
    if (ImGui::Button("Aim") && aimer) {
        r.burn = selected;
        std::string error;
        panel.hasResult = false;
        if (aimer->start(missionDataOf(plan), r, error)) {
            panel.running = true;
            panel.message.clear();
        } else {
            panel.message = error;
        }
    }
    ImGui::EndDisabled();
    if (!aimer) {
        ImGui::SameLine();
        ImGui::TextDisabled("No aiming solver in this build.");
    }
    if (panel.running && aimer) {
        ImGui::SameLine();
        ImGui::ProgressBar(aimer->progress(), ImVec2(120.0f, 0.0f));
        ImGui::SameLine();
        if (ImGui::Button("Cancel"))
            aimer->cancel();
    }
    if (panel.hasResult && panel.outcome.converged)
        ImGui::Text("Miss %.4g -> %.4g, delta-v %+.4g", panel.outcome.missBefore, panel.outcome.missAfter,
                    panel.deltaVChange);
    if (panel.undoBurn >= 0) {
        const int32_t burn = panel.undoBurn;
        const Maneuver before = size_t(burn) < list.size() ? list[size_t(burn)] : Maneuver{};
        if (ImGui::Button("Undo") && undoAim(list, panel))
            edited(burn, before);
    }
    if (!panel.message.empty()) {
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextColored(ImVec4(1.0f, 0.45f, 0.4f, 1.0f), "%s", panel.message.c_str());
        ImGui::PopTextWrapPos();
    }
    return edits;
}

// A multi-line field over a std::string, grown as the user types or pastes.
bool inputTextBlock(const char* label, std::string& text, const ImVec2& size) {
    auto grow = [](ImGuiInputTextCallbackData* data) {
        if (data->EventFlag == ImGuiInputTextFlags_CallbackResize) {
            auto* s = static_cast<std::string*>(data->UserData);
            s->resize(size_t(data->BufTextLen));
            data->Buf = s->data();
        }
        return 0;
    };
    return ImGui::InputTextMultiline(label, text.data(), text.capacity() + 1, size, ImGuiInputTextFlags_CallbackResize,
                                     grow, &text);
}

// "Take a transfer": a porkchop cell pasted as text becomes a burn of the plan.
PlanEdit transferSection(AstroWindowState& window, const Services& services, const AstroSystem& system,
                         MissionPlan& plan, int32_t dominant) {
    PlanEdit edits;
    if (!panelHeader(window, "Take a transfer", false))
        return edits;
    TransferPanel& panel = window.transfer;
    if (panel.from < 0 && dominant >= 0)
        panel.from = dominant;
    ImGui::PushTextWrapPos(0.0f);
    ImGui::TextDisabled("A line of a porkchop CSV (with or without its header), or the mission "
                        "kestrune-plan porkchop --write-mission wrote.");
    ImGui::PopTextWrapPos();
    inputTextBlock("##transferText", panel.text, ImVec2(-FLT_MIN, 4.0f * ImGui::GetTextLineHeightWithSpacing()));
    if (ImGui::Button("Paste##transfer")) {
        std::string clip = services.getClipboard ? services.getClipboard() : std::string();
        if (!services.getClipboard) {
            panel.message = "No clipboard to paste from.";
            panel.messageIsError = true;
        } else if (clip.size() > MaxMissionFileBytes) {
            panel.message = "The clipboard holds more than a mission file may (" +
                            std::to_string(MaxMissionFileBytes >> 20) + " MB); nothing pasted.";
            panel.messageIsError = true;
        } else {
            panel.text = std::move(clip);
        }
    }
    ImGui::SameLine();
    ImGui::SetNextItemWidth(200.0f);
    bodyCombo("Departs from", panel.from, system);
    if (ImGui::Button("Take transfer"))
        edits += takeTransfer(plan.maneuvers, panel, system.objects.size(), plan.startTimeStep, system.timeStepLength,
                              window.selectedManeuver);
    if (panel.canUndo) {
        ImGui::SameLine();
        if (ImGui::Button("Undo##transfer"))
            edits += undoTransfer(plan.maneuvers, panel, window.selectedManeuver);
    }
    if (!panel.message.empty()) {
        ImVec4 color = panel.messageIsError ? ImVec4(1.0f, 0.45f, 0.4f, 1.0f) : ImVec4(0.7f, 0.7f, 0.7f, 1.0f);
        ImGui::PushTextWrapPos(0.0f);
        ImGui::TextColored(color, "%s", panel.message.c_str());
        ImGui::PopTextWrapPos();
    }
    return edits;
}

void missionEditor(AstroWindowState& window, const Services& services, Spacecraft& craft, MissionPlan& plan) {
    AstroSystem* system = craft.system;
    if (!system)
        return;
    const uint64_t now = system->timeStep;
    PredictedState state{};
    int32_t dominant = -1;
    if (craft.prediction && craft.prediction->worker.running() && craft.prediction->worker.stateAt(now, state))
        dominant = state.dominant;
    const int32_t named = std::max(dominant, 0);
    const char* name = size_t(named) < system->objects.size() ? system->objects[size_t(named)]->name.c_str() : "";
    ImGui::Text("Time: %" PRIu64, now);
    ImGui::Text("DomObj: %s", name);
    ImGui::Text("DomIndex: %d", dominant);

    PlanEdit edits;
    if (ImGui::Button("Reset"))
        plan.reset();
    ImGui::SameLine();
    if (ImGui::Button("Sort"))
        edits += sortManeuvers(plan.maneuvers, window.selectedManeuver);
    ImGui::SameLine();
    ImGui::Checkbox("Auto apply", &plan.autoApply);
    if (!plan.autoApply) {
        ImGui::SameLine();
        if (ImGui::Button("Apply plan"))
            plan.applyPlan();
    }
    missionFileButtons(window, services, *system, plan);
    edits += transferSection(window, services, *system, plan, dominant);
    demoModeHeader(window, craft, plan);
    edits += maneuverList(window, *system, plan, window.selectedManeuver);
    edits += aimSection(window, services.burnAimer, *system, plan, window.selectedManeuver);
    edits += settingList(window, *system, plan, window.selectedTimestepSetting);
    finishPlanEdits(plan, edits);
}

} // namespace

void drawSpacecraftTabs(AstroWindowState& window, Spacecraft& craft, const Services& services) {
    if (!ImGui::BeginTabBar("SpacecraftTabs"))
        return;
    if (ImGui::BeginTabItem("Spacecraft")) {
        spacecraftTab(window, craft);
        ImGui::EndTabItem();
    }
    if (craft.navigation && ImGui::BeginTabItem("Navigation")) {
        navigationPanel(window, craft, *craft.navigation);
        ImGui::EndTabItem();
    }
    if (craft.missionPlan && ImGui::BeginTabItem("Mission")) {
        missionEditor(window, services, craft, *craft.missionPlan);
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Orbit")) {
        drawOrbitSection(window, craft);
        drawOrbitRendererSection(window, craft);
        ImGui::EndTabItem();
    }
    if (ImGui::BeginTabItem("Transit")) {
        if (ImGui::Button("Test") && craft.navigation)
            craft.navigation->mode = NavHold;
        ImGui::EndTabItem();
    }
    ImGui::EndTabBar();
}

} // namespace Demo
