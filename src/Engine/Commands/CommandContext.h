#pragma once
#include "Engine/GraphicsDevice/FrameSync.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <vector>

class GraphicsDevice;
class PipelineGraphics;
class PipelineCompute;
class Mesh;
class GraphicsResource;

// The frame's primary command buffer with the bind caches and the descriptor sets gathered for the next draw.
class CommandContext {
public:
    static constexpr uint32_t MaxPendingSets = 20;
    static constexpr uint32_t MaxPendingOffsets = 200;

    PipelineGraphics* boundGraphicsPipeline = nullptr;
    PipelineCompute* boundComputePipeline = nullptr;
    GraphicsDevice* device = nullptr;
    VkCommandBuffer commandBuffer = VK_NULL_HANDLE;
    uint8_t free = 1;
    Mesh* boundMesh = nullptr;
    VkDescriptorSet pendingSets[MaxPendingSets]{};
    uint32_t pendingOffsets[MaxPendingOffsets]{};
    uint32_t pendingSetCount = 0;
    uint32_t pendingOffsetCount = 0;
    uint32_t renderWidth = 0;
    uint32_t renderHeight = 0;

    // Appends a set and its dynamic offsets for the next vkCmdBindDescriptorSets.
    // Throws instead of overrunning the fixed arrays.
    void addPendingSet(VkDescriptorSet set, const uint32_t* offsets, uint32_t offsetCount);
    // vkCmdBindDescriptorSets of every pending set and offset from set 0, then empties both arrays.
    void flushPendingSets(VkPipelineBindPoint bindPoint, VkPipelineLayout layout);
    void clearBindings();
};

void setViewportAndScissor(CommandContext* context, uint32_t width, uint32_t height);
void bufferBarrier(CommandContext* context, VkBuffer buffer, VkPipelineStageFlags srcStages,
                   VkPipelineStageFlags dstStages, VkAccessFlags srcAccess, VkAccessFlags dstAccess);
// Flushes every pending mesh, image and buffer upload of the device into the context.
// Returns true when anything was recorded (and so the closing memory barrier).
bool uploadPass(CommandContext* context);

// One command pool per frame slot, each with the contexts it has handed out.
class CommandPoolManager {
public:
    explicit CommandPoolManager(GraphicsDevice* device);
    ~CommandPoolManager(); // frees every context and destroys every pool

    void ensurePools();
    // A free context of the current frame slot (allocating one when all are in use); the caller clears `free`.
    CommandContext* acquireContext();
    // Resets the slot's pool as a whole and marks its contexts free (start of the slot's frame).
    void resetSlot(uint32_t slot);

    size_t contextCount() const;

    GraphicsDevice* device;
    std::vector<VkCommandPool> pools;
    std::vector<std::vector<CommandContext*>> contexts;
};

// Records and submits one command buffer and waits for it (start-up work, tests).
class OneShotCommands {
public:
    explicit OneShotCommands(GraphicsDevice* device);
    ~OneShotCommands();
    CommandContext* begin();
    void submitAndWait();

private:
    GraphicsDevice* device;
    VkCommandPool pool = VK_NULL_HANDLE;
    CommandContext context;
};

// One vkQueueSubmit of the contexts' command buffers, waiting on `waitSemaphores` at colour output and
// signalling the frame sync's semaphore (when it has one) and fence.
void submit(GraphicsDevice* device, const std::vector<CommandContext*>& contexts, const FrameSync& signal,
            const std::vector<VkSemaphore>& waitSemaphores);
