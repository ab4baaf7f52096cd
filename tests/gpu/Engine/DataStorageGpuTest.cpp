#include "GpuFixture.h"

#include "Engine/Data/DataStorage.h"
#include "Engine/Frame/EngineContext.h"

#include <stdexcept>

namespace {

class DataStorageGpuTest : public GpuTest {
protected:
    static void fillDevice(DsDeviceMeshSingle* s, uint32_t pattern) {
        runOnce([&](CommandContext* c) { vkCmdFillBuffer(c->commandBuffer, s->buffer, 0, VK_WHOLE_SIZE, pattern); });
    }
};

} // namespace

TEST_F(DataStorageGpuTest, DeviceMeshStorageCopiesExactlyWhatWasWrittenOnce) {
    auto* storage = new DsDeviceMeshSingle(device, 1000); // slot size 1008
    EXPECT_EQ(storage->capacity(), 4032u);
    EXPECT_EQ(storage->descriptorType(), DataStorage::NotBindable);
    fillDevice(storage, 0xABABABABu);
    storage->beginSlot();
    storage->beginSlot(); // slot 1 starts at 1008

    uint8_t first[40];
    for (int i = 0; i < 40; ++i)
        first[i] = uint8_t(i + 1);
    EXPECT_EQ(storage->write(0, first, 40), 1008u);
    // Staging bytes outside the written region must not reach the device.
    std::memset(storage->mapped + 1056, 0x55, 64);
    ASSERT_TRUE(storage->dirty);
    EXPECT_EQ(storage->regions[0].offset, 1008u);
    EXPECT_EQ(storage->regions[0].size, 48u);

    storage->registerFlush();
    runOnce([](CommandContext* c) { uploadPass(c); });
    std::vector<uint8_t> bytes = readBuffer(storage->buffer, 1000, 128);
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(bytes[i], 0xAB) << i; // before the region
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(bytes[8 + i], first[i]) << i;
    for (int i = 56; i < 128; ++i)
        EXPECT_EQ(bytes[i], 0xAB) << i; // after the region
    EXPECT_FALSE(storage->dirty);

    // A flush without a write since the last one copies nothing, even though the staging bytes changed.
    std::memset(storage->mapped + 1008, 0x77, 48);
    storage->registerFlush();
    runOnce([](CommandContext* c) { uploadPass(c); });
    EXPECT_EQ(readBuffer(storage->buffer, 1008, 40), std::vector<uint8_t>(first, first + 40));

    // The next write copies only its own span.
    uint32_t second[4] = {1, 2, 3, 4};
    EXPECT_EQ(storage->write(0, second, 16, true), 1056u);
    storage->registerFlush();
    runOnce([](CommandContext* c) { uploadPass(c); });
    EXPECT_EQ(readBuffer(storage->buffer, 1008, 1)[0], 1u); // not recopied (staging holds 0x77 there)
    std::vector<uint8_t> tail = readBuffer(storage->buffer, 1056, 20);
    EXPECT_EQ(std::memcmp(tail.data(), second, 16), 0);
    EXPECT_EQ(tail[16], 0xAB);
    unregisterResource(device, storage);
}

TEST_F(DataStorageGpuTest, WritesPastTheSlotAreRefusedAndTheCursorKept) {
    auto* storage = new DsDeviceMeshSingle(device, 64);
    storage->beginSlot();
    uint8_t block[48] = {};
    EXPECT_EQ(storage->write(0, block, 48), 0u);
    EXPECT_THROW(storage->write(0, block, 17), std::runtime_error); // 48 + 32 > 64
    EXPECT_EQ(storage->slots.cursor, 48u);
    void* out = nullptr;
    EXPECT_EQ(storage->reserve(0, &out, 16), 48u);
    EXPECT_EQ(out, storage->mapped + 48);
    EXPECT_THROW(storage->reserve(0, &out, 1), std::runtime_error);
    unregisterResource(device, storage);

    uniformStorage->beginSlot();
    const uint32_t start = uniformStorage->slots.cursor;
    std::vector<uint8_t> big(uniformStorage->slots.slotSize + 1);
    EXPECT_THROW(uniformStorage->write(0, big.data(), uint32_t(big.size())), std::runtime_error);
    EXPECT_EQ(uniformStorage->slots.cursor, start);
}

TEST_F(DataStorageGpuTest, GlobalStoragesAreSizedFromTheDeviceLimits) {
    const VkPhysicalDeviceLimits& limits = device->properties.limits;
    const EngineSizes sizes;
    EXPECT_EQ(uniformStorage->slots.slotSize,
              roundUpToMultiple(sizes.uniformStorageBytes, limits.minUniformBufferOffsetAlignment));
    EXPECT_EQ(uniformStorage->slots.alignment, storageAlignment(limits.minUniformBufferOffsetAlignment));
    EXPECT_EQ(uniformStorage->descriptorType(), uint32_t(VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC));
    EXPECT_EQ(storageBufferStorage->slots.slotSize,
              roundUpToMultiple(sizes.storageBufferStorageBytes, limits.minStorageBufferOffsetAlignment));
    EXPECT_EQ(storageBufferStorage->descriptorType(), uint32_t(VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC));
    EXPECT_EQ(meshStorage->slots.slotSize, sizes.meshStorageBytes);
    EXPECT_EQ(uniformStorage->tier, uint32_t(TierMemory));
    EXPECT_TRUE(uniformStorage->deferredRelease);

    // The host storages are written in place: the bytes are in the mapped buffer at the returned offset.
    uniformStorage->beginSlot();
    float block[16];
    for (int i = 0; i < 16; ++i)
        block[i] = float(i) * 0.5f;
    uint32_t a = uniformStorage->write(0, block, 64);
    uint32_t b = uniformStorage->write(a, block, 64);
    EXPECT_EQ(b - a, std::max<uint32_t>(64, uniformStorage->slots.alignment));
    EXPECT_EQ(std::memcmp(uniformStorage->mapped + b, block, 64), 0);
}
