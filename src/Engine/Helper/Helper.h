#pragma once
// Vulkan helper functions and the engine's error convention.
// The selection rules are plain functions over plain data so they can be tested without a GPU;
// the Vulkan-calling wrappers below them only gather the queried structs.
#include <vulkan/vulkan.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

// Prints "ERROR: msg (in file at line #n)", terminates GLFW and throws std::runtime_error(msg).
[[noreturn]] void reportError(const std::string& message, const char* file, int line);
// True once reportError has terminated GLFW. glfwTerminate destroys every window with it, so their owners must
// not call GLFW for them again (each call would only print "The GLFW library is not initialized").
bool glfwTerminatedByError();
// The file name after the last '/' or '\\'.
const char* sourceFileName(const char* path);

#define ENGINE_ERROR(message) reportError((message), __FILE__, __LINE__)
#define ENGINE_CHECK(condition, message)                                                                               \
    do {                                                                                                               \
        if (!(condition))                                                                                              \
            ENGINE_ERROR(message);                                                                                     \
    } while (0)

namespace Helper {

struct QueueFamilyInfo {
    VkQueueFlags flags = 0;
    bool presentSupported = false;
};

// Index of the first device with a graphics family that can present; -1 when there is none.
int selectPhysicalDevice(const std::vector<std::vector<QueueFamilyInfo>>& devices);
// Index of the first family with graphics, compute and presentation; -1 when there is none.
int selectQueueFamily(const std::vector<QueueFamilyInfo>& families);
// First B8G8R8A8_SRGB / R8G8B8A8_SRGB entry in the sRGB non-linear colour space, else the first entry.
// The list must not be empty.
VkSurfaceFormatKHR selectSurfaceFormat(const std::vector<VkSurfaceFormatKHR>& formats);
// D32, D32S8, D24S8: the first whose optimal tiling supports depth attachments; UNDEFINED when none.
VkFormat selectDepthFormat(const std::function<VkFormatFeatureFlags(VkFormat)>& optimalTilingFeatures);
// Lowest memory type index allowed by typeBits that has all wanted property bits; -1 when none.
int selectMemoryType(const VkPhysicalDeviceMemoryProperties& memory, uint32_t typeBits,
                     VkMemoryPropertyFlags wanted);
// The desired count clamped to the surface's minimum and, when it reports one, its maximum.
uint32_t selectImageCount(uint32_t desired, const VkSurfaceCapabilitiesKHR& caps);
// The window size clamped to the surface's extent range.
VkExtent2D clampExtent(uint32_t width, uint32_t height, const VkSurfaceCapabilitiesKHR& caps);
// The wanted present mode when the surface offers it, otherwise FIFO (which every surface must offer).
VkPresentModeKHR selectPresentMode(VkPresentModeKHR wanted, const std::vector<VkPresentModeKHR>& offered);

// Features the renderer cannot work without; the names of those missing (empty when all are present).
struct DeviceFeatureSupport {
    bool dynamicRendering = false;
    bool synchronization2 = false;
    bool tessellationShader = false;
};
std::vector<std::string> missingRequiredFeatures(const DeviceFeatureSupport& support);

// Vulkan-calling wrappers.
uint32_t findMemoryType(VkPhysicalDevice physicalDevice, uint32_t typeBits, VkMemoryPropertyFlags properties);
std::pair<VkBuffer, VkDeviceMemory> createBuffer(VkPhysicalDevice physicalDevice, VkDevice device, VkDeviceSize size,
                                                 VkBufferUsageFlags usage, VkMemoryPropertyFlags properties);
// A null surface (headless use) counts as presentable.
uint32_t pickPhysicalDevice(const VkPhysicalDevice* devices, uint32_t count, VkSurfaceKHR surface);
uint32_t pickQueueFamily(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface);
VkSurfaceFormatKHR chooseSurfaceFormat(VkPhysicalDevice physicalDevice, VkSurfaceKHR surface);
VkFormat findDepthFormat(VkPhysicalDevice physicalDevice);

// Every piece between delimiters, empty ones included (std::getline semantics).
std::vector<std::string> split(const std::string& text, char delimiter);

} // namespace Helper
