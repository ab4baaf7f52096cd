// Blocks the spacecraft's lighting inputs share between the "spacecraft" and "particleRender" pipelines.
#ifndef CRAFT_GLSL
#define CRAFT_GLSL
#include "scene.glsl"

// An engine or thruster light: world position, linear RGB radiant intensity (p0, p1, p2) and its fade.
struct CraftLight {
    vec3 position;
    float padding;
    float p0;
    float p1;
    float p2;
    float intensity;
};

// Lights block (544 bytes, std140): the star's colour, intensity and position, then up to 16 engine lights.
// Each pipeline declares it at its own binding:
//   uniform CraftLightsBlock { vec3 starColor; float starIntensity; vec3 starPosition; uint lightCount;
//                              CraftLight lights[16]; }

#endif
