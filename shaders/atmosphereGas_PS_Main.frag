#version 450
// A gas planet: its cloud deck at the body's radius, coloured by the fluid image (set 3), lit by the star
// through the haze above it, with limb darkening and eclipse shadows; then the haze itself, composited like a
// solid planet's atmosphere (from the body's sky-view table). The planet has no surface pass, so the deck hides
// whatever lies behind it here.
#include "atmosphere.glsl"

layout(set = 3, binding = 8) uniform sampler2D fluidImage;

layout(location = 0) in vec3 inWorldPosition;

// The gas planets' presets describe a thick, white, strongly scattering envelope; the visible haze above the
// cloud tops is a thin part of it.
const float HazeScale = 0.1;
// Minnaert's limb-darkening exponent for banded cloud decks (above 1 darkens the limb).
const float Minnaert = 1.15;

// The deck's colour in direction `local` of the planet's own frame: an equirectangular lookup (u along the
// longitude from -x through +z, v from the +y pole), averaged over the pixel's footprint when the image is
// minified (it has a single level).
vec3 deckColour(vec3 local) {
    vec2 uv = vec2(0.5 + atan(local.z, local.x) * (0.5 / PI), acos(clamp(local.y, -1.0, 1.0)) / PI);
    vec2 size = vec2(textureSize(fluidImage, 0));
    vec2 dx = dFdx(uv), dy = dFdy(uv);
    // The longitude wraps: a step across the seam is a small step the other way.
    dx.x -= round(dx.x);
    dy.x -= round(dy.x);
    vec2 footprint = max(abs(dx), abs(dy)) * size;
    int taps = int(clamp(ceil(max(footprint.x, footprint.y) * 0.5), 1.0, 3.0));
    if (taps == 1)
        return textureLod(fluidImage, uv, 0.0).rgb;
    vec3 sum = vec3(0.0);
    for (int j = 0; j < taps; ++j)
        for (int i = 0; i < taps; ++i) {
            vec2 o = (vec2(i, j) + 0.5) / float(taps) - 0.5;
            vec2 q = uv + dx * o.x + dy * o.y;
            q.x = fract(q.x);
            sum += textureLod(fluidImage, q, 0.0).rgb;
        }
    return sum / float(taps * taps);
}

void main() {
    ivec2 pixel = ivec2(gl_FragCoord.xy);
    vec3 eye = camera.eye;
    vec3 rd = normalize(inWorldPosition - eye);
    Shell s = currentShell(HazeScale, Sharpness);
    vec2 hit = raySphere(eye - s.centre, rd, s.top);
    vec2 deck = raySphere(eye - s.centre, rd, s.ground);
    bool onDeck = deck.x <= deck.y && deck.x > 0.0;
    // Derivatives for the deck's footprint are taken by all four pixels of a quad, before any of them leaves.
    vec3 local = normalize(transpose(mat3(object.model)) * (eye + rd * max(deck.x, 0.0) - s.centre));
    vec3 albedo = deckColour(local);
    if (hit.x > hit.y || hit.y <= 0.0)
        return;
    float t0 = max(hit.x, 0.0);
    vec4 behind = imageLoad(colorTarget, pixel);
    float sceneT = sceneDistance(pixel, rd, behind.a);
    if (sceneT <= t0)
        return; // in front of the shell: untouched
    // The planet's own disc, drawn in the main pass, already is the lit deck: the haze goes over it. The deck is
    // shaded here only where nothing was drawn (the clouds' first step not recorded yet).
    bool deckVisible = onDeck && sceneT >= Far;
    float tEnd = onDeck ? min(hit.y, deck.x) : hit.y;
    float t1 = deckVisible ? tEnd : min(tEnd, sceneT);
    if (t1 <= t0)
        return;

    vec3 radiance = star.light.color * star.light.intensity;
    vec3 background = behind.rgb;
    float distanceOut = behind.a;
    if (deckVisible) {
        vec3 p = eye + rd * deck.x;
        vec3 n = normalize(p - s.centre);
        vec3 l = normalize(star.light.position - p);
        float mu0 = dot(n, l), mu = max(dot(n, -rd), 1e-3);
        // Sunlight reaching the deck through the haze: reddened near the terminator, cut by eclipses.
        vec3 sun = exp(-extinction(s, columnTowards(s, p + n * 1e-3 * s.height, l)));
        sun *= starVisibility(p);
        float lit = mu0 > 0.0 ? pow(mu0, Minnaert) * pow(mu, Minnaert - 1.0) : 0.0;
        // A little light wraps past the terminator through the deep atmosphere.
        lit += 0.02 * smoothstep(-0.15, 0.05, mu0) * (1.0 - smoothstep(0.05, 0.3, mu0));
        background = albedo / PI * radiance * sun * lit + albedo * 0.004;
        distanceOut = deck.x;
    }

    vec3 inscatter, transmittance;
    skyAlong(s, eye, rd, t0, t1, tEnd, inscatter, transmittance);
    imageStore(colorTarget, pixel, vec4(background * transmittance + inscatter, distanceOut));
}
