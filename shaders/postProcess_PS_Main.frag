#version 450
// Resolves the high-dynamic-range colour target into the swap chain image: the bloom's glare composited (each texel
// gives up its bright part and receives the spread light), exposure, then a filmic curve (Hable's) normalised to
// its white point. The output is linear; the sRGB swap chain format encodes it.
#include "bloom.glsl"

// Post-process block (32 bytes, std140): exposure and filmic exposure bias, then the bloom's composite.
layout(std140, set = 0, binding = 0) uniform PostProcessBlock {
    float exposure;
    float exposureBias;
    float bloomThreshold; // as the chain's first pass took the bright part out
    float bloomKnee;
    float bloomStrength;
    float bloomWeight;    // 1 / number of chain levels; 0 while the bloom is off
    vec2 bloomCoverage;   // the target's share of chain level 0, which is padded
} post;

// The colour target; its alpha holds scene depth information, not coverage, and is ignored.
layout(set = 0, binding = 1) uniform sampler2D hdrColor;
// Level 0 of the bloom chain: the sum of every level's blur of the bright part.
layout(set = 0, binding = 2) uniform sampler2D bloomChain;

layout(location = 0) in vec2 inTexCoord;
layout(location = 0) out vec4 outColor;

// Linear white: the scene value that maps to 1.0.
const float WhitePoint = 11.2;

vec3 filmic(vec3 x) {
    const float A = 0.15; // shoulder strength
    const float B = 0.50; // linear strength
    const float C = 0.10; // linear angle
    const float D = 0.20; // toe strength
    const float E = 0.02; // toe numerator
    const float F = 0.30; // toe denominator
    return ((x * (A * x + C * B) + D * E) / (x * (A * x + B) + D * F)) - E / F;
}

void main() {
    vec3 hdr = texture(hdrColor, inTexCoord).rgb;
    // Negative or non-finite texels (a blown-up simulation) must not poison the curve.
    hdr = clamp(hdr, vec3(0.0), vec3(65504.0));
    if (post.bloomWeight > 0.0) {
        // Most of a frame has no glare: one texel of level 0 tells, and only there is the filtered tap taken. A
        // texel with nothing spread took nothing out of the texels under it either, so they are left alone.
        vec2 level = inTexCoord * post.bloomCoverage;
        vec3 nearest = texelFetch(bloomChain, ivec2(level * vec2(textureSize(bloomChain, 0))), 0).rgb;
        if (any(greaterThan(nearest, vec3(0.0)))) {
            vec3 spread = textureLod(bloomChain, level, 0.0).rgb * post.bloomWeight;
            hdr = max(hdr - bloomBrightPart(hdr, post.bloomThreshold, post.bloomKnee, post.bloomStrength), 0.0) +
                  spread;
        }
    }
    vec3 mapped = filmic(hdr * post.exposure * post.exposureBias) / filmic(vec3(WhitePoint));
    outColor = vec4(clamp(mapped, 0.0, 1.0), 1.0);
}
