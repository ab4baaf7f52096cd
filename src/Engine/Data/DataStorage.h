#pragma once
// Persistently mapped ring buffers of four slots (one per frame in flight) that per-frame data is appended to.
// A writer gets back the byte offset of its span, which it binds as a dynamic offset.
#include "Engine/Data/StorageSlots.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <cstring>
#include <vector>

// Throws std::runtime_error naming the storage, the span and the slot it would overrun.
[[noreturn]] void reportStorageOverrun(const char* storageName, uint32_t size, const StorageSlots& slots);

class DataStorage : public GraphicsResource {
public:
    static constexpr uint32_t NotBindable = 0xFFFFFFFFu;

    ~DataStorage() override; // destroys the main buffer and frees its memory

    // Appends `size` bytes and returns their offset. `previousOffset` (the writer's last offset) is not reused:
    // every write of a frame gets a fresh span. Throws instead of writing past the current slot.
    virtual uint32_t write(uint32_t previousOffset, const void* data, uint32_t size, bool noAlign = false) = 0;
    // Like write, always aligned, but hands back the mapped address of the span for the caller to fill.
    virtual uint32_t reserve(uint32_t previousOffset, void** out, uint32_t size) = 0;
    // Whole buffer size in bytes (four slots).
    virtual uint32_t capacity() const = 0;
    // VkDescriptorType the storage is bound as, NotBindable for mesh storages.
    virtual uint32_t descriptorType() const = 0;
    // Opens the next of the four slots; the owner calls it once per frame (or before a batch of uploads).
    virtual void beginSlot() = 0;

    GraphicsDevice* owner = nullptr;
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    const char* name = "data storage"; // for error messages

protected:
    DataStorage() = default;
};

// Host-visible, host-coherent storage written in place (uniform, storage-buffer and UI geometry storages).
class DataStorageHost : public DataStorage {
public:
    uint32_t write(uint32_t, const void* data, uint32_t size, bool noAlign = false) final {
        uint32_t offset = slots.allocate(size, noAlign);
        if (offset == StorageSlots::Refused)
            reportStorageOverrun(name, size, slots);
        std::memcpy(mapped + offset, data, size);
        return offset;
    }
    uint32_t reserve(uint32_t, void** out, uint32_t size) final {
        uint32_t offset = slots.allocate(size, false);
        if (offset == StorageSlots::Refused)
            reportStorageOverrun(name, size, slots);
        *out = mapped + offset;
        return offset;
    }
    uint32_t capacity() const final { return slots.capacity(); }
    uint32_t descriptorType() const final { return type; }
    void beginSlot() final { slots.begin(); }

    StorageSlots slots;
    uint8_t* mapped = nullptr;

protected:
    // Creates the four-slot buffer with host-visible, host-coherent memory, maps it and registers the storage.
    DataStorageHost(GraphicsDevice* device, uint32_t slotSize, uint32_t alignment, VkBufferUsageFlags usage,
                    uint32_t descriptorType, const char* name);

private:
    uint32_t type;
};

// The global uniform storage: bound as dynamic uniform buffers (UBD).
class DsUniformSingle final : public DataStorageHost {
public:
    // Slot size = requested size raised to a multiple of minUniformBufferOffsetAlignment, or of
    // `alignmentAtLeast` (a power of two) when that is larger: tests stand in for a device with a larger limit.
    DsUniformSingle(GraphicsDevice* device, uint32_t requestedSlotSize, uint32_t alignmentAtLeast = 0);
};

// The global storage-buffer storage: bound as dynamic storage buffers (SBD).
class DsStorageSingle final : public DataStorageHost {
public:
    // Slot size = requested size raised to a multiple of minStorageBufferOffsetAlignment.
    DsStorageSingle(GraphicsDevice* device, uint32_t requestedSlotSize);
};

// Host-visible vertex and index storage (UI geometry): 16-byte aligned, read directly by the GPU.
class DsMeshSingle final : public DataStorageHost {
public:
    DsMeshSingle(GraphicsDevice* device, uint32_t slotSize);
};

// One span of the staging buffer to copy to the same offset of the device-local buffer.
struct StorageCopyRegion {
    uint32_t offset = 0;
    uint32_t size = 0;
};

// Device-local storage fed through a host-visible staging buffer of the same size. The upload pass copies
// what was written since the last flush.
class DataStorageDevice : public DataStorage, public UploadSource {
public:
    ~DataStorageDevice() override; // also destroys the staging pair

    // Queues the storage for the next frame's upload pass (thread-safe: the prediction worker registers too).
    void registerFlush();

    VkBuffer stagingBuffer = VK_NULL_HANDLE;
    VkDeviceMemory stagingMemory = VK_NULL_HANDLE;
    uint8_t dirty = 0;
    std::vector<StorageCopyRegion> regions;

protected:
    DataStorageDevice() = default;
};

// Device-local vertex, index and uniform storage (meshes, orbit and prediction lines).
class DsDeviceMeshSingle final : public DataStorageDevice {
public:
    static constexpr uint32_t Alignment = 16;

    // Slot size = requested size raised to a multiple of 16.
    DsDeviceMeshSingle(GraphicsDevice* device, uint32_t requestedSlotSize, const char* name = "mesh storage");

    uint32_t write(uint32_t previousOffset, const void* data, uint32_t size, bool noAlign = false) override;
    uint32_t reserve(uint32_t previousOffset, void** out, uint32_t size) override;
    uint32_t capacity() const override { return slots.capacity(); }
    uint32_t descriptorType() const override { return NotBindable; }
    // Opens the next slot; the region restarts at its beginning.
    void beginSlot() override;

    // Flush: one vkCmdCopyBuffer of the region when anything was written since the last flush. The region then
    // restarts at the cursor, so spans already on the device (and perhaps read by frames in flight) are not
    // copied over again.
    void recordUpload(CommandContext* context) override;

    StorageSlots slots;
    uint8_t* mapped = nullptr; // staging buffer

private:
    void grewBy(uint32_t offset, uint32_t alignedSize);
};

// Slot size and alignment of a host storage for a device offset-alignment limit: the slot is raised to a
// multiple of the limit, the alignment is the limit's lowest set bit (1 when the limit is 0).
struct StorageLayout {
    uint32_t slotSize;
    uint32_t alignment;
};
StorageLayout hostStorageLayout(uint32_t requestedSlotSize, uint64_t offsetAlignmentLimit);
