#pragma once
#include "Engine/GraphicsDevice/GraphicsResource.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// Live GPU resources grouped by destruction tier, with O(1) register and unregister (swap with last).
// Deferred releases are held until the frame that unregistered them has finished on the GPU.
class ResourceRegistry {
public:
    void add(GraphicsResource* resource);
    // Removes the resource; deletes it now, or later when its deferred flag is set.
    // Does nothing while shutting down (teardown deletes everything itself).
    void remove(GraphicsResource* resource);
    // Takes a resource out of its tier list without deleting it (an object whose construction failed after it
    // registered). Does nothing when it is not listed or while shutting down.
    void forget(GraphicsResource* resource);

    // Frame serials: the frame being recorded is submittedSerial + 1.
    void frameSubmitted() { ++submittedSerial; }
    // Every frame up to `serial` has completed on the GPU; deletes the deferred releases it covers. (A fence of a
    // queue submission also covers every earlier submission to that queue.)
    void framesCompleted(uint64_t serial);
    // The GPU is idle: every deferred release can go.
    void allFramesCompleted() { framesCompleted(submittedSerial); }

    // Deletes the deferred list, then every tier from the highest down, in list order.
    void teardown();

    bool isShuttingDown() const { return shuttingDown; }
    const std::vector<std::vector<GraphicsResource*>>& tierLists() const { return tiers; }
    size_t deferredCount() const { return deferred.size(); }
    uint64_t currentSerial() const { return submittedSerial + 1; }
    // The newest frame known to have completed on the GPU (0: none yet).
    uint64_t completedSerial() const { return completed; }

private:
    struct Deferred {
        GraphicsResource* resource;
        uint64_t serial; // frame that may still use it
    };
    std::vector<std::vector<GraphicsResource*>> tiers;
    std::vector<Deferred> deferred;
    uint64_t submittedSerial = 0;
    uint64_t completed = 0;
    bool shuttingDown = false;
};
