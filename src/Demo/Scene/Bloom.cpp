#include "Demo/Scene/Bloom.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataSet.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Pipelines/PipelineCompute.h"

#include <algorithm>
#include <stdexcept>

namespace Demo {

std::vector<BloomExtent> bloomChainExtents(uint32_t width, uint32_t height) {
    // An eighth of the target, rounded up; as many levels as keep eight texels on the short side.
    const uint32_t f = BloomFootprint;
    uint32_t w = std::max((width + f - 1) / f, 1u), h = std::max((height + f - 1) / f, 1u);
    uint32_t count = 1;
    while (count < MaxBloomLevels && (std::min(w, h) >> count) >= 8)
        ++count;
    // Level 0 padded to a multiple of 2^(count - 1), so that every level is exactly half the one above: each
    // texel of a level then gathers the same share of the level above, and the glare stays centred on its
    // source (odd sizes would weigh rows and columns unevenly and shift it).
    uint32_t align = 1u << (count - 1);
    w = (w + align - 1) / align * align;
    h = (h + align - 1) / align * align;
    std::vector<BloomExtent> levels;
    for (uint32_t level = 0; level < count; ++level)
        levels.push_back({w >> level, h >> level});
    return levels;
}

// The chain image (half-float RGBA, every level sampled and written) with one view per level for the writes.
class BloomChain : public Image2D {
public:
    BloomChain(GraphicsDevice* d, const std::vector<BloomExtent>& extents)
        : Image2D(d, extents[0].width, extents[0].height, VK_FORMAT_R16G16B16A16_SFLOAT,
                  VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_SAMPLED_BIT, VK_IMAGE_ASPECT_COLOR_BIT,
                  uint32_t(extents.size())) {
        levelViews.resize(extents.size());
        for (uint32_t level = 0; level < extents.size(); ++level) {
            VkImageViewCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
            info.image = image;
            info.viewType = VK_IMAGE_VIEW_TYPE_2D;
            info.format = format;
            info.subresourceRange = {VK_IMAGE_ASPECT_COLOR_BIT, level, 1, 0, 1};
            if (vkCreateImageView(d->device, &info, nullptr, &levelViews[level].view) != VK_SUCCESS)
                throw std::runtime_error("failed to create bloom level view!");
            levelViews[level].device = d;
            levelViews[level].ownsView = 1;
        }
    }
    ~BloomChain() override {
        for (ImageView& v : levelViews)
            v.destroy();
    }
    std::vector<ImageView> levelViews;
};

namespace {

PipelineCompute* createPass(GraphicsDevice* device, const char* entry) {
    auto* pipeline = new PipelineCompute(device);
    pipeline->layoutNotation = "SI_0+CIS_1";
    pipeline->load("bloom", entry);
    pipeline->pushConstantRanges.push_back({VK_SHADER_STAGE_COMPUTE_BIT, 0, sizeof(BloomParameters)});
    pipeline->create();
    return pipeline;
}

uint32_t groups(int32_t texels) {
    return (uint32_t(texels) + 7) / 8;
}

} // namespace

Bloom::Bloom(GraphicsDevice* device_, DescriptorPool* pool_) : device(device_), pool(pool_) {
    prefilter = createPass(device, "CS_prefilter");
    downsample = createPass(device, "CS_downsample");
    upsample = createPass(device, "CS_upsample");
    composite = createPass(device, "CS_composite");
    // Linear within a level, levels picked exactly by the passes.
    VkSamplerCreateInfo info = Sampler::defaultInfo(1.0f);
    info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
    sampler = new Sampler(device, info);
}

Bloom::~Bloom() {
    release();
    for (GraphicsResource* r :
         std::initializer_list<GraphicsResource*>{prefilter, downsample, upsample, composite, sampler})
        unregisterResource(device, r);
}

void Bloom::release() {
    // Frames in flight may still use the chain and its sets: they go after those frames.
    if (chain)
        unregisterResource(device, chain);
    if (prefilterSet)
        unregisterResource(device, prefilterSet);
    if (compositeSet)
        unregisterResource(device, compositeSet);
    for (DataSet* set : levelSets)
        unregisterResource(device, set);
    levelSets.clear();
    delete chainBinding;
    for (TextureBinding* b : levelBindings)
        delete b;
    levelBindings.clear();
    chain = nullptr;
    prefilterSet = compositeSet = nullptr;
    chainBinding = nullptr;
}

void Bloom::build(Image2D* colorTarget, TextureBinding* colorTargetBinding) {
    release();
    extents = bloomChainExtents(colorTarget->width, colorTarget->height);
    chain = new BloomChain(device, extents);
    chainBinding = new TextureBinding(&chain->imageView, sampler);
    chainBinding->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
    for (size_t level = 0; level < extents.size(); ++level) {
        auto* binding = new TextureBinding(&chain->levelViews[level], sampler);
        binding->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
        levelBindings.push_back(binding);
        levelSets.push_back(new DataSet(device, pool,
                                        {{0, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, binding},
                                         {1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, chainBinding}}));
    }
    prefilterSet = new DataSet(device, pool,
                               {{0, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, levelBindings[0]},
                                {1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, colorTargetBinding}});
    compositeSet = new DataSet(device, pool,
                               {{0, TEXTURE, VK_DESCRIPTOR_TYPE_STORAGE_IMAGE, colorTargetBinding},
                                {1, TEXTURE, VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER, chainBinding}});
    boundTarget = colorTargetBinding;
    builtWidth = colorTarget->width;
    builtHeight = colorTarget->height;
}

void Bloom::dispatch(CommandContext* context, PipelineCompute* pipeline, DataSet* set, const BloomParameters& p,
                     int32_t texelsPerInvocation) {
    pipeline->bind(context);
    bindDataSet(context, set);
    pipeline->bindDataSets(context);
    vkCmdPushConstants(context->commandBuffer, pipeline->layout, VK_SHADER_STAGE_COMPUTE_BIT, 0, sizeof(p), &p);
    const int32_t n = texelsPerInvocation;
    vkCmdDispatch(context->commandBuffer, groups((p.size[0] + n - 1) / n), groups((p.size[1] + n - 1) / n), 1);
}

void Bloom::record(CommandContext* context, Image2D* colorTarget, TextureBinding* colorTargetBinding) {
    if (!enabled || !colorTarget)
        return;
    if (!chain || colorTarget->width != builtWidth || colorTarget->height != builtHeight ||
        colorTargetBinding != boundTarget)
        build(colorTarget, colorTargetBinding);

    BloomParameters p;
    p.threshold = threshold;
    p.knee = std::max(knee, 1e-4f);
    p.strength = std::clamp(strength, 0.0f, 1.0f);
    p.levelWeight = 1.0f / float(extents.size());
    // Level 0 covers BloomFootprint target texels per texel, padding included.
    p.coverage[0] = float(colorTarget->width) / float(BloomFootprint * extents[0].width);
    p.coverage[1] = float(colorTarget->height) / float(BloomFootprint * extents[0].height);
    const VkImageSubresourceRange chainRange = chain->range;
    // Every pass reads what the one before wrote, somewhere in the chain.
    auto chainWritten = [&] {
        imageBarrier(context, chain->image, chainRange, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                     VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT,
                     VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
                     VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT);
    };

    // The chain's old contents are not needed; the target's last writes came from fragment shading (atmospheres)
    // or colour output (layer passes).
    imageBarrier(context, chain->image, chainRange, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL,
                 VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
                 VK_ACCESS_2_SHADER_WRITE_BIT);
    imageBarrier(context, colorTarget->image, colorTarget->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT | VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_SHADER_WRITE_BIT | VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT,
                 VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_READ_BIT);

    p.size[0] = int32_t(extents[0].width);
    p.size[1] = int32_t(extents[0].height);
    dispatch(context, prefilter, prefilterSet, p);
    chainWritten();
    for (uint32_t level = 1; level < extents.size(); ++level) {
        p.size[0] = int32_t(extents[level].width);
        p.size[1] = int32_t(extents[level].height);
        p.sourceLevel = int32_t(level - 1);
        dispatch(context, downsample, levelSets[level], p);
        chainWritten();
    }
    for (uint32_t level = uint32_t(extents.size()) - 1; level-- > 0;) {
        p.size[0] = int32_t(extents[level].width);
        p.size[1] = int32_t(extents[level].height);
        p.sourceLevel = int32_t(level + 1);
        dispatch(context, upsample, levelSets[level], p);
        chainWritten();
    }

    imageBarrier(context, colorTarget->image, colorTarget->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                 VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_READ_BIT,
                 VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT);
    p.size[0] = int32_t(colorTarget->width);
    p.size[1] = int32_t(colorTarget->height);
    p.sourceLevel = 0;
    dispatch(context, composite, compositeSet, p, int32_t(BloomFootprint)); // a level-0 texel's block an invocation
    imageBarrier(context, colorTarget->image, colorTarget->range, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                 VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_SHADER_READ_BIT);
}

} // namespace Demo
