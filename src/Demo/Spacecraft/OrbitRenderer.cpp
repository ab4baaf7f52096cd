#include "Demo/Spacecraft/OrbitRenderer.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/FlightPipelines.h"
#include "Demo/Spacecraft/Spacecraft.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"

namespace Demo {

OrbitRenderer::OrbitRenderer(SceneObject* owner_, Orbit* orbit_, DsDeviceMeshSingle* mesh_)
    : SceneComponent(owner_), mesh(mesh_), orbit(orbit_) {}

OrbitRenderer::~OrbitRenderer() {
    if (device) {
        if (line)
            unregisterResource(device, line);
        if (dataSet)
            unregisterResource(device, dataSet);
    }
    delete colorUniform;
}

void OrbitRenderer::CreateUniform() {
    if (owner && owner->scene)
        createGpu(owner->scene->services);
}

void OrbitRenderer::createGpu(const Services& services) {
    color[0] = 1.0f, color[1] = 1.0f, color[2] = 0.0f, color[3] = 0.3f;
    if (!services.device || !services.uniformStorage || !mesh || !owner)
        return;
    device = services.device;
    colorUniform = new StorageBinding(services.uniformStorage, 16);
    line = new Line(device, mesh);
    const uint32_t ubd = services.uniformStorage->descriptorType();
    dataSet = new DataSet(device, services.descriptorPool,
                          {{1, DATA_STORAGE, ubd, owner->uniformBinding}, {2, DATA_STORAGE, ubd, colorUniform}});
    orbitLinePipeline(device);
}

void OrbitRenderer::Update(const FrameContext& frame) {
    if (pressed(frame.keys(), KeyAction::OrbitLines))
        visible = !visible;
    // Written while hidden too: the settings window can show the line later in this frame, after the updates.
    if (!orbit)
        return;
    color[0] = orbit->color[0], color[1] = orbit->color[1], color[2] = orbit->color[2], color[3] = 1.0f;
    if (colorUniform)
        colorUniform->write(color);
}

void OrbitRenderer::rebuild() {
    const AstroObject* body = orbit ? orbit->body : nullptr;
    const AstroSystem* system = body ? body->system : nullptr;
    if (!body || !system)
        return;
    double now = double(system->timeStep) * system->timeStepLength;
    // The lines meet the flown craft where it is drawn.
    Vec3d offset = system->spacecraft ? system->spacecraft->renderOffset : Vec3d{};
    pointCount = buildOrbitLine(*body, now, space, offset, points, shape);
    if (pointCount < 2 || !line)
        return;
    mesh->beginSlot();
    line->setPoints(points, pointCount);
    mesh->registerFlush();
}

void OrbitRenderer::RecordOverlay(const FrameContext&, CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    record(context, camera ? camera->dataSet : nullptr);
}

void OrbitRenderer::record(CommandContext* context, DataSet* cameraSet) {
    if (!line || !visible || !cameraSet || !dataSet || pointCount < 2)
        return;
    PipelineGraphics* pipeline = orbitLinePipeline(device);
    bindFlightPipeline(context, pipeline, cameraSet, dataSet);
    line->draw(context, *pipeline);
}

} // namespace Demo
