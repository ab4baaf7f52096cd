#pragma once
// The ground and normal cube maps of a solid planet, baked by a compute pass ("planetbake_solid", "CS_Main") from
// its height map, biomes and elevation scale. Per texel they hold what the surface's fragment shading would
// otherwise work out at every pixel of every frame: the biome blend with its ragged borders and fine albedo
// variation, roughness, metallic, and the displaced surface's normal from five height samples. The maps have the
// height map's face size and are rebaked whole, in the frame's compute recording, whenever one of the three
// changes, so a draw never sees a half-baked map.
#include "Demo/Surfaces/PlanetGenerator.h"

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
    // Linear albedo as its square root and roughness; the normal minus the sphere's direction and metallic.
    static constexpr VkFormat GroundFormat = VK_FORMAT_R8G8B8A8_UNORM;
    static constexpr VkFormat NormalFormat = VK_FORMAT_R8G8B8A8_SNORM;

    // Reads the height map through `heightMap` (its cube view once generated) and the surface's records of the
    // surface block (elevation scale) and the biome block, as written for the frame the bake is recorded in.
    SurfaceBake(const Services& services, TextureBinding* heightMap, StorageBinding* surfaceRecord,
                StorageBinding* biomeRecord, uint32_t size);
    // Releases the GPU objects after the frames in flight that may still use them.
    ~SurfaceBake();
    SurfaceBake(const SurfaceBake&) = delete;
    SurfaceBake& operator=(const SurfaceBake&) = delete;

    // Records the bake of every texel into `context`, in maps of `size` texels per face (new maps when the size
    // differs; the old ones go once no frame in flight reads them). The height map must be complete and readable,
    // and both records written this frame.
    void bake(CommandContext* context, uint32_t size);
    uint32_t size() const { return ground->width; }

    StorageCube* ground = nullptr;
    StorageCube* normal = nullptr;
    // The cube views the surfaces sample.
    TextureBinding* groundBinding = nullptr;
    TextureBinding* normalBinding = nullptr;
    uint32_t bakeCount = 0; // completed bakes

private:
    void createMaps(uint32_t size);

    GraphicsDevice* owner = nullptr;
    Sampler* sampler = nullptr;
    PipelineCompute* pipeline = nullptr; // shared by every bake of the device
    DataSet* dataSet = nullptr;
    // The array views the bake writes through.
    TextureBinding* groundStorage = nullptr;
    TextureBinding* normalStorage = nullptr;
};

} // namespace Demo
