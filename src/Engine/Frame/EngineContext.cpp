#include "Engine/Frame/EngineContext.h"

#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/SwapChain/SwapChain.h"

EngineContext::EngineContext(VkInstance instance, VkSurfaceKHR surface, WindowSurface* window_,
                             const EngineSizes& sizes)
    : window(window_) {
    device = createDevice(instance, surface, window);
    try {
        device->commandPools = new CommandPoolManager(device);
        meshStorage = new DsDeviceMeshSingle(device, sizes.meshStorageBytes);
        meshStorage->beginSlot();
        descriptorPool = new DescriptorPool(device, sizes.descriptorPoolSizes);
        uniformStorage = new DsUniformSingle(device, sizes.uniformStorageBytes, sizes.uniformAlignmentAtLeast);
        storageBufferStorage = new DsStorageSingle(device, sizes.storageBufferStorageBytes);
    } catch (...) {
        teardownDevice(device);
        delete device->commandPools;
        delete device;
        throw;
    }
}

EngineContext::~EngineContext() {
    // The storages and the pool go with the registry; the swap chain's images too, before the swap chain itself.
    teardownDevice(device);
    delete device->commandPools;
    delete swapChain;
    delete device;
}

SwapChain* EngineContext::createSwapChain(VkPresentModeKHR presentMode, bool transferSource) {
    swapChain = new SwapChain(window, device, presentMode);
    swapChain->transferSource = transferSource;
    swapChain->build();
    return swapChain;
}

void EngineContext::beginFrame() {
    uniformStorage->beginSlot();
    storageBufferStorage->beginSlot();
}
