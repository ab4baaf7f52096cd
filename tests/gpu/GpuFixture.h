#pragma once
// Headless lavapipe device shared by the gpu tier: no window, no surface.
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scene/FrameContext.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/VulkanInstance.h"

#include <gtest/gtest.h>

class EngineContext;
class DescriptorPool;
class DsDeviceMeshSingle;
class DsUniformSingle;
class DsStorageSingle;
class Image2D;

#include <cstring>
#include <string>
#include <vector>

class GpuTest : public ::testing::Test {
protected:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

    // The validation messages so far, which then no longer fail the suite: for tests that feed the driver a
    // damaged module on purpose.
    static std::vector<std::string> takeValidationMessages();
    // Records with `record` into a one-shot command buffer, submits it and waits.
    static void runOnce(const std::function<void(CommandContext*)>& record);
    // Copies `size` bytes of a buffer back to the host.
    static std::vector<uint8_t> readBuffer(VkBuffer buffer, VkDeviceSize offset, VkDeviceSize size);
    // Copies one layer/mip of a colour image (in shader-read layout) back to the host; leaves it in that layout.
    static std::vector<uint8_t> readImage(VkImage image, uint32_t width, uint32_t height, uint32_t bytesPerPixel,
                                          uint32_t layer = 0, uint32_t mip = 0,
                                          VkImageLayout layout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL);

    // Moves fresh `color` and (when given) `depth` images into the attachment layouts for beginClearedRendering.
    static void toAttachmentLayouts(CommandContext* c, Image2D* color, Image2D* depth);

    // Begins dynamic rendering of a width x height area into `color` (cleared to `clear`) and, when given, `depth`
    // (in `depthLayout`, cleared to 1, kept for later reads); the images must already be in attachment layouts.
    static void beginClearedRendering(CommandContext* c, VkImageView color, VkImageView depth,
                                      VkImageLayout depthLayout, uint32_t width, uint32_t height,
                                      VkClearColorValue clear = {});

    static VulkanInstance* instance;
    // The program's engine bundle; the pointers below point into it.
    static EngineContext* engine;
    static GraphicsDevice* device;
    // The program's storages and descriptor pool, sized as at engine start.
    // The mesh storage's first slot is begun; the uniform and storage-buffer storages are begun by each test.
    static DsDeviceMeshSingle* meshStorage;
    static DescriptorPool* descriptorPool;
    static DsUniformSingle* uniformStorage;
    static DsStorageSingle* storageBufferStorage;
    // The services a scene gets in the program (no swap chain or render manager: tests that need them add them),
    // with surfaces and atmospheres attached to bodies as in the program.
    static Demo::Services services;
    static Demo::RandomSource random;
    static Demo::BodyVisualBuilder bodyVisuals;
};
