// Bindings and helpers of the "particleSim" compute passes ("UBD_0 UBD_1+UBD_2+SB_3+...+SB_8").
// Particle time: one unit is 100000 simulated seconds; velocities are world units per unit.
#ifndef PARTICLES_GLSL
#define PARTICLES_GLSL
#include "scene.glsl"
#include "opaque.glsl"

// Settings block (1564 bytes): 16 emitters of 24 floats (six vec4 each), the attractor, counts, time step.
layout(std140, set = 1, binding = 1) uniform ParticleSettings {
    vec4 emitters[96];
    vec3 attractorPosition;
    float attractorStrength; // μ · 1e10
    uint emitterCount;
    uint maxParticles;
    float timeStep;
} settings;

// The render manager's layer block (264 bytes): int count at 0, then {near, far} squared camera distances from
// byte 8. Read as words: std140 would place a vec2 array at 16-byte strides.
layout(std140, set = 1, binding = 2) uniform LayerBlock {
    vec4 words[16];
    vec2 last;
} layerBlock;

struct Particle {
    vec3 position; // world units
    float age;     // particle time units
    vec3 velocity; // world units per unit
    float lifetime;
    uint emitter;
    uint seed;
    uint fresh; // 1 from emission to the end of its first frame: its state is already that of the frame's end
    float spare;
};

layout(std430, set = 1, binding = 3) buffer Particles { Particle particles[]; };
// Per layer: particle count [0, 32), write cursor into sort buffer B [32, 64).
layout(std430, set = 1, binding = 4) buffer Counters { uint counters[64]; };
// Sort buffer A: alive list 0 at [0, N), alive list 1 at [N, 2N), free-index stack at [2N, 3N).
// Alive-list entries hold the particle index in their low 21 bits; in the next list, its layer in the five bits
// above and, in bit 26, whether it is bright enough to be drawn.
layout(std430, set = 1, binding = 5) buffer SortA { uint lists[]; };
// Sort buffer B: one render record per live particle, grouped by layer.
layout(std430, set = 1, binding = 6) buffer SortB { uvec4 records[]; };
layout(std430, set = 1, binding = 7) buffer Info { int info[8]; };
layout(std430, set = 1, binding = 8) buffer Indirect { uint indirect[160]; };

const int INFO_ALIVE = 0;
const int INFO_DEAD = 1;
const int INFO_FRESH = 2;
const int INFO_CURRENT = 3;
const int INFO_NEXT_ALIVE = 4;
const int INFO_DROPPED = 5;
const int INFO_SIMULATED = 6;

const uint INDEX_BITS = 21u;
const uint INDEX_MASK = (1u << INDEX_BITS) - 1u;
const uint LAYER_MASK = 31u;
const uint DRAWN_BIT = 1u << 26u;

uint aliveBase(uint list) { return list * settings.maxParticles; }
uint freeBase() { return 2u * settings.maxParticles; }

struct Emitter {
    vec3 position;
    float spread;
    vec3 direction;
    float startSize;
    vec3 startColor;
    float endSize;
    vec3 endColor;
    vec3 velocity;
    float nozzleRadius;
    float lifetime;
    float speed;
};

Emitter emitterAt(uint i) {
    vec4 a = settings.emitters[i * 6u + 0u], b = settings.emitters[i * 6u + 1u];
    vec4 c = settings.emitters[i * 6u + 2u], d = settings.emitters[i * 6u + 3u];
    vec4 e = settings.emitters[i * 6u + 4u], f = settings.emitters[i * 6u + 5u];
    Emitter r;
    r.position = a.xyz;
    r.spread = a.w;
    r.direction = b.xyz;
    r.startSize = b.w;
    r.startColor = c.xyz;
    r.endSize = c.w;
    r.endColor = d.xyz;
    r.velocity = e.xyz;
    r.nozzleRadius = e.w;
    r.lifetime = f.x;
    r.speed = f.y;
    return r;
}

int layerCount() { return clamp(floatBitsToInt(layerBlock.words[0].x), 1, 32); }

// {near, far} of layer i: floats 2 + 2i and 3 + 2i of the block.
vec2 layerBounds(int i) {
    int f = 2 + 2 * i;
    if (f >= 64)
        return layerBlock.last;
    vec4 w = layerBlock.words[f >> 2];
    return (f & 3) == 0 ? w.xy : w.zw;
}

// The layer whose squared-distance interval holds d2; beyond the last bound, the last layer.
uint layerOf(float d2) {
    int n = opaqueInt(layerCount(), d2);
    for (int i = 0; i < n - 1; ++i)
        if (d2 < layerBounds(i).y)
            return uint(i);
    return uint(n - 1);
}

uint pcgHash(uint v) {
    uint state = v * 747796405u + 2891336453u;
    uint word = ((state >> ((state >> 28u) + 4u)) ^ state) * 277803737u;
    return (word >> 22u) ^ word;
}

float random01(inout uint s) {
    s = pcgHash(s);
    return float(s >> 8u) * (1.0 / 16777216.0);
}

// Uniform in the unit disc.
vec2 randomDisc(inout uint s) {
    float r = sqrt(random01(s));
    float a = 6.2831853 * random01(s);
    return r * vec2(cos(a), sin(a));
}

bool finite3(vec3 v) { return !any(isnan(v)) && !any(isinf(v)); }

// Glow of a fresh particle: thousands overlap near a nozzle.
const float BIRTH_GLOW = 0.004;
// How bright a particle of age fraction `a` still glows: a hot core right at the nozzle that is gone within the
// first hundredth of its life, a plume that dims within the first twentieth, and nothing when it dies.
float glowAt(float a) { return BIRTH_GLOW * (exp(-60.0 * a) + 4.0 * exp(-250.0 * a)) * (1.0 - a); }

// Past a tenth of its life a particle glows at less than 0.3 % of its birth glow: it is no longer sorted or drawn.
const float DIM_AGE = 0.1;

// Colour of a particle of age fraction `a`: white-hot at birth, the emitter's start colour in the core, then
// cooling to its end colour.
vec3 colorAt(vec3 startColor, vec3 endColor, float a) {
    vec3 hot = mix(startColor, vec3(1.0, 0.95, 0.85), 0.6);
    return mix(mix(hot, startColor, smoothstep(0.0, 0.015, a)), endColor, smoothstep(0.01, 0.06, a));
}

// Render records: world position, then colour (square-root coded against MAX_GLOW) and radius (log2 coded
// between 2^-10 and 2^2 world units) in one word.
const float MAX_GLOW = 4.0;

uint packRenderWord(vec3 glow, float radius) {
    vec3 c = sqrt(clamp(glow / MAX_GLOW, 0.0, 1.0));
    float r = clamp((log2(max(radius, 1e-6)) + 10.0) / 12.0, 0.0, 1.0);
    return packUnorm4x8(vec4(c, r));
}

#endif
