#version 450
// The orbit's colour at a radiance the exposure curve shows as a clear line, kept under the bloom's threshold so
// that a line stays thin instead of glowing (a white line maps to about 185 of 255).
layout(std140, set = 1, binding = 2) uniform ColorBlock { vec4 color; } line;

layout(location = 0) out vec4 outColor;

const float LineRadiance = 1.0;

void main() {
    outColor = vec4(line.color.rgb * LineRadiance, line.color.a);
}
