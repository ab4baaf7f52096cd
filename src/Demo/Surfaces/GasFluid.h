#pragma once
// The cloud simulation of one gas planet on the GPU: six grid buffers, the fluid image the planet is shaded
// from, and the ten "fluid" compute passes of a step (GasFluidTables.h gives their order and barriers).
#include "Demo/Surfaces/GasFluidTables.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <vector>

class CommandContext;
class DataSet;
class DataStorage;
class DescriptorPool;
class GraphicsDevice;
class Image2D;
class PipelineCompute;
class Sampler;
class StructuredBuffer;
struct BufferBinding;
struct StorageBinding;
struct TextureBinding;

namespace Demo {

class PassProfiler;

// A pass recorded by a step and the set-1 data set it was recorded with (0 or 1).
struct FluidStepRecord {
    FluidPass pass;
    uint8_t set;
};

// What a fluid is created with: the device objects it allocates from and its simulation block (grid and tables).
struct GasFluidCreateInfo {
    GraphicsDevice* device = nullptr;
    DescriptorPool* descriptorPool = nullptr;
    DataStorage* uniformStorage = nullptr; // the per-frame uniform storage (dynamic uniform buffers)
    FluidSimulationBlock block;            // width and height must pass isValidFluidGrid
    VkImageUsageFlags extraImageUsage = 0; // beyond sampled, storage and colour attachment (tests read it back)
};

class GasFluid {
public:
    // Buffers, image, records, data sets, and (once per device) the sampler and the ten pipelines. Throws
    // std::runtime_error for a grid the passes cannot run on.
    explicit GasFluid(const GasFluidCreateInfo& info);
    // Releases the GPU objects after the frames in flight that may still use them.
    ~GasFluid();
    GasFluid(const GasFluid&) = delete;
    GasFluid& operator=(const GasFluid&) = delete;

    // Writes the simulation block into this frame's slot of the uniform storage (before a step is recorded).
    void uploadBlock();
    // Records one step of the kind its number gives (fluidStepKind): CS_init first on the first step. With a profiler,
    // every dispatch is timed in a sub-row of its pass ("fluid/update", ...).
    void recordStep(CommandContext* context, PassProfiler* profiler = nullptr);
    // Records commands [begin, end) of a step's list; a list that ends before the swap leaves the roles of the
    // velocity buffers as they were. recordStep is recordCommands over the whole list.
    void recordCommands(CommandContext* context, const std::vector<FluidCommand>& commands, size_t begin, size_t end,
                        PassProfiler* profiler = nullptr);

    // The buffer that has a role now (the velocity roles exchange every step).
    StructuredBuffer* buffer(FluidBuffer role) const;
    uint32_t width() const { return block.width; }
    uint32_t height() const { return block.height; }
    // The flow lattice: a quarter of the grid's resolution.
    uint32_t nodeWidth() const { return block.width / FluidNodeSize; }
    uint32_t nodeHeight() const { return block.height / FluidNodeSize; }

    FluidSimulationBlock block;
    // The clouds, one RGBA8 texel per cell, equirectangular in the planet's own frame: u = longitude / 2π + 0.5
    // with longitude = atan(z, x), v = 0.5 − latitude / π with latitude = asin(y), so v = 0 is the north (+y)
    // pole. The colour is the square root of linear reflectance; alpha is 1. In shader-read-only layout
    // after every step, and the first step runs before any draw can sample it.
    Image2D* image = nullptr;
    TextureBinding* imageBinding = nullptr; // the image with the shared fluid sampler
    bool initialised = false;               // the first step (with CS_init) has been recorded
    uint32_t steps = 0;                     // steps recorded by recordStep
    uint8_t currentSet = 0; // which set-1 data set is current: 0 binds velocity A at 6 and B at 7, 1 the reverse
    DataSet* set0 = nullptr;
    DataSet* set1[2] = {nullptr, nullptr};
    // The passes of the last recorded step, in recording order.
    std::vector<FluidStepRecord> lastPasses;

private:
    void createSharedObjects();

    GraphicsDevice* device = nullptr;
    StorageBinding* blockBinding = nullptr;
    StructuredBuffer* colorField = nullptr;
    StructuredBuffer* vorticity = nullptr;
    StructuredBuffer* solveInput = nullptr;
    StructuredBuffer* pressure = nullptr;
    StructuredBuffer* velocity[2] = {nullptr, nullptr}; // A and B
    std::vector<BufferBinding*> bufferBindings;         // bindings 1 to 4, velocity A and B
    std::vector<FluidCommand> stepCommands[3];          // by FluidStepKind
    PassProfiler* profiledBy = nullptr;                 // the profiler whose sub-rows profileRows are
    uint32_t profileRows[size_t(FluidPass::Count)] = {};

    // One sampler and one pipeline per pass for all gas planets of a device (the device's shared resources).
    Sampler* sampler = nullptr;
    PipelineCompute* pipelines[size_t(FluidPass::Count)] = {};
};

} // namespace Demo
