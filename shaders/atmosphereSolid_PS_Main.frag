#version 450
// The atmosphere of a solid planet, composited in place over what the colour target holds behind it, and the
// glow of a star (the atmosphere of the body that is itself the light source): both read from the body's
// sky-view table. A planet that composites the air over its own ground is drawn with a depth test that keeps
// only what lies beyond the shell; the tests run first so that those pixels cost nothing here.
#include "atmosphere.glsl"

layout(early_fragment_tests) in;
layout(location = 0) in vec3 inWorldPosition;

void main() {
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    vec3 eye = camera.eye;
    vec3 rd = normalize(inWorldPosition - eye);
    bool isStar = opaqueBool(distance(star.light.position, body.position) < 0.5 * body.radius, gl_FragCoord.x);
    Shell s = currentShell(1.0, isStar ? CoronaSharpness : Sharpness);
    vec4 behind = imageLoad(colorTarget, pixel);
    float t0, t1, tEnd;
    if (!airSegment(s, eye, rd, sceneDistance(pixel, rd, behind.a), t0, t1, tEnd))
        return; // between the mesh and the true shell, or something stands in front of the shell: untouched

    vec3 inscatter, transmittance;
    // The ground's sunlight was reddened by the air on its way in by the surface itself (per vertex).
    skyAlong(s, eye, rd, t0, t1, tEnd, inscatter, transmittance);
    imageStore(colorTarget, pixel, vec4(behind.rgb * transmittance + inscatter, behind.a));
}
