// One frame of the program's whole scene (camera, sky box, the solar system with its surfaces and atmospheres,
// the spacecraft) recorded offscreen through the render manager.
#include "GpuFixture.h"

#include "Demo/Astro/AstroSystem.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/Scene.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Frame/EngineContext.h"
#include "Engine/Images/Image.h"
#include "Engine/SwapChain/SwapChain.h"

#include <iostream>

// A device whose minUniformBufferOffsetAlignment is 256 (the largest Vulkan allows) pads every uniform record to
// 256 bytes; the program's uniform slot must hold such a frame.
TEST_F(GpuTest, FullSceneFrameFitsTheUniformSlotWithRecordsAlignedTo256) {
    auto* uniforms = new DsUniformSingle(device, EngineSizes{}.uniformStorageBytes, 256);
    ASSERT_EQ(uniforms->slots.alignment, 256u);

    const uint32_t width = 320, height = 180;
    auto* swapChain = new SwapChain(nullptr, device, VK_PRESENT_MODE_FIFO_KHR);
    swapChain->width = width;
    swapChain->height = height;
    swapChain->surfaceFormat = {VK_FORMAT_R8G8B8A8_UNORM, VK_COLOR_SPACE_SRGB_NONLINEAR_KHR};
    auto* output = new Image2D(device, width, height, VK_FORMAT_R8G8B8A8_UNORM, VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT,
                               VK_IMAGE_ASPECT_COLOR_BIT, 1);
    swapChain->images = {output};
    swapChain->imageIndex = 0;

    auto* scene = new Demo::Scene();
    scene->services = services;
    scene->services.swapChain = swapChain;
    scene->services.uniformStorage = uniforms;
    scene->services.scene = scene;
    auto* manager = new Demo::RenderManager(scene->services);
    scene->services.renderManager = manager;
    Demo::AstroSystem* system = Demo::buildScene(*scene, *manager).system;
    meshStorage->registerFlush();
    scene->start();

    Demo::FrameInput input;
    input.frameTime = 16.0f;
    input.windowWidth = width;
    input.windowHeight = height;
    uint32_t largestFrame = 0;
    for (int k = 0; k < 2; ++k) {
        uniforms->beginSlot();
        storageBufferStorage->beginSlot();
        Demo::FrameContext frame{scene->services, input};
        ASSERT_NO_THROW({
            scene->update(frame);
            scene->updateUniforms(frame);
            manager->prepare(frame);
            runOnce([&](CommandContext* c) {
                uploadPass(c);
                VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
                imageBarrier(c, output->image, range, VK_IMAGE_LAYOUT_UNDEFINED,
                             VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT,
                             VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                             VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
                manager->record(frame, c);
            });
        });
        uint32_t written = uniforms->slots.cursor - uniforms->slots.currentSlotStart();
        largestFrame = std::max(largestFrame, written);
    }
    std::cout << "uniform bytes of the largest frame (records aligned to 256): " << largestFrame << " of a "
              << uniforms->slots.slotSize << "-byte slot" << std::endl;
    EXPECT_GT(largestFrame, 0u);

    system->shutdownWorker();
    vkDeviceWaitIdle(device->device);
    delete scene;
    delete manager;
    delete swapChain;
    unregisterResource(device, output);
    unregisterResource(device, uniforms);
    device->registry.allFramesCompleted();
}
