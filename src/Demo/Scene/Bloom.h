#pragma once
// Glare of the brightest parts of the frame (the star, bright exhaust): the part of the HDR colour above a soft
// threshold is spread over a mip chain from an eighth of the frame's size (down, then back up with a tent filter);
// the post-process takes that part out of each texel and adds the chain's level 0 in its one full-size read, so
// the frame's total light is kept and everything below the threshold (lit planets) stays as sharp as it was. Only
// compute passes on small images here, and the first reads a quarter of the frame's texels: cheap on a CPU driver.
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
// exactly half the one above), as many levels as keep at least 8 texels on the short side, at most `maxLevels`
// (clamped to 1..MaxBloomLevels). Glare is wide; an eighth-size start with four levels reaches as far as a
// quarter-size start with five, for about half the chain's work on a CPU driver.
constexpr uint32_t MaxBloomLevels = 5;
constexpr uint32_t DefaultBloomLevels = 4;
std::vector<BloomExtent> bloomChainExtents(uint32_t width, uint32_t height, uint32_t maxLevels = DefaultBloomLevels);

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

// What the post-process needs to composite the glare (the tail of its block, std140).
struct BloomComposite {
    float threshold = 1.6f, knee = 0.6f, strength = 0.4f;
    float weight = 0.0f;              // 1 / number of levels; 0 while the bloom is off
    float coverage[2] = {1.0f, 1.0f}; // the target's share of level 0, per axis
};

class Bloom {
public:
    Bloom(GraphicsDevice* device, DescriptorPool* pool);
    ~Bloom();
    Bloom(const Bloom&) = delete;
    Bloom& operator=(const Bloom&) = delete;

    // Builds the chain for `colorTarget` (R32G32B32A32, sampled in layout general through `colorTargetBinding`),
    // again whenever its size, binding or the level count changed. `output()` exists from the first call on.
    void prepare(Image2D* colorTarget, TextureBinding* colorTargetBinding);
    // Spreads the bright part of `colorTarget` (in layout general, last written by fragment shading or colour
    // output) over the chain; leaves the chain in general with level 0 visible to fragment shading. While off, only
    // moves the chain to general (the post-process binds it, and does not read it).
    void record(CommandContext* context, Image2D* colorTarget, TextureBinding* colorTargetBinding);
    // The chain, sampled in layout general: the post-process reads level 0. Null before the first prepare.
    TextureBinding* output() const { return chainBinding; }
    Image2D* chainImage() const;
    const std::vector<BloomExtent>& levelExtents() const { return extents; }
    // The post-process's side for the target the chain was last prepared for (weight 0 while off).
    BloomComposite composite() const;

    float threshold = 1.6f;
    float knee = 0.6f;
    float strength = 0.4f;
    bool enabled = true;
    uint32_t levels = DefaultBloomLevels; // at most; fewer when the target is small

private:
    void build(Image2D* colorTarget, TextureBinding* colorTargetBinding);
    void release();
    // One invocation per texel of p.size.
    void dispatch(CommandContext* context, PipelineCompute* pipeline, DataSet* set, const BloomParameters& p);

    GraphicsDevice* device = nullptr;
    DescriptorPool* pool = nullptr;
    PipelineCompute* prefilter = nullptr;
    PipelineCompute* downsample = nullptr;
    PipelineCompute* upsample = nullptr;
    Sampler* sampler = nullptr;
    BloomChain* chain = nullptr;
    std::vector<BloomExtent> extents;
    TextureBinding* chainBinding = nullptr;     // all levels, sampled; kept across rebuilds (replace)
    std::vector<TextureBinding*> levelBindings; // one level each, written
    DataSet* prefilterSet = nullptr;            // level 0 ← colour target
    std::vector<DataSet*> levelSets;            // level L ← chain
    TextureBinding* boundTarget = nullptr;
    uint32_t builtWidth = 0, builtHeight = 0, builtLevels = 0;
};

} // namespace Demo
