// The flight display drawn offscreen with the real pipelines and shaders: an orbit line through its renderer,
// the prediction line and the burn markers through their pipelines and blocks.
#include "GpuFixture.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/FlightPipelines.h"
#include "Demo/Spacecraft/OrbitRenderer.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/Pipelines/PipelineGraphics.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

using namespace Demo;

namespace {

constexpr uint32_t W = 128, H = 128;

class FlightDrawingGpuTest : public GpuTest {
protected:
    void SetUp() override {
        scene.services.device = device;
        scene.services.descriptorPool = descriptorPool;
        scene.services.meshStorage = meshStorage;
        scene.services.uniformStorage = uniformStorage;
        scene.services.storageBufferStorage = storageBufferStorage;
        scene.services.scene = &scene;
        scene.services.bodyVisuals = &bodyVisuals; // the orbit lines
        color = new Image2D(device, W, H, VkFormat(device->hdrColorFormat),
                            VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                            VK_IMAGE_ASPECT_COLOR_BIT, 1);
        depthFormat = Helper::findDepthFormat(device->physicalDevice);
        depth = new Image2D(device, W, H, depthFormat, VK_IMAGE_USAGE_DEPTH_STENCIL_ATTACHMENT_BIT,
                            VK_IMAGE_ASPECT_DEPTH_BIT, 1);
        cameraBlock = new StorageBinding(uniformStorage, sizeof(CameraBlock));
        cameraSet =
            new DataSet(device, descriptorPool, {{0, DATA_STORAGE, uniformStorage->descriptorType(), cameraBlock}});
    }
    void TearDown() override {
        unregisterResource(device, cameraSet);
        delete cameraBlock;
        device->registry.frameSubmitted();
        device->registry.allFramesCompleted();
    }
    // Looks straight down the world y axis at the origin from `height`.
    void writeCamera(float height) {
        Vec3f eye{0.0f, height, 0.0f}, direction{0.0f, -1.0f, 0.0f};
        Mat4f viewProjection = perspective(60.0f, 1.0f, 0.1f, 200000.0f) * lookAt(eye, {}, viewUpFor(direction));
        CameraBlock block{};
        std::memcpy(block.viewProjection, viewProjection.m, sizeof block.viewProjection);
        block.eye[1] = height;
        block.direction[1] = -1.0f;
        block.nearPlane = 0.1f;
        block.farPlane = 200000.0f;
        cameraBlock->write(&block);
    }
    // Clears both targets, records `draw` inside one rendering, and reads the colour target back.
    std::vector<float> render(const std::function<void(CommandContext*)>& draw) {
        runOnce([&](CommandContext* c) {
            uploadPass(c);
            VkImageSubresourceRange colorRange{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
            VkImageSubresourceRange depthRange{VK_IMAGE_ASPECT_DEPTH_BIT, 0, 1, 0, 1};
            imageBarrier(c, color->image, colorRange, VK_IMAGE_LAYOUT_UNDEFINED,
                         VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT,
                         VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                         VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
            imageBarrier(c, depth->image, depthRange, VK_IMAGE_LAYOUT_UNDEFINED,
                         VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT,
                         VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT,
                         VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
            beginClearedRendering(c, color->imageView.view, depth->imageView.view,
                                  VK_IMAGE_LAYOUT_DEPTH_ATTACHMENT_OPTIMAL, W, H);
            c->renderWidth = W;
            c->renderHeight = H;
            draw(c);
            vkCmdEndRendering(c->commandBuffer);
        });
        std::vector<uint8_t> bytes = readImage(color->image, W, H, 16, 0, 0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL);
        std::vector<float> pixels(W * H * 4);
        std::memcpy(pixels.data(), bytes.data(), bytes.size());
        return pixels;
    }

    Scene scene;
    Image2D* color = nullptr;
    Image2D* depth = nullptr;
    VkFormat depthFormat = VK_FORMAT_UNDEFINED;
    StorageBinding* cameraBlock = nullptr;
    DataSet* cameraSet = nullptr;
};

} // namespace

// A planet's orbit line, shown by O, drawn as a thin ring of the orbit's colour around the star.
TEST_F(FlightDrawingGpuTest, OrbitLineDrawsTheOrbitInItsColour) {
    AstroSystem system("AstroSystem", &scene);
    AstroObject star("Star", &scene), planet("Planet", &scene);
    star.radius = 100.0f;
    star.system = &system;
    planet.Create(); // object blocks and the orbit renderer with its storage
    planet.parent = &star;
    planet.system = &system;
    planet.orbit.a = 2500.0;
    planet.orbit.e = 0.2;
    planet.orbit.color[0] = 0.2f, planet.orbit.color[1] = 0.8f, planet.orbit.color[2] = 0.4f;
    OrbitRenderer* line = planet.orbitRenderer;
    ASSERT_NE(line, nullptr);
    ASSERT_NE(line->line, nullptr);

    uniformStorage->beginSlot();
    InputState input;
    input.current[VirtualKey::letter('O')] = 0x80;
    FrameInput frameInput;
    frameInput.input = &input;
    FrameContext frame{scene.services, frameInput};
    planet.Update(frame);         // O: visible, the colour block written
    planet.UpdateUniforms(frame); // the line rebuilt into the next region, the model block
    writeCamera(6000.0f);
    ASSERT_TRUE(line->visible);
    std::vector<float> pixels = render([&](CommandContext* c) { line->record(c, cameraSet); });

    int lit = 0, minX = W, maxX = 0;
    for (uint32_t y = 0; y < H; ++y)
        for (uint32_t x = 0; x < W; ++x) {
            const float* p = &pixels[(y * W + x) * 4];
            if (p[0] == 0.0f && p[1] == 0.0f && p[2] == 0.0f)
                continue;
            ++lit;
            minX = std::min<int>(minX, int(x));
            maxX = std::max<int>(maxX, int(x));
            EXPECT_NEAR(p[0], 0.2f, 1e-3) << x << " " << y; // the orbit colour as it is (under the bloom)
            EXPECT_NEAR(p[1], 0.8f, 1e-3) << x << " " << y;
            EXPECT_NEAR(p[2], 0.4f, 1e-3) << x << " " << y;
        }
    // An ellipse of a = 2500 seen from 6000 above spans about 2 · 2500 / (6000 · tan 30°) of the view.
    EXPECT_GT(lit, 150);
    EXPECT_GT(maxX - minX, int(0.6 * W));
    const float* centre = &pixels[((H / 2) * W + W / 2) * 4];
    EXPECT_EQ(centre[1], 0.0f); // a ring, not a disc

    // Hidden again by O: nothing is drawn.
    uint8_t none[256] = {};
    input.advanceKeys(none);
    input.advanceKeys(none);
    input.current[VirtualKey::letter('O')] = 0x80;
    planet.Update(frame);
    EXPECT_FALSE(line->visible);
    uniformStorage->beginSlot();
    planet.UpdateUniforms(frame);
    writeCamera(6000.0f);
    pixels = render([&](CommandContext* c) { line->record(c, cameraSet); });
    for (size_t k = 0; k < pixels.size(); k += 4)
        ASSERT_EQ(pixels[k + 1], 0.0f);
}

// A line never shown before, shown by the settings window's "Visible" after this frame's updates ran with it
// hidden: drawn in its colour in the same frame.
TEST_F(FlightDrawingGpuTest, OrbitLineShownAfterTheUpdatesDrawsInTheSameFrame) {
    AstroSystem system("AstroSystem", &scene);
    AstroObject star("Star", &scene), planet("Planet", &scene);
    star.radius = 100.0f;
    star.system = &system;
    planet.Create();
    planet.parent = &star;
    planet.system = &system;
    planet.orbit.a = 2500.0;
    planet.orbit.color[0] = 0.2f, planet.orbit.color[1] = 0.8f, planet.orbit.color[2] = 0.4f;
    OrbitRenderer* line = planet.orbitRenderer;
    ASSERT_NE(line, nullptr);

    uniformStorage->beginSlot();
    InputState input;
    FrameInput frameInput;
    frameInput.input = &input;
    FrameContext frame{scene.services, frameInput};
    planet.Update(frame);
    planet.UpdateUniforms(frame);
    writeCamera(6000.0f);
    ASSERT_FALSE(line->visible);
    line->visible = true;
    std::vector<float> pixels = render([&](CommandContext* c) { line->record(c, cameraSet); });
    int shown = 0;
    for (size_t k = 0; k < pixels.size(); k += 4)
        shown += std::abs(pixels[k + 1] - 0.8f) < 1e-3f;
    EXPECT_GT(shown, 150);
}

// The prediction line's segments and the burn markers through their pipelines and blocks: a marker keeps its size
// on screen at any distance, and the line shows through it.
TEST_F(FlightDrawingGpuTest, PredictionLineAndMarkersDraw) {
    PipelineGraphics* linePipeline = predictionLinePipeline(device);
    PipelineGraphics* markerPipeline = maneuverMarkerPipeline(device);
    ASSERT_NE(linePipeline->pipeline, VkPipeline(VK_NULL_HANDLE));
    ASSERT_NE(markerPipeline->pipeline, VkPipeline(VK_NULL_HANDLE));

    auto* lineStorage = new DsDeviceMeshSingle(device, 100000, "test line storage");
    auto* line = new Line(device, lineStorage);
    // Two segments along x at z = −1500 and z = +1500; the lines do not join.
    const float points[] = {-2000.0f, 0.0f,     -1500.0f, 0.0f,    0.0f,    -1500.0f, 2000.0f, 0.0f,
                            -1500.0f, -2000.0f, 0.0f,     1500.0f, 2000.0f, 0.0f,     1500.0f};
    lineStorage->beginSlot();
    line->setPoints(points, 5);
    lineStorage->registerFlush();
    StorageBinding model(uniformStorage, 64);
    auto* lineSet = new DataSet(device, descriptorPool, {{1, DATA_STORAGE, uniformStorage->descriptorType(), &model}});
    StorageBinding markerBlock(uniformStorage, sizeof(MarkerInstance) * MaxMarkers);
    auto* markerSet =
        new DataSet(device, descriptorPool, {{1, DATA_STORAGE, uniformStorage->descriptorType(), &markerBlock}});
    const float radius = 5.0f; // pixels

    // A green start marker and a red end marker at ±x, seen from `height`, over the lines or over nothing.
    auto draw = [&](float x, float z, float height, bool lines) {
        MarkerInstance markers[MaxMarkers] = {};
        const float start[3] = {-x, 0.0f, -z}, end[3] = {x, 0.0f, z};
        markers[0] = makeMarker(start, true, radius, W, H);
        markers[1] = makeMarker(end, false, radius, W, H);
        uniformStorage->beginSlot();
        const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
        model.write(identity);
        markerBlock.write(markers);
        writeCamera(height);
        return render([&](CommandContext* c) {
            if (lines) {
                bindFlightPipeline(c, linePipeline, cameraSet, lineSet);
                line->bind(c, *linePipeline);
                vkCmdDraw(c->commandBuffer, 3, 1, 0, 0);
                vkCmdDraw(c->commandBuffer, 2, 1, 3, 0);
            }
            bindFlightPipeline(c, markerPipeline, cameraSet, markerSet);
            vkCmdDraw(c->commandBuffer, 6, 2, 0, 0);
        });
    };
    struct Footprint {
        int green = 0, red = 0;
        float brightest = 0.0f, alpha = 0.0f;
    };
    auto footprint = [](const std::vector<float>& pixels) {
        Footprint f;
        for (size_t k = 0; k < pixels.size(); k += 4) {
            float r = pixels[k], g = pixels[k + 1];
            f.green += g > 0.1f && r < 0.5f * g;
            f.red += r > 0.1f && g < 0.5f * r;
            f.brightest = std::max({f.brightest, r, g});
            f.alpha = std::max(f.alpha, std::abs(pixels[k + 3]));
        }
        return f;
    };

    // Over nothing, near and far: the same few pixels, translucent, and the alpha (the eye distance of what lies
    // behind) left as it was.
    const float disc = 3.14159f * radius * radius;
    Footprint near = footprint(draw(150.0f, 0.0f, 600.0f, false));
    Footprint far = footprint(draw(1500.0f, 0.0f, 6000.0f, false));
    for (const Footprint& f : {near, far}) {
        EXPECT_GT(f.green, int(0.6f * disc));
        EXPECT_LT(f.green, int(1.4f * disc));
        EXPECT_GT(f.red, int(0.6f * disc));
        EXPECT_LT(f.red, int(1.4f * disc));
        EXPECT_LT(f.brightest, 0.6f); // at most about half covered
        EXPECT_EQ(f.alpha, 0.0f);
    }
    EXPECT_NEAR(near.red, far.red, 0.2 * disc);

    // On the lines: both lines across the view, and under each marker the line still shows.
    std::vector<float> pixels = draw(1500.0f, 1500.0f, 6000.0f, true);
    int cyan = 0, redOverLine = 0;
    for (size_t k = 0; k < pixels.size(); k += 4) {
        float r = pixels[k], g = pixels[k + 1], b = pixels[k + 2];
        cyan += b > 1.0f && g > 1.0f && r < 0.6f;
        redOverLine += r > 0.5f && b > 0.5f && g < b;
    }
    EXPECT_GT(cyan, 2 * 60);
    EXPECT_GT(redOverLine, 2);

    unregisterResource(device, lineSet);
    unregisterResource(device, markerSet);
    unregisterResource(device, line);
}
