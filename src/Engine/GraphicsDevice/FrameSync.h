#pragma once
#include <vulkan/vulkan.h>

// One frame slot's synchronisation: the fence may be null (acquire set).
struct FrameSync {
    VkFence fence = VK_NULL_HANDLE;
    VkSemaphore semaphore = VK_NULL_HANDLE;
};
