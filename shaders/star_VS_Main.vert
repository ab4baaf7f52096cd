#version 450
#include "scene.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
layout(std140, set = 1, binding = 3) uniform BodyBlock { vec3 position; float radius; } body;

layout(location = 0) out vec3 outLocal;
layout(location = 1) out vec3 outWorldPosition;

void main() {
    vec3 local = normalize(inPosition);
    vec4 world = object.model * vec4(local * body.radius, 1.0);
    outLocal = local;
    outWorldPosition = world.xyz;
    gl_Position = camera.viewProjection * world;
}
