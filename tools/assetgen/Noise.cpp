#include "Noise.h"

namespace AssetGen {

Noise::Noise(uint64_t seed) {
    Rng rng(seed);
    for (int i = 0; i < 256; ++i)
        perm[i] = uint8_t(i);
    for (int i = 255; i > 0; --i)
        std::swap(perm[i], perm[rng.next() % uint64_t(i + 1)]);
    for (int i = 0; i < 256; ++i)
        perm[256 + i] = perm[i];
}

namespace {

inline float fade(float t) {
    return t * t * t * (t * (t * 6 - 15) + 10);
}

// The twelve cube-edge gradients of improved noise (four repeated to fill 16).
inline float grad(int hash, float x, float y, float z) {
    int h = hash & 15;
    float u = h < 8 ? x : y;
    float v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
    return ((h & 1) ? -u : u) + ((h & 2) ? -v : v);
}

} // namespace

float Noise::perlin(float x, float y, float z) const {
    float fx = std::floor(x), fy = std::floor(y), fz = std::floor(z);
    int X = int(fx) & 255, Y = int(fy) & 255, Z = int(fz) & 255;
    x -= fx;
    y -= fy;
    z -= fz;
    float u = fade(x), v = fade(y), w = fade(z);
    int A = perm[X] + Y, AA = perm[A] + Z, AB = perm[A + 1] + Z;
    int B = perm[X + 1] + Y, BA = perm[B] + Z, BB = perm[B + 1] + Z;
    float r = mix(mix(mix(grad(perm[AA], x, y, z), grad(perm[BA], x - 1, y, z), u),
                      mix(grad(perm[AB], x, y - 1, z), grad(perm[BB], x - 1, y - 1, z), u), v),
                  mix(mix(grad(perm[AA + 1], x, y, z - 1), grad(perm[BA + 1], x - 1, y, z - 1), u),
                      mix(grad(perm[AB + 1], x, y - 1, z - 1), grad(perm[BB + 1], x - 1, y - 1, z - 1), u), v),
                  w);
    return r;
}

float Noise::fbm(Vec3 p, int octaves, float gain, float lacunarity) const {
    float sum = 0, amplitude = 1, total = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amplitude * perlin(p);
        total += amplitude;
        amplitude *= gain;
        // A small offset per octave keeps the lattice zeros of successive octaves apart.
        p = p * lacunarity + Vec3{17.31f, -9.73f, 5.19f};
    }
    return sum / total;
}

float Noise::ridged(Vec3 p, int octaves, float gain, float lacunarity) const {
    float sum = 0, amplitude = 1, total = 0, weight = 1;
    for (int i = 0; i < octaves; ++i) {
        float n = 1 - std::fabs(perlin(p));
        n *= n * weight;
        weight = clamp01(n * 2);
        sum += amplitude * n;
        total += amplitude;
        amplitude *= gain;
        p = p * lacunarity + Vec3{-3.71f, 11.13f, 7.77f};
    }
    return sum / total;
}

} // namespace AssetGen
