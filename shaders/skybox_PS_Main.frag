#version 450
layout(set = 1, binding = 1) uniform sampler2DArray sky;

layout(location = 0) in vec2 inFaceCoord;
layout(location = 1) flat in float inLayer;
layout(location = 0) out vec4 outColor;

void main() {
    vec3 c = texture(sky, vec3(inFaceCoord, inLayer)).rgb;
    outColor = vec4(c, 9999999.0);
}
