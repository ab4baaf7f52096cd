#include "GpuFixture.h"

#include "Demo/Scene/Bloom.h"
#include "Engine/Images/Image.h"

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

    static double total(const std::vector<Texel>& texels) {
        double sum = 0.0;
        for (const Texel& t : texels)
            sum += double(t.r) + t.g + t.b;
        return sum;
    }
    static const Texel& at(const std::vector<Texel>& texels, uint32_t x, uint32_t y) { return texels[y * W + x]; }

    Image2D* target = nullptr;
    Sampler* sampler = nullptr;
    TextureBinding* binding = nullptr;
    Bloom* bloom = nullptr;
};

} // namespace

TEST_F(BloomGpuTest, SpreadsOnlyTheBrightLightAndKeepsTheFramesTotal) {
    bloom = new Bloom(device, descriptorPool);
    // A star-bright square on the left, a lit-planet square on the right.
    const std::vector<Square> squares = {{60, 60, {20.0f, 16.0f, 12.0f, 5.0f}}, {220, 20, {0.5f, 0.6f, 0.7f, 6.0f}}};
    std::vector<Texel> before = render(squares, [](CommandContext*) {});
    std::vector<Texel> after = render(squares, [&](CommandContext* c) { bloom->record(c, target, binding); });

    // What the bright square gives up reaches its surroundings; the frame's light is kept (the chain's half floats
    // and its edges cost a little).
    EXPECT_LT(at(after, 64, 64).luminance(), 0.9f * at(before, 64, 64).luminance());
    EXPECT_GT(at(after, 64, 80).luminance(), 0.05f);
    EXPECT_GT(at(after, 40, 64).luminance(), 0.005f);
    EXPECT_NEAR(total(after), total(before), 0.02 * total(before));
    // The dim square keeps its colour (only the faint far edge of the glow reaches it); alpha is untouched.
    EXPECT_NEAR(at(after, 224, 24).g, 0.6f, 0.01f);
    EXPECT_NEAR(at(after, 224, 24).r / at(after, 224, 24).b, 0.5f / 0.7f, 0.02f);
    for (size_t i = 0; i < after.size(); ++i)
        ASSERT_EQ(after[i].a, before[i].a) << i;

    // The glare is centred on its source: as much above the bright square as below it, left as right.
    EXPECT_NEAR(at(after, 64, 52).luminance(), at(after, 64, 75).luminance(), 0.1f * at(after, 64, 75).luminance());
    EXPECT_NEAR(at(after, 52, 64).luminance(), at(after, 75, 64).luminance(), 0.1f * at(after, 75, 64).luminance());

    // Below the threshold nothing moves at all.
    std::vector<Texel> dim =
        render({{220, 20, {0.5f, 0.6f, 0.7f, 6.0f}}}, [&](CommandContext* c) { bloom->record(c, target, binding); });
    EXPECT_EQ(std::memcmp(&at(dim, 224, 24), &at(before, 224, 24), sizeof(Texel)), 0);
    EXPECT_EQ(at(dim, 100, 100).luminance(), 0.0f);
}
