#include "Engine/Commands/CommandContext.h"

#include "Engine/GraphicsDevice/GraphicsDevice.h"

#include <stdexcept>
#include <string>

void CommandContext::addPendingSet(VkDescriptorSet set, const uint32_t* offsets, uint32_t offsetCount) {
    if (pendingSetCount >= MaxPendingSets)
        throw std::runtime_error("too many descriptor sets bound before one draw (at most " +
                                 std::to_string(MaxPendingSets) + ")");
    if (pendingOffsetCount + offsetCount > MaxPendingOffsets)
        throw std::runtime_error("too many dynamic offsets bound before one draw (at most " +
                                 std::to_string(MaxPendingOffsets) + ")");
    pendingSets[pendingSetCount++] = set;
    for (uint32_t i = 0; i < offsetCount; ++i)
        pendingOffsets[pendingOffsetCount++] = offsets[i];
}

void CommandContext::flushPendingSets(VkPipelineBindPoint bindPoint, VkPipelineLayout layout) {
    if (pendingSetCount)
        vkCmdBindDescriptorSets(commandBuffer, bindPoint, layout, 0, pendingSetCount, pendingSets,
                                pendingOffsetCount, pendingOffsets);
    pendingSetCount = 0;
    pendingOffsetCount = 0;
}

void CommandContext::clearBindings() {
    boundGraphicsPipeline = nullptr;
    boundComputePipeline = nullptr;
    boundMesh = nullptr;
    pendingSetCount = 0;
    pendingOffsetCount = 0;
}

void setViewportAndScissor(CommandContext* context, uint32_t width, uint32_t height) {
    VkViewport viewport{0.0f, 0.0f, float(width), float(height), 0.0f, 1.0f};
    VkRect2D scissor{{0, 0}, {width, height}};
    vkCmdSetViewportWithCount(context->commandBuffer, 1, &viewport);
    vkCmdSetScissorWithCount(context->commandBuffer, 1, &scissor);
}

void bufferBarrier(CommandContext* context, VkBuffer buffer, VkPipelineStageFlags srcStages,
                   VkPipelineStageFlags dstStages, VkAccessFlags srcAccess, VkAccessFlags dstAccess) {
    VkBufferMemoryBarrier barrier{VK_STRUCTURE_TYPE_BUFFER_MEMORY_BARRIER};
    barrier.srcAccessMask = srcAccess;
    barrier.dstAccessMask = dstAccess;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.buffer = buffer;
    barrier.offset = 0;
    barrier.size = VK_WHOLE_SIZE;
    vkCmdPipelineBarrier(context->commandBuffer, srcStages, dstStages, 0, 0, nullptr, 1, &barrier, 0, nullptr);
}

bool uploadPass(CommandContext* context) {
    GraphicsDevice* device = context->device;
    std::vector<UploadSource*> meshes;
    {
        // The prediction worker appends from its own thread; take the whole list in one locked step.
        std::lock_guard<std::mutex> lock(device->uploadMutex);
        meshes.swap(device->pendingMeshFlushes);
    }
    for (UploadSource* m : meshes)
        m->recordUpload(context);

    std::vector<UploadSource*> images;
    images.swap(device->pendingImageUploads);
    for (UploadSource* i : images)
        i->recordUpload(context);

    std::vector<UploadSource*> buffers;
    buffers.swap(device->pendingBufferCopies);
    for (UploadSource* b : buffers)
        b->recordUpload(context);

    if (meshes.empty() && images.empty() && buffers.empty())
        return false;

    VkMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_MEMORY_BARRIER_2};
    barrier.srcStageMask = VK_PIPELINE_STAGE_2_ALL_TRANSFER_BIT;
    barrier.srcAccessMask = VK_ACCESS_2_MEMORY_WRITE_BIT;
    // Uploaded data is read as vertices, indices, uniforms, storage and textures by any later stage, and a later
    // upload (the next frame's line rebuild) may copy over the same bytes again.
    barrier.dstStageMask = VK_PIPELINE_STAGE_2_VERTEX_ATTRIBUTE_INPUT_BIT | VK_PIPELINE_STAGE_2_INDEX_INPUT_BIT |
                           VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT;
    barrier.dstAccessMask = VK_ACCESS_2_MEMORY_READ_BIT | VK_ACCESS_2_TRANSFER_WRITE_BIT;
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.memoryBarrierCount = 1;
    dependency.pMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(context->commandBuffer, &dependency);
    return true;
}

CommandPoolManager::CommandPoolManager(GraphicsDevice* device_) : device(device_) {}

CommandPoolManager::~CommandPoolManager() {
    for (auto& slot : contexts)
        for (CommandContext* c : slot)
            delete c;
    for (VkCommandPool pool : pools)
        if (pool != VK_NULL_HANDLE)
            vkDestroyCommandPool(device->device, pool, nullptr);
}

void CommandPoolManager::ensurePools() {
    for (uint32_t i = 0; i < device->frameCount; ++i) {
        if (i < pools.size())
            continue;
        pools.push_back(VK_NULL_HANDLE);
        contexts.emplace_back();
        VkCommandPoolCreateInfo info{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
        info.flags = VK_COMMAND_POOL_CREATE_RESET_COMMAND_BUFFER_BIT;
        info.queueFamilyIndex = device->queueFamilyIndex;
        if (vkCreateCommandPool(device->device, &info, nullptr, &pools[i]) != VK_SUCCESS)
            throw std::runtime_error("failed to create command pool!");
    }
}

CommandContext* CommandPoolManager::acquireContext() {
    ensurePools();
    uint32_t s = device->frameIndex;
    for (CommandContext* c : contexts[s])
        if (c->free)
            return c;
    CommandContext* c = new CommandContext();
    c->device = device;
    VkCommandBufferAllocateInfo info{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    info.commandPool = pools[s];
    info.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    info.commandBufferCount = 1;
    if (vkAllocateCommandBuffers(device->device, &info, &c->commandBuffer) != VK_SUCCESS) {
        delete c;
        throw std::runtime_error("failed to allocate command buffers!");
    }
    contexts[s].push_back(c);
    return c;
}

void CommandPoolManager::resetSlot(uint32_t slot) {
    ensurePools();
    vkResetCommandPool(device->device, pools[slot], VK_COMMAND_POOL_RESET_RELEASE_RESOURCES_BIT);
    for (CommandContext* c : contexts[slot])
        c->free = 1;
}

size_t CommandPoolManager::contextCount() const {
    size_t n = 0;
    for (const auto& slot : contexts)
        n += slot.size();
    return n;
}

OneShotCommands::OneShotCommands(GraphicsDevice* device_) : device(device_) {
    VkCommandPoolCreateInfo info{VK_STRUCTURE_TYPE_COMMAND_POOL_CREATE_INFO};
    info.flags = VK_COMMAND_POOL_CREATE_TRANSIENT_BIT;
    info.queueFamilyIndex = device->queueFamilyIndex;
    if (vkCreateCommandPool(device->device, &info, nullptr, &pool) != VK_SUCCESS)
        throw std::runtime_error("failed to create command pool!");
    VkCommandBufferAllocateInfo alloc{VK_STRUCTURE_TYPE_COMMAND_BUFFER_ALLOCATE_INFO};
    alloc.commandPool = pool;
    alloc.level = VK_COMMAND_BUFFER_LEVEL_PRIMARY;
    alloc.commandBufferCount = 1;
    if (vkAllocateCommandBuffers(device->device, &alloc, &context.commandBuffer) != VK_SUCCESS)
        throw std::runtime_error("failed to allocate command buffers!");
    context.device = device;
}

OneShotCommands::~OneShotCommands() { vkDestroyCommandPool(device->device, pool, nullptr); }

CommandContext* OneShotCommands::begin() {
    vkResetCommandPool(device->device, pool, 0);
    context.clearBindings();
    VkCommandBufferBeginInfo info{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    info.flags = VK_COMMAND_BUFFER_USAGE_ONE_TIME_SUBMIT_BIT;
    if (vkBeginCommandBuffer(context.commandBuffer, &info) != VK_SUCCESS)
        throw std::runtime_error("failed to begin recording command buffer!");
    return &context;
}

void OneShotCommands::submitAndWait() {
    if (vkEndCommandBuffer(context.commandBuffer) != VK_SUCCESS)
        throw std::runtime_error("failed to record command buffer!");
    VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    VkFence fence;
    vkCreateFence(device->device, &fenceInfo, nullptr, &fence);
    VkSubmitInfo submitInfo{VK_STRUCTURE_TYPE_SUBMIT_INFO};
    submitInfo.commandBufferCount = 1;
    submitInfo.pCommandBuffers = &context.commandBuffer;
    VkResult result = vkQueueSubmit(device->queue, 1, &submitInfo, fence);
    if (result == VK_SUCCESS)
        vkWaitForFences(device->device, 1, &fence, VK_TRUE, UINT64_MAX);
    vkDestroyFence(device->device, fence, nullptr);
    if (result != VK_SUCCESS)
        throw std::runtime_error("failed to submit one-shot command buffer!");
}

void submit(GraphicsDevice* device, const std::vector<CommandContext*>& contexts, const FrameSync& signal,
            const std::vector<VkSemaphore>& waitSemaphores) {
    std::vector<VkPipelineStageFlags> stages(waitSemaphores.size(), VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT);
    std::vector<VkCommandBuffer> buffers;
    for (CommandContext* c : contexts)
        buffers.push_back(c->commandBuffer);
    VkSubmitInfo info{VK_STRUCTURE_TYPE_SUBMIT_INFO};
    info.waitSemaphoreCount = uint32_t(waitSemaphores.size());
    info.pWaitSemaphores = waitSemaphores.data();
    info.pWaitDstStageMask = stages.data();
    info.commandBufferCount = uint32_t(buffers.size());
    info.pCommandBuffers = buffers.data();
    info.signalSemaphoreCount = signal.semaphore != VK_NULL_HANDLE ? 1 : 0;
    info.pSignalSemaphores = &signal.semaphore;
    if (vkQueueSubmit(device->queue, 1, &info, signal.fence) != VK_SUCCESS)
        throw std::runtime_error("failed to submit draw command buffer!");
    device->registry.frameSubmitted();
}
