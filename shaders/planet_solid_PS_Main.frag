#version 450
// Biome colouring by height and slope, physically based shading under the star, eclipse shadows.
#include "planet.glsl"
#include "pbr.glsl"

layout(location = 0) in vec3 inDirection;
layout(location = 1) in vec3 inWorldPosition;
layout(location = 0) out vec4 outColor;

void main() {
    vec3 dir = normalize(inDirection);
    float h = heightAt(dir);

    // Normal from the height field: central differences one texel apart along a tangent frame.
    vec3 up = abs(dir.y) < 0.99 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    vec3 t = normalize(cross(up, dir));
    vec3 b = cross(dir, t);
    const float e = 1.0 / 1024.0;
    vec3 dt = surfacePoint(normalize(dir + t * e)) - surfacePoint(normalize(dir - t * e));
    vec3 db = surfacePoint(normalize(dir + b * e)) - surfacePoint(normalize(dir - b * e));
    vec3 localNormal = normalize(cross(dt, db));
    if (dot(localNormal, dir) < 0.0)
        localNormal = -localNormal;
    float slope = clamp(1.0 - dot(localNormal, dir), 0.0, 1.0) * 4.0; // 0 flat .. 1 at about 41 degrees

    // Later biomes paint over earlier ones where their height and slope bands hold, with soft borders.
    vec3 albedo = vec3(0.5);
    float metallic = 0.0, roughness = 0.8;
    for (int i = 0; i < 8; ++i) {
        Biome bio = biomeAt(i);
        if (bio.heightRange.y <= bio.heightRange.x)
            continue;
        const float soft = 0.015;
        float wh = smoothstep(bio.heightRange.x - soft, bio.heightRange.x + soft, h) *
                   (1.0 - smoothstep(bio.heightRange.y - soft, bio.heightRange.y + soft, h));
        float ws = smoothstep(bio.slopeRange.x - 0.05, bio.slopeRange.x + 0.05, slope) *
                   (1.0 - smoothstep(bio.slopeRange.y - 0.05, bio.slopeRange.y + 0.05, slope));
        float w = wh * ws;
        albedo = mix(albedo, bio.color, w);
        metallic = mix(metallic, bio.metallic, w);
        roughness = mix(roughness, bio.roughness, w);
    }

    mat3 rot = mat3(object.model);
    vec3 N = normalize(rot * localNormal);
    vec3 V = normalize(camera.eye - inWorldPosition);
    vec3 L = normalize(star.light.position - inWorldPosition);
    vec3 radiance = star.light.color * star.light.intensity;
    float visibility = starVisibility(inWorldPosition, eclipse.shadow.starPosition, eclipse.shadow.starRadius,
                                      eclipse.shadow.occluderCount, eclipse.shadow.occluders);
    // Terminator: the smooth sphere normal keeps relief from lighting the night side.
    vec3 sphereN = normalize(rot * dir);
    float daylight = smoothstep(-0.05, 0.1, dot(sphereN, L));
    vec3 color = shadePBR(albedo, metallic, roughness, N, V, L, radiance) * visibility * daylight;
    // Faint sky light from the atmosphere on the day side, and starlight ambient.
    vec3 skyTint = atmosphere.rayleigh * atmosphere.rayleighFactor;
    color += albedo * (0.015 * radiance * skyTint * 20.0 * daylight * visibility + vec3(0.004));
    outColor = vec4(color, distance(camera.eye, inWorldPosition));
}
