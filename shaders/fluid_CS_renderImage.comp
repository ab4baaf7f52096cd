#version 450
// The cloud colour of every cell into the fluid image, one texel per cell. The image holds the square root of
// the linear reflectance (a gamma of 2, so that eight bits keep the dark belts smooth); readers square it.
// Towards the poles the clouds dim and grey, as the haze over them thickens.
#include "fluid.glsl"

layout(local_size_x = 8, local_size_y = 8) in;

void main() {
    ivec2 c = ivec2(gl_GlobalInvocationID.xy);
    if (c.x >= int(sim.width) || c.y >= int(sim.height))
        return;
    uint i = cellIndex(c.x, c.y);
    vec3 encoded = unpackEncoded(colors[i][colors[i].w & 1u]);
    float polar = smoothstep(0.3, 0.5, abs(rowLatitude(float(c.y) + 0.5)));
    float grey = dot(encoded, vec3(0.3, 0.55, 0.15));
    encoded = mix(encoded, vec3(grey) * vec3(0.92, 0.95, 1.0), 0.45 * polar) * (1.0 - 0.25 * polar);
    imageStore(fluidImage, c, vec4(encoded, 1.0));
}
