#include "Demo/Surfaces/StarSurface.h"

#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/ScenePipelines.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Engine/SwapChain/SwapChain.h"

namespace Demo {

StarSurface::StarSurface(SceneObject* owner_) : AstroSurface(owner_), star(dynamic_cast<Star*>(owner_)) {}

StarSurface::~StarSurface() {
    if (GraphicsDevice* device = servicesOf(owner).device) {
        if (mesh)
            unregisterResource(device, mesh);
        if (dataSet)
            unregisterResource(device, dataSet);
    }
}

void StarSurface::CreateUniform() {
    AstroSurface::CreateUniform();
    const Services& services = servicesOf(owner);
    GraphicsDevice* device = services.device;
    if (!device || !services.uniformStorage)
        return;
    ENGINE_CHECK(star && star->uniformBinding && star->lightUniform && star->objectUniform,
                 "StarSurface: the owner must be a star created before its surface");
    // The shader scales the unit directions by the star's radius; the mesh radius only sets the directions.
    mesh = new IcoSphere(device, services.meshStorage, 3, 0.5f);
    const uint32_t ubd = services.uniformStorage->descriptorType();
    dataSet = new DataSet(device, services.descriptorPool,
                          {{1, DATA_STORAGE, ubd, star->uniformBinding},
                           {2, DATA_STORAGE, ubd, star->lightUniform},
                           {3, DATA_STORAGE, ubd, star->objectUniform}});
    ScenePipelineInfo info;
    info.shader = "star";
    info.layoutNotation = "UBD_0 UBD_1+UBD_2+UBD_3";
    info.options.cullMode = VK_CULL_MODE_NONE;
    pipeline = sharedScenePipeline(device, "star", info);
}

void StarSurface::RecordMain(const FrameContext&, CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    if (!dataSet || !pipeline || !camera || !camera->dataSet)
        return;
    pipeline->bind(context);
    setViewportAndScissor(context, context->renderWidth, context->renderHeight);
    bindDataSet(context, camera->dataSet);
    bindDataSet(context, dataSet);
    pipeline->bindDataSets(context);
    mesh->draw(context, *pipeline);
}

} // namespace Demo
