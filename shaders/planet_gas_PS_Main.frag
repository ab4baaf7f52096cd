#version 450
// The cloud tops of a gas planet from its fluid image: the view ray meets the true sphere (a round limb at any
// size), the clouds' relief from their brightness, Minnaert limb darkening (deeper in blue, as the upper haze
// reddens the limb), a terminator softened by the light the haze scatters over it, and the eclipse shadows of the
// planets and moons between the planet and the star.
#include "scene.glsl"
#include "gas.glsl"

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
layout(std140, set = 1, binding = 2) uniform LightBlock { StarLight light; } star;
layout(std140, set = 1, binding = 3) uniform BodyBlock { vec3 position; float radius; } body;
layout(std140, set = 1, binding = 4) uniform ShadowBlock { ShadowData shadow; } eclipse;
#include "eclipse.glsl"
layout(set = 1, binding = 5) uniform sampler2D clouds;

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
        discard; // the eye inside the planet sees nothing of its clouds
    vec3 hit = camera.eye + t * rd;
    vec3 n = normalize(hit - body.position);
    mat3 rotation = mat3(object.model);
    vec3 local = normalize(transpose(rotation) * n);
    vec3 albedo = gasCloudColor(clouds, local);
    vec3 relief = normalize(rotation * gasCloudNormal(clouds, local, 3.0));

    vec3 L = normalize(star.light.position - hit);
    float mu0 = dot(n, L);
    float mu = max(dot(n, -rd), 1e-3);
    // Minnaert: I ∝ μ0^k μ^(k−1); k above 1 darkens the limb, more in blue.
    const vec3 k = vec3(1.05, 1.1, 1.2);
    float shaded = clamp(max(dot(relief, L), 0.0) / max(mu0, 1e-3), 0.0, 2.0);
    vec3 lit = pow(vec3(max(mu0, 0.0)), k) * pow(vec3(mu), k - 1.0) * mix(1.0, shaded, smoothstep(0.0, 0.2, mu0));
    // Haze lit beyond the terminator: a thin reddened fringe.
    lit += vec3(0.020, 0.011, 0.006) * exp(-(mu0 * mu0) / 0.0016);

    float visibility = starVisibility(hit);
    vec3 radiance = star.light.color * star.light.intensity;
    vec3 color = albedo / PI * radiance * lit * visibility;
    color += albedo * 0.004; // faint starlight on the night side
    outColor = vec4(color, t);
    // The depth of the true sphere, not of the enclosing faces a percent above it: the atmosphere pass compares
    // the two to find what stands in front of its air.
    vec4 clip = camera.viewProjection * vec4(hit, 1.0);
    gl_FragDepth = clip.z / clip.w;
}
