#version 450
// Emissive photosphere: limb darkening and granulation cells that turn with the star.
#include "scene.glsl"
#include "noise.glsl"

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
layout(std140, set = 1, binding = 2) uniform LightBlock { StarLight light; } star;
layout(std140, set = 1, binding = 3) uniform BodyBlock { vec3 position; float radius; } body;

layout(location = 0) in vec3 inLocal;
layout(location = 1) in vec3 inWorldPosition;
layout(location = 0) out vec4 outColor;

void main() {
    vec3 n = normalize(mat3(object.model) * normalize(inLocal));
    vec3 v = normalize(camera.eye - inWorldPosition);
    float mu = clamp(dot(n, v), 0.0, 1.0);
    // Quadratic limb darkening law I(mu)/I(1) = 1 - u1 (1 - mu) - u2 (1 - mu)^2 with solar-like coefficients.
    float limb = 1.0 - 0.47 * (1.0 - mu) - 0.23 * (1.0 - mu) * (1.0 - mu);
    // Granulation: bright cell centres, dark lanes, at two scales, plus larger supergranule brightening.
    vec3 p = normalize(inLocal);
    vec2 cells = worleyF1F2(p * 60.0);
    float granule = smoothstep(0.0, 0.6, cells.y - cells.x);
    float fine = worleyF1F2(p * 150.0 + 3.7).x;
    float super = 0.5 + 0.5 * simplexNoise(p * 6.0);
    float texture = 0.82 + 0.16 * granule - 0.06 * fine + 0.06 * super;
    // Cooler, redder limb.
    vec3 tint = mix(vec3(1.0, 0.55, 0.25), vec3(1.0), pow(mu, 0.35));
    vec3 base = star.light.color * max(star.light.intensity, 1.0);
    vec3 color = base * tint * limb * texture * 4.0;
    outColor = vec4(color, distance(camera.eye, inWorldPosition));
}
