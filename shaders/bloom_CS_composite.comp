#version 450
// Back into the HDR colour target: each texel gives up its bright part and receives the spread light of all
// levels (their sum over the number of levels, so one normalised blur). The alpha channel (distance) is kept.
// One invocation serves the block of target texels under one texel of level 0, reading the 3 x 3 level texels
// around it once and filtering them as a bilinear tap at each target texel's centre would (clamped at the
// edges). Where those nine hold nothing the texels had no bright part (level 0 starts as the mean of its texels'
// bright parts, all non-negative) and receive no light: they are left alone, which spares most of the frame's
// loads and stores of the full-size target.
#include "bloom.glsl"

layout(set = 0, binding = 0, rgba32f) uniform image2D destination;

void main() {
    ivec2 block = ivec2(gl_GlobalInvocationID.xy);
    ivec2 base = block * Footprint;
    if (any(greaterThanEqual(base, params.size)))
        return;
    ivec2 last = textureSize(source, 0) - 1;
    vec3 near[9];
    bool lit = false;
    for (int j = 0; j < 3; ++j)
        for (int i = 0; i < 3; ++i) {
            vec3 v = texelFetch(source, clamp(block + ivec2(i - 1, j - 1), ivec2(0), last), 0).rgb;
            near[j * 3 + i] = v;
            lit = lit || any(notEqual(v, vec3(0.0)));
        }
    if (!lit)
        return;
    // Target texel k (0..F-1) of the block sits at level coordinate block + (k + 0.5) / F: between level texels
    // k < F/2 ? (-1, 0) : (0, +1), the second weighing fract(0.5 + (k + 0.5) / F).
    const float step = 1.0 / float(Footprint);
    for (int y = 0; y < Footprint; ++y)
        for (int x = 0; x < Footprint; ++x) {
            ivec2 id = base + ivec2(x, y);
            if (any(greaterThanEqual(id, params.size)))
                continue;
            int i0 = x < Footprint / 2 ? 0 : 1, j0 = y < Footprint / 2 ? 0 : 1;
            float fx = fract(0.5 + (float(x) + 0.5) * step), fy = fract(0.5 + (float(y) + 0.5) * step);
            vec3 top = mix(near[j0 * 3 + i0], near[j0 * 3 + i0 + 1], fx);
            vec3 bottom = mix(near[(j0 + 1) * 3 + i0], near[(j0 + 1) * 3 + i0 + 1], fx);
            vec3 spread = mix(top, bottom, fy) * params.levelWeight;
            vec4 c = imageLoad(destination, id);
            imageStore(destination, id, vec4(max(c.rgb - brightPart(c.rgb), 0.0) + spread, c.a));
        }
}
