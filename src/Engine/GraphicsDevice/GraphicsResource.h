#pragma once
#include <cstdint>

class GraphicsDevice;

// Destruction tiers: teardown destroys higher tiers first.
enum ResourceTier : uint32_t {
    TierPipeline = 2,
    TierMemory = 3, // images, buffers, meshes, data storages
    TierDescriptorPool = 4,
    TierDescriptorSet = 6, // descriptor sets and data sets
    TierSampler = 7,
};

// Base of every GPU object. The device's registry owns registered resources and deletes them.
class GraphicsResource {
public:
    virtual ~GraphicsResource() = default;

    uint8_t deferredRelease = 0; // unregistering waits until the GPU has finished every frame that may use it
    uint32_t tier = 0;
    uint32_t slot = 0; // index in the registry's list for its tier
    GraphicsDevice* device = nullptr;
};
