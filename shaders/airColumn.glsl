// The air's density profile and columns, shared by the atmosphere pipelines and the solid planets' surface
// (which reddens its own sunlight per vertex). The including file declares the `atmosphere` block (rayleigh,
// radius, mie, mieG, densityFalloff, rayleighFactor) and the `body` block (position, radius).
#ifndef AIR_COLUMN_GLSL
#define AIR_COLUMN_GLSL
#include "opaque.glsl"

const float RayleighScale = 3.0;
const float MieScale = 27.0;
const float Sharpness = 2.5;
// A star's glow hugs its photosphere more closely than a planet's air.
const float CoronaSharpness = 2.0;
// Mie extinction over scattering (some absorption by dust).
const float MieExtinction = 1.1;
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

// The frame of a body's sky-view table about the eye (the table's layout is described with its lookups).
struct SkyFrame {
    vec3 centre; // unit, from the eye to the body's centre
    vec3 e1;     // unit, perpendicular to `centre`, towards the sun
    vec3 e2;
    float ground; // angle of the ground horizon from `centre`
    float top;    // angle of the shell's top, pi from inside the shell
};

// `witness`: a per-invocation value. Everything here comes from uniform blocks alone, and a CPU driver rebuilds a
// shader whose branches hang on uniforms alone at every dispatch (its compute path crashes doing so).
SkyFrame skyFrame(Shell s, vec3 eye, float witness) {
    SkyFrame f;
    vec3 toCentre = s.centre - eye;
    float d = length(toCentre);
    f.centre = opaqueBool(d > 0.0, witness) ? toCentre / d : vec3(0.0, 0.0, 1.0);
    // An eye below the ground (a camera passing through the relief) sees the table of one just above it.
    d = max(d, s.ground * 1.0001);
    vec3 l = star.light.position - s.centre;
    vec3 across = l - f.centre * dot(l, f.centre);
    if (opaqueBool(dot(across, across) <= 1e-10 * max(dot(l, l), 1e-30), witness))
        across = abs(f.centre.x) < 0.9 ? vec3(1.0, 0.0, 0.0) - f.centre * f.centre.x
                                        : vec3(0.0, 1.0, 0.0) - f.centre * f.centre.y;
    f.e1 = normalize(across);
    f.e2 = cross(f.centre, f.e1);
    f.ground = asin(min(s.ground / d, 1.0));
    f.top = opaqueBool(d > s.top, witness) ? asin(s.top / d) : PI;
    return f;
}

#endif
