#pragma once
// Records the scene into an HDR colour target and a depth target, split into depth layers by the atmospheres
// (farthest first, each preceded by the atmosphere that bounds it), then resolves into the swap chain image.
// The frame is an ordered list of passes; a feature adds its pass with `addPass` instead of editing the walk.
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/PassProfiler.h"
#include "Engine/Data/DataBinding.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

class CommandContext;
class DataSet;
class Image2D;
class PipelineGraphics;
class Sampler;

namespace Demo {

class Bloom;
class Scene;

constexpr uint32_t MaxLayers = 32;
constexpr float FarthestLayerBound = 999999995904.0f; // the float nearest to 1e12

// Layer bounds as squared camera distances (264 bytes, read by the layer and atmosphere shaders).
struct LayerBlock {
    int32_t layerCount = 1;
    uint32_t unused = 0;
    float bounds[MaxLayers][2] = {}; // {near, far} of layer i
};
static_assert(sizeof(LayerBlock) == 264);
static_assert(offsetof(LayerBlock, bounds) == 8);

// Layer i spans from atmosphere i-1 to atmosphere i (squared distances in drawing order); the last layer
// reaches to the farthest bound. At most 32 layers, so atmospheres past the 31st bound no layer.
LayerBlock computeLayerBlock(const std::vector<float>& atmosphereSquaredDistances);

// Post-process block (32 bytes, std140): the tone map's exposure, then the bloom's composite.
struct PostProcessBlock {
    float exposure = 1.0f;
    float exposureBias = 2.0f;
    float bloomThreshold = 1.6f;
    float bloomKnee = 0.6f;
    float bloomStrength = 0.4f;
    float bloomWeight = 0.0f; // 1 / number of chain levels; 0 while the bloom is off
    float bloomCoverage[2] = {1.0f, 1.0f};
};
static_assert(sizeof(PostProcessBlock) == 32);
static_assert(offsetof(PostProcessBlock, bloomThreshold) == 8);
static_assert(offsetof(PostProcessBlock, bloomWeight) == 20);
static_assert(offsetof(PostProcessBlock, bloomCoverage) == 24);

// What the render manager needs of the atmospheres: their squared camera distances nearest first (layer i reaches
// out to atmosphere i; layers and atmospheres are recorded from the highest index down, so the farthest
// atmosphere is composited first and the nearest last) and the draw of atmosphere i.
class AtmosphereLayers {
public:
    virtual ~AtmosphereLayers() = default;
    // Sorts the atmospheres far to near for this frame's camera and writes their blocks.
    virtual void update(const FrameContext& frame) = 0;
    virtual const std::vector<float>& squaredDistances() const = 0;
    // Draws atmosphere `index` (in the order of `squaredDistances`) inside a rendering without attachments: it reads
    // the depth target and writes the colour target as a storage image.
    virtual void record(const FrameContext& frame, CommandContext* context, uint32_t index) = 0;
    // Outside any rendering, before the main pass: whatever the draws look up this frame.
    virtual void recordTables(const FrameContext&, CommandContext*) {}
};

// Where a pass runs: once per frame, or once per depth layer from the farthest to the nearest (consecutive layer
// passes form one group that runs for each layer in turn).
enum class PassScope { Frame, Layer };

// Records one pass into the frame's command buffer; `layer` is the depth layer for layer passes, 0 otherwise.
// Between passes the colour target is in GENERAL layout and the depth target is shader-readable.
using PassRecord = std::function<void(const FrameContext& frame, CommandContext* context, uint32_t layer)>;

struct RenderPass {
    std::string name;
    PassScope scope = PassScope::Frame;
    PassRecord record;
};

// The names of the built-in passes, in list order.
namespace PassName {
inline constexpr const char* Compute = "compute";
inline constexpr const char* AtmosphereTables = "atmosphereTables";
inline constexpr const char* Main = "main";
inline constexpr const char* Atmosphere = "atmosphere";
inline constexpr const char* Layer = "layer";
inline constexpr const char* Bloom = "bloom";
inline constexpr const char* PostProcess = "postProcess";
} // namespace PassName

// The order in which `record` runs the passes: frame passes once, each run of consecutive layer passes once per
// layer from `layerCount - 1` down to 0. Entries are {pass index, layer}; `order` is refilled (no allocation once
// it has grown).
void passSchedule(const std::vector<PassScope>& scopes, uint32_t layerCount,
                  std::vector<std::pair<uint32_t, uint32_t>>& order);

class RenderManager {
public:
    // Uses the services' device, swap chain, uniform storage and descriptor pool.
    explicit RenderManager(const Services& services);
    virtual ~RenderManager();

    // Inserts a pass before the pass named `before`, or appends it when `before` is empty. Throws when `before`
    // names no pass or the name is taken.
    void addPass(RenderPass pass, const std::string& before = {});
    const std::vector<RenderPass>& passes() const { return passList; }
    std::vector<std::string> passNames() const;

    // The atmospheres that bound the depth layers (owned from now on).
    void setAtmospheres(AtmosphereLayers* layers);

    // Per-frame preparation: atmosphere order, layer block, the bloom's chain and the post-process block.
    void prepare(const FrameContext& frame);
    // Walks the pass list (the frame's fence has been waited on: the profiler reads that slot's timestamps).
    void record(const FrameContext& frame, CommandContext* context);
    // Rebuilds both targets at the swap chain size (after every swap chain build).
    void rebuildTargets();

    // Begins dynamic rendering into the colour target (and depth) with their current contents kept, after moving
    // them from their between-pass layouts to attachment layouts; `endTargetRendering` moves them back.
    void beginTargetRendering(CommandContext* context, bool withDepth);
    void endTargetRendering(CommandContext* context, bool withDepth);

    Services services;
    PostProcessBlock postProcessBlock;
    Sampler* targetSampler = nullptr;
    Sampler* depthSampler = nullptr; // nearest: the depth target's binding
    TextureBinding* colorTargetBinding = nullptr;
    TextureBinding* depthTargetBinding = nullptr;
    Image2D* colorTarget = nullptr;
    Image2D* depthTarget = nullptr;
    StorageBinding* layerBlockBinding = nullptr;
    LayerBlock layerBlock;
    std::function<void()> recreateListener;
    AtmosphereLayers* atmospheres = nullptr; // owned
    Bloom* bloom = nullptr;                  // owned; its chain is the post-process's third input
    PipelineGraphics* postProcessPipeline = nullptr;
    DataSet* postProcessDataSet = nullptr;
    StorageBinding* postProcessBinding = nullptr;
    uint32_t targetBuilds = 0;
    PassProfiler profiler;

private:
    void createTargets();
    void recordCompute(const FrameContext& frame, CommandContext* context);
    void recordMain(const FrameContext& frame, CommandContext* context);
    void recordAtmosphere(const FrameContext& frame, CommandContext* context, uint32_t layer);
    void recordLayer(const FrameContext& frame, CommandContext* context, uint32_t layer);
    void recordPostProcess(CommandContext* context);

    std::vector<RenderPass> passList;
    std::vector<PassScope> scopes; // of passList, kept for the schedule
    std::vector<std::pair<uint32_t, uint32_t>> schedule;
};

} // namespace Demo
