#version 450
// The cube is drawn around the eye at infinity: only the camera's rotation applies and depth is the far plane.
// Each face reads its own layer of the star field with the coordinates a cube lookup would give it there (the
// major axis is the face's own, so they are linear across the face).
#include "scene.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;

layout(location = 0) out vec2 outFaceCoord;
layout(location = 1) flat out float outLayer;

void main() {
    vec3 r = inPosition;
    vec3 n = inNormal; // the face's outward axis
    // Layers +X, -X, +Y, -Y, +Z, -Z with the cube map's (sc, tc) of each.
    vec2 st;
    float ma;
    if (abs(n.x) > 0.5) {
        outLayer = n.x > 0.0 ? 0.0 : 1.0;
        st = vec2(-n.x * r.z, -r.y);
        ma = abs(r.x);
    } else if (abs(n.y) > 0.5) {
        outLayer = n.y > 0.0 ? 2.0 : 3.0;
        st = vec2(r.x, n.y * r.z);
        ma = abs(r.y);
    } else {
        outLayer = n.z > 0.0 ? 4.0 : 5.0;
        st = vec2(n.z * r.x, -r.y);
        ma = abs(r.z);
    }
    outFaceCoord = 0.5 * (st / ma + 1.0);
    // A direction (w = 0) takes no translation, so a far-away eye costs no precision.
    vec4 clip = camera.viewProjection * vec4(inPosition, 0.0);
    // On the far plane (z / w is exactly 1, which clipping keeps): drawn after the scene with less-or-equal, it
    // fills only the pixels nothing was drawn in, however far the bodies there are.
    gl_Position = vec4(clip.xy, clip.w, clip.w);
}
