#include "Demo/Spacecraft/FlightPipelines.h"

#include "Demo/Scene/ScenePipelines.h"
#include "Engine/Buffers/VertexLayout.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Pipelines/PipelineGraphics.h"

namespace Demo {
namespace {

PipelineGraphics* create(GraphicsDevice* device, const char* name, const char* notation, const VertexLayout& layout,
                         uint32_t topology, uint32_t blendMode, bool depthWrite = true) {
    ScenePipelineInfo info;
    info.shader = name;
    info.layoutNotation = notation;
    info.vertexLayout = &layout;
    info.options.cullMode = VK_CULL_MODE_NONE;
    info.options.topology = topology;
    info.options.blendMode = blendMode;
    info.options.depthWriteEnable = depthWrite ? 1 : 0;
    return sharedScenePipeline(device, name, info);
}

} // namespace

PipelineGraphics* orbitLinePipeline(GraphicsDevice* device) {
    return create(device, "orbit_line", "UBD_0 UBD_1+UBD_2", positionLayout, VK_PRIMITIVE_TOPOLOGY_LINE_STRIP,
                  BlendAlpha);
}

PipelineGraphics* predictionLinePipeline(GraphicsDevice* device) {
    return create(device, "spacecraft_line", "UBD_0 UBD_1", positionLayout, VK_PRIMITIVE_TOPOLOGY_LINE_STRIP,
                  BlendAlpha);
}

PipelineGraphics* maneuverMarkerPipeline(GraphicsDevice* device) {
    // Translucent discs drawn from the vertex index: no mesh, no depth written, and the eye distance of what lies
    // behind stays in alpha.
    return create(device, "spacecraft_maneuver", "UBD_0 UBD_1", emptyLayout, VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST,
                  BlendOver, false);
}

void bindFlightPipeline(CommandContext* context, PipelineGraphics* pipeline, DataSet* cameraSet, DataSet* objectSet) {
    pipeline->bind(context);
    setViewportAndScissor(context, context->renderWidth, context->renderHeight);
    bindDataSet(context, cameraSet);
    bindDataSet(context, objectSet);
    pipeline->bindDataSets(context);
}

} // namespace Demo
