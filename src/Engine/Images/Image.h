#pragma once
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// A view of an image; owned views are destroyed with their owner.
class ImageView {
public:
    GraphicsDevice* device = nullptr;
    uint8_t ownsView = 0;
    VkImageView view = VK_NULL_HANDLE;

    void create(GraphicsDevice* device, VkImage image, VkFormat format, VkImageAspectFlags aspect,
                uint32_t levelCount, uint32_t layerCount, VkImageViewType viewType);
    void destroy();
};

// Staging data copied into one mip level and layer range by the upload pass.
struct StagingUpload {
    VkBuffer buffer = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t baseArrayLayer = 0;
    uint32_t layerCount = 1;
    uint32_t mipLevel = 0;
};

// A device-local image with its memory and one view. Released with deferred destruction.
class Image : public GraphicsResource, public UploadSource {
public:
    ~Image() override;
    virtual VkImageViewType viewType() const = 0;

    // Transitions the whole image to transfer-dst, copies every staging upload, then to shader-read.
    void recordUpload(CommandContext* context) override;
    // Creates a host-visible staging buffer holding `bytes` for one level/layer range and queues it.
    void addStagingUpload(const void* bytes, size_t size, uint32_t width, uint32_t height, uint32_t baseLayer,
                          uint32_t layerCount, uint32_t mipLevel);

    GraphicsDevice* owner = nullptr;
    uint8_t ownsImage = 1;
    VkImage image = VK_NULL_HANDLE;
    VkDeviceMemory memory = VK_NULL_HANDLE;
    VkFormat format = VK_FORMAT_UNDEFINED;
    VkImageSubresourceRange range{};
    VkImageAspectFlags viewAspect = 0;
    std::vector<StagingUpload> stagingUploads;
    ImageView imageView;
    uint32_t width = 0;
    uint32_t height = 0;

protected:
    Image() = default;
    void createImage(GraphicsDevice* device, uint32_t width, uint32_t height, VkFormat format,
                     VkImageUsageFlags usage, VkImageAspectFlags aspect, uint32_t mipLevels, uint32_t arrayLayers,
                     VkImageCreateFlags flags);
    void registerWith(GraphicsDevice* device);
};

class Image2D : public Image {
public:
    // Creates and registers a 2D image with a view over all its mip levels.
    Image2D(GraphicsDevice* device, uint32_t width, uint32_t height, VkFormat format, VkImageUsageFlags usage,
            VkImageAspectFlags aspect, uint32_t mipLevels);
    // Wraps an image owned elsewhere (swap chain images) and gives it an owned 2D colour view.
    Image2D(GraphicsDevice* device, VkImage image, uint32_t width, uint32_t height, VkFormat format);
    VkImageViewType viewType() const override { return VK_IMAGE_VIEW_TYPE_2D; }
};

class ImageCube : public Image {
public:
    ImageCube(GraphicsDevice* device, uint32_t width, uint32_t height, VkFormat format, VkImageUsageFlags usage,
              uint32_t mipLevels);
    VkImageViewType viewType() const override { return VK_IMAGE_VIEW_TYPE_CUBE; }
};

class Sampler : public GraphicsResource {
public:
    Sampler(GraphicsDevice* device, const VkSamplerCreateInfo& info);
    ~Sampler() override;
    // Linear filtering, clamp to edge, the LOD range and anisotropy every sampler of the system uses.
    static VkSamplerCreateInfo defaultInfo(float maxAnisotropy = 1.0f);

    GraphicsDevice* owner = nullptr;
    VkSampler sampler = VK_NULL_HANDLE;
};

// Directory and face files of the sky box, in cube layer order +X, -X, +Y, -Y, +Z, -Z.
inline constexpr const char* SkyboxDirectory = "assets/textures/skybox/";
inline constexpr std::array<const char*, 6> SkyboxFaceFiles = {"right.dds",  "left.dds",  "top.dds",
                                                               "bottom.dds", "front.dds", "back.dds"};

// A texture from a DDS file: an Image2D (transfer dst | sampled | extraUsage) with the file's format and its full
// mip chain, every level staged, queued on device->pendingImageUploads. A file without the full chain, a cube
// file or a format the device cannot sample ends with the DDS load error.
Image2D* createTextureFromDds(GraphicsDevice* device, const std::string& path, VkImageUsageFlags extraUsage = 0);
// A cube map from six DDS files read from directory + names[i] into layer i, level 0 of each, queued for upload.
// The faces must be square and share the first face's size and format.
ImageCube* createCubeFromDdsFaces(GraphicsDevice* device, const std::string& directory,
                                  const std::vector<std::string>& names, VkImageUsageFlags extraUsage = 0);
// The sky box cube: the six names read from SkyboxDirectory.
ImageCube* createSkyboxCube(GraphicsDevice* device, const std::vector<std::string>& names);

// Image layout transition with synchronization2 stage and access masks.
void imageBarrier(CommandContext* context, VkImage image, const VkImageSubresourceRange& range,
                  VkImageLayout oldLayout, VkImageLayout newLayout, VkPipelineStageFlags2 srcStage,
                  VkAccessFlags2 srcAccess, VkPipelineStageFlags2 dstStage, VkAccessFlags2 dstAccess);
