#version 450
// Level L from level L - 1: a 4 x 4 box of the finer level (four bilinear taps).
#include "bloomPass.glsl"

layout(set = 0, binding = 0, rgba32f) uniform writeonly image2D destination;

void main() {
    ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (any(greaterThanEqual(id, params.size)))
        return;
    vec2 uv = centreOf(id);
    float lod = float(params.sourceLevel);
    vec2 texel = 1.0 / vec2(textureSize(source, params.sourceLevel));
    vec3 sum = textureLod(source, uv + vec2(-texel.x, -texel.y), lod).rgb +
               textureLod(source, uv + vec2(texel.x, -texel.y), lod).rgb +
               textureLod(source, uv + vec2(-texel.x, texel.y), lod).rgb +
               textureLod(source, uv + vec2(texel.x, texel.y), lod).rgb;
    imageStore(destination, id, vec4(sum * 0.25, 1.0));
}
