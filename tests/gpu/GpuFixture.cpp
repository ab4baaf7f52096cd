#include "GpuFixture.h"

#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/Frame/EngineContext.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <cstdlib>
#include <string>

VulkanInstance* GpuTest::instance = nullptr;
EngineContext* GpuTest::engine = nullptr;
GraphicsDevice* GpuTest::device = nullptr;
DsDeviceMeshSingle* GpuTest::meshStorage = nullptr;
DescriptorPool* GpuTest::descriptorPool = nullptr;
DsUniformSingle* GpuTest::uniformStorage = nullptr;
DsStorageSingle* GpuTest::storageBufferStorage = nullptr;
Demo::Services GpuTest::services;
Demo::RandomSource GpuTest::random;
Demo::BodyVisualBuilder GpuTest::bodyVisuals;

namespace {
// Validation messages seen while the suite ran (the layer is on when VK_INSTANCE_LAYERS names it; the tier's
// layer settings file, tests/vk_layer_settings.txt, adds warnings, performance warnings and synchronization hazards).
std::vector<std::string> validationMessages;
VkDebugUtilsMessengerEXT messenger = VK_NULL_HANDLE;

VKAPI_ATTR VkBool32 VKAPI_CALL onValidationMessage(VkDebugUtilsMessageSeverityFlagBitsEXT,
                                                   VkDebugUtilsMessageTypeFlagsEXT,
                                                   const VkDebugUtilsMessengerCallbackDataEXT* data, void*) {
    validationMessages.push_back(data->pMessage ? data->pMessage : "(no message)");
    return VK_FALSE;
}

bool debugUtilsAvailable() {
    uint32_t count = 0;
    vkEnumerateInstanceExtensionProperties(nullptr, &count, nullptr);
    std::vector<VkExtensionProperties> extensions(count);
    vkEnumerateInstanceExtensionProperties(nullptr, &count, extensions.data());
    for (const VkExtensionProperties& e : extensions)
        if (std::string(e.extensionName) == VK_EXT_DEBUG_UTILS_EXTENSION_NAME)
            return true;
    return false;
}
} // namespace

void GpuTest::SetUpTestSuite() {
    // The tier's layer settings also when the binary is started by hand (ctest sets them); a path given by the
    // caller is kept.
    setenv("VK_LAYER_SETTINGS_PATH", KESTRUNE_LAYER_SETTINGS, 0);
    instance = new VulkanInstance();
    bool debugUtils = debugUtilsAvailable();
    if (debugUtils)
        instance->extensions.push_back(VK_EXT_DEBUG_UTILS_EXTENSION_NAME);
    instance->createHeadless();
    ASSERT_NE(instance->instance, VK_NULL_HANDLE) << "no Vulkan instance (is mesa-vulkan-drivers installed?)";
    validationMessages.clear();
    if (debugUtils) {
        auto create = reinterpret_cast<PFN_vkCreateDebugUtilsMessengerEXT>(
            vkGetInstanceProcAddr(instance->instance, "vkCreateDebugUtilsMessengerEXT"));
        VkDebugUtilsMessengerCreateInfoEXT info{VK_STRUCTURE_TYPE_DEBUG_UTILS_MESSENGER_CREATE_INFO_EXT};
        info.messageSeverity =
            VK_DEBUG_UTILS_MESSAGE_SEVERITY_WARNING_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_SEVERITY_ERROR_BIT_EXT;
        info.messageType =
            VK_DEBUG_UTILS_MESSAGE_TYPE_VALIDATION_BIT_EXT | VK_DEBUG_UTILS_MESSAGE_TYPE_PERFORMANCE_BIT_EXT;
        info.pfnUserCallback = onValidationMessage;
        if (create)
            create(instance->instance, &info, nullptr, &messenger);
    }
    engine = new EngineContext(instance->instance, VK_NULL_HANDLE, nullptr);
    device = engine->device;
    device->hdrColorFormat = VK_FORMAT_R32G32B32A32_SFLOAT;
    meshStorage = engine->meshStorage;
    descriptorPool = engine->descriptorPool;
    uniformStorage = engine->uniformStorage;
    storageBufferStorage = engine->storageBufferStorage;
    random = Demo::RandomSource{};
    services = Demo::Services{};
    services.device = device;
    services.descriptorPool = descriptorPool;
    services.meshStorage = meshStorage;
    services.uniformStorage = uniformStorage;
    services.storageBufferStorage = storageBufferStorage;
    services.random = &random;
    services.bodyVisuals = &bodyVisuals;
}

void GpuTest::TearDownTestSuite() {
    delete engine;
    engine = nullptr;
    device = nullptr;
    meshStorage = nullptr;
    descriptorPool = nullptr;
    uniformStorage = nullptr;
    storageBufferStorage = nullptr;
    services = Demo::Services{};
    if (instance && messenger != VK_NULL_HANDLE) {
        auto destroy = reinterpret_cast<PFN_vkDestroyDebugUtilsMessengerEXT>(
            vkGetInstanceProcAddr(instance->instance, "vkDestroyDebugUtilsMessengerEXT"));
        if (destroy)
            destroy(instance->instance, messenger, nullptr);
        messenger = VK_NULL_HANDLE;
    }
    if (instance)
        instance->destroy();
    delete instance;
    instance = nullptr;
    for (const std::string& message : validationMessages)
        ADD_FAILURE() << "validation: " << message;
    validationMessages.clear();
}

std::vector<std::string> GpuTest::takeValidationMessages() {
    std::vector<std::string> taken;
    taken.swap(validationMessages);
    return taken;
}

void GpuTest::runOnce(const std::function<void(CommandContext*)>& record) {
    OneShotCommands commands(device);
    record(commands.begin());
    commands.submitAndWait();
}

void GpuTest::toAttachmentLayouts(CommandContext* c, Image2D* color, Image2D* depth) {
    imageBarrier(c, color->image, color->range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT, VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
    if (depth)
        imageBarrier(c, depth->image, depth->range, VK_IMAGE_LAYOUT_UNDEFINED,
                     VK_IMAGE_LAYOUT_DEPTH_STENCIL_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_TOP_OF_PIPE_BIT,
                     VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_EARLY_FRAGMENT_TESTS_BIT,
                     VK_ACCESS_2_DEPTH_STENCIL_ATTACHMENT_WRITE_BIT);
}

void GpuTest::beginClearedRendering(CommandContext* c, VkImageView color, VkImageView depth, VkImageLayout depthLayout,
                                    uint32_t width, uint32_t height, VkClearColorValue clear) {
    VkRenderingAttachmentInfo colorAttachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    colorAttachment.imageView = color;
    colorAttachment.imageLayout = VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL;
    colorAttachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    colorAttachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    colorAttachment.clearValue.color = clear;
    VkRenderingAttachmentInfo depthAttachment{VK_STRUCTURE_TYPE_RENDERING_ATTACHMENT_INFO};
    depthAttachment.imageView = depth;
    depthAttachment.imageLayout = depthLayout;
    depthAttachment.loadOp = VK_ATTACHMENT_LOAD_OP_CLEAR;
    depthAttachment.storeOp = VK_ATTACHMENT_STORE_OP_STORE;
    depthAttachment.clearValue.depthStencil = {1.0f, 0};
    VkRenderingInfo info{VK_STRUCTURE_TYPE_RENDERING_INFO};
    info.renderArea = {{0, 0}, {width, height}};
    info.layerCount = 1;
    info.colorAttachmentCount = 1;
    info.pColorAttachments = &colorAttachment;
    info.pDepthAttachment = depth != VK_NULL_HANDLE ? &depthAttachment : nullptr;
    vkCmdBeginRendering(c->commandBuffer, &info);
}

// Records `copy` into a one-shot submission that fills a host-visible buffer of `size` bytes, then returns them.
static std::vector<uint8_t> readBack(GraphicsDevice* device, VkDeviceSize size,
                                     const std::function<void(CommandContext*, VkBuffer)>& copy) {
    auto [staging, memory] =
        Helper::createBuffer(device->physicalDevice, device->device, size, VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                             VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    OneShotCommands commands(device);
    copy(commands.begin(), staging);
    commands.submitAndWait();
    std::vector<uint8_t> bytes(size);
    void* mapped = nullptr;
    vkMapMemory(device->device, memory, 0, size, 0, &mapped);
    std::memcpy(bytes.data(), mapped, size);
    vkUnmapMemory(device->device, memory);
    vkDestroyBuffer(device->device, staging, nullptr);
    vkFreeMemory(device->device, memory, nullptr);
    return bytes;
}

std::vector<uint8_t> GpuTest::readBuffer(VkBuffer buffer, VkDeviceSize offset, VkDeviceSize size) {
    return readBack(device, size, [&](CommandContext* c, VkBuffer staging) {
        VkBufferCopy region{offset, 0, size};
        vkCmdCopyBuffer(c->commandBuffer, buffer, staging, 1, &region);
    });
}

std::vector<uint8_t> GpuTest::readImage(VkImage image, uint32_t width, uint32_t height, uint32_t bytesPerPixel,
                                        uint32_t layer, uint32_t mip, VkImageLayout layout) {
    return readBack(device, VkDeviceSize(width) * height * bytesPerPixel, [&](CommandContext* c, VkBuffer staging) {
        VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, mip, 1, layer, 1};
        imageBarrier(c, image, range, layout, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                     VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, VK_ACCESS_2_MEMORY_WRITE_BIT, VK_PIPELINE_STAGE_2_COPY_BIT,
                     VK_ACCESS_2_TRANSFER_READ_BIT);
        VkBufferImageCopy region{};
        region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, mip, layer, 1};
        region.imageExtent = {width, height, 1};
        vkCmdCopyImageToBuffer(c->commandBuffer, image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, staging, 1, &region);
        imageBarrier(c, image, range, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, layout, VK_PIPELINE_STAGE_2_COPY_BIT,
                     VK_ACCESS_2_NONE, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, VK_ACCESS_2_MEMORY_READ_BIT);
    });
}
