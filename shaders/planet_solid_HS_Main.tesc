#version 450
// Subdivision of the planet's patches: more levels near the camera (the tessellation distance sets how fast
// they fall off), but no finer than about 1/24 of the screen height per subdivided edge divided by the factor
// (11 pixels at 1080 lines and factor 4): that is all the relief needs, the shading takes its detail from the
// height map. The outline needs more where the surface turns away from the eye: a straight edge runs below the
// sphere by its sagitta, which seen edge-on shows as a flat facet on the limb, however short the edge looks on
// screen. Edges there are split until that sag is under about a sixth of a pixel at 1080 lines (factor 4).
// Patches behind the horizon are culled. The clamp (64) is the one the draw's patch runs are sized for.
#include "planet.glsl"

layout(vertices = 3) out;
layout(location = 0) in vec3 inDirection[];
layout(location = 0) out vec3 outDirection[];

vec3 worldPoint(vec3 dir) { return (object.model * vec4(dir * body.radius, 1.0)).xyz; }

// Normalised device x counted in units of the screen height, as y is: the projection's x scale over its y scale is
// the aspect ratio (the view matrix only rotates the rows it multiplies).
vec2 screenUnits() {
    mat4 m = camera.viewProjection;
    float sx = length(vec3(m[0][0], m[1][0], m[2][0])), sy = length(vec3(m[0][1], m[1][1], m[2][1]));
    return vec2(sx > 0.0 ? sy / sx : 1.0, 1.0);
}

// Subdivisions that bring a sag of `sag` (in screen heights / 2) under 1 / (900 factor) of it: the sag of an arc
// split in L falls as 1 / L^2.
float levelForSag(float sag) { return sqrt(sag * 900.0 * tessellation.factor); }

float levelFor(vec3 a, vec3 b, vec2 units) {
    vec3 wa = worldPoint(a), wb = worldPoint(b);
    vec3 mid = worldPoint(normalize(a + b));
    float d = max(distance(mid, camera.eye) - body.radius, 0.0);
    float t = clamp(d / max(tessellation.distance, 1e-6), 0.0, 1.0);
    float level = mix(tessellation.maxSubdivision, tessellation.minSubdivision, sqrt(t));
    vec4 ca = camera.viewProjection * vec4(wa, 1.0), cb = camera.viewProjection * vec4(wb, 1.0);
    vec4 cm = camera.viewProjection * vec4(mid, 1.0), cc = camera.viewProjection * vec4(0.5 * (wa + wb), 1.0);
    if (ca.w > 1e-4 && cb.w > 1e-4 && cm.w > 1e-4 && cc.w > 1e-4) {
        // Edge length in normalised device coordinates; 2 is the screen height.
        float ndc = length((ca.xy / ca.w - cb.xy / cb.w) * units);
        level = min(level, max(ndc * 12.0 * tessellation.factor, 1.0));
        // The arc's midpoint against the chord's on screen: large only where the edge turns away from the eye.
        level = max(level, levelForSag(length((cm.xy / cm.w - cc.xy / cc.w) * units)));
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
    vec2 units = screenUnits();
    gl_TessLevelOuter[0] = levelFor(b, c, units);
    gl_TessLevelOuter[1] = levelFor(c, a, units);
    gl_TessLevelOuter[2] = levelFor(a, b, units);
    gl_TessLevelInner[0] = max(gl_TessLevelOuter[0], max(gl_TessLevelOuter[1], gl_TessLevelOuter[2]));
}
