#pragma once
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <vector>

class DescriptorPool;
class DataStorage;
class ImageView;
class Sampler;

// One entry of a write-once descriptor set.
struct DescriptorBinding {
    uint32_t binding = 0;
    uint32_t type = 0;          // DataBindingType: 1 data storage, 3 texture, 4 input attachment
    void* object = nullptr;     // DataStorage* (1) or ImageView* (3, 4)
    uint32_t range = 0;         // bytes the shader sees (1)
    Sampler* sampler = nullptr; // texture sampler (3)
};

// A descriptor set written once from a fixed list of bindings (texture-only sets such as the UI font atlas).
// Sets that must follow replaced resources are DataSets.
class DescriptorSet : public GraphicsResource {
public:
    DescriptorSet(const std::vector<DescriptorBinding>& bindings, DescriptorPool* pool);
    ~DescriptorSet() override; // frees the set back to its pool

    GraphicsDevice* owner = nullptr;
    DescriptorPool* pool = nullptr;
    VkDescriptorSet set = VK_NULL_HANDLE;
    std::vector<DescriptorBinding> bindings;
};
