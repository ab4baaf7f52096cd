#version 450
// Sizes the simulation and sort dispatches for this frame's alive count and clears the layer counters.
#include "particles.glsl"

layout(local_size_x = 64) in;

void main() {
    uint t = gl_LocalInvocationIndex;
    counters[t] = 0u;
    if (t == 0u) {
        int alive = max(info[INFO_ALIVE], 0);
        indirect[0] = (uint(alive) + 63u) / 64u;
        indirect[1] = 1u;
        indirect[2] = 1u;
        info[INFO_SIMULATED] = alive;
        info[INFO_NEXT_ALIVE] = 0;
    }
}
