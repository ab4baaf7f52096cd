#version 450
// One body's sky-view table for this frame's eye: the old per-pixel march, once per table texel.
#define ATMOSPHERE_TABLE_BUILD
#include "atmosphere.glsl"

layout(local_size_x = 8, local_size_y = 8) in;

// Width (azimuths) by twice the rows: the in-scatter above, the transmittance below.
layout(set = 2, binding = 9, rgba16f) uniform writeonly image2D skyTable;

layout(push_constant) uniform SkyViewParameters {
    ivec2 size; // azimuths, rows
    float coefficientScale;
    int corona; // the star's own shell: its glow rather than sunlight
} params;

// Half floats end at 65504; a corona seen through its densest air could pass it.
const float HalfMax = 6.0e4;

void main() {
    ivec2 texel = ivec2(gl_GlobalInvocationID.xy);
    if (texel.x >= params.size.x || texel.y >= params.size.y)
        return;
    bool isCorona = opaqueBool(params.corona != 0, gl_LocalInvocationIndex);
    Shell s = currentShell(params.coefficientScale, isCorona ? CoronaSharpness : Sharpness);
    vec3 eye = camera.eye;
    SkyFrame f = skyFrame(s, eye, float(gl_LocalInvocationIndex));
    vec3 rd = skyDirection(f, (vec2(texel) + 0.5) / vec2(params.size));
    vec3 inscatter = vec3(0.0), transmittance = vec3(1.0);
    vec2 hit = raySphere(eye - s.centre, rd, s.top);
    if (hit.x <= hit.y && hit.y > 0.0) {
        float t0 = max(hit.x, 0.0), t1 = hit.y;
        vec2 core = raySphere(eye - s.centre, rd, s.ground);
        if (core.x <= core.y && core.x > 0.0)
            t1 = min(t1, core.x);
        vec3 radiance = star.light.color * star.light.intensity;
        if (isCorona)
            inscatter = corona(s, eye, rd, t0, t1, radiance, transmittance);
        else
            // A gas giant's haze (its scaled coefficients) takes no multiple scattering.
            scatter(s, eye, rd, t0, t1, radiance, params.coefficientScale < 1.0 ? 0.0 : 1.0, inscatter,
                    transmittance);
    }
    imageStore(skyTable, texel, vec4(min(inscatter, vec3(HalfMax)), 1.0));
    imageStore(skyTable, texel + ivec2(0, params.size.y), vec4(transmittance, 1.0));
}
