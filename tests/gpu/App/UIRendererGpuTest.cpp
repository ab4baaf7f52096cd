#include "GpuFixture.h"

#include "App/UIRenderer.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Data/DescriptorSet.h"
#include "Engine/Images/Image.h"

#include <imgui.h>

#include <stdexcept>

namespace {

constexpr uint32_t Width = 640, Height = 360;
// The presentable format the swap chain picks where it can: the UI decodes its sRGB colours for it.
constexpr VkFormat TargetFormat = VK_FORMAT_B8G8R8A8_SRGB;

struct Pixel {
    int r, g, b;
};

class UIRendererGpuTest : public GpuTest {
protected:
    void SetUp() override {
        ui = new UIRenderer(device, descriptorPool, nullptr, TargetFormat);
        ui->addFont(16.0f);
        ui->uploadFontAtlas();
        target = new Image2D(device, Width, Height, TargetFormat,
                             VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                             VK_IMAGE_ASPECT_COLOR_BIT, 1);
        runOnce([](CommandContext* c) { uploadPass(c); });
        ImGui::GetIO().DisplaySize = ImVec2(float(Width), float(Height));
    }
    void TearDown() override {
        delete ui;
        unregisterResource(device, target);
        device->registry.allFramesCompleted();
    }

    // Clears the target to black, then records the UI pass of the open frame over it and reads it back.
    void renderAndRead() {
        runOnce([&](CommandContext* c) {
            imageBarrier(c, target->image, target->range, VK_IMAGE_LAYOUT_UNDEFINED,
                         VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT,
                         VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                         VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
            beginClearedRendering(c, target->imageView.view, VK_NULL_HANDLE, VK_IMAGE_LAYOUT_UNDEFINED, Width, Height,
                                  {{0.0f, 0.0f, 0.0f, 1.0f}});
            vkCmdEndRendering(c->commandBuffer);
            ui->recordPass(c, target->image, target->imageView.view, Width, Height);
        });
        pixels = readImage(target->image, Width, Height, 4, 0, 0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL);
    }
    Pixel at(int x, int y) const {
        const uint8_t* p = pixels.data() + (size_t(y) * Width + size_t(x)) * 4; // B G R A
        return {p[2], p[1], p[0]};
    }
    int countBrighterThan(int x0, int y0, int x1, int y1, int level) const {
        int n = 0;
        for (int y = y0; y < y1; ++y)
            for (int x = x0; x < x1; ++x) {
                Pixel p = at(x, y);
                n += (p.r + p.g + p.b) / 3 > level;
            }
        return n;
    }

    // A 360 x 200 window at (40, 30) with three lines of text and, between them, what `middle` adds.
    template <class F> void buildWindow(F&& middle) {
        ui->beginFrame();
        ImGui::SetNextWindowPos(ImVec2(40, 30));
        ImGui::SetNextWindowSize(ImVec2(360, 200));
        ImGui::Begin("Kestrune test window");
        ImGui::Text("Framerate: %d", 60);
        middle();
        ImGui::Text("Rendered Objects: %d", 42);
        ImGui::TextUnformatted("The quick brown fox jumps over the lazy dog");
        ImGui::End();
    }

    UIRenderer* ui = nullptr;
    Image2D* target = nullptr;
    std::vector<uint8_t> pixels;
};

bool greyNear(Pixel p, int level, int tolerance) {
    return std::abs(p.r - level) <= tolerance && std::abs(p.g - level) <= tolerance &&
           std::abs(p.b - level) <= tolerance;
}

} // namespace

TEST_F(UIRendererGpuTest, WindowWithTextIsDrawnInTheGreyThemeWhereTheWindowIs) {
    buildWindow([] {});
    ui->endFrame(); // the first frame focuses the new window; the second is drawn
    buildWindow([] {});
    renderAndRead();

    EXPECT_GE(ui->lastPass.draws, 1u);
    EXPECT_EQ(ui->lastPass.setBinds, 1u); // only the font set
    EXPECT_GT(ui->lastPass.vertices, 0u);

    // The active title bar: the theme's grey 0.46 (117 of 255), written as the sRGB value it is.
    EXPECT_TRUE(greyNear(at(380, 38), 117, 2)) << at(380, 38).r << " " << at(380, 38).g << " " << at(380, 38).b;
    // The body: the dark style's background (0.06, alpha 0.94) over black.
    EXPECT_TRUE(greyNear(at(380, 200), 15, 2)) << at(380, 200).r << " " << at(380, 200).g << " " << at(380, 200).b;
    // Outside the window the target is untouched.
    EXPECT_TRUE(greyNear(at(500, 300), 0, 0));
    EXPECT_TRUE(greyNear(at(20, 20), 0, 0));
    // White text in the body's upper left, none below the text lines.
    EXPECT_GT(countBrighterThan(44, 52, 400, 110, 180), 150);
    EXPECT_EQ(countBrighterThan(44, 150, 396, 226, 180), 0);
}

TEST_F(UIRendererGpuTest, ImageBetweenTextRebindsTheSetOnlyWhereTheTextureChanges) {
    // A red 4 x 4 texture shown through its own set, as a panel would.
    auto* red = new Image2D(device, 4, 4, VK_FORMAT_R8G8B8A8_UNORM,
                            VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT, VK_IMAGE_ASPECT_COLOR_BIT, 1);
    std::vector<uint8_t> texels(4 * 4 * 4);
    for (size_t i = 0; i < texels.size(); i += 4) {
        texels[i] = 255;
        texels[i + 3] = 255;
    }
    red->addStagingUpload(texels.data(), texels.size(), 4, 4, 0, 1, 0);
    device->pendingImageUploads.push_back(red);
    runOnce([](CommandContext* c) { uploadPass(c); });
    DescriptorBinding binding;
    binding.type = TEXTURE;
    binding.object = &red->imageView;
    binding.sampler = ui->sampler;
    auto* set = new DescriptorSet({binding}, descriptorPool);
    ui->descriptorSets.push_back(set);

    buildWindow([&] { ImGui::Image(set, ImVec2(48, 24)); });
    ui->endFrame();
    buildWindow([&] { ImGui::Image(set, ImVec2(48, 24)); });
    renderAndRead();
    EXPECT_EQ(ui->lastPass.setBinds, 3u); // font, image, font again
    EXPECT_GE(ui->lastPass.draws, 3u);
    int redPixels = 0;
    for (int y = 40; y < 140; ++y)
        for (int x = 40; x < 140; ++x) {
            Pixel p = at(x, y);
            redPixels += p.r > 240 && p.g < 10 && p.b < 10;
        }
    EXPECT_GE(redPixels, 48 * 24 - 100);
    unregisterResource(device, red);
}

TEST_F(UIRendererGpuTest, FrameWithoutWindowsRecordsNothingAndEveryFrameIsEnded) {
    // Begun twice without an end (a frame that was not drawn): the open one is ended first.
    ui->beginFrame();
    ui->beginFrame();
    EXPECT_TRUE(ui->frameOpen());
    ui->endFrame();
    EXPECT_FALSE(ui->frameOpen());

    ui->beginFrame();
    uint32_t cursor = ui->geometry->slots.cursor;
    uint32_t slot = ui->geometry->slots.slotIndex;
    renderAndRead();
    EXPECT_FALSE(ui->frameOpen());
    EXPECT_EQ(ui->lastPass.draws, 0u);
    EXPECT_EQ(ui->geometry->slots.cursor, cursor); // the storage was not even begun
    EXPECT_EQ(ui->geometry->slots.slotIndex, slot);
    EXPECT_EQ(countBrighterThan(0, 0, Width, Height, 0), 0);
}

TEST_F(UIRendererGpuTest, MissingOrForeignFontFileIsAnErrorNamingIt) {
    try {
        ui->addFont(16.0f, "assets/Missing-Font.ttf");
        FAIL() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("assets/Missing-Font.ttf"), std::string::npos) << e.what();
    }
    EXPECT_THROW(ui->addFont(16.0f, "shaders/imgui_VS_Main.spv"), std::runtime_error);
    EXPECT_THROW(ui->addFont(16.0f, "assets"), std::runtime_error);
}
