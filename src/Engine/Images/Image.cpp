#include "Engine/Images/Image.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Dds.h"

#include <algorithm>
#include <cstring>
#include <stdexcept>

void ImageView::create(GraphicsDevice* device_, VkImage image, VkFormat format, VkImageAspectFlags aspect,
                       uint32_t levelCount, uint32_t layerCount, VkImageViewType viewType) {
    device = device_;
    VkImageViewCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_VIEW_CREATE_INFO};
    info.image = image;
    info.viewType = viewType;
    info.format = format;
    info.subresourceRange = {aspect, 0, levelCount, 0, layerCount};
    if (vkCreateImageView(device->device, &info, nullptr, &view) != VK_SUCCESS)
        throw std::runtime_error("failed to create texture image view!");
    ownsView = 1;
}

void ImageView::destroy() {
    if (ownsView && view != VK_NULL_HANDLE)
        vkDestroyImageView(device->device, view, nullptr);
    view = VK_NULL_HANDLE;
}

Image::~Image() {
    imageView.destroy();
    VkDevice d = owner->device;
    if (ownsImage) {
        if (image != VK_NULL_HANDLE)
            vkDestroyImage(d, image, nullptr);
        if (memory != VK_NULL_HANDLE)
            vkFreeMemory(d, memory, nullptr);
    }
    for (StagingUpload& s : stagingUploads) {
        vkDestroyBuffer(d, s.buffer, nullptr);
        vkFreeMemory(d, s.memory, nullptr);
    }
}

void Image::registerWith(GraphicsDevice* device_) {
    owner = device_;
    device = device_;
    tier = TierMemory;
    deferredRelease = 1;
    registerResource(device_, this);
}

void Image::createImage(GraphicsDevice* d, uint32_t w, uint32_t h, VkFormat fmt, VkImageUsageFlags usage,
                        VkImageAspectFlags aspect, uint32_t mipLevels, uint32_t arrayLayers,
                        VkImageCreateFlags flags) {
    owner = d;
    width = w;
    height = h;
    format = fmt;
    range = {aspect, 0, mipLevels, 0, arrayLayers};
    viewAspect = aspect;
    VkImageCreateInfo info{VK_STRUCTURE_TYPE_IMAGE_CREATE_INFO};
    info.flags = flags;
    info.imageType = VK_IMAGE_TYPE_2D;
    info.format = fmt;
    info.extent = {w, h, 1};
    info.mipLevels = mipLevels;
    info.arrayLayers = arrayLayers;
    info.samples = VK_SAMPLE_COUNT_1_BIT;
    info.tiling = VK_IMAGE_TILING_OPTIMAL;
    info.usage = usage;
    info.sharingMode = VK_SHARING_MODE_EXCLUSIVE;
    info.initialLayout = VK_IMAGE_LAYOUT_UNDEFINED;
    if (vkCreateImage(d->device, &info, nullptr, &image) != VK_SUCCESS)
        throw std::runtime_error("failed to create image!");
    VkMemoryRequirements req;
    vkGetImageMemoryRequirements(d->device, image, &req);
    VkMemoryAllocateInfo alloc{VK_STRUCTURE_TYPE_MEMORY_ALLOCATE_INFO};
    alloc.allocationSize = req.size;
    alloc.memoryTypeIndex =
        Helper::findMemoryType(d->physicalDevice, req.memoryTypeBits, VK_MEMORY_PROPERTY_DEVICE_LOCAL_BIT);
    if (vkAllocateMemory(d->device, &alloc, nullptr, &memory) != VK_SUCCESS) {
        vkDestroyImage(d->device, image, nullptr);
        image = VK_NULL_HANDLE;
        throw std::runtime_error("failed to allocate image memory!");
    }
    vkBindImageMemory(d->device, image, memory, 0);
}

void Image::addStagingUpload(const void* bytes, size_t size, uint32_t w, uint32_t h, uint32_t baseLayer,
                             uint32_t layerCount, uint32_t mipLevel) {
    StagingUpload s;
    auto [buffer, mem] = Helper::createBuffer(owner->physicalDevice, owner->device, size,
                                              VK_BUFFER_USAGE_TRANSFER_SRC_BIT | VK_BUFFER_USAGE_TRANSFER_DST_BIT,
                                              VK_MEMORY_PROPERTY_HOST_VISIBLE_BIT |
                                                  VK_MEMORY_PROPERTY_HOST_COHERENT_BIT);
    void* mapped = nullptr;
    vkMapMemory(owner->device, mem, 0, size, 0, &mapped);
    std::memcpy(mapped, bytes, size);
    vkUnmapMemory(owner->device, mem);
    s.buffer = buffer;
    s.memory = mem;
    s.width = w;
    s.height = h;
    s.baseArrayLayer = baseLayer;
    s.layerCount = layerCount;
    s.mipLevel = mipLevel;
    stagingUploads.push_back(s);
}

void Image::recordUpload(CommandContext* context) {
    imageBarrier(context, image, range, VK_IMAGE_LAYOUT_UNDEFINED, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                 VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, VK_ACCESS_2_SHADER_READ_BIT,
                 VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, VK_ACCESS_2_TRANSFER_WRITE_BIT);
    for (const StagingUpload& s : stagingUploads) {
        VkBufferImageCopy region{};
        region.imageSubresource = {VK_IMAGE_ASPECT_COLOR_BIT, s.mipLevel, s.baseArrayLayer, s.layerCount};
        region.imageExtent = {s.width, s.height, 1};
        vkCmdCopyBufferToImage(context->commandBuffer, s.buffer, image, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL, 1,
                               &region);
    }
    imageBarrier(context, image, range, VK_IMAGE_LAYOUT_TRANSFER_DST_OPTIMAL,
                 VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT,
                 VK_ACCESS_2_TRANSFER_WRITE_BIT, VK_PIPELINE_STAGE_2_ALL_COMMANDS_BIT, VK_ACCESS_2_SHADER_READ_BIT);
}

Image2D::Image2D(GraphicsDevice* d, uint32_t w, uint32_t h, VkFormat fmt, VkImageUsageFlags usage,
                 VkImageAspectFlags aspect, uint32_t mipLevels) {
    createImage(d, w, h, fmt, usage, aspect, mipLevels, 1, 0);
    try {
        imageView.create(d, image, fmt, aspect, mipLevels, 1, VK_IMAGE_VIEW_TYPE_2D);
    } catch (...) {
        vkDestroyImage(d->device, image, nullptr);
        vkFreeMemory(d->device, memory, nullptr);
        throw;
    }
    registerWith(d);
}

Image2D::Image2D(GraphicsDevice* d, VkImage external, uint32_t w, uint32_t h, VkFormat fmt) {
    owner = d;
    ownsImage = 0;
    image = external;
    width = w;
    height = h;
    format = fmt;
    range = {VK_IMAGE_ASPECT_COLOR_BIT, 0, 1, 0, 1};
    viewAspect = VK_IMAGE_ASPECT_COLOR_BIT;
    imageView.create(d, image, fmt, VK_IMAGE_ASPECT_COLOR_BIT, 1, 1, VK_IMAGE_VIEW_TYPE_2D);
    registerWith(d);
}

ImageCube::ImageCube(GraphicsDevice* d, uint32_t w, uint32_t h, VkFormat fmt, VkImageUsageFlags usage,
                     uint32_t mipLevels) {
    createImage(d, w, h, fmt, usage, VK_IMAGE_ASPECT_COLOR_BIT, mipLevels, 6, VK_IMAGE_CREATE_CUBE_COMPATIBLE_BIT);
    try {
        imageView.create(d, image, fmt, VK_IMAGE_ASPECT_COLOR_BIT, mipLevels, 6, VK_IMAGE_VIEW_TYPE_CUBE);
    } catch (...) {
        vkDestroyImage(d->device, image, nullptr);
        vkFreeMemory(d->device, memory, nullptr);
        throw;
    }
    registerWith(d);
}

Sampler::Sampler(GraphicsDevice* d, const VkSamplerCreateInfo& info) : owner(d) {
    if (vkCreateSampler(d->device, &info, nullptr, &sampler) != VK_SUCCESS)
        throw std::runtime_error("failed to create texture sampler!");
    device = d;
    tier = TierSampler;
    registerResource(d, this);
}

Sampler::~Sampler() { vkDestroySampler(owner->device, sampler, nullptr); }

VkSamplerCreateInfo Sampler::defaultInfo(float maxAnisotropy) {
    VkSamplerCreateInfo info{VK_STRUCTURE_TYPE_SAMPLER_CREATE_INFO};
    info.magFilter = VK_FILTER_LINEAR;
    info.minFilter = VK_FILTER_LINEAR;
    info.mipmapMode = VK_SAMPLER_MIPMAP_MODE_LINEAR;
    info.addressModeU = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    info.addressModeV = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    info.addressModeW = VK_SAMPLER_ADDRESS_MODE_CLAMP_TO_EDGE;
    info.maxAnisotropy = maxAnisotropy;
    info.anisotropyEnable = VK_FALSE;
    info.compareEnable = VK_FALSE;
    info.borderColor = VkBorderColor(0);
    info.minLod = -1000.0f;
    info.maxLod = 1000.0f;
    return info;
}

void imageBarrier(CommandContext* context, VkImage image, const VkImageSubresourceRange& range,
                  VkImageLayout oldLayout, VkImageLayout newLayout, VkPipelineStageFlags2 srcStage,
                  VkAccessFlags2 srcAccess, VkPipelineStageFlags2 dstStage, VkAccessFlags2 dstAccess) {
    VkImageMemoryBarrier2 barrier{VK_STRUCTURE_TYPE_IMAGE_MEMORY_BARRIER_2};
    barrier.srcStageMask = srcStage;
    barrier.srcAccessMask = srcAccess;
    barrier.dstStageMask = dstStage;
    barrier.dstAccessMask = dstAccess;
    barrier.oldLayout = oldLayout;
    barrier.newLayout = newLayout;
    barrier.srcQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.dstQueueFamilyIndex = VK_QUEUE_FAMILY_IGNORED;
    barrier.image = image;
    barrier.subresourceRange = range;
    VkDependencyInfo dependency{VK_STRUCTURE_TYPE_DEPENDENCY_INFO};
    dependency.imageMemoryBarrierCount = 1;
    dependency.pImageMemoryBarriers = &barrier;
    vkCmdPipelineBarrier2(context->commandBuffer, &dependency);
}

namespace {

// Stops with a clear error when the device cannot sample or fill images of this format and size.
void checkSampleable(GraphicsDevice* device, VkFormat format, uint32_t size, uint32_t maxSize,
                     const std::string& path) {
    VkFormatProperties props{};
    vkGetPhysicalDeviceFormatProperties(device->physicalDevice, format, &props);
    VkFormatFeatureFlags needed = VK_FORMAT_FEATURE_SAMPLED_IMAGE_BIT | VK_FORMAT_FEATURE_TRANSFER_DST_BIT;
    ENGINE_CHECK((props.optimalTilingFeatures & needed) == needed,
                 "DDS image format " + std::to_string(int(format)) + " of [" + path +
                     "] cannot be sampled on this device");
    ENGINE_CHECK(size <= maxSize, "DDS image [" + path + "] is larger than this device allows");
}

} // namespace

Image2D* createTextureFromDds(GraphicsDevice* device, const std::string& path, VkImageUsageFlags extraUsage) {
    DdsImage dds = Dds::loadTexture2D(path);
    checkSampleable(device, dds.format, std::max(dds.width, dds.height),
                    device->properties.limits.maxImageDimension2D, path);
    auto* image = new Image2D(device, dds.width, dds.height, dds.format,
                              VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT | extraUsage,
                              VK_IMAGE_ASPECT_COLOR_BIT, dds.mipLevels);
    for (uint32_t level = 0; level < dds.mipLevels; ++level) {
        const DdsSurface& s = dds.surface(0, level);
        image->addStagingUpload(dds.data(0, level), s.size, s.width, s.height, 0, 1, level);
    }
    device->pendingImageUploads.push_back(image);
    return image;
}

ImageCube* createCubeFromDdsFaces(GraphicsDevice* device, const std::string& directory,
                                  const std::vector<std::string>& names, VkImageUsageFlags extraUsage) {
    ENGINE_CHECK(names.size() == 6, "A cube map needs six face files, got " + std::to_string(names.size()));
    // Every face is read and checked before any GPU object exists, so a bad face leaks nothing.
    std::vector<DdsImage> faces;
    faces.reserve(6);
    for (const std::string& name : names) {
        std::string path = directory + name;
        faces.push_back(Dds::load(path));
        const DdsImage& face = faces.back();
        if (face.faces != 1)
            ENGINE_ERROR(Dds::loadErrorMessage(path));
        ENGINE_CHECK(face.width == face.height, "Cube map face [" + path + "] is not square");
        ENGINE_CHECK(face.width == faces.front().width && face.format == faces.front().format,
                     "Cube map face [" + path + "] differs in size or format from face [" + directory +
                         names.front() + "]");
    }
    const DdsImage& first = faces.front();
    checkSampleable(device, first.format, first.width, device->properties.limits.maxImageDimensionCube,
                    directory + names.front());
    auto* image = new ImageCube(device, first.width, first.height, first.format,
                                VK_IMAGE_USAGE_TRANSFER_DST_BIT | VK_IMAGE_USAGE_SAMPLED_BIT | extraUsage, 1);
    for (uint32_t i = 0; i < 6; ++i) {
        const DdsSurface& s = faces[i].surface(0, 0);
        image->addStagingUpload(faces[i].data(0, 0), s.size, s.width, s.height, i, 1, 0);
        faces[i].bytes = {};
    }
    device->pendingImageUploads.push_back(image);
    return image;
}

ImageCube* createSkyboxCube(GraphicsDevice* device, const std::vector<std::string>& names) {
    return createCubeFromDdsFaces(device, SkyboxDirectory, names);
}
