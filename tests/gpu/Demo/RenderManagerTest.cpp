#include "GpuFixture.h"

#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/SceneComponent.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Scene/SceneObject.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Images/Image.h"
#include "Engine/Meshes/Mesh.h"
#include "Engine/SwapChain/SwapChain.h"

#include <cmath>

namespace {

// Counts the hooks the render manager calls and records nothing.
struct HookCounter : Demo::SceneObject {
    using SceneObject::SceneObject;
    void RecordCompute(const Demo::FrameContext&, CommandContext*) override { ++compute; }
    void RecordMain(const Demo::FrameContext&, CommandContext*) override {
        ++main;
        order.push_back("main");
    }
    void RecordLayer(const Demo::FrameContext&, CommandContext*, uint32_t layer) override { layers.push_back(layer); }
    int compute = 0, main = 0;
    std::vector<uint32_t> layers;
    std::vector<std::string> order;
};

// Logs the main pass's later hooks into its owner's order.
struct OrderLog : Demo::SceneComponent {
    explicit OrderLog(HookCounter* c) : SceneComponent(c), counter(c) {}
    void RecordBackground(const Demo::FrameContext&, CommandContext*) override { counter->order.push_back("backdrop"); }
    void RecordOverlay(const Demo::FrameContext&, CommandContext*) override { counter->order.push_back("overlay"); }
    HookCounter* counter;
};

class RenderManagerTest : public GpuTest {
protected:
    void SetUp() override {
        // A stand-in swap chain: one offscreen image, no surface.
        swapChain = new SwapChain(nullptr, device, VK_PRESENT_MODE_FIFO_KHR);
        swapChain->width = 64;
        swapChain->height = 32;
        swapChain->surfaceFormat = {VK_FORMAT_R8G8B8A8_UNORM, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR};
        output = new Image2D(device, 64, 32, VK_FORMAT_R8G8B8A8_UNORM,
                             VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT,
                             VK_IMAGE_ASPECT_COLOR_BIT, 1);
        swapChain->images = {output};
        swapChain->imageIndex = 0;
        scene = new Demo::Scene();
        scene->services = services;
        scene->services.swapChain = swapChain;
        scene->services.scene = scene;
        counter = new HookCounter("Counter", scene);
        counter->addComponent(new OrderLog(counter));
        scene->add(counter);
    }
    void TearDown() override {
        delete manager;
        delete scene;
        delete swapChain;
        unregisterResource(device, output);
        vkDeviceWaitIdle(device->device);
        device->registry.allFramesCompleted();
    }

    SwapChain* swapChain = nullptr;
    Image2D* output = nullptr;
    Demo::Scene* scene = nullptr;
    HookCounter* counter = nullptr;
    Demo::RenderManager* manager = nullptr;
    Demo::FrameInput input;
    Demo::FrameContext frame() { return {scene->services, input}; }
    // One frame of the pass list into the stand-in swap chain image.
    void recordFrame() {
        runOnce([&](CommandContext* c) {
            VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
            imageBarrier(c, output->image, range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                         VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT, VK_ACCESS_2_NONE,
                         VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
            manager->record(frame(), c);
        });
    }
};

} // namespace

TEST_F(RenderManagerTest, RecordsAFrameOffscreenAndResolvesIt) {
    manager = new Demo::RenderManager(scene->services);
    uniformStorage->beginSlot();
    manager->prepare(frame());
    recordFrame();
    EXPECT_EQ(counter->compute, 1);
    EXPECT_EQ(counter->main, 1);
    // The backdrop fills what the objects left; translucent lines and markers blend over both.
    EXPECT_EQ(counter->order, (std::vector<std::string>{"main", "backdrop", "overlay"}));
    EXPECT_EQ(counter->layers, std::vector<uint32_t>{0}); // no atmosphere: one layer
    // Without a backdrop the colour target is cleared: an empty scene resolves to black through the tone map, alpha 1.
    std::vector<uint8_t> pixels = readImage(output->image, 64, 32, 4, 0, 0, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL);
    for (size_t i = 0; i < pixels.size(); i += 4) {
        ASSERT_EQ(pixels[i], 0);
        ASSERT_EQ(pixels[i + 3], 255);
    }
}

TEST_F(RenderManagerTest, TargetRebuildRebuildsThePostProcessSetOnceAtItsNextBind) {
    manager = new Demo::RenderManager(scene->services);
    uint32_t builds = manager->postProcessDataSet->buildCount;
    swapChain->width = 80;
    swapChain->height = 40;
    unregisterResource(device, output);
    output = new Image2D(device, 80, 40, VK_FORMAT_R8G8B8A8_UNORM, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                         VK_IMAGE_ASPECT_COLOR_BIT, 1);
    swapChain->images = {output};
    for (std::function<void()>* listener : swapChain->recreateListeners)
        (*listener)();
    EXPECT_EQ(manager->colorTarget->width, 80u);
    EXPECT_EQ(manager->targetBuilds, 2u);
    EXPECT_TRUE(manager->postProcessDataSet->dirty);
    uniformStorage->beginSlot();
    manager->prepare(frame());
    for (int k = 0; k < 2; ++k)
        recordFrame();
    EXPECT_EQ(manager->postProcessDataSet->buildCount, builds + 1);
}

TEST_F(RenderManagerTest, MeshUploadReachesTheDeviceStorage) {
    auto* ico = new IcoSphere(device, meshStorage, 1, 2.0f);
    meshStorage->registerFlush();
    runOnce([&](CommandContext* c) { uploadPass(c); });
    const VertexStream& positions = ico->vertexBuffer->streams[0];
    ASSERT_EQ(positions.vertexCount, 42u);
    std::vector<uint8_t> bytes = readBuffer(meshStorage->buffer, positions.offset, positions.size);
    const float* p = reinterpret_cast<const float*>(bytes.data());
    for (uint32_t v = 0; v < 42; ++v)
        ASSERT_NEAR(std::sqrt(p[v * 3] * p[v * 3] + p[v * 3 + 1] * p[v * 3 + 1] + p[v * 3 + 2] * p[v * 3 + 2]), 2.0f,
                    1e-5f);
    EXPECT_EQ(ico->indexBuffer->indexCount, 240u);
    unregisterResource(device, ico);
}

// A feature adds its pass to the list instead of editing the walk: frame passes where inserted, layer passes
// with the layer group; unknown anchors and duplicate names are refused.
TEST_F(RenderManagerTest, RegisteredPassesRunInListOrder) {
    manager = new Demo::RenderManager(scene->services);
    std::vector<std::string> log;
    manager->addPass({"glow", Demo::PassScope::Frame,
                      [&](const Demo::FrameContext&, CommandContext*, uint32_t) { log.push_back("glow"); }},
                     Demo::PassName::PostProcess);
    manager->addPass({"particles", Demo::PassScope::Layer,
                      [&](const Demo::FrameContext&, CommandContext*, uint32_t layer) {
                          log.push_back("particles" + std::to_string(layer));
                      }},
                     Demo::PassName::PostProcess);
    manager->addPass({"ui", Demo::PassScope::Frame,
                      [&](const Demo::FrameContext&, CommandContext*, uint32_t) { log.push_back("ui"); }});
    EXPECT_THROW(manager->addPass({"ui", Demo::PassScope::Frame, {}}), std::runtime_error);
    EXPECT_THROW(manager->addPass({"late", Demo::PassScope::Frame, {}}, "noSuchPass"), std::runtime_error);
    EXPECT_EQ(manager->passNames(),
              (std::vector<std::string>{"compute", "atmosphereTables", "main", "atmosphere", "layer", "bloom", "glow",
                                        "particles", "postProcess", "ui"}));
    uniformStorage->beginSlot();
    manager->prepare(frame());
    recordFrame();
    EXPECT_EQ(log, (std::vector<std::string>{"glow", "particles0", "ui"}));
    EXPECT_EQ(counter->layers, std::vector<uint32_t>{0});
    // Every pass was timed on the CPU; lavapipe has timestamps, so GPU times exist once a frame was read back.
    std::vector<Demo::PassTiming> timings = manager->profiler.timings(manager->passNames());
    ASSERT_EQ(timings.size(), 10u);
    EXPECT_EQ(timings[6].name, "glow");
    EXPECT_TRUE(manager->profiler.gpuTimes());
}
