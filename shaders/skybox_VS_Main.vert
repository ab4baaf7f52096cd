#version 450
// The cube is drawn around the eye at infinity: only the camera's rotation applies and depth is the far plane.
#include "scene.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;

layout(location = 0) out vec3 outDirection;

void main() {
    outDirection = inPosition;
    // A direction (w = 0) takes no translation, so a far-away eye costs no precision.
    vec4 clip = camera.viewProjection * vec4(inPosition, 0.0);
    // On the far plane (z / w is exactly 1, which clipping keeps): drawn after the scene with less-or-equal, it
    // fills only the pixels nothing was drawn in, however far the bodies there are.
    gl_Position = vec4(clip.xy, clip.w, clip.w);
}
