#pragma once
#include "Engine/Data/DataBinding.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vulkan/vulkan.h>

#include <cstdint>
#include <vector>

class GraphicsDevice;
class DescriptorPool;
class CommandContext;

// An object's descriptor set with what is bound at each binding. It rebuilds itself at its next bind when a
// bound texture or structured buffer is replaced, and supplies the dynamic offsets of its storage bindings.
class DataSet : public GraphicsResource {
public:
    // Entries are kept in ascending binding order (the order Vulkan takes dynamic offsets in).
    // A binding number used twice throws std::runtime_error.
    DataSet(GraphicsDevice* device, DescriptorPool* pool, std::vector<DataBinding> bindings);
    ~DataSet() override;

    // Writes a new set from the entries. A set that was already built is retired, not freed at once:
    // a frame in flight may still be using it.
    void build();

    // Copies the current offset of every DATA_STORAGE entry, in binding order, into `out`; returns the count.
    uint32_t gatherOffsets(uint32_t* out) const;
    uint32_t dynamicOffsetCount() const { return storageCount; }

    VkDescriptorSet set = VK_NULL_HANDLE;
    std::vector<DataBinding> bindings;
    GraphicsDevice* owner = nullptr;
    DescriptorPool* pool = nullptr;
    uint8_t dirty = 0;
    BindingListener textureCallback;
    BindingListener bufferCallback;
    uint32_t buildCount = 0; // builds so far (the first at construction)

private:
    void notified(void* record, uint32_t kind);
    std::vector<uint32_t> kinds; // each entry's type at construction (entries may be detached later)
    uint32_t storageCount = 0;
};

// Appends `set` to the context's sets for the next draw with the current offsets of its storage bindings (binding
// order), rebuilding it first when a bound resource was replaced. Throws when a block was never written or the
// context's arrays would overrun.
void bindDataSet(CommandContext* context, DataSet* set);
