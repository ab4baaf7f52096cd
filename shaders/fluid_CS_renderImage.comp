#version 450
// The first step's cloud colour of every cell into the fluid image, one texel per cell (later the colour
// advection writes it). The image holds the square root of the linear reflectance (a gamma of 2, so that eight
// bits keep the dark belts smooth); readers square it.
#include "fluid.glsl"

layout(local_size_x = 8, local_size_y = 8) in;

void main() {
    ivec2 c = ivec2(gl_GlobalInvocationID.xy);
    if (c.x >= int(sim.width) || c.y >= int(sim.height))
        return;
    uint i = cellIndex(c.x, c.y);
    storeTexel(c, unpackEncoded(colors[i][colors[i].w & 1u]));
}
