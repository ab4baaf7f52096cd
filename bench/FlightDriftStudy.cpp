// Studies, not checks: how far the spacecraft's predicted flight drifts from finer integrations, and where it is at
// each burn of the built-in mission. Run by hand from the run directory, Release build:
//   build/run/kestrune_flight_drift            both studies (several minutes)
//   build/run/kestrune_flight_drift steps      the prediction against 16 times finer steps
//   build/run/kestrune_flight_drift burns      the burns and their bodies
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"
#include "HeadlessFlight.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <iostream>
#include <thread>
#include <vector>

using namespace Demo;

namespace {

using Flight = HeadlessFlight;

Vec3d positionOf(const PredictedState& s) {
    return {s.position[0], s.position[1], s.position[2]};
}

bool fail(const char* what) {
    std::cerr << "study stopped: " << what << std::endl;
    return false;
}

// How far the prediction (semi-implicit Euler, one step of 100 s) drifts from the same forces integrated with a
// step of 100/16 s, measured at the first Mars burn.
bool predictionAgainstSixteenTimesFinerSteps() {
    Flight f;
    f.start();
    const uint64_t marsBurn = f.craft->missionPlan->maneuvers[4].time;
    if (!(f.waitForPrediction(marsBurn + 1)))
        return fail("the prediction did not reach the first Mars burn in 120 s");

    const std::vector<AstroObject*>& bodies = f.system->objects;
    const size_t K = bodies.size();
    const double h = f.system->timeStepLength;
    const std::vector<Maneuver>& plan = f.craft->missionPlan->maneuvers;
    // Checkpoints: the first burn, the burn at Luna, the departure from Earth, the first Mars burn.
    const uint64_t checkpoints[] = {plan[0].time, plan[1].time, plan[3].time, marsBurn};
    // exactBodies: positions on the orbits at every substep; otherwise the cache's: held over four steps.
    auto reference = [&](bool exactBodies) {
        std::vector<GravityBody> g(K);
        for (size_t i = 0; i < K; ++i)
            g[i] = {{}, bodies[i]->gravitationalParameter(), double(bodies[i]->radius) * double(bodies[i]->radius)};
        Vec3d p = f.craft->missionPlan->startData.position, v = f.craft->missionPlan->startData.velocity;
        std::vector<Vec3d> at;
        size_t next = 0;
        for (uint64_t s = 0; s < marsBurn; ++s) {
            for (int j = 0; j < 16; ++j) {
                double fraction = j / 16.0;
                uint64_t held = s & ~uint64_t(3);
                for (size_t i = 0; i < K; ++i)
                    g[i].position = exactBodies ? f.system->computeObjectPos(bodies[i], s, fraction)
                                                : f.system->computeObjectPos(bodies[i], held);
                GravityResult gr = gravitySum(p, g.data(), K, f.craft->index);
                Vec3d thrust;
                int32_t active = activeManeuver(plan, s);
                if (active >= 0) {
                    const Maneuver& m = plan[size_t(active)];
                    AstroObject* b = bodies[size_t(std::max(m.dominantObject, 0))];
                    ThrustInput in;
                    in.position = p;
                    in.velocity = v;
                    if (exactBodies) {
                        in.bodyPosition = f.system->computeObjectPos(b, s, fraction);
                        in.bodyVelocity = f.system->computeObjectVel(b, s, fraction);
                    } else {
                        in.bodyPosition = f.system->computeObjectPos(b, held);
                        in.bodyVelocity =
                            cachedBodyVelocity(in.bodyPosition, f.system->computeObjectPos(b, held + 4), h);
                    }
                    thrust = thrustFor(m, in);
                }
                eulerStep(p, v, thrust + gr.acceleration, h / 16.0);
            }
            if (next < 4 && s + 1 == checkpoints[next]) {
                at.push_back(p);
                ++next;
            }
        }
        return at;
    };
    for (bool exact : {false, true}) {
        std::vector<Vec3d> ref = reference(exact);
        std::cout << (exact ? "bodies on their orbits at every substep" : "bodies as cached (held over 4 steps)")
                  << std::endl;
        for (size_t c = 0; c < ref.size(); ++c) {
            PredictedState coarse;
            if (!(f.craft->prediction->worker.stateAt(checkpoints[c] - 1, coarse)))
                return fail("no predicted state before a checkpoint");
            double drift = length(positionOf(coarse) - ref[c]);
            Vec3d mars = f.system->computeObjectPos(bodies[4], checkpoints[c]);
            std::cout << "  step " << checkpoints[c] << ": drift " << drift << " world units; prediction "
                      << length(positionOf(coarse) - mars) << " from Mars, reference " << length(ref[c] - mars)
                      << "; drift relative to the distance to Mars " << drift / length(ref[c] - mars) << std::endl;
        }
    }
    return true;
}

// Where the predicted flight of the built-in mission is at each burn, relative to the burn's body.
bool burnsOfTheBuiltInMissionAndTheirBodies() {
    Flight f;
    f.system->cacheSlotCount = 262144;
    f.craft->prediction->worker.setRingSize(1 << 20);
    f.start();
    const std::vector<Maneuver>& plan = f.craft->missionPlan->maneuvers;
    if (!(f.waitForPrediction(plan.back().time + 1, 600)))
        return fail("the prediction did not reach the last burn in 600 s");
    for (const Maneuver& m : plan) {
        PredictedState s;
        if (!(f.craft->prediction->worker.stateAt(m.time - 1, s)))
            return fail("no predicted state before a burn");
        AstroObject* body = f.system->objects[size_t(std::max(m.dominantObject, 0))];
        double distance = length(positionOf(s) - f.system->computeObjectPos(body, m.time));
        AstroObject* dominant = s.dominant >= 0 ? f.system->objects[size_t(s.dominant)] : nullptr;
        std::cout << "burn at " << m.time << ": " << distance << " world units from " << body->name << " (radius "
                  << body->radius << "); strongest pull: " << (dominant ? dominant->name : "none") << std::endl;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    const char* which = argc > 1 ? argv[1] : "";
    bool ok = true;
    if (!std::strcmp(which, "") || !std::strcmp(which, "steps"))
        ok = predictionAgainstSixteenTimesFinerSteps() && ok;
    if (!std::strcmp(which, "") || !std::strcmp(which, "burns"))
        ok = burnsOfTheBuiltInMissionAndTheirBodies() && ok;
    return ok ? 0 : 1;
}
