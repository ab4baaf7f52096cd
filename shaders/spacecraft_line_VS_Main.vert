#version 450
// The prediction line: every 32nd predicted state, already shifted into its space in world units. The vertex
// index runs along the line from the craft, so the far future can be drawn fainter.
#include "scene.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 0) out float outAlong;

void main() {
    gl_Position = camera.viewProjection * vec4(inPosition, 1.0);
    // 262144 vertices cover the whole prediction ring (8388608 steps at one vertex per 32).
    outAlong = float(gl_VertexIndex) / 262144.0;
}
