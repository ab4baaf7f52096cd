#include "Engine/Data/DataSet.h"

#include "Engine/Buffers/StructuredBuffer.h"
#include "Engine/Commands/CommandContext.h"
#include "Engine/Data/DataStorage.h"
#include "Engine/Descriptors/DescriptorPool.h"
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/Helper/Helper.h"
#include "Engine/Images/Image.h"

#include <algorithm>
#include <stdexcept>
#include <string>

namespace {

// A replaced descriptor set waits in the device's deferred list until the frames that may use it are done.
class RetiredDescriptorSet : public GraphicsResource {
public:
    RetiredDescriptorSet(GraphicsDevice* d, VkDescriptorPool pool_, VkDescriptorSet set_) : pool(pool_), set(set_) {
        deferredRelease = 1;
        tier = TierDescriptorSet;
        device = d;
    }
    ~RetiredDescriptorSet() override { vkFreeDescriptorSets(device->device, pool, 1, &set); }

private:
    VkDescriptorPool pool;
    VkDescriptorSet set;
};

bool isDynamicBuffer(uint32_t type) {
    return type == VK_DESCRIPTOR_TYPE_UNIFORM_BUFFER_DYNAMIC || type == VK_DESCRIPTOR_TYPE_STORAGE_BUFFER_DYNAMIC;
}

ListenedBinding* listened(const DataBinding& b, uint32_t kind) {
    if (kind == TEXTURE)
        return static_cast<TextureBinding*>(b.resource);
    if (kind == STRUCTURED_BUFFER)
        return static_cast<BufferBinding*>(b.resource);
    return nullptr;
}

} // namespace

DataSet::DataSet(GraphicsDevice* d, DescriptorPool* pool_, std::vector<DataBinding> entries)
    : bindings(std::move(entries)), owner(d), pool(pool_) {
    ENGINE_CHECK(pool != nullptr, "DataSet: no descriptor pool given");
    std::stable_sort(bindings.begin(), bindings.end(),
                     [](const DataBinding& a, const DataBinding& b) { return a.binding < b.binding; });
    for (size_t i = 0; i < bindings.size(); ++i) {
        const DataBinding& b = bindings[i];
        std::string where = "DataSet binding " + std::to_string(b.binding);
        if (i > 0 && bindings[i - 1].binding == b.binding)
            ENGINE_ERROR(where + " is used twice");
        if (b.type != DETACHED && b.resource == nullptr)
            ENGINE_ERROR(where + " has no binding record");
        if (b.type == DATA_STORAGE) {
            // Every storage entry takes a dynamic offset at bind time, so it must be a dynamic buffer.
            ENGINE_CHECK(isDynamicBuffer(b.descriptorType), where + ": a data storage needs a dynamic buffer type");
            ENGINE_CHECK(static_cast<StorageBinding*>(b.resource)->storage != nullptr, where + " has no storage");
            ++storageCount;
        }
    }
    kinds.reserve(bindings.size());
    for (const DataBinding& b : bindings)
        kinds.push_back(b.type);

    textureCallback = [this](void* record) { notified(record, TEXTURE); };
    bufferCallback = [this](void* record) { notified(record, STRUCTURED_BUFFER); };
    for (size_t i = 0; i < bindings.size(); ++i) {
        if (kinds[i] == TEXTURE)
            listened(bindings[i], TEXTURE)->addListener(&textureCallback);
        else if (kinds[i] == STRUCTURED_BUFFER)
            listened(bindings[i], STRUCTURED_BUFFER)->addListener(&bufferCallback);
    }

    tier = TierDescriptorSet;
    deferredRelease = 1;
    device = d;
    build();
    registerResource(d, this);
}

DataSet::~DataSet() {
    if (set != VK_NULL_HANDLE && pool != nullptr)
        vkFreeDescriptorSets(owner->device, pool->pool, 1, &set);
    // Detached entries point to records that are gone.
    for (size_t i = 0; i < bindings.size(); ++i) {
        if (bindings[i].type == TEXTURE)
            listened(bindings[i], TEXTURE)->removeListener(&textureCallback);
        else if (bindings[i].type == STRUCTURED_BUFFER)
            listened(bindings[i], STRUCTURED_BUFFER)->removeListener(&bufferCallback);
    }
}

void DataSet::notified(void* record, uint32_t kind) {
    bool released = static_cast<ListenedBinding*>(record)->released != 0;
    if (released) {
        for (size_t i = 0; i < bindings.size(); ++i)
            if (bindings[i].type == kind && listened(bindings[i], kind) == record) {
                bindings[i].type = DETACHED;
                static_cast<ListenedBinding*>(record)->removeListener(kind == TEXTURE ? &textureCallback
                                                                                      : &bufferCallback);
            }
    }
    // A released resource must not stay referenced by the set either: rebuild without it at the next bind.
    dirty = 1;
}

void DataSet::build() {
    if (set != VK_NULL_HANDLE) {
        auto* retired = new RetiredDescriptorSet(owner, pool->pool, set);
        registerResource(owner, retired);
        unregisterResource(owner, retired);
        set = VK_NULL_HANDLE;
    }

    std::vector<VkDescriptorSetLayoutBinding> layoutBindings(bindings.size());
    for (size_t i = 0; i < bindings.size(); ++i) {
        layoutBindings[i].binding = bindings[i].binding;
        layoutBindings[i].descriptorType = VkDescriptorType(bindings[i].descriptorType);
        layoutBindings[i].descriptorCount = 1;
        layoutBindings[i].stageFlags = VK_SHADER_STAGE_ALL;
    }
    VkDescriptorSetLayout layout = VK_NULL_HANDLE;
    set = allocateDescriptorSet(pool, layoutBindings, layout, "data set");

    for (const DataBinding& b : bindings) {
        VkWriteDescriptorSet write{VK_STRUCTURE_TYPE_WRITE_DESCRIPTOR_SET};
        write.dstSet = set;
        write.dstBinding = b.binding;
        write.dstArrayElement = 0;
        write.descriptorCount = 1;
        write.descriptorType = VkDescriptorType(b.descriptorType);
        VkDescriptorBufferInfo bufferInfo{};
        VkDescriptorImageInfo imageInfo{};
        if (b.type == DATA_STORAGE) {
            auto* record = static_cast<StorageBinding*>(b.resource);
            bufferInfo = {record->storage->buffer, 0, record->range};
            write.pBufferInfo = &bufferInfo;
        } else if (b.type == STRUCTURED_BUFFER) {
            auto* record = static_cast<BufferBinding*>(b.resource);
            if (record->buffer == nullptr)
                continue;
            bufferInfo = {record->buffer->buffer, 0, record->buffer->size};
            write.pBufferInfo = &bufferInfo;
        } else if (b.type == TEXTURE && b.descriptorType == VK_DESCRIPTOR_TYPE_COMBINED_IMAGE_SAMPLER) {
            auto* record = static_cast<TextureBinding*>(b.resource);
            if (record->view == nullptr || record->sampler == nullptr)
                continue;
            imageInfo = {record->sampler->sampler, record->view->view, record->sampledLayout};
            write.pImageInfo = &imageInfo;
        } else if (b.type == TEXTURE && b.descriptorType == VK_DESCRIPTOR_TYPE_STORAGE_IMAGE) {
            auto* record = static_cast<TextureBinding*>(b.resource);
            if (record->view == nullptr)
                continue;
            imageInfo = {VK_NULL_HANDLE, record->view->view, VK_IMAGE_LAYOUT_GENERAL};
            write.pImageInfo = &imageInfo;
        } else {
            continue;
        }
        vkUpdateDescriptorSets(owner->device, 1, &write, 0, nullptr);
    }
    vkDestroyDescriptorSetLayout(owner->device, layout, nullptr);
    dirty = 0;
    ++buildCount;
}

uint32_t DataSet::gatherOffsets(uint32_t* out) const {
    uint32_t n = 0;
    for (const DataBinding& b : bindings)
        if (b.type == DATA_STORAGE)
            out[n++] = static_cast<const StorageBinding*>(b.resource)->offset;
    return n;
}

void bindDataSet(CommandContext* context, DataSet* set) {
    if (set->dirty)
        set->build();
    if (context->pendingSetCount >= CommandContext::MaxPendingSets)
        throw std::runtime_error("too many descriptor sets bound before one draw (at most " +
                                 std::to_string(CommandContext::MaxPendingSets) + ")");
    if (context->pendingOffsetCount + set->dynamicOffsetCount() > CommandContext::MaxPendingOffsets)
        throw std::runtime_error("too many dynamic offsets bound before one draw (at most " +
                                 std::to_string(CommandContext::MaxPendingOffsets) + ")");
    uint32_t* offsets = context->pendingOffsets + context->pendingOffsetCount;
    uint32_t count = set->gatherOffsets(offsets);
    for (uint32_t i = 0; i < count; ++i)
        if (offsets[i] == StorageBinding::NoOffset)
            throw std::runtime_error("data set bound before its uniform block was written (no dynamic offset)");
    context->pendingOffsetCount += count;
    context->pendingSets[context->pendingSetCount++] = set->set;
}
