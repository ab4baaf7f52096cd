#include "Demo/Surfaces/PlanetSurfaceGas.h"

#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/ScenePipelines.h"
#include "Demo/Surfaces/GasFluid.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace Demo {

PlanetSurfaceGas::PlanetSurfaceGas(SceneObject* owner_, SurfaceGeneration& generation, uint32_t width, uint32_t height)
    : PlanetSurface(owner_, generation), gridWidth(width), gridHeight(height) {}

PlanetSurfaceGas::~PlanetSurfaceGas() {
    if (GraphicsDevice* device = servicesOf(owner).device)
        if (dataSet)
            unregisterResource(device, dataSet);
    delete fluid;
}

TextureBinding* PlanetSurfaceGas::fluidImageBinding() const {
    return fluid ? fluid->imageBinding : nullptr;
}

bool PlanetSurfaceGas::fluidReady() const {
    return fluid && fluid->initialised;
}

namespace {

constexpr const char* FluidPassName = "fluid";

// The gas planets' steps as a pass of their own before the other compute work, so that the pass table shows what
// the clouds cost. Added once per render manager, by its first gas surface.
bool addFluidPass(RenderManager& renderManager) {
    const std::vector<std::string> names = renderManager.passNames();
    if (std::find(names.begin(), names.end(), FluidPassName) != names.end())
        return true;
    if (std::find(names.begin(), names.end(), PassName::Compute) == names.end())
        return false;
    renderManager.addPass({FluidPassName, PassScope::Frame,
                           [manager = &renderManager](const FrameContext& frame, CommandContext* context, uint32_t) {
                               Scene* scene = frame.services.scene;
                               if (!scene)
                                   return;
                               for (SceneObject* object : scene->objects)
                                   for (SceneComponent* component : object->components)
                                       if (auto* gas = dynamic_cast<PlanetSurfaceGas*>(component);
                                           gas && gas->steppedByPass)
                                           gas->stepFluid(context, scene->mainCamera, &manager->profiler);
                           }},
                          PassName::Compute);
    return true;
}

} // namespace

void PlanetSurfaceGas::CreateUniform() {
    PlanetSurface::CreateUniform();
    const Services& services = servicesOf(owner);
    if (services.random && !tablesDrawn) {
        simulationBlock = makeFluidSimulationBlock(*services.random, gridWidth, gridHeight);
        tablesDrawn = true; // drawn once per surface
    }
    GraphicsDevice* device = services.device;
    if (!device || !services.uniformStorage || !services.descriptorPool || fluid)
        return; // headless: the blocks are kept, nothing is recorded

    // No height generator: nothing of a gas planet is displaced, so its map would cost memory and time only.
    fluid = new GasFluid({device, services.descriptorPool, services.uniformStorage, simulationBlock});

    Star* star = owner->scene ? owner->scene->primaryStar : nullptr;
    ENGINE_CHECK(star && star->lightUniform, "PlanetSurfaceGas: a gas planet needs a primary star to be lit by");
    ENGINE_CHECK(owner->uniformBinding && planet && planet->objectUniform,
                 "PlanetSurfaceGas: the owner must be an astro object created before its surface");
    const uint32_t ubd = services.uniformStorage->descriptorType();
    dataSet = new DataSet(device, services.descriptorPool,
                          {{1, DATA_STORAGE, ubd, owner->uniformBinding},
                           {2, DATA_STORAGE, ubd, star->lightUniform},
                           {3, DATA_STORAGE, ubd, planet->objectUniform},
                           {4, DATA_STORAGE, ubd, shadowRecord},
                           {5, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, fluid->imageBinding}});

    ScenePipelineInfo info;
    info.shader = "planet_gas";
    info.layoutNotation = "UBD_0 UBD_1+UBD_2+UBD_3+UBD_4+CIS_5";
    info.options.cullMode = VK_CULL_MODE_NONE;
    info.options.blendMode = BlendNone;
    pipeline = sharedScenePipeline(device, "planet gas", info);
    if (services.meshStorage)
        sphere = sharedResource<Mesh>(device, "gas planet sphere",
                                      [&] { return new Sphere(device, services.meshStorage, 0.5f); });
    steppedByPass = services.renderManager && addFluidPass(*services.renderManager);
}

void PlanetSurfaceGas::Update(const FrameContext& frame) {
    PlanetSurface::Update(frame);
    if (fluid)
        fluid->uploadBlock();
    // Fixed-step runs advance by exactly 1/N s a frame, real-time runs by the last frame's time.
    frameSeconds +=
        frame.frame.fixedFrameSeconds > 0.0 ? frame.frame.fixedFrameSeconds : double(frame.frame.frameTime) * 1e-3;
}

DemoCamera* PlanetSurfaceGas::mainCamera() const {
    return owner && owner->scene ? owner->scene->mainCamera : nullptr;
}

void PlanetSurfaceGas::RecordCompute(const FrameContext& frame, CommandContext* context) {
    PlanetSurface::RecordCompute(frame, context);
    if (!steppedByPass)
        stepFluid(context, mainCamera());
}

void PlanetSurfaceGas::RecordMain(const FrameContext&, CommandContext* context) {
    drawDisc(context, mainCamera());
}

ScreenFootprint PlanetSurfaceGas::footprint(const DemoCamera& camera, float viewportHeight) const {
    Mat4f viewProjection = camera.view.projection * camera.view.view;
    return screenFootprint(viewProjection.m, camera.view.projection.m[5], viewportHeight,
                           camera.transform->worldPosition(), planet->transform->worldPosition(), planet->radius);
}

void PlanetSurfaceGas::stepFluid(CommandContext* context, const DemoCamera* camera, PassProfiler* profiler) {
    if (!fluid)
        return;
    // The viewport is the last frame's.
    stepInterval = 1;
    if (camera && planet && context->renderHeight > 0) {
        ScreenFootprint seen = footprint(*camera, float(context->renderHeight));
        stepInterval = fluidStepInterval(seen.visible, seen.pixelRadius);
    }
    ++frames;
    uint32_t due = advanceFluidClock(clock, frameSeconds, stepSeconds * double(stepInterval));
    frameSeconds = 0.0;
    if (!fluid->initialised) {
        // The first step runs at once (the image is undefined before it), with the spin-up. Planets that step
        // rarely do so at different frames: their clocks start apart (by their place in the system).
        const uint32_t phase = planet ? uint32_t(planet->index) * 37u : 0u;
        clock.owed = double(phase % 100u) * 0.01 * stepSeconds * double(stepInterval);
        due = 1 + spinUpSteps;
    }
    for (uint32_t k = 0; k < due; ++k)
        fluid->recordStep(context, profiler);
}

void PlanetSurfaceGas::drawDisc(CommandContext* context, const DemoCamera* camera) {
    if (!dataSet || !pipeline || !sphere || !fluid || !fluid->initialised || !camera || !camera->dataSet || !planet)
        return;
    if (!footprint(*camera, float(context->renderHeight)).visible)
        return;
    selectShadowBlock();
    pipeline->bind(context);
    setViewportAndScissor(context, context->renderWidth, context->renderHeight);
    bindDataSet(context, camera->dataSet);
    bindDataSet(context, dataSet);
    pipeline->bindDataSets(context);
    sphere->draw(context, *pipeline);
}

void setGasFluidBudget(Scene& scene, double stepSeconds, uint32_t spinUpSteps) {
    for (SceneObject* object : scene.objects)
        for (SceneComponent* component : object->components)
            if (auto* surface = dynamic_cast<PlanetSurfaceGas*>(component)) {
                surface->stepSeconds = stepSeconds;
                surface->spinUpSteps = spinUpSteps;
            }
}

} // namespace Demo
