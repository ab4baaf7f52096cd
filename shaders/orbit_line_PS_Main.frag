#version 450
// The orbit's colour, lifted into the range the exposure curve shows as a clear line.
layout(std140, set = 1, binding = 2) uniform ColorBlock { vec4 color; } line;

layout(location = 0) out vec4 outColor;

const float LineRadiance = 3.0;

void main() {
    outColor = vec4(line.color.rgb * LineRadiance, line.color.a);
}
