// Unit icosphere in, sphere direction out: tessellation and displacement happen in the next stages.
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;

layout(location = 0) out vec3 outDirection;

void main() {
    outDirection = normalize(inPosition);
}
