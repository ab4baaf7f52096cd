#pragma once
// Lifetime helper shared by the surfaces: process-wide pipeline and mesh handles must not outlive their device.
#include "Engine/GraphicsDevice/GraphicsDevice.h"
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <vector>

namespace Demo {

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
