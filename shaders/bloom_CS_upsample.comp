#version 450
// Level L += level L + 1 blown up with a 3 x 3 tent (nine bilinear taps): after the last pass level 0 holds the
// sum of every level's blur of the bright part, narrow to wide.
#include "bloom.glsl"

layout(set = 0, binding = 0, rgba16f) uniform image2D destination;

void main() {
    ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (any(greaterThanEqual(id, params.size)))
        return;
    vec2 uv = centreOf(id);
    float lod = float(params.sourceLevel);
    vec2 texel = 1.0 / vec2(textureSize(source, params.sourceLevel));
    vec3 sum = vec3(0.0);
    for (int y = -1; y <= 1; ++y)
        for (int x = -1; x <= 1; ++x) {
            float w = (x == 0 ? 2.0 : 1.0) * (y == 0 ? 2.0 : 1.0);
            sum += w * textureLod(source, uv + vec2(x, y) * texel, lod).rgb;
        }
    vec3 own = imageLoad(destination, id).rgb;
    imageStore(destination, id, vec4(own + sum / 16.0, 1.0));
}
