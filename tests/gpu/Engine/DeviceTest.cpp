#include "GpuFixture.h"

#include "Engine/Images/Image.h"

namespace {
class DeviceTest : public GpuTest {};

struct CountingUpload : UploadSource {
    int recorded = 0;
    void recordUpload(CommandContext*) override { ++recorded; }
};
} // namespace

TEST_F(DeviceTest, CreatedOnLavapipeWithTheRendererFeatures) {
    ASSERT_NE(device, nullptr);
    EXPECT_NE(device->queue, VK_NULL_HANDLE);
    EXPECT_GE(device->properties.apiVersion, VK_API_VERSION_1_3);
    VkPhysicalDeviceVulkan13Features f13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    VkPhysicalDeviceFeatures2 f{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2};
    f.pNext = &f13;
    vkGetPhysicalDeviceFeatures2(device->physicalDevice, &f);
    EXPECT_TRUE(f13.dynamicRendering);
    EXPECT_TRUE(f13.synchronization2);
    EXPECT_TRUE(f.features.tessellationShader);
}

TEST_F(DeviceTest, ThreeFramesInFlightUseExactlyThreeCommandBuffers) {
    device->frameCount = 3;
    device->frameIndex = 0;
    for (int frame = 0; frame < 50; ++frame) {
        device->commandPools->resetSlot(device->frameIndex);
        CommandContext* c = device->commandPools->acquireContext();
        c->free = 0;
        device->frameIndex = (device->frameIndex + 1) % device->frameCount;
    }
    EXPECT_EQ(device->commandPools->pools.size(), 3u);
    EXPECT_EQ(device->commandPools->contextCount(), 3u);
    // Two contexts at once in one slot grow that slot only.
    device->commandPools->resetSlot(device->frameIndex);
    device->commandPools->acquireContext()->free = 0;
    device->commandPools->acquireContext()->free = 0;
    EXPECT_EQ(device->commandPools->contextCount(), 4u);
}

TEST_F(DeviceTest, UploadPassRecordsOnlyWhenSomethingIsPending) {
    bool recorded = true;
    runOnce([&](CommandContext* c) { recorded = uploadPass(c); });
    EXPECT_FALSE(recorded);

    CountingUpload mesh, buffer;
    device->queueMeshFlush(&mesh);
    device->pendingBufferCopies.push_back(&buffer);
    runOnce([&](CommandContext* c) { recorded = uploadPass(c); });
    EXPECT_TRUE(recorded);
    EXPECT_EQ(mesh.recorded, 1);
    EXPECT_EQ(buffer.recorded, 1);
    EXPECT_TRUE(device->pendingMeshFlushes.empty());
    EXPECT_TRUE(device->pendingBufferCopies.empty());
}

TEST_F(DeviceTest, ImageUploadLandsTheStagedTexels) {
    auto* image = new Image2D(device, 4, 2, VK_FORMAT_R8G8B8A8_UNORM,
                              VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_TRANSFER_SRC_BIT |
                                  VK_IMAGE_USAGE_SAMPLED_BIT,
                              VK_IMAGE_ASPECT_COLOR_BIT, 1);
    std::vector<uint8_t> texels(4 * 2 * 4);
    for (size_t i = 0; i < texels.size(); ++i)
        texels[i] = uint8_t(i * 7);
    image->addStagingUpload(texels.data(), texels.size(), 4, 2, 0, 1, 0);
    device->pendingImageUploads.push_back(image);
    runOnce([&](CommandContext* c) { uploadPass(c); });
    EXPECT_EQ(readImage(image->image, 4, 2, 4), texels);
    unregisterResource(device, image);
    device->registry.allFramesCompleted();
}

TEST_F(DeviceTest, TooManyPendingSetsOrOffsetsAreRefused) {
    CommandContext c;
    uint32_t offsets[10] = {};
    for (uint32_t i = 0; i < CommandContext::MaxPendingSets; ++i)
        c.addPendingSet(VK_NULL_HANDLE, offsets, 10);
    EXPECT_EQ(c.pendingOffsetCount, 200u);
    EXPECT_THROW(c.addPendingSet(VK_NULL_HANDLE, nullptr, 0), std::runtime_error);
    CommandContext d;
    d.addPendingSet(VK_NULL_HANDLE, offsets, 10);
    uint32_t many[200] = {};
    EXPECT_THROW(d.addPendingSet(VK_NULL_HANDLE, many, 191), std::runtime_error);
    EXPECT_EQ(d.pendingSetCount, 1u); // a refused bind leaves the arrays as they were
}
