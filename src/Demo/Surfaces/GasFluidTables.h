#pragma once
// The data of a gas planet's cloud simulation that the CPU decides: the grid, the 2336-byte simulation block
// with its random bands and storms, and the order of the ten compute passes of one step with their barriers.
// Plain functions over plain structs, so that the tables and the step can be checked without a GPU.
#include "Demo/Scene/FrameContext.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Demo {

// One cloud band (32 bytes, std140 array element). Latitudes are fractions of the grid's height measured from
// the equator (+0.5 is the north pole, row 0).
struct FluidBand {
    float color[3] = {0.0f, 0.0f, 0.0f}; // linear reflectance (the drawn HSV colour, each channel squared)
    float width = 0.0f;                  // Gaussian variance of the band's weight, latitude² units
    float colorRelaxation = 0.0f;        // per step, how fast the clouds return to the band's colour
    float latitude = 0.0f;
    float unused[2] = {0.0f, 0.0f};
};
static_assert(sizeof(FluidBand) == 32);
static_assert(offsetof(FluidBand, color) == 0);
static_assert(offsetof(FluidBand, width) == 12);
static_assert(offsetof(FluidBand, colorRelaxation) == 16);
static_assert(offsetof(FluidBand, latitude) == 20);

// One storm (32 bytes, std140 array element): a vortex forced at a fixed place of the grid.
struct FluidStorm {
    float color[3] = {0.0f, 0.0f, 0.0f}; // linear reflectance of its core
    float colorRelaxation = 0.0f;        // per step, how fast the core returns to its colour
    float centerX = 0.0f;                // cells
    float centerY = 0.0f;                // cells, row 0 at the north pole
    float spin = 0.0f;                   // signed; positive turns counter-clockwise seen from outside the planet
    float radius = 0.0f;                 // cells
};
static_assert(sizeof(FluidStorm) == 32);
static_assert(offsetof(FluidStorm, colorRelaxation) == 12);
static_assert(offsetof(FluidStorm, centerX) == 16);
static_assert(offsetof(FluidStorm, centerY) == 20);
static_assert(offsetof(FluidStorm, spin) == 24);
static_assert(offsetof(FluidStorm, radius) == 28);

// The simulation block (2336 bytes, a uniform block read by every "fluid" pass).
struct FluidSimulationBlock {
    static constexpr uint32_t MaxBands = 64;
    static constexpr uint32_t MaxStorms = 8;

    uint32_t width = 0;  // cells around the planet (longitude)
    uint32_t height = 0; // cells from pole to pole (latitude)
    uint32_t cellCount = 0;
    float vorticityConfinement = 0.2f; // strength of the force that keeps small eddies spinning
    float stormWind = 1.8f;            // peak wind of a storm of spin 1, cells per step
    float jetRelaxation = 0.03f;       // per step, how fast the zonal winds return to the bands' jets
    uint32_t bandCount = 0;
    uint32_t stormCount = 0;
    FluidBand bands[MaxBands];
    FluidStorm storms[MaxStorms];
};
static_assert(sizeof(FluidSimulationBlock) == 2336);
static_assert(offsetof(FluidSimulationBlock, width) == 0);
static_assert(offsetof(FluidSimulationBlock, height) == 4);
static_assert(offsetof(FluidSimulationBlock, cellCount) == 8);
static_assert(offsetof(FluidSimulationBlock, vorticityConfinement) == 12);
static_assert(offsetof(FluidSimulationBlock, stormWind) == 16);
static_assert(offsetof(FluidSimulationBlock, jetRelaxation) == 20);
static_assert(offsetof(FluidSimulationBlock, bandCount) == 24);
static_assert(offsetof(FluidSimulationBlock, stormCount) == 28);
static_assert(offsetof(FluidSimulationBlock, bands) == 32);
static_assert(offsetof(FluidSimulationBlock, storms) == 2080);

// Grid of the program's gas planets: equirectangular, square cells at the equator.
constexpr uint32_t FluidGridWidth = 2048;
constexpr uint32_t FluidGridHeight = 1024;

// A grid the passes can run on: the shaders wrap longitudes with bit masks and let the lanes of a work group
// share a row of either lattice, so the width is a power of two of at least 256; the flow lives on a lattice of
// a quarter of the resolution, so the height is a multiple of 4 (and at least 8, for two rows of nodes).
bool isValidFluidGrid(uint32_t width, uint32_t height);

// Uniform float in [a, b) from one 32-bit output: (x >> 8) · 2⁻²⁴ · (b − a) + a.
float uniformFloat(RandomSource& random, float a, float b);
// Uniform integer in [a, b] by multiply-and-reject on the 32-bit output (a ≤ b).
uint32_t uniformInt(RandomSource& random, uint32_t a, uint32_t b);
// HSV (each in [0, 1]; a hue outside is wrapped) to RGB by sextants.
void hsvToRgb(float hue, float saturation, float value, float rgb[3]);

// The simulation block of a new gas planet: grid, constants, and bands and storms drawn from `random` (the
// process-wide generator) in a fixed order, so the same seed gives the same planets.
FluidSimulationBlock makeFluidSimulationBlock(RandomSource& random, uint32_t width = FluidGridWidth,
                                              uint32_t height = FluidGridHeight);

// Buffers of the simulation; the velocity roles exchange every step.
// The flow (all buffers but the colour) lives on a lattice of a quarter of the grid's resolution in each
// direction, one element per node.
enum class FluidBuffer : uint8_t {
    Color,         // 16 bytes per cell
    Vorticity,     // 4 per node
    SolveInput,    // 4 per node, divergence of the velocity
    Pressure,      // 4 per node
    Velocity,      // 8 per node, bound at binding 6 (the current velocity)
    OtherVelocity, // 8 per node, bound at binding 7 (the previous one, read by advection)
};
// Cells along each side of a node of the flow lattice.
constexpr uint32_t FluidNodeSize = 4;
// Nodes of the flow lattice of a grid.
constexpr uint32_t fluidNodeCount(uint32_t width, uint32_t height) {
    return (width / FluidNodeSize) * (height / FluidNodeSize);
}

enum class FluidPass : uint8_t {
    Init,
    Update,
    PressureSolvePrepare,
    PressureSolveRB,
    ApplyPressureSolve,
    AdvectionVelocity,
    AdvectionColor,
    ComputeVorticity,
    ApplyVorticity,
    RenderImage,
    Count
};
// The entry point of a pass in the "fluid" pipeline family ("CS_init", ...).
const char* fluidPassName(FluidPass pass);

// Shader access a barrier waits for or makes visible.
enum FluidAccess : uint8_t { AccessNone = 0, AccessRead = 1, AccessWrite = 2, AccessReadWrite = 3 };

// One command of a step, in recording order.
struct FluidCommand {
    enum Kind : uint8_t {
        BufferBarrier,     // compute to compute, whole buffer
        Dispatch,          // a pass
        SwapVelocities,    // the set-1 data sets and the roles of the two velocity buffers exchange
        ImageToGeneral,    // the fluid image from undefined to general, fragment stage to compute stage
        ImageToShaderRead, // general to shader-read-only, compute write to fragment read
    } kind;
    FluidPass pass = FluidPass::Count;
    FluidBuffer buffer = FluidBuffer::Color;
    uint8_t srcAccess = AccessNone, dstAccess = AccessNone;
    uint32_t groups[3] = {0, 0, 0};
    uint32_t parity = 0; // push constant of the pressure sweep
};

// Work groups of a pass: 64 cells per group for the passes over the colour grid (CS_init, the colour advection),
// 64 nodes per group for the flow passes and half the nodes for the red-black sweep (a CPU driver pays for every
// group, even one with nothing to do), 8 × 8 pixels for the image.
FluidCommand fluidDispatch(FluidPass pass, uint32_t width, uint32_t height, uint32_t parity = 0);

// The kinds of step. The flow moves every step; the colour moves every FluidColourSteps-th step, by that many
// steps of flow (ColorSteps in fluid.glsl), and writes the fluid image as it goes, so steps that leave the colour
// alone leave the image alone too. On a CPU driver a pass over the full grid costs as much as all the flow passes
// of a step together.
constexpr uint32_t FluidColourSteps = 4;
enum class FluidStepKind : uint8_t {
    First,  // CS_init, the flow, and CS_renderImage paints the first image
    Flow,   // the flow only
    Colour, // the flow, then the colour advection writes the colour field and the image
};
// The kind of a fluid's step number `step` (0 is the first).
constexpr FluidStepKind fluidStepKind(uint32_t step) {
    return step == 0 ? FluidStepKind::First
                     : (step % FluidColourSteps == 0 ? FluidStepKind::Colour : FluidStepKind::Flow);
}

// The commands of one step of a kind.
std::vector<FluidCommand> fluidStepCommands(FluidStepKind kind, uint32_t width, uint32_t height);

// How often a gas planet's clouds step, in frames: every frame while its disc is at least 64 pixels in radius on
// screen, every 4th from 16 pixels, every 16th from 3 pixels, every 64th while it is smaller, every 256th while
// it is outside the view. The clouds of planets nobody can see in detail would otherwise cost a whole step each
// frame (the gas giants behind a rocky planet's view are tens of pixels across).
uint32_t fluidStepInterval(bool visible, double pixelRadius);

// Seconds of animation time (the frame time, or 1/N s a frame with --fps N) between two steps of a planet in
// view: the clouds move by animation time, so a fast GPU, a slow CPU driver and a recording show the same motion
// per second, and a CPU driver's slow frames do not each pay for a step.
constexpr double FluidStepSeconds = 0.5;
// Steps a frame may run at most: a slow frame catches up a little, a stalled one (loading, a minimised window)
// queues no burst.
constexpr uint32_t FluidMaxStepsPerFrame = 2;

// Steps the first frame runs after CS_init, so that the bands' edges have curled and the storms turned before
// anyone sees them, whatever the step rate (on a CPU driver about a third of CS_init's cost, once).
constexpr uint32_t FluidSpinUpSteps = 48;

// Animation time a gas planet's clouds are owed, in seconds.
struct FluidClock {
    double owed = 0.0;
};
// Adds a frame of `seconds` and returns how many steps of `stepSeconds` are due, at most `maxSteps`; time owed
// beyond one more step is dropped.
uint32_t advanceFluidClock(FluidClock& clock, double seconds, double stepSeconds,
                           uint32_t maxSteps = FluidMaxStepsPerFrame);

} // namespace Demo
