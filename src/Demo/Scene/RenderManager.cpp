#include "Demo/Scene/RenderManager.h"

#include "Demo/Scene/Bloom.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/DemoCamera.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/SceneObject.h"
#include "Demo/Scene/ScenePipelines.h"
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
#include <chrono>
#include <stdexcept>

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

void passSchedule(const std::vector<PassScope>& scopes, uint32_t layerCount,
                  std::vector<std::pair<uint32_t, uint32_t>>& order) {
    order.clear();
    for (uint32_t i = 0; i < scopes.size();) {
        if (scopes[i] == PassScope::Frame) {
            order.emplace_back(i, 0u);
            ++i;
            continue;
        }
        uint32_t end = i;
        while (end < scopes.size() && scopes[end] == PassScope::Layer)
            ++end;
        for (uint32_t layer = layerCount; layer-- > 0;)
            for (uint32_t k = i; k < end; ++k)
                order.emplace_back(k, layer);
        i = end;
    }
}

static uint32_t timestampBits(GraphicsDevice* device) {
    uint32_t count = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(device->physicalDevice, &count, nullptr);
    std::vector<VkQueueFamilyProperties> families(count);
    vkGetPhysicalDeviceQueueFamilyProperties(device->physicalDevice, &count, families.data());
    return device->queueFamilyIndex < count ? families[device->queueFamilyIndex].timestampValidBits : 0;
}

RenderManager::RenderManager(const Services& services_) : services(services_) {
    GraphicsDevice* device = services.device;
    VkSamplerCreateInfo samplerInfo = Sampler::defaultInfo(1.0f);
    targetSampler = new Sampler(device, samplerInfo);
    // Depth formats need not support linear filtering (D32 on lavapipe does not); depth is read texel by texel.
    samplerInfo.magFilter = VK_FILTER_NEAREST;
    samplerInfo.minFilter = VK_FILTER_NEAREST;
    samplerInfo.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
    depthSampler = new Sampler(device, samplerInfo);

    recreateListener = [this] { rebuildTargets(); };
    services.swapChain->recreateListeners.push_back(&recreateListener);

    createTargets();
    colorTargetBinding = new TextureBinding(&colorTarget->imageView, targetSampler);
    // Between passes the colour target stays in GENERAL (the atmospheres write it as a storage image).
    colorTargetBinding->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
    depthTargetBinding = new TextureBinding(&depthTarget->imageView, depthSampler);
    // Between passes the depth target is read-only: sampled, and attached for the atmospheres' depth test.
    depthTargetBinding->sampledLayout = VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL;

    ScenePipelineInfo post;
    post.shader = "postProcess";
    post.layoutNotation = "UBD_0+CIS_1+CIS_2";
    post.vertexLayout = &emptyLayout;
    post.options.cullMode = VK_CULL_MODE_NONE;
    post.options.depthWriteEnable = 0;
    // The pass writes only the swap chain image: a depth format here would not match the rendering.
    postProcessPipeline = createScenePipeline(device, post, {{services.swapChain->surfaceFormat.format}});

    // The glare of the brightest light, spread over the finished HDR frame; the post-process composites it.
    bloom = new Bloom(device, services.descriptorPool);
    bloom->prepare(colorTarget, colorTargetBinding);

    postProcessBinding = new StorageBinding(services.uniformStorage, sizeof(PostProcessBlock));
    layerBlockBinding = new StorageBinding(services.uniformStorage, sizeof(LayerBlock));
    postProcessDataSet = new DataSet(device, services.descriptorPool,
                                     {{0, DATA_STORAGE, services.uniformStorage->descriptorType(), postProcessBinding},
                                      {1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, colorTargetBinding},
                                      {2, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, bloom->output()}});

    profiler.create(device, timestampBits(device));

    addPass({PassName::Compute, PassScope::Frame,
             [this](const FrameContext& frame, CommandContext* context, uint32_t) { recordCompute(frame, context); }});
    addPass({PassName::AtmosphereTables, PassScope::Frame,
             [this](const FrameContext& frame, CommandContext* context, uint32_t) {
                 if (atmospheres)
                     atmospheres->recordTables(frame, context);
             }});
    addPass({PassName::Main, PassScope::Frame,
             [this](const FrameContext& frame, CommandContext* context, uint32_t) { recordMain(frame, context); }});
    addPass({PassName::Atmosphere, PassScope::Layer,
             [this](const FrameContext& frame, CommandContext* context, uint32_t layer) {
                 recordAtmosphere(frame, context, layer);
             }});
    addPass(
        {PassName::Layer, PassScope::Layer, [this](const FrameContext& frame, CommandContext* context, uint32_t layer) {
             recordLayer(frame, context, layer);
         }});
    addPass({PassName::Bloom, PassScope::Frame, [this](const FrameContext&, CommandContext* context, uint32_t) {
                 bloom->record(context, colorTarget, colorTargetBinding);
             }});
    addPass({PassName::PostProcess, PassScope::Frame,
             [this](const FrameContext&, CommandContext* context, uint32_t) { recordPostProcess(context); }});
}

RenderManager::~RenderManager() {
    if (services.swapChain) {
        auto& listeners = services.swapChain->recreateListeners;
        listeners.erase(std::remove(listeners.begin(), listeners.end(), &recreateListener), listeners.end());
    }
    profiler.destroy();
    delete atmospheres;
    delete bloom;
    delete colorTargetBinding;
    delete depthTargetBinding;
    delete postProcessBinding;
    delete layerBlockBinding;
}

void RenderManager::addPass(RenderPass pass, const std::string& before) {
    auto named = [&](const std::string& name) {
        return std::find_if(passList.begin(), passList.end(), [&](const RenderPass& p) { return p.name == name; });
    };
    if (pass.name.empty() || named(pass.name) != passList.end())
        throw std::runtime_error("RenderManager: a pass named \"" + pass.name + "\" cannot be added twice");
    auto at = passList.end();
    if (!before.empty()) {
        at = named(before);
        if (at == passList.end())
            throw std::runtime_error("RenderManager: no pass named \"" + before + "\" to insert \"" + pass.name +
                                     "\" before");
    }
    passList.insert(at, std::move(pass));
    scopes.clear();
    for (const RenderPass& p : passList)
        scopes.push_back(p.scope);
    schedule.reserve(passList.size() * (MaxLayers + 1));
}

std::vector<std::string> RenderManager::passNames() const {
    std::vector<std::string> names;
    for (const RenderPass& p : passList)
        names.push_back(p.name);
    return names;
}

void RenderManager::setAtmospheres(AtmosphereLayers* layers) {
    delete atmospheres;
    atmospheres = layers;
}

void RenderManager::createTargets() {
    GraphicsDevice* device = services.device;
    uint32_t width = std::max(services.swapChain->width, 1u), height = std::max(services.swapChain->height, 1u);
    colorTarget =
        new Image2D(device, width, height, VK_FORMAT_R32G32B32A32_SFLOAT,
                    VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                    VK_IMAGE_ASPECT_COLOR_BIT, 1);
    depthTarget = new Image2D(device, width, height, Helper::findDepthFormat(device->physicalDevice),
                              VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT | VK_IMAGE_USAGE_SAMPLED_BIT,
                              VK_IMAGE_ASPECT_DEPTH_BIT, 1);
    ++targetBuilds;
}

void RenderManager::rebuildTargets() {
    GraphicsDevice* device = services.device;
    unregisterResource(device, colorTarget);
    unregisterResource(device, depthTarget);
    createTargets();
    colorTargetBinding->replace(&colorTarget->imageView);
    depthTargetBinding->replace(&depthTarget->imageView);
}

void RenderManager::prepare(const FrameContext& frame) {
    static const std::vector<float> none;
    if (atmospheres)
        atmospheres->update(frame);
    layerBlock = computeLayerBlock(atmospheres ? atmospheres->squaredDistances() : none);
    layerBlockBinding->write(&layerBlock);
    bloom->prepare(colorTarget, colorTargetBinding);
    const BloomComposite glare = bloom->composite();
    postProcessBlock.bloomThreshold = glare.threshold;
    postProcessBlock.bloomKnee = glare.knee;
    postProcessBlock.bloomStrength = glare.strength;
    postProcessBlock.bloomWeight = glare.weight;
    postProcessBlock.bloomCoverage[0] = glare.coverage[0];
    postProcessBlock.bloomCoverage[1] = glare.coverage[1];
    postProcessBinding->write(&postProcessBlock);
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

void RenderManager::record(const FrameContext& frame, CommandContext* context) {
    profiler.beginFrame(context, services.device->frameIndex);
    passSchedule(scopes, uint32_t(layerBlock.layerCount), schedule);
    for (const auto& [pass, layer] : schedule) {
        auto t0 = std::chrono::steady_clock::now();
        profiler.beginPass(context, pass);
        passList[pass].record(frame, context, layer);
        double cpuMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        profiler.endPass(context, pass, cpuMs);
    }
    profiler.endFrame();
}

void RenderManager::recordCompute(const FrameContext& frame, CommandContext* context) {
    for (SceneObject* object : services.scene->objects)
        object->RecordCompute(frame, context);
}

// Where the depth target is read while it is read-only: sampled by shaders, tested by the atmosphere passes.
static constexpr VkPipelineStageFlags2 readOnlyDepthStages =
    VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT |
    VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT;

static VkRenderingAttachmentInfo attachment(const Image2D* image, VkImageLayout layout, VkAttachmentLoadOp load) {
    VkRenderingAttachmentInfo info{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    info.imageView = image->imageView.view;
    info.imageLayout = layout;
    info.loadOp = load;
    info.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    return info;
}

// Colour target: GENERAL between passes (sampled and written as a storage image by fragment shaders).
// Depth target: read-only between passes (sampled, and attached read-only by the atmosphere passes).
void RenderManager::beginTargetRendering(CommandContext* context, bool withDepth) {
    imageBarrier(context, colorTarget->image, colorTarget->range, VK_IMAGE_LAYOUT_GENERAL,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
                 VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT,
                 VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_READ_BIT);
    VkRenderingAttachmentInfo color =
        attachment(colorTarget, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_LOAD);
    VkRenderingAttachmentInfo depth =
        attachment(depthTarget, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_LOAD);
    if (withDepth)
        imageBarrier(context, depthTarget->image, depthTarget->range, VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL,
                     VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, readOnlyDepthStages, VK_ACCESS_2_NONE,
                     VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                     VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);
    beginRendering(context, colorTarget->width, colorTarget->height, &color, withDepth ? &depth : nullptr);
}

void RenderManager::endTargetRendering(CommandContext* context, bool withDepth) {
    vkCmdEndRendering(context->commandBuffer);
    if (withDepth)
        imageBarrier(context, depthTarget->image, depthTarget->range, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL,
                     VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL,
                     VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                     VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT, readOnlyDepthStages,
                     VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);
    imageBarrier(context, colorTarget->image, colorTarget->range, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_IMAGE_LAYOUT_GENERAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
                 VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT);
}

void RenderManager::recordMain(const FrameContext& frame, CommandContext* context) {
    // Last frame's post-process sampling must be done before the targets are cleared.
    imageBarrier(context, colorTarget->image, colorTarget->range, VK_IMAGE_LAYOUT_UNDEFINED,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_NONE,
                 VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
    // Depth writes happen in both fragment test stages; the previous frame's reads must be done too.
    imageBarrier(context, depthTarget->image, depthTarget->range, VK_IMAGE_LAYOUT_UNDEFINED,
                 VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, readOnlyDepthStages, VK_ACCESS_2_NONE,
                 VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT | VK_PIPELINE_STAGE_2_LATE_FRAGMENT_TESTS_BIT,
                 VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT | VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_READ_BIT);
    // Where a backdrop fills every pixel the objects leave empty, clearing the colour target is wasted work.
    bool backdrop = std::any_of(services.scene->objects.begin(), services.scene->objects.end(),
                                [](const SceneObject* object) { return object->fillsBackground(); });
    VkRenderingAttachmentInfo color = attachment(colorTarget, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                                                 backdrop ? VK_ATTACHMENT_LOAD_OP_DONT_CARE : VK_ATTACHMENT_LOAD_OP_CLEAR);
    color.clearValue.color = {{0.0f, 0.0f, 0.0f, 9999999.0f}};
    VkRenderingAttachmentInfo depth =
        attachment(depthTarget, VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_ATTACHMENT_LOAD_OP_CLEAR);
    depth.clearValue.depthStencil = {1.0f, 0};
    beginRendering(context, colorTarget->width, colorTarget->height, &color, &depth);
    for (SceneObject* object : services.scene->objects)
        object->RecordMain(frame, context);
    for (SceneObject* object : services.scene->objects)
        object->RecordBackground(frame, context);
    for (SceneObject* object : services.scene->objects)
        object->RecordOverlay(frame, context);
    endTargetRendering(context, true);
}

void RenderManager::recordAtmosphere(const FrameContext& frame, CommandContext* context, uint32_t layer) {
    uint32_t atmosphereCount = atmospheres ? uint32_t(atmospheres->squaredDistances().size()) : 0;
    if (layer >= atmosphereCount)
        return;
    // Depth attached read-only: the depth test lets a planet that composited its own air skip its ground here.
    VkRenderingAttachmentInfo depth =
        attachment(depthTarget, VK_IMAGE_LAYOUT_DEPTH_STENCIL_READ_ONLY_OPTIMAL, VK_ATTACHMENT_LOAD_OP_LOAD);
    depth.storeOp = VK_ATTACHMENT_STORE_OP_NONE;
    beginRendering(context, colorTarget->width, colorTarget->height, nullptr, &depth);
    atmospheres->record(frame, context, layer);
    vkCmdEndRendering(context->commandBuffer);
    // The storage writes must land before the next pass reads or draws over the colour target.
    imageBarrier(context, colorTarget->image, colorTarget->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
                 VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT);
}

void RenderManager::recordLayer(const FrameContext& frame, CommandContext* context, uint32_t layer) {
    beginTargetRendering(context, true);
    for (SceneObject* object : services.scene->objects)
        object->RecordLayer(frame, context, layer);
    endTargetRendering(context, true);
}

void RenderManager::recordPostProcess(CommandContext* context) {
    SwapChain* swapChain = services.swapChain;
    VkRenderingAttachmentInfo target{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    target.imageView = swapChain->images[swapChain->imageIndex]->imageView.view;
    target.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    target.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    target.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    target.clearValue.color = {{0.0f, 0.0f, 0.0f, 0.0f}};
    beginRendering(context, swapChain->width, swapChain->height, &target, nullptr);
    postProcessPipeline->bind(context);
    setViewportAndScissor(context, swapChain->width, swapChain->height);
    bindDataSet(context, postProcessDataSet);
    postProcessPipeline->bindDataSets(context);
    vkCmdDraw(context->commandBuffer, 3, 1, 0, 0);
    ++services.device->drawCount;
    vkCmdEndRendering(context->commandBuffer);
}

} // namespace Demo
