#version 450
// Height cube map of a solid planet: up to eight noise layers evaluated on the unit-sphere direction of every
// texel, so that the six faces meet without seams. One invocation per texel, work group z is the cube face.
//
// A layer turns its noise (about -1..1, times the base amplitude, clamped) into a value inside its range
// amplitude, and adds weight x value where the height accumulated by the layers before it lies inside its mask
// elevation band (soft borders). Unused layers (type NONE or weight 0) add nothing.
#include "noise.glsl"
#include "opaque.glsl"
#include "cubeface.glsl"

layout(local_size_x = 8, local_size_y = 8, local_size_z = 1) in;

layout(set = 0, binding = 0, r32f) uniform writeonly image2DArray heightMap;

const uint NOISE_NONE = 0u;
const uint NOISE_FBM = 1u;      // fBm of simplex noise: rolling hills and basins
const uint NOISE_CURL = 2u;     // fBm advected along a curl-noise flow: swirled, lava-like terrain
const uint NOISE_GRADIENT = 3u; // ridged multifractal on gradient noise: sharp mountain chains
const uint NOISE_PERLIN = 4u;   // fBm of improved Perlin noise
const uint NOISE_SIMPLEX = 5u;  // billowed simplex (|n|): dunes and puffy highlands
const uint NOISE_VORONOI = 6u;  // narrow cell borders (F2 - F1): cracks, grooves and canyon networks
const uint NOISE_WORLEY = 7u;   // jittered cells holding craters of random size: bowls with raised rims

struct NoiseLayer {
    vec3 offset;
    float baseFrequency;
    float baseAmplitude;
    int octaves;
    float lacunarity;
    float persistence;
    uint noiseType;
    float weight;
    vec2 rangeAmplitude;
    vec2 maskElevation;
    vec2 padding;
};

layout(std140, set = 0, binding = 1) uniform GeneratorSettings {
    NoiseLayer layers[8];
} settings;

const int MAX_OCTAVES = 16;

// The noise type of each layer, fixed when the pipeline is built. A CPU driver executes every branch of a
// shader whatever the condition, so the generator specialises the pipeline to its layers' types and the code of
// the other types (and of unused layers) is folded away. The default reads the type from the settings block.
const uint TYPE_FROM_BLOCK = 0xFFFFFFFFu;
layout(constant_id = 0) const uint LAYER_TYPE_0 = TYPE_FROM_BLOCK;
layout(constant_id = 1) const uint LAYER_TYPE_1 = TYPE_FROM_BLOCK;
layout(constant_id = 2) const uint LAYER_TYPE_2 = TYPE_FROM_BLOCK;
layout(constant_id = 3) const uint LAYER_TYPE_3 = TYPE_FROM_BLOCK;
layout(constant_id = 4) const uint LAYER_TYPE_4 = TYPE_FROM_BLOCK;
layout(constant_id = 5) const uint LAYER_TYPE_5 = TYPE_FROM_BLOCK;
layout(constant_id = 6) const uint LAYER_TYPE_6 = TYPE_FROM_BLOCK;
layout(constant_id = 7) const uint LAYER_TYPE_7 = TYPE_FROM_BLOCK;

// Height of a crater at x = distance / crater radius: a bowl with a flat floor, a raised rim around x = 1 and
// nothing beyond x = 1.45.
float craterProfile(float x) {
    float t = (x - 1.0) * (1.0 / 0.45);
    float rim = abs(t) < 1.0 ? 0.35 * (1.0 - t * t) * (1.0 - t * t) : 0.0;
    float bowl = max(x * x - 1.0, -0.8);
    return x < 1.0 ? bowl + rim : rim;
}

// Craters of one octave. A cell holds a crater with probability 3/4; its centre keeps 0.2 from the cell walls
// and its radius is 0.1 to 0.3 cells, so nothing reaches past 0.44 from a centre: only the cell and its nearer
// neighbour along each axis can touch the point, eight cells instead of 27. Depth grows with the radius.
float craterField(vec3 p) {
    vec3 fl = floor(p);
    ivec3 i = ivec3(fl);
    vec3 f = p - fl;
    ivec3 side = ivec3(step(vec3(0.5), f)) * 2 - 1;
    float sum = 0.0;
    for (int k = 0; k < 8; ++k) {
        ivec3 c = ivec3(k & 1, (k >> 1) & 1, k >> 2) * side;
        uint h = hash3(i + c);
        uint h2 = (h ^ (h >> 15u)) * 0x2c1b3c6du;
        h2 ^= h2 >> 12u;
        float present = (h2 & 3u) != 0u ? 1.0 : 0.0;
        float radius = 0.1 + 0.2 * float((h2 >> 8u) & 255u) * (1.0 / 255.0);
        vec3 centre = vec3(c) + 0.2 + 0.6 * hashToUnit3(h);
        float x = length(centre - f) / radius;
        sum += present * (radius * (1.0 / 0.3)) * craterProfile(x);
    }
    return clamp(sum, -1.0, 1.0);
}

// Narrow borders between Voronoi cells: -1 on a border, 1 inside a cell.
float crackField(vec3 p) {
    vec2 f = worleyF1F2(p);
    return smoothstep(0.0, 0.12, f.y - f.x) * 2.0 - 1.0;
}

// Ridges: folded noise, sharpened, and damped where the previous octave was low.
float ridge(vec3 q, inout float ridgeWeight) {
    float r = 1.0 - abs(perlinNoise(q));
    r *= r;
    r *= r;
    float n = r * ridgeWeight;
    ridgeWeight = clamp(r * 2.0, 0.0, 1.0);
    return n * 2.0 - 1.0;
}

// Normalised octave sum of a layer's noise at p. Octaves finer than two texels of the map are skipped: they
// cost as much as the others and only alias.
float layerNoise(NoiseLayer layer, uint type, vec3 p, float maxFrequency) {
    int octaves = opaqueInt(clamp(layer.octaves, 1, MAX_OCTAVES), p.x);
    float lacunarity = layer.lacunarity > 0.0 ? layer.lacunarity : 2.0;
    float persistence = layer.persistence;
    if (type == NOISE_CURL)
        p += 0.35 * curlNoise(p * 0.5);
    float amplitude = 1.0, frequency = 1.0, sum = 0.0, norm = 0.0;
    float ridgeWeight = 1.0;
    for (int o = 0; o < octaves; ++o) {
        if (o > 0 && frequency > maxFrequency)
            break;
        // A different lattice for every octave, so that octaves do not line up at the origin.
        vec3 q = p * frequency + vec3(float(o) * 17.31, float(o) * -9.17, float(o) * 5.03);
        float n;
        if (type == NOISE_FBM || type == NOISE_CURL)
            n = simplexNoise(q);
        else if (type == NOISE_PERLIN)
            n = perlinNoise(q);
        else if (type == NOISE_GRADIENT)
            n = ridge(q, ridgeWeight);
        else if (type == NOISE_SIMPLEX)
            n = abs(simplexNoise(q)) * 2.0 - 1.0;
        else if (type == NOISE_VORONOI)
            n = crackField(q);
        else
            n = craterField(q);
        sum += n * amplitude;
        norm += amplitude;
        amplitude *= persistence;
        frequency *= lacunarity;
    }
    return norm > 0.0 ? sum / norm : 0.0;
}

// Adds layer `layer` of type `type` (a specialization constant, or TYPE_FROM_BLOCK) to the height so far.
float applyLayer(NoiseLayer layer, uint type, vec3 dir, float height, float texelAngle) {
    if (type == TYPE_FROM_BLOCK)
        type = opaqueUint(layer.noiseType, dir.x);
    if (type == NOISE_NONE || type > NOISE_WORLEY || opaqueBool(layer.weight == 0.0, dir.x))
        return height;
    float lo = min(layer.maskElevation.x, layer.maskElevation.y);
    float hi = max(layer.maskElevation.x, layer.maskElevation.y);
    const float soft = 0.02;
    float mask = smoothstep(lo - soft, lo + soft, height) * (1.0 - smoothstep(hi - soft, hi + soft, height));
    float maxFrequency = 0.5 / (texelAngle * max(abs(layer.baseFrequency), 1e-3));
    float n = layerNoise(layer, type, dir * layer.baseFrequency + layer.offset, maxFrequency);
    // Soft saturation: strong amplitudes push towards the range ends without flat plateaus at them.
    n = tanh(layer.baseAmplitude * n);
    float value = mix(layer.rangeAmplitude.x, layer.rangeAmplitude.y, n * 0.5 + 0.5);
    return height + layer.weight * value * mask;
}

void main() {
    ivec3 size = imageSize(heightMap);
    uvec3 id = gl_GlobalInvocationID;
    if (id.x >= uint(size.x) || id.y >= uint(size.y))
        return;
    vec2 uv = (vec2(id.xy) + 0.5) / vec2(size.xy);
    vec3 dir = normalize(cubeDirection(id.z, uv));
    // Neighbouring texels lie about (pi / 2) / size apart on the unit sphere.
    float texelAngle = 1.5708 / float(size.x);

    float height = 0.0;
    height = applyLayer(settings.layers[0], LAYER_TYPE_0, dir, height, texelAngle);
    height = applyLayer(settings.layers[1], LAYER_TYPE_1, dir, height, texelAngle);
    height = applyLayer(settings.layers[2], LAYER_TYPE_2, dir, height, texelAngle);
    height = applyLayer(settings.layers[3], LAYER_TYPE_3, dir, height, texelAngle);
    height = applyLayer(settings.layers[4], LAYER_TYPE_4, dir, height, texelAngle);
    height = applyLayer(settings.layers[5], LAYER_TYPE_5, dir, height, texelAngle);
    height = applyLayer(settings.layers[6], LAYER_TYPE_6, dir, height, texelAngle);
    height = applyLayer(settings.layers[7], LAYER_TYPE_7, dir, height, texelAngle);
    imageStore(heightMap, ivec3(id), vec4(height));
}
