#version 450
// Displaces the subdivided sphere by the height cube map (liquids stay level), and reddens the sunlight that
// reaches each point through the air (it changes over hundreds of kilometres: a vertex every few pixels shows it).
#include "planet.glsl"
#include "airColumn.glsl"

// Vulkan's tessellation domain has its origin in the upper left, which reverses the winding the "ccw" keyword
// gives relative to the patch; "cw" keeps the icosphere's outward-facing (counter-clockwise) triangles.
layout(triangles, fractional_odd_spacing, cw) in;
layout(location = 0) in vec3 inDirection[];
layout(location = 0) out vec3 outDirection;
layout(location = 1) out vec3 outWorldPosition;
layout(location = 2) out vec3 outSunlight;

void main() {
    vec3 dir = normalize(gl_TessCoord.x * inDirection[0] + gl_TessCoord.y * inDirection[1] +
                         gl_TessCoord.z * inDirection[2]);
    vec4 world = object.model * vec4(surfacePoint(dir, liquidLevel()), 1.0);
    outDirection = dir;
    outWorldPosition = world.xyz;
    outSunlight = sunlightThroughAir(currentShell(1.0, Sharpness), world.xyz);
    gl_Position = camera.viewProjection * world;
}
