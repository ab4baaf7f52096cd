#pragma once
// The mission as data: the built-in manoeuvres and demo keyframes, the interpolation of the demo schedule and
// the rule that decides how an edited plan takes effect. Plain functions; the MissionPlan component applies them.
#include "Demo/Spacecraft/FlightMath.h"

#include <cstdint>
#include <vector>

namespace Demo {

// One keyframe of the demonstration.
struct TimestepSetting {
    uint64_t timestep = 0;       // time step at which the setting applies
    double timeFactor = 0.0;     // simulated seconds per real second
    Vec3d camDir{0.0, 1.0, 0.0}; // camera direction as prograde, normal, radial weights (not normalised)
    double camDistance = 200.0;  // world units beyond three radii of the target
    int32_t dominantObject = 0;  // body whose frame the camera direction and the craft's attitude use
    int32_t targetObject = -1;   // body the camera looks at; negative: the spacecraft
};

// The values a mission accepts, loaded or edited. Beyond them the craft or the camera leaves the range where the
// flight's doubles and the renderer's floats stay meaningful (a thrust of 1e39 sends the craft where every frame
// is black), so a text outside them is refused and the panels stop at them.
namespace MissionRange {
constexpr double Thrust = 1e4;            // |thrust|; the built-in burns stay below 100
constexpr double Weight = 1e3;            // |P|, |N|, |R| of a burn or camera direction (only the direction counts)
constexpr double RotationSpeed = 1e7;     // |time steps| of the attitude blend (≤ 0: none)
constexpr double TimeFactor = 1e8;        // simulated seconds per real second, 0 up to this
constexpr double CamDistance = 150000.0;  // world units, 0 up to three quarters of the camera's far plane
constexpr double Speed = 100.0;           // the demo's time factor multiplier, 0 up to this
} // namespace MissionRange

// The 16 manoeuvres and 67 settings of the built-in mission, in list order (two settings are out of time order,
// as the mission was written).
std::vector<Maneuver> builtInManeuvers();
std::vector<TimestepSetting> builtInSettings();

// What the demo drives in one frame.
struct DemoValues {
    double timeFactor = 0.0;
    Vec3d camDir;
    double camDistance = 0.0;
    int32_t dominantObject = 0;
    int32_t targetObject = -1;
};
struct DemoDefaults {
    double timeFactor = 10000.0;
    Vec3d camDir{0.0, 1.0, 0.0};
    double camDistance = 200.0;
};

// The settings around `now`: prev = the latest at or before now, next = the earliest after it (the earlier entry
// in list order on equal distances); -1 when there is none.
struct SchedulePair {
    int32_t previous = -1, next = -1;
};
SchedulePair findSchedulePair(const std::vector<TimestepSetting>& settings, uint64_t now);

// Between two settings: cosine ease w = (1 − cos πt)/2 (32-bit), time factor blended and multiplied by `speed`,
// camera direction and distance blended, body indices of the next setting. Before the first or after the last
// setting that setting holds (time factor without `speed`); with no setting at all, the defaults.
DemoValues interpolateSchedule(const std::vector<TimestepSetting>& settings, uint64_t now, float speed,
                               const DemoDefaults& defaults);

// How "Apply plan" makes an edit take effect: when the prediction already holds a valid state at
// s = applyFrom − 512 (clamped at 0) that is not behind the current time step, it restarts from that state at
// step s + 1; otherwise the whole mission is reset.
struct ApplyDecision {
    bool restart = false;
    uint64_t stateStep = 0; // the step whose predicted state is the restart state (restart at stateStep + 1)
};
ApplyDecision decideApplyPlan(uint64_t applyFrom, uint64_t predictionHead, uint64_t predictionValidFrom,
                              uint64_t timeStep);

constexpr uint64_t NothingToApply = 99999999999ull;

} // namespace Demo
