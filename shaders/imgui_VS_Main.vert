#version 450
// ImGui's vertices: positions in display pixels (origin top left, y down) mapped to clip space by the push
// constants, scale = 2 / display size and translate = -1, which puts the top left corner at (-1, -1).

layout(location = 0) in vec2 inPosition;
layout(location = 1) in vec2 inTexCoord;
layout(location = 2) in vec4 inColor; // RGBA8, normalised

layout(push_constant) uniform Transform {
    vec2 scale;
    vec2 translate;
} transform;

// ImGui's colours are display (sRGB-encoded) values. An sRGB target encodes what the shader writes, so the
// colours are decoded here first; a UNORM target takes them as they are.
layout(constant_id = 0) const bool srgbTarget = true;

layout(location = 0) out vec4 outColor;
layout(location = 1) out vec2 outTexCoord;

vec3 srgbToLinear(vec3 c) {
    // IEC 61966-2-1 decoding curve.
    vec3 low = c / 12.92;
    vec3 high = pow((c + 0.055) / 1.055, vec3(2.4));
    return mix(high, low, lessThanEqual(c, vec3(0.04045)));
}

void main() {
    outColor = srgbTarget ? vec4(srgbToLinear(inColor.rgb), inColor.a) : inColor;
    outTexCoord = inTexCoord;
    gl_Position = vec4(inPosition * transform.scale + transform.translate, 0.0, 1.0);
}
