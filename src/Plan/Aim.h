#pragma once
// Aims one burn: changes its direction (P, N, R) and thrust, keeping its start and length, so that the craft
// arrives at a chosen distance from a body at a chosen step, or passes the body at a chosen closest distance.
// Every candidate is flown with the program's flight step over the whole system (finite burn, every body's
// gravity), so what is aimed is what the navigation then flies. A damped Gauss–Newton iteration on a
// finite-difference Jacobian; the candidates of an iteration fly in parallel.
#include "Demo/Spacecraft/MissionText.h"
#include "Plan/Ephemeris.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace Plan {

// The longest stretch a candidate flies from the burn's start: the ring for it is held whole (29 bodies: about
// 175 MB at most).
constexpr uint64_t MaxAimSteps = 1000000;

enum class AimKind {
    // At `step`, `distance` from the body: first as three conditions (the point at that distance on the side the
    // planned flight reaches), then, when no burn reaches that point, the distance alone (the least change).
    Arrive,
    Pass, // closest approach `distance` between the burn's end and `step` (0: the next burn's start)
};

struct AimTarget {
    AimKind kind = AimKind::Pass;
    int32_t body = -1;
    double distance = 0.0; // world units, centre to centre
    uint64_t step = 0;
};

struct AimOptions {
    int maxIterations = 40;
    double tolerance = 0.01; // of the asked distance
    unsigned threads = 2;    // flights at once
    // Called after every iteration with the iteration and the miss then (world units).
    std::function<void(int, double)> progress;
    const std::atomic<bool>* cancel = nullptr;
};

struct AimResult {
    bool ok = false;
    std::string message;                      // why it failed, or a summary
    Demo::Maneuver burn;                      // the aimed burn (ok only)
    double missBefore = 0.0, missAfter = 0.0; // |achieved − asked| (Pass) or distance to the aimed point (Arrive)
    double achievedBefore = 0.0, achievedAfter = 0.0; // the distance reached (closest, or at the step)
    uint64_t achievedStep = 0;                        // step of that distance after aiming
    double deltaVBefore = 0.0, deltaVAfter = 0.0;     // world units per second
    int iterations = 0;
    uint64_t flights = 0;
};

// Burn `burn` (list index) of `mission` aimed at `target`. The mission is not changed; the caller puts
// `result.burn` in its place when `result.ok`.
AimResult aimBurn(Ephemeris& eph, const Demo::MissionData& mission, size_t burn, const AimTarget& target,
                  const AimOptions& options = {});

} // namespace Plan
