#pragma once
// The astro settings window, "Astro Object Settings (" + the system's name + ")": pick the system or any body and
// edit its physical parameters, orbit, orbit line, surface generator and atmosphere while the simulation runs;
// the spacecraft's tabs are the mission editor's. Edits that change a trajectory reset the mission plan. The
// window's close button hides it; the menu bar of the user interface shows it again.
#include "Demo/Panels/AstroPanels.h"
#include "Demo/Panels/MissionEditor.h"

#include <cstdint>

namespace Demo {

class AstroObject;
class AstroSystem;
struct Services;

// "Time" shows seconds of simulated time; an entered value becomes the time step seconds / step length,
// truncated. A negative or non-finite entry, or a step length that is not positive, leaves the time at
// `current`; values past the last time step saturate.
uint64_t timeStepFromSeconds(double seconds, double timeStepLength, uint64_t current);

class AstroSettingsWindow : public AstroWindowState {
public:
    explicit AstroSettingsWindow(AstroSystem* system);

    // Selects a target (the system or one of its bodies); a new target drops the preview's set.
    void setTarget(AstroObject* object);
    // Builds the window inside the open UI frame while it is not hidden (nothing outside a frame).
    void draw(const Services& services);

    AstroObject* target = nullptr;
    bool hidden = false;
    AstroSystem* system = nullptr;

private:
    void drawSystemTabs(AstroSystem& target, const Services& services);
    void drawPlanetTabs(AstroObject& body, const Services& services);
    void drawStarTabs(AstroObject& body, const Services& services);
};

} // namespace Demo
