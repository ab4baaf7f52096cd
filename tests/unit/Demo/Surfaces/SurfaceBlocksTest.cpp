#include "Demo/Astro/AstroCreateInfo.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Surfaces/AstroSurface.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/PlanetGenerator.h"
#include "Demo/Surfaces/PlanetSurface.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

using namespace Demo;

namespace {

// Reads a value at the byte offset a shader reads it from.
template <class T, class Block> T at(const Block& block, size_t offset) {
    T value;
    std::memcpy(&value, reinterpret_cast<const uint8_t*>(&block) + offset, sizeof(T));
    return value;
}

} // namespace

TEST(SurfaceBlocks, GeneratorLayersLandAtTheShaderOffsetsAndDefaultToUnused) {
    NoiseLayer in;
    in.offset[0] = 1.5f;
    in.offset[2] = -2.5f;
    in.baseFrequency = 3.0f;
    in.baseAmplitude = -0.75f;
    in.octaves = 7;
    in.lacunarity = 2.25f;
    in.persistence = 0.4f;
    in.noiseType = WORLEY;
    in.weight = 6.0f;
    in.rangeAmplitude[0] = -0.2f;
    in.rangeAmplitude[1] = 0.3f;
    in.maskElevation[0] = 0.05f;
    in.maskElevation[1] = 0.9f;

    GeneratorSettings settings;
    settings.layers[3] = toGeneratorLayer(in);
    const size_t base = 3 * 64;
    EXPECT_EQ(sizeof(settings), 512u);
    EXPECT_EQ(at<float>(settings, base + 0), 1.5f);
    EXPECT_EQ(at<float>(settings, base + 8), -2.5f);
    EXPECT_EQ(at<float>(settings, base + 12), 3.0f);
    EXPECT_EQ(at<float>(settings, base + 16), -0.75f);
    EXPECT_EQ(at<int32_t>(settings, base + 20), 7);
    EXPECT_EQ(at<float>(settings, base + 24), 2.25f);
    EXPECT_EQ(at<float>(settings, base + 28), 0.4f);
    EXPECT_EQ(at<uint32_t>(settings, base + 32), uint32_t(WORLEY));
    EXPECT_EQ(at<float>(settings, base + 36), 6.0f);
    EXPECT_EQ(at<float>(settings, base + 40), -0.2f);
    EXPECT_EQ(at<float>(settings, base + 44), 0.3f);
    EXPECT_EQ(at<float>(settings, base + 48), 0.05f);
    EXPECT_EQ(at<float>(settings, base + 52), 0.9f);

    // Untouched layers: NONE, weight 0, zero parameters, range and mask (-1, 1).
    for (int k : {0, 7}) {
        size_t b = size_t(k) * 64;
        EXPECT_EQ(at<uint32_t>(settings, b + 32), uint32_t(NONE));
        EXPECT_EQ(at<float>(settings, b + 36), 0.0f);
        EXPECT_EQ(at<float>(settings, b + 12), 0.0f);
        EXPECT_EQ(at<float>(settings, b + 40), -1.0f);
        EXPECT_EQ(at<float>(settings, b + 52), 1.0f);
    }
}

TEST(SurfaceBlocks, BiomeTessellationSurfaceAndShadowBlocksMatchTheShaderLayout) {
    Biome biome;
    biome.heightMin = -0.5f;
    biome.heightMax = 0.25f;
    biome.slopeMin = 0.1f;
    biome.slopeMax = 0.6f;
    biome.color[0] = 0.1f;
    biome.color[1] = 0.2f;
    biome.color[2] = 0.3f;
    biome.metallic = 0.7f;
    biome.roughness = 0.8f;
    BiomeBlock biomes;
    biomes.biomes[5] = toBiomeEntry(biome);
    const size_t b = 5 * 48;
    EXPECT_EQ(sizeof(biomes), 384u);
    EXPECT_EQ(at<float>(biomes, b + 0), -0.5f);
    EXPECT_EQ(at<float>(biomes, b + 4), 0.25f);
    EXPECT_EQ(at<float>(biomes, b + 8), 0.1f);
    EXPECT_EQ(at<float>(biomes, b + 12), 0.6f);
    EXPECT_EQ(at<float>(biomes, b + 16), 0.1f);
    EXPECT_EQ(at<float>(biomes, b + 24), 0.3f);
    EXPECT_EQ(at<float>(biomes, b + 32), 0.7f);
    EXPECT_EQ(at<float>(biomes, b + 36), 0.8f);
    // Defaults: heights (-1, 1), slopes (0, 1), grey, metallic and roughness 0.2.
    EXPECT_EQ(at<float>(biomes, 0), -1.0f);
    EXPECT_EQ(at<float>(biomes, 12), 1.0f);
    EXPECT_EQ(at<float>(biomes, 20), 0.5f);
    EXPECT_EQ(at<float>(biomes, 36), 0.2f);

    TessellationBlock tessellation;
    EXPECT_EQ(sizeof(tessellation), 32u);
    EXPECT_EQ(at<float>(tessellation, 4), 1.0f);  // factor
    EXPECT_EQ(at<float>(tessellation, 8), 64.0f); // maximum subdivision
    EXPECT_EQ(at<float>(tessellation, 12), 1.0f); // minimum subdivision
    EXPECT_FLOAT_EQ(tessellationDistance(15.0f, 4.0f), 480.0f);

    SurfaceBlock surface;
    EXPECT_EQ(sizeof(surface), 16u);
    EXPECT_EQ(at<float>(surface, 0), 0.1f);

    ShadowBlock shadow = computeShadowBlock({1, 2, 3}, 7.0, {1000, 0, 0}, 1.0,
                                            {{{500, 0, 0}, 10.0, 2, false}, {{600, 0, 0}, 20.0, 3, false}});
    EXPECT_EQ(sizeof(shadow), 288u);
    EXPECT_EQ(at<float>(shadow, 8), 3.0f);
    EXPECT_EQ(at<float>(shadow, 12), 7.0f);
    EXPECT_EQ(at<uint32_t>(shadow, 16), 2u);
    EXPECT_EQ(at<float>(shadow, 32), 500.0f);
    EXPECT_EQ(at<float>(shadow, 48), 600.0f);
    EXPECT_EQ(at<float>(shadow, 60), 20.0f);
}

TEST(SurfaceBlocks, AtmosphereBlockTakesTheCreateInfoOrderIntoTheShaderLayout) {
    AtmosphereCreateInfo info;
    info.radius = 4.0f;
    info.rayleigh[0] = 0.15f;
    info.rayleigh[1] = 0.45f;
    info.rayleigh[2] = 1.0f;
    info.mie = 0.01f;
    info.mieG = 0.85f;
    info.densityFalloff = 5.0f;
    info.rayleighFactor = 1.5f;
    AtmosphereBlock block = toAtmosphereBlock(info);
    EXPECT_EQ(sizeof(block), 32u);
    EXPECT_EQ(at<float>(block, 0), 0.15f);
    EXPECT_EQ(at<float>(block, 8), 1.0f);
    EXPECT_EQ(at<float>(block, 12), 4.0f);
    EXPECT_EQ(at<float>(block, 16), 0.01f);
    EXPECT_EQ(at<float>(block, 20), 0.85f);
    EXPECT_EQ(at<float>(block, 24), 5.0f);
    EXPECT_EQ(at<float>(block, 28), 1.5f);
}

TEST(SurfaceBlocks, HeightBoundsAndPipelineTypesCountOnlyLayersThatAddSomething) {
    GeneratorSettings settings;
    EXPECT_EQ(heightBounds(settings).low, 0.0f);
    EXPECT_EQ(heightBounds(settings).high, 0.0f);

    settings.layers[0].noiseType = FBM;
    settings.layers[0].weight = 2.0f;
    settings.layers[0].rangeAmplitude[0] = -0.3f;
    settings.layers[0].rangeAmplitude[1] = 0.2f;
    settings.layers[2].noiseType = WORLEY;
    settings.layers[2].weight = 1.0f;
    settings.layers[2].rangeAmplitude[0] = 0.1f; // entirely positive: it never lowers the height
    settings.layers[2].rangeAmplitude[1] = 0.4f;
    settings.layers[4].noiseType = VORONOI; // weight 0: adds nothing
    settings.layers[5].noiseType = 42;      // not a noise type
    settings.layers[5].weight = 1.0f;
    HeightBounds bounds = heightBounds(settings);
    EXPECT_FLOAT_EQ(bounds.low, -0.6f);
    EXPECT_FLOAT_EQ(bounds.high, 0.8f);

    LayerTypes types = effectiveLayerTypes(settings);
    const uint32_t expected[8] = {FBM, NONE, WORLEY, NONE, NONE, NONE, NONE, NONE};
    for (int k = 0; k < 8; ++k)
        EXPECT_EQ(types.types[k], expected[k]) << k;

    DispatchSize groups = generatorDispatch(2048.0f, 2048.0f);
    EXPECT_EQ(groups.x, 256u);
    EXPECT_EQ(groups.y, 256u);
    EXPECT_EQ(groups.z, 6u);
}

TEST(GenerationSchedule, RegenerationsRunAtOnceAndFirstGenerationsShareTheBandBudgetNearestFirst) {
    int a = 0, b = 0, c = 0, d = 0;
    std::vector<GenerationRequest> requests = {
        {&a, 500.0, 12}, // far, nothing generated yet
        {&b, 50.0, 3},   // near, three bands left
        {&c, 900.0, 0},  // a regeneration: whole map whatever its distance
        {&d, 100.0, 12},
    };
    std::vector<GenerationGrant> grants = chooseGenerations(requests, 5);
    ASSERT_EQ(grants.size(), 3u);
    EXPECT_EQ(grants[0].surface, &b);
    EXPECT_EQ(grants[0].bands, 3u);
    EXPECT_EQ(grants[1].surface, &d);
    EXPECT_EQ(grants[1].bands, 2u);
    EXPECT_EQ(grants[2].surface, &c);
    EXPECT_TRUE(grants[2].wholeMap);
    EXPECT_FALSE(grants[0].wholeMap);

    // No budget: only regenerations. Equal distances keep the request order.
    grants = chooseGenerations(requests, 0);
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].surface, &c);
    grants = chooseGenerations({{&a, 10.0, 12}, {&b, 10.0, 12}}, 12);
    ASSERT_EQ(grants.size(), 1u);
    EXPECT_EQ(grants[0].surface, &a);
}

TEST(PlanetLevelOfDetail, FootprintCullsSpheresOutsideTheViewAndMeasuresTheRestInPixels) {
    // The camera at the origin looking down -z, 60 degrees vertical field of view, 16:9, depth 0.1 to 1000.
    Mat4f projection = perspective(60.0f, 16.0f / 9.0f, 0.1f, 1000.0f);
    Mat4f view = lookAt({0, 0, 0}, {0, 0, -1}, viewUpFor({0, 0, -1}));
    Mat4f vp = projection * view;
    const Vec3d eye{0, 0, 0};

    // Earth (radius 15) three radii away: about 330 pixels of radius at 1080 lines.
    ScreenFootprint f = screenFootprint(vp.m, projection.m[5], 1080.0f, eye, {0, 0, -45}, 15.0);
    EXPECT_TRUE(f.visible);
    EXPECT_NEAR(f.pixelRadius, 15.0 / 45.0 / std::tan(0.5235988) * 540.0, 0.5);

    EXPECT_FALSE(screenFootprint(vp.m, projection.m[5], 1080.0f, eye, {0, 0, 45}, 15.0).visible);     // behind
    EXPECT_FALSE(screenFootprint(vp.m, projection.m[5], 1080.0f, eye, {0, 0, -2000}, 15.0).visible);  // too far
    EXPECT_FALSE(screenFootprint(vp.m, projection.m[5], 1080.0f, eye, {200, 0, -45}, 15.0).visible);  // right
    EXPECT_FALSE(screenFootprint(vp.m, projection.m[5], 1080.0f, eye, {0, -100, -45}, 15.0).visible); // below
    // Its centre outside the view, its rim inside: still drawn.
    EXPECT_TRUE(screenFootprint(vp.m, projection.m[5], 1080.0f, eye, {0, 0, 10}, 15.0).visible);
    double edge = 45.0 * std::tan(0.5235988) * 16.0 / 9.0;
    EXPECT_TRUE(screenFootprint(vp.m, projection.m[5], 1080.0f, eye, {edge + 10.0, 0, -45}, 15.0).visible);
    // The camera inside the sphere: as large as the screen.
    EXPECT_GT(screenFootprint(vp.m, projection.m[5], 1080.0f, eye, {0, 0, -5}, 15.0).pixelRadius, 900.0);

    EXPECT_EQ(sphereSubdivisionsFor(2000.0), 5u);
    EXPECT_EQ(sphereSubdivisionsFor(330.0), 3u);
    EXPECT_EQ(sphereSubdivisionsFor(25.0), 3u);
    EXPECT_EQ(sphereSubdivisionsFor(3.0), 1u);
}

TEST(PlanetPatches, DrawRunsStayWithinSixteenBitPointNumbers) {
    // Level 1: the corners; 2: six ring points and the centre; 3: nine and an inner triangle; 4: 12 + 6 + 1.
    struct Case {
        uint32_t level, points;
    } cases[] = {{0, 3}, {1, 3}, {2, 7}, {3, 12}, {4, 19}, {64, 3169}};
    for (const Case& c : cases)
        EXPECT_EQ(tessellatedPointsBound(c.level), c.points) << "level " << c.level;
    for (uint32_t level : {1u, 7u, 32u, 63u, 64u}) {
        uint32_t run = patchesPerDraw(level);
        EXPECT_LE(run * tessellatedPointsBound(level), 65536u) << "level " << level;
        EXPECT_GT((run + 1) * tessellatedPointsBound(level), 65536u) << "level " << level;
    }
}

TEST(HeightMapSize, FollowsTheBodysSizeOnScreenGrowingAtOnceShrinkingSlowly) {
    // Earth filling a third of a 1080-line screen keeps the full map; a moon some pixels across a small one.
    EXPECT_EQ(heightMapSizeFor(330.0), 2048u);
    EXPECT_EQ(heightMapSizeFor(100.0), 1024u);
    EXPECT_EQ(heightMapSizeFor(20.0), 512u);
    EXPECT_EQ(heightMapSizeFor(2.0), 256u);
    for (double r = 0.5; r < 5000.0; r *= 1.3)
        EXPECT_LE(heightMapSizeFor(r), heightMapSizeFor(r * 1.3));

    uint32_t frames = 0;
    EXPECT_EQ(chooseMapSize(256, 2048, frames), 2048u);
    // Smaller for a while: kept, until the wish has lasted DowngradeFrames frames in a row.
    for (uint32_t k = 1; k < DowngradeFrames; ++k)
        ASSERT_EQ(chooseMapSize(2048, 512, frames), 2048u) << k;
    EXPECT_EQ(chooseMapSize(2048, 512, frames), 512u);
    EXPECT_EQ(frames, 0u);
    // A frame that wants the current size again starts the count over.
    for (uint32_t k = 1; k < DowngradeFrames; ++k)
        chooseMapSize(2048, 512, frames);
    EXPECT_EQ(chooseMapSize(2048, 2048, frames), 2048u);
    EXPECT_EQ(chooseMapSize(2048, 512, frames), 2048u);
}
