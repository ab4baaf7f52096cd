#version 450
// Orbit line points arrive in world units (the parent's position and the drawn craft's offset already added on
// the CPU), so only the camera transforms them; the owner's model matrix is bound but would place the body's own
// motion on top of its orbit.
#include "scene.glsl"

layout(location = 0) in vec3 inPosition;

void main() {
    gl_Position = camera.viewProjection * vec4(inPosition, 1.0);
}
