#version 450
// Biome colouring by height and slope, physically based shading under the star, eclipse shadows.
#include "planet.glsl"
#include "noise.glsl"
#include "pbr.glsl"

layout(location = 0) in vec3 inDirection;
layout(location = 1) in vec3 inWorldPosition;
layout(location = 0) out vec4 outColor;

void main() {
    vec3 dir = normalize(inDirection);
    float level = liquidLevel();
    float terrain = heightAt(dir);

    // Normal of the drawn surface from central differences a texel and a half apart along a tangent frame.
    vec3 up = abs(dir.y) < 0.99 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    vec3 t = normalize(cross(up, dir));
    vec3 b = cross(dir, t);
    float e = 1.5 * 1.5708 / float(textureSize(heightMap, 0).x);
    vec3 dt = surfacePoint(normalize(dir + t * e), level) - surfacePoint(normalize(dir - t * e), level);
    vec3 db = surfacePoint(normalize(dir + b * e), level) - surfacePoint(normalize(dir - b * e), level);
    vec3 localNormal = normalize(cross(dt, db));
    if (dot(localNormal, dir) < 0.0)
        localNormal = -localNormal;
    float slope = clamp(1.0 - dot(localNormal, dir), 0.0, 1.0) * 4.0; // 0 flat .. 1 at about 41 degrees

    // Biomes in order, front to back: the first whose height and slope bands hold takes the point, with soft
    // borders made ragged by a little noise so that bands do not read as contour lines.
    float h = terrain + 0.008 * simplexNoise(dir * 70.0);
    vec3 albedo = vec3(0.0);
    float metallic = 0.0, roughness = 0.0, remaining = 1.0;
    float below = -1e9; // top of the biomes before this one
    for (int i = 0; i < 8; ++i) {
        Biome bio = biomeAt(i);
        if (opaqueBool(bio.heightRange.y <= bio.heightRange.x, h))
            continue;
        // Wide bands fade into the next over a wider border than narrow ones (a beach stays a thin strip).
        float width = bio.heightRange.y - max(bio.heightRange.x, below);
        below = max(below, bio.heightRange.y);
        float soft = clamp(0.25 * width, 0.004, 0.03);
        float wh = smoothstep(bio.heightRange.x - soft, bio.heightRange.x + soft, h) *
                   (1.0 - smoothstep(bio.heightRange.y - soft, bio.heightRange.y + soft, h));
        float ws = smoothstep(bio.slopeRange.x - 0.05, bio.slopeRange.x + 0.05, slope) *
                   (1.0 - smoothstep(bio.slopeRange.y - 0.05, bio.slopeRange.y + 0.05, slope));
        float w = wh * ws * remaining;
        albedo += w * bio.color;
        metallic += w * bio.metallic;
        roughness += w * bio.roughness;
        remaining -= w;
    }
    // Ground that no biome claims stays a neutral rough grey.
    albedo += remaining * vec3(0.5);
    roughness += remaining * 0.8;
    // Biome colours are display (sRGB) colours; shading works on linear reflectance.
    albedo = pow(albedo, vec3(2.2));

    // Liquid: brighter over shallows, darker over the deeps.
    if (terrain < level) {
        Biome sea = biomeAt(0);
        float depth = clamp((level - terrain) / 0.15, 0.0, 1.0);
        albedo = pow(sea.color, vec3(2.2)) * mix(1.6, 0.45, sqrt(depth));
        metallic = sea.metallic;
        roughness = sea.roughness;
    } else {
        // Fine albedo variation so large plains are not flat colour. Ground seen from orbit is rough and hardly
        // metallic whatever its material: the biome values are kept in proportion, within that range.
        albedo *= 0.92 + 0.08 * simplexNoise(dir * 300.0 + 11.0);
        roughness = 0.5 + 0.5 * roughness;
        metallic *= 0.3;
    }

    mat3 rot = mat3(object.model);
    vec3 N = normalize(rot * localNormal);
    vec3 V = normalize(camera.eye - inWorldPosition);
    vec3 L = normalize(star.light.position - inWorldPosition);
    vec3 radiance = star.light.color * star.light.intensity;
    float visibility = starVisibility(inWorldPosition);
    // Terminator: the smooth sphere normal keeps relief from lighting the night side.
    vec3 sphereN = normalize(rot * dir);
    float daylight = smoothstep(-0.05, 0.1, dot(sphereN, L));
    vec3 color = shadePBR(albedo, metallic, roughness, N, V, L, radiance) * visibility * daylight;
    // Sky light of the atmosphere on the day side (tinted by its Rayleigh colour), and faint starlight.
    vec3 skyTint = clamp(atmosphere.rayleigh * atmosphere.rayleighFactor, 0.0, 1.0);
    color += albedo * (0.05 * radiance * skyTint * daylight * visibility + vec3(0.004));
    outColor = vec4(color, distance(camera.eye, inWorldPosition));
}
