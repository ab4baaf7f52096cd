#version 450
// A gas planet's sphere, pushed out by 1% so that its flat faces enclose the true sphere, whose silhouette the
// fragment shader cuts out exactly.
#include "scene.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
layout(std140, set = 1, binding = 3) uniform BodyBlock { vec3 position; float radius; } body;

layout(location = 0) out vec3 outWorldPosition;

void main() {
    vec4 world = object.model * vec4(normalize(inPosition) * body.radius * 1.01, 1.0);
    outWorldPosition = world.xyz;
    gl_Position = camera.viewProjection * world;
}
