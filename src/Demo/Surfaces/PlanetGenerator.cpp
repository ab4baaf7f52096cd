#include "Demo/Surfaces/PlanetGenerator.h"

#include "Demo/Scene/FrameContext.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Pipelines/PipelineCompute.h"

#include <algorithm>

namespace Demo {

// Stages in which the height map is read: the solid surfaces' drawing, and the compute pass that bakes their ground
// and normal maps from it.
constexpr VkPipelineStageFlags2 SurfaceReadStages =
    VK_PIPELINE_STAGE_2_TESSELLATION_CONTROL_SHADER_BIT | VK_PIPELINE_STAGE_2_TESSELLATION_EVALUATION_SHADER_BIT |
    VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT;

GeneratorLayer toGeneratorLayer(const NoiseLayer& in) {
    GeneratorLayer out;
    std::copy(in.offset, in.offset + 3, out.offset);
    out.baseFrequency = in.baseFrequency;
    out.baseAmplitude = in.baseAmplitude;
    out.octaves = in.octaves;
    out.lacunarity = in.lacunarity;
    out.persistence = in.persistence;
    out.noiseType = in.noiseType;
    out.weight = in.weight;
    std::copy(in.rangeAmplitude, in.rangeAmplitude + 2, out.rangeAmplitude);
    std::copy(in.maskElevation, in.maskElevation + 2, out.maskElevation);
    return out;
}

HeightBounds heightBounds(const GeneratorSettings& settings) {
    HeightBounds bounds;
    for (const GeneratorLayer& layer : settings.layers) {
        if (layer.noiseType == NONE || layer.noiseType > WORLEY || layer.weight == 0.0f)
            continue;
        float lo = layer.weight * std::min(layer.rangeAmplitude[0], layer.rangeAmplitude[1]);
        float hi = layer.weight * std::max(layer.rangeAmplitude[0], layer.rangeAmplitude[1]);
        bounds.low += std::min({0.0f, lo, hi});
        bounds.high += std::max({0.0f, lo, hi});
    }
    return bounds;
}

LayerTypes effectiveLayerTypes(const GeneratorSettings& settings) {
    LayerTypes result;
    for (int k = 0; k < GeneratorSettings::LayerCount; ++k) {
        const GeneratorLayer& layer = settings.layers[k];
        bool active = layer.noiseType != NONE && layer.noiseType <= WORLEY && layer.weight != 0.0f;
        result.types[k] = active ? layer.noiseType : uint32_t(NONE);
    }
    return result;
}

DispatchSize generatorDispatch(float mapWidth, float mapHeight) {
    return {uint32_t(mapWidth * 0.125f), uint32_t(mapHeight * 0.125f), 6u};
}

uint32_t heightMapSizeFor(double pixelRadius) {
    if (pixelRadius >= 200.0)
        return 2048;
    if (pixelRadius >= 60.0)
        return 1024;
    if (pixelRadius >= 16.0)
        return 512;
    return 256;
}

uint32_t chooseMapSize(uint32_t current, uint32_t wanted, uint32_t& framesWantingLess) {
    if (wanted >= current) {
        framesWantingLess = 0;
        return wanted;
    }
    if (++framesWantingLess < DowngradeFrames)
        return current;
    framesWantingLess = 0;
    return wanted;
}

StorageCube::StorageCube(GraphicsDevice* device, uint32_t size, VkFormat format)
    : ImageCube(device, size, size, format,
                VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT, 1) {
    arrayView.create(device, image, format, VK_IMAGE_ASPECT_COLOR_BIT, 1, 6, VK_IMAGE_VIEW_TYPE_2D_ARRAY);
}

StorageCube::~StorageCube() {
    arrayView.destroy();
}

PlanetGenerator::PlanetGenerator(const Services& services, uint32_t size) : owner(services.device) {
    GraphicsDevice* device = services.device;
    mapWidth = float(size);
    mapHeight = float(size);
    settingsBinding = new StorageBinding(services.uniformStorage, sizeof(GeneratorSettings));

    // Linear filtering, clamp to edge, anisotropy off (its maximum 4 unused), LOD range ±1000.
    sampler = new Sampler(device, Sampler::defaultInfo(4.0f));
    sampler->deferredRelease = 1;

    heightMap = new StorageCube(device, size, MapFormat);
    heightMapBinding = new TextureBinding(&heightMap->arrayView, sampler);
    storageBinding = new TextureBinding(&heightMap->arrayView, sampler);

    updatePipeline();

    dataSet = new DataSet(device, services.descriptorPool,
                          {{0, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, storageBinding},
                           {1, DATA_STORAGE, services.uniformStorage->descriptorType(), settingsBinding}});
}

PlanetGenerator::~PlanetGenerator() {
    GraphicsDevice* device = owner;
    if (device) {
        unregisterResource(device, dataSet);
        unregisterResource(device, pipeline);
        unregisterResource(device, heightMap);
        if (pending)
            unregisterResource(device, pending);
        unregisterResource(device, sampler);
    }
    delete settingsBinding;
    // The records detach themselves from data sets whose release is still pending.
    delete heightMapBinding;
    delete storageBinding;
}

void PlanetGenerator::updatePipeline() {
    LayerTypes types = effectiveLayerTypes(settings);
    if (pipeline && types == pipelineTypes)
        return;
    auto* next = new PipelineCompute(owner);
    next->layoutNotation = "SI_0+UBD_1";
    next->load("planetgen_solid", "CS_Main");
    for (uint32_t k = 0; k < uint32_t(GeneratorSettings::LayerCount); ++k)
        next->specializationEntries.push_back({k, k * uint32_t(sizeof(uint32_t)), sizeof(uint32_t)});
    const auto* bytes = reinterpret_cast<const uint8_t*>(types.types);
    next->specializationData.assign(bytes, bytes + sizeof(types.types));
    // First generations are spread over frames in bands of rows (vkCmdDispatchBase).
    next->createFlags = VK_PIPELINE_CREATE_DISPATCH_BASE_BIT;
    next->create();
    // A frame in flight may still run the old pipeline: its release waits for those frames.
    if (pipeline)
        unregisterResource(owner, pipeline);
    pipeline = next;
    pipelineTypes = types;
}

void PlanetGenerator::uploadSettings() {
    if (settingsBinding && settingsBinding->storage)
        settingsBinding->write(&settings);
}

void PlanetGenerator::generate(CommandContext* context) {
    generateBands(context, 0, 6, 1);
}

void PlanetGenerator::requestSize(uint32_t newSize) {
    if (newSize == targetSize())
        return;
    if (pending) {
        // A frame in flight may still be writing it.
        unregisterResource(owner, pending);
        pending = nullptr;
    }
    if (newSize == size()) {
        storageBinding->replace(&heightMap->arrayView);
        return;
    }
    if (generationCount == 0) {
        // Nothing readable yet: the map itself is replaced.
        unregisterResource(owner, heightMap);
        heightMap = new StorageCube(owner, newSize, MapFormat);
        mapWidth = mapHeight = float(newSize);
        heightMapBinding->replace(&heightMap->arrayView);
        storageBinding->replace(&heightMap->arrayView);
        return;
    }
    pending = new StorageCube(owner, newSize, MapFormat);
    storageBinding->replace(&pending->arrayView);
}

bool PlanetGenerator::generateBands(CommandContext* context, uint32_t firstBand, uint32_t bandCount,
                                    uint32_t bandsPerFace) {
    const uint32_t totalBands = 6 * bandsPerFace;
    if (bandCount == 0 || firstBand >= totalBands)
        return false;
    bandCount = std::min(bandCount, totalBands - firstBand);
    StorageCube* target = pending ? pending : heightMap;
    const VkImageSubresourceRange range = target->range;
    if (firstBand == 0) {
        // Every texel is rewritten, so the old contents are discarded. The previous frame's draws and bakes read
        // the map; the writes wait for them.
        imageBarrier(context, target->image, range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL,
                     SurfaceReadStages, VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
                     VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT);
        updatePipeline();
    }

    pipeline->bind(context);
    bindDataSet(context, dataSet);
    pipeline->bindDataSets(context);
    DispatchSize groups = generatorDispatch(float(target->width), float(target->height));
    if (bandsPerFace == 1 && firstBand == 0 && bandCount == 6) {
        vkCmdDispatch(context->commandBuffer, groups.x, groups.y, groups.z);
    } else {
        for (uint32_t band = firstBand; band < firstBand + bandCount; ++band) {
            uint32_t face = band / bandsPerFace, part = band % bandsPerFace;
            uint32_t y0 = groups.y * part / bandsPerFace, y1 = groups.y * (part + 1) / bandsPerFace;
            if (y1 > y0)
                vkCmdDispatchBase(context->commandBuffer, 0, y0, face, groups.x, y1 - y0, 1);
        }
    }

    if (firstBand + bandCount < totalBands)
        return false;
    // The surfaces size their patches by the map in tessellation control, displace by it in evaluation and shade
    // with it in the fragment stage; the bake reads it in compute.
    imageBarrier(context, target->image, range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                 VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT, SurfaceReadStages,
                 VK_ACCESS_2_SHADER_READ_BIT);

    if (pending) {
        // The new map is complete: readers switch to it, the old one goes once no frame in flight reads it.
        unregisterResource(owner, heightMap);
        heightMap = pending;
        pending = nullptr;
        mapWidth = mapHeight = float(heightMap->width);
    }
    // Hand the cube view to the readers once; later generations rewrite the same image behind the same view.
    if (heightMapBinding->view != &heightMap->imageView)
        heightMapBinding->replace(&heightMap->imageView);
    ++generationCount;
    return true;
}

} // namespace Demo
