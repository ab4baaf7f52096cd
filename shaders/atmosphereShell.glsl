// Vertex stage of both atmosphere pipelines: the shared unit icosphere scaled to the top of the body's shell,
// and the frame of the body's sky-view table about the eye, the same for every pixel (flat).
#ifndef ATMOSPHERE_SHELL_GLSL
#define ATMOSPHERE_SHELL_GLSL
#include "scene.glsl"

layout(std140, set = 1, binding = 2) uniform LightBlock { StarLight light; } star;
layout(std140, set = 1, binding = 3) uniform AtmosphereBlock {
    vec3 rayleigh;
    float radius;
    float mie;
    float mieG;
    float densityFalloff;
    float rayleighFactor;
} atmosphere;
layout(std140, set = 1, binding = 4) uniform BodyBlock { vec3 position; float radius; } body;
#include "airColumn.glsl"

layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec3 inNormal;
layout(location = 2) in vec2 inTexCoord;
layout(location = 0) out vec3 outWorldPosition;
layout(location = 1) flat out vec3 outSkyCentre;
layout(location = 2) flat out vec3 outSkyE1;
layout(location = 3) flat out vec3 outSkyE2;
layout(location = 4) flat out vec2 outSkyAngles;

// A ring in place of the shell (AtmosphereManager's ShellDraw), for a planet that composites the air over its
// own ground: only what lies outside the ground's silhouette is left to this pass.
layout(push_constant) uniform ShellDraw {
    float innerRadius;
    uint segments; // 0: the shell
} shellDraw;

// Corner `i` of the ring's quads (two triangles each), on the plane through the body's centre facing the eye:
// inside the silhouette of the lowest ground on the inner edge, outside the shell's on the outer one (the edges
// are chords of circles: the outer circle is widened by the chords' sagitta). Behind every bit of ground the ring
// overlaps, so the depth test keeps only what lies beyond.
vec3 ringCorner(uint i, uint segments, float top) {
    const uint Segment[6] = uint[6](0u, 0u, 1u, 0u, 1u, 1u);
    const bool Outer[6] = bool[6](false, true, false, true, true, false);
    uint k = i % 6u;
    float phi = 2.0 * PI * float(i / 6u + Segment[k]) / float(segments);
    vec3 toCentre = body.position - camera.eye;
    float d = length(toCentre);
    vec3 z = toCentre / d;
    vec3 u = normalize(cross(z, abs(z.y) < 0.9 ? vec3(0.0, 1.0, 0.0) : vec3(1.0, 0.0, 0.0)));
    vec3 v = cross(z, u);
    float angle = Outer[k] ? min(asin(min(top / d, 1.0)) / cos(PI / float(segments)), 1.5)
                           : asin(clamp(shellDraw.innerRadius / d, 0.0, 1.0));
    return body.position + (u * cos(phi) + v * sin(phi)) * d * tan(angle);
}

void main() {
    float top = body.radius + max(atmosphere.radius, 1e-4 * body.radius);
    // The flat faces of a fourth-level icosphere lie up to 0.2% inside the sphere through its corners; pushed
    // out by 1% they enclose the true shell, which the fragment shader cuts out exactly.
    uint segments = opaqueUint(shellDraw.segments, float(gl_VertexIndex));
    vec3 world = segments > 0u ? ringCorner(uint(gl_VertexIndex), segments, top * 1.01)
                               : body.position + normalize(inPosition) * top * 1.01;
    outWorldPosition = world;
    gl_Position = camera.viewProjection * vec4(world, 1.0);
    bool isStar = opaqueBool(distance(star.light.position, body.position) < 0.5 * body.radius, inPosition.x);
    SkyFrame f = skyFrame(currentShell(1.0, isStar ? CoronaSharpness : Sharpness), camera.eye, inPosition.x);
    outSkyCentre = f.centre;
    outSkyE1 = f.e1;
    outSkyE2 = f.e2;
    outSkyAngles = vec2(f.ground, f.top);
}
#endif
