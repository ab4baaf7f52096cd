#pragma once
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <string>
#include <vector>

class GraphicsDevice;

// A descriptor pool sized from a pool sizes text ("UBD_100+SBD_50+SB_50+CIS_20+SI_10"); the engine bundle holds
// the program's. Sets allocated from it can be freed one by one.
class DescriptorPool : public GraphicsResource {
public:
    static constexpr uint32_t MaxSets = 150;

    DescriptorPool(GraphicsDevice* device, const std::string& sizesText);
    ~DescriptorPool() override;

    GraphicsDevice* owner = nullptr;
    VkDescriptorPool pool = VK_NULL_HANDLE;
    std::vector<VkDescriptorPoolSize> sizes;
};

// Allocates one set from the pool with a layout made from `bindings`; the layout is returned in `layout` for the
// caller to destroy once the set is written. Stops with a clear error when the pool is exhausted.
VkDescriptorSet allocateDescriptorSet(DescriptorPool* pool, const std::vector<VkDescriptorSetLayoutBinding>& bindings,
                                      VkDescriptorSetLayout& layout, const char* what);
