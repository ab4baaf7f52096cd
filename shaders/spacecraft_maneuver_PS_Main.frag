#version 450
// A translucent disc with a denser rim: it marks the prediction line without hiding it, at the lines' radiance
// (under the bloom's threshold, so it stays a few pixels wide). The pipeline keeps the destination's alpha, the
// eye distance of what lies behind.
layout(location = 0) in vec2 inDisc;
layout(location = 1) flat in vec4 inColor;

layout(location = 0) out vec4 outColor;

const float MarkerRadiance = 1.0;

void main() {
    float r = length(inDisc);
    float edge = max(fwidth(r), 1e-3);
    float inside = 1.0 - smoothstep(1.0 - edge, 1.0, r);
    if (inside <= 0.0)
        discard;
    float rim = smoothstep(0.55, 0.8, r);
    float coverage = inColor.a * mix(0.6, 1.0, rim) * inside;
    outColor = vec4(inColor.rgb * MarkerRadiance, coverage);
}
