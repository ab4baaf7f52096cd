#version 450
// Subdivision of the planet's patches: more levels near the camera (the tessellation distance sets how fast
// they fall off), but no finer than about 1/24 of the screen height per subdivided edge divided by the factor
// (11 pixels at 1080 lines and factor 4): that is all the silhouette and the relief need, the shading takes its
// detail from the height map. Patches behind the horizon are culled.
#include "planet.glsl"

layout(vertices = 3) out;
layout(location = 0) in vec3 inDirection[];
layout(location = 0) out vec3 outDirection[];

vec3 worldPoint(vec3 dir) { return (object.model * vec4(dir * body.radius, 1.0)).xyz; }

float levelFor(vec3 a, vec3 b) {
    vec3 wa = worldPoint(a), wb = worldPoint(b);
    vec3 mid = worldPoint(normalize(a + b));
    float d = max(distance(mid, camera.eye) - body.radius, 0.0);
    float t = clamp(d / max(tessellation.distance, 1e-6), 0.0, 1.0);
    float level = mix(tessellation.maxSubdivision, tessellation.minSubdivision, sqrt(t));
    vec4 ca = camera.viewProjection * vec4(wa, 1.0), cb = camera.viewProjection * vec4(wb, 1.0);
    if (ca.w > 1e-4 && cb.w > 1e-4) {
        // Edge length in normalised device coordinates; 2 is the screen height.
        float ndc = length(ca.xy / ca.w - cb.xy / cb.w);
        level = min(level, max(ndc * 12.0 * tessellation.factor, 1.0));
    }
    return clamp(level, 1.0, 64.0);
}

void main() {
    outDirection[gl_InvocationID] = inDirection[gl_InvocationID];
    if (gl_InvocationID != 0)
        return;
    vec3 a = inDirection[0], b = inDirection[1], c = inDirection[2];
    // Horizon cull: a patch whose every corner faces away from the eye (with margin for relief) is invisible.
    vec3 centre = (object.model * vec4(0.0, 0.0, 0.0, 1.0)).xyz;
    vec3 toEye = camera.eye - centre;
    float eyeDist = length(toEye);
    float horizon = body.radius / max(eyeDist, 1e-6);
    mat3 rot = mat3(object.model);
    float margin = 0.1 + 2.0 * surface.elevationScale;
    bool hidden = eyeDist > body.radius * 1.05;
    for (int i = 0; i < 3 && hidden; ++i) {
        vec3 n = normalize(rot * inDirection[i]);
        hidden = dot(n, toEye / eyeDist) < horizon - margin;
    }
    if (hidden) {
        gl_TessLevelOuter[0] = gl_TessLevelOuter[1] = gl_TessLevelOuter[2] = 0.0;
        gl_TessLevelInner[0] = 0.0;
        return;
    }
    // Outer level i is the edge opposite corner i.
    gl_TessLevelOuter[0] = levelFor(b, c);
    gl_TessLevelOuter[1] = levelFor(c, a);
    gl_TessLevelOuter[2] = levelFor(a, b);
    gl_TessLevelInner[0] = max(gl_TessLevelOuter[0], max(gl_TessLevelOuter[1], gl_TessLevelOuter[2]));
}
