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
layout(set = 2, binding = 6, rgba32f) uniform image2D colorTarget;
layout(set = 2, binding = 7) uniform sampler2D depthTarget;

const float RayleighScale = 3.0;
const float MieScale = 27.0;
const float Sharpness = 2.5;
// Mie extinction over scattering (some absorption by dust).
const float MieExtinction = 1.1;
const float Far = 3.0e38;
// The colour target's alpha of pixels that show only the sky (its clear value and the sky box's).
const float SkyMarker = 9.0e6;

// Entry and exit distances of a ray from `origin` (relative to the sphere's centre) along unit `dir` through a
// sphere of radius r; x > y when it misses.
vec2 raySphere(vec3 origin, vec3 dir, float r) {
    float b = dot(origin, dir);
    float c = dot(origin, origin) - r * r;
    float disc = b * b - c;
    if (disc < 0.0)
        return vec2(1.0, -1.0);
    float s = sqrt(disc);
    return vec2(-b - s, -b + s);
}

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

float rayleighPhase(float mu) { return 3.0 / (16.0 * PI) * (1.0 + mu * mu); }

// Cornette-Shanks: a Henyey-Greenstein lobe with Rayleigh's symmetric term, normalised over the sphere.
float miePhase(float mu, float g) {
    float g2 = g * g;
    float denom = 1.0 + g2 - 2.0 * g * mu;
    return 3.0 / (8.0 * PI) * (1.0 - g2) * (1.0 + mu * mu) / ((2.0 + g2) * denom * sqrt(denom));
}

// Everything the march needs about the shell, in world units.
struct Shell {
    vec3 centre;
    float ground;      // body radius
    float top;         // where the march ends: the shell's top, or lower where the density is negligible
    float height;      // shell height
    float falloff;     // density falloff per shell height (presets' falloff times the sharpness)
    vec3 betaRayleigh; // per world unit at density 1
    float betaMie;
};

Shell currentShell(float coefficientScale, float sharpness) {
    Shell s;
    s.centre = body.position;
    s.ground = body.radius;
    s.height = max(atmosphere.radius, 1e-4 * body.radius);
    s.falloff = max(atmosphere.densityFalloff, 0.0) * sharpness;
    // Above seven scale heights the density is under 1e-3 of the ground's.
    s.top = s.ground + s.height * min(1.0, 7.0 / max(s.falloff, 1e-3));
    s.betaRayleigh = max(atmosphere.rayleigh, vec3(0.0)) * max(atmosphere.rayleighFactor, 0.0) * RayleighScale *
                     coefficientScale / s.height;
    s.betaMie = max(atmosphere.mie, 0.0) * MieScale * coefficientScale / s.height;
    return s;
}

// Density at height h above the ground (gas and aerosols share the profile); the top fifth of the shell fades
// out so that the shell has no visible rim whatever the falloff.
float densityAt(Shell s, float h) {
    float x = max(h, 0.0) / s.height;
    return exp(-s.falloff * x) * (1.0 - smoothstep(0.8, 1.0, x));
}

// Chapman's grazing-incidence function: the column of an exponential atmosphere from radius x (in scale
// heights) along a ray at zenith cosine cosChi, relative to the vertical column. Upwards rays use the rational
// approximation c / ((c - 1) cosChi + 1), c = sqrt(pi x / 2); downwards rays pass the tangent point, where
// the column is twice the horizontal one, less the column of the mirrored upward ray.
float chapmanUp(float x, float cosChi) {
    float c = sqrt(1.5707963 * x);
    return c / ((c - 1.0) * cosChi + 1.0);
}
float chapman(float x, float cosChi) {
    if (cosChi >= 0.0)
        return chapmanUp(x, cosChi);
    float x0 = x * sqrt(max(1.0 - cosChi * cosChi, 0.0));
    return 2.0 * exp(min(x - x0, 60.0)) * sqrt(1.5707963 * x0) - chapmanUp(x, -cosChi);
}

// Column (density x world units) from p to the top of the shell along unit l.
float columnTowards(Shell s, vec3 p, vec3 l) {
    vec3 rel = p - s.centre;
    float r = length(rel);
    float cosChi = dot(rel, l) / max(r, 1e-6);
    if (opaqueBool(s.falloff >= 2.0, r)) {
        // A thin exponential layer: analytic, whatever the path's length.
        float scaleHeight = s.height / s.falloff;
        return densityAt(s, r - s.ground) * scaleHeight * chapman(r / scaleHeight, cosChi);
    }
    // A thick, nearly uniform layer: a few steps along the chord are exact enough.
    vec2 exit = raySphere(rel, l, s.top);
    float dt = max(exit.y, 0.0) / 4.0;
    float column = 0.0;
    for (int i = 0; i < 4; ++i)
        column += densityAt(s, length(rel + l * ((float(i) + 0.5) * dt)) - s.ground);
    return column * dt;
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

vec3 extinction(Shell s, float column) { return (s.betaRayleigh + s.betaMie * MieExtinction) * column; }

// The colour of the sunlight that reaches a surface point g inside the shell, relative to sunlight from the
// zenith: the surfaces are shaded with the star's light as it is above the air, so towards the terminator, where
// the light crosses ever more air, it turns orange and red. Deep on the night side the surfaces' own faint light
// is left alone.
vec3 sunlightThroughAir(Shell s, vec3 g) {
    vec3 n = normalize(g - s.centre);
    vec3 l = normalize(star.light.position - g);
    vec3 lifted = g + n * (1e-3 * s.height);
    vec3 slant = exp(-extinction(s, columnTowards(s, lifted, l)));
    vec3 zenith = exp(-extinction(s, columnTowards(s, lifted, n)));
    vec3 colour = clamp(slant / max(zenith, vec3(1e-4)), 0.0, 1.0);
    return mix(vec3(1.0), colour, smoothstep(-0.3, -0.1, dot(n, l)));
}

// Single scattering along the view ray from t0 to t1: returns the light scattered towards the eye (rgb) and
// the transmittance of the segment. `sunRadiance` is the star's irradiance (light colour x intensity).
void scatter(Shell s, vec3 eye, vec3 rd, float t0, float t1, vec3 sunRadiance, out vec3 inscatter,
             out vec3 transmittance) {
    // Eight steps: the segment ends where the density is negligible, so a path through the layer is a few scale
    // heights long (the midpoint rule is then within a few per cent), and a grazing one along the limb sees the
    // density as a bell a few steps wide, which the rule integrates almost exactly.
    const int Steps = 8;
    float dt = max(t1 - t0, 0.0) / float(Steps);
    float viewColumn = 0.0;
    vec3 sumRayleigh = vec3(0.0), sumMie = vec3(0.0);
    float g = clamp(atmosphere.mieG, 0.0, 0.99);
    for (int i = 0; i < Steps; ++i) {
        vec3 p = eye + rd * (t0 + (float(i) + 0.5) * dt);
        float density = densityAt(s, length(p - s.centre) - s.ground) * dt;
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
    }
    inscatter = sunRadiance * (s.betaRayleigh * sumRayleigh + s.betaMie * sumMie);
    transmittance = exp(-extinction(s, viewColumn));
}

#endif
