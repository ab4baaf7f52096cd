#version 450
// Divergence of the forced velocity on the flow lattice (central differences, no flow through the polar walls):
// the right-hand side of the pressure equation ∇²p = ∇·u.
#include "fluid.glsl"
layout(local_size_x = 64) in;
void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= nodeCount())
        return;
    ivec2 n = nodeOf(i);
    float east = flowAt(nodeIndex(n.x + 1, n.y)).x;
    float west = flowAt(nodeIndex(n.x - 1, n.y)).x;
    float south = n.y + 1 < NH() ? flowAt(nodeIndex(n.x, n.y + 1)).y : 0.0;
    float north = n.y > 0 ? flowAt(nodeIndex(n.x, n.y - 1)).y : 0.0;
    divergence[i] = 0.5 * (east - west) + 0.5 * (south - north);
}
