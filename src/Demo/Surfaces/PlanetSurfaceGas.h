#pragma once
// A gas planet's surface: its clouds are a live fluid simulation (GasFluid) stepped in the compute recording,
// and its disc is drawn in the main pass from the fluid image (limb darkening, the star's terminator, eclipse
// shadows). Planets far off screen step less often (fluidStepInterval).
#include "Demo/Scene/FrameContext.h"
#include "Demo/Surfaces/GasFluidTables.h"
#include "Demo/Surfaces/PlanetSurface.h"

#include <cstdint>

class DataSet;
class Mesh;
class PipelineGraphics;
struct TextureBinding;

namespace Demo {

class GasFluid;

class PlanetSurfaceGas : public PlanetSurface {
public:
    // `services` gives the device objects and the process-wide random generator the bands and storms are drawn
    // from in CreateUniform (the generator is not kept). Without a device the surface is headless: blocks only,
    // nothing recorded. Tests pass a smaller grid.
    PlanetSurfaceGas(SceneObject* owner, const Services& services, uint32_t gridWidth = FluidGridWidth,
                     uint32_t gridHeight = FluidGridHeight);
    ~PlanetSurfaceGas() override;

    // Surface and shadow records; the simulation block with its random tables; the fluid, the disc's data set
    // and (once per device) the disc pipeline and sphere.
    void CreateUniform() override;
    // As PlanetSurface, then the simulation block into this frame's uniform slot.
    void Update() override;
    // One fluid step when this frame is one of the planet's steps.
    void RecordCompute(CommandContext* context) override;
    // The disc, once the fluid has stepped.
    void RecordMain(CommandContext* context) override;

    // What the gas planet's atmosphere draw binds to shade the disc (the fluid image and its sampler); null
    // without a device.
    TextureBinding* fluidImageBinding() const;

    FluidSimulationBlock simulationBlock;
    GasFluid* fluid = nullptr; // owned
    DataSet* dataSet = nullptr;
    uint32_t framesSinceStep = 0;
    // Frames between steps chosen in the last RecordCompute (1 while the planet is in view and large enough).
    uint32_t stepInterval = 1;

    static PipelineGraphics* pipeline;
    // The unit sphere of every gas planet's disc, one per device (the shaders scale it by the radius).
    static Mesh* sphere;

private:
    Services services;
    uint32_t gridWidth, gridHeight;
};

} // namespace Demo
