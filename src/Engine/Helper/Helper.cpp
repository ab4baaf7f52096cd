#include "Engine/Helper/Helper.h"

#include <GLFW/glfw3.h>

#include <atomic>
#include <cstring>
#include <iostream>
#include <sstream>
#include <stdexcept>

const char* sourceFileName(const char* path) {
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '/' || *p == '\\')
            name = p + 1;
    return name;
}

namespace {
std::atomic<bool> glfwTerminatedFlag{false};
}

bool glfwTerminatedByError() {
    return glfwTerminatedFlag.load(std::memory_order_relaxed);
}

void reportError(const std::string& message, const char* file, int line) {
    std::cout << "ERROR: " << message << " (in " << sourceFileName(file) << " at line #" << line << ")" << std::endl;
    glfwTerminate();
    glfwTerminatedFlag.store(true, std::memory_order_relaxed);
    throw std::runtime_error(message);
}

namespace Helper {

static bool familyHas(const QueueFamilyInfo& f, VkQueueFlags bits) { return (f.flags & bits) == bits; }

int selectPhysicalDevice(const std::vector<std::vector<QueueFamilyInfo>>& devices) {
    for (size_t d = 0; d < devices.size(); ++d)
        for (const QueueFamilyInfo& f : devices[d])
            if (familyHas(f, VK_QUEUE_GRAPHICS_BIT) && f.presentSupported)
                return int(d);
    return -1;
}

int selectQueueFamily(const std::vector<QueueFamilyInfo>& families) {
    for (size_t i = 0; i < families.size(); ++i)
        if (familyHas(families[i], VK_QUEUE_GRAPHICS_BIT | VK_QUEUE_COMPUTE_BIT) && families[i].presentSupported)
            return int(i);
    return -1;
}

VkSurfaceFormatKHR selectSurfaceFormat(const std::vector<VkSurfaceFormatKHR>& formats) {
    for (const VkSurfaceFormatKHR& f : formats)
        if ((f.format == VK_FORMAT_B8G8R8A8_SRGB || f.format == VK_FORMAT_R8G8B8A8_SRGB) &&
            f.colorSpace == VK_COLOR_SPACE_SRGB_NONLINEAR_KHR)
            return f;
    return formats.front();
}

VkFormat selectDepthFormat(const std::function<VkFormatFeatureFlags(VkFormat)>& optimalTilingFeatures) {
    for (VkFormat f : {VK_FORMAT_D32_SFLOAT, VK_FORMAT_D32_SFLOAT_S8_UINT, VK_FORMAT_D24_UNORM_S8_UINT})
        if (optimalTilingFeatures(f) & VK_FORMAT_FEATURE_DEPTH_STENCIL_ATTACHMENT_BIT)
            return f;
    return VK_FORMAT_UNDEFINED;
}

int selectMemoryType(const VkPhysicalDeviceMemoryProperties& memory, uint32_t typeBits,
                     VkMemoryPropertyFlags wanted) {
    for (uint32_t i = 0; i < memory.memoryTypeCount && i < 32; ++i)
        if ((typeBits & (1u << i)) && (memory.memoryTypes[i].propertyFlags & wanted) == wanted)
            return int(i);
    return -1;
}

uint32_t selectImageCount(uint32_t desired, const VkSurfaceCapabilitiesKHR& caps) {
    uint32_t count = desired < caps.minImageCount ? caps.minImageCount : desired;
    if (caps.maxImageCount != 0 && count > caps.maxImageCount)
        count = caps.maxImageCount;
    return count;
}

static uint32_t clampU32(uint32_t v, uint32_t lo, uint32_t hi) { return v < lo ? lo : (v > hi ? hi : v); }

VkExtent2D clampExtent(uint32_t width, uint32_t height, const VkSurfaceCapabilitiesKHR& caps) {
    return {clampU32(width, caps.minImageExtent.width, caps.maxImageExtent.width),
            clampU32(height, caps.minImageExtent.height, caps.maxImageExtent.height)};
}

VkPresentModeKHR selectPresentMode(VkPresentModeKHR wanted, const std::vector<VkPresentModeKHR>& offered) {
    for (VkPresentModeKHR m : offered)
        if (m == wanted)
            return wanted;
    return VK_PRESENT_MODE_FIFO_KHR;
}

std::vector<std::string> missingRequiredFeatures(const DeviceFeatureSupport& s) {
    std::vector<std::string> missing;
    if (!s.dynamicRendering)
        missing.push_back("dynamicRendering");
    if (!s.synchronization2)
        missing.push_back("synchronization2");
    if (!s.tessellationShader)
        missing.push_back("tessellationShader");
    return missing;
}

uint32_t findMemoryType(VkPhysicalDevice physicalDevice, uint32_t typeBits, VkMemoryPropertyFlags properties) {
    VkPhysicalDeviceMemoryProperties memory;
    vkGetPhysicalDeviceMemoryProperties(physicalDevice, &memory);
    int index = selectMemoryType(memory, typeBits, properties);
    if (index < 0)
        throw std::runtime_error("failed to find suitable memory type!");
    return uint32_t(index);
}

std::pair<VkBuffer, VkDeviceMemory> createBuffer(VkPhysicalDevice physicalDevice, VkDevice device, VkDeviceSize size,
                                                 VkBufferUsageFlags usage, VkMemoryPropertyFlags properties) {
    VkBufferCreateInfo info{VK_STRUCTURE_TYPE_BUFFER_CREATE_INFO};
    info.size = size;
    info.usage = usage;
    info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    VkBuffer buffer = VK_NULL_HANDLE;
    if (vkCreateBuffer(device, &info, nullptr, &buffer) != VK_SUCCESS)
        throw std::runtime_error("failed to create buffer!");
    VkMemoryRequirements req;
    vkGetBufferMemoryRequirements(device, buffer, &req);
    VkMemoryAllocateInfo alloc{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
    alloc.allocationSize = req.size;
    alloc.memoryTypeIndex = findMemoryType(physicalDevice, req.memoryTypeBits, properties);
    VkDeviceMemory memory = VK_NULL_HANDLE;
    if (vkAllocateMemory(device, &alloc, nullptr, &memory) != VK_SUCCESS) {
        vkDestroyBuffer(device, buffer, nullptr);
        throw std::runtime_error("failed to allocate buffer memory!");
    }
    vkBindBufferMemory(device, buffer, memory, 0);
    return {buffer, memory};
}

static std::vector<QueueFamilyInfo> queryFamilies(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface) {
    uint32_t count = 0;
    vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice, &count, nullptr);
    std::vector<VkQueueFamilyProperties> props(count);
    vkGetPhysicalDeviceQueueFamilyProperties(physicalDevice, &count, props.data());
    std::vector<QueueFamilyInfo> families(count);
    for (uint32_t i = 0; i < count; ++i) {
        families[i].flags = props[i].queueFlags;
        VkBool32 present = VK_TRUE;
        if (surface != VK_NULL_HANDLE)
            vkGetPhysicalDeviceSurfaceSupportKHR(physicalDevice, i, surface, &present);
        families[i].presentSupported = present == VK_TRUE;
    }
    return families;
}

uint32_t pickPhysicalDevice(const VkPhysicalDevice* devices, uint32_t count, VkSurfaceKHR surface) {
    std::vector<std::vector<QueueFamilyInfo>> all;
    for (uint32_t i = 0; i < count; ++i)
        all.push_back(queryFamilies(devices[i], surface));
    int index = selectPhysicalDevice(all);
    if (index < 0)
        ENGINE_ERROR("Unable to find a suitable physical device that supports graphics and presentation on the same "
                     "queue.");
    return uint32_t(index);
}

uint32_t pickQueueFamily(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface) {
    int index = selectQueueFamily(queryFamilies(physicalDevice, surface));
    if (index < 0)
        ENGINE_ERROR("Unable to find a suitable queue family that supports graphics and presentation on the same "
                     "queue.");
    return uint32_t(index);
}

VkSurfaceFormatKHR chooseSurfaceFormat(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface) {
    uint32_t count = 0;
    vkGetPhysicalDeviceSurfaceFormatsKHR(physicalDevice, surface, &count, nullptr);
    std::vector<VkSurfaceFormatKHR> formats(count);
    if (count)
        vkGetPhysicalDeviceSurfaceFormatsKHR(physicalDevice, surface, &count, formats.data());
    formats.resize(count);
    if (formats.empty())
        ENGINE_ERROR("Unable to find supported surface formats.");
    return selectSurfaceFormat(formats);
}

VkFormat findDepthFormat(VkPhysicalDevice physicalDevice) {
    VkFormat format = selectDepthFormat([&](VkFormat f) {
        VkFormatProperties props;
        vkGetPhysicalDeviceFormatProperties(physicalDevice, f, &props);
        return props.optimalTilingFeatures;
    });
    if (format == VK_FORMAT_UNDEFINED)
        throw std::runtime_error("failed to find supported format!");
    return format;
}

std::vector<std::string> split(const std::string& text, char delimiter) {
    std::vector<std::string> pieces;
    std::istringstream stream(text);
    std::string piece;
    while (std::getline(stream, piece, delimiter))
        pieces.push_back(piece);
    return pieces;
}

} // namespace Helper
