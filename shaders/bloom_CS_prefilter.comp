#version 450
// Level 0 of the chain (half size) from the HDR colour target: the mean bright part of the 2 x 2 target texels
// under each level texel. Taken texel by texel, so what the composite removes again is exactly what was spread,
// even for a single bright texel.
#include "bloom.glsl"

layout(set = 0, binding = 0, rgba16f) uniform writeonly image2D destination;

void main() {
    ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (any(greaterThanEqual(id, params.size)))
        return;
    ivec2 last = textureSize(source, 0) - 1;
    vec3 sum = vec3(0.0);
    for (int k = 0; k < 4; ++k) {
        ivec2 t = min(id * 2 + ivec2(k & 1, k >> 1), last);
        sum += brightPart(texelFetch(source, t, 0).rgb);
    }
    imageStore(destination, id, vec4(sum * 0.25, 1.0));
}
