#pragma once
// Pipelines shared by every object of one kind: created once by the first object that needs one, drawing into
// the render manager's targets, and kept among the device's shared resources (so they go with the device).
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <string>
#include <vector>

namespace Demo {

struct ScenePipelineInfo {
    std::string shader;                         // finds shaders/<shader>_<entry>.spv
    std::string layoutNotation;                 // set 0 is the camera's data set
    const VertexLayout* vertexLayout = nullptr; // the standard layout when null
    PipelineOptions options;                    // dynamic states are always the standard ones
    std::vector<VkPushConstantRange> pushConstants;
};

// The render manager's targets: the device's HDR colour format and the depth format.
AttachmentFormats sceneTargetFormats(GraphicsDevice* device);

// Creates a pipeline that draws into `formats` with the standard dynamic states.
PipelineGraphics* createScenePipeline(GraphicsDevice* device, const ScenePipelineInfo& info,
                                      const AttachmentFormats& formats);

// The device's shared pipeline named `key`, created into the scene targets on first use.
PipelineGraphics* sharedScenePipeline(GraphicsDevice* device, const std::string& key, const ScenePipelineInfo& info);
// The same for a pipeline that draws into other attachments (none, for passes that write storage images).
PipelineGraphics* sharedScenePipeline(GraphicsDevice* device, const std::string& key, const ScenePipelineInfo& info,
                                      const AttachmentFormats& formats);

} // namespace Demo
