#pragma once
// Binding records: what an object binds at one binding of its data sets. The object owns the record;
// data sets point to it and listen for replacements of the image view or structured buffer in it.
#include <vulkan/vulkan.h>

#include <cstdint>
#include <functional>
#include <vector>

class DataStorage;
class StructuredBuffer;
class ImageView;
class Sampler;

using BindingListener = std::function<void(void*)>;

// A block in a data storage. `offset` is this frame's dynamic offset, written by the owner after each write.
struct StorageBinding {
    static constexpr uint32_t NoOffset = 0xFFFFFFFFu;

    DataStorage* storage = nullptr;
    uint32_t range = 0;         // bytes of the block the shader sees
    uint32_t offset = NoOffset; // current dynamic offset

    StorageBinding() = default;
    StorageBinding(DataStorage* storage_, uint32_t range_) : storage(storage_), range(range_) {}

    // Appends `range` bytes of `block` to the storage's current slot and keeps the returned offset.
    void write(const void* block);
};

// Listener lists shared by the two replaceable records.
struct ListenedBinding {
    uint8_t released = 0; // set by an owner that detaches the resource instead of replacing it
    std::vector<BindingListener*> listeners;

    ListenedBinding() = default;
    ListenedBinding(const ListenedBinding&) = delete;
    ListenedBinding& operator=(const ListenedBinding&) = delete;
    // A record that goes away first detaches itself from the data sets that still point to it (their
    // release may be deferred past the owner's).
    ~ListenedBinding() {
        released = 1;
        notify();
    }

    // Calls every listener with the record's address (after the resource in it was replaced or released).
    void notify() {
        // A listener may remove itself while it is called.
        std::vector<BindingListener*> current = listeners;
        for (BindingListener* listener : current)
            (*listener)(this);
    }
    void addListener(BindingListener* listener) { listeners.push_back(listener); }
    // Removes by identity, keeping the order of the others.
    void removeListener(BindingListener* listener);
};

struct BufferBinding : ListenedBinding {
    StructuredBuffer* buffer = nullptr;

    BufferBinding() = default;
    explicit BufferBinding(StructuredBuffer* buffer_) : buffer(buffer_) {}
    // Points the record at another buffer and notifies the data sets that use it.
    void replace(StructuredBuffer* newBuffer) {
        buffer = newBuffer;
        notify();
    }
};

struct TextureBinding : ListenedBinding {
    ImageView* view = nullptr;
    Sampler* sampler = nullptr;
    // Layout the image is in whenever a sampler reads it; a target that stays in GENERAL between
    // storage writes and sampling sets VK_IMAGE_LAYOUT_GENERAL.
    VkImageLayout sampledLayout = VK_IMAGE_LAYOUT_SHADER_READ_ONLY_OPTIMAL;

    TextureBinding() = default;
    TextureBinding(ImageView* view_, Sampler* sampler_) : view(view_), sampler(sampler_) {}
    // Points the record at another view and notifies the data sets that use it.
    void replace(ImageView* newView) {
        view = newView;
        notify();
    }
};

enum DataBindingType : uint32_t {
    DETACHED = 0,
    DATA_STORAGE = 1,      // resource is a StorageBinding
    STRUCTURED_BUFFER = 2, // a BufferBinding
    TEXTURE = 3,           // a TextureBinding
    INPUT_ATTACHMENT = 4,  // DescriptorSet only
};

// One entry of a data set.
struct DataBinding {
    uint32_t binding = 0;
    uint32_t type = DETACHED;    // DataBindingType
    uint32_t descriptorType = 0; // VkDescriptorType
    void* resource = nullptr;    // the binding record
};
