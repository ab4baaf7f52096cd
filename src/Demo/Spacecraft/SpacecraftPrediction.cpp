#include "Demo/Spacecraft/SpacecraftPrediction.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/FlightPipelines.h"
#include "Demo/Spacecraft/MissionPlan.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"

namespace Demo {

SpacecraftPrediction::SpacecraftPrediction(Spacecraft* craft_, uint64_t ringSize)
    : SceneComponent(craft_), craft(craft_), worker(ringSize) {
    segments.reserve(64);
    building.reserve(64);
}

SpacecraftPrediction::~SpacecraftPrediction() {
    worker.stop();
    if (device) {
        if (line)
            unregisterResource(device, line);
        if (dataSet)
            unregisterResource(device, dataSet);
    }
}

void SpacecraftPrediction::CreateUniform() {
    if (owner && owner->scene)
        createGpu(owner->scene->services);
}

void SpacecraftPrediction::createGpu(const Services& services) {
    if (!services.device || !services.uniformStorage || !owner)
        return;
    device = services.device;
    mesh = new DsDeviceMeshSingle(device, MeshCapacity, "prediction line storage");
    line = new Line(device, mesh);
    dataSet = new DataSet(device, services.descriptorPool,
                          {{1, DATA_STORAGE, services.uniformStorage->descriptorType(), owner->uniformBinding}});
    predictionLinePipeline(device);
}

void SpacecraftPrediction::startWorker() {
    AstroSystem* system = craft ? craft->system : nullptr;
    if (!system || !system->stateCache || worker.running())
        return;
    if (!staging)
        staging.reset(new float[size_t(MaxLineVertices) * 3]);
    bodyNow.assign(system->objects.size() * 3, 0.0f);
    worker.start(BodyCacheView::of(*system), craft->index);
}

void SpacecraftPrediction::Update(const FrameContext& frame) {
    if (pressed(frame.keys(), KeyAction::OrbitLines))
        visible = !visible;
}

void SpacecraftPrediction::UpdateUniforms(const FrameContext&) {
    rebuildLine();
}

void SpacecraftPrediction::restart(const StartData& start) {
    AstroSystem* system = craft ? craft->system : nullptr;
    request.start = start;
    request.maneuvers.clear();
    if (craft && craft->missionPlan)
        request.maneuvers.assign(craft->missionPlan->maneuvers.begin(), craft->missionPlan->maneuvers.end());
    request.bodies.clear();
    if (system)
        for (const AstroObject* o : system->objects)
            request.bodies.push_back({{}, o->gravitationalParameter(), double(o->radius) * double(o->radius)});
    const SpacecraftNavigation* navigation = craft ? craft->navigation : nullptr;
    uint32_t mode = navigation ? navigation->mode : NavFree;
    request.keepFinishedPrediction = mode != NavFree;
    request.useOrbitNormal = mode == NavOrbit;
    if (request.useOrbitNormal)
        request.orbitNormal = orbitPlaneNormal(craft->orbit);
    if (craft)
        request.fallbackNose = normalize(craft->transform->rotation.rotate({0.0, 0.0, -1.0}));
    worker.restart(request);
}

PredictionLineInput SpacecraftPrediction::lineInput(const PredictionWorker::RingView& ring) const {
    PredictionLineInput in;
    in.ring = ring;
    in.ringSize = worker.ringSize();
    in.space = space;
    in.renderOffset = craft ? craft->renderOffset : Vec3d{};
    in.bodyNow = bodyNow.data();
    in.bodyCount = uint32_t(bodyNow.size() / 3);
    AstroSystem* system = craft ? craft->system : nullptr;
    if (system) {
        in.now = system->timeStep;
        in.cache = BodyCacheView::of(*system);
        in.cachedUpTo = system->cachedUpTo.load(std::memory_order_acquire);
        const SpacecraftNavigation* navigation = craft->navigation;
        const AstroObject* reference = navigation ? navigation->reference : nullptr;
        if (reference && reference->index >= 0 && size_t(reference->index) < system->objects.size() &&
            system->objects[size_t(reference->index)] == reference)
            in.referenceIndex = reference->index;
    }
    return in;
}

void SpacecraftPrediction::refreshBodyNow() {
    AstroSystem* system = craft ? craft->system : nullptr;
    if (!system)
        return;
    for (size_t i = 0; i < system->objects.size() && 3 * i + 2 < bodyNow.size(); ++i) {
        Vec3d p = system->computeObjectPos(system->objects[i], system->timeStep, system->stepFraction);
        bodyNow[3 * i] = float(p.x), bodyNow[3 * i + 1] = float(p.y), bodyNow[3 * i + 2] = float(p.z);
    }
}

void SpacecraftPrediction::rebuildLine() {
    AstroSystem* system = craft ? craft->system : nullptr;
    if (!system || !staging || !worker.running())
        return;
    refreshBodyNow();
    bool freeFlight = !craft->navigation || craft->navigation->mode == NavFree;
    {
        std::lock_guard<std::mutex> bufferLock(worker.bufferMutex);
        PredictionWorker::RingView view = freeFlight ? worker.currentLocked() : worker.previousLocked();
        vertexCount = buildPredictionLine(lineInput(view), staging.get(), building);
        if (vertexCount > 0 && line) {
            mesh->beginSlot();
            line->setPoints(staging.get(), vertexCount);
            mesh->registerFlush();
        }
        std::lock_guard<std::mutex> segmentLock(segmentMutex);
        segments.swap(building);
    }
}

void SpacecraftPrediction::RecordOverlay(const FrameContext&, CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    record(context, camera ? camera->dataSet : nullptr);
}

void SpacecraftPrediction::record(CommandContext* context, DataSet* cameraSet) {
    if (!visible || !line || !cameraSet || !dataSet)
        return;
    std::lock_guard<std::mutex> lock(segmentMutex);
    if (segments.empty())
        return;
    PipelineGraphics* pipeline = predictionLinePipeline(device);
    bindFlightPipeline(context, pipeline, cameraSet, dataSet);
    line->bind(context, *pipeline);
    for (const LineSegment& s : segments) {
        if (s.count < 2)
            continue;
        vkCmdDraw(context->commandBuffer, s.count, 1, s.first, 0);
        ++context->device->drawCount;
    }
}

} // namespace Demo
