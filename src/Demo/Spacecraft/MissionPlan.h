#pragma once
// The mission: the start state, the burns the navigation and the prediction fly, and the keyframes of the
// demonstration, which every frame sets the time factor and glides the demo camera. Also the function keys
// that switch the camera and start the demo.
#include "Demo/Scene/SceneComponent.h"
#include "Demo/Spacecraft/MissionSchedule.h"

#include <cstdint>
#include <vector>

namespace Demo {

class AstroSystem;
class DemoCamera;
class Spacecraft;
struct FrameContext;

class MissionPlan : public SceneComponent {
public:
    explicit MissionPlan(Spacecraft* craft);
    ~MissionPlan() override;

    // Loads the built-in mission and, with the demo flag of the services, starts the demo.
    void Start() override;
    // F1 F2 F3 F5, then the demo schedule while the demo runs.
    void Update(const FrameContext& frame) override;

    void start(bool demoEnabled);

    // Appends a burn; a direction shorter than 1e-9 is not added.
    void scheduleManouver(uint64_t time, uint64_t burn, const Vec3d& direction, double thrust, bool continuous,
                          int32_t dominantObject, float rotationSpeed);
    // Appends a demo keyframe (the third argument is accepted and ignored).
    void scheduleSetting(uint64_t timestep, double timeFactor, bool unused, const Vec3d& camDir, double camDistance,
                         int32_t targetObject, int32_t dominantObject);
    // Restarts the mission from the start step: the craft on its orbit at that step, the system's time there,
    // the prediction restarted.
    void reset();
    // Makes edits of the burn list since the last apply take effect (restart the prediction where the edit
    // begins when it can, otherwise reset).
    void applyPlan();
    // A start step chosen by the user: kept by every later reset.
    void chooseStartTimeStep(uint64_t step);
    // One frame of the demo: the system's time factor and the demo camera's target, direction, distance and
    // reference body.
    void runDemoSchedule();

    Spacecraft* craft = nullptr;
    bool demoActive = false;
    double defaultTimeFactor = 10000.0;
    Vec3d defaultCamDir{0.0, 1.0, 0.0};
    double defaultCamDistance = 200.0;
    StartData startData;
    std::vector<Maneuver> maneuvers;
    std::vector<TimestepSetting> settings;
    float speed = 1.1f;
    bool autoApply = true;
    uint64_t applyFrom = NothingToApply; // earliest step touched by an edit since the last apply
    uint64_t startTimeStep = 0;          // the step resets start from

    // Camera to DEMO with the craft as its target (the F5, demo-start and "Enable Demo" steps).
    void enterDemoCamera(bool distanceFromCurrentTarget);

private:
    AstroSystem* system() const;
    DemoCamera* camera() const;
};

// The mission of the system's flown craft, or null: the one time and orbit edits restart and the command line
// loads.
MissionPlan* flownMission(const AstroSystem& system);

} // namespace Demo
