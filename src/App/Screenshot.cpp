#include "App/Screenshot.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>

#include <ctime>
#include <iostream>

ScreenshotCapture::~ScreenshotCapture() { release(); }

void ScreenshotCapture::release() {
    if (buffer != VK_NULL_HANDLE)
        vkDestroyBuffer(device->device, buffer, nullptr);
    if (memory != VK_NULL_HANDLE)
        vkFreeMemory(device->device, memory, nullptr);
    buffer = VK_NULL_HANDLE;
    memory = VK_NULL_HANDLE;
    capacity = 0;
}

void ScreenshotCapture::recordCopy(CommandContext* context, VkImage image, VkFormat format_, uint32_t w, uint32_t h,
                                   const std::string& path_) {
    VkDeviceSize size = VkDeviceSize(w) * h * 4;
    if (size > capacity) {
        release();
        auto [b, m] = Helper::createBuffer(device->physicalDevice, device->device, size,
                                           VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                                           VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT | VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
        buffer = b;
        memory = m;
        capacity = size;
    }
    width = w;
    height = h;
    format = format_;
    path = path_;
    VkImageSubresourceRange range{VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    imageBarrier(context, image, range, VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL,
                 VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT,
                 VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT, VK_PIPELINE_STAGE_2_COPY_BIT, VK_ACCESS_2_TRANSFER_READ_BIT);
    VkBufferImageCopy region{};
    region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 0, 1};
    region.imageExtent = {w, h, 1};
    vkCmdCopyImageToBuffer(context->commandBuffer, image, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL, buffer, 1, &region);
    imageBarrier(context, image, range, VK_IMAGE_LAYOUT_TRANSFER_SRC_OPTIMAL,
                 VK_IMAGE_LAYOUT_COLOR_ATTACHMENT_OPTIMAL, VK_PIPELINE_STAGE_2_COPY_BIT, VK_ACCESS_2_NONE,
                 VK_PIPELINE_STAGE_2_COLOR_ATTACHMENT_OUTPUT_BIT, VK_ACCESS_2_COLOR_ATTACHMENT_WRITE_BIT);
}

bool ScreenshotCapture::writePending() {
    if (path.empty())
        return false;
    void* mapped = nullptr;
    vkMapMemory(device->device, memory, 0, VkDeviceSize(width) * height * 4, 0, &mapped);
    std::vector<uint8_t> rgba = toRgba8(static_cast<const uint8_t*>(mapped), width, height, format);
    vkUnmapMemory(device->device, memory);
    if (stbi_write_png(path.c_str(), int(width), int(height), 4, rgba.data(), int(width * 4)))
        std::cout << "Screenshot saved: " << path << std::endl;
    else
        std::cout << "Unable to write screenshot " << path << std::endl;
    path.clear();
    return true;
}

std::string timestampedScreenshotName() {
    std::time_t now = std::time(nullptr);
    std::tm local = *std::localtime(&now); // main thread only
    char name[64];
    std::strftime(name, sizeof name, "screenshot-%Y%m%d-%H%M%S.png", &local);
    return name;
}

std::vector<uint8_t> toRgba8(const uint8_t* pixels, uint32_t width, uint32_t height, VkFormat format) {
    bool bgra = format == VK_FORMAT_B8G8R8A8_SRGB || format == VK_FORMAT_B8G8R8A8_UNORM;
    std::vector<uint8_t> out(size_t(width) * height * 4);
    for (size_t i = 0; i < size_t(width) * height; ++i) {
        const uint8_t* p = pixels + i * 4;
        out[i * 4 + 0] = bgra ? p[2] : p[0];
        out[i * 4 + 1] = p[1];
        out[i * 4 + 2] = bgra ? p[0] : p[2];
        out[i * 4 + 3] = 255;
    }
    return out;
}
