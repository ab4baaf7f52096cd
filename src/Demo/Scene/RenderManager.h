#pragma once
// Records the scene into an HDR colour target and a depth target, split into depth layers by the atmospheres
// (farthest first, each preceded by the atmosphere that bounds it), then resolves into the swap chain image.
#include "Engine/Data/DataBinding.h"

#include <cstddef>
#include <cstdint>
#include <functional>
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

// What the render manager needs of the atmospheres: their squared camera distances nearest first (layer i reaches
// out to atmosphere i; layers and atmospheres are recorded from the highest index down, so the farthest
// atmosphere is composited first and the nearest last) and the draw of atmosphere i.
class AtmosphereLayers {
public:
    virtual ~AtmosphereLayers() = default;
    virtual void update() = 0;
    virtual const std::vector<float>& squaredDistances() const = 0;
    virtual void record(CommandContext* context, uint32_t index) = 0;
};

class RenderManager {
public:
    // Uses the process-wide device, swap chain, scene, uniform storage and descriptor pool.
    RenderManager();
    virtual ~RenderManager();

    // Per-frame preparation: atmosphere order, layer block and post-process block.
    void prepare();
    // Compute hooks, main pass, atmosphere and layer passes, then the post-process pass into the swap chain image.
    void record(CommandContext* context);
    // Rebuilds both targets at the window size (after every swap chain build).
    void rebuildTargets();

    float postProcessBlock[2] = {1.0f, 2.0f}; // exposure, exposure bias
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
    Bloom* bloom = nullptr;                  // owned; spreads the brightest light before the post-process
    PipelineGraphics* postProcessPipeline = nullptr;
    DataSet* postProcessDataSet = nullptr;
    StorageBinding* postProcessBinding = nullptr;
    uint32_t targetBuilds = 0;

private:
    void createTargets();
};

} // namespace Demo
