#version 450
// Back into the HDR colour target: each texel gives up its bright part and receives the spread light of all
// levels (their sum over the number of levels, so one normalised blur). The alpha channel (distance) is kept.
#include "bloom.glsl"

layout(set = 0, binding = 0, rgba32f) uniform image2D destination;

void main() {
    ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (any(greaterThanEqual(id, params.size)))
        return;
    vec4 c = imageLoad(destination, id);
    vec3 spread = textureLod(source, centreOf(id) * params.coverage, 0.0).rgb * params.levelWeight;
    imageStore(destination, id, vec4(max(c.rgb - brightPart(c.rgb), 0.0) + spread, c.a));
}
