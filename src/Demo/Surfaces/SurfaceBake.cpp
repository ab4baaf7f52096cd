#include "Demo/Surfaces/SurfaceBake.h"

#include "Demo/Scene/FrameContext.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Pipelines/PipelineCompute.h"

namespace Demo {

namespace {

// The surfaces read the maps in fragment shading only.
constexpr VkPipelineStageFlags2 ReadStages = VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT;

} // namespace

SurfaceBake::SurfaceBake(const Services& services, TextureBinding* heightMap, StorageBinding* surfaceRecord,
                         StorageBinding* biomeRecord, uint32_t size)
    : owner(services.device) {
    GraphicsDevice* device = owner;
    sampler = new Sampler(device, Sampler::defaultInfo());
    sampler->deferredRelease = 1;
    ground = new StorageCube(device, size, GroundFormat);
    normal = new StorageCube(device, size, NormalFormat);
    groundBinding = new TextureBinding(&ground->imageView, sampler);
    normalBinding = new TextureBinding(&normal->imageView, sampler);
    groundStorage = new TextureBinding(&ground->arrayView, sampler);
    normalStorage = new TextureBinding(&normal->arrayView, sampler);

    pipeline = sharedResource<PipelineCompute>(device, "planetbake_solid", [&] {
        auto* p = new PipelineCompute(device);
        p->layoutNotation = "CIS_0+SI_1+SI_2+UBD_3+UBD_4";
        p->load("planetbake_solid", "CS_Main");
        p->createFlags = VK_PIPELINE_CREATE_DISPATCH_BASE_BIT;
        p->create();
        return p;
    });
    const uint32_t ubd = services.uniformStorage->descriptorType();
    dataSet = new DataSet(device, services.descriptorPool,
                          {{0, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, heightMap},
                           {1, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, groundStorage},
                           {2, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, normalStorage},
                           {3, DATA_STORAGE, ubd, surfaceRecord},
                           {4, DATA_STORAGE, ubd, biomeRecord}});
}

SurfaceBake::~SurfaceBake() {
    if (owner) {
        unregisterResource(owner, dataSet);
        unregisterResource(owner, ground);
        unregisterResource(owner, normal);
        if (nextGround) {
            unregisterResource(owner, nextGround);
            unregisterResource(owner, nextNormal);
        }
        unregisterResource(owner, sampler);
    }
    // The records detach themselves from data sets whose release is still pending.
    delete groundBinding;
    delete normalBinding;
    delete groundStorage;
    delete normalStorage;
}

bool SurfaceBake::bake(CommandContext* context, uint32_t newSize, uint32_t bandCount) {
    const uint32_t perFace = bandsPerFace(newSize), totalBands = 6 * perFace;
    if (bandCount == 0)
        return false;
    if (bandsDone == 0) {
        StorageCube*& g = bakeCount == 0 ? ground : nextGround;
        StorageCube*& n = bakeCount == 0 ? normal : nextNormal;
        if (g && g->width != newSize) {
            // A frame in flight may still use them.
            unregisterResource(owner, g);
            unregisterResource(owner, n);
            g = n = nullptr;
        }
        if (!g) {
            g = new StorageCube(owner, newSize, GroundFormat);
            n = new StorageCube(owner, newSize, NormalFormat);
        }
        if (bakeCount == 0) {
            groundBinding->replace(&ground->imageView);
            normalBinding->replace(&normal->imageView);
        }
        groundStorage->replace(&g->arrayView);
        normalStorage->replace(&n->arrayView);
    }
    StorageCube* g = bakeCount == 0 ? ground : nextGround;
    StorageCube* n = bakeCount == 0 ? normal : nextNormal;
    for (StorageCube* map : {g, n}) {
        if (bandsDone == 0)
            // Every texel is rewritten: the old contents are discarded once the draws that read them, or the
            // bands of a bake that was started over, are done.
            imageBarrier(context, map->image, map->range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL,
                         ReadStages | VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT,
                         VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT);
        else
            // Earlier frames' bands wrote other rows, but the dependency is per image.
            imageBarrier(context, map->image, map->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                         VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT,
                         VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT);
    }
    pipeline->bind(context);
    bindDataSet(context, dataSet);
    pipeline->bindDataSets(context);
    DispatchSize groups = generatorDispatch(float(newSize), float(newSize));
    const uint32_t last = std::min(bandsDone + bandCount, totalBands);
    for (uint32_t band = bandsDone; band < last; ++band) {
        uint32_t face = band / perFace, part = band % perFace;
        uint32_t y0 = groups.y * part / perFace, y1 = groups.y * (part + 1) / perFace;
        vkCmdDispatchBase(context->commandBuffer, 0, y0, face, groups.x, y1 - y0, 1);
    }
    bandsDone = last;
    if (bandsDone < totalBands)
        return false;
    for (StorageCube* map : {g, n})
        imageBarrier(context, map->image, map->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                     VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT, ReadStages,
                     VK_ACCESS_2_SHADER_SAMPLED_READ_BIT);
    if (bakeCount > 0) {
        // The new maps are complete: the draws switch to them, the old ones go once no frame in flight reads them.
        unregisterResource(owner, ground);
        unregisterResource(owner, normal);
        ground = nextGround;
        normal = nextNormal;
        nextGround = nextNormal = nullptr;
        groundBinding->replace(&ground->imageView);
        normalBinding->replace(&normal->imageView);
    }
    bandsDone = 0;
    ++bakeCount;
    return true;
}

} // namespace Demo
