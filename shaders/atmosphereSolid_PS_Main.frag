#version 450
// The atmosphere of a solid planet, composited in place over what the colour target holds behind it, and the
// glow of a star (the atmosphere of the body that is itself the light source): both read from the body's
// sky-view table.
#include "atmosphere.glsl"

layout(location = 0) in vec3 inWorldPosition;

void main() {
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    vec3 eye = camera.eye;
    vec3 rd = normalize(inWorldPosition - eye);
    bool isStar = opaqueBool(distance(star.light.position, body.position) < 0.5 * body.radius, gl_FragCoord.x);
    Shell s = currentShell(1.0, isStar ? CoronaSharpness : Sharpness);
    vec2 hit = raySphere(eye - s.centre, rd, s.top);
    if (hit.x > hit.y || hit.y <= 0.0)
        return; // between the mesh and the true shell
    float t0 = max(hit.x, 0.0);
    vec4 behind = imageLoad(colorTarget, pixel);
    float sceneT = sceneDistance(pixel, rd, behind.a);
    if (sceneT <= t0)
        return; // something stands in front of the shell: untouched
    // The table's rays end on the ground sphere: where no surface was drawn (its relief not generated yet, or
    // the gaps of a wireframe) that is the air in front of the ground, not a column through the planet.
    float tEnd = hit.y;
    vec2 core = raySphere(eye - s.centre, rd, s.ground);
    if (core.x <= core.y && core.x > 0.0)
        tEnd = min(tEnd, core.x);
    float t1 = min(tEnd, sceneT);
    if (t1 <= t0)
        return;

    vec3 inscatter, transmittance;
    // The ground's sunlight was reddened by the air on its way in by the surface itself (per vertex).
    skyAlong(s, eye, rd, t0, t1, tEnd, inscatter, transmittance);
    imageStore(colorTarget, pixel, vec4(behind.rgb * transmittance + inscatter, behind.a));
}
