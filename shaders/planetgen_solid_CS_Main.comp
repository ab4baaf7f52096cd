#version 450
// Height cube map of a solid planet: up to eight noise layers evaluated on the unit-sphere direction of every
// texel, so that the six faces meet without seams. One invocation per texel, work group z is the cube face.
#include "noise.glsl"

layout(local_size_x = 8, local_size_y = 8, local_size_z = 1) in;

layout(set = 0, binding = 0, r32f) uniform writeonly image2DArray heightMap;

const uint NOISE_NONE = 0u;
const uint NOISE_FBM = 1u;      // fBm of simplex noise: rolling hills and basins
const uint NOISE_CURL = 2u;     // fBm advected along a curl-noise flow: swirled, lava-like terrain
const uint NOISE_GRADIENT = 3u; // ridged multifractal on gradient noise: sharp mountain chains
const uint NOISE_PERLIN = 4u;   // fBm of improved Perlin noise
const uint NOISE_SIMPLEX = 5u;  // billowed simplex (|n|): dunes and puffy highlands
const uint NOISE_VORONOI = 6u;  // cell borders (F2 - F1): cracks and plates
const uint NOISE_WORLEY = 7u;   // Worley F1 shaped into bowls with raised rims: craters

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

// Octaves beyond this add detail far below a texel of a 2048 face, at full cost.
const int MAX_OCTAVES = 16;

float craterProfile(float d) {
    // d: distance to the crater centre in cell units. Bowl inside, raised rim, fading ejecta outside.
    const float radius = 0.42;
    float x = d / radius;
    float bowl = x * x - 1.0;
    float rim = 0.35 * exp(-24.0 * (x - 1.0) * (x - 1.0));
    return x < 1.0 ? bowl + rim : rim * exp(-2.0 * (x - 1.0));
}

float evaluate(NoiseLayer layer, vec3 p) {
    int octaves = clamp(layer.octaves, 1, MAX_OCTAVES);
    float lacunarity = layer.lacunarity > 0.0 ? layer.lacunarity : 2.0;
    float persistence = layer.persistence;
    float amplitude = 1.0, frequency = 1.0, sum = 0.0, norm = 0.0;
    float ridgeWeight = 1.0;
    if (layer.noiseType == NOISE_CURL)
        p += 0.35 * curlNoise(p * 0.5);
    for (int o = 0; o < octaves; ++o) {
        vec3 q = p * frequency + vec3(float(o) * 17.31, float(o) * -9.17, float(o) * 5.03);
        float n;
        if (layer.noiseType == NOISE_FBM || layer.noiseType == NOISE_CURL) {
            n = simplexNoise(q);
        } else if (layer.noiseType == NOISE_PERLIN) {
            n = perlinNoise(q);
        } else if (layer.noiseType == NOISE_GRADIENT) {
            // Ridges: folded noise, sharpened, and damped where the previous octave was low.
            float r = 1.0 - abs(perlinNoise(q));
            r *= r;
            n = r * ridgeWeight;
            ridgeWeight = clamp(r * 2.0, 0.0, 1.0);
            n = n * 2.0 - 1.0;
        } else if (layer.noiseType == NOISE_SIMPLEX) {
            n = abs(simplexNoise(q)) * 2.0 - 1.0;
        } else if (layer.noiseType == NOISE_VORONOI) {
            vec2 f = worleyF1F2(q);
            n = clamp((f.y - f.x) * 2.5, 0.0, 1.0) * 2.0 - 1.0;
        } else { // NOISE_WORLEY
            n = clamp(craterProfile(worleyF1F2(q).x), -1.0, 1.0);
        }
        sum += n * amplitude;
        norm += amplitude;
        amplitude *= persistence;
        frequency *= lacunarity;
    }
    return norm > 0.0 ? sum / norm : 0.0;
}

// Direction of a texel centre for the standard cube face order +X, -X, +Y, -Y, +Z, -Z.
vec3 cubeDirection(uint face, vec2 uv) {
    vec2 st = uv * 2.0 - 1.0;
    float s = st.x, t = st.y;
    if (face == 0u) return vec3(1.0, -t, -s);
    if (face == 1u) return vec3(-1.0, -t, s);
    if (face == 2u) return vec3(s, 1.0, t);
    if (face == 3u) return vec3(s, -1.0, -t);
    if (face == 4u) return vec3(s, -t, 1.0);
    return vec3(-s, -t, -1.0);
}

void main() {
    ivec3 size = imageSize(heightMap);
    uvec3 id = gl_GlobalInvocationID;
    if (id.x >= uint(size.x) || id.y >= uint(size.y))
        return;
    vec2 uv = (vec2(id.xy) + 0.5) / vec2(size.xy);
    vec3 dir = normalize(cubeDirection(id.z, uv));

    float height = 0.0;
    for (int k = 0; k < 8; ++k) {
        NoiseLayer layer = settings.layers[k];
        if (layer.noiseType == NOISE_NONE || layer.noiseType > NOISE_WORLEY || layer.weight == 0.0)
            continue;
        float n = clamp(layer.baseAmplitude * evaluate(layer, dir * layer.baseFrequency + layer.offset), -1.0, 1.0);
        // The layer's value spans the range amplitude; it applies where the height so far lies in the mask band.
        float value = mix(layer.rangeAmplitude.x, layer.rangeAmplitude.y, n * 0.5 + 0.5);
        float lo = min(layer.maskElevation.x, layer.maskElevation.y);
        float hi = max(layer.maskElevation.x, layer.maskElevation.y);
        const float soft = 0.02;
        float mask = smoothstep(lo - soft, lo + soft, height) * (1.0 - smoothstep(hi - soft, hi + soft, height));
        height += layer.weight * value * mask;
    }
    imageStore(heightMap, ivec3(id), vec4(height));
}
