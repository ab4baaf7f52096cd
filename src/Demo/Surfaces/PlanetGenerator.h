#pragma once
// The relief of a solid planet: a height cube map computed on the GPU by one compute pass from up to eight
// noise layers ("planetgen_solid", "CS_Main"). Heights are unitless, relative to the planet's radius times
// its elevation scale; the surface samples the map in tessellation and shading.
#include "Demo/Astro/AstroCreateInfo.h"
#include "Engine/Images/Image.h"

#include <cstddef>
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

// One noise layer of the settings block (64 bytes, std140), as the "CS_Main" shader reads it.
struct GeneratorLayer {
    float offset[3] = {0.0f, 0.0f, 0.0f};
    float baseFrequency = 0.0f;
    float baseAmplitude = 0.0f;
    int32_t octaves = 0;
    float lacunarity = 0.0f;
    float persistence = 0.0f;
    uint32_t noiseType = NONE;
    float weight = 0.0f;
    float rangeAmplitude[2] = {-1.0f, 1.0f};
    float maskElevation[2] = {-1.0f, 1.0f};
    float padding[2] = {0.0f, 0.0f};
};
static_assert(sizeof(GeneratorLayer) == 64);
static_assert(offsetof(GeneratorLayer, offset) == 0);
static_assert(offsetof(GeneratorLayer, baseFrequency) == 12);
static_assert(offsetof(GeneratorLayer, baseAmplitude) == 16);
static_assert(offsetof(GeneratorLayer, octaves) == 20);
static_assert(offsetof(GeneratorLayer, lacunarity) == 24);
static_assert(offsetof(GeneratorLayer, persistence) == 28);
static_assert(offsetof(GeneratorLayer, noiseType) == 32);
static_assert(offsetof(GeneratorLayer, weight) == 36);
static_assert(offsetof(GeneratorLayer, rangeAmplitude) == 40);
static_assert(offsetof(GeneratorLayer, maskElevation) == 48);
static_assert(offsetof(GeneratorLayer, padding) == 56);

// The settings block (512 bytes, a uniform block): layer k at offset 64k, unused layers NONE with weight 0.
struct GeneratorSettings {
    static constexpr int LayerCount = 8;
    GeneratorLayer layers[LayerCount];
};
static_assert(sizeof(GeneratorSettings) == 512);
static_assert(offsetof(GeneratorSettings, layers[1]) == 64);
static_assert(offsetof(GeneratorSettings, layers[7]) == 448);

// The noise type each layer contributes with: its type, or NONE when it adds nothing (type out of range or
// weight 0). The compute pipeline is specialised to these, so that the shader holds only the code they need.
struct LayerTypes {
    uint32_t types[GeneratorSettings::LayerCount] = {};
    bool operator==(const LayerTypes&) const = default;
};
LayerTypes effectiveLayerTypes(const GeneratorSettings& settings);

// A create-info layer (the first 56 bytes of a generator layer) in block form.
GeneratorLayer toGeneratorLayer(const NoiseLayer& layer);

// Bounds of the heights a settings block can produce: every layer adds weight × value × mask, with value in
// its range amplitude and mask in [0, 1], so each active layer adds at least min(0, w·lo) and at most
// max(0, w·hi).
struct HeightBounds {
    float low = 0.0f;
    float high = 0.0f;
};
HeightBounds heightBounds(const GeneratorSettings& settings);

// Work groups of one dispatch for a face of `size` texels: the shader's groups are 8 × 8 texels, z is the face.
struct DispatchSize {
    uint32_t x, y, z;
};
DispatchSize generatorDispatch(float mapWidth, float mapHeight);

// A cube map written by a compute pass (the height map, the baked ground and normal maps) with a second view over
// the same six layers as a 2D array, which the pass binds as its storage image (a cube view cannot be written
// through an image2DArray). Sampled, stored, and copyable, so that a map can be read back.
class StorageCube : public ImageCube {
public:
    StorageCube(GraphicsDevice* device, uint32_t size, VkFormat format);
    ~StorageCube() override;

    ImageView arrayView;
};

// Face size of the height map of a body `pixelRadius` pixels in radius on screen: the full 2048 texels for bodies
// large on screen (a face then spans at least about 300 pixels), down to 256 for specks. A face covers a quarter
// of a great circle, about 1.6 radii of screen, so these keep at least two texels per pixel of every face.
uint32_t heightMapSizeFor(double pixelRadius);

// The size a map should have next: larger at once when `wanted` is larger; smaller only once `wanted` has been
// smaller for `DowngradeFrames` frames in a row (counted in `framesWantingLess`), so that a body seen briefly
// from afar, or the camera turning, does not regenerate its map back and forth.
constexpr uint32_t DowngradeFrames = 600;
uint32_t chooseMapSize(uint32_t current, uint32_t wanted, uint32_t& framesWantingLess);

class PlanetGenerator {
public:
    static constexpr uint32_t MapSize = 2048;   // the largest face size
    static constexpr uint32_t MinMapSize = 256; // the smallest, and the size before a body is first seen
    static constexpr VkFormat MapFormat = VK_FORMAT_R32_SFLOAT;

    // `size` is the face size in texels (the program starts every map at MinMapSize; the tests choose).
    // Uses the services' device, uniform storage and descriptor pool.
    explicit PlanetGenerator(const Services& services, uint32_t size = MapSize);
    // Releases the GPU objects after the frames in flight that may still use them.
    ~PlanetGenerator();
    PlanetGenerator(const PlanetGenerator&) = delete;
    PlanetGenerator& operator=(const PlanetGenerator&) = delete;

    // Writes the 512-byte settings block into this frame's slot of the uniform storage.
    void uploadSettings();
    // Records the whole map's regeneration into `context` (the settings must have been uploaded this frame).
    void generate(CommandContext* context);
    // Records bands [firstBand, firstBand + bandCount) of the map's 6 × bandsPerFace bands of rows (face-major).
    // Band 0 starts a generation (the old contents are discarded) and the last band completes it (the map becomes
    // readable and the cube view is handed to the readers); returns true then. Between the two the map must not be
    // sampled. While a resize is pending the bands fill the new map and the current one stays readable.
    bool generateBands(CommandContext* context, uint32_t firstBand, uint32_t bandCount, uint32_t bandsPerFace);
    // Asks for a map of `size` texels per face. Before the first generation the map is replaced at once; after it,
    // the next generation fills a new map of that size, which replaces the current one when it completes (the
    // readers keep the current map until then). Asking for the current size drops a pending resize.
    void requestSize(uint32_t size);
    uint32_t size() const { return heightMap->width; }
    uint32_t targetSize() const { return pending ? pending->width : heightMap->width; }
    bool resizing() const { return pending != nullptr; }
    // Rebuilds the compute pipeline when the layers' noise types no longer match its specialization.
    void updatePipeline();

    DataSet* dataSet = nullptr;
    GeneratorSettings settings;
    StorageBinding* settingsBinding = nullptr;
    float mapWidth = float(MapSize);
    float mapHeight = float(MapSize);
    Sampler* sampler = nullptr;
    PipelineCompute* pipeline = nullptr;
    StorageCube* heightMap = nullptr;
    StorageCube* pending = nullptr; // the map a resize generates into, until it completes
    // Read by the surfaces (combined image sampler) and the panel's preview: the 2D array view until the first
    // generation, the cube view from then on.
    TextureBinding* heightMapBinding = nullptr;
    // What the generator's own data set binds as its storage image: always the 2D array view.
    TextureBinding* storageBinding = nullptr;
    uint32_t generationCount = 0; // completed generations
    // The noise type the pipeline was specialised for, per layer (NONE for layers that add nothing).
    LayerTypes pipelineTypes{};

private:
    GraphicsDevice* owner = nullptr;
};

} // namespace Demo
