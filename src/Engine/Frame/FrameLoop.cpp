#include "Engine/Frame/FrameLoop.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Images/Image.h"
#include "Engine/SwapChain/SwapChain.h"
#include "Engine/SwapChain/WindowSurface.h"

#include <iostream>
#include <stdexcept>
#include <string>

FrameLoop::FrameLoop(GraphicsDevice* device_, SwapChain* swapChain_) : device(device_), swapChain(swapChain_) {}

void FrameLoop::waitForSlot() {
    uint32_t s = device->frameIndex;
    vkWaitForFences(device->device, 1, &swapChain->renderSet[s].fence, VK_TRUE, UINT64_MAX);
    device->registry.framesCompleted(swapChain->renderSerials[s]);
}

void FrameLoop::rebuild() {
    std::cout << "Recreating swapchain!\n";
    swapChain->build();
    swapChain->recreateRequested = 0;
    ++rebuilds;
}

bool FrameLoop::render(const std::function<void(CommandContext*, Image2D*)>& record) {
    uint32_t s = device->frameIndex;
    FrameSync& sync = swapChain->renderSet[s];
    vkResetFences(device->device, 1, &sync.fence);

    VkResult acquire =
        vkAcquireNextImageKHR(device->device, swapChain->swapchain, UINT64_MAX, swapChain->acquireSet[s].semaphore,
                              VK_NULL_HANDLE, &swapChain->imageIndex);
    const WindowSurface* window = swapChain->window;
    if (acquire != VK_SUCCESS || window->width != swapChain->width || window->height != swapChain->height ||
        swapChain->recreateRequested) {
        if (acquire == VK_SUCCESS || acquire == VK_SUBOPTIMAL_KHR) {
            // The acquired image's semaphore would stay signalled forever: an empty submission consumes it (and
            // signals the fence reset above).
            VkPipelineStageFlags stage = VK_PIPELINE_STAGE_COLOR_ATTACHMENT_OUTPUT_BIT;
            VkSubmitInfo consume{VK_STRUCTURE_TYPE_SUBMIT_INFO};
            consume.waitSemaphoreCount = 1;
            consume.pWaitSemaphores = &swapChain->acquireSet[s].semaphore;
            consume.pWaitDstStageMask = &stage;
            vkQueueSubmit(device->queue, 1, &consume, sync.fence);
        } else if (acquire != VK_ERROR_OUT_OF_DATE_KHR) {
            throw std::runtime_error("failed to acquire swap chain image! (VkResult " + std::to_string(int(acquire)) +
                                     ")");
        }
        rebuild();
        return false;
    }
    Image2D* target = swapChain->images[swapChain->imageIndex];

    device->commandPools->resetSlot(s);
    CommandContext* context = device->commandPools->acquireContext();
    context->free = 0;
    VkCommandBufferBeginInfo begin{VK_STRUCTURE_TYPE_COMMAND_BUFFER_BEGIN_INFO};
    if (vkBeginCommandBuffer(context->commandBuffer, &begin) != VK_SUCCESS)
        throw std::runtime_error("failed to begin recording command buffer!");

    uploadPass(context);
    VkImageSubresourceRange colorRange{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    imageBarrier(context, target->image, colorRange, VK_IMAGE_LAYOUT_UNDEFINED,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
    record(context, target);
    imageBarrier(context, target->image, colorRange, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_IMAGE_LAYOUT_PRESENT_SRC_KHR, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_BOTTOM_OF_PIPE_BIT, VK_ACCESS_2_NONE);
    context->clearBindings();
    if (vkEndCommandBuffer(context->commandBuffer) != VK_SUCCESS)
        throw std::runtime_error("failed to record command buffer!");

    submit(device, {context}, sync, {swapChain->acquireSet[s].semaphore});
    swapChain->renderSerials[s] = device->registry.currentSerial() - 1;

    VkPresentInfoKHR present{VK_STRUCTURE_TYPE_PRESENT_INFO_KHR};
    present.waitSemaphoreCount = 1;
    present.pWaitSemaphores = &sync.semaphore;
    present.swapchainCount = 1;
    present.pSwapchains = &swapChain->swapchain;
    present.pImageIndices = &swapChain->imageIndex;
    VkResult presented = vkQueuePresentKHR(device->queue, &present);
    if (presented != VK_SUCCESS) {
        if (presented != VK_SUBOPTIMAL_KHR && presented != VK_ERROR_OUT_OF_DATE_KHR)
            throw std::runtime_error("failed to present swap chain image! (VkResult " + std::to_string(int(presented)) +
                                     ")");
        rebuild();
        return false;
    }
    endFrame(device);
    return true;
}
