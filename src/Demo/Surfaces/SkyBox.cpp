#include "Demo/Surfaces/SkyBox.h"

#include "App/Globals.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
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

PipelineGraphics* SkyBox::pipeline = nullptr;

SkyBox::SkyBox(SceneObject* owner_) : SceneComponent(owner_) {}

SkyBox::~SkyBox() {
    if (Globals::device && mesh)
        unregisterResource(Globals::device, mesh);
    delete textureBinding;
}

void SkyBox::CreateUniform() {
    GraphicsDevice* device = Globals::device;
    if (!device)
        return; // headless: nothing to draw
    mesh = new Cube(device, Globals::meshStorage, 1.0f, 1.0f, 1.0f);
    texture = createSkyboxCube(device, std::vector<std::string>(SkyboxFaceFiles.begin(), SkyboxFaceFiles.end()));
    textureBinding = new TextureBinding(&texture->imageView, Globals::renderManager->targetSampler);
    dataSet = new DataSet(device, Globals::descriptorPool,
                          {{1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, textureBinding}});
    if (!pipeline) {
        pipeline = new PipelineGraphics(device);
        pipeline->loadShaders("skybox");
        pipeline->layoutNotation = "UBD_0 CIS_1";
        pipeline->setVertexLayout(standardLayout, false);
        pipeline->options.dynamicStates = standardDynamicStates();
        pipeline->options.cullMode = VK_CULL_MODE_NONE;
        pipeline->options.depthWriteEnable = 0;
        pipeline->options.blendMode = BlendNone;
        pipeline->create({{VkFormat(device->hdrColorFormat)}, Helper::findDepthFormat(device->physicalDevice)});
    }
}

void SkyBox::RecordMain(CommandContext* context) {
    DemoCamera* camera = owner && owner->scene ? owner->scene->mainCamera : nullptr;
    if (!pipeline || !dataSet || !camera || !camera->dataSet)
        return;
    pipeline->bind(context);
    setViewportAndScissor(context, Globals::swapChain->width, Globals::swapChain->height);
    context->bindDataSet(camera->dataSet);
    context->bindDataSet(dataSet);
    pipeline->bindDataSets(context);
    mesh->draw(context, *pipeline);
}

} // namespace Demo
