#include "Demo/Spacecraft/MissionPlan.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"

#include <algorithm>
#include <iostream>

namespace Demo {

MissionPlan::MissionPlan(Spacecraft* craft_) : SceneComponent(craft_), craft(craft_) {}

MissionPlan::~MissionPlan() = default;

AstroSystem* MissionPlan::system() const {
    return craft ? craft->system : nullptr;
}

DemoCamera* MissionPlan::camera() const {
    return craft && craft->scene ? craft->scene->mainCamera : nullptr;
}

void MissionPlan::Start() {
    start(!owner || !owner->scene || owner->scene->services.demoEnabled);
}

void MissionPlan::start(bool demoEnabled) {
    AstroSystem* sys = system();
    std::cout << "Start time\n" << (sys ? sys->timeStep : 0) << "\n";
    std::cout << "Load Manouvers" << std::endl;
    if (sys)
        startData = {sys->computeObjectPos(craft, startTimeStep), sys->computeObjectVel(craft, startTimeStep),
                     startTimeStep};
    for (const Maneuver& m : builtInManeuvers())
        scheduleManouver(m.time, m.burn, m.direction, m.thrust, m.continuous, m.dominantObject, m.rotationSpeed);
    for (const TimestepSetting& s : builtInSettings())
        scheduleSetting(s.timestep, s.timeFactor, false, s.camDir, s.camDistance, s.targetObject, s.dominantObject);
    reset();

    demoActive = demoEnabled;
    if (demoActive) {
        reset();
        enterDemoCamera(false);
    }
}

void MissionPlan::enterDemoCamera(bool distanceFromCurrentTarget) {
    DemoCamera* cam = camera();
    if (!cam)
        return;
    cam->setMode(DEMO);
    if (distanceFromCurrentTarget) {
        if (auto* body = dynamic_cast<AstroObject*>(cam->target))
            cam->orbitDistance = std::max(1.0, 3.0 * double(body->radius));
        cam->setTarget(craft);
    } else {
        cam->setTarget(craft);
        cam->orbitDistance = std::max(1.0, 3.0 * double(craft->radius));
    }
}

void MissionPlan::scheduleManouver(uint64_t time, uint64_t burn, const Vec3d& direction, double thrust, bool continuous,
                                   int32_t dominantObject, float rotationSpeed) {
    if (length(direction) < 1e-9)
        return;
    maneuvers.push_back({time, burn, direction, thrust, continuous, dominantObject, rotationSpeed});
}

void MissionPlan::scheduleSetting(uint64_t timestep, double timeFactor, bool, const Vec3d& camDir, double camDistance,
                                  int32_t targetObject, int32_t dominantObject) {
    settings.push_back({timestep, timeFactor, camDir, camDistance, dominantObject, targetObject});
}

void MissionPlan::reset() {
    AstroSystem* sys = system();
    if (!sys || !craft)
        return;
    startData = {sys->computeObjectPos(craft, startTimeStep), sys->computeObjectVel(craft, startTimeStep),
                 startTimeStep};
    // The bodies take up the new step first; the craft then starts over from the mission's start state.
    sys->jumpToTimeStep(startTimeStep);
    craft->simPosition = craft->previousSimPosition = startData.position;
    craft->simVelocity = craft->previousSimVelocity = startData.velocity;
    if (craft->prediction) {
        craft->prediction->worker.setReadStep(startTimeStep);
        craft->prediction->restart(startData);
    }
}

void MissionPlan::chooseStartTimeStep(uint64_t step) {
    startTimeStep = step;
    reset();
}

void MissionPlan::applyPlan() {
    AstroSystem* sys = system();
    SpacecraftPrediction* prediction = craft ? craft->prediction : nullptr;
    ApplyDecision decision;
    PredictedState state{};
    if (sys && prediction) {
        std::lock_guard<std::mutex> lock(prediction->worker.bufferMutex);
        PredictionWorker::RingView view = prediction->worker.currentLocked();
        decision = decideApplyPlan(applyFrom, view.head, view.validFrom, sys->timeStep);
        if (decision.restart && prediction->worker.isValid(view, decision.stateStep))
            state = view.ring[decision.stateStep % prediction->worker.ringSize()];
        else
            decision.restart = false;
    }
    if (decision.restart) {
        // The state reached by integrating step s is the state at step s + 1.
        prediction->restart({{state.position[0], state.position[1], state.position[2]},
                             {state.velocity[0], state.velocity[1], state.velocity[2]},
                             decision.stateStep + 1});
    } else {
        reset();
    }
    applyFrom = NothingToApply;
}

void MissionPlan::Update(const FrameContext& frame) {
    const InputState* input = frame.keys();
    DemoCamera* cam = camera();
    if (input && cam) {
        if (pressed(input, KeyAction::CameraFollow)) {
            cam->setMode(TARGET_FOLLOW);
            demoActive = false;
        }
        if (pressed(input, KeyAction::CameraFocus)) {
            cam->mode = TARGET_FOCUS;
            if (auto* body = dynamic_cast<AstroObject*>(cam->target))
                cam->orbitDistance = std::max(1.0, 3.0 * double(body->radius));
            demoActive = false;
        }
        if (pressed(input, KeyAction::CameraOrbitFrame)) {
            cam->setMode(cam->mode == TARGET_PROGRADE ? TARGET_RADIAL
                         : cam->mode == TARGET_RADIAL ? TARGET_NORMAL
                                                      : TARGET_PROGRADE);
            demoActive = false;
        }
    }
    if (pressed(input, KeyAction::Tour)) {
        demoActive = true;
        reset();
        enterDemoCamera(true);
    }
    if (demoActive)
        runDemoSchedule();
}

void MissionPlan::runDemoSchedule() {
    AstroSystem* sys = system();
    if (!sys)
        return;
    DemoValues v =
        interpolateSchedule(settings, sys->timeStep, speed, {defaultTimeFactor, defaultCamDir, defaultCamDistance});
    sys->timeFactor = v.timeFactor;
    DemoCamera* cam = camera();
    if (!cam || cam->mode != DEMO)
        return;
    SceneObject* target = craft;
    if (v.targetObject >= 0 && size_t(v.targetObject) < sys->objects.size())
        target = sys->objects[size_t(v.targetObject)];
    if (cam->target != target)
        cam->setTarget(target);
    cam->demoDirection = v.camDir;
    cam->orbitDistance = v.camDistance;
    cam->dominantObject = v.dominantObject;
}

MissionPlan* flownMission(const AstroSystem& system) {
    return system.spacecraft ? system.spacecraft->missionPlan : nullptr;
}

} // namespace Demo
