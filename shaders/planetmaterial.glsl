// The biomes of a solid planet and what they make of its relief: the liquid level, the surface's normal and the
// ground's material. The baking pass evaluates these once per texel of the planet's cube maps; the surface shaders
// read the results. The including file declares, before including this:
//   uniform SurfaceBlock { float elevationScale; } surface;
//   uniform BiomeBlock { vec4 data[24]; } biomes;
//   uniform samplerCube heightMap;
#ifndef PLANETMATERIAL_GLSL
#define PLANETMATERIAL_GLSL
#include "noise.glsl"
#include "opaque.glsl"

struct Biome {
    vec2 heightRange;
    vec2 slopeRange;
    vec3 color;
    float metallic;
    float roughness;
};

// std140 array stride 48: vec2, vec2, vec3 + pad, then metallic and roughness.
Biome biomeAt(int i) {
    vec4 a = biomes.data[i * 3 + 0], b = biomes.data[i * 3 + 1], c = biomes.data[i * 3 + 2];
    Biome r;
    r.heightRange = a.xy;
    r.slopeRange = a.zw;
    r.color = b.xyz;
    r.metallic = c.x;
    r.roughness = c.y;
    return r;
}

float heightAt(vec3 dir) { return textureLod(heightMap, dir, 0.0).r; }

// A lowest biome as smooth as water (roughness at most 0.12, not metallic) is a liquid: it fills the terrain
// below its top height with a level surface (oceans, lakes). Returns that level, or -1e9 without a liquid.
float liquidLevel() {
    Biome b = biomeAt(0);
    bool liquid = b.heightRange.y > b.heightRange.x && b.roughness <= 0.12 && b.metallic <= 0.01;
    return liquid ? b.heightRange.y : -1e9;
}

// Height of the drawn surface: the terrain, or the liquid's level above sunken terrain.
float surfaceHeight(float terrain, float level) { return max(terrain, level); }

// The displaced surface in direction `dir` on a sphere of radius 1 (the normal does not depend on the radius).
vec3 unitSurfacePoint(vec3 dir, float level) {
    return dir * (1.0 + surface.elevationScale * surfaceHeight(heightAt(dir), level));
}

// Normal of the drawn surface (before the model matrix) from central differences a texel and a half apart along a
// tangent frame.
vec3 reliefNormal(vec3 dir, float level) {
    vec3 up = abs(dir.y) < 0.99 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0);
    vec3 t = normalize(cross(up, dir));
    vec3 b = cross(dir, t);
    float e = 1.5 * 1.5708 / float(textureSize(heightMap, 0).x);
    vec3 dt = unitSurfacePoint(normalize(dir + t * e), level) - unitSurfacePoint(normalize(dir - t * e), level);
    vec3 db = unitSurfacePoint(normalize(dir + b * e), level) - unitSurfacePoint(normalize(dir - b * e), level);
    vec3 n = normalize(cross(dt, db));
    return dot(n, dir) < 0.0 ? -n : n;
}

struct Ground {
    vec3 albedo; // linear reflectance
    float metallic;
    float roughness;
};

// The dry ground at `dir`: biomes in order, front to back, the first whose height and slope bands hold takes the
// point, with soft borders made ragged by a little noise so that bands do not read as contour lines.
Ground groundAt(vec3 dir, float terrain, vec3 normal) {
    float slope = clamp(1.0 - dot(normal, dir), 0.0, 1.0) * 4.0; // 0 flat .. 1 at about 41 degrees
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
    Ground g;
    // Biome colours are display (sRGB) colours; shading works on linear reflectance. Fine albedo variation so
    // large plains are not flat colour.
    g.albedo = pow(albedo, vec3(2.2)) * (0.92 + 0.08 * simplexNoise(dir * 300.0 + 11.0));
    // Ground seen from orbit is rough and hardly metallic whatever its material: the biome values are kept in
    // proportion, within that range.
    g.roughness = 0.5 + 0.5 * roughness;
    g.metallic = metallic * 0.3;
    return g;
}

// The liquid over terrain below `level`: brighter over shallows, darker over the deeps.
Ground liquidAt(float terrain, float level) {
    Biome sea = biomeAt(0);
    float depth = clamp((level - terrain) / 0.15, 0.0, 1.0);
    Ground g;
    g.albedo = pow(sea.color, vec3(2.2)) * mix(1.6, 0.45, sqrt(depth));
    g.metallic = sea.metallic;
    g.roughness = sea.roughness;
    return g;
}

#endif
