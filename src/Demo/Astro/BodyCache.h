#pragma once
// The bodies' positions as the flights read them: one slot of every body's world position per four time steps,
// in a ring of slots. The astro system's cache worker fills one ring; the headless ephemeris fills another the
// same way, so that a flight over either reads the same bits.
#include "Demo/Scene/MathTypes.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace Demo {

class AstroSystem;

// One cached position: world units.
struct CachedPosition {
    double x, y, z;
};

// A ring of slots: slot ⌊s / 4⌋ mod slotCount holds the positions of step s (rounded down to a multiple of 4).
struct BodyCacheView {
    const CachedPosition* entries = nullptr;
    uint64_t slotCount = 0;
    uint32_t objectCount = 0;
    const std::atomic<uint64_t>* cachedUpTo = nullptr; // first step not yet computed
    // The system's cacheMutex: held by the prediction while it reads a batch's entries, so that a time jump
    // (which makes the cache worker rewrite slots from the new step) waits for the batch. Null: no lock.
    std::mutex* mutex = nullptr;
    double timeStepLength = 100.0;

    static BodyCacheView of(AstroSystem& system);
    const CachedPosition* slot(uint64_t step) const { return entries + ((step >> 2) % slotCount) * objectCount; }
    Vec3d position(uint64_t step, uint32_t index) const {
        const CachedPosition& c = slot(step)[index];
        return {c.x, c.y, c.z};
    }
};

} // namespace Demo
