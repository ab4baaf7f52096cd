#pragma once
// Moves and turns the spacecraft. Each frame it advances the craft through the time steps the system advanced:
// integrated under the gravity of all bodies and the thrust of the scheduled burns (Free), placed on its Kepler
// orbit (Orbit) or left where it is (Hold). It then points the craft along the chosen orientation, slewing into
// and out of burns, and places marker spheres at the start and end of every coming burn on the prediction.
#include "Demo/Scene/SceneComponent.h"
#include "Demo/Spacecraft/FlightCore.h"

#include <cstdint>
#include <vector>

class DataSet;
class GraphicsDevice;
struct StorageBinding;

namespace Demo {

class AstroObject;
class AstroSystem;
class Spacecraft;
struct FrameContext;
struct PredictedState;
struct Services;

enum NavigationMode : uint32_t { NavFree = 0, NavOrbit = 1, NavHold = 2 };
inline constexpr const char* NavigationModeNames[3] = {"Free", "Orbit", "Hold"};

// One marker as the "spacecraft_maneuver" shaders read it (48 bytes, std140 array element): a translucent disc of
// a fixed size on screen around a point of the prediction.
struct MarkerInstance {
    float position[4]; // world units; w unused
    float extent[4];   // half width and height in normalised device units (x, y); z, w unused
    float color[4];    // alpha: coverage of the disc's inside
};
static_assert(sizeof(MarkerInstance) == 48);
static_assert(offsetof(MarkerInstance, position) == 0);
static_assert(offsetof(MarkerInstance, extent) == 16);
static_assert(offsetof(MarkerInstance, color) == 32);
constexpr uint32_t MaxMarkers = 64;

// A marker of `radiusPixels` at `position` for a view of width × height pixels (green: burn start, red: burn end).
// A view without size is taken as 1920 × 1080.
MarkerInstance makeMarker(const float position[3], bool start, float radiusPixels, uint32_t width, uint32_t height);

// A marker before it is placed: the step on the prediction and its colour (green: burn start, red: burn end).
struct MarkerRequest {
    uint64_t step = 0;
    bool start = false;
};
// The markers of the burns that have not ended at `now`, in list order: the start of a burn not yet begun, then
// its end. When there are more than MaxMarkers, the MaxMarkers nearest in time are kept (stable); `dropped` tells.
void collectMarkers(const std::vector<Maneuver>& maneuvers, uint64_t now, std::vector<MarkerRequest>& out,
                    bool& dropped);

class SpacecraftNavigation : public SceneComponent {
public:
    explicit SpacecraftNavigation(Spacecraft* craft);
    ~SpacecraftNavigation() override;

    void CreateUniform() override;
    void Start() override { start(); }
    // The frame: mode key, motion by mode, manual keys, reference body, attitude, markers.
    void Update(const FrameContext& frame) override;
    void RecordOverlay(const FrameContext& frame, CommandContext* context) override;

    // Marker sphere, marker block, data set and the shared pipeline. Nothing without a device.
    void createGpu(const Services& services);
    // Sizes the gravity bodies for the system's body list.
    void start();
    void record(CommandContext* context, DataSet* cameraSet);

    // Free flight over the steps from the system's previous to its current time step; then the interpolation for
    // drawing. A frame without steps only re-interpolates.
    void integrate();
    // Restarts the prediction from the craft's simulated state at the system's current time step.
    void restartPrediction();
    // Simulated time jumped to `step`: in free flight the craft takes the state the prediction flew to that step,
    // or, where nothing was predicted, its Kepler orbit's state there (and the prediction restarts from it).
    void timeJumped(uint64_t step);
    // Attitude along `orientation`, the slews into and out of burns, the thrust shown during a burn.
    void attitudeControl(bool demoRunning);
    void updateMarkers();

    // Thrust and the attitude along it ("Target" along the thrust vector) of a burn flown at `step` from `state`
    // in the frame of body `bodyIndex` (the cached body position and velocity at that step).
    Vec3d burnThrust(const Maneuver& m, uint64_t step, const Vec3d& position, const Vec3d& velocity,
                     int32_t bodyIndex) const;
    Quatd burnAttitudeAt(const Maneuver& m, uint64_t step, int32_t bodyIndex, const Quatd& fallback) const;

    uint32_t mode = NavFree;
    AstroObject* reference = nullptr; // the system itself or a body; followed by autoNav
    uint32_t orientation = OrientPrograde;
    bool autoNav = true;
    Spacecraft* craft = nullptr;
    Quatd burnAttitude, smoothedBurnAttitude; // where the current slew started, and a tenth of the way on
    float burnBlend = 0.0f;                   // progress of the current slew
    std::vector<GravityBody> gravityBodies;
    double refreshTimer = 10000.0; // milliseconds since the last prediction restart in Orbit mode
    Quatd attitude;
    int64_t slewSteps = 0; // time steps since the attitude's reference body last changed
    AstroObject* slewReference = nullptr;
    float markerPixels = 5.0f;              // radius on screen
    uint32_t viewWidth = 0, viewHeight = 0; // pixels, from the frame
    std::vector<MarkerInstance> markers;
    StorageBinding* markerUniform = nullptr; // MaxMarkers instances
    DataSet* dataSet = nullptr;
    bool markerOverflowReported = false;

private:
    // One stdout line when a burn starts being flown and one when it ends: the step, the velocity change the
    // thrust gave, and the craft's distance and speed relative to the burn's body (world units, per second).
    void reportBurn(int32_t burn, bool started, uint64_t step, const Vec3d& position, const Vec3d& velocity);
    Vec3d cachedBody(uint64_t step, int32_t index) const;
    Vec3d cachedBodyVelocityAt(uint64_t step, int32_t index) const;

    GraphicsDevice* device = nullptr;
    AstroSystem* system = nullptr;
    GravityField gravity;             // gravityBodies as the gravity sum reads them
    FlightState flight;               // the burn cursor and fixed-frame thrust carried between frames
    std::vector<Maneuver> sortedPlan; // the plan in time order, as the flight step reads it
    std::vector<int32_t> planOrder;   // index in the plan of every sorted entry
    uint64_t flownUpTo = UINT64_MAX;  // the step the last integration reached
    int32_t flownBurn = -1;           // the burn flown at that step, for the burn lines
    double flownBurnDeltaV = 0.0;     // world units per second the thrust gave since that burn started
    std::vector<MarkerRequest> markerRequests;
    MarkerInstance markerBlock[MaxMarkers] = {};
};

} // namespace Demo
