#include "Engine/Buffers/StructuredBuffer.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/Helper/Helper.h"

#include <stdexcept>
#include <string>

uint32_t StructuredBuffer::totalSize(uint32_t elementCount, uint32_t elementSize) {
    uint64_t size = uint64_t(elementCount) * elementSize;
    if (size == 0 || size > 0xFFFFFFFFull)
        throw std::runtime_error("StructuredBuffer: " + std::to_string(elementCount) + " elements of " +
                                 std::to_string(elementSize) + " bytes is not a valid buffer size");
    return uint32_t(size);
}

StructuredBuffer::StructuredBuffer(GraphicsDevice* d, uint32_t elementCount_, uint32_t elementSize_,
                                   VkBufferUsageFlags extraUsage)
    : size(totalSize(elementCount_, elementSize_)), elementCount(elementCount_), elementSize(elementSize_),
      usage(usageFor(extraUsage)), owner(d) {
    auto [b, m] = Helper::createBuffer(d->physicalDevice, d->device, size, usage, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    buffer = b;
    memory = m;
    deferredRelease = 1;
    tier = TierMemory;
    device = d;
    registerResource(d, this);
}

StructuredBuffer::~StructuredBuffer() {
    if (queued) {
        // Still in the device's pending list: take it out so the upload pass never sees a deleted buffer.
        auto& pending = owner->pendingBufferCopies;
        for (size_t i = 0; i < pending.size(); ++i)
            if (pending[i] == this)
                pending.erase(pending.begin() + long(i--));
    }
    vkDestroyBuffer(owner->device, buffer, nullptr);
    vkFreeMemory(owner->device, memory, nullptr);
}

void StructuredBuffer::addCopyRegion(const BufferCopyRegion& region) {
    if (region.source == VK_NULL_HANDLE || region.size == 0 || uint64_t(region.destinationOffset) + region.size > size)
        throw std::runtime_error("StructuredBuffer: copy of " + std::to_string(region.size) + " bytes to offset " +
                                 std::to_string(region.destinationOffset) + " does not fit its " +
                                 std::to_string(size) + " bytes");
    copyRegions.push_back(region);
    if (!queued) {
        owner->pendingBufferCopies.push_back(this);
        queued = true;
    }
}

void StructuredBuffer::recordUpload(CommandContext* context) {
    queued = false;
    if (copyRegions.empty())
        return;
    // Earlier passes may still read or write the buffer in shaders: finish them before the copies land.
    bufferBarrier(context, buffer, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT,
                  VK_ACCESS_SHADER_READ_BIT | VK_ACCESS_SHADER_WRITE_BIT, VK_ACCESS_TRANSFER_WRITE_BIT);
    for (const BufferCopyRegion& r : copyRegions) {
        VkBufferCopy copy{r.sourceOffset, r.destinationOffset, r.size};
        vkCmdCopyBuffer(context->commandBuffer, r.source, buffer, 1, &copy);
    }
    bufferBarrier(context, buffer, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT, VK_PIPELINE_STAGE_ALL_COMMANDS_BIT,
                  VK_ACCESS_TRANSFER_WRITE_BIT, VK_ACCESS_SHADER_READ_BIT | VK_ACCESS_SHADER_WRITE_BIT);
    copyRegions.clear();
}
