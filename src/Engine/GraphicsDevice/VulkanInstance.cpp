#include "Engine/GraphicsDevice/VulkanInstance.h"

#include <GLFW/glfw3.h>

#include <iostream>

static void printGlfwError(int code, const char* description) {
    std::cout << "GLFW error " << code << ": " << description << std::endl;
}

VkResult VulkanInstance::createWith(const std::vector<const char*>& extensionNames) {
    VkApplicationInfo app{VK_STRUCTURE_TYPE_APPLICATION_INFO};
    app.pApplicationName = "Kestrune";
    app.pEngineName = "Engine";
    // VK_MAKE_VERSION(2025, 11, 23): the major number overflows its field, giving 0xFA40B017.
    app.applicationVersion = 0xFA40B017u;
    app.engineVersion = 0xFA40B017u;
    app.apiVersion = VK_API_VERSION_1_3;

    std::vector<const char*> layerNames;
    for (const std::string& l : layers)
        layerNames.push_back(l.c_str());

    VkInstanceCreateInfo info{VK_STRUCTURE_TYPE_INSTANCE_CREATE_INFO};
    info.pApplicationInfo = &app;
    info.enabledExtensionCount = uint32_t(extensionNames.size());
    info.ppEnabledExtensionNames = extensionNames.data();
    info.enabledLayerCount = uint32_t(layerNames.size());
    info.ppEnabledLayerNames = layerNames.data();
    return vkCreateInstance(&info, nullptr, &instance);
}

void VulkanInstance::create() {
    if (!glfwInit())
        return;
    glfwInitialised = true;
    glfwSetErrorCallback(printGlfwError);

    std::vector<const char*> names;
    for (const std::string& e : extensions)
        names.push_back(e.c_str());
    uint32_t glfwCount = 0;
    const char** glfwNames = glfwGetRequiredInstanceExtensions(&glfwCount);
    for (uint32_t i = 0; i < glfwCount; ++i)
        names.push_back(glfwNames[i]);
    if (!glfwVulkanSupported())
        std::cout << "GLFW: Vulkan not supported!\n";
    for (const char* n : names)
        std::cout << n << "\n";

    VkResult result = createWith(names);
    std::cout << "vkCreateInstance: " << int(result) << std::endl;
    if (result != VK_SUCCESS)
        instance = VK_NULL_HANDLE;
}

void VulkanInstance::createHeadless() {
    std::vector<const char*> names;
    for (const std::string& e : extensions)
        names.push_back(e.c_str());
    if (createWith(names) != VK_SUCCESS)
        instance = VK_NULL_HANDLE;
}

void VulkanInstance::destroy() {
    if (instance != VK_NULL_HANDLE)
        vkDestroyInstance(instance, nullptr);
    instance = VK_NULL_HANDLE;
    if (glfwInitialised)
        glfwTerminate();
    glfwInitialised = false;
}
