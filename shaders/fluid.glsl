// Bindings and helpers of the "fluid" passes: the clouds of a gas planet as a 2D incompressible flow on an
// equirectangular grid. Cell (x, y) has its centre at (x + 0.5, y + 0.5) cells; x grows eastward and wraps around
// the planet, y grows southward from the north pole (row 0) and ends at walls at both poles.
//
// Two lattices share the grid. The colour lives on every cell. The flow (velocity, pressure, divergence,
// vorticity) lives on a lattice of a quarter of the resolution, node (X, Y) covering the 4 × 4 cells from
// (4X, 4Y): the colour keeps the fine filaments, the smooth flow the motion that draws them, and each flow pass
// costs a sixteenth.
// Node i of the flow lattice is element i of the flow buffers; the flow passes run one invocation per node (only
// CS_init and the colour advection cover every cell). Velocities are in nodes per step.
//
// A colour cell (uvec4) holds two versions of the cloud colour, x and y, for the even and the odd steps, so that
// the colour advection reads its neighbours' version of the last step while it writes the other in place (10
// bits per channel); z is the colour the clouds return to (9 bits per channel) with, in its top 5 bits, how much
// of a storm's core the cell lies in; w counts the colour's moves. Colours are square roots of linear reflectance.
//
// A flow node's 8-byte element holds its velocity as two half floats in the first word, and in the second the
// forcing that never changes: the band's jet and a storm's vortex with the weight it is held with.
//
// The colour moves every fourth step, by the flow of four steps, and writes the fluid image as it goes: on a CPU
// driver the passes over the full grid are most of a step's cost. The flow moves every step.
#ifndef FLUID_GLSL
#define FLUID_GLSL
#extension GL_EXT_control_flow_attributes : require
#extension GL_KHR_shader_subgroup_shuffle_relative : require
#include "noise.glsl"

struct Band {
    vec3 color;            // linear reflectance
    float width;           // variance of the band's weight, latitude² units
    float colorRelaxation; // per step
    float latitude;        // fraction of the height from the equator, north positive
    vec2 unused;
};

struct Storm {
    vec3 color;
    float colorRelaxation;
    vec2 center;  // cells
    float spin;   // signed
    float radius; // cells
};

layout(std140, set = 0, binding = 0) uniform SimulationBlock {
    uint width;
    uint height;
    uint cellCount;
    float vorticityConfinement;
    float stormWind;
    float jetRelaxation;
    uint bandCount;
    uint stormCount;
    Band bands[64];
    Storm storms[8];
} sim;

layout(std430, set = 0, binding = 1) buffer ColorField { uvec4 colors[]; };
layout(std430, set = 0, binding = 2) buffer VorticityField { float vorticity[]; };
layout(std430, set = 0, binding = 3) buffer SolveInput { float divergence[]; };
layout(std430, set = 0, binding = 4) buffer PressureField { float pressure[]; };
layout(set = 0, binding = 5, rgba8) uniform writeonly image2D fluidImage;
layout(std430, set = 1, binding = 6) buffer Velocity { uvec2 velocity[]; };
layout(std430, set = 1, binding = 7) buffer PreviousVelocity { uvec2 previousVelocity[]; };
vec2 flowAt(uint node) { return unpackHalf2x16(velocity[node].x); }
vec2 previousFlowAt(uint node) { return unpackHalf2x16(previousVelocity[node].x); }
void setFlow(uint node, vec2 v) { velocity[node].x = packHalf2x16(v); }

const float PI = 3.14159265358979;
// Zonal wind of the fastest jets, cells per step.
const float JetSpeed = 1.0;
// Per step, how firmly a storm's vortex is held in its core.
const float StormForcing = 0.05;
// No wind faster than this survives a step (keeps a disturbed simulation finite), nodes per step.
const float MaxSpeed = 2.0;

// The width is a power of two: wrapping and indices are bit operations (a CPU driver has no vector integer
// division).
int W() { return int(sim.width); }
int H() { return int(sim.height); }
int widthShift() { return findLSB(sim.width); }
uint cellIndex(int x, int y) { return uint((clamp(y, 0, H() - 1) << widthShift()) | (x & (W() - 1))); }
ivec2 cellOf(uint index) { return ivec2(int(index & (sim.width - 1u)), int(index >> uint(widthShift()))); }

// The flow lattice: a node is NodeSize cells wide and high.
const int NodeShift = 2;
const int NodeSize = 1 << NodeShift;
const float CellsToNodes = 1.0 / float(NodeSize);
int NW() { return W() >> NodeShift; }
int NH() { return H() >> NodeShift; }
uint nodeCount() { return sim.cellCount >> uint(2 * NodeShift); }
int nodeShift() { return widthShift() - NodeShift; }
uint nodeIndex(int x, int y) { return uint((clamp(y, 0, NH() - 1) << nodeShift()) | (x & (NW() - 1))); }
ivec2 nodeOf(uint index) { return ivec2(int(index & uint(NW() - 1)), int(index >> uint(nodeShift()))); }
vec2 nodeCentre(ivec2 node) { return (vec2(node) + 0.5) * float(NodeSize); } // in cells
bool isWallRow(int y) { return y == 0 || y == NH() - 1; }

// Latitude at a height of `y` cells, as a fraction of the height: +0.5 at the north pole, -0.5 at the south pole.
float rowLatitude(float y) { return 0.5 - y / float(sim.height); }
// Width of a cell on the sphere relative to one at the equator (never quite zero, for the rows at the poles).
float metric(float y) { return max(cos(rowLatitude(y) * PI), 0.02); }

uint hashUint(uint h) {
    h ^= h >> 16u;
    h *= 0x7feb352du;
    h ^= h >> 15u;
    h *= 0x846ca68bu;
    h ^= h >> 16u;
    return h;
}
float hashUnit(uint h) { return float(hashUint(h) >> 8u) * (1.0 / 16777216.0); }

// Direction and strength of a band's jet, fixed by its latitude (a band copied from its predecessor blows the
// same way): eastward or westward, 0.4 to 1 of the fastest.
float bandJet(Band b) {
    uint h = hashUint(floatBitsToUint(b.latitude) ^ 0x9e3779b9u);
    float strength = 0.4 + 0.6 * float(h >> 8u) * (1.0 / 16777216.0);
    return (h & 1u) == 0u ? strength : -strength;
}

// How much a band's width term narrows its border with the next band: the bands share a latitude by a soft
// nearest-band rule, exp(−d²/(width · BandSharpness)) normalised, so a latitude takes the colour and jet of its
// nearest band (the wider outer bands reach further) and neighbours meet along borders a few rows wide.
const float BandSharpness = 0.1;
float bandExponent(Band b, float latitude) {
    float d = latitude - b.latitude;
    return d * d / (b.width * BandSharpness);
}

// Fine streaks within the bands: a brightness factor that varies over a few rows, different on every planet
// (smooth value noise of the latitude at two scales).
float valueNoise1(float x, uint seed) {
    float i = floor(x);
    float f = x - i;
    float a = hashUnit(uint(int(i)) * 0x9e3779b1u ^ seed), b = hashUnit(uint(int(i) + 1) * 0x9e3779b1u ^ seed);
    return mix(a, b, f * f * (3.0 - 2.0 * f)) * 2.0 - 1.0;
}
float rowStreaks(float latitude) {
    uint seed = hashUint(floatBitsToUint(sim.bands[0].latitude));
    return 1.0 + 0.10 * valueNoise1(latitude * 90.0, seed) + 0.05 * valueNoise1(latitude * 260.0, seed + 1u);
}

// Storms are ovals StormAspect times wider than tall (the radius is the half height), measured in equatorial
// cells (x shrunk by the metric), so that their shape does not depend on their latitude.
const float StormAspect = 1.5;
// Offset from a storm's centre to a point in cells, the shorter way around the planet.
vec2 stormOffset(Storm s, vec2 p) {
    vec2 d = p - s.center;
    float w = float(sim.width);
    d.x -= w * round(d.x / w);
    return d;
}
// The offset in units of the storm's radius, round for points on the oval of that radius.
vec2 stormShape(Storm s, vec2 dx) { return vec2(dx.x * metric(s.center.y) / StormAspect, dx.y) / s.radius; }
// The core painted with the storm's colour, and the wider region where its vortex is held.
float stormCore(vec2 shape) { return exp(-dot(shape, shape)); }
float stormHeld(vec2 shape) { return exp(-dot(shape, shape) / 2.25); }

// A storm's wind at offset `dx` (cells), in cells per step: the curl of ψ = k R²/2 · exp(−r²) with r the
// oval's radius in units of R, so it has no divergence on the grid. Its speed peaks on the flanks at r = 1/√2
// with sim.stormWind times the spin.
vec2 stormWindAt(Storm s, vec2 dx) {
    float c = metric(s.center.y);
    vec2 shape = stormShape(s, dx);
    float g = exp(-dot(shape, shape));
    float k = s.spin * sim.stormWind / (0.4289 * s.radius);
    return vec2(-k * dx.y * g / c, k * c * dx.x * g / (StormAspect * StormAspect));
}

// Bilinear velocity (nodes per step) of the flow lattice at a point given in node units (node centres at +0.5);
// wraps in x, clamps at the poles.
vec2 sampleFlow(bool previous, vec2 p) {
    vec2 q = p - 0.5;
    vec2 f = floor(q);
    vec2 t = q - f;
    int x0 = int(f.x), y0 = int(f.y);
    uint i00 = nodeIndex(x0, y0), i10 = nodeIndex(x0 + 1, y0);
    uint i01 = nodeIndex(x0, y0 + 1), i11 = nodeIndex(x0 + 1, y0 + 1);
    vec2 a, b, c, d;
    if (previous) {
        a = previousFlowAt(i00), b = previousFlowAt(i10), c = previousFlowAt(i01), d = previousFlowAt(i11);
    } else {
        a = flowAt(i00), b = flowAt(i10), c = flowAt(i01), d = flowAt(i11);
    }
    return mix(mix(a, b, t.x), mix(c, d, t.x), t.y);
}

// Colours in 10 bits per channel of the square root of linear reflectance. Rounding is dithered by `noise` in
// [0, 1) so that slow changes (a small fraction of a step) are not lost to rounding.
uint packColor(vec3 linearColor, vec3 noise) {
    uvec3 q = uvec3(clamp(floor(sqrt(max(linearColor, vec3(0.0))) * 1023.0 + noise), 0.0, 1023.0));
    return q.r | (q.g << 10u) | (q.b << 20u);
}
vec3 unpackEncoded(uint c) { return vec3(uvec3(c, c >> 10u, c >> 20u) & 1023u) * (1.0 / 1023.0); }
vec3 unpackColor(uint c) {
    vec3 e = unpackEncoded(c);
    return e * e;
}
const float ColorSteps = 4.0; // steps of flow the colour moves by when it moves (FluidColourSteps on the CPU)

// The texel of a cell's colour (square root of linear reflectance) in the fluid image: towards the poles the
// clouds dim and grey, as the haze over them thickens.
void storeTexel(ivec2 c, vec3 encoded) {
    float polar = smoothstep(0.3, 0.5, abs(rowLatitude(float(c.y) + 0.5)));
    float grey = dot(encoded, vec3(0.3, 0.55, 0.15));
    encoded = mix(encoded, vec3(grey) * vec3(0.92, 0.95, 1.0), 0.45 * polar) * (1.0 - 0.25 * polar);
    imageStore(fluidImage, c, vec4(encoded, 1.0));
}

uint packTarget(vec3 linearColor, float storm) {
    uvec3 q = uvec3(clamp(sqrt(max(linearColor, vec3(0.0))) * 511.0 + 0.5, 0.0, 511.0));
    uint s = uint(clamp(storm * 31.0 + 0.5, 0.0, 31.0));
    return q.r | (q.g << 9u) | (q.b << 18u) | (s << 27u);
}
vec3 targetColor(uint z) {
    vec3 e = vec3(uvec3(z, z >> 9u, z >> 18u) & 511u) * (1.0 / 511.0);
    return e * e;
}
float targetStorm(uint z) { return float(z >> 27u) * (1.0 / 31.0); }

// The forcing word of a node: the jet in 8 bits, the vortex in 10 bits per component, its weight in 3 bits.
struct Forcing {
    float jet;   // in units of JetSpeed, -1..1
    vec2 vortex; // nodes per step, -2..2
    float held;  // 0..1
};
uint packForcing(Forcing f) {
    uint j = uint(clamp((f.jet * 0.5 + 0.5) * 255.0 + 0.5, 0.0, 255.0));
    uvec2 v = uvec2(clamp((f.vortex * 0.25 + 0.5) * 1023.0 + 0.5, 0.0, 1023.0));
    uint h = uint(clamp(f.held * 7.0 + 0.5, 0.0, 7.0));
    return j | (v.x << 8u) | (v.y << 18u) | (h << 28u);
}
Forcing unpackForcing(uint word) {
    Forcing f;
    f.jet = (float(word & 255u) / 255.0 - 0.5) * 2.0;
    f.vortex = (vec2(uvec2(word >> 8u, word >> 18u) & 1023u) / 1023.0 - 0.5) * 4.0;
    f.held = float((word >> 28u) & 7u) / 7.0;
    return f;
}

#endif
