#pragma once
// The ground and normal cube maps of a solid planet, baked by a compute pass ("planetbake_solid", "CS_Main") from
// its height map, biomes and elevation scale. Per texel they hold what the surface's fragment shading would
// otherwise work out at every pixel of every frame: the biome blend with its ragged borders and fine albedo
// variation or the liquid's shallows and deeps, roughness, metallic, and the displaced surface's normal from five
// height samples. The maps have the height map's face size. A bake costs a CPU driver about as much as shading the
// planet over 40 full screens at 2048 texels a face, so after the first one bakes are spread over frames in bands
// of rows, into new maps, while the last complete ones are drawn: a draw never sees a half-baked map.
#include "Demo/Surfaces/PlanetGenerator.h"

#include <algorithm>
#include <cstdint>

class CommandContext;
class DataSet;
class GraphicsDevice;
class PipelineCompute;
class Sampler;
struct StorageBinding;
struct TextureBinding;

namespace Demo {

struct Services;

class SurfaceBake {
public:
    // Half the linear albedo as its square root, and roughness; the normal minus the sphere's direction, offset to
    // 128 of 255, and metallic. 8-bit unorm is what a CPU driver filters fastest.
    static constexpr VkFormat GroundFormat = VK_FORMAT_R8G8B8A8_UNORM;
    static constexpr VkFormat NormalFormat = VK_FORMAT_R8G8B8A8_UNORM;

    // Reads the height map through `heightMap` (its cube view once generated) and the surface's records of the
    // surface block (elevation scale) and the biome block, as written for the frame the bake is recorded in.
    SurfaceBake(const Services& services, TextureBinding* heightMap, StorageBinding* surfaceRecord,
                StorageBinding* biomeRecord, uint32_t size);
    // Releases the GPU objects after the frames in flight that may still use them.
    ~SurfaceBake();
    SurfaceBake(const SurfaceBake&) = delete;
    SurfaceBake& operator=(const SurfaceBake&) = delete;

    // Records up to `bandCount` bands of a bake of maps of `size` texels per face, continuing the bake in progress
    // (which must have the same size and inputs: see restart). The first bake writes the maps drawn, which are not
    // drawn before it completes; later ones write new maps that replace the drawn ones when complete. Returns true
    // when the bake completed. The height map must be complete and readable, and both records written this frame.
    bool bake(CommandContext* context, uint32_t size, uint32_t bandCount);
    // Drops the bake in progress; the next bake call starts over.
    void restart() { bandsDone = 0; }
    bool baking() const { return bandsDone > 0; }
    uint32_t size() const { return ground->width; }
    // Bands of rows per cube face of a bake of `size`: about a million texels each.
    static uint32_t bandsPerFace(uint32_t size) { return std::max(1u, size * size >> 20); }

    StorageCube* ground = nullptr; // drawn
    StorageCube* normal = nullptr;
    StorageCube* nextGround = nullptr; // being baked, after the first bake
    StorageCube* nextNormal = nullptr;
    // The cube views the surfaces sample.
    TextureBinding* groundBinding = nullptr;
    TextureBinding* normalBinding = nullptr;
    uint32_t bakeCount = 0; // completed bakes

private:
    uint32_t bandsDone = 0; // of the bake in progress

    GraphicsDevice* owner = nullptr;
    Sampler* sampler = nullptr;
    PipelineCompute* pipeline = nullptr; // shared by every bake of the device
    DataSet* dataSet = nullptr;
    // The array views the bake writes through.
    TextureBinding* groundStorage = nullptr;
    TextureBinding* normalStorage = nullptr;
};

} // namespace Demo
