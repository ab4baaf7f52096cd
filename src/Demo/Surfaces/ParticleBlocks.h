#pragma once
// The blocks the CPU hands to the particle shaders and the rules that size their work, as plain data.
// Particle time: one unit is 100000 simulated seconds, so velocities are world units per 1e5 s and the
// attractor's strength is μ · 1e10 (world units³ per unit²).
#include <cstddef>
#include <cstdint>

namespace Demo {

constexpr double ParticleTimeUnit = 100000.0; // simulated seconds per particle time unit
constexpr uint32_t MaxEmitters = 16;
constexpr uint32_t DefaultMaxParticles = 2000000;
// Alive-list entries carry the particle index in their low bits and its depth layer above them.
constexpr uint32_t ParticleIndexBits = 21;
constexpr uint32_t MaxParticleCapacity = 1u << ParticleIndexBits;

// Float positions in an emitter record (24 floats). Position, direction and inherited velocity are written
// every frame by the owner; the others are the emitter's parameters, read only by the shaders.
enum EmitterFloat : uint32_t {
    EmitterPosition = 0,      // 3 floats, world units
    EmitterSpread = 3,        // sideways speed of new particles as a fraction of their speed (cone width)
    EmitterDirection = 4,     // 3 floats, world; exhaust speed = |direction| · EmitterSpeed
    EmitterStartSize = 7,     // particle radius at birth, world units
    EmitterStartColor = 8,    // 3 floats, linear colour of fresh exhaust
    EmitterEndSize = 11,      // particle radius at the end of its life, world units
    EmitterEndColor = 12,     // 3 floats, colour the exhaust cools to
    EmitterVelocity = 16,     // 3 floats, velocity new particles inherit, world units per particle time unit
    EmitterNozzleRadius = 19, // radius of the disc particles start from, world units
    EmitterLifetime = 20,     // particle time units (randomised by ±25 % per particle)
    EmitterSpeed = 21,        // exhaust speed per unit of direction length, world units per particle time unit
    EmitterFloatCount = 24,
};

struct EmitterRecord {
    float f[EmitterFloatCount] = {};
};
static_assert(sizeof(EmitterRecord) == 96);

// Settings block (1564 bytes, std140 uniform).
struct ParticleSettingsBlock {
    EmitterRecord emitters[MaxEmitters];
    float attractorPosition[3] = {0.0f, 0.0f, 0.0f}; // world units
    float attractorStrength = 0.0f;                  // μ · 1e10
    uint32_t emitterCount = 0;
    uint32_t maxParticles = DefaultMaxParticles;
    float timeStep = 0.0f; // particle time units this frame
};
static_assert(sizeof(ParticleSettingsBlock) == 1564);
static_assert(offsetof(ParticleSettingsBlock, emitters) == 0);
static_assert(offsetof(ParticleSettingsBlock, attractorPosition) == 1536);
static_assert(offsetof(ParticleSettingsBlock, attractorStrength) == 1548);
static_assert(offsetof(ParticleSettingsBlock, emitterCount) == 1552);
static_assert(offsetof(ParticleSettingsBlock, maxParticles) == 1556);
static_assert(offsetof(ParticleSettingsBlock, timeStep) == 1560);

// One emission request, pushed as the emit pass's 16-byte push constant.
struct EmissionRequest {
    uint32_t emitter = 0;
    uint32_t count = 0;
    uint32_t seed = 0;
    uint32_t zero = 0;
};
static_assert(sizeof(EmissionRequest) == 16);

// Info buffer words (8 × u32, GPU only).
enum ParticleInfo : uint32_t {
    InfoAlive = 0,     // entries of the current alive list
    InfoDead = 1,      // entries of the free-index stack
    InfoFresh = 2,     // indices handed out at least once (never above the capacity)
    InfoCurrent = 3,   // which half of the alive lists is current (0 or 1)
    InfoNextAlive = 4, // survivors appended to the other half this frame
    InfoDropped = 5,   // requested particles that found the pool full (running total)
    InfoSimulated = 6, // alive count the simulation and sort dispatches were sized for
    InfoWordCount = 8,
};

// Counter buffer: per depth layer the particle count, then the layer's write cursor in sort buffer B.
constexpr uint32_t CounterLayerCounts = 0;
constexpr uint32_t CounterLayerCursors = 32;

constexpr uint32_t ParticleGroupSize = 64; // work group size of every particle compute pass

// Work groups of the emit pass for `count` particles.
constexpr uint32_t emitGroupCount(uint32_t count) {
    return uint32_t((uint64_t(count) + ParticleGroupSize - 1) / ParticleGroupSize);
}

// Work groups of the passes that run one invocation per depth layer.
constexpr uint32_t layerGroupCount(uint32_t layerCount) {
    return (layerCount + ParticleGroupSize - 1) / ParticleGroupSize;
}

// Byte offset of layer `layer`'s VkDrawIndexedIndirectCommand in the indirect buffer.
constexpr uint32_t layerDrawOffset(uint32_t layer) {
    return 20u * layer;
}

// Particle time step of a frame: at least 0.01 ms of real time, times the time factor, in particle time units.
inline float particleTimeStep(float frameMilliseconds, double timeFactor) {
    double ms = frameMilliseconds > 0.01f ? double(frameMilliseconds) : 0.01;
    return float(ms * 0.001 * timeFactor / ParticleTimeUnit);
}

} // namespace Demo
