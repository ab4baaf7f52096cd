#pragma once
// The three shared pipelines of the flight display: "orbit_line" (orbit lines), "spacecraft_line" (the
// prediction line) and "spacecraft_maneuver" (burn markers). Each is created once, by the first component that
// needs it, for the render manager's colour and depth formats, and forgotten when its device is torn down.
class CommandContext;
class DataSet;
class GraphicsDevice;
class PipelineGraphics;

namespace Demo {

PipelineGraphics* orbitLinePipeline(GraphicsDevice* device);
PipelineGraphics* predictionLinePipeline(GraphicsDevice* device);
PipelineGraphics* maneuverMarkerPipeline(GraphicsDevice* device);

// Binds `pipeline` (unless current), sets viewport and scissor to the render extent and binds set 0 (the camera)
// and set 1 (the component's own set) with their dynamic offsets.
void bindFlightPipeline(CommandContext* context, PipelineGraphics* pipeline, DataSet* cameraSet, DataSet* objectSet);

} // namespace Demo
