#include "Engine/GraphicsDevice/ResourceRegistry.h"

#include <algorithm>

void ResourceRegistry::add(GraphicsResource* resource) {
    if (resource->tier >= tiers.size())
        tiers.resize(resource->tier + 1);
    std::vector<GraphicsResource*>& list = tiers[resource->tier];
    resource->slot = uint32_t(list.size());
    list.push_back(resource);
}

void ResourceRegistry::forget(GraphicsResource* resource) {
    if (!resource || shuttingDown || resource->tier >= tiers.size())
        return;
    std::vector<GraphicsResource*>& list = tiers[resource->tier];
    uint32_t slot = resource->slot;
    if (slot < list.size() && list[slot] == resource) {
        list[slot] = list.back();
        list[slot]->slot = slot;
        list.pop_back();
    }
}

void ResourceRegistry::remove(GraphicsResource* resource) {
    // Clean-up after a failed start hands over what was never created.
    if (!resource || shuttingDown)
        return;
    forget(resource);
    if (resource->deferredRelease)
        deferred.push_back({resource, currentSerial()});
    else
        delete resource;
}

void ResourceRegistry::framesCompleted(uint64_t serial) {
    completed = std::max(completed, serial);
    size_t kept = 0;
    // Deleting may unregister further resources (owners releasing children), so index rather than iterate.
    for (size_t i = 0; i < deferred.size(); ++i) {
        Deferred d = deferred[i];
        if (d.serial <= serial) {
            delete d.resource;
        } else {
            deferred[kept++] = d;
        }
    }
    deferred.resize(kept);
}

void ResourceRegistry::teardown() {
    shuttingDown = true;
    for (Deferred& d : deferred)
        delete d.resource;
    deferred.clear();
    for (size_t t = tiers.size(); t-- > 0;)
        for (GraphicsResource* r : tiers[t])
            delete r;
}
