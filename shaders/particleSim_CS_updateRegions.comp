#version 450
// Where each depth layer's records start in sort buffer B: the sum of the counts of the layers before it.
#include "particles.glsl"

layout(local_size_x = 64) in;

void main() {
    uint l = gl_GlobalInvocationID.x;
    if (l >= uint(layerCount()))
        return;
    uint offset = 0u;
    for (uint k = 0u; k < l; ++k)
        offset += counters[k];
    counters[32u + l] = offset;
}
