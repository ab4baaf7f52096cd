#include "Engine/Descriptors/DescriptorPool.h"

#include "Engine/Descriptors/LayoutNotation.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"

#include <string>

DescriptorPool::DescriptorPool(GraphicsDevice* d, const std::string& sizesText) : owner(d), sizes(parsePoolSizes(sizesText)) {
    VkDescriptorPoolCreateInfo info{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
    info.flags = VK_DESCRIPTOR_POOL_CREATE_FREE_DESCRIPTOR_SET_BIT;
    info.maxSets = MaxSets;
    info.poolSizeCount = uint32_t(sizes.size());
    info.pPoolSizes = sizes.data();
    VkResult result = vkCreateDescriptorPool(d->device, &info, nullptr, &pool);
    if (result != VK_SUCCESS)
        ENGINE_ERROR("failed to create descriptor pool \"" + sizesText + "\" (VkResult " + std::to_string(int(result)) +
                     ")");
    tier = TierDescriptorPool;
    device = d;
    registerResource(d, this);
}

DescriptorPool::~DescriptorPool() {
    vkDestroyDescriptorPool(owner->device, pool, nullptr);
}

VkDescriptorSet allocateDescriptorSet(DescriptorPool* pool, const std::vector<VkDescriptorSetLayoutBinding>& bindings,
                                      VkDescriptorSetLayout& layout, const char* what) {
    if (pool == nullptr)
        ENGINE_ERROR(std::string("no descriptor pool to allocate ") + what + " from");
    VkDevice device = pool->owner->device;
    VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
    layoutInfo.bindingCount = uint32_t(bindings.size());
    layoutInfo.pBindings = bindings.data();
    layout = VK_NULL_HANDLE;
    ENGINE_CHECK(vkCreateDescriptorSetLayout(device, &layoutInfo, nullptr, &layout) == VK_SUCCESS,
                 "failed to create descriptor set layout!");
    VkDescriptorSetAllocateInfo alloc{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
    alloc.descriptorPool = pool->pool;
    alloc.descriptorSetCount = 1;
    alloc.pSetLayouts = &layout;
    VkDescriptorSet set = VK_NULL_HANDLE;
    VkResult result = vkAllocateDescriptorSets(device, &alloc, &set);
    if (result != VK_SUCCESS) {
        vkDestroyDescriptorSetLayout(device, layout, nullptr);
        layout = VK_NULL_HANDLE;
        ENGINE_ERROR(std::string("failed to allocate ") + what + " (descriptor pool exhausted?) VkResult " +
                     std::to_string(int(result)));
    }
    return set;
}
