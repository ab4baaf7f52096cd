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
    createMaps(size);
    groundBinding = new TextureBinding(&ground->imageView, sampler);
    normalBinding = new TextureBinding(&normal->imageView, sampler);
    groundStorage = new TextureBinding(&ground->arrayView, sampler);
    normalStorage = new TextureBinding(&normal->arrayView, sampler);

    pipeline = sharedResource<PipelineCompute>(device, "planetbake_solid", [&] {
        auto* p = new PipelineCompute(device);
        p->layoutNotation = "CIS_0+SI_1+SI_2+UBD_3+UBD_4";
        p->load("planetbake_solid", "CS_Main");
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
        unregisterResource(owner, sampler);
    }
    // The records detach themselves from data sets whose release is still pending.
    delete groundBinding;
    delete normalBinding;
    delete groundStorage;
    delete normalStorage;
}

void SurfaceBake::createMaps(uint32_t size) {
    ground = new StorageCube(owner, size, GroundFormat);
    normal = new StorageCube(owner, size, NormalFormat);
}

void SurfaceBake::bake(CommandContext* context, uint32_t newSize) {
    if (newSize != size()) {
        // A frame in flight may still sample the old maps.
        unregisterResource(owner, ground);
        unregisterResource(owner, normal);
        createMaps(newSize);
        groundBinding->replace(&ground->imageView);
        normalBinding->replace(&normal->imageView);
        groundStorage->replace(&ground->arrayView);
        normalStorage->replace(&normal->arrayView);
    }
    // Every texel is rewritten: the old contents are discarded once the previous frame's draws have read them.
    for (StorageCube* map : {ground, normal})
        imageBarrier(context, map->image, map->range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL, ReadStages,
                     VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT);
    pipeline->bind(context);
    bindDataSet(context, dataSet);
    pipeline->bindDataSets(context);
    DispatchSize groups = generatorDispatch(float(newSize), float(newSize));
    vkCmdDispatch(context->commandBuffer, groups.x, groups.y, groups.z);
    for (StorageCube* map : {ground, normal})
        imageBarrier(context, map->image, map->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL,
                     VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_STORAGE_WRITE_BIT, ReadStages,
                     VK_ACCESS_2_SHADER_SAMPLED_READ_BIT);
    ++bakeCount;
}

} // namespace Demo
