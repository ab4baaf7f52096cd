#version 450
// The cloud tops of a gas planet from its fluid image: the view ray meets the true sphere (a round limb at any
// size), Minnaert limb darkening (deeper in blue, as scattering haze reddens the limb), a terminator softened by
// light scattered over it, and the eclipse shadows of the planets and moons between it and the star.
#include "scene.glsl"
#include "gas.glsl"

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
layout(std140, set = 1, binding = 2) uniform LightBlock { StarLight light; } star;
layout(std140, set = 1, binding = 3) uniform BodyBlock { vec3 position; float radius; } body;
layout(std140, set = 1, binding = 4) uniform ShadowBlock { ShadowData shadow; } eclipse;
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
    vec3 albedo = gasCloudColor(clouds, transpose(mat3(object.model)) * n);

    vec3 L = normalize(star.light.position - hit);
    float mu0 = dot(n, L);
    float mu = max(dot(n, -rd), 1e-3);
    // Minnaert: I ∝ μ0^k μ^(k−1); k above 1 darkens the limb.
    const vec3 k = vec3(1.05, 1.12, 1.22);
    vec3 lit = pow(vec3(max(mu0, 0.0)), k) * pow(vec3(mu), k - 1.0);
    // Light scattered in the upper haze carries a little past the geometric terminator, reddened.
    float twilight = smoothstep(-0.06, 0.04, mu0) * (1.0 - smoothstep(0.0, 0.12, mu0));
    lit += twilight * vec3(0.030, 0.016, 0.008);

    float visibility = starVisibility(hit, eclipse.shadow.starPosition, eclipse.shadow.starRadius,
                                      eclipse.shadow.occluderCount, eclipse.shadow.occluders);
    vec3 radiance = star.light.color * star.light.intensity;
    vec3 color = albedo / PI * radiance * lit * visibility;
    color += albedo * 0.004; // faint starlight on the night side
    outColor = vec4(color, t);
}
