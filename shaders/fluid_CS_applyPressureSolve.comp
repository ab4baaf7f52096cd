#version 450
// Projection: the pressure gradient taken from the velocity leaves it (nearly) free of divergence.
#include "fluid.glsl"

layout(local_size_x = 64) in;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= nodeCount())
        return;
    ivec2 n = nodeOf(i);
    float here = pressure[i];
    float east = pressure[nodeIndex(n.x + 1, n.y)];
    float west = pressure[nodeIndex(n.x - 1, n.y)];
    float south = n.y + 1 < NH() ? pressure[nodeIndex(n.x, n.y + 1)] : here;
    float north = n.y > 0 ? pressure[nodeIndex(n.x, n.y - 1)] : here;
    vec2 v = flowAt(i) - 0.5 * vec2(east - west, south - north);
    if (isWallRow(n.y))
        v.y = 0.0;
    setFlow(i, v);
}
