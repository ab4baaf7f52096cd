#pragma once
// The spacecraft's tabs of the astro settings window: its physical settings, the navigation panel, the mission
// editor (plan controls, demo mode, the manoeuvre and timestep-setting lists), its orbit and the transit test;
// and the mission files: "Copy to clipboard", "Save mission...", "Load mission..." and "Paste from clipboard".
#include "Demo/Panels/AstroPanels.h"

#include <cstddef>
#include <string>

namespace Demo {

class MissionPlan;
class Spacecraft;
struct Services;

// The eight camera modes by value, named as they behave.
inline constexpr const char* CameraModeLabels[8] = {
    "Free",          "Target Follow", "Target Focus", "Target Fixed", "Target Prograde",
    "Target Radial", "Target Normal", "Demo"};

// Tab bar "SpacecraftTabs".
void drawSpacecraftTabs(AstroWindowState& window, Spacecraft& craft, const Services& services);

// The mission-file actions on a plan of a system of `bodyCount` bodies; each leaves its outcome in `panel`
// (and prints it). A refused text leaves the plan untouched.
void saveMissionFile(const MissionPlan& plan, MissionFilePanel& panel);
void loadMissionFile(MissionPlan& plan, size_t bodyCount, MissionFilePanel& panel);
void pasteMission(MissionPlan& plan, size_t bodyCount, const std::string& clipboard, MissionFilePanel& panel);

} // namespace Demo
