#pragma once
// The astro settings window, "Astro Object Settings (" + the system's name + ")": pick the system or any body and
// edit its physical parameters, orbit, orbit line, surface generator and atmosphere while the simulation runs;
// the spacecraft's tabs are the mission editor's. Edits that change a trajectory reset the mission plan. The
// window's close button hides it; the menu bar of the user interface shows it again.
#include "Demo/Panels/MissionEditor.h"
#include "Demo/Spacecraft/BurnAiming.h"
#include "Demo/Spacecraft/MissionEditing.h"

#include <cstdint>

class DescriptorSet;
class GraphicsDevice;
class GraphicsResource;

namespace Demo {

class AstroObject;
class AstroSystem;
class PlanetSurfaceSolid;
struct Services;

// "Time" shows seconds of simulated time; an entered value becomes the time step seconds / step length,
// truncated. A negative or non-finite entry, or a step length that is not positive, leaves the time at
// `current`; values past the last time step saturate.
uint64_t timeStepFromSeconds(double seconds, double timeStepLength, uint64_t current);
// The mission of the system's flown craft, or null.
MissionPlan* flownMission(const AstroSystem& system);

class AstroSettingsWindow {
public:
    explicit AstroSettingsWindow(AstroSystem* system);
    // Releases the preview's set and view after the frames in flight.
    ~AstroSettingsWindow();
    AstroSettingsWindow(const AstroSettingsWindow&) = delete;
    AstroSettingsWindow& operator=(const AstroSettingsWindow&) = delete;

    // Selects a target (the system or one of its bodies); a new target drops the preview's set.
    void setTarget(AstroObject* object);
    // Builds the window inside the open UI frame while it is not hidden (nothing outside a frame).
    void draw(const Services& services);
    // The height-map preview of a solid surface: its own descriptor set (a 2D grey view of the map's first cube
    // face with the user interface's sampler), made on demand; null without a device or a generated map.
    DescriptorSet* preview(PlanetSurfaceSolid& surface, const Services& services);
    void releasePreview();

    DescriptorSet* previewSet = nullptr;
    AstroObject* target = nullptr;
    bool hidden = false;
    int32_t selectedManeuver = -1;
    int32_t selectedTimestepSetting = -1;
    // Opens every header and layer node (benchmarks and screenshots of the whole window).
    bool expandAll = false;
    MissionFilePanel missionFile;
    AimPanel aim;
    TransferPanel transfer;
    AstroSystem* system = nullptr;

private:
    void drawSystemTabs(AstroSystem& target, const Services& services);
    void drawPlanetTabs(AstroObject& body, const Services& services);
    void drawStarTabs(AstroObject& body, const Services& services);

    GraphicsResource* previewView = nullptr;
    GraphicsDevice* previewDevice = nullptr;
    const void* previewImage = nullptr; // the height map the set shows
};

} // namespace Demo
