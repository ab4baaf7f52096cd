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
        pipeline->create(formats);
    } catch (...) {
        unregisterResource(device, pipeline);
        throw;
    }
    return pipeline;
}

PipelineGraphics* sharedScenePipeline(GraphicsDevice* device, PipelineGraphics*& handle,
                                      const ScenePipelineInfo& info) {
    if (!handle) {
        handle = createScenePipeline(device, info, sceneTargetFormats(device));
        new SharedHandleReset<PipelineGraphics>(device, {&handle});
    }
    return handle;
}

} // namespace Demo
