#pragma once
// The sections of the astro settings window that several tab bars share (the body tabs and the spacecraft's),
// the state they keep between frames, and the widgets they are made of. Every numeric widget refuses a value that
// is not finite (the old value stays), since panel values feed the simulation and the shaders.
#include "Demo/Spacecraft/BurnAiming.h"
#include "Demo/Spacecraft/MissionEditing.h"

#include <cstddef>
#include <cstdint>
#include <string>

class DescriptorSet;
class GraphicsDevice;
class GraphicsResource;

namespace Demo {

class AstroObject;
class AstroSystem;
class Atmosphere;
class PlanetSurfaceSolid;
struct Services;

// The state of the mission-file buttons: the path typed for saving and loading, and the outcome of the last
// action, shown under the buttons.
struct MissionFilePanel {
    static constexpr size_t PathCapacity = 1024;
    char path[PathCapacity] = "mission.txt";
    std::string message;
    bool messageIsError = false;
};

// What the sections of the astro settings window keep between frames: list selections, the mission-file, aim
// and transfer panels, and the height-map preview.
class AstroWindowState {
public:
    AstroWindowState() = default;
    // Releases the preview's set and view after the frames in flight.
    ~AstroWindowState();
    AstroWindowState(const AstroWindowState&) = delete;
    AstroWindowState& operator=(const AstroWindowState&) = delete;

    // The height-map preview of a solid surface: its own descriptor set (a 2D grey view of the map's first cube
    // face with the user interface's sampler), made on demand; null without a device or a generated map.
    DescriptorSet* preview(PlanetSurfaceSolid& surface, const Services& services);
    void releasePreview();

    DescriptorSet* previewSet = nullptr;
    int32_t selectedManeuver = -1;
    int32_t selectedTimestepSetting = -1;
    // Opens every header and layer node (benchmarks and screenshots of the whole window).
    bool expandAll = false;
    MissionFilePanel missionFile;
    AimPanel aim;
    TransferPanel transfer;

private:
    GraphicsResource* previewView = nullptr;
    GraphicsDevice* previewDevice = nullptr;
    const void* previewImage = nullptr; // the height map the set shows
};

// A collapsing header, open at first when `defaultOpen`; every one is open while the window expands all.
bool panelHeader(const AstroWindowState& window, const char* label, bool defaultOpen);

// "Orbit Settings": the seven elements, the orbit type, period and semi-minor axis of an ellipse; the invariants
// applied while shown; an edit resets the active mission plan. Elements are written under the cache lock (the
// cache worker reads them).
void drawOrbitSection(AstroWindowState& window, AstroObject& body);
// "Orbit Renderer": the line's space and visibility.
void drawOrbitRendererSection(AstroWindowState& window, AstroObject& body);
// "Surface Settings" and the editor of the surface's kind.
void drawSurfaceSection(AstroWindowState& window, AstroObject& body, const Services& services);
// "Atmosphere Settings".
void drawAtmosphereSection(AstroWindowState& window, Atmosphere& atmosphere);

// Radius and density written under the cache lock; true when either changed.
bool editRadius(AstroSystem* system, AstroObject& body);
bool editDensity(AstroSystem* system, AstroObject& body);
// "Volume: %.6f" and "Mass:   %.6f" of a body.
void volumeAndMassTexts(const AstroObject& body);

namespace widgets {
bool inputFloat(const char* label, float* v, const char* format = "%.3f");
bool inputFloat3(const char* label, float* v, const char* format = "%.3f");
bool inputDouble(const char* label, double* v, const char* format = "%.6f", double step = 0.0, double fastStep = 0.0,
                 int flags = 0);
bool sliderFloat(const char* label, float* v, float min, float max, const char* format = "%.3f");
bool sliderFloatN(const char* label, float* v, int count, float min, float max, const char* format = "%.3f");
bool sliderDouble(const char* label, double* v, double min, double max, const char* format = "%.6f");
bool dragFloatN(const char* label, float* v, int count, float speed, float min, float max, const char* format = "%.3f",
                int flags = 0);
bool dragDouble(const char* label, double* v, float speed, double min, double max, const char* format, int flags = 0);
} // namespace widgets

} // namespace Demo
