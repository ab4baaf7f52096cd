#version 450
// Burn markers: one instance per marker, each placed and scaled by its own matrix from the marker block.
#include "scene.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;

struct Marker {
    mat4 model;
    vec4 color;
};
layout(std140, set = 1, binding = 1) uniform MarkerBlock { Marker markers[64]; } block;

layout(location = 0) out vec3 outNormal;
layout(location = 1) out vec3 outWorldPosition;
layout(location = 2) flat out vec4 outColor;

void main() {
    Marker m = block.markers[gl_InstanceIndex];
    vec4 world = m.model * vec4(inPosition, 1.0);
    outWorldPosition = world.xyz;
    outNormal = normalize(mat3(m.model) * inNormal);
    outColor = m.color;
    gl_Position = camera.viewProjection * world;
}
