// The spacecraft flying the built-in mission in the headless solar system: mission plan, navigation, the
// prediction it follows, the orbit lines' key, the camera's view of the craft and determinism (the drift studies are in
// bench/).
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/OrbitRenderer.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"

#include "HeadlessFlight.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <iostream>
#include <thread>

using namespace Demo;

namespace {

using Flight = HeadlessFlight;

Vec3d positionOf(const PredictedState& s) {
    return {s.position[0], s.position[1], s.position[2]};
}
Vec3d velocityOf(const PredictedState& s) {
    return {s.velocity[0], s.velocity[1], s.velocity[2]};
}

void hold(InputState& input, char key) {
    input.current[VirtualKey::letter(key)] = 0x80;
}

} // namespace

TEST(Flight, MissionStartLoadsTheBuiltInMissionAndResetsToStepZero) {
    Flight f;
    ASSERT_NE(f.craft, nullptr);
    EXPECT_EQ(f.craft->typeCode(), uint32_t(ASTRO_SPACECRAFT));
    EXPECT_EQ(f.system->spacecraft, f.craft);
    EXPECT_EQ(f.craft->components.size(), 4u); // orbit line, mission plan, navigation, prediction
    testing::internal::CaptureStdout();
    f.start();
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_NE(out.find("Start time\n8192\n"), std::string::npos) << out;
    EXPECT_NE(out.find("Load Manouvers\n"), std::string::npos) << out;

    MissionPlan* plan = f.craft->missionPlan;
    EXPECT_EQ(plan->maneuvers.size(), 16u);
    EXPECT_EQ(plan->settings.size(), 67u);
    EXPECT_FALSE(plan->demoActive);
    EXPECT_EQ(f.system->timeStep, 0u);
    Vec3d start = f.system->computeObjectPos(f.craft, 0);
    EXPECT_EQ(plan->startData.position, start);
    EXPECT_EQ(f.craft->simPosition, start);
    EXPECT_EQ(f.craft->simVelocity, f.system->computeObjectVel(f.craft, 0));
    ASSERT_TRUE(f.waitForPrediction(1024));

    // A direction shorter than 1e-9 is not scheduled.
    plan->scheduleManouver(1, 1, {1e-10, 0.0, 0.0}, 1.0, true, 0, 1.0f);
    EXPECT_EQ(plan->maneuvers.size(), 16u);

    // A chosen start step holds through later resets.
    plan->chooseStartTimeStep(5000);
    EXPECT_EQ(f.system->timeStep, 5000u);
    f.system->timeStep = 7777;
    plan->reset();
    EXPECT_EQ(f.system->timeStep, 5000u);
    EXPECT_EQ(plan->startData.timeStep, 5000u);
    EXPECT_EQ(f.craft->simPosition, f.system->computeObjectPos(f.craft, 5000));
    uint64_t head = f.craft->prediction->worker.headStep();
    EXPECT_TRUE(head >= 5000 && (head - 5000) % PredictionWorker::BatchSteps == 0) << head;
}

TEST(Flight, DemoStartsByDefaultAndDrivesTheCameraAndTimeFactor) {
    Flight f(true);
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    MissionPlan* plan = f.craft->missionPlan;
    EXPECT_TRUE(plan->demoActive);
    EXPECT_EQ(f.camera->mode, DEMO);
    EXPECT_EQ(f.camera->target, f.craft);
    InputState input;
    plan->Update(f.frame(input));
    EXPECT_NEAR(f.system->timeFactor, 50340.0 * double(1.1f), 1e-6); // the first setting, times the speed
    EXPECT_EQ(f.camera->orbitDistance, 500.0);
    EXPECT_EQ(f.camera->dominantObject, 3);
    // F3 leaves the demo for the prograde view, then cycles radial, normal.
    input.current[VirtualKey::F1 + 2] = 0x80;
    plan->Update(f.frame(input));
    EXPECT_FALSE(plan->demoActive);
    EXPECT_EQ(f.camera->mode, TARGET_PROGRADE);
    uint8_t none[256] = {};
    input.advanceKeys(none); // released
    input.advanceKeys(none);
    input.current[VirtualKey::F1 + 2] = 0x80;
    plan->Update(f.frame(input));
    EXPECT_EQ(f.camera->mode, TARGET_RADIAL);
    // F5 restarts the demo from step 0.
    f.system->timeStep = 1234;
    input.advanceKeys(none);
    input.advanceKeys(none);
    input.current[VirtualKey::F1 + 4] = 0x80;
    plan->Update(f.frame(input));
    EXPECT_TRUE(plan->demoActive);
    EXPECT_EQ(f.system->timeStep, 0u);
    EXPECT_EQ(f.camera->mode, DEMO);
    EXPECT_EQ(f.camera->target, f.craft);
}

// The navigation flies exactly the states the prediction computed, through four burns, whatever the frames'
// step counts; a frame without steps only re-interpolates.
TEST(Flight, NavigationFliesThePredictedTrajectoryBitForBit) {
    Flight f;
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(f.waitForPrediction(20000));
    std::mt19937 random(3u);
    uint64_t step = 0;
    while (step < 18000) {
        step += 1 + random() % 300;
        f.advanceTo(step, 0.25);
        PredictedState state;
        ASSERT_TRUE(f.craft->prediction->worker.stateAt(step - 1, state)) << step;
        ASSERT_EQ(f.craft->simPosition, positionOf(state)) << "step " << step;
        ASSERT_EQ(f.craft->simVelocity, velocityOf(state)) << "step " << step;
    }
    // The render state lies a quarter of the way from the previous step's state to the current one.
    Vec3d previous = f.craft->previousSimPosition, current = f.craft->simPosition;
    PredictedState before;
    ASSERT_TRUE(f.craft->prediction->worker.stateAt(step - 2, before));
    EXPECT_EQ(previous, positionOf(before));
    EXPECT_EQ(f.craft->renderPosition, previous * 0.75 + current * 0.25);
    EXPECT_EQ(f.craft->renderOffset, f.craft->renderPosition - current);
    EXPECT_EQ(f.craft->transform->position, f.craft->renderPosition);
    // No steps this frame: the state stays, the drawn position moves with the fraction.
    f.advanceTo(step, 0.75);
    EXPECT_EQ(f.craft->simPosition, current);
    EXPECT_EQ(f.craft->previousSimPosition, previous);
    EXPECT_EQ(f.craft->renderPosition, previous * 0.25 + current * 0.75);
    // The burns changed the orbit: the craft left Earth's neighbourhood it started in.
    Vec3d earth = f.system->computeObjectPos(f.system->objects[3], step);
    EXPECT_GT(length(f.craft->simPosition - earth), 100.0);
}

// A jump of simulated time (the script's `timestep`) puts the craft where the predicted flight is at that step
// and it flies on bit for bit; beyond the prediction it starts from its Kepler orbit there, and the prediction
// restarts at the new step instead of integrating across steps the body cache never held.
TEST(Flight, TimeJumpTakesUpThePredictedStateOrTheOrbitBeyondIt) {
    Flight f;
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(f.waitForPrediction(20000));
    PredictionWorker& worker = f.craft->prediction->worker;
    f.advanceTo(300);

    // Into the first burn (3900 to 4399).
    f.system->jumpToTimeStep(4000);
    PredictedState state;
    ASSERT_TRUE(worker.stateAt(3999, state));
    EXPECT_EQ(f.craft->simPosition, positionOf(state));
    EXPECT_EQ(f.craft->simVelocity, velocityOf(state));
    EXPECT_EQ(f.craft->transform->position, f.craft->simPosition);
    EXPECT_GE(worker.headStep(), 20000u) << "the prediction was not thrown away";
    ASSERT_TRUE(f.waitForPrediction(20000));
    f.advanceTo(4250);
    ASSERT_TRUE(worker.stateAt(4249, state));
    EXPECT_EQ(f.craft->simPosition, positionOf(state));
    EXPECT_EQ(f.craft->simVelocity, velocityOf(state));

    // Back before the burn, still inside the prediction.
    f.system->jumpToTimeStep(2000);
    ASSERT_TRUE(worker.stateAt(1999, state));
    EXPECT_EQ(f.craft->simPosition, positionOf(state));

    // Far beyond what was predicted: the Kepler orbit at that step, and a prediction from there on.
    const uint64_t far = worker.headStep() + 300000;
    f.system->jumpToTimeStep(far);
    EXPECT_EQ(f.craft->simPosition, f.system->computeObjectPos(f.craft, far));
    EXPECT_EQ(f.craft->simVelocity, f.system->computeObjectVel(f.craft, far));
    ASSERT_TRUE(f.waitForPrediction(far + 2000));
    EXPECT_FALSE(worker.stateAt(far - 1, state)) << "nothing is predicted across the skipped steps";
    f.advanceTo(far + 700);
    ASSERT_TRUE(worker.stateAt(far + 699, state));
    EXPECT_EQ(f.craft->simPosition, positionOf(state));
    Vec3d earth = f.system->computeObjectPos(f.system->objects[3], far + 700);
    EXPECT_LT(length(f.craft->simPosition - earth), 100.0) << "still in orbit around Earth";
}

// A non-continuous burn keeps the direction of its first step; a continuous one turns with the orbit. The thrust
// of every step is read back from the prediction (velocity change minus gravity), and the navigation flies the
// same states.
TEST(Flight, FixedBurnKeepsItsFirstStepDirection) {
    Flight f;
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    MissionPlan* plan = f.craft->missionPlan;
    // A quarter of the craft's orbit around Earth each (its period is about 3800 steps).
    plan->maneuvers = {{1000, 1000, {1.0, 0.0, 0.0}, 1.0, false, 3, 512.0f},
                       {3000, 1000, {1.0, 0.0, 0.0}, 1.0, true, 3, 512.0f}};
    plan->reset();
    ASSERT_TRUE(f.waitForPrediction(5000));
    PredictionWorker& worker = f.craft->prediction->worker;
    std::vector<GravityBody> bodies(f.system->objects.size());
    for (size_t i = 0; i < bodies.size(); ++i)
        bodies[i] = {{},
                     f.system->objects[i]->gravitationalParameter(),
                     double(f.system->objects[i]->radius) * double(f.system->objects[i]->radius)};
    auto thrustAt = [&](uint64_t s) {
        PredictedState before, after;
        EXPECT_TRUE(worker.stateAt(s - 1, before) && worker.stateAt(s, after));
        for (size_t i = 0; i < bodies.size(); ++i)
            bodies[i].position = f.system->cachedPosition(s, uint32_t(i));
        GravityResult g = gravitySum(positionOf(before), bodies.data(), bodies.size(), f.craft->index);
        return (velocityOf(after) - velocityOf(before)) / 100.0 - g.acceleration;
    };
    const double k = 1.0 * 1e-7 / 1000.0;
    Vec3d fixedFirst = thrustAt(1000);
    EXPECT_NEAR(length(fixedFirst), k, 1e-6 * k);
    for (uint64_t s = 1000; s < 2000; s += 111)
        EXPECT_LT(length(thrustAt(s) - fixedFirst), 1e-6 * k) << s;
    EXPECT_LT(length(thrustAt(2000)), 1e-6 * k); // ended
    Vec3d turningFirst = thrustAt(3000), turningLast = thrustAt(3999);
    EXPECT_NEAR(length(turningLast), k, 1e-6 * k);
    EXPECT_LT(dot(normalize(turningFirst), normalize(turningLast)), 0.5);

    uint64_t step = 0;
    while (step < 4500) {
        step += 173;
        f.advanceTo(step);
        PredictedState state;
        ASSERT_TRUE(worker.stateAt(step - 1, state));
        ASSERT_EQ(f.craft->simVelocity, velocityOf(state)) << step;
    }
}

TEST(Flight, KeysOfTheNavigationAndTheOrbitLines) {
    Flight f;
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(f.waitForPrediction(4096));
    SpacecraftNavigation* nav = f.craft->navigation;
    f.system->previousTimeStep.store(f.system->timeStep); // no steps: the keys alone
    InputState input;
    Vec3d v = f.craft->simVelocity;
    uint64_t headBefore = f.craft->prediction->worker.headStep();
    hold(input, 'M');
    hold(input, 'N');
    nav->Update(f.frame(input));
    EXPECT_EQ(f.craft->simVelocity, v); // M and N together do nothing
    EXPECT_EQ(f.craft->thrustAcceleration, Vec3d{});
    EXPECT_GE(f.craft->prediction->worker.headStep(), headBefore);
    input.current[VirtualKey::letter('N')] = 0;
    Vec3d nose = f.craft->transform->rotation.rotate({0.0, 0.0, -1.0}); // the attitude the keys push along
    nav->Update(f.frame(input, 20.0f));
    Vec3d dv = f.craft->simVelocity - v;
    EXPECT_NEAR(length(dv), 20.0 * 1e-7, 1e-12);
    EXPECT_GT(dot(normalize(dv), nose), 0.999); // M pushes along the nose
    // and restarts the prediction from the current step
    uint64_t head = f.craft->prediction->worker.headStep();
    EXPECT_LT(head, headBefore);
    EXPECT_EQ((head - f.system->timeStep) % PredictionWorker::BatchSteps, 0u);

    // H J K pick the orientation; G toggles Orbit and back to Free.
    InputState keys;
    keys.current[VirtualKey::letter('J')] = 0x80;
    nav->Update(f.frame(keys));
    EXPECT_EQ(nav->orientation, uint32_t(OrientNormal));
    uint8_t g[256] = {};
    g[VirtualKey::letter('G')] = 0x80;
    keys.advanceKeys(g);
    nav->Update(f.frame(keys));
    EXPECT_EQ(nav->mode, uint32_t(NavOrbit));
    EXPECT_FALSE(f.craft->movesFreely());
    keys.advanceKeys(g);
    nav->Update(f.frame(keys)); // held: no second toggle
    EXPECT_EQ(nav->mode, uint32_t(NavOrbit));
    EXPECT_TRUE(f.craft->followsOrbit);

    // O shows the prediction line and every orbit line at once, and hides them again.
    InputState o;
    o.current[VirtualKey::letter('O')] = 0x80;
    for (SceneObject* object : f.scene.objects)
        for (SceneComponent* c : object->components) {
            if (auto* orbitLine = dynamic_cast<OrbitRenderer*>(c))
                orbitLine->Update(f.frame(o));
            if (auto* prediction = dynamic_cast<SpacecraftPrediction*>(c))
                prediction->Update(f.frame(o));
        }
    EXPECT_TRUE(f.craft->prediction->visible);
    for (AstroObject* body : f.system->objects)
        EXPECT_TRUE(body->orbitRenderer->visible) << body->name;
    EXPECT_TRUE(f.system->orbitRenderer->visible);
}

TEST(Flight, ChangingTheReferenceBodyRestartsTheSlew) {
    Flight f(true);
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    SpacecraftNavigation* nav = f.craft->navigation;
    f.camera->dominantObject = 3;
    f.system->previousTimeStep.store(100);
    f.system->timeStep = 150;
    nav->attitudeControl(true);
    EXPECT_EQ(nav->slewReference, f.system->objects[3]);
    EXPECT_EQ(nav->slewSteps, 0);
    f.system->previousTimeStep.store(150);
    f.system->timeStep = 400;
    nav->attitudeControl(true);
    EXPECT_EQ(nav->slewSteps, 250);
    f.camera->dominantObject = 9;
    nav->attitudeControl(true);
    EXPECT_EQ(nav->slewReference, f.system->objects[9]);
    EXPECT_EQ(nav->slewSteps, 0);
}

TEST(Flight, PredictionLineAndMarkersFollowThePrediction) {
    Flight f;
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(f.waitForPrediction(200000));
    SpacecraftPrediction* prediction = f.craft->prediction;
    prediction->rebuildLine();
    EXPECT_GT(prediction->vertexCount, 6000u);
    ASSERT_FALSE(prediction->segments.empty());
    uint32_t drawn = 0;
    for (const LineSegment& s : prediction->segments) {
        EXPECT_GE(s.count, 2u);
        drawn += s.count;
    }
    EXPECT_LE(drawn, prediction->vertexCount);
    EXPECT_GT(prediction->segments.size(), 1u); // Earth, Luna, the Sun, Mars... take turns dominating
    // Dominant space: the start of the line sits at the drawn craft, relative to Earth now.
    for (uint32_t k = 0; k < 3 * prediction->vertexCount; k += 997)
        EXPECT_TRUE(std::isfinite(prediction->staging[k]));

    f.craft->navigation->updateMarkers();
    // Every burn ahead has a start and an end marker, where the prediction has reached them.
    size_t expected = 0;
    for (const Maneuver& m : f.craft->missionPlan->maneuvers)
        expected += (m.time < 200000 ? 1 : 0) + (m.end() < 200000 ? 1 : 0);
    EXPECT_EQ(f.craft->navigation->markers.size(), expected);
}

TEST(Flight, ApplyPlanRestartsWherePredictedOtherwiseResets) {
    Flight f;
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(f.waitForPrediction(60000));
    MissionPlan* plan = f.craft->missionPlan;
    f.advanceTo(2000);
    PredictedState expected;
    ASSERT_TRUE(f.craft->prediction->worker.stateAt(49488, expected));
    plan->maneuvers[4].thrust = 70.0; // the first Mars burn, at 52610
    plan->applyFrom = 50000;
    plan->applyPlan();
    EXPECT_EQ(plan->applyFrom, NothingToApply);
    EXPECT_EQ(f.system->timeStep, 2000u); // not reset
    uint64_t head = f.craft->prediction->worker.headStep();
    EXPECT_TRUE(head >= 49489 && (head - 49489) % PredictionWorker::BatchSteps == 0) << head;
    PredictedState kept;
    ASSERT_TRUE(f.craft->prediction->worker.stateAt(49488, kept));
    EXPECT_EQ(positionOf(kept), positionOf(expected)); // states before the restart stay
    // An edit behind the current step resets the mission.
    plan->applyFrom = 1000;
    plan->applyPlan();
    EXPECT_EQ(f.system->timeStep, 0u);
    EXPECT_LT(f.craft->prediction->worker.headStep(), 49489u);
    EXPECT_EQ(f.craft->prediction->worker.headStep() % PredictionWorker::BatchSteps, 0u);
}

TEST(Flight, CameraSeesTheCraftRelativeToItsDominantBodyAndTheSunAsRoot) {
    Flight f;
    testing::internal::CaptureStdout();
    f.start();
    testing::internal::GetCapturedStdout();
    ASSERT_TRUE(f.waitForPrediction(4096));
    f.advanceTo(100);
    Vec3d r, v;
    // The root of the hierarchy: velocity (0, 0, 1) and no position (then its up axis).
    AstroObject* sun = f.system->objects[0];
    f.camera->relativeMotion(sun, r, v);
    EXPECT_EQ(v, Vec3d(0.0, 0.0, 1.0));
    EXPECT_LT(length(r - Vec3d(0.0, 1.0, 0.0)), 1e-12);
    // The craft: its predicted state at the current step relative to the body that dominated it (Earth).
    PredictedState state;
    ASSERT_TRUE(f.craft->prediction->worker.stateAt(100, state));
    ASSERT_EQ(state.dominant, 3);
    f.camera->relativeMotion(f.craft, r, v);
    AstroObject* earth = f.system->objects[3];
    Vec3d expected = positionOf(state) - f.system->computeObjectPos(earth, 100, f.system->stepFraction);
    EXPECT_LT(length(r - expected), 1e-9);
    EXPECT_LT(length(r), 30.0); // on its low orbit around Earth
    // Mode 4 looks from behind the craft along its velocity relative to Earth.
    f.camera->setTarget(f.craft);
    f.camera->setMode(TARGET_PROGRADE);
    CameraInput none;
    f.camera->updateMode(none);
    Vec3d relativeVelocity = velocityOf(state) - f.system->computeObjectVel(earth, 100, f.system->stepFraction);
    EXPECT_LT(dot(normalize(f.camera->offset), normalize(relativeVelocity)), -0.9999);
}

namespace {

uint64_t hashRing(PredictionWorker& worker, uint64_t steps) {
    uint64_t h = 1469598103934665603ull;
    PredictedState s;
    for (uint64_t k = 0; k < steps; ++k) {
        EXPECT_TRUE(worker.stateAt(k, s));
        unsigned char bytes[52];
        std::memcpy(bytes, s.position, 24);
        std::memcpy(bytes + 24, s.velocity, 24);
        std::memcpy(bytes + 48, &s.dominant, 4);
        for (unsigned char b : bytes)
            h = (h ^ b) * 1099511628211ull;
    }
    return h;
}

} // namespace

TEST(FlightDeterminism, TwoRunsOfTheBuiltInMissionPredictTheSameStates) {
    uint64_t hashes[2];
    for (uint64_t& hash : hashes) {
        Flight f;
        testing::internal::CaptureStdout();
        f.start();
        testing::internal::GetCapturedStdout();
        ASSERT_TRUE(f.waitForPrediction(100000));
        hash = hashRing(f.craft->prediction->worker, 100000);
    }
    EXPECT_EQ(hashes[0], hashes[1]);
}
