#include "Engine/SwapChain/SwapChain.h"

#include "Engine/SwapChain/WindowSurface.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <GLFW/glfw3.h>

#include <stdexcept>
#include <string>

SwapChain::SwapChain(WindowSurface* window_, GraphicsDevice* device_, VkPresentModeKHR presentMode_)
    : window(window_), device(device_), presentMode(presentMode_) {}

SwapChain::~SwapChain() {
    destroySync();
    if (swapchain != VK_NULL_HANDLE)
        vkDestroySwapchainKHR(device->device, swapchain, nullptr);
}

void SwapChain::destroySync() {
    for (auto* set : {&acquireSet, &renderSet})
        for (FrameSync& s : *set) {
            if (s.fence != VK_NULL_HANDLE)
                vkDestroyFence(device->device, s.fence, nullptr);
            if (s.semaphore != VK_NULL_HANDLE)
                vkDestroySemaphore(device->device, s.semaphore, nullptr);
            s = {};
        }
}

void SwapChain::build() {
    VkDevice d = device->device;
    if (swapchain != VK_NULL_HANDLE) {
        vkDeviceWaitIdle(d);
        for (Image2D* image : images)
            unregisterResource(device, image);
        // The GPU is idle: nothing unregistered so far can still be in use.
        device->registry.allFramesCompleted();
    }

    VkSurfaceCapabilitiesKHR caps;
    vkGetPhysicalDeviceSurfaceCapabilitiesKHR(device->physicalDevice, window->surface, &caps);
    VkExtent2D extent = Helper::clampExtent(window->width, window->height, caps);
    if (extent.width != window->width || extent.height != window->height) {
        glfwSetWindowSize(window->window, int(extent.width), int(extent.height));
        window->width = extent.width;
        window->height = extent.height;
    }
    uint32_t imageCount = Helper::selectImageCount(device->desiredImageCount, caps);
    surfaceFormat = Helper::chooseSurfaceFormat(device->physicalDevice, window->surface);

    uint32_t modeCount = 0;
    vkGetPhysicalDeviceSurfacePresentModesKHR(device->physicalDevice, window->surface, &modeCount, nullptr);
    std::vector<VkPresentModeKHR> modes(modeCount);
    if (modeCount)
        vkGetPhysicalDeviceSurfacePresentModesKHR(device->physicalDevice, window->surface, &modeCount, modes.data());
    presentMode = Helper::selectPresentMode(presentMode, modes);

    VkSwapchainCreateInfoKHR info{VK_STRUCTURE_TYPE_SWAPCHAIN_CREATE_INFO_KHR};
    info.surface = window->surface;
    info.minImageCount = imageCount;
    info.imageFormat = surfaceFormat.format;
    info.imageColorSpace = surfaceFormat.colorSpace;
    info.imageExtent = extent;
    info.imageArrayLayers = 1;
    info.imageUsage = VK_IMAGE_USAGE_COLOR_ATTACHMENT_BIT | (transferSource ? VK_IMAGE_USAGE_TRANSFER_SRC_BIT : 0);
    info.imageSharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.queueFamilyIndexCount = 1;
    info.pQueueFamilyIndices = &device->queueFamilyIndex;
    info.preTransform = caps.currentTransform;
    info.compositeAlpha = VK_COMPOSITE_ALPHA_OPAQUE_BIT_KHR;
    info.presentMode = presentMode;
    info.clipped = VK_TRUE;
    info.oldSwapchain = swapchain;
    VkSwapchainKHR created = VK_NULL_HANDLE;
    VkResult result = vkCreateSwapchainKHR(d, &info, nullptr, &created);
    if (result != VK_SUCCESS)
        ENGINE_ERROR("Failed to create the swapchain (VkResult " + std::to_string(int(result)) + ")");

    if (swapchain != VK_NULL_HANDLE) {
        destroySync();
        vkDestroySwapchainKHR(d, swapchain, nullptr);
    }
    swapchain = created;

    uint32_t count = 0;
    if (vkGetSwapchainImagesKHR(d, swapchain, &count, nullptr) != VK_SUCCESS || count < caps.minImageCount)
        ENGINE_ERROR("Failed to get swapchain image count");
    std::vector<VkImage> vkImages(count);
    if (vkGetSwapchainImagesKHR(d, swapchain, &count, vkImages.data()) != VK_SUCCESS)
        ENGINE_ERROR("Failed to get swapchain images");

    device->frameCount = count;
    device->frameIndex = 0;
    images.assign(count, nullptr);
    acquireSet.assign(count, {});
    renderSet.assign(count, {});
    renderSerials.assign(count, device->registry.currentSerial() - 1);

    VkFenceCreateInfo fenceInfo{VK_STRUCTURE_TYPE_FENCE_CREATE_INFO};
    fenceInfo.flags = VK_FENCE_CREATE_SIGNALED_BIT;
    VkSemaphoreCreateInfo semaphoreInfo{VK_STRUCTURE_TYPE_SEMAPHORE_CREATE_INFO};
    for (uint32_t i = 0; i < count; ++i) {
        images[i] = new Image2D(device, vkImages[i], extent.width, extent.height, surfaceFormat.format);
        vkCreateFence(d, &fenceInfo, nullptr, &renderSet[i].fence);
        vkCreateSemaphore(d, &semaphoreInfo, nullptr, &renderSet[i].semaphore);
        vkCreateSemaphore(d, &semaphoreInfo, nullptr, &acquireSet[i].semaphore);
    }
    width = extent.width;
    height = extent.height;
    imageIndex = 1000;
    ++buildCount;
    for (std::function<void()>* listener : recreateListeners)
        (*listener)();
}
