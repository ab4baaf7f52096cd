#version 450
// Vorticity confinement: a force ε (N × ω) with N the unit gradient of |ω| pushes the flow around the vortex
// centres, giving back the small eddies that the interpolation of the advection smears out.
#include "fluid.glsl"

layout(local_size_x = 64) in;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= nodeCount())
        return;
    ivec2 n = nodeOf(i);
    float w = vorticity[i];
    float east = abs(vorticity[nodeIndex(n.x + 1, n.y)]);
    float west = abs(vorticity[nodeIndex(n.x - 1, n.y)]);
    vec2 gradient = 0.5 * vec2(east - west,
                               abs(vorticity[nodeIndex(n.x, n.y + 1)]) - abs(vorticity[nodeIndex(n.x, n.y - 1)]));
    vec2 direction = gradient / (length(gradient) + 1e-5);
    // ε is given in cells.
    vec2 v = flowAt(i) + CellsToNodes * sim.vorticityConfinement * w * vec2(direction.y, -direction.x);
    if (isWallRow(n.y))
        v.y = 0.0;
    if (any(isnan(v)) || any(isinf(v)))
        v = vec2(0.0);
    float speed = length(v);
    if (speed > MaxSpeed)
        v *= MaxSpeed / speed;
    setFlow(i, v);
}
