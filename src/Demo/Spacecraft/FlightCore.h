#pragma once
// The one step every flier of the craft takes (the navigation, the prediction worker, the planner and its aiming
// solver): the bodies of the step from a position ring, the gravity sum, the thrust of the burn flown at that
// step, the semi-implicit Euler step. Everything it reads or changes is handed to it, so any number of flights
// can run side by side on threads; no Vulkan, no window.
#include "Demo/Astro/BodyCache.h"
#include "Demo/Spacecraft/FlightMath.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Demo {

// What stays fixed over a flight.
struct FlightRules {
    const Maneuver* maneuvers = nullptr; // in time order (stable: list order between equal starts)
    size_t maneuverCount = 0;
    int32_t craftIndex = -1;            // the craft's own entry in the ring, skipped by the gravity sum
    const Vec3d* orbitNormal = nullptr; // replaces r̂ × ŵ as N (the craft placed on its Kepler orbit)
    Vec3d fallbackNose{0.0, 0.0, -1.0}; // the craft's nose, for burns whose frame is undefined
};

// The state a flight carries from one step to the next.
struct FlightState {
    Vec3d position;                 // world units
    Vec3d velocity;                 // world units per second
    int32_t cursor = 0;             // the first burn (in FlightRules order) that has not ended
    uint64_t savedFor = UINT64_MAX; // start step of the fixed-frame burn whose thrust is saved
    Vec3d savedThrust;
    uint64_t loadedSlot = UINT64_MAX; // the ring slot (step / 4) whose positions are in the field

    // The cursor and the fixed-frame thrust to be found again at the next step (a jump, an edited plan).
    void forgetBurns() {
        cursor = 0;
        savedFor = UINT64_MAX;
    }
};

struct FlightStepResult {
    GravityResult gravity; // at the start of the step, with `strongest` the body of the greatest pull
    Vec3d thrust;          // world units per second², zero outside burns
    int32_t burn = -1;     // index into FlightRules of the burn flown, or -1
};

// The burn flown at step t (advancing the cursor past the burns that have ended), or -1.
int32_t flightBurnAt(FlightState& state, const FlightRules& rules, uint64_t t);

// Flies step t: the field takes the ring's positions of step t (when its slot changed), the burn's thrust is
// taken in the frame of its body at the frame's step (every step for a continuous burn; its first step, or the
// first flown, for a fixed one), and the state moves by one semi-implicit Euler step of the ring's step length.
FlightStepResult flightStep(FlightState& state, GravityField& field, const BodyCacheView& ring,
                            const FlightRules& rules, uint64_t t);

// The list in the time order FlightRules needs, and for every entry its index in `list`.
void sortBurns(const std::vector<Maneuver>& list, std::vector<Maneuver>& sorted, std::vector<int32_t>& order);

} // namespace Demo
