#include "Engine/Data/DescriptorSet.h"

#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <string>

DescriptorSet::DescriptorSet(const std::vector<DescriptorBinding>& bindings_, DescriptorPool* pool_)
    : pool(pool_), bindings(bindings_) {
    ENGINE_CHECK(pool != nullptr, "DescriptorSet: no descriptor pool given");
    owner = pool->owner;

    std::vector<VkDescriptorSetLayoutBinding> layoutBindings;
    for (const DescriptorBinding& b : bindings) {
        VkDescriptorSetLayoutBinding lb{};
        lb.binding = b.binding;
        lb.descriptorCount = 1;
        lb.stageFlags = VK_SHADER_STAGE_ALL;
        if (b.type == DATA_STORAGE)
            lb.descriptorType = VkDescriptorType(static_cast<DataStorage*>(b.object)->descriptorType());
        else if (b.type == TEXTURE)
            lb.descriptorType = VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER;
        else if (b.type == INPUT_ATTACHMENT)
            lb.descriptorType = VK_DESCRIPTOR_TYPE_INPUT_ATTACHMENT;
        else
            ENGINE_ERROR("DescriptorSet: binding " + std::to_string(b.binding) + " has unsupported type " +
                         std::to_string(b.type));
        ENGINE_CHECK(lb.descriptorType != VkDescriptorType(DataStorage::NotBindable),
                     "DescriptorSet: binding " + std::to_string(b.binding) + " is a mesh storage");
        layoutBindings.push_back(lb);
    }

    VkDescriptorSetLayout layout = VK_NULL_HANDLE;
    set = allocateDescriptorSet(pool, layoutBindings, layout, "descriptor set");

    for (size_t i = 0; i < bindings.size(); ++i) {
        const DescriptorBinding& b = bindings[i];
        VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
        write.dstSet = set;
        write.dstBinding = b.binding;
        write.descriptorCount = 1;
        write.descriptorType = layoutBindings[i].descriptorType;
        VkDescriptorBufferInfo bufferInfo{};
        VkDescriptorImageInfo imageInfo{};
        if (b.type == DATA_STORAGE) {
            bufferInfo = {static_cast<DataStorage*>(b.object)->buffer, 0, b.range};
            write.pBufferInfo = &bufferInfo;
        } else {
            imageInfo.imageView = static_cast<ImageView*>(b.object)->view;
            imageInfo.imageLayout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;
            if (b.type == TEXTURE)
                imageInfo.sampler = b.sampler ? b.sampler->sampler : VK_NULL_HANDLE;
            write.pImageInfo = &imageInfo;
        }
        vkUpdateDescriptorSets(owner->device, 1, &write, 0, nullptr);
    }
    // Writes need the layout alive; it is not needed after them.
    vkDestroyDescriptorSetLayout(owner->device, layout, nullptr);

    tier = TierDescriptorSet;
    deferredRelease = 1;
    device = owner;
    registerResource(owner, this);
}

DescriptorSet::~DescriptorSet() {
    if (pool && set != VK_NULL_HANDLE)
        vkFreeDescriptorSets(owner->device, pool->pool, 1, &set);
}
