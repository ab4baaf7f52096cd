#version 450
// Back into the HDR colour target: each texel gives up its bright part and receives the spread light of all
// levels (their sum over the number of levels, so one normalised blur). The alpha channel (distance) is kept.
// Where the chain holds nothing the texel had no bright part (level 0 starts as the mean of its texels' bright
// parts, all non-negative) and receives no light: it is left alone, which spares most of the frame's loads
// and stores of the full-size target.
#include "bloom.glsl"

layout(set = 0, binding = 0, rgba32f) uniform image2D destination;

void main() {
    ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (any(greaterThanEqual(id, params.size)))
        return;
    vec3 chain = textureLod(source, centreOf(id) * params.coverage, 0.0).rgb;
    if (all(equal(chain, vec3(0.0))))
        return;
    vec4 c = imageLoad(destination, id);
    imageStore(destination, id, vec4(max(c.rgb - brightPart(c.rgb), 0.0) + chain * params.levelWeight, c.a));
}
