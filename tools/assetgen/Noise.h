#pragma once
// Gradient (Perlin) noise in three dimensions and its fractal sums.
#include "Common.h"

#include <array>

namespace AssetGen {

class Noise {
public:
    explicit Noise(uint64_t seed);
    // Improved Perlin noise, roughly in [-1, 1], zero at integer lattice points.
    float perlin(float x, float y, float z) const;
    float perlin(const Vec3& p) const { return perlin(p.x, p.y, p.z); }
    // Sum of `octaves` layers, each at twice the frequency and `gain` times the amplitude; normalised to [-1, 1].
    float fbm(Vec3 p, int octaves, float gain = 0.5f, float lacunarity = 2.0f) const;
    // Ridged multifractal: sharp creases where the noise crosses zero; in [0, 1].
    float ridged(Vec3 p, int octaves, float gain = 0.5f, float lacunarity = 2.0f) const;

private:
    std::array<uint8_t, 512> perm{};
};

} // namespace AssetGen
