// The blocks the C++ side uploads against the layout the shader compiler gave the GLSL side: a member renamed,
// reordered, retyped or added on one side only shows up here instead of as wrong pictures.
#include "App/UIRenderer.h"
#include "Demo/Astro/AstroObject.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/Bloom.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Scene/RenderManager.h"
#include "Demo/Scene/SceneObject.h"
#include "Demo/Spacecraft/SpacecraftLighting.h"
#include "Demo/Surfaces/AstroSurface.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/AtmosphereTables.h"
#include "Demo/Surfaces/GasFluidTables.h"
#include "Demo/Surfaces/ParticleBlocks.h"
#include "Demo/Surfaces/PlanetGenerator.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "SpirvLayout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <set>
#include <type_traits>

using namespace Demo;
namespace fs = std::filesystem;

namespace {

struct Field {
    const char* glsl;  // member name in the shaders
    size_t offset;     // of the C++ field
    size_t stride = 0; // arrays: bytes of one C++ element
    size_t length = 0; // arrays: C++ element count
};

struct SharedBlock {
    const char* glsl; // struct or block name in the shaders
    size_t size;      // sizeof the C++ type: it must cover everything the shaders read
    std::vector<Field> fields;
};

#define FIELD(Type, member, glsl)                                                                                      \
    Field {                                                                                                            \
        glsl, offsetof(Type, member)                                                                                   \
    }
#define ARRAY(Type, member, glsl)                                                                                      \
    Field {                                                                                                            \
        glsl, offsetof(Type, member), sizeof(std::declval<Type>().member[0]), std::extent_v<decltype(Type::member)>    \
    }

// The C++ side of every block shared with the shaders, by the GLSL names. Blocks the shaders read as packed vec4
// arrays (biomes, emitters, layer bounds) are matched by the byte range the array covers.
std::vector<SharedBlock> sharedBlocks() {
    return {
        {"CameraBlock",
         sizeof(CameraBlock),
         {FIELD(CameraBlock, viewProjection, "viewProjection"), FIELD(CameraBlock, eye, "eye"),
          FIELD(CameraBlock, pad0, "cameraPad0"), FIELD(CameraBlock, direction, "viewDirection"),
          FIELD(CameraBlock, pad1, "cameraPad1"), FIELD(CameraBlock, nearPlane, "nearPlane"),
          FIELD(CameraBlock, farPlane, "farPlane")}},
        {"ModelBlock", sizeof(ObjectBlock), {FIELD(ObjectBlock, model, "model")}},
        {"BodyBlock",
         sizeof(AstroObjectBlock),
         {FIELD(AstroObjectBlock, position, "position"), FIELD(AstroObjectBlock, radius, "radius")}},
        {"StarLight",
         sizeof(StarLight),
         {FIELD(StarLight, color, "color"), FIELD(StarLight, intensity, "intensity"),
          FIELD(StarLight, position, "position")}},
        {"ShadowData",
         sizeof(ShadowBlock),
         {FIELD(ShadowBlock, starPosition, "starPosition"), FIELD(ShadowBlock, starRadius, "starRadius"),
          FIELD(ShadowBlock, occluderCount, "occluderCount"), ARRAY(ShadowBlock, occluders, "occluders")}},
        {"AtmosphereBlock",
         sizeof(AtmosphereBlock),
         {FIELD(AtmosphereBlock, rayleigh, "rayleigh"), FIELD(AtmosphereBlock, radius, "radius"),
          FIELD(AtmosphereBlock, mie, "mie"), FIELD(AtmosphereBlock, mieG, "mieG"),
          FIELD(AtmosphereBlock, densityFalloff, "densityFalloff"),
          FIELD(AtmosphereBlock, rayleighFactor, "rayleighFactor")}},
        {"TessellationBlock",
         sizeof(TessellationBlock),
         {FIELD(TessellationBlock, distance, "distance"), FIELD(TessellationBlock, factor, "factor"),
          FIELD(TessellationBlock, maxSubdivision, "maxSubdivision"),
          FIELD(TessellationBlock, minSubdivision, "minSubdivision"),
          FIELD(TessellationBlock, pixelsPerEdge, "pixelsPerEdge"),
          FIELD(TessellationBlock, viewportHeight, "viewportHeight"), FIELD(TessellationBlock, heightLow, "heightLow"),
          FIELD(TessellationBlock, heightHigh, "heightHigh")}},
        {"SurfaceBlock", sizeof(SurfaceBlock), {FIELD(SurfaceBlock, elevationScale, "elevationScale")}},
        {"BiomeBlock",
         sizeof(BiomeBlock),
         {Field{"data", offsetof(BiomeBlock, biomes), 16, sizeof(BiomeBlock::biomes) / 16}}},
        {"NoiseLayer",
         sizeof(GeneratorLayer),
         {FIELD(GeneratorLayer, offset, "offset"), FIELD(GeneratorLayer, baseFrequency, "baseFrequency"),
          FIELD(GeneratorLayer, baseAmplitude, "baseAmplitude"), FIELD(GeneratorLayer, octaves, "octaves"),
          FIELD(GeneratorLayer, lacunarity, "lacunarity"), FIELD(GeneratorLayer, persistence, "persistence"),
          FIELD(GeneratorLayer, noiseType, "noiseType"), FIELD(GeneratorLayer, weight, "weight"),
          FIELD(GeneratorLayer, rangeAmplitude, "rangeAmplitude"),
          FIELD(GeneratorLayer, maskElevation, "maskElevation"), FIELD(GeneratorLayer, padding, "padding")}},
        {"GeneratorSettings", sizeof(GeneratorSettings), {ARRAY(GeneratorSettings, layers, "layers")}},
        {"Band",
         sizeof(FluidBand),
         {FIELD(FluidBand, color, "color"), FIELD(FluidBand, width, "width"),
          FIELD(FluidBand, colorRelaxation, "colorRelaxation"), FIELD(FluidBand, latitude, "latitude"),
          FIELD(FluidBand, unused, "unused")}},
        {"Storm",
         sizeof(FluidStorm),
         {FIELD(FluidStorm, color, "color"), FIELD(FluidStorm, colorRelaxation, "colorRelaxation"),
          FIELD(FluidStorm, centerX, "center"), FIELD(FluidStorm, spin, "spin"), FIELD(FluidStorm, radius, "radius")}},
        {"SimulationBlock",
         sizeof(FluidSimulationBlock),
         {FIELD(FluidSimulationBlock, width, "width"), FIELD(FluidSimulationBlock, height, "height"),
          FIELD(FluidSimulationBlock, cellCount, "cellCount"),
          FIELD(FluidSimulationBlock, vorticityConfinement, "vorticityConfinement"),
          FIELD(FluidSimulationBlock, stormWind, "stormWind"),
          FIELD(FluidSimulationBlock, jetRelaxation, "jetRelaxation"),
          FIELD(FluidSimulationBlock, bandCount, "bandCount"), FIELD(FluidSimulationBlock, stormCount, "stormCount"),
          ARRAY(FluidSimulationBlock, bands, "bands"), ARRAY(FluidSimulationBlock, storms, "storms")}},
        {"CraftLight",
         sizeof(CraftLightEntry),
         {FIELD(CraftLightEntry, position, "position"), FIELD(CraftLightEntry, padding, "padding"),
          FIELD(CraftLightEntry, p0, "p0"), FIELD(CraftLightEntry, p1, "p1"), FIELD(CraftLightEntry, p2, "p2"),
          FIELD(CraftLightEntry, intensity, "intensity")}},
        {"CraftLightsBlock",
         sizeof(CraftLightsBlock),
         {FIELD(CraftLightsBlock, starColor, "starColor"), FIELD(CraftLightsBlock, starIntensity, "starIntensity"),
          FIELD(CraftLightsBlock, starPosition, "starPosition"), FIELD(CraftLightsBlock, lightCount, "lightCount"),
          ARRAY(CraftLightsBlock, lights, "lights")}},
        {"ParticleSettings",
         sizeof(ParticleSettingsBlock),
         {Field{"emitters", offsetof(ParticleSettingsBlock, emitters), 16,
                sizeof(ParticleSettingsBlock::emitters) / 16},
          FIELD(ParticleSettingsBlock, attractorPosition, "attractorPosition"),
          FIELD(ParticleSettingsBlock, attractorStrength, "attractorStrength"),
          FIELD(ParticleSettingsBlock, emitterCount, "emitterCount"),
          FIELD(ParticleSettingsBlock, maxParticles, "maxParticles"),
          FIELD(ParticleSettingsBlock, timeStep, "timeStep")}},
        // Read as 16 vec4 words and a last pair: the count pair and 31 bounds, then bound 31.
        {"LayerBlock",
         sizeof(LayerBlock),
         {Field{"words", offsetof(LayerBlock, layerCount), 16, 16},
          Field{"last", offsetof(LayerBlock, bounds) + (MaxLayers - 1) * sizeof(LayerBlock::bounds[0])}}},
        {"EmissionRequest",
         sizeof(EmissionRequest),
         {FIELD(EmissionRequest, emitter, "emitter"), FIELD(EmissionRequest, count, "count"),
          FIELD(EmissionRequest, seed, "seed"), FIELD(EmissionRequest, zero, "zero")}},
        {"BloomParameters",
         sizeof(BloomParameters),
         {FIELD(BloomParameters, size, "size"), FIELD(BloomParameters, sourceLevel, "sourceLevel"),
          FIELD(BloomParameters, threshold, "threshold"), FIELD(BloomParameters, knee, "knee"),
          FIELD(BloomParameters, strength, "strength"), FIELD(BloomParameters, levelWeight, "levelWeight"),
          FIELD(BloomParameters, padding, "padding"), FIELD(BloomParameters, coverage, "coverage")}},
        {"PostProcessBlock",
         sizeof(PostProcessBlock),
         {FIELD(PostProcessBlock, exposure, "exposure"), FIELD(PostProcessBlock, exposureBias, "exposureBias"),
          FIELD(PostProcessBlock, bloomThreshold, "bloomThreshold"), FIELD(PostProcessBlock, bloomKnee, "bloomKnee"),
          FIELD(PostProcessBlock, bloomStrength, "bloomStrength"), FIELD(PostProcessBlock, bloomWeight, "bloomWeight"),
          FIELD(PostProcessBlock, bloomCoverage, "bloomCoverage")}},
        {"SkyViewParameters",
         sizeof(SkyViewParameters),
         {FIELD(SkyViewParameters, size, "size"), FIELD(SkyViewParameters, coefficientScale, "coefficientScale"),
          FIELD(SkyViewParameters, corona, "corona")}},
        {"Transform",
         sizeof(UiPushConstants),
         {FIELD(UiPushConstants, scale, "scale"), FIELD(UiPushConstants, translate, "translate")}},
    };
}

} // namespace

// Every shader that declares a shared block or struct declares members the C++ type has, at the C++ offsets,
// arrays at the C++ element size and count, all within the C++ size; every C++ field is read by some shader.
TEST(ShaderBlockLayout, EverySharedBlockMatchesItsCxxTypeInEveryCompiledShader) {
    // GLSL push constant blocks whose names clash with C++ names are named by the block, e.g. "Request".
    std::map<std::string, std::string> glslNames = {{"EmissionRequest", "Request"}};
    std::vector<SharedBlock> blocks = sharedBlocks();
    std::map<std::string, std::set<std::string>> seen; // fields found, by block
    int modules = 0;
    for (const auto& entry : fs::directory_iterator(KESTRUNE_LAYOUT_SHADER_DIR)) {
        std::map<std::string, SpirvStruct> structs = spirvStructs(readWords(entry.path()));
        ++modules;
        const std::string file = entry.path().filename().string();
        for (const SharedBlock& block : blocks) {
            std::string name = glslNames.count(block.glsl) ? glslNames[block.glsl] : block.glsl;
            auto found = structs.find(name);
            if (found == structs.end())
                continue;
            const SpirvStruct& s = found->second;
            EXPECT_LE(s.size, block.size) << file << ": " << name << " reads past the end of the C++ type";
            for (const auto& [member, m] : s.members) {
                auto field = std::find_if(block.fields.begin(), block.fields.end(),
                                          [&](const Field& f) { return member == f.glsl; });
                if (field == block.fields.end()) {
                    ADD_FAILURE() << file << ": " << name << "." << member << " has no C++ field";
                    continue;
                }
                seen[block.glsl].insert(member);
                EXPECT_EQ(m.offset, field->offset) << file << ": " << name << "." << member;
                EXPECT_EQ(m.arrayStride, field->stride) << file << ": " << name << "." << member << " element size";
                EXPECT_EQ(m.arrayLength, field->length) << file << ": " << name << "." << member << " length";
            }
        }
    }
    ASSERT_GT(modules, 40) << KESTRUNE_LAYOUT_SHADER_DIR;
    for (const SharedBlock& block : blocks)
        for (const Field& f : block.fields)
            EXPECT_TRUE(seen[block.glsl].count(f.glsl)) << block.glsl << "." << f.glsl << " is in no shader";
}

// A file that is not a SPIR-V module gives no layout rather than one read from the wrong words.
TEST(ShaderBlockLayout, ForeignFilesGiveNoLayout) {
    std::vector<uint32_t> words = readWords(fs::path(KESTRUNE_LAYOUT_SHADER_DIR) / "planet_solid_PS_Main.spv");
    ASSERT_FALSE(spirvStructs(words).empty());
    words[0] = 0;
    EXPECT_TRUE(spirvStructs(words).empty());
    EXPECT_TRUE(spirvStructs({}).empty());
}
