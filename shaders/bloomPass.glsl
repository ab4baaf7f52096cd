// Shared by the bloom chain's passes ("SI_0+CIS_1"): binding 0 is the image written, binding 1 the image read.
#ifndef BLOOM_PASS_GLSL
#define BLOOM_PASS_GLSL

#include "bloom.glsl"

layout(local_size_x = 8, local_size_y = 8) in;

// Target texels per level-0 texel along each axis (BloomFootprint on the C++ side).
const int Footprint = 8;

layout(push_constant) uniform BloomParameters {
    ivec2 size;       // destination extent, texels
    int sourceLevel;  // chain level read
    float threshold;  // luminance where spreading starts
    float knee;       // soft start of the threshold
    float strength;   // fraction of the light above the threshold that is spread
    float levelWeight; // 1 / number of chain levels
    float padding;
    vec2 coverage;     // the target's share of level 0, which is padded to whole halvings
} params;

layout(set = 0, binding = 1) uniform sampler2D source;

vec3 brightPart(vec3 c) { return bloomBrightPart(c, params.threshold, params.knee, params.strength); }

// Centre of destination texel `id` in the source's normalised coordinates.
vec2 centreOf(ivec2 id) { return (vec2(id) + 0.5) / vec2(params.size); }

#endif
