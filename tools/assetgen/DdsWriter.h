#pragma once
// Writing RGBA8 DDS files (DX10 header) and the box-filtered mip chains they carry.
#include "Common.h"

#include <string>

namespace AssetGen {

enum class TexelEncoding {
    Srgb,  // colour: linear floats encoded with the sRGB transfer curve
    Unorm, // data (metallic, roughness, normals): stored linearly
};

// Full chain down to 1 x 1 by 2 x 2 box filtering in linear space; normal maps (xyz in [-1, 1]) are
// renormalised at every level.
std::vector<FloatImage> mipChain(const FloatImage& base, bool normalMap);

// Linear floats to RGBA8 with a deterministic half-step dither that hides banding in faint gradients.
std::vector<uint8_t> encodeRgba8(const FloatImage& image, TexelEncoding encoding, uint32_t ditherSeed);

// One DX10 DDS file of RGBA8 surfaces (DXGI 28 UNORM or 29 SRGB), `surfaces` in file order: face-major, then
// level. Six faces make a cube map. Throws std::runtime_error when the file cannot be written.
void writeDdsRgba8(const std::string& path, TexelEncoding encoding, int width, int height, int mipLevels, int faces,
                   const std::vector<std::vector<uint8_t>>& surfaces);

// Encodes every level of a chain and writes it as one 2D texture.
void writeTexture(const std::string& path, const std::vector<FloatImage>& chain, TexelEncoding encoding);

} // namespace AssetGen
