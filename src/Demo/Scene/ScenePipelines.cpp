#include "Demo/Scene/ScenePipelines.h"

#include "Engine/Helper/Helper.h"

namespace Demo {

AttachmentFormats sceneTargetFormats(GraphicsDevice* device) {
    return {{VkFormat(device->hdrColorFormat)}, Helper::findDepthFormat(device->physicalDevice)};
}

PipelineGraphics* createScenePipeline(GraphicsDevice* device, const ScenePipelineInfo& info,
                                      const AttachmentFormats& formats) {
    auto* pipeline = new PipelineGraphics(device);
    try {
        pipeline->loadShaders(info.shader);
        pipeline->layoutNotation = info.layoutNotation;
        pipeline->setVertexLayout(info.vertexLayout ? *info.vertexLayout : standardLayout, false);
        pipeline->options = info.options;
        pipeline->options.dynamicStates = standardDynamicStates();
        pipeline->pushConstantRanges = info.pushConstants;
        pipeline->create(formats);
    } catch (...) {
        unregisterResource(device, pipeline);
        throw;
    }
    return pipeline;
}

PipelineGraphics* sharedScenePipeline(GraphicsDevice* device, const std::string& key, const ScenePipelineInfo& info) {
    return sharedScenePipeline(device, key, info, sceneTargetFormats(device));
}

PipelineGraphics* sharedScenePipeline(GraphicsDevice* device, const std::string& key, const ScenePipelineInfo& info,
                                      const AttachmentFormats& formats) {
    return sharedResource<PipelineGraphics>(device, key, [&] { return createScenePipeline(device, info, formats); });
}

} // namespace Demo
