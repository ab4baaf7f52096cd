// Vertex stage of both atmosphere pipelines: the shared unit icosphere scaled to the top of the body's shell,
// and the frame of the body's sky-view table about the eye, the same for every pixel (flat).
#ifndef ATMOSPHERE_SHELL_GLSL
#define ATMOSPHERE_SHELL_GLSL
#include "scene.glsl"

layout(std140, set = 1, binding = 2) uniform LightBlock { StarLight light; } star;
layout(std140, set = 1, binding = 3) uniform AtmosphereBlock {
    vec3 rayleigh;
    float radius;
    float mie;
    float mieG;
    float densityFalloff;
    float rayleighFactor;
} atmosphere;
layout(std140, set = 1, binding = 4) uniform BodyBlock { vec3 position; float radius; } body;
#include "airColumn.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;
layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) flat out vec3 outSkyCentre;
layout(location = 2) flat out vec3 outSkyE1;
layout(location = 3) flat out vec3 outSkyE2;
layout(location = 4) flat out vec2 outSkyAngles;

void main() {
    float top = body.radius + max(atmosphere.radius, 1e-4 * body.radius);
    // The flat faces of a fourth-level icosphere lie up to 0.2% inside the sphere through its corners; pushed
    // out by 1% they enclose the true shell, which the fragment shader cuts out exactly.
    vec3 world = body.position + normalize(inPosition) * top * 1.01;
    outWorldPosition = world;
    gl_Position = camera.viewProjection * vec4(world, 1.0);
    bool isStar = opaqueBool(distance(star.light.position, body.position) < 0.5 * body.radius, inPosition.x);
    SkyFrame f = skyFrame(currentShell(1.0, isStar ? CoronaSharpness : Sharpness), camera.eye, inPosition.x);
    outSkyCentre = f.centre;
    outSkyE1 = f.e1;
    outSkyE2 = f.e2;
    outSkyAngles = vec2(f.ground, f.top);
}
#endif
