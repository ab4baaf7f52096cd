#pragma once
// The engine bundle: the device, the storages every frame writes into and the descriptor pool, built in one place
// for the program, the gpu tests and the benchmarks, so that all of them run on the program's sizes.
#include <vulkan/vulkan.h>

#include <cstdint>
#include <string>

class WindowSurface;
class GraphicsDevice;
class SwapChain;
class DescriptorPool;
class DsDeviceMeshSingle;
class DsUniformSingle;
class DsStorageSingle;

struct EngineSizes {
    // Sized for the whole solar system: every solid planet's surface set alone binds eight dynamic uniform buffers
    // and its height map twice (sampled and as the generator's storage image).
    std::string descriptorPoolSizes = "UBD_400+SBD_50+SB_50+CIS_64+SI_48";
    uint32_t meshStorageBytes = 10000000;
    // The full solar system writes 108,288 bytes of uniform records a frame when every record is aligned to 256
    // bytes (the largest minUniformBufferOffsetAlignment Vulkan allows); 256 KiB holds that with room for more
    // bodies on any device.
    uint32_t uniformStorageBytes = 256 * 1024;
    uint32_t storageBufferStorageBytes = 16000000;
    // Tests only: aligns every uniform record to at least this many bytes (a power of two), as on a device whose
    // minUniformBufferOffsetAlignment is that large. 0 keeps the device's own.
    uint32_t uniformAlignmentAtLeast = 0;
};

class EngineContext {
public:
    // Creates the device on the first suitable GPU (`surface` null: headless, no swap chain) and the storages; the
    // mesh storage's first slot is begun (every mesh is written into it). Throws after the failing step printed its
    // diagnostic.
    EngineContext(VkInstance instance, VkSurfaceKHR surface, WindowSurface* window, const EngineSizes& sizes = {});
    // Tears the device down with every resource registered on it (storages and pool included), then the swap chain.
    ~EngineContext();
    EngineContext(const EngineContext&) = delete;
    EngineContext& operator=(const EngineContext&) = delete;

    // The window's swap chain (owned from now on), built once here.
    SwapChain* createSwapChain(VkPresentModeKHR presentMode, bool transferSource);
    // Opens the next slot of the uniform and storage-buffer storages: once a frame, before anything writes them.
    void beginFrame();

    GraphicsDevice* device = nullptr;
    SwapChain* swapChain = nullptr; // null until created, and in headless use
    DsDeviceMeshSingle* meshStorage = nullptr;
    DescriptorPool* descriptorPool = nullptr;
    DsUniformSingle* uniformStorage = nullptr;
    DsStorageSingle* storageBufferStorage = nullptr;

private:
    WindowSurface* window = nullptr;
};
