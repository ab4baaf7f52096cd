// kestrune_assetgen: writes the run-time assets the program loads from assets/ (sky box faces, spacecraft model and
// material textures, UI font). Deterministic: the same arguments give the same bytes.
//
//   kestrune_assetgen --out DIR [--sky-size N] [--texture-size N] [--font PATH] [--preview DIR]
#include "DdsWriter.h"
#include "Model.h"
#include "Preview.h"
#include "Sky.h"
#include "Textures.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <stdexcept>
#include <string>

using namespace AssetGen;
namespace fs = std::filesystem;

namespace {

constexpr uint64_t SkySeed = 0x5EEDC0DE2048ull;
constexpr uint64_t TextureSeed = 0x7E57E11A11ull;

struct Options {
    std::string out;
    std::string font;
    std::string preview;
    int skySize = 2048;
    int textureSize = 1024;
};

bool powerOfTwo(int v) {
    return v > 0 && (v & (v - 1)) == 0;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (i + 1 >= argc)
            throw std::runtime_error("missing value after " + arg);
        std::string value = argv[++i];
        if (arg == "--out")
            o.out = value;
        else if (arg == "--font")
            o.font = value;
        else if (arg == "--preview")
            o.preview = value;
        else if (arg == "--sky-size")
            o.skySize = std::stoi(value);
        else if (arg == "--texture-size")
            o.textureSize = std::stoi(value);
        else
            throw std::runtime_error("unknown option " + arg);
    }
    if (o.out.empty())
        throw std::runtime_error("--out DIR is required");
    if (!powerOfTwo(o.skySize) || o.skySize > 8192 || !powerOfTwo(o.textureSize) || o.textureSize > 8192)
        throw std::runtime_error("sizes must be powers of two up to 8192");
    return o;
}

void writePreviews(const Options& o) {
    fs::create_directories(o.preview);
    SkyModel sky(SkySeed);
    std::vector<std::vector<uint8_t>> faces;
    for (int f = 0; f < 6; ++f)
        faces.push_back(encodeSkyFace(renderSkyFace(sky, f, o.skySize), o.skySize, f));
    writeSkyCross(o.preview + "/sky_cross.png", faces, o.skySize, std::max(1, o.skySize / 512));
    for (int f = 0; f < 6; ++f)
        writePng(o.preview + "/sky_" + std::to_string(f) + ".png", faces[f], o.skySize, o.skySize);
    MaterialImages m = paintMaterials(o.textureSize, TextureSeed);
    for (size_t i = 0; i < m.normal.pixels.size(); i += 4)
        for (int c = 0; c < 3; ++c)
            m.normal.pixels[i + c] = m.normal.pixels[i + c] * 0.5f + 0.5f;
    ModelMesh craft = buildSpacecraft();
    writeModelPreview(o.preview + "/craft_front.png", craft, m, 35, 25, 1000, 800);
    writeModelPreview(o.preview + "/craft_back.png", craft, m, 200, 20, 1000, 800);
    writeModelPreview(o.preview + "/craft_top.png", craft, m, 0, 89, 1000, 800);
    writeModelPreview(o.preview + "/craft_below.png", craft, m, 120, -30, 1000, 800);
    writePng(o.preview + "/basecolor.png", encodeRgba8(m.baseColor, TexelEncoding::Srgb, 1), o.textureSize,
             o.textureSize);
    writePng(o.preview + "/metallic.png", encodeRgba8(m.metallic, TexelEncoding::Unorm, 1), o.textureSize,
             o.textureSize);
    writePng(o.preview + "/roughness.png", encodeRgba8(m.roughness, TexelEncoding::Unorm, 1), o.textureSize,
             o.textureSize);
    writePng(o.preview + "/normal.png", encodeRgba8(m.normal, TexelEncoding::Unorm, 1), o.textureSize, o.textureSize);
}

} // namespace

int main(int argc, char** argv) {
    try {
        auto start = std::chrono::steady_clock::now();
        Options o = parse(argc, argv);
        std::string skyDir = o.out + "/textures/skybox";
        std::string craftDir = o.out + "/Vessel_11";
        fs::create_directories(skyDir);
        fs::create_directories(craftDir);

        auto stage = std::chrono::steady_clock::now();
        auto lap = [&](const char* what) {
            auto now = std::chrono::steady_clock::now();
            std::printf("kestrune_assetgen: %s %.2f s\n", what, std::chrono::duration<double>(now - stage).count());
            stage = now;
        };
        generateSky(skyDir, o.skySize, SkySeed);
        lap("sky box");
        writeSpacecraft(craftDir);
        lap("spacecraft model");
        generateTextures(craftDir, "Vessel_11", o.textureSize, TextureSeed);
        lap("spacecraft textures");
        if (!o.font.empty()) {
            if (!fs::is_regular_file(o.font))
                throw std::runtime_error("font " + o.font + " not found (Debian package fonts-roboto-unhinted)");
            fs::copy_file(o.font, o.out + "/Roboto-Medium.ttf", fs::copy_options::overwrite_existing);
        }
        if (!o.preview.empty())
            writePreviews(o);

        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        std::printf("kestrune_assetgen: assets written to %s in %.2f s\n", o.out.c_str(), seconds);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kestrune_assetgen: %s\n", e.what());
        return 1;
    }
}
