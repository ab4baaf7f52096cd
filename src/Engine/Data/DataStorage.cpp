#include "Engine/Data/DataStorage.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/Helper/Helper.h"

#include <stdexcept>
#include <string>

void reportStorageOverrun(const char* storageName, uint32_t size, const StorageSlots& slots) {
    throw std::runtime_error(std::string(storageName) + ": a write of " + std::to_string(size) + " bytes at offset " +
                             std::to_string(slots.cursor) + " would overrun its slot [" +
                             std::to_string(slots.currentSlotStart()) + ", " + std::to_string(slots.slotEnd) + ") of " +
                             std::to_string(slots.slotSize) + " bytes");
}

StorageLayout hostStorageLayout(uint32_t requestedSlotSize, uint64_t offsetAlignmentLimit) {
    return {roundUpToMultiple(requestedSlotSize, offsetAlignmentLimit), storageAlignment(offsetAlignmentLimit)};
}

static void checkFourSlotsFit(uint32_t slotSize, const char* name) {
    if (slotSize == 0 || uint64_t(slotSize) * StorageSlots::SlotCount > 0xFFFFFFFFull)
        throw std::runtime_error(std::string(name) + ": slot size " + std::to_string(slotSize) +
                                 " does not give four slots addressable with 32-bit offsets");
}

DataStorage::~DataStorage() {
    if (owner == nullptr)
        return;
    if (buffer != VK_NULL_HANDLE)
        vkDestroyBuffer(owner->device, buffer, nullptr);
    if (memory != VK_NULL_HANDLE)
        vkFreeMemory(owner->device, memory, nullptr);
}

DataStorageHost::DataStorageHost(GraphicsDevice* d, uint32_t slotSize, uint32_t alignment, VkBufferUsageFlags usage,
                                 uint32_t descriptorType, const char* name_)
    : type(descriptorType) {
    name = name_;
    checkFourSlotsFit(slotSize, name);
    owner = d;
    slots = StorageSlots(slotSize, alignment);
    auto [b, m] = Helper::createBuffer(d->physicalDevice, d->device, VkDeviceSize(slots.capacity()), usage,
                                       VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    buffer = b;
    memory = m;
    void* p = nullptr;
    if (vkMapMemory(d->device, memory, 0, VK_WHOLE_SIZE, 0, &p) != VK_SUCCESS) {
        vkDestroyBuffer(d->device, buffer, nullptr);
        vkFreeMemory(d->device, memory, nullptr);
        throw std::runtime_error(std::string(name) + ": failed to map buffer memory!");
    }
    mapped = static_cast<uint8_t*>(p);
    // Frames in flight may still read it when it is released.
    deferredRelease = 1;
    tier = TierMemory;
    device = d;
    registerResource(d, this);
}

static StorageLayout uniformLayout(GraphicsDevice* d, uint32_t requested, uint32_t alignmentAtLeast) {
    uint64_t limit = d->properties.limits.minUniformBufferOffsetAlignment;
    return hostStorageLayout(requested, limit > alignmentAtLeast ? limit : alignmentAtLeast);
}
static StorageLayout storageBufferLayout(GraphicsDevice* d, uint32_t requested) {
    return hostStorageLayout(requested, d->properties.limits.minStorageBufferOffsetAlignment);
}

DsUniformSingle::DsUniformSingle(GraphicsDevice* d, uint32_t requestedSlotSize, uint32_t alignmentAtLeast)
    : DataStorageHost(d, uniformLayout(d, requestedSlotSize, alignmentAtLeast).slotSize,
                      uniformLayout(d, requestedSlotSize, alignmentAtLeast).alignment,
                      VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT |
                          VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT,
                      VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC, "uniform storage") {}

DsStorageSingle::DsStorageSingle(GraphicsDevice* d, uint32_t requestedSlotSize)
    : DataStorageHost(
          d, storageBufferLayout(d, requestedSlotSize).slotSize, storageBufferLayout(d, requestedSlotSize).alignment,
          VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT | VK_BUFFER_USAGE_STORAGE_BUFFER_BIT,
          VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC, "storage-buffer storage") {}

DsMeshSingle::DsMeshSingle(GraphicsDevice* d, uint32_t slotSize)
    : DataStorageHost(d, roundUpToMultiple(slotSize, 16), 16,
                      VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT |
                          VK_BUFFER_USAGE_INDEX_BUFFER_BIT | VK_BUFFER_USAGE_VERTEX_BUFFER_BIT,
                      DataStorage::NotBindable, "UI geometry storage") {}

DataStorageDevice::~DataStorageDevice() {
    if (owner == nullptr)
        return;
    if (stagingBuffer != VK_NULL_HANDLE)
        vkDestroyBuffer(owner->device, stagingBuffer, nullptr);
    if (stagingMemory != VK_NULL_HANDLE)
        vkFreeMemory(owner->device, stagingMemory, nullptr);
}

void DataStorageDevice::registerFlush() {
    owner->queueMeshFlush(this);
}

DsDeviceMeshSingle::DsDeviceMeshSingle(GraphicsDevice* d, uint32_t requestedSlotSize, const char* name_) {
    name = name_;
    uint32_t slotSize = roundUpToMultiple(requestedSlotSize, Alignment);
    checkFourSlotsFit(slotSize, name);
    owner = d;
    slots = StorageSlots(slotSize, Alignment);
    VkDeviceSize size = slots.capacity();
    auto [s, sm] = Helper::createBuffer(d->physicalDevice, d->device, size, VK_BUFFER_USAGE_TRANSFER_SRC_BIT,
                                        VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    stagingBuffer = s;
    stagingMemory = sm;
    // Transfer source as well, so the device-side contents can be read back.
    auto [b, m] = Helper::createBuffer(d->physicalDevice, d->device, size,
                                       VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT |
                                           VK_BUFFER_USAGE_UNIFORM_BUFFER_BIT | VK_BUFFER_USAGE_INDEX_BUFFER_BIT |
                                           VK_BUFFER_USAGE_VERTEX_BUFFER_BIT,
                                       VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    buffer = b;
    memory = m;
    void* p = nullptr;
    if (vkMapMemory(d->device, stagingMemory, 0, VK_WHOLE_SIZE, 0, &p) != VK_SUCCESS) {
        vkDestroyBuffer(d->device, buffer, nullptr);
        vkFreeMemory(d->device, memory, nullptr);
        vkDestroyBuffer(d->device, stagingBuffer, nullptr);
        vkFreeMemory(d->device, stagingMemory, nullptr);
        throw std::runtime_error(std::string(name) + ": failed to map staging memory!");
    }
    mapped = static_cast<uint8_t*>(p);
    regions.assign(1, StorageCopyRegion{0, 0});
    deferredRelease = 1;
    tier = TierMemory;
    device = d;
    registerResource(d, this);
}

void DsDeviceMeshSingle::grewBy(uint32_t offset, uint32_t alignedSize) {
    dirty = 1;
    regions[0].size = offset - regions[0].offset + alignedSize;
}

uint32_t DsDeviceMeshSingle::write(uint32_t, const void* data, uint32_t size, bool noAlign) {
    uint32_t offset = slots.allocate(size, noAlign);
    if (offset == StorageSlots::Refused)
        reportStorageOverrun(name, size, slots);
    std::memcpy(mapped + offset, data, size);
    grewBy(offset, slots.cursor - offset);
    return offset;
}

uint32_t DsDeviceMeshSingle::reserve(uint32_t, void** out, uint32_t size) {
    uint32_t offset = slots.allocate(size, false);
    if (offset == StorageSlots::Refused)
        reportStorageOverrun(name, size, slots);
    *out = mapped + offset;
    grewBy(offset, slots.cursor - offset);
    return offset;
}

void DsDeviceMeshSingle::beginSlot() {
    slots.begin();
    regions[0] = {slots.cursor, 0};
}

void DsDeviceMeshSingle::recordUpload(CommandContext* context) {
    if (!dirty)
        return;
    dirty = 0;
    StorageCopyRegion& r = regions[0];
    if (r.size > 0) {
        VkBufferCopy copy{r.offset, r.offset, r.size};
        vkCmdCopyBuffer(context->commandBuffer, stagingBuffer, buffer, 1, &copy);
    }
    r = {slots.cursor, 0};
}
