#include "GpuFixture.h"

#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Helper/Helper.h"

#include <stdexcept>

namespace {
class StructuredBufferGpuTest : public GpuTest {};
} // namespace

TEST_F(StructuredBufferGpuTest, TwoCopyRegionsLandTheirBytes) {
    auto* target = new StructuredBuffer(device, 64, 4); // 256 bytes
    EXPECT_EQ(target->size, 256u);
    EXPECT_EQ(target->usage, StructuredBuffer::BaseUsage);
    runOnce([&](CommandContext* c) { vkCmdFillBuffer(c->commandBuffer, target->buffer, 0, VK_WHOLE_SIZE, 0); });

    auto [source, memory] =
        Helper::createBuffer(device->physicalDevice, device->device, 256, VK_BUFFER_USAGE_TRANSFER_SRC_BIT,
                             VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    uint8_t* mapped = nullptr;
    vkMapMemory(device->device, memory, 0, 256, 0, reinterpret_cast<void**>(&mapped));
    for (int i = 0; i < 256; ++i)
        mapped[i] = uint8_t(255 - i);

    target->addCopyRegion({source, 0, 16, 32});
    target->addCopyRegion({source, 100, 128, 16});
    ASSERT_EQ(device->pendingBufferCopies.size(), 1u); // queued once for both regions
    EXPECT_THROW(target->addCopyRegion({source, 0, 250, 8}), std::runtime_error);
    runOnce([](CommandContext* c) { uploadPass(c); });
    EXPECT_TRUE(target->copyRegions.empty());

    std::vector<uint8_t> bytes = readBuffer(target->buffer, 0, 256);
    for (int i = 0; i < 256; ++i) {
        uint8_t want = 0;
        if (i >= 16 && i < 48)
            want = uint8_t(255 - (i - 16));
        else if (i >= 128 && i < 144)
            want = uint8_t(255 - (100 + i - 128));
        EXPECT_EQ(bytes[i], want) << "byte " << i;
    }

    // A buffer released while still queued leaves the device's list.
    target->addCopyRegion({source, 0, 0, 4});
    unregisterResource(device, target);
    device->registry.frameSubmitted();
    device->registry.allFramesCompleted();
    EXPECT_TRUE(device->pendingBufferCopies.empty());

    vkUnmapMemory(device->device, memory);
    vkDestroyBuffer(device->device, source, nullptr);
    vkFreeMemory(device->device, memory, nullptr);
}
