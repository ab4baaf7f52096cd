#version 450
// A light cyan line, fading from opaque at the craft to half transparent at the end of the prediction; under the
// bloom's threshold, so that it stays thin.
layout(location = 0) in float inAlong;
layout(location = 0) out vec4 outColor;

void main() {
    float alpha = mix(1.0, 0.5, clamp(inAlong, 0.0, 1.0));
    outColor = vec4(vec3(0.35, 0.95, 1.0) * 1.2, alpha);
}
