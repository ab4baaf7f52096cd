#version 450
// Vorticity ω = ∂v/∂x − ∂u/∂y of the projected velocity, per step.
#include "fluid.glsl"

layout(local_size_x = 64) in;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= nodeCount())
        return;
    ivec2 n = nodeOf(i);
    float east = flowAt(nodeIndex(n.x + 1, n.y)).y;
    float west = flowAt(nodeIndex(n.x - 1, n.y)).y;
    float dudy = 0.5 * (flowAt(nodeIndex(n.x, n.y + 1)).x - flowAt(nodeIndex(n.x, n.y - 1)).x);
    vorticity[i] = 0.5 * (east - west) - dudy;
}
