#include "GpuFixture.h"

#include "Demo/Scene/Bloom.h"
#include "Engine/Images/Image.h"

#include <algorithm>
#include <cstring>

using namespace Demo;

namespace {

constexpr uint32_t W = 260, H = 140; // odd level sizes below the first

struct Texel {
    float r, g, b, a;
    float luminance() const { return 0.2126f * r + 0.7152f * g + 0.0722f * b; }
};

class BloomGpuTest : public GpuTest {
protected:
    void SetUp() override {
        target = new Image2D(device, W, H, VK_FORMAT_R32G32B32A32_SFLOAT,
                             VK_IMAGE_USAGE_STORAGE_BIT | VK_IMAGE_USAGE_SAMPLED_BIT |
                                 VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                             VK_IMAGE_ASPECT_COLOR_BIT, 1);
        sampler = new Sampler(device, Sampler::defaultInfo(1.0f));
        binding = new TextureBinding(&target->imageView, sampler);
        binding->sampledLayout = VK_IMAGE_LAYOUT_GENERAL;
    }
    void TearDown() override {
        delete bloom;
        delete binding;
        unregisterResource(device, target);
        unregisterResource(device, sampler);
        vkDeviceWaitIdle(device->device);
        device->registry.allFramesCompleted();
    }

    struct Square {
        int32_t x, y;
        Texel value;
    };
    // Black (alpha 777, the distance channel) with 8 × 8 squares, left in layout general as the layer passes
    // leave the colour target; then `record` runs in the same submission.
    std::vector<Texel> render(const std::vector<Square>& squares, const std::function<void(CommandContext*)>& record) {
        runOnce([&](CommandContext* c) {
            imageBarrier(c, target->image, target->range, VK_IMAGE_LAYOUT_UNDEFINED,
                         VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT,
                         VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                         VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
            VkRenderingAttachmentInfo color{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
            color.imageView = target->imageView.view;
            color.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
            color.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
            color.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
            color.clearValue.color = {{0.0f, 0.0f, 0.0f, 777.0f}};
            VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
            info.renderArea = {{0, 0}, {W, H}};
            info.layerCount = 1;
            info.colorAttachmentCount = 1;
            info.pColorAttachments = &color;
            vkCmdBeginRendering(c->commandBuffer, &info);
            for (const Square& s : squares) {
                VkClearAttachment clear{VK_IMAGE_ASPECT_COLOR_BIT, 0, {}};
                clear.clearValue.color = {{s.value.r, s.value.g, s.value.b, s.value.a}};
                VkClearRect rect{{{s.x, s.y}, {8, 8}}, 0, 1};
                vkCmdClearAttachments(c->commandBuffer, 1, &clear, 1, &rect);
            }
            vkCmdEndRendering(c->commandBuffer);
            imageBarrier(c, target->image, target->range, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                         VK_IMAGE_LAYOUT_GENERAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                         VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_FRAGMENT_SHADER_BIT,
                         VK_ACCESS_2_SHADER_READ_BIT);
            record(c);
        });
        std::vector<uint8_t> bytes = readImage(target->image, W, H, 16, 0, 0, VK_IMAGE_LAYOUT_GENERAL);
        std::vector<Texel> texels(W * H);
        std::memcpy(texels.data(), bytes.data(), bytes.size());
        return texels;
    }

    // Level 0 of the chain after `record`: the sum of every level's blur of the bright part.
    std::vector<Texel> chainLevel0() {
        const BloomExtent e = bloom->levelExtents()[0];
        std::vector<uint8_t> bytes =
            readImage(bloom->chainImage()->image, e.width, e.height, 16, 0, 0, VK_IMAGE_LAYOUT_GENERAL);
        std::vector<Texel> texels(e.width * e.height);
        std::memcpy(texels.data(), bytes.data(), bytes.size());
        return texels;
    }
    static double total(const std::vector<Texel>& texels) {
        double sum = 0.0;
        for (const Texel& t : texels)
            sum += double(t.r) + t.g + t.b;
        return sum;
    }
    static const Texel& at(const std::vector<Texel>& texels, uint32_t x, uint32_t y) { return texels[y * W + x]; }
    Texel chainAt(const std::vector<Texel>& level0, uint32_t x, uint32_t y) {
        return level0[y * bloom->levelExtents()[0].width + x];
    }

    Image2D* target = nullptr;
    Sampler* sampler = nullptr;
    TextureBinding* binding = nullptr;
    Bloom* bloom = nullptr;
};

} // namespace

TEST_F(BloomGpuTest, SpreadsOnlyTheBrightLightAndAsMuchAsTheCompositeTakesOut) {
    bloom = new Bloom(device, descriptorPool);
    // A star-bright square on the left, a lit-planet square on the right.
    const Texel star{20.0f, 16.0f, 12.0f, 5.0f};
    std::vector<Texel> before = render({{60, 60, star}, {220, 20, {0.5f, 0.6f, 0.7f, 6.0f}}},
                                       [&](CommandContext* c) { bloom->record(c, target, binding); });
    std::vector<Texel> level0 = chainLevel0();
    const BloomComposite composite = bloom->composite();
    ASSERT_GT(composite.weight, 0.0f);

    // The post-process takes the bright part out of each texel and adds level 0 times the weight, one level-0
    // texel per 8 x 8 target texels: what the chain holds is what the 64 star texels give up (the chain's edges
    // cost a little).
    auto brightPart = [&](const Texel& c) {
        float l = c.luminance(), above = std::max(l - composite.threshold, 0.0f);
        return double(c.r + c.g + c.b) * above / l * composite.strength;
    };
    EXPECT_NEAR(total(level0) * BloomFootprint * BloomFootprint * composite.weight, 64.0 * brightPart(star),
                0.03 * 64.0 * brightPart(star));
    // The render itself is left alone: the post-process composites.
    EXPECT_EQ(std::memcmp(&at(before, 64, 64), &star, sizeof(Texel)), 0);

    // The glare is centred on its source (level coordinates 8, 8): as much above as below it, left as right, and
    // it reaches well beyond it.
    auto lum = [&](uint32_t x, uint32_t y) { return chainAt(level0, x, y).luminance(); };
    EXPECT_NEAR(lum(8, 4), lum(8, 11), 0.1f * lum(8, 11));
    EXPECT_NEAR(lum(4, 8), lum(11, 8), 0.1f * lum(11, 8));
    EXPECT_GT(lum(8, 11), 0.001f * lum(8, 8));

    // Below the threshold nothing spreads at all.
    render({{220, 20, {0.5f, 0.6f, 0.7f, 6.0f}}}, [&](CommandContext* c) { bloom->record(c, target, binding); });
    EXPECT_EQ(total(chainLevel0()), 0.0);

    // Off: the post-process is told not to read the chain.
    bloom->enabled = false;
    EXPECT_EQ(bloom->composite().weight, 0.0f);
}
