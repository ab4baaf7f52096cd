#pragma once
// The prediction line as plain data: every 32nd predicted state from the craft to the end of the prediction,
// shifted into one of three spaces, split into segments wherever the dominant body changes.
#include "Demo/Spacecraft/PredictionWorker.h"

#include <cstdint>
#include <vector>

namespace Demo {

enum PredictionSpace : uint32_t {
    SpaceWorld = 0,    // the path as integrated, moved onto the drawn craft
    SpaceTarget = 1,   // the path as seen from the reference body, drawn around its current position
    SpaceDominant = 2, // each state relative to its dominant body, drawn around that body's current position
};
inline constexpr const char* PredictionSpaceNames[3] = {"World", "Target", "Dominant"};

// A run of line vertices drawn as one strip.
struct LineSegment {
    uint32_t first = 0;
    uint32_t count = 0;
    int32_t dominant = -1;
};

constexpr uint32_t LineStride = 32; // one vertex per 32 time steps
constexpr uint32_t MaxLineVertices = 1000000;

struct PredictionLineInput {
    PredictionWorker::RingView ring; // the ring the line follows (states of [validFrom, head))
    uint64_t ringSize = 0;
    uint64_t now = 0; // the system's current time step
    uint32_t space = SpaceDominant;
    int32_t referenceIndex = -1; // body of the "Target" space, -1 without one
    BodyCacheView cache;
    uint64_t cachedUpTo = 0;
    const float* bodyNow = nullptr; // xyz of every body at the current instant, 32-bit
    uint32_t bodyCount = 0;
    Vec3d renderOffset; // the craft's drawn minus simulated position
};

// Vertex 0 is the state at `now`, then one vertex per multiple of 32 after now up to the head (read from the
// ring's line samples when it has them); n = min(999999,
// (head − now)/32 − 1) further vertices, none when n < 1. Writes 3 floats per vertex into `out` (room for
// MaxLineVertices) and the segments of at least two vertices into `segments` (cleared first). Returns the vertex
// count, 0 for an empty line.
uint32_t buildPredictionLine(const PredictionLineInput& in, float* out, std::vector<LineSegment>& segments);

// The position of a predicted state as the line shows it in the given space (the markers use it too).
void shiftIntoSpace(const PredictionLineInput& in, const PredictedState& state, uint64_t step, float out[3]);
// The same from the state's line sample (a multiple of 32 steps): the same sums, no scattered reads in "World"
// and "Dominant".
void shiftIntoSpace(const PredictionLineInput& in, const LineSample& sample, uint64_t step, float out[3]);

} // namespace Demo
