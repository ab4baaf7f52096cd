#version 450
// One indexed indirect draw per depth layer: the particle mesh's indices, one instance per particle of the
// layer; the vertex shader finds the layer's region of sort buffer B itself, so the first instance is 0 (all a
// device without drawIndirectFirstInstance allows). Then the next alive list becomes the current one.
#include "particles.glsl"

layout(local_size_x = 64) in;

layout(constant_id = 0) const uint INDEX_COUNT = 60u;
// The mesh's first index in the mesh storage (its index buffer is bound at the storage's start).
layout(constant_id = 1) const uint FIRST_INDEX = 0u;

void main() {
    uint l = gl_GlobalInvocationID.x;
    if (l == 0u) {
        info[INFO_ALIVE] = info[INFO_NEXT_ALIVE];
        info[INFO_CURRENT] = 1 - info[INFO_CURRENT];
    }
    if (l >= uint(layerCount()))
        return;
    uint count = counters[l];
    indirect[5u * l + 0u] = INDEX_COUNT;
    indirect[5u * l + 1u] = count;
    indirect[5u * l + 2u] = FIRST_INDEX;
    indirect[5u * l + 3u] = 0u;
    indirect[5u * l + 4u] = 0u;
}
