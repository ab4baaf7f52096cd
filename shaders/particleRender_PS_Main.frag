#version 450
// A soft glowing ball: brightness follows the length of the view ray inside the particle's sphere, so
// overlapping particles add up to a dense core and thin edges. Exhaust in sunlight glows a little brighter
// (dust and ice in it scatter the star's light); in eclipse that part goes.
#include "craft.glsl"

layout(std140, set = 1, binding = 1) uniform CraftLightsBlock {
    vec3 starColor;
    float starIntensity;
    vec3 starPosition;
    uint lightCount;
    CraftLight lights[16];
} craftLights;
layout(std140, set = 1, binding = 2) uniform ShadowBlock { ShadowData shadow; } eclipse;

layout(location = 0) in vec3 inWorldPosition;
layout(location = 1) flat in vec3 inCenter;
layout(location = 2) flat in float inRadius;
layout(location = 3) flat in vec3 inGlow;
layout(location = 0) out vec4 outColor;

void main() {
    vec3 rd = normalize(inWorldPosition - camera.eye);
    vec3 oc = inCenter - camera.eye;
    float t = dot(oc, rd);
    float h2 = dot(oc, oc) - t * t;
    // The icosahedron's faces come within 0.79 of its radius: keep the ball inside them.
    float r = 0.79 * inRadius;
    float x = 1.0 - h2 / (r * r);
    if (x <= 0.0)
        discard;
    float profile = x * sqrt(x);
    float sun = starVisibility(inCenter, eclipse.shadow.starPosition, eclipse.shadow.starRadius,
                               eclipse.shadow.occluderCount, eclipse.shadow.occluders);
    float scatter = 0.02 * craftLights.starIntensity * sun;
    vec3 color = inGlow * profile * (1.0 + scatter);
    // Additive blending keeps the target's alpha (scene depth) as it is.
    outColor = vec4(color, 0.0);
}
