#pragma once
// Pipelines shared by every object of one kind: created once by the first object that needs one, drawing into
// the render manager's targets, and forgotten when their device is torn down (the gpu tests make one device per
// suite, so a later device must build its own).
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <string>
#include <vector>

namespace Demo {

// Clears process-wide handles of shared pipelines and meshes when the device that owns them is torn down.
template <class P> class SharedHandleReset : public GraphicsResource {
public:
    SharedHandleReset(GraphicsDevice* d, std::vector<P**> handles_) : handles(std::move(handles_)) {
        tier = TierPipeline;
        device = d;
        registerResource(d, this);
    }
    ~SharedHandleReset() override {
        for (P** handle : handles)
            *handle = nullptr;
    }

private:
    std::vector<P**> handles;
};

struct ScenePipelineInfo {
    std::string shader;                          // finds shaders/<shader>_<entry>.spv
    std::string layoutNotation;                  // set 0 is the camera's data set
    const VertexLayout* vertexLayout = nullptr;  // the standard layout when null
    PipelineOptions options;                     // dynamic states are always the standard ones
};

// The render manager's targets: the device's HDR colour format and the depth format.
AttachmentFormats sceneTargetFormats(GraphicsDevice* device);

// Creates a pipeline that draws into `formats` with the standard dynamic states.
PipelineGraphics* createScenePipeline(GraphicsDevice* device, const ScenePipelineInfo& info,
                                      const AttachmentFormats& formats);

// The shared pipeline in `handle`, created into the scene targets on first use; `handle` is cleared with the
// device.
PipelineGraphics* sharedScenePipeline(GraphicsDevice* device, PipelineGraphics*& handle, const ScenePipelineInfo& info);

} // namespace Demo
