#pragma once
// A rocky planet: a tessellated icosphere displaced by the generator's height cube map, coloured by up to eight
// biomes chosen by height and slope (baked into ground and normal maps, see SurfaceBake), lit by the primary star
// with eclipse shadows. T toggles wireframe.
#include "Demo/Scene/MathTypes.h"
#include "Demo/Surfaces/PlanetSurface.h"
#include "Engine/Meshes/Geometry.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

class DataSet;
class IcoSphere;
class PipelineGraphics;

namespace Demo {

struct FrameContext;

struct SolidSurfaceCreateInfo;

// Length on screen, in pixels, that the control shader aims for per subdivided edge of a solid planet.
constexpr float DefaultPixelsPerEdge = 14.0f;

// Tessellation block (32 bytes, a uniform block).
struct TessellationBlock {
    float distance = 0.0f; // world units over which subdivision falls from maximum to minimum
    float factor = 1.0f;
    float maxSubdivision = 64.0f;
    float minSubdivision = 1.0f;
    float pixelsPerEdge = DefaultPixelsPerEdge;
    float viewportHeight = 1080.0f; // pixels
    // Lowest and highest heights the noise layers can make (before the elevation scale): the cull's bounds.
    float heightLow = -1.0f;
    float heightHigh = 1.0f;
};
static_assert(sizeof(TessellationBlock) == 32);
static_assert(offsetof(TessellationBlock, distance) == 0);
static_assert(offsetof(TessellationBlock, factor) == 4);
static_assert(offsetof(TessellationBlock, maxSubdivision) == 8);
static_assert(offsetof(TessellationBlock, minSubdivision) == 12);
static_assert(offsetof(TessellationBlock, pixelsPerEdge) == 16);
static_assert(offsetof(TessellationBlock, viewportHeight) == 20);
static_assert(offsetof(TessellationBlock, heightLow) == 24);
static_assert(offsetof(TessellationBlock, heightHigh) == 28);

// One biome (48 bytes, std140 array element). Heights are the generator's unitless heights; slope is 0 on flat
// ground and 1 on steep ground.
struct BiomeEntry {
    float heightRange[2] = {-1.0f, 1.0f};
    float slopeRange[2] = {0.0f, 1.0f};
    float color[3] = {0.5f, 0.5f, 0.5f};
    float padding0 = 0.0f;
    float metallic = 0.2f;
    float roughness = 0.2f;
    float padding1[2] = {0.0f, 0.0f};
};
static_assert(sizeof(BiomeEntry) == 48);
static_assert(offsetof(BiomeEntry, heightRange) == 0);
static_assert(offsetof(BiomeEntry, slopeRange) == 8);
static_assert(offsetof(BiomeEntry, color) == 16);
static_assert(offsetof(BiomeEntry, metallic) == 32);
static_assert(offsetof(BiomeEntry, roughness) == 36);

// Biome block (384 bytes, a uniform block).
struct BiomeBlock {
    static constexpr int BiomeCount = 8;
    BiomeEntry biomes[BiomeCount];
};
static_assert(sizeof(BiomeBlock) == 384);
static_assert(offsetof(BiomeBlock, biomes[1]) == 48);
static_assert(offsetof(BiomeBlock, biomes[7]) == 336);

BiomeEntry toBiomeEntry(const Biome& biome);

// Tessellation distance of a planet: radius × factor × 8 (world units).
inline float tessellationDistance(float radius, float factor) {
    return radius * factor * 8.0f;
}

// Where a sphere stands in the view: whether it reaches into the view volume of `viewProjection` (column-major,
// depth 0 to 1), and its radius on screen in pixels for a viewport `viewportHeight` pixels high, with
// `projectionYScale` = 1 / tan(vertical field of view / 2).
struct ScreenFootprint {
    bool visible = false;
    double pixelRadius = 0.0;
};
ScreenFootprint screenFootprint(const float viewProjection[16], float projectionYScale, float viewportHeight,
                                const Vec3d& eye, const Vec3d& centre, double radius);
// Radius on screen in pixels of a sphere of `radius` at `distance` from the eye (in view or not).
double pixelRadiusAt(float projectionYScale, float viewportHeight, double distance, double radius);

// Subdivisions of the shared unit sphere drawn for a planet of `pixelRadius` pixels: the full icosphere (5) for
// planets larger than the screen is high, coarser ones (3, 1) for the others, whose patches the tessellator
// subdivides as far as their size on screen needs (up to 64 levels). Every patch costs a tessellation control
// invocation; 24 planets of 20480 patches each would cost a CPU driver most of a frame.
uint32_t sphereSubdivisionsFor(double pixelRadius);

// Patches culled together on the CPU for an icosphere of `subdivisions`: the descendants of one triangle
// ClusterLevels levels up (4^levels of them in a row), fewer for coarser spheres.
constexpr uint32_t ClusterLevels = 2;
uint32_t patchesPerCluster(uint32_t subdivisions);

// Most points the tessellator can make of one triangle patch whose levels are at most `level`: the outer ring
// has 3 n points for level n, each ring inside two levels less, down to a centre point (n even) or a
// three-point triangle (n odd).
uint32_t tessellatedPointsBound(uint32_t level);
// The planet's patches are drawn in runs of this many: a CPU driver numbers the points it tessellates within
// one draw in 16 bits, so a draw whose patches make more than 65536 points wraps its indices onto earlier
// points (fans of long edges, holes through which the stars show). `maxLevel` is the shader's clamp.
uint32_t patchesPerDraw(uint32_t maxLevel);
constexpr uint32_t MaxTessellationLevel = 64; // the control shader's clamp

// What the control shader's patch cull reads, exactly as the uniform blocks hand it over (float, world units).
struct PatchCullInputs {
    float viewProjection[16] = {}; // camera block, column-major
    float eye[3] = {};
    float model[16] = {}; // the body's model block: rotation and world position
    float radius = 1.0f;  // body block
    float elevationScale = 0.0f;
    float heightLow = -1.0f, heightHigh = 1.0f; // tessellation block
    float liquid = -1e9f;                       // liquidLevel() of the biome block
};

// The liquid level the shaders take from the first biome (see planetmaterial.glsl), -1e9 without a liquid.
float liquidLevel(const BiomeBlock& biomes);

// The control shader's patch cull (beyond the horizon of the lowest ground for the highest, or outside one of the
// four side planes of the view) for whole clusters of patches, so that a CPU driver, which runs the vertex and
// control stages of every patch drawn, is spared the hidden ones. Conservative: a hidden cluster's every patch is
// hidden by the shader's own test, through the cluster's cap holding its patches' caps and its bounding sphere
// holding theirs, with margins over the shader's float rounding.
class ClusterCull {
public:
    explicit ClusterCull(const PatchCullInputs& in);
    bool hidden(const TriangleCluster& cluster) const;
    // The lowest radius the ground can have.
    double lowestRadius() const { return rMin; }

    // Radians added to every spread: the shader's acos near 1 turns float rounding into up to about 5e-4.
    static constexpr double AngleMargin = 2e-3;
    static constexpr double RadiusMargin = 1e-3; // relative, on every bounding radius

private:
    double rMin = 0.0, rMax = 0.0;
    double toEye[3] = {}; // unit, from the body's centre
    bool horizon = false; // whether the horizon test applies (the eye above the highest ground)
    double horizonReach = 0.0;
    double rotation[9] = {}; // the model's upper 3 × 3, column-major
    double translation[3] = {};
    double stretch = 1.0;     // longest column of the rotation (1 for a rigid model)
    double planes[4][4] = {}; // left, right, bottom, top: xyz, w
};

// A draw of `count` consecutive patches from patch `first`.
struct PatchRun {
    uint32_t first = 0, count = 0;
};
// Fills `runs` with the draws of the patches of the clusters that `hidden(cluster index)` keeps: runs of adjacent
// kept clusters are merged and split into draws of at most `maxPatches`. Patches past the last cluster are kept.
template <class Hidden>
void visiblePatchRuns(uint32_t clusterCount, uint32_t patchesPerCluster, uint32_t patchCount, uint32_t maxPatches,
                      Hidden&& hidden, std::vector<PatchRun>& runs) {
    runs.clear();
    maxPatches = maxPatches > 0 ? maxPatches : 1;
    patchesPerCluster = patchesPerCluster > 0 ? patchesPerCluster : 1;
    uint32_t begin = 0, end = 0; // the run of kept patches being gathered
    auto flush = [&] {
        for (uint32_t first = begin; first < end; first += maxPatches)
            runs.push_back({first, end - first < maxPatches ? end - first : maxPatches});
    };
    for (uint32_t c = 0, first = 0; first < patchCount; ++c, first += patchesPerCluster) {
        bool clustered = c < clusterCount;
        if (clustered && hidden(c))
            continue;
        if (first != end) {
            flush();
            begin = first;
        }
        end = clustered && patchCount - first > patchesPerCluster ? first + patchesPerCluster : patchCount;
        if (!clustered)
            break;
    }
    flush();
}

class SurfaceBake;

// What a solid surface's ground and normal maps are baked from.
struct BakeInputs {
    uint32_t generation = 0; // the generator's generationCount; 0 before the first bake
    uint32_t size = 0;       // of the height map, texels per face
    float elevationScale = 0.0f;
    BiomeBlock biomes;
    bool operator==(const BakeInputs& o) const {
        return generation == o.generation && size == o.size && elevationScale == o.elevationScale &&
               std::memcmp(&biomes, &o.biomes, sizeof(BiomeBlock)) == 0;
    }
};
// How a change of the inputs gets baked: a first bake and a regenerated relief at once (nothing is drawn before the
// first; the drawn height map already holds the new relief), other changes spread over frames.
inline bool bakeAtOnce(const BakeInputs& drawn, const BakeInputs& wanted, uint32_t bakeCount) {
    return bakeCount == 0 || (wanted.generation != drawn.generation && wanted.size == drawn.size);
}

class PlanetSurfaceSolid : public PlanetSurface {
public:
    PlanetSurfaceSolid(SceneObject* owner, SurfaceGeneration& generation);
    ~PlanetSurfaceSolid() override;

    // Surface and shadow records, the generator, the biome and tessellation records, the mesh, the data set and
    // (once per process) the filled and wireframe pipelines.
    void CreateUniform() override;
    // As PlanetSurface, then the T key, the tessellation distance, the height map's size and the two blocks.
    void Update(const FrameContext& frame) override;
    // As PlanetSurface, then rebakes the ground and normal maps when the height map, the biomes or the elevation
    // scale changed since the last bake.
    void RecordCompute(const FrameContext& frame, CommandContext* context) override;
    // Draws the displaced sphere once its height map has been generated and baked.
    void RecordMain(const FrameContext& frame, CommandContext* context) override;

    // Whether the next main pass draws the filled ground compositing its own air (generated and baked, not in
    // wireframe): the atmosphere manager leaves that air to the ground only then.
    bool drawsOwnAir() const { return groundReady() && airPipeline && !wireframe; }
    // The lowest radius the ground (or its liquid) can have, as last written to the blocks.
    double lowestGroundRadius() const { return ClusterCull(cullInputs).lowestRadius(); }
    // Gives the height map the size the body's radius on screen needs (see chooseMapSize).
    void chooseMapSizeFromView();
    // Takes elevation scale, tessellation values, the biomes and the noise layers in use (at most eight each).
    void applySettings(const SolidSurfaceCreateInfo& info);

    TessellationBlock tessellation;
    BiomeBlock biomes;
    IcoSphere* mesh = nullptr; // the shared IcoSphere(5, 1.0)
    DataSet* dataSet = nullptr;
    StorageBinding* biomeUniform = nullptr;
    StorageBinding* tessellationUniform = nullptr;
    // Stands in for the atmosphere's record when the body has no Atmosphere component: no sky light.
    StorageBinding* noAtmosphereUniform = nullptr;
    uint8_t wireframe = 0;
    SurfaceBake* bake = nullptr; // owned; none without a device
    // Bands of a spread bake recorded per frame: about four million texels, as much as a face of generation.
    uint32_t bakeBandsPerFrame = 4;
    BakeInputs baked;  // what the drawn maps were baked from
    BakeInputs baking; // what the bake in progress bakes from

    // Until its first generation and bake the maps hold nothing and the height map is not yet a cube view.
    bool groundReady() const;

    PipelineGraphics* filledPipeline = nullptr;
    PipelineGraphics* airPipeline = nullptr; // filled, compositing the air over the ground
    PipelineGraphics* wireframePipeline = nullptr; // the filled one when the device cannot draw lines
    // Unit icospheres of 1, 3 and 5 subdivisions, shared by every solid planet (the shaders scale them by the
    // radius; 24 copies of the finest would not even fit the mesh storage), one set per device.
    IcoSphere* sharedMeshes[3] = {nullptr, nullptr, nullptr};
    // The surface's side of the cull's inputs, as last written to the blocks (the panels may change the settings
    // between the update and the recording).
    PatchCullInputs cullInputs;
    std::vector<PatchRun> patchRuns; // this frame's draws, kept to spare the allocation
};

class Scene;
// The T key's state for the settings window: true when any solid surface of the scene draws wireframe.
bool solidSurfacesWireframe(const Scene& scene);
// Switches every solid surface of the scene to wireframe or filled, as T does.
void setSolidSurfacesWireframe(Scene& scene, bool wireframe);
// Sets the tessellation target of every solid surface of the scene (the quality setting).
void setSolidSurfacesPixelsPerEdge(Scene& scene, float pixelsPerEdge);

} // namespace Demo
