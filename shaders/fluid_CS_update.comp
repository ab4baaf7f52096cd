#version 450
// Forcing of one step on the flow lattice: the zonal wind relaxes towards the band's jet, and every storm's
// vortex is held in place (the jets give way inside it, so the flow streams around the storm). Walls at the
// poles.
#include "fluid.glsl"

layout(local_size_x = 64) in;

void main() {
    uint i = gl_GlobalInvocationID.x;
    if (i >= nodeCount())
        return;
    uvec2 element = velocity[i];
    vec2 v = unpackHalf2x16(element.x);
    Forcing forcing = unpackForcing(element.y);
    float jet = forcing.jet * JetSpeed * CellsToNodes;
    v.x += sim.jetRelaxation * (1.0 - forcing.held) * (jet - v.x);
    v += StormForcing * forcing.held * (forcing.vortex - v);

    if (isWallRow(nodeOf(i).y))
        v.y = 0.0;
    if (any(isnan(v)) || any(isinf(v)))
        v = vec2(jet, 0.0);
    float speed = length(v);
    if (speed > MaxSpeed)
        v *= MaxSpeed / speed;
    setFlow(i, v);
}
