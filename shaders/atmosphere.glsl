// Bindings and single scattering of the atmosphere pipelines ("atmosphereSolid", "atmosphereGas"):
// set 1 "UBD_1+UBD_2+UBD_3+UBD_4+UBD_5", set 2 "SI_6+CIS_7".
//
// The shell spans from the body's radius R to R + H (H = the atmosphere radius). Density falls off
// exponentially with height, rho(h) = exp(-Sharpness * falloff * h / H): the air is drawn concentrated towards
// the ground, so that a limb seen from space is a thin bright line and the rest of the shell holds the faint
// upper air. The coefficients are per shell height, so the vertical optical depth of Rayleigh scattering is about
// coefficient * factor * RayleighScale / (Sharpness * falloff): Earth's preset gives 0.04, 0.11 and 0.24 in red,
// green and blue, the real sky's, and 0.02 of haze (Mie, mie * MieScale / (Sharpness * falloff)), which shares
// the gas's profile. Light is scattered once:
// sunlight reaches each sample through the shell (reddened on long grazing paths), is scattered towards the eye
// by the Rayleigh and the Mie (Cornette-Shanks) phase functions, and is attenuated on its way out.
#ifndef ATMOSPHERE_GLSL
#define ATMOSPHERE_GLSL
#include "scene.glsl"

layout(std140, set = 1, binding = 1) uniform ModelBlock { mat4 model; } object;
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
layout(std140, set = 1, binding = 5) uniform ShadowBlock { ShadowData shadow; } eclipse;
#include "eclipse.glsl"
#include "airColumn.glsl"
#ifndef ATMOSPHERE_TABLE_BUILD
layout(set = 2, binding = 6, rgba32f) uniform image2D colorTarget;
layout(set = 2, binding = 7) uniform sampler2D depthTarget;
#endif

const float Far = 3.0e38;
// The colour target's alpha of pixels that show only the sky (its clear value and the sky box's).
const float SkyMarker = 9.0e6;

#ifndef ATMOSPHERE_TABLE_BUILD
// Distance along the view ray `rd` to what the depth target holds at `pixel`, Far for the sky. Depth is
// turned back into view depth (perspective with depth 0 at the near plane and 1 at the far plane). Far from
// the eye that loses precision, so where the colour target's alpha `a` there (the drawn surface's exact
// distance, which the bodies' shaders write) agrees with it, the alpha is taken.
float sceneDistance(ivec2 pixel, vec3 rd, float a) {
    float d = texelFetch(depthTarget, pixel, 0).r;
    if (d >= 1.0 || (a >= SkyMarker && d >= 0.9999))
        return Far;
    float n = camera.nearPlane, f = camera.farPlane;
    float viewDepth = n * f / (f - d * (f - n));
    float cosine = max(dot(rd, camera.viewDirection), 1e-4);
    float t = viewDepth / cosine;
    // A step of the depth's float near 1 (2^-23) spans viewDepth^2 (f - n) / (n f) of it: hundreds of units away
    // that is tens of units, so the alpha is taken within a few such steps.
    float depthStep = viewDepth * viewDepth * (f - n) / (n * f) * 1.2e-7 / cosine;
    return abs(a - t) < 0.01 * t + 0.01 + 8.0 * depthStep ? a : t;
}
#endif

float rayleighPhase(float mu) { return 3.0 / (16.0 * PI) * (1.0 + mu * mu); }

// Cornette-Shanks: a Henyey-Greenstein lobe with Rayleigh's symmetric term, normalised over the sphere.
float miePhase(float mu, float g) {
    float g2 = g * g;
    float denom = 1.0 + g2 - 2.0 * g * mu;
    return 3.0 / (8.0 * PI) * (1.0 - g2) * (1.0 + mu * mu) / ((2.0 + g2) * denom * sqrt(denom));
}

// How much of the star's disc a point sees past the body itself: zero in the body's shadow, with a penumbra a
// hundredth of the radius wide (refraction and the star's size soften the terminator of the air).
float bodyShadow(Shell s, vec3 p, vec3 l) {
    vec3 rel = p - s.centre;
    float along = dot(rel, l);
    if (along >= 0.0)
        return 1.0;
    float closest = sqrt(max(dot(rel, rel) - along * along, 0.0));
    return smoothstep(s.ground * 0.99, s.ground * 1.01, closest);
}

// Light scattered towards the eye along the view ray from t0 to t1: returns the in-scattered light (rgb) and
// the transmittance of the segment. `sunRadiance` is the star's irradiance (light colour x intensity). Single
// scattering is marched; the light scattered more than once is added per sample as an isotropic term in the
// manner of Hillaire (2020): the sunlit air around the sample scatters a share F of what it receives back into
// it, F = a / (1 + a) with a the local vertical optical depth (the sum of the orders, a geometric series).
// `multiple` weighs that term: 1 for air over solid ground; 0 for a gas giant's thin haze, which would otherwise
// veil its cloud bands.
void scatter(Shell s, vec3 eye, vec3 rd, float t0, float t1, vec3 sunRadiance, float multiple, out vec3 inscatter,
             out vec3 transmittance) {
    // Eight steps: the segment ends where the density is negligible, so a path through the layer is a few scale
    // heights long (the midpoint rule is then within a few per cent), and a grazing one along the limb sees the
    // density as a bell a few steps wide, which the rule integrates almost exactly.
    const int Steps = 8;
    float dt = max(t1 - t0, 0.0) / float(Steps);
    float viewColumn = 0.0;
    vec3 sumRayleigh = vec3(0.0), sumMie = vec3(0.0), sumMultiple = vec3(0.0);
    float g = clamp(atmosphere.mieG, 0.0, 0.99);
    vec3 betaScatter = s.betaRayleigh + vec3(s.betaMie);
    float scaleHeight = s.height / max(s.falloff, 1.0);
    for (int i = 0; i < Steps; ++i) {
        vec3 p = eye + rd * (t0 + (float(i) + 0.5) * dt);
        float rho = densityAt(s, length(p - s.centre) - s.ground);
        float density = rho * dt;
        float columnHalf = viewColumn + 0.5 * density;
        viewColumn += density;
        vec3 l = normalize(star.light.position - p);
        float lit = bodyShadow(s, p, l);
        if (lit <= 0.0)
            continue;
        lit *= starVisibility(p);
        vec3 attenuation = exp(-extinction(s, columnHalf + columnTowards(s, p, l))) * (density * lit);
        // The phase functions depend on the angle between the sunlight and the view ray at this sample.
        float mu = dot(rd, l);
        sumRayleigh += attenuation * rayleighPhase(mu);
        sumMie += attenuation * miePhase(mu, g);
        vec3 a = 2.0 * betaScatter * rho * scaleHeight;
        sumMultiple += attenuation * a / (1.0 + a);
    }
    inscatter = sunRadiance * (s.betaRayleigh * sumRayleigh + s.betaMie * sumMie +
                               multiple * betaScatter * sumMultiple * (1.0 / (4.0 * PI)));
    transmittance = exp(-extinction(s, viewColumn));
}

// The corona: photospheric light scattered by the star's own shell, falling off as (R / r)^2 on top of the
// density, which is concentrated towards the photosphere so that the glow hugs the limb (the bloom spreads the
// wider glare); brightened so that it reads against a disc far brighter than any lit surface.
const float CoronaGain = 5.0;

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
        sum += falloff * density *
               (beta * rayleighPhase(mu) + s.betaMie * miePhase(mu, clamp(atmosphere.mieG, 0.0, 0.99)));
    }
    transmittance = exp(-extinction(s, column));
    return radiance * tint * sum * CoronaGain;
}

#include "skyView.glsl"

#ifndef ATMOSPHERE_TABLE_BUILD
// The body's sky-view table for this frame's eye (built by "atmosphereTables" before the frame's passes).
layout(set = 3, binding = 9) uniform sampler2D skyTable;

// The frame, the same for every pixel of the shell, from the vertex stage (atmosphereShell.glsl).
layout(location = 1) flat in vec3 inSkyCentre;
layout(location = 2) flat in vec3 inSkyE1;
layout(location = 3) flat in vec3 inSkyE2;
layout(location = 4) flat in vec2 inSkyAngles; // ground, top

// The air along view ray rd from t0 to t1 (skyView.glsl), with this draw's frame.
void skyAlong(Shell s, vec3 eye, vec3 rd, float t0, float t1, float tEnd, out vec3 inscatter,
              out vec3 transmittance) {
    SkyFrame f = SkyFrame(inSkyCentre, inSkyE1, inSkyE2, inSkyAngles.x, inSkyAngles.y);
    skyAlong(skyTable, f, s, eye, rd, t0, t1, tEnd, inscatter, transmittance);
}
#endif

#endif
