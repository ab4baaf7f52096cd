#version 450
// Level L += level L + 1 blown up with a tent (four bilinear taps half a coarse texel apart, which weigh the
// nine nearest coarse texels 1 2 1 / 2 4 2 / 1 2 1): after the last pass level 0 holds the sum of every level's
// blur of the bright part, narrow to wide.
#include "bloomPass.glsl"

layout(set = 0, binding = 0, rgba32f) uniform image2D destination;

void main() {
    ivec2 id = ivec2(gl_GlobalInvocationID.xy);
    if (any(greaterThanEqual(id, params.size)))
        return;
    vec2 uv = centreOf(id);
    float lod = float(params.sourceLevel);
    vec2 h = 0.5 / vec2(textureSize(source, params.sourceLevel));
    vec3 sum = textureLod(source, uv + vec2(-h.x, -h.y), lod).rgb + textureLod(source, uv + vec2(h.x, -h.y), lod).rgb +
               textureLod(source, uv + vec2(-h.x, h.y), lod).rgb + textureLod(source, uv + vec2(h.x, h.y), lod).rgb;
    vec3 own = imageLoad(destination, id).rgb;
    imageStore(destination, id, vec4(own + sum * 0.25, 1.0));
}
