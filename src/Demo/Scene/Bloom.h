#pragma once
// Glare of the brightest parts of the frame (the star, bright exhaust): the part of the HDR colour above a soft
// threshold is taken out of the image, spread over a mip chain from an eighth of its size (down, then back up with a
// tent filter) and put back in place. What is taken out is what is spread, so the frame's total light is kept;
// everything below the threshold (lit planets) stays as sharp as it was. Compute passes on small images plus one
// full-size composite: cheap on a CPU driver.
#include "Engine/Data/DataBinding.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class CommandContext;
class DataSet;
class DescriptorPool;
class GraphicsDevice;
class Image2D;
class PipelineCompute;
class Sampler;

namespace Demo {

class BloomChain;

struct BloomExtent {
    uint32_t width = 0, height = 0;
    bool operator==(const BloomExtent&) const = default;
};

// Target texels per level-0 texel along each axis (the shaders' BloomFootprint).
constexpr uint32_t BloomFootprint = 8;
// The chain's levels for a target: an eighth of its size (rounded up, then padded so that every level below is
// exactly half the one above), as many levels as keep at least 8 texels on the short side, at most
// MaxBloomLevels. Glare is wide; an eighth-size start with four levels reaches as far as a quarter-size start
// with five, for about half the chain's work on a CPU driver.
constexpr uint32_t MaxBloomLevels = 4;
std::vector<BloomExtent> bloomChainExtents(uint32_t width, uint32_t height);

// Push constants of the bloom passes (std430, 40 bytes).
struct BloomParameters {
    int32_t size[2] = {0, 0}; // destination extent, texels
    int32_t sourceLevel = 0;  // chain level the pass reads
    float threshold = 1.6f;   // luminance above which light is spread
    float knee = 0.6f;        // width of the soft start of the threshold
    float strength = 0.5f;    // fraction of the light above the threshold that is spread
    float levelWeight = 1.0f; // 1 / number of levels: the sum of the levels' blurs back to one blur
    float padding = 0.0f;
    float coverage[2] = {1.0f, 1.0f}; // the target's share of level 0 (which is padded), per axis
};
static_assert(sizeof(BloomParameters) == 40);
static_assert(offsetof(BloomParameters, coverage) == 32);

class Bloom {
public:
    Bloom(GraphicsDevice* device, DescriptorPool* pool);
    ~Bloom();
    Bloom(const Bloom&) = delete;
    Bloom& operator=(const Bloom&) = delete;

    // Reads and rewrites `colorTarget` (R32G32B32A32, in layout general, last written by fragment shading or
    // colour output); leaves it in general with the writes visible to fragment shading. `colorTargetBinding` is
    // its binding record (sampled in layout general). The chain follows the target's size.
    void record(CommandContext* context, Image2D* colorTarget, TextureBinding* colorTargetBinding);

    float threshold = 1.6f;
    float knee = 0.6f;
    float strength = 0.4f;
    bool enabled = true;

private:
    void build(Image2D* colorTarget, TextureBinding* colorTargetBinding);
    void release();
    // Covers p.size with invocations of `texelsPerInvocation` × `texelsPerInvocation` texels each.
    void dispatch(CommandContext* context, PipelineCompute* pipeline, DataSet* set, const BloomParameters& p,
                  int32_t texelsPerInvocation = 1);

    GraphicsDevice* device = nullptr;
    DescriptorPool* pool = nullptr;
    PipelineCompute* prefilter = nullptr;
    PipelineCompute* downsample = nullptr;
    PipelineCompute* upsample = nullptr;
    PipelineCompute* composite = nullptr;
    Sampler* sampler = nullptr;
    BloomChain* chain = nullptr;
    std::vector<BloomExtent> extents;
    TextureBinding* chainBinding = nullptr;     // all levels, sampled
    std::vector<TextureBinding*> levelBindings; // one level each, written
    DataSet* prefilterSet = nullptr;            // level 0 ← colour target
    std::vector<DataSet*> levelSets;            // level L ← chain
    DataSet* compositeSet = nullptr;            // colour target ← chain
    TextureBinding* boundTarget = nullptr;
    uint32_t builtWidth = 0, builtHeight = 0;
};

} // namespace Demo
