// Vertex stage of both atmosphere pipelines: the shared unit icosphere scaled to the top of the body's shell.
#ifndef ATMOSPHERE_SHELL_GLSL
#define ATMOSPHERE_SHELL_GLSL
#include "scene.glsl"

layout(std140, set = 1, binding = 3) uniform AtmosphereBlock {
    vec3 rayleigh;
    float radius;
} atmosphere;
layout(std140, set = 1, binding = 4) uniform BodyBlock { vec3 position; float radius; } body;

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;
layout(location = 0) out vec3 outWorldPosition;

void main() {
    float top = body.radius + max(atmosphere.radius, 1e-4 * body.radius);
    // The flat faces of a fourth-level icosphere lie up to 0.2% inside the sphere through its corners; pushed
    // out by 1% they enclose the true shell, which the fragment shader cuts out exactly.
    vec3 world = body.position + normalize(inPosition) * top * 1.01;
    outWorldPosition = world;
    gl_Position = camera.viewProjection * vec4(world, 1.0);
}
#endif
