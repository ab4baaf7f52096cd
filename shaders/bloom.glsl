// Shared by the bloom passes ("SI_0+CIS_1"): binding 0 is the image written, binding 1 the image read.
#ifndef BLOOM_GLSL
#define BLOOM_GLSL

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

float luminance(vec3 c) { return dot(c, vec3(0.2126, 0.7152, 0.0722)); }

// The part of a colour that is spread: its light above the threshold, entering over a quadratic knee so that
// nothing pops in, times the strength. The same function decides what the composite takes out again.
vec3 brightPart(vec3 c) {
    c = clamp(c, vec3(0.0), vec3(65504.0)); // non-finite or negative input must not spread
    float l = luminance(c);
    float soft = clamp(l - params.threshold + params.knee, 0.0, 2.0 * params.knee);
    soft = soft * soft / (4.0 * params.knee);
    float above = max(soft, l - params.threshold);
    return c * (above / max(l, 1e-4)) * params.strength;
}

// Centre of destination texel `id` in the source's normalised coordinates, and a source texel's size there.
vec2 centreOf(ivec2 id) { return (vec2(id) + 0.5) / vec2(params.size); }

#endif
