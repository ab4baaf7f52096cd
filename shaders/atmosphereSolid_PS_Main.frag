#version 450
// The atmosphere of a solid planet, composited in place over what the colour target holds behind it, and the
// glow of a star (the atmosphere of the body that is itself the light source).
#include "atmosphere.glsl"

layout(location = 0) in vec3 inWorldPosition;

// The corona: photospheric light scattered by the star's own shell, falling off as (R / r)^2 on top of the
// density, which is concentrated towards the photosphere so that the glow hugs the limb (the bloom spreads the
// wider glare); brightened so that it reads against a disc far brighter than any lit surface.
const float CoronaGain = 5.0;
const float CoronaSharpness = 2.0;

vec3 corona(Shell s, vec3 eye, vec3 rd, float t0, float t1, vec3 radiance, out vec3 transmittance) {
    float len = max(t1 - t0, 0.0);
    const int steps = 12;
    float dt = len / float(steps);
    float column = 0.0;
    vec3 sum = vec3(0.0);
    // Scattering of the star's own light, tinted by the shell's coefficients but kept near the light's colour.
    vec3 tint = s.betaRayleigh / max(max(s.betaRayleigh.r, max(s.betaRayleigh.g, s.betaRayleigh.b)), 1e-12);
    tint = mix(vec3(1.0), tint, 0.45);
    float beta = max(max(s.betaRayleigh.r, max(s.betaRayleigh.g, s.betaRayleigh.b)), 1e-12) + s.betaMie;
    for (int i = 0; i < steps; ++i) {
        vec3 p = eye + rd * (t0 + (float(i) + 0.5) * dt);
        vec3 rel = p - s.centre;
        float r = length(rel);
        float density = densityAt(s, r - s.ground) * dt;
        column += density;
        float mu = dot(rd, -rel / max(r, 1e-6));
        float falloff = s.ground * s.ground / max(r * r, s.ground * s.ground);
        sum += falloff * density * (beta * rayleighPhase(mu) + s.betaMie * miePhase(mu, clamp(atmosphere.mieG, 0.0, 0.99)));
    }
    transmittance = exp(-extinction(s, column));
    return radiance * tint * sum * CoronaGain;
}

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
    float t1 = min(hit.y, sceneT);
    // Where no surface was drawn (its relief not generated yet, or the gaps of a wireframe) the ray ends on the
    // ground sphere: the air in front of the ground, not a column through the planet.
    if (sceneT >= Far) {
        vec2 core = raySphere(eye - s.centre, rd, s.ground);
        if (core.x <= core.y && core.x > 0.0)
            t1 = min(t1, core.x);
    }
    if (t1 <= t0)
        return;

    vec3 radiance = star.light.color * star.light.intensity;
    vec3 inscatter, transmittance;
    if (isStar)
        inscatter = corona(s, eye, rd, t0, t1, radiance, transmittance);
    else
        scatter(s, eye, rd, t0, t1, radiance, inscatter, transmittance);

    if (!isStar && sceneT < hit.y)
        behind.rgb *= sunlightThroughAir(s, eye + rd * sceneT);
    imageStore(colorTarget, pixel, vec4(behind.rgb * transmittance + inscatter, behind.a));
}
