#version 450
layout(set = 1, binding = 1) uniform samplerCube sky;

layout(location = 0) in vec3 outDirection;
layout(location = 0) out vec4 outColor;

void main() {
    vec3 c = texture(sky, normalize(outDirection)).rgb;
    outColor = vec4(c, 9999999.0);
}
