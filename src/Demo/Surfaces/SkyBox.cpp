#include "Demo/Surfaces/SkyBox.h"

#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/ScenePipelines.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Engine/SwapChain/SwapChain.h"

namespace Demo {

SkyBox::SkyBox(SceneObject* owner_) : SceneComponent(owner_) {}

SkyBox::~SkyBox() {
    if (GraphicsDevice* device = servicesOf(owner).device; device && mesh)
        unregisterResource(device, mesh);
    faceLayers.destroy();
    delete textureBinding;
}

void SkyBox::CreateUniform() {
    const Services& services = servicesOf(owner);
    GraphicsDevice* device = services.device;
    if (!device)
        return; // headless: nothing to draw
    mesh = new Cube(device, services.meshStorage, 1.0f, 1.0f, 1.0f);
    texture = createSkyboxCube(device, std::vector<std::string>(SkyboxFaceFiles.begin(), SkyboxFaceFiles.end()));
    faceLayers.create(device, texture->image, texture->format, VK_IMAGE_ASPECT_COLOR_BIT, texture->range.levelCount, 6,
                      VK_IMAGE_VIEW_TYPE_2D_ARRAY);
    textureBinding = new TextureBinding(&faceLayers, services.renderManager->targetSampler);
    dataSet = new DataSet(device, services.descriptorPool,
                          {{1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, textureBinding}});
    ScenePipelineInfo info;
    info.shader = "skybox";
    info.layoutNotation = "UBD_0 CIS_1";
    info.options.cullMode = VK_CULL_MODE_NONE;
    info.options.depthWriteEnable = 0;
    info.options.blendMode = BlendNone;
    pipeline = sharedScenePipeline(device, "sky box", info);
}

bool SkyBox::fillsBackground() const {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    return pipeline && dataSet && camera && camera->dataSet;
}

void SkyBox::RecordBackground(const FrameContext&, CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    if (!fillsBackground())
        return;
    pipeline->bind(context);
    setViewportAndScissor(context, context->renderWidth, context->renderHeight);
    bindDataSet(context, camera->dataSet);
    bindDataSet(context, dataSet);
    pipeline->bindDataSets(context);
    mesh->draw(context, *pipeline);
}

} // namespace Demo
