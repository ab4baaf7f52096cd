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

std::vector<BloomExtent> bloomChainExtents(uint32_t width, uint32_t height, uint32_t maxLevels) {
    // An eighth of the target, rounded up; as many levels as keep eight texels on the short side.
    const uint32_t f = BloomFootprint;
    uint32_t w = std::max((width + f - 1) / f, 1u), h = std::max((height + f - 1) / f, 1u);
    const uint32_t most = std::clamp(maxLevels, 1u, MaxBloomLevels);
    uint32_t count = 1;
    while (count < most && (std::min(w, h) >> count) >= 8)
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

// The chain image (float RGBA: no conversions in the post-process's reads on a CPU driver; every level sampled and
// written) with one view per level for the writes.
class BloomChain : public Image2D {
public:
    BloomChain(GraphicsDevice* d, const std::vector<BloomExtent>& extents)
        : Image2D(d, extents[0].width, extents[0].height, VK_FORMAT_R32G32B32A32_SFLOAT,
                  VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_SAMPLED_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                  VK_IMAGE_ASPECT_COLOR_BIT, uint32_t(extents.size())) {
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
    // Linear within a level, levels picked exactly by the passes.
    VkSamplerCreateInfo info = Sampler::defaultInfo(1.0f);
    info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_NEAREST;
    sampler = new Sampler(device, info);
}

Bloom::~Bloom() {
    release();
    delete chainBinding;
    for (GraphicsResource* r : std::initializer_list<GraphicsResource*>{prefilter, downsample, upsample, sampler})
        unregisterResource(device, r);
}

void Bloom::release() {
    // Frames in flight may still use the chain and its sets: they go after those frames.
    if (chain)
        unregisterResource(device, chain);
    if (prefilterSet)
        unregisterResource(device, prefilterSet);
    for (DataSet* set : levelSets)
        unregisterResource(device, set);
    levelSets.clear();
    for (TextureBinding* b : levelBindings)
        delete b;
    levelBindings.clear();
    chain = nullptr;
    prefilterSet = nullptr;
}

void Bloom::build(Image2D* colorTarget, TextureBinding* colorTargetBinding) {
    release();
    extents = bloomChainExtents(colorTarget->width, colorTarget->height, levels);
    chain = new BloomChain(device, extents);
    // The post-process's data set keeps this record: it rebuilds when the record is pointed at the new chain.
    if (chainBinding) {
        chainBinding->replace(&chain->imageView);
    } else {
        chainBinding = new TextureBinding(&chain->imageView, sampler);
        chainBinding->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
    }
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
    boundTarget = colorTargetBinding;
    builtWidth = colorTarget->width;
    builtHeight = colorTarget->height;
    builtLevels = levels;
}

Image2D* Bloom::chainImage() const {
    return chain;
}

void Bloom::prepare(Image2D* colorTarget, TextureBinding* colorTargetBinding) {
    if (!chain || colorTarget->width != builtWidth || colorTarget->height != builtHeight ||
        colorTargetBinding != boundTarget || levels != builtLevels)
        build(colorTarget, colorTargetBinding);
}

BloomComposite Bloom::composite() const {
    BloomComposite c;
    c.threshold = threshold;
    c.knee = std::max(knee, 1e-4f);
    c.strength = std::clamp(strength, 0.0f, 1.0f);
    if (!enabled || extents.empty())
        return c;
    c.weight = 1.0f / float(extents.size());
    // Level 0 covers BloomFootprint target texels per texel, padding included.
    c.coverage[0] = float(builtWidth) / float(BloomFootprint * extents[0].width);
    c.coverage[1] = float(builtHeight) / float(BloomFootprint * extents[0].height);
    return c;
}

void Bloom::dispatch(CommandContext* context, PipelineCompute* pipeline, DataSet* set, const BloomParameters& p) {
    pipeline->bind(context);
    bindDataSet(context, set);
    pipeline->bindDataSets(context);
    vkCmdPushConstants(context->commandBuffer, pipeline->layout, VK_SHADER_STAGE_COMPUTE_BIT, 0, sizeof(p), &p);
    vkCmdDispatch(context->commandBuffer, groups(p.size[0]), groups(p.size[1]), 1);
}

void Bloom::record(CommandContext* context, Image2D* colorTarget, TextureBinding* colorTargetBinding) {
    if (!colorTarget)
        return;
    prepare(colorTarget, colorTargetBinding);
    const VkImageSubresourceRange chainRange = chain->range;
    if (!enabled) {
        imageBarrier(context, chain->image, chainRange, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL,
                     VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                     VK_ACCESS_2_SHADER_READ_BIT);
        return;
    }

    const BloomComposite c = composite();
    BloomParameters p;
    p.threshold = c.threshold;
    p.knee = c.knee;
    p.strength = c.strength;
    p.levelWeight = c.weight;
    p.coverage[0] = c.coverage[0];
    p.coverage[1] = c.coverage[1];
    // Every pass reads what the one before wrote, somewhere in the chain.
    auto chainWritten = [&] {
        imageBarrier(context, chain->image, chainRange, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                     VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT,
                     VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
                     VK_ACCESS_2_SHADER_READ_BIT | VK_ACCESS_2_SHADER_WRITE_BIT);
    };

    // The chain's old contents are not needed, but last frame's post-process must be done reading them; the
    // target's last writes came from fragment shading (atmospheres) or colour output (layer passes).
    imageBarrier(context, chain->image, chainRange, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_GENERAL,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT,
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
    // Level 0 is read by the post-process.
    imageBarrier(context, chain->image, chainRange, VK_IMAGE_LAYOUT_GENERAL, VK_IMAGE_LAYOUT_GENERAL,
                 VK_PIPELINE_STAGE_2_COMPUTE_SHADER_BIT, VK_ACCESS_2_SHADER_WRITE_BIT,
                 VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT, VK_ACCESS_2_SHADER_READ_BIT);
}

} // namespace Demo
