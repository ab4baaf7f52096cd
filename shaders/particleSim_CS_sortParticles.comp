#version 450
// Writes each surviving particle's render record into its layer's region of sort buffer B: world position, the
// colour of its age (fresh exhaust cools towards the end colour and fades), and its growing radius.
#include "particles.glsl"

layout(local_size_x = 64) in;

// Glow of a fresh particle; thousands overlap near a nozzle.
const float BIRTH_GLOW = 0.06;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= uint(info[INFO_NEXT_ALIVE]))
        return;
    uint current = uint(info[INFO_CURRENT]);
    uint entry = lists[aliveBase(1u - current) + i];
    uint index = entry & INDEX_MASK;
    uint layer = entry >> INDEX_BITS;
    uint slot = atomicAdd(counters[32u + layer], 1u);

    Particle p = particles[index];
    Emitter e = emitterAt(min(p.emitter, 15u));
    float a = clamp(p.age / max(p.lifetime, 1e-12), 0.0, 1.0);
    // Hot gas cools fast at first, then slowly; brightness falls off through the whole life.
    vec3 color = mix(e.startColor, e.endColor, smoothstep(0.0, 1.0, sqrt(a)));
    float fade = (1.0 - a) * (1.0 - a);
    float radius = mix(e.startSize, e.endSize, sqrt(a));
    records[slot] = uvec4(floatBitsToUint(p.position), packRenderWord(color * (BIRTH_GLOW * fade), radius));
}
