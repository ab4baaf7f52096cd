#pragma once
// A gas planet's surface: its clouds are a live fluid simulation (GasFluid) stepped in the compute recording,
// and its disc is drawn in the main pass from the fluid image (limb darkening, the star's terminator, eclipse
// shadows). The clouds step by animation time; planets far off screen step less often (fluidStepInterval).
#include "Demo/Surfaces/GasFluidTables.h"
#include "Demo/Surfaces/PlanetSurface.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"

#include <cstdint>

class DataSet;
class Mesh;
class PipelineGraphics;
struct TextureBinding;

namespace Demo {

struct FrameContext;
class DemoCamera;
class GasFluid;
class PassProfiler;

class PlanetSurfaceGas : public PlanetSurface {
public:
    // The owner's services give the device objects and the process-wide random generator the bands and storms
    // are drawn from in CreateUniform. Without a device the surface is headless: blocks only, nothing recorded.
    // Tests pass a smaller grid.
    PlanetSurfaceGas(SceneObject* owner, SurfaceGeneration& generation, uint32_t gridWidth = FluidGridWidth,
                     uint32_t gridHeight = FluidGridHeight);
    ~PlanetSurfaceGas() override;

    // Surface and shadow records; the simulation block with its random tables; the fluid, the disc's data set
    // and (once per device) the disc pipeline and sphere.
    void CreateUniform() override;
    // As PlanetSurface, then the simulation block into this frame's uniform slot.
    void Update(const FrameContext& frame) override;
    // The fluid step of this frame, if it is one of the planet's steps (stepFluid), unless the render manager's
    // "fluid" pass steps the planet (steppedByPass).
    void RecordCompute(const FrameContext& frame, CommandContext* context) override;
    // The disc (drawDisc).
    void RecordMain(const FrameContext& frame, CommandContext* context) override;

    // Records the fluid steps due by the planet's clock: one every FluidStepSeconds of animation time while the
    // planet is in the view of `camera` and a few pixels across, fluidStepInterval times as long otherwise, at most
    // FluidMaxStepsPerFrame a frame; the first at once with spinUpSteps more.
    void stepFluid(CommandContext* context, const DemoCamera* camera, PassProfiler* profiler = nullptr);
    // Draws the planet's sphere shaded from the fluid image, once the fluid has stepped and when it is in view.
    void drawDisc(CommandContext* context, const DemoCamera* camera);

    // What the gas planet's atmosphere draw binds to shade the disc: the fluid image's view with the shared fluid
    // sampler, in shader-read-only layout once fluidReady(). Null without a device.
    TextureBinding* fluidImageBinding() const;
    // True once the first step has been recorded (before it the image holds nothing and must not be sampled).
    bool fluidReady() const;

    FluidSimulationBlock simulationBlock;
    GasFluid* fluid = nullptr; // owned
    DataSet* dataSet = nullptr;
    uint32_t frames = 0; // stepFluid calls so far
    // Step periods between steps chosen in the last stepFluid (1 while the planet is in view and large enough).
    uint32_t stepInterval = 1;
    FluidClock clock;                        // animation time owed to the fluid
    double stepSeconds = FluidStepSeconds;   // seconds of animation time a step of the clouds stands for
    uint32_t spinUpSteps = FluidSpinUpSteps; // steps after CS_init in the first frame
    // True when the render manager's "fluid" pass (before "compute") records the steps, as in the program; without
    // a render manager RecordCompute does.
    bool steppedByPass = false;

    PipelineGraphics* pipeline = nullptr; // shared by every object of the kind (the device's)
    // The unit sphere of every gas planet's disc, one per device (the shaders scale it by the radius).
    Mesh* sphere = nullptr;

private:
    DemoCamera* mainCamera() const;
    ScreenFootprint footprint(const DemoCamera& camera, float viewportHeight) const;

    bool tablesDrawn = false;
    double frameSeconds = 0.0; // animation time since the last stepFluid (from Update)
    uint32_t gridWidth, gridHeight;
};

class Scene;
// Sets the clouds' budget of every gas planet of the scene (the quality setting): animation time between steps, and
// the spin-up of those that have not stepped yet.
void setGasFluidBudget(Scene& scene, double stepSeconds, uint32_t spinUpSteps);

} // namespace Demo
