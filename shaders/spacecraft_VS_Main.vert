#version 450
// The imported craft: model-frame vertices through the object's model matrix; normals by its inverse transpose.
#include "scene.glsl"

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec3 inTangent;
layout(location = 3) in vec2 inTexCoord;

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) out vec3 outNormal;
layout(location = 2) out vec3 outTangent;
layout(location = 3) out vec2 outTexCoord;

void main() {
    vec4 world = object.model * vec4(inPosition, 1.0);
    mat3 linear = mat3(object.model);
    outWorldPosition = world.xyz;
    outNormal = transpose(inverse(linear)) * inNormal;
    outTangent = linear * inTangent;
    outTexCoord = inTexCoord;
    gl_Position = camera.viewProjection * world;
}
