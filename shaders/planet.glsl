// Bindings of the "planet_solid" pipeline, set 1 ("UBD_1+UBD_2+...+CIS_9+CIS_10+CIS_11").
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

layout(std140, set = 1, binding = 7) uniform BiomeBlock {
    // std140 array stride 48: vec2, vec2, vec3 + pad, then metallic and roughness.
    vec4 data[24];
} biomes;
layout(std140, set = 1, binding = 8) uniform ShadowBlock { ShadowData shadow; } eclipse;
#include "eclipse.glsl"
layout(set = 1, binding = 9) uniform samplerCube heightMap;
// Baked from the height map and the biomes (planetbake_solid_CS_Main.comp): the material of the ground or liquid
// (albedo, roughness, metallic) and the surface normal.
layout(set = 1, binding = 10) uniform samplerCube groundMap;
layout(set = 1, binding = 11) uniform samplerCube normalMap;
#include "planetmaterial.glsl"

// Local position (before the model matrix) of the displaced surface in direction `dir`.
vec3 surfacePoint(vec3 dir, float level) {
    return dir * body.radius * (1.0 + surface.elevationScale * surfaceHeight(heightAt(dir), level));
}

#endif
