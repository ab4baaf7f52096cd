#version 450
// Vertex colour times the bound texture: the font atlas (white glyphs whose alpha is the coverage) or an image
// a panel shows. Blended over the target with the vertex alpha.

layout(set = 0, binding = 0) uniform sampler2D uiTexture;

layout(location = 0) in vec4 inColor;
layout(location = 1) in vec2 inTexCoord;
layout(location = 0) out vec4 outColor;

void main() {
    outColor = inColor * texture(uiTexture, inTexCoord);
}
