#pragma once
// PNG previews of the generated images, for looking at them while tuning (never part of the build's outputs).
#include "Model.h"
#include "Textures.h"

#include <cstdint>
#include <string>
#include <vector>

namespace AssetGen {

void writePng(const std::string& path, const std::vector<uint8_t>& rgba, int width, int height);
// The six faces (RGBA8, `size` x `size`, layer order) as a horizontal cross, each face reduced by `shrink`.
void writeSkyCross(const std::string& path, const std::vector<std::vector<uint8_t>>& faces, int size, int shrink);

// A shaded orthographic view of the model from the direction (yaw, pitch) in degrees, textured with the base colour
// and lit by one distant light, back faces culled the way the renderer culls them.
void writeModelPreview(const std::string& path, const ModelMesh& mesh, const MaterialImages& materials, float yaw,
                       float pitch, int width, int height);

} // namespace AssetGen
