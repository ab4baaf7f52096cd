#include "Engine/GraphicsDevice/GraphicsDevice.h"

#include "Engine/Helper/Helper.h"

#include <iostream>
#include <string>

GraphicsDevice::GraphicsDevice(WindowSurface* window_, VkPhysicalDevice physicalDevice_, VkDevice device_,
                               uint32_t queueFamily)
    : window(window_), physicalDevice(physicalDevice_), device(device_), queueFamilyIndex(queueFamily) {
    vkGetDeviceQueue(device, queueFamily, 0, &queue);
    vkGetPhysicalDeviceProperties(physicalDevice, &properties);
}

GraphicsDevice::~GraphicsDevice() {
    if (device != VK_NULL_HANDLE)
        vkDestroyDevice(device, nullptr);
}

void GraphicsDevice::queueMeshFlush(UploadSource* source) {
    std::lock_guard<std::mutex> lock(uploadMutex);
    pendingMeshFlushes.push_back(source);
}

GraphicsDevice* createDevice(VkInstance instance, VkSurfaceKHR surface, WindowSurface* window) {
    if (instance == VK_NULL_HANDLE)
        ENGINE_ERROR("No Vulkan instance: the Vulkan loader or driver is not available");
    uint32_t count = 0;
    VkResult result = vkEnumeratePhysicalDevices(instance, &count, nullptr);
    std::cout << "vkEnumeratePhysicalDevices: " << int(result) << std::endl;
    if (result != VK_SUCCESS)
        ENGINE_ERROR("Failed to enumerate Physical Devices");
    std::vector<VkPhysicalDevice> devices(count);
    if (count)
        vkEnumeratePhysicalDevices(instance, &count, devices.data());
    uint32_t index = Helper::pickPhysicalDevice(devices.data(), count, surface);
    VkPhysicalDevice physical = devices[index];
    uint32_t family = Helper::pickQueueFamily(physical, surface);

    // Query before enabling: a device without an optional feature must still work.
    VkPhysicalDeviceVulkan13Features have13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    VkPhysicalDeviceVulkan12Features have12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES};
    have12.pNext = &have13;
    VkPhysicalDeviceFeatures2 have{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_FEATURES_2};
    have.pNext = &have12;
    vkGetPhysicalDeviceFeatures2(physical, &have);

    Helper::DeviceFeatureSupport support;
    support.dynamicRendering = have13.dynamicRendering;
    support.synchronization2 = have13.synchronization2;
    support.tessellationShader = have.features.tessellationShader;
    std::vector<std::string> missing = Helper::missingRequiredFeatures(support);
    if (!missing.empty()) {
        std::string names;
        for (const std::string& m : missing)
            names += (names.empty() ? "" : ", ") + m;
        ENGINE_ERROR("The graphics device lacks features the renderer needs: " + names);
    }

    VkPhysicalDeviceFeatures features{};
    features.tessellationShader = VK_TRUE;
    features.depthBiasClamp = have.features.depthBiasClamp;
    features.fillModeNonSolid = have.features.fillModeNonSolid;
    features.fragmentStoresAndAtomics = have.features.fragmentStoresAndAtomics;
    // Indirect draws that start at an instance other than 0 (per-layer particle draws).
    features.drawIndirectFirstInstance = have.features.drawIndirectFirstInstance;
    VkPhysicalDeviceVulkan13Features want13{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_3_FEATURES};
    want13.synchronization2 = VK_TRUE;
    want13.dynamicRendering = VK_TRUE;
    // glslc targeting Vulkan 1.3 declares compute work group sizes with LocalSizeId, which needs maintenance4.
    want13.maintenance4 = have13.maintenance4;
    VkPhysicalDeviceVulkan12Features want12{VK_STRUCTURE_TYPE_PHYSICAL_DEVICE_VULKAN_1_2_FEATURES};
    want12.runtimeDescriptorArray = have12.runtimeDescriptorArray;
    want12.pNext = &want13;

    float priority = 1.0f;
    VkDeviceQueueCreateInfo queueInfo{VK_STRUCTURE_TYPE_DEVICE_QUEUE_CREATE_INFO};
    queueInfo.queueFamilyIndex = family;
    queueInfo.queueCount = 1;
    queueInfo.pQueuePriorities = &priority;

    const char* extensions[] = {VK_KHR_SWAPCHAIN_EXTENSION_NAME};
    VkDeviceCreateInfo info{VK_STRUCTURE_TYPE_DEVICE_CREATE_INFO};
    info.pNext = &want12;
    info.queueCreateInfoCount = 1;
    info.pQueueCreateInfos = &queueInfo;
    info.pEnabledFeatures = &features;
    // Headless use needs no swap chain; the extension is only asked for when there is a surface.
    info.enabledExtensionCount = surface != VK_NULL_HANDLE ? 1 : 0;
    info.ppEnabledExtensionNames = extensions;

    VkDevice device = VK_NULL_HANDLE;
    result = vkCreateDevice(physical, &info, nullptr, &device);
    if (result != VK_SUCCESS)
        ENGINE_ERROR("Failed to create the logical device (VkResult " + std::to_string(int(result)) + ")");
    GraphicsDevice* graphicsDevice = new GraphicsDevice(window, physical, device, family);
    graphicsDevice->wireframeSupported = have.features.fillModeNonSolid;
    graphicsDevice->drawIndirectFirstInstanceSupported = have.features.drawIndirectFirstInstance;
    return graphicsDevice;
}

void registerResource(GraphicsDevice* device, GraphicsResource* resource) { device->registry.add(resource); }

void unregisterResource(GraphicsDevice* device, GraphicsResource* resource) { device->registry.remove(resource); }

void endFrame(GraphicsDevice* device) {
    device->lastDrawCount = device->drawCount;
    device->drawCount = 0;
    device->frameIndex = (device->frameIndex + 1) % device->frameCount;
}

void teardownDevice(GraphicsDevice* device) {
    vkDeviceWaitIdle(device->device);
    device->shared.clear();
    device->registry.teardown();
}
