#pragma once
// Small math, random numbers, float images and a parallel loop shared by the generators.
// Everything here is deterministic: the same seed gives the same numbers on every run and thread count.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <vector>

namespace AssetGen {

struct Vec2 {
    float x = 0, y = 0;
};

struct Vec3 {
    float x = 0, y = 0, z = 0;
    Vec3 operator+(const Vec3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Vec3 operator-(const Vec3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Vec3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Vec3 operator-() const { return {-x, -y, -z}; }
    Vec3 operator*(const Vec3& o) const { return {x * o.x, y * o.y, z * o.z}; }
    Vec3& operator+=(const Vec3& o) {
        x += o.x;
        y += o.y;
        z += o.z;
        return *this;
    }
};

inline float dot(const Vec3& a, const Vec3& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline float length(const Vec3& v) {
    return std::sqrt(dot(v, v));
}
inline Vec3 normalize(const Vec3& v) {
    float l = length(v);
    return l > 0 ? v * (1.0f / l) : Vec3{0, 0, 1};
}
inline float clamp01(float v) {
    return std::min(1.0f, std::max(0.0f, v));
}
inline float mix(float a, float b, float t) {
    return a + (b - a) * t;
}
inline Vec3 mix(const Vec3& a, const Vec3& b, float t) {
    return a + (b - a) * t;
}
inline float smoothstep(float e0, float e1, float x) {
    float t = clamp01((x - e0) / (e1 - e0));
    return t * t * (3 - 2 * t);
}

constexpr float Pi = 3.14159265358979f;

// SplitMix64: tiny, fast and fully specified, unlike the distributions of <random>.
class Rng {
public:
    explicit Rng(uint64_t seed) : state(seed) {}
    uint64_t next() {
        uint64_t z = (state += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1) with 24 bits.
    float uniform() { return float(next() >> 40) * (1.0f / 16777216.0f); }
    float uniform(float lo, float hi) { return lo + (hi - lo) * uniform(); }
    // Uniform on the unit sphere (Marsaglia's z and angle method).
    Vec3 direction() {
        float z = uniform(-1, 1);
        float a = uniform(0, 2 * Pi);
        float r = std::sqrt(std::max(0.0f, 1 - z * z));
        return {r * std::cos(a), r * std::sin(a), z};
    }

private:
    uint64_t state;
};

// Stateless hash of integer coordinates to [0, 1), for per-texel dithering and cell features.
inline float hash01(uint32_t a, uint32_t b = 0, uint32_t c = 0) {
    uint32_t h = a * 0x8DA6B343u ^ b * 0xD8163841u ^ c * 0xCB1AB31Fu;
    h ^= h >> 16;
    h *= 0x7FEB352Du;
    h ^= h >> 15;
    h *= 0x846CA68Bu;
    h ^= h >> 16;
    return float(h >> 8) * (1.0f / 16777216.0f);
}

// Linear-light RGBA floats, rows top to bottom.
struct FloatImage {
    int width = 0;
    int height = 0;
    std::vector<float> pixels; // 4 floats per texel

    FloatImage() = default;
    FloatImage(int w, int h) : width(w), height(h), pixels(size_t(w) * h * 4, 0.0f) {}
    float* at(int x, int y) { return pixels.data() + (size_t(y) * width + x) * 4; }
    const float* at(int x, int y) const { return pixels.data() + (size_t(y) * width + x) * 4; }
};

// Runs body(begin, end) over [0, count) split into contiguous chunks on the machine's cores.
// Results must depend only on the index, never on the chunking, so the output stays deterministic.
void parallelFor(int count, const std::function<void(int begin, int end)>& body);

} // namespace AssetGen
