#pragma once
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <vector>

// One copy into a structured buffer recorded by the upload pass.
struct BufferCopyRegion {
    VkBuffer source = VK_NULL_HANDLE;
    uint32_t sourceOffset = 0;
    uint32_t destinationOffset = 0;
    uint32_t size = 0;
};

// Device-local buffer of elements produced and consumed by compute and graphics passes (particles, fluid
// grids), bound as a plain storage buffer (SB).
class StructuredBuffer : public GraphicsResource, public UploadSource {
public:
    static constexpr VkBufferUsageFlags BaseUsage =
        VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT | VK_BUFFER_USAGE_STORAGE_BUFFER_BIT;

    // Total size = elementCount * elementSize; usage = extraUsage | BaseUsage.
    StructuredBuffer(GraphicsDevice* device, uint32_t elementCount, uint32_t elementSize,
                     VkBufferUsageFlags extraUsage = 0);
    ~StructuredBuffer() override;

    // Total size and usage of a buffer of these parameters; throws when the size does not fit 32 bits or is 0.
    static uint32_t totalSize(uint32_t elementCount, uint32_t elementSize);
    static VkBufferUsageFlags usageFor(VkBufferUsageFlags extraUsage) { return extraUsage | BaseUsage; }

    // Adds a copy from `source` for the next upload pass and queues the buffer with the device (once per pass).
    // A region reaching past the end of this buffer throws.
    void addCopyRegion(const BufferCopyRegion& region);
    // Barrier (shader reads done), the copies in order, barrier (copies visible to shaders). Empties the regions.
    void recordUpload(CommandContext* context) override;

    uint32_t size = 0; // bytes
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    uint32_t elementCount = 0;
    uint32_t elementSize = 0;
    VkBufferUsageFlags usage = 0;
    GraphicsDevice* owner = nullptr;
    std::vector<BufferCopyRegion> copyRegions;

private:
    bool queued = false;
};
