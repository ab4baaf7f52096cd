// What the bloom takes out of a colour: shared by the chain's first pass and the post-process, which puts the spread
// light back, so that both decide alike.
#ifndef BLOOM_GLSL
#define BLOOM_GLSL

float bloomLuminance(vec3 c) { return dot(c, vec3(0.2126, 0.7152, 0.0722)); }

// The light above the threshold, entering over a quadratic knee so that nothing pops in, times the strength.
vec3 bloomBrightPart(vec3 c, float threshold, float knee, float strength) {
    c = clamp(c, vec3(0.0), vec3(65504.0)); // non-finite or negative input must not spread
    float l = bloomLuminance(c);
    float soft = clamp(l - threshold + knee, 0.0, 2.0 * knee);
    soft = soft * soft / (4.0 * knee);
    float above = max(soft, l - threshold);
    return c * (above / max(l, 1e-4)) * strength;
}

#endif
