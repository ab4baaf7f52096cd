#pragma once
// The spacecraft's four material textures over the atlas of Atlas.h: base colour (sRGB), metallic and roughness
// (grey, linear) and a tangent-space normal map (linear, xyz * 0.5 + 0.5, +y towards the top of the image).
#include "Atlas.h"
#include "Common.h"
#include "Noise.h"

#include <string>

namespace AssetGen {

struct MaterialSample {
    Vec3 albedo;     // linear
    float metallic;  // 0..1
    float roughness; // 0..1
    float height;    // bump height in texels of a 1024 texture
};

// The material at atlas coordinates (u, v), v down the rows.
MaterialSample sampleMaterial(const Noise& noise, float u, float v);

struct MaterialImages {
    FloatImage baseColor, metallic, roughness, normal; // normal holds xyz in [-1, 1]
};
MaterialImages paintMaterials(int size, uint64_t seed);

// Writes the four DDS textures with full box-filtered mip chains as directory/prefix + "_DefaultMaterial_" + kind.
void generateTextures(const std::string& directory, const std::string& prefix, int size, uint64_t seed);

} // namespace AssetGen
