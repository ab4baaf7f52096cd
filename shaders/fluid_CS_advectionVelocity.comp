#version 450
// Semi-Lagrangian advection of the velocity by itself on the flow lattice: trace back along the flow and take
// the previous velocity there (binding 7, the field this step projected) into binding 6.
#include "fluid.glsl"

layout(local_size_x = 64) in;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= nodeCount())
        return;
    ivec2 n = nodeOf(i);
    vec2 p = vec2(n) + 0.5;
    vec2 from = p - previousFlowAt(i);
    from.y = clamp(from.y, 0.5, float(NH()) - 0.5);
    vec2 v = sampleFlow(true, from);
    if (isWallRow(n.y))
        v.y = 0.0;
    setFlow(i, v);
}
