#include "Demo/Spacecraft/Spacecraft.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Demo/Spacecraft/SpacecraftPrediction.h"
#include "Demo/Spacecraft/SpacecraftVisual.h"
#include "Demo/Surfaces/ParticleSystem.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataStorage.h"

namespace Demo {

Spacecraft::Spacecraft(std::string name_, Scene* scene_, std::string modelName_)
    : AstroObject(std::move(name_), scene_), modelName(std::move(modelName_)) {}

Spacecraft::~Spacecraft() {
    delete visual;
}

void Spacecraft::Create() {
    AstroObject::Create();

    auto* plan = new MissionPlan(this);
    plan->CreateUniform();
    addComponent(plan);
    missionPlan = plan;

    auto* nav = new SpacecraftNavigation(this);
    nav->mode = NavFree;
    nav->orientation = OrientPrograde;
    nav->autoNav = true;
    nav->refreshTimer = 10000.0;
    nav->CreateUniform();
    addComponent(nav);
    navigation = nav;

    auto* predicted = new SpacecraftPrediction(this, PredictionWorker::DefaultRingSize);
    predicted->space = SpaceDominant;
    predicted->visible = false;
    predicted->CreateUniform();
    addComponent(predicted);
    prediction = predicted;

    const Services& services = servicesOf(this);
    if (!services.device || !services.renderManager)
        return; // headless: flown, not drawn
    visual = new SpacecraftVisual({services.device, services.descriptorPool, services.uniformStorage,
                                   services.meshStorage, "assets", modelName, uniformBinding, objectUniform});
    RenderManager* renderManager = services.renderManager;
    auto* exhaust =
        new ParticleSystem(this, {services.device, services.descriptorPool, services.uniformStorage,
                                  services.meshStorage, renderManager->layerBlockBinding, &renderManager->layerBlock,
                                  visual->lightsUniform, visual->shadowUniform});
    exhaust->CreateUniform();
    addComponent(exhaust);
    particles = exhaust;
    visual->addEngines(particles);
}

void Spacecraft::UpdateUniforms(const FrameContext& frame) {
    if (visual) {
        transform->updateMatrix();
        CraftFrameInput in;
        in.world = transform->worldMatrix;
        in.rotation = transform->worldRotationMatrix();
        in.position = transform->worldPosition();
        in.velocity = simVelocity;
        in.thrustAcceleration = thrustAcceleration;
        in.rcsActive = rcsActive;
        if (navigation) {
            in.burnBlend = navigation->burnBlend;
            in.burnAttitude = navigation->burnAttitude;
            in.smoothedBurnAttitude = navigation->smoothedBurnAttitude;
        }
        in.timeFactor = system ? system->timeFactor : 0.0;
        in.frameMilliseconds = frame.frame.frameTime;
        if (Star* star = scene ? scene->primaryStar : nullptr) {
            in.starLight = &star->light;
            in.starPosition = star->transform->worldPosition();
            in.starRadius = star->radius;
        }
        if (scene) {
            gatherOccluderCandidates(*scene, occluders);
            in.bodies = &occluders;
        }
        if (AstroObject* dominant = system ? system->getDominantObject(this) : nullptr) {
            in.hasAttractor = true;
            in.attractorPosition = dominant->transform->worldPosition();
            in.attractorMu = dominant->gravitationalParameter();
        }
        RandomSource* random = frame.services.random;
        visual->updateUniforms(in, particles,
                               [random] { return random ? uint32_t(random->engine() % 2147483648u) : 0u; });
    }
    AstroObject::UpdateUniforms(frame);
}

void Spacecraft::RecordMain(const FrameContext& frame, CommandContext* context) {
    DemoCamera* camera = scene ? scene->mainCamera : nullptr;
    if (visual && camera && camera->dataSet)
        visual->record(context, camera->dataSet, context->renderWidth, context->renderHeight);
    AstroObject::RecordMain(frame, context);
}

bool Spacecraft::movesFreely() const {
    return navigation && navigation->mode == NavFree;
}

void Spacecraft::stopWorkers() {
    if (prediction)
        prediction->stopWorker();
}

void Spacecraft::timeJumped(uint64_t step) {
    if (navigation)
        navigation->timeJumped(step);
    if (particles)
        particles->clear();
}

bool Spacecraft::relativeMotion(Vec3d& position, Vec3d& velocity) {
    if (!system)
        return false;
    PredictedState state;
    int32_t reference = -1;
    if (prediction && prediction->worker.stateAt(system->timeStep, state)) {
        position = {state.position[0], state.position[1], state.position[2]};
        velocity = {state.velocity[0], state.velocity[1], state.velocity[2]};
        reference = state.dominant;
    } else {
        drawnMotion(position, velocity);
        AstroObject* dominant = system->getDominantObject(this);
        reference = dominant ? dominant->index : -1;
    }
    subtractMotionOf(reference, position, velocity);
    return true;
}

void Spacecraft::drawnMotion(Vec3d& position, Vec3d& velocity) {
    position = renderPosition;
    velocity = renderVelocity;
}

} // namespace Demo
