#pragma once
// Lifetime helpers shared by the surfaces: objects that must outlive the frames in flight, and process-wide
// pipeline handles that must not outlive their device.
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vector>

namespace Demo {

// Deletes a plain object once every frame recorded so far has finished. Binding records go this way: a data
// set released in the same frame still removes itself from their listener lists when it is finally deleted,
// and the device deletes deferred resources in the order they were released.
template <class T> class DeferredDelete : public GraphicsResource {
public:
    explicit DeferredDelete(T* object_) : object(object_) { deferredRelease = 1; }
    ~DeferredDelete() override { delete object; }

private:
    T* object;
};

template <class T> void deleteAfterFrames(GraphicsDevice* device, T* object) {
    if (!object)
        return;
    if (!device) {
        delete object;
        return;
    }
    auto* holder = new DeferredDelete<T>(object);
    holder->tier = TierDescriptorSet;
    holder->device = device;
    registerResource(device, holder);
    unregisterResource(device, holder);
}

// Clears process-wide handles of shared pipelines and meshes when the device that owns them is torn down, so
// that a later device (the gpu tests make one per suite) builds its own.
template <class P> class SharedHandleReset : public GraphicsResource {
public:
    SharedHandleReset(GraphicsDevice* d, std::vector<P**> handles_) : handles(std::move(handles_)) {
        tier = TierPipeline;
        device = d;
        registerResource(d, this);
    }
    ~SharedHandleReset() override {
        for (P** handle : handles)
            *handle = nullptr;
    }

private:
    std::vector<P**> handles;
};

} // namespace Demo
