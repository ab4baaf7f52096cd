#version 450
// Writes the render record of each particle still glowing into its layer's region of sort buffer B: world
// position, the colour of its age (fresh exhaust cools towards the end colour and dims) and its growing radius.
#include "particles.glsl"

layout(local_size_x = 64) in;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= uint(info[INFO_NEXT_ALIVE]))
        return;
    uint current = uint(info[INFO_CURRENT]);
    uint entry = lists[aliveBase(1u - current) + i];
    if ((entry & DRAWN_BIT) == 0u)
        return;
    uint index = entry & INDEX_MASK;
    uint layer = (entry >> INDEX_BITS) & LAYER_MASK;
    uint slot = atomicAdd(counters[32u + layer], 1u);

    Particle p = particles[index];
    Emitter e = emitterAt(min(p.emitter, 15u));
    float a = clamp(p.age / max(p.lifetime, 1e-12), 0.0, 1.0);
    // Hot gas cools to the end colour while it dims, and spreads out.
    vec3 color = colorAt(e.startColor, e.endColor, a);
    float radius = mix(e.startSize, e.endSize, sqrt(a));
    records[slot] = uvec4(floatBitsToUint(p.position), packRenderWord(color * glowAt(a), radius));
}
