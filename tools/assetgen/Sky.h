#pragma once
// The deep-sky star field of the sky box: power-law star brightnesses with blackbody tints, and a Milky Way band
// with star clouds and dust lanes along a great circle. Everything is a function of the 3D direction, so the six
// cube faces meet without seams.
#include "Common.h"
#include "Noise.h"

#include <array>
#include <string>

namespace AssetGen {

// Cube map faces in Vulkan layer order +X, -X, +Y, -Y, +Z, -Z, and the files they are written to.
constexpr std::array<const char*, 6> SkyFaceFiles = {"right.dds",  "left.dds",  "top.dds",
                                                     "bottom.dds", "front.dds", "back.dds"};

// Direction (not normalised) through face coordinates s, t in [0, 1] (s along a row, t down the rows), following
// Vulkan's cube-map face selection.
Vec3 cubeDirection(int face, float s, float t);
// Face coordinates of `dir` on `face`; false when the direction does not point into that face's half-space.
bool cubeProject(int face, const Vec3& dir, float& s, float& t);

// Linear sRGB tint of a blackbody at `kelvin`, scaled to unit luminance.
Vec3 blackbodyTint(float kelvin);

struct Star {
    Vec3 direction;
    Vec3 color;  // linear RGB peak radiance of the spot: tint times brightness
    float sigma; // spot width in texels at the reference face size
    bool inBand; // an unresolved band star: its brightness follows the band's light where it lies
};

class SkyModel {
public:
    explicit SkyModel(uint64_t seed);

    // Diffuse Milky Way light towards `dir` (unit) and the dust transmission in front of the stars behind it.
    void diffuse(const Vec3& dir, Vec3& light, float& transmission) const;
    // The band's brightness without noise: where unresolved stars gather and where noise is worth evaluating.
    float bandEnvelope(const Vec3& dir) const;

    std::vector<Star> stars;

private:
    void galactic(const Vec3& dir, float& latitude, float& longitude) const;

    Noise noise;
    Vec3 pole, center, side; // galactic frame: north pole, direction of the centre, third axis
};

// One face as linear RGB floats (3 per texel, rows top to bottom) at `size` x `size`.
std::vector<float> renderSkyFace(const SkyModel& sky, int face, int size);
// Soft shoulder and sRGB RGBA8 encoding of a rendered face.
std::vector<uint8_t> encodeSkyFace(const std::vector<float>& rgb, int size, int face);

// Renders and writes the six faces into `directory` (which must exist).
void generateSky(const std::string& directory, int size, uint64_t seed);

} // namespace AssetGen
