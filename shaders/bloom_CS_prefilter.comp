#version 450
// Level 0 of the chain (an eighth of the target's size, padded) from the HDR colour target: the mean bright part of
// the 8 x 8 target texels under each level texel, the first downsample done in the same reads. Each bilinear tap
// at the corner shared by a 2 x 2 block reads the block's mean, so a quarter of the taps cover every texel.
#include "bloomPass.glsl"

layout(set = 0, binding = 0, rgba32f) uniform writeonly image2D destination;

void main() {
    ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (any(greaterThanEqual(id, params.size)))
        return;
    ivec2 target = textureSize(source, 0);
    vec2 texel = 1.0 / vec2(target);
    vec3 sum = vec3(0.0);
    for (int y = 0; y < Footprint; y += 2)
        for (int x = 0; x < Footprint; x += 2) {
            ivec2 t = id * Footprint + ivec2(x, y);
            // The padding beyond the target holds no light.
            if (all(lessThan(t, target)))
                sum += brightPart(textureLod(source, (vec2(t) + 1.0) * texel, 0.0).rgb);
        }
    imageStore(destination, id, vec4(sum * (4.0 / float(Footprint * Footprint)), 1.0));
}
