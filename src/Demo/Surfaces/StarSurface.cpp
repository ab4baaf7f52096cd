#include "Demo/Surfaces/StarSurface.h"

#include "App/Globals.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/SurfaceResources.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Engine/SwapChain/SwapChain.h"

namespace Demo {

PipelineGraphics* StarSurface::pipeline = nullptr;

StarSurface::StarSurface(SceneObject* owner_) : AstroSurface(owner_), star(dynamic_cast<Star*>(owner_)) {}

StarSurface::~StarSurface() {
    if (GraphicsDevice* device = Globals::device) {
        if (mesh)
            unregisterResource(device, mesh);
        if (dataSet)
            unregisterResource(device, dataSet);
    }
}

void StarSurface::CreateUniform() {
    AstroSurface::CreateUniform();
    GraphicsDevice* device = Globals::device;
    if (!device || !Globals::uniformStorage)
        return;
    ENGINE_CHECK(star && star->uniformBinding && star->lightUniform && star->objectUniform,
                 "StarSurface: the owner must be a star created before its surface");
    // The shader scales the unit directions by the star's radius; the mesh radius only sets the directions.
    mesh = new IcoSphere(device, Globals::meshStorage, 3, 0.5f);
    const uint32_t ubd = Globals::uniformStorage->descriptorType();
    dataSet = new DataSet(device, Globals::descriptorPool,
                          {{1, DATA_STORAGE, ubd, star->uniformBinding},
                           {2, DATA_STORAGE, ubd, star->lightUniform},
                           {3, DATA_STORAGE, ubd, star->objectUniform}});
    if (!pipeline) {
        pipeline = new PipelineGraphics(device);
        pipeline->loadShaders("star");
        pipeline->layoutNotation = "UBD_0 UBD_1+UBD_2+UBD_3";
        pipeline->setVertexLayout(standardLayout, false);
        pipeline->options.dynamicStates = standardDynamicStates();
        pipeline->options.cullMode = VK_CULL_MODE_NONE;
        pipeline->create({{VkFormat(device->hdrColorFormat)}, Helper::findDepthFormat(device->physicalDevice)});
        new SharedHandleReset<PipelineGraphics>(device, {&pipeline});
    }
}

void StarSurface::RecordMain(CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    if (!dataSet || !pipeline || !camera || !camera->dataSet)
        return;
    pipeline->bind(context);
    uint32_t width = Globals::swapChain ? Globals::swapChain->width : context->renderWidth;
    uint32_t height = Globals::swapChain ? Globals::swapChain->height : context->renderHeight;
    setViewportAndScissor(context, width, height);
    context->bindDataSet(camera->dataSet);
    context->bindDataSet(dataSet);
    pipeline->bindDataSets(context);
    mesh->draw(context, *pipeline);
}

} // namespace Demo
