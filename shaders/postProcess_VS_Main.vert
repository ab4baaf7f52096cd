#version 450
// One triangle that covers the whole target; no vertex input.

layout(location = 0) out vec2 outTexCoord;

void main() {
    // Vertices (-1,-1), (3,-1), (-1,3): clockwise on screen, so the default back-face culling keeps it.
    vec2 position = vec2(float((gl_VertexIndex & 1) << 2) - 1.0, float((gl_VertexIndex & 2) << 1) - 1.0);
    outTexCoord = position * 0.5 + 0.5;
    gl_Position = vec4(position, 0.0, 1.0);
}
