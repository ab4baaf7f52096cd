#version 450
// Burn markers: one instance per marker, a square from the vertex index spread around the marker's projected
// centre by its extent in normalised device units, so a marker keeps its size on screen at any distance.
#include "scene.glsl"

struct Marker {
    vec4 position; // world units, w unused
    vec4 extent;   // half width and height in normalised device units
    vec4 color;    // alpha: coverage
};
layout(std140, set = 1, binding = 1) uniform MarkerBlock { Marker markers[64]; } block;

layout(location = 0) out vec2 outDisc;
layout(location = 1) flat out vec4 outColor;

const vec2 Corners[6] = vec2[](vec2(-1, -1), vec2(1, -1), vec2(1, 1), vec2(-1, -1), vec2(1, 1), vec2(-1, 1));

void main() {
    Marker m = block.markers[gl_InstanceIndex];
    vec2 corner = Corners[gl_VertexIndex % 6];
    vec4 clip = camera.viewProjection * vec4(m.position.xyz, 1.0);
    outDisc = corner;
    outColor = m.color;
    // Offsets in clip space are multiplied by w so that they are fixed after the perspective divide.
    gl_Position = clip + vec4(corner * m.extent.xy * clip.w, 0.0, 0.0);
}
