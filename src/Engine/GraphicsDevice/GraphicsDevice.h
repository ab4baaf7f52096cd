#pragma once
#include "Engine/GraphicsDevice/GraphicsResource.h"
#include "Engine/GraphicsDevice/ResourceRegistry.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

class WindowSurface;
class CommandContext;
class CommandPoolManager;

// Something the frame's upload pass records into the command buffer before any rendering:
// mesh storages to flush, images with staging data, structured buffers with copy regions.
class UploadSource {
public:
    virtual ~UploadSource() = default;
    virtual void recordUpload(CommandContext* context) = 0;
};

// The process-wide device: queue, frame slots, pending uploads and the resource registry.
class GraphicsDevice : public GraphicsResource {
public:
    GraphicsDevice(WindowSurface* window, VkPhysicalDevice physicalDevice, VkDevice device, uint32_t queueFamily);
    ~GraphicsDevice() override; // destroys the VkDevice

    WindowSurface* window = nullptr;
    VkPhysicalDeviceProperties properties{};
    VkPhysicalDevice physicalDevice = VK_NULL_HANDLE;
    VkDevice device = VK_NULL_HANDLE;
    VkQueue queue = VK_NULL_HANDLE;
    uint32_t queueFamilyIndex = 0;
    CommandPoolManager* commandPools = nullptr; // the engine bundle's (it sits above the device)
    uint32_t frameIndex = 0;
    uint32_t hdrColorFormat = VK_FORMAT_R16G16B16A16_SFLOAT;

    // Pending uploads, drained by the upload pass at the start of the next recorded frame.
    std::vector<UploadSource*> pendingMeshFlushes; // guarded by uploadMutex (the prediction worker appends)
    std::vector<UploadSource*> pendingImageUploads;
    std::vector<UploadSource*> pendingBufferCopies;
    std::mutex uploadMutex;

    ResourceRegistry registry;
    uint32_t desiredImageCount = 3;
    uint32_t frameCount = 3; // frames in flight = swap chain image count
    uint32_t drawCount = 0;
    uint32_t lastDrawCount = 0;

    // Optional features found on the device (enabled when present).
    bool wireframeSupported = false;
    bool drawIndirectFirstInstanceSupported = false;

    // Resources every object of a kind shares (pipelines, samplers, unit meshes), made by the first that needs one
    // and keyed by a name of the kind's choosing; the registry owns them, so they go with the device.
    std::unordered_map<std::string, GraphicsResource*> shared;

    void queueMeshFlush(UploadSource* source);
};

// The device's shared resource named `key`, made by `make` (a registered resource) on first use.
template <class T, class Make> T* sharedResource(GraphicsDevice* device, const std::string& key, Make&& make) {
    auto found = device->shared.find(key);
    if (found != device->shared.end())
        return static_cast<T*>(found->second);
    T* made = make();
    device->shared.emplace(key, made);
    return made;
}

// Creates the device on the first suitable GPU. `surface` may be null for headless use.
// Stops with a clear error when a feature the renderer needs is missing.
GraphicsDevice* createDevice(VkInstance instance, VkSurfaceKHR surface, WindowSurface* window);

void registerResource(GraphicsDevice* device, GraphicsResource* resource);
void unregisterResource(GraphicsDevice* device, GraphicsResource* resource);

// Draw counters, frame index advance and release of deferred deletions the GPU is done with.
void endFrame(GraphicsDevice* device);

// Waits for the device to be idle and deletes every registered resource tier by tier.
void teardownDevice(GraphicsDevice* device);
