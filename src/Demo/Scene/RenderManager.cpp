#include "Demo/Scene/RenderManager.h"

#include "App/Globals.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/SceneObject.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Pipelines/PipelineGraphics.h"
#include "Engine/SwapChain/SwapChain.h"

#include <algorithm>

namespace Demo {

LayerBlock computeLayerBlock(const std::vector<float>& distances) {
    LayerBlock block;
    uint32_t n = uint32_t(std::min<size_t>(MaxLayers, distances.size() + 1));
    block.layerCount = int32_t(n);
    for (uint32_t i = 0; i < n; ++i) {
        block.bounds[i][1] = i == n - 1 ? FarthestLayerBound : distances[i];
        block.bounds[i][0] = i == 0 ? 0.0f : block.bounds[i - 1][1];
    }
    return block;
}

RenderManager::RenderManager() {
    GraphicsDevice* device = Globals::device;
    VkSamplerCreateInfo samplerInfo = Sampler::defaultInfo(1.0f);
    targetSampler = new Sampler(device, samplerInfo);

    recreateListener = [this] { rebuildTargets(); };
    Globals::swapChain->recreateListeners.push_back(&recreateListener);

    createTargets();
    colorTargetBinding = new TextureBinding(&colorTarget->imageView, targetSampler);
    // Between the atmosphere passes and the post-process the colour target stays in GENERAL.
    colorTargetBinding->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
    depthTargetBinding = new TextureBinding(&depthTarget->imageView, targetSampler);

    postProcessPipeline = new PipelineGraphics(device);
    postProcessPipeline->loadShaders("postProcess");
    postProcessPipeline->layoutNotation = "UBD_0+CIS_1";
    postProcessPipeline->setVertexLayout(emptyLayout, false);
    postProcessPipeline->options.dynamicStates = standardDynamicStates();
    postProcessPipeline->options.cullMode = VK_CULL_MODE_NONE;
    postProcessPipeline->options.depthWriteEnable = 0;
    // The pass writes only the swap chain image: a depth format here would not match the rendering.
    postProcessPipeline->create({{Globals::swapChain->surfaceFormat.format}, VK_FORMAT_UNDEFINED});

    postProcessBinding = new StorageBinding(Globals::uniformStorage, 8);
    layerBlockBinding = new StorageBinding(Globals::uniformStorage, sizeof(LayerBlock));
    postProcessDataSet =
        new DataSet(device, Globals::descriptorPool,
                    {{0, DATA_STORAGE, Globals::uniformStorage->descriptorType(), postProcessBinding},
                     {1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, colorTargetBinding}});
}

RenderManager::~RenderManager() {
    if (Globals::swapChain) {
        auto& listeners = Globals::swapChain->recreateListeners;
        listeners.erase(std::remove(listeners.begin(), listeners.end(), &recreateListener), listeners.end());
    }
    delete atmospheres;
    delete colorTargetBinding;
    delete depthTargetBinding;
    delete postProcessBinding;
    delete layerBlockBinding;
}

void RenderManager::createTargets() {
    GraphicsDevice* device = Globals::device;
    uint32_t width = std::max(Globals::swapChain->width, 1u), height = std::max(Globals::swapChain->height, 1u);
    colorTarget = new Image2D(device, width, height, VK_FORMAT_R32G32B32A32_SFLOAT,
                              VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_STORAGE_BIT |
                                  VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                              VK_IMAGE_ASPECT_COLOR_BIT, 1);
    depthTarget = new Image2D(device, width, height, Helper::findDepthFormat(device->physicalDevice),
                              VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                              VK_IMAGE_ASPECT_DEPTH_BIT, 1);
    ++targetBuilds;
}

void RenderManager::rebuildTargets() {
    GraphicsDevice* device = Globals::device;
    unregisterResource(device, colorTarget);
    unregisterResource(device, depthTarget);
    createTargets();
    colorTargetBinding->replace(&colorTarget->imageView);
    depthTargetBinding->replace(&depthTarget->imageView);
}

void RenderManager::prepare() {
    static const std::vector<float> none;
    if (atmospheres)
        atmospheres->update();
    layerBlock = computeLayerBlock(atmospheres ? atmospheres->squaredDistances() : none);
    layerBlockBinding->write(&layerBlock);
    postProcessBinding->write(postProcessBlock);
}

static void beginRendering(CommandContext* context, uint32_t width, uint32_t height,
                           const VkRenderingAttachmentInfo* color, const VkRenderingAttachmentInfo* depth) {
    VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
    info.renderArea = {{0, 0}, {width, height}};
    info.layerCount = 1;
    info.colorAttachmentCount = color ? 1 : 0;
    info.pColorAttachments = color;
    info.pDepthAttachment = depth;
    vkCmdBeginRendering(context->commandBuffer, &info);
    context->renderWidth = width;
    context->renderHeight = height;
}

void RenderManager::record(CommandContext* context) {
    Scene* scene = Globals::scene;
    SwapChain* swapChain = Globals::swapChain;
    const uint32_t width = colorTarget->width, height = colorTarget->height;
    VkCommandBuffer cmd = context->commandBuffer;
    const VkImageSubresourceRange colorRange = colorTarget->range, depthRange = depthTarget->range;

    for (SceneObject* object : scene->objects)
        object->RecordCompute(context);

    // The targets are shared by the frames in flight. The previous frame's last use of both is sampling in
    // fragment shaders (post-process, atmospheres), after barriers that made its writes available: the layout
    // transitions wait for those reads (write after read needs only the execution dependency).
    imageBarrier(context, colorTarget->image, colorRange, VK_IMAGE_LAYOUT_UNDEFINED,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_NONE,
                 VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
    // Depth writes happen in both fragment test stages.
    imageBarrier(context, depthTarget->image, depthRange, VK_IMAGE_LAYOUT_UNDEFINED,
                 VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                 VK_ACCESS_2_NONE,
                 VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                 VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);

    VkRenderingAttachmentInfo color{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    color.imageView = colorTarget->imageView.view;
    color.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    color.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    color.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    color.clearValue.color = {{0.0f, 0.0f, 0.0f, 9999999.0f}};
    VkRenderingAttachmentInfo depth{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depth.imageView = depthTarget->imageView.view;
    depth.imageLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    depth.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    depth.clearValue.depthStencil = {1.0f, 0};
    beginRendering(context, width, height, &color, &depth);
    for (SceneObject* object : scene->objects)
        object->RecordMain(context);
    vkCmdEndRendering(cmd);

    auto toShaderReadable = [&] {
        imageBarrier(context, depthTarget->image, depthRange, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                     VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                     VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                     VK_ACCESS_2_SHADER_READ_BIT);
        imageBarrier(context, colorTarget->image, colorRange, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                     VK_IMAGE_LAYOUT_GENERAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                     VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                     VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT);
    };
    auto storageWritesDone = [&] {
        imageBarrier(context, colorTarget->image, colorRange, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                     VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT,
                     VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_SHADER_READ_BIT);
    };
    toShaderReadable();

    uint32_t atmosphereCount = atmospheres ? uint32_t(atmospheres->squaredDistances().size()) : 0;
    color.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
    depth.loadOp = VK_ATTACHMENT_LOAD_OP_LOAD;
    for (uint32_t i = uint32_t(layerBlock.layerCount); i-- > 0;) {
        beginRendering(context, width, height, nullptr, nullptr);
        if (i < atmosphereCount)
            atmospheres->record(context, i);
        vkCmdEndRendering(cmd);
        storageWritesDone();

        imageBarrier(context, colorTarget->image, colorRange, VK_IMAGE_LAYOUT_GENERAL,
                     VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                     VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT,
                     VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                     VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT);
        imageBarrier(context, depthTarget->image, depthRange, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                     VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                     VK_ACCESS_2_SHADER_READ_BIT,
                     VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                     VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);
        beginRendering(context, width, height, &color, &depth);
        for (SceneObject* object : scene->objects)
            object->RecordLayer(context, i);
        vkCmdEndRendering(cmd);
        toShaderReadable();
    }
    storageWritesDone();

    VkRenderingAttachmentInfo target{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    target.imageView = swapChain->images[swapChain->imageIndex]->imageView.view;
    target.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    target.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    target.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    target.clearValue.color = {{0.0f, 0.0f, 0.0f, 0.0f}};
    beginRendering(context, swapChain->width, swapChain->height, &target, nullptr);
    postProcessPipeline->bind(context);
    setViewportAndScissor(context, swapChain->width, swapChain->height);
    context->bindDataSet(postProcessDataSet);
    postProcessPipeline->bindDataSets(context);
    vkCmdDraw(cmd, 3, 1, 0, 0);
    ++Globals::device->drawCount;
    vkCmdEndRendering(cmd);
}

} // namespace Demo
