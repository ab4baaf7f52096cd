// Bindings of the "planet_solid" pipeline, set 1 ("UBD_1+UBD_2+...+CIS_9").
#ifndef PLANET_GLSL
#define PLANET_GLSL
#include "scene.glsl"

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
layout(std140, set = 1, binding = 2) uniform LightBlock { StarLight light; } star;
layout(std140, set = 1, binding = 3) uniform BodyBlock { vec3 position; float radius; } body;
layout(std140, set = 1, binding = 4) uniform AtmosphereBlock {
    vec3 rayleigh;
    float radius;
    float mie;
    float mieG;
    float densityFalloff;
    float rayleighFactor;
} atmosphere;
layout(std140, set = 1, binding = 5) uniform TessellationBlock {
    float distance;
    float factor;
    float maxSubdivision;
    float minSubdivision;
    float pixelsPerEdge;  // target length of a subdivided edge on screen
    float viewportHeight; // pixels
    float heightLow;      // lowest and highest heights the generator's layers can make
    float heightHigh;
} tessellation;
layout(std140, set = 1, binding = 6) uniform SurfaceBlock { float elevationScale; } surface;

struct Biome {
    vec2 heightRange;
    vec2 slopeRange;
    vec3 color;
    float metallic;
    float roughness;
};
layout(std140, set = 1, binding = 7) uniform BiomeBlock {
    // std140 array stride 48: vec2, vec2, vec3 + pad, then metallic and roughness.
    vec4 data[24];
} biomes;
layout(std140, set = 1, binding = 8) uniform ShadowBlock { ShadowData shadow; } eclipse;
#include "eclipse.glsl"
layout(set = 1, binding = 9) uniform samplerCube heightMap;

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

// Local position (before the model matrix) of the displaced surface in direction `dir`.
vec3 surfacePoint(vec3 dir, float level) {
    return dir * body.radius * (1.0 + surface.elevationScale * surfaceHeight(heightAt(dir), level));
}

#endif
