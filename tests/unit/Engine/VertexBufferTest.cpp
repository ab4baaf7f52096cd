#include "Engine/Meshes/VertexBuffer.h"
#include "Engine/Meshes/MeshBinding.h"
#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Buffers/VertexData.h"
#include "Engine/Data/DataStorage.h"

#include <gtest/gtest.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace {

// A storage in plain memory with the mesh storages' slot rules, for code that only appends to storages.
class MemoryStorage : public DataStorage {
public:
    explicit MemoryStorage(uint32_t slotSize) : slots(slotSize, 16), bytes(slotSize * 4) {}
    uint32_t write(uint32_t, const void* data, uint32_t size, bool noAlign) override {
        uint32_t offset = slots.allocate(size, noAlign);
        if (offset == StorageSlots::Refused)
            reportStorageOverrun(name, size, slots);
        std::memcpy(bytes.data() + offset, data, size);
        return offset;
    }
    uint32_t reserve(uint32_t, void** out, uint32_t size) override {
        uint32_t offset = slots.allocate(size, false);
        *out = bytes.data() + offset;
        return offset;
    }
    uint32_t capacity() const override { return slots.capacity(); }
    uint32_t descriptorType() const override { return NotBindable; }
    void beginSlot() override { slots.begin(); }

    StorageSlots slots;
    std::vector<uint8_t> bytes;
};

struct Vec3 {
    float x, y, z;
};
struct Vec2 {
    float u, v;
};

} // namespace

TEST(VertexData, StreamsFollowEachOtherInAttributeOrder) {
    VertexData data(standardLayout, 24);
    EXPECT_EQ(data.bytes.size(), 768u);
    EXPECT_EQ(data.streamStart[0], 0u);
    EXPECT_EQ(data.streamStart[1], 288u);
    EXPECT_EQ(data.streamStart[2], 576u);
    data.set(2, 5, Vec2{0.25f, 0.75f});
    float uv[2];
    std::memcpy(uv, data.bytes.data() + 576 + 5 * 8, 8);
    EXPECT_EQ(uv[0], 0.25f);
    EXPECT_EQ(uv[1], 0.75f);
    EXPECT_THROW(data.set(2, 5, Vec3{}), std::out_of_range); // wrong element size
    EXPECT_THROW(data.set(0, 24, Vec3{}), std::out_of_range);

    VertexData tangent(tangentLayout, 10);
    EXPECT_EQ(tangent.bytes.size(), 440u);
    EXPECT_EQ(tangent.streamStart[3], 360u);
    EXPECT_THROW(VertexData(tangentLayout, 0x10000000u), std::length_error);
}

TEST(VertexBuffer, UploadMatchesStreamsByMeaning) {
    MemoryStorage storage(4096);
    VertexData data(standardLayout, 3);
    for (uint32_t v = 0; v < 3; ++v) {
        data.set(0, v, Vec3{float(v), 1.0f, 2.0f});
        data.set(1, v, Vec3{0.0f, 0.0f, 1.0f});
        data.set(2, v, Vec2{0.5f, float(v)});
    }
    // The buffer's layout has no normal and puts the texture coordinate first.
    const VertexLayout texThenPos{{0, VK_FORMAT_R32G32_SFLOAT, 8, TEXCOORD},
                                  {1, VK_FORMAT_R32G32B32_SFLOAT, 12, POSITION}};
    VertexBuffer buffer(nullptr, &storage, texThenPos);
    buffer.upload(data);
    EXPECT_EQ(buffer.vertexCount, 3u);
    // Position (attribute 0 of the data) goes first into stream 1, then the texture coordinate into stream 0.
    EXPECT_EQ(buffer.streams[1].offset, 0u);
    EXPECT_EQ(buffer.streams[1].size, 36u);
    EXPECT_EQ(buffer.streams[0].offset, 48u); // 36 padded to 16
    EXPECT_EQ(buffer.streams[0].size, 24u);
    EXPECT_EQ(buffer.streams[2].offset, VertexStream::NotUploaded);
    float x2;
    std::memcpy(&x2, storage.bytes.data() + 2 * 12, 4);
    EXPECT_EQ(x2, 2.0f);

    // A re-upload appends new spans.
    buffer.upload(data);
    EXPECT_EQ(buffer.streams[1].offset, 80u);
}

TEST(VertexBuffer, PipelineBindingsTakeTheStreamOfTheSameMeaning) {
    MemoryStorage storage(4096);
    VertexData data(standardLayout, 4);
    VertexBuffer buffer(nullptr, &storage, standardLayout);
    buffer.upload(data); // position at 0, normal at 48, texcoord at 96
    VkDeviceSize offsets[VertexLayout::MaxAttributes];
    ASSERT_EQ(vertexBindingOffsets(positionLayout, buffer, offsets), 1u);
    EXPECT_EQ(offsets[0], 0u);
    const VertexLayout texNormal{{0, VK_FORMAT_R32G32_SFLOAT, 8, TEXCOORD},
                                 {1, VK_FORMAT_R32G32B32_SFLOAT, 12, NORMAL}};
    ASSERT_EQ(vertexBindingOffsets(texNormal, buffer, offsets), 2u);
    EXPECT_EQ(offsets[0], 96u);
    EXPECT_EQ(offsets[1], 48u);
    EXPECT_EQ(vertexBindingOffsets(emptyLayout, buffer, offsets), 0u);
    // A pipeline reading a stream the mesh lacks is an error, not an undefined offset.
    EXPECT_THROW(vertexBindingOffsets(tangentLayout, buffer, offsets), std::runtime_error);
}

TEST(IndexBuffer, SizesAreFourBytesPerIndex) {
    MemoryStorage storage(4096);
    IndexBuffer indices(nullptr, &storage);
    std::vector<uint32_t> list(36);
    for (uint32_t i = 0; i < 36; ++i)
        list[i] = i * 3;
    indices.set(list);
    EXPECT_EQ(indices.indexCount, 36u);
    EXPECT_EQ(indices.size, 144u);
    EXPECT_EQ(indices.offset, 0u);
    uint32_t last;
    std::memcpy(&last, storage.bytes.data() + 35 * 4, 4);
    EXPECT_EQ(last, 105u);
    // A storage that is full refuses instead of writing past its slot.
    std::vector<uint32_t> huge(2000);
    EXPECT_THROW(indices.set(huge), std::runtime_error);
}

TEST(StructuredBuffer, SizeAndUsage) {
    EXPECT_EQ(StructuredBuffer::totalSize(160, 4), 640u);
    EXPECT_EQ(uint32_t(StructuredBuffer::usageFor(VK_BUFFER_USAGE_INDIRECT_BUFFER_BIT)), 0x123u);
    EXPECT_EQ(uint32_t(StructuredBuffer::usageFor(0)), 0x23u);
    EXPECT_THROW(StructuredBuffer::totalSize(0x10000000u, 48), std::runtime_error);
    EXPECT_THROW(StructuredBuffer::totalSize(0, 4), std::runtime_error);
}
