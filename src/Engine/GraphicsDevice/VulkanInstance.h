#pragma once
#include <vulkan/vulkan.h>

#include <string>
#include <vector>

// The process-wide Vulkan instance. Layers come from the loader's environment (VK_INSTANCE_LAYERS),
// so the lists here stay empty.
class VulkanInstance {
public:
    // Initialises GLFW, installs the GLFW error printer and creates the instance with GLFW's extensions.
    // Leaves `instance` null when GLFW cannot be initialised.
    void create();
    // Creates an instance without GLFW or surface extensions (headless tests and tools).
    void createHeadless();
    void destroy();

    VkInstance instance = VK_NULL_HANDLE;
    std::vector<std::string> extensions;
    std::vector<std::string> layers;
    bool glfwInitialised = false;

private:
    VkResult createWith(const std::vector<const char*>& extensionNames);
};
