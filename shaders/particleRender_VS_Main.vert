#version 450
// One particle per instance: the unit icosahedron scaled to the particle's radius around its position, both
// read from its render record in sort buffer B. The layer's records start where the sort's cursor began, so the
// draw command's first instance stays 0 (devices without drawIndirectFirstInstance allow no other).
#include "scene.glsl"

layout(std430, set = 1, binding = 3) readonly buffer SortB { uvec4 records[]; };
// Per layer: particle count [0, 32), the sort's cursor past the layer's records [32, 64).
layout(std430, set = 1, binding = 4) readonly buffer Counters { uint counters[64]; };
layout(push_constant) uniform Draw { uint layer; } draw;

layout(location = 0) in vec3 inPosition;

layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) flat out vec3 outCenter;
layout(location = 2) flat out float outRadius;
layout(location = 3) flat out vec3 outGlow;

const float MAX_GLOW = 4.0;

void main() {
    uint first = counters[32u + draw.layer] - counters[draw.layer];
    uvec4 r = records[first + uint(gl_InstanceIndex)];
    vec4 word = unpackUnorm4x8(r.w);
    vec3 center = uintBitsToFloat(r.xyz);
    float radius = exp2(word.a * 12.0 - 10.0);
    vec3 p = center + inPosition * radius;
    outWorldPosition = p;
    outCenter = center;
    outRadius = radius;
    outGlow = word.rgb * word.rgb * MAX_GLOW;
    gl_Position = camera.viewProjection * vec4(p, 1.0);
}
