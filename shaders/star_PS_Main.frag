#version 450
// Emissive photosphere: the view ray meets the true sphere (a round limb whatever the mesh), limb darkening, and
// granulation cells that turn with the star.
#include "scene.glsl"
#include "noise.glsl"

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
layout(std140, set = 1, binding = 2) uniform LightBlock { StarLight light; } star;
layout(std140, set = 1, binding = 3) uniform BodyBlock { vec3 position; float radius; } body;

layout(location = 0) in vec3 inWorldPosition;
layout(location = 0) out vec4 outColor;

void main() {
    vec3 rd = normalize(inWorldPosition - camera.eye);
    vec3 oc = camera.eye - body.position;
    float b = dot(oc, rd);
    float c = dot(oc, oc) - body.radius * body.radius;
    float disc = b * b - c;
    if (disc < 0.0)
        discard; // between the enclosing faces and the sphere
    float t = -b - sqrt(disc);
    if (t < 0.0)
        t = -b + sqrt(disc); // the eye inside the star: its far wall
    vec3 hit = camera.eye + t * rd;
    vec3 n = normalize(hit - body.position);
    float mu = clamp(dot(n, -rd), 0.0, 1.0);
    // Quadratic limb darkening law I(mu)/I(1) = 1 - u1 (1 - mu) - u2 (1 - mu)^2 with solar-like coefficients.
    float limb = 1.0 - 0.47 * (1.0 - mu) - 0.23 * (1.0 - mu) * (1.0 - mu);
    // Granulation: bright cell centres, dark lanes, at two scales, plus larger supergranule brightening, fixed to
    // the star's own frame so that they turn with it.
    vec3 p = normalize(transpose(mat3(object.model)) * n);
    vec2 cells = worleyF1F2(p * 60.0);
    float granule = smoothstep(0.0, 0.6, cells.y - cells.x);
    float fine = worleyF1F2(p * 150.0 + 3.7).x;
    float super = 0.5 + 0.5 * simplexNoise(p * 6.0);
    float texture = 0.7 + 0.32 * granule - 0.08 * fine + 0.08 * super;
    // White-hot centre, cooler and redder limb.
    vec3 tint = mix(vec3(1.0, 0.42, 0.1), vec3(1.0, 0.93, 0.8), pow(mu, 0.6));
    // About half the light's intensity at the disc centre: brighter than any lit surface, so that the bloom spreads
    // it as glare, yet short of the tone curve's white so that the limb and the granulation stay visible.
    vec3 base = star.light.color * max(star.light.intensity, 1.0) * 0.45;
    outColor = vec4(base * tint * limb * texture, t);
    // The depth of the true sphere, not of the enclosing faces above it (the corona's pass compares the two).
    vec4 clip = camera.viewProjection * vec4(hit, 1.0);
    gl_FragDepth = clip.z / clip.w;
}
