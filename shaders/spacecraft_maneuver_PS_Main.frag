#version 450
// A self-lit marker sphere: brightest facing the eye, with a brighter rim so that it reads as a sphere
// against the line it sits on. Alpha carries the eye distance, as for every opaque surface.
#include "scene.glsl"

layout(location = 0) in vec3 inNormal;
layout(location = 1) in vec3 inWorldPosition;
layout(location = 2) flat in vec4 inColor;

layout(location = 0) out vec4 outColor;

void main() {
    vec3 toEye = normalize(camera.eye - inWorldPosition);
    float facing = abs(dot(normalize(inNormal), toEye));
    float rim = pow(1.0 - facing, 3.0);
    vec3 color = inColor.rgb * (1.5 + 1.5 * facing) + vec3(rim);
    outColor = vec4(color, distance(camera.eye, inWorldPosition));
}
