// Displaces the subdivided sphere by the height cube map (liquids stay level), and reddens the sunlight that
// reaches each point through the air (it changes over hundreds of kilometres: a vertex every few pixels shows it).
// With GROUND_AIR, also the air in front of the point from the body's sky-view table (set 2).
#include "planet.glsl"
#include "airColumn.glsl"

// Vulkan's tessellation domain has its origin in the upper left, which reverses the winding the "ccw" keyword
// gives relative to the patch; "cw" keeps the icosphere's outward-facing (counter-clockwise) triangles.
layout(triangles, fractional_odd_spacing, cw) in;
layout(location = 0) in vec3 inDirection[];
layout(location = 0) out vec3 outDirection;
layout(location = 1) out vec3 outWorldPosition;
layout(location = 2) out vec3 outSunlight;
#ifdef GROUND_AIR
layout(location = 1) patch in vec3 inSkyCentre;
layout(location = 2) patch in vec3 inSkyE1;
layout(location = 3) patch in vec3 inSkyE2;
layout(location = 4) patch in vec2 inSkyAngles;
layout(location = 3) out vec3 outAirInscatter;
layout(location = 4) out vec3 outAirTransmittance;
#include "skyView.glsl"
layout(set = 2, binding = 9) uniform sampler2D skyTable;
#endif

void main() {
    vec3 dir = normalize(gl_TessCoord.x * inDirection[0] + gl_TessCoord.y * inDirection[1] +
                         gl_TessCoord.z * inDirection[2]);
    vec4 world = object.model * vec4(surfacePoint(dir, liquidLevel()), 1.0);
    outDirection = dir;
    outWorldPosition = world.xyz;
    Shell s = currentShell(1.0, Sharpness);
    outSunlight = sunlightThroughAir(s, world.xyz);
    gl_Position = camera.viewProjection * world;
#ifdef GROUND_AIR
    // The air between the eye and the ground, looked up per vertex too: it changes smoothly over the surface
    // except towards the limb, where the silhouette's subdivision puts the vertices close together.
    vec3 eye = camera.eye;
    float sceneT = distance(eye, world.xyz);
    vec3 rd = (world.xyz - eye) / max(sceneT, 1e-30);
    float t0, t1, tEnd;
    outAirInscatter = vec3(0.0);
    outAirTransmittance = vec3(1.0);
    if (airSegment(s, eye, rd, sceneT, t0, t1, tEnd))
        skyAlong(skyTable, SkyFrame(inSkyCentre, inSkyE1, inSkyE2, inSkyAngles.x, inSkyAngles.y), s, eye, rd, t0,
                 t1, tEnd, outAirInscatter, outAirTransmittance);
#endif
}
