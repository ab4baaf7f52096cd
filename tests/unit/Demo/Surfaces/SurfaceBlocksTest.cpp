#include "Demo/Astro/AstroCreateInfo.h"
#include "Demo/Scene/CameraMath.h"
#include "Demo/Surfaces/AstroSurface.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/PlanetGenerator.h"
#include "Demo/Surfaces/PlanetSurface.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <string>
#include <utility>
#include <vector>

using namespace Demo;

// The conversions from the editable create infos into the blocks the shaders read (the layouts themselves are
// held against the compiled shaders by the block layout test): each value lands in its own field, and unused
// generator layers and biomes read as "nothing" to the shaders.
TEST(SurfaceBlocks, CreateInfosConvertFieldByFieldAndDefaultsReadAsUnused) {
    NoiseLayer in;
    in.offset[2] = -2.5f;
    in.baseFrequency = 3.0f;
    in.baseAmplitude = -0.75f;
    in.octaves = 7;
    in.lacunarity = 2.25f;
    in.persistence = 0.4f;
    in.noiseType = WORLEY;
    in.weight = 6.0f;
    in.rangeAmplitude[1] = 0.3f;
    in.maskElevation[0] = 0.05f;
    GeneratorLayer layer = toGeneratorLayer(in);
    EXPECT_EQ(layer.offset[2], -2.5f);
    EXPECT_EQ(layer.baseFrequency, 3.0f);
    EXPECT_EQ(layer.baseAmplitude, -0.75f);
    EXPECT_EQ(layer.octaves, 7);
    EXPECT_EQ(layer.lacunarity, 2.25f);
    EXPECT_EQ(layer.persistence, 0.4f);
    EXPECT_EQ(layer.noiseType, uint32_t(WORLEY));
    EXPECT_EQ(layer.weight, 6.0f);
    EXPECT_EQ(layer.rangeAmplitude[1], 0.3f);
    EXPECT_EQ(layer.maskElevation[0], 0.05f);
    GeneratorLayer unused = GeneratorSettings{}.layers[7];
    EXPECT_EQ(unused.noiseType, uint32_t(NONE));
    EXPECT_EQ(unused.weight, 0.0f);
    EXPECT_EQ(unused.rangeAmplitude[0], -1.0f);
    EXPECT_EQ(unused.maskElevation[1], 1.0f);

    Biome biome;
    biome.heightMax = 0.25f;
    biome.slopeMin = 0.1f;
    biome.color[2] = 0.3f;
    biome.roughness = 0.8f;
    BiomeEntry entry = toBiomeEntry(biome);
    EXPECT_EQ(entry.heightRange[1], 0.25f);
    EXPECT_EQ(entry.slopeRange[0], 0.1f);
    EXPECT_EQ(entry.color[2], 0.3f);
    EXPECT_EQ(entry.roughness, 0.8f);

    AtmosphereCreateInfo info;
    info.radius = 4.0f;
    info.rayleigh[2] = 1.0f;
    info.mieG = 0.85f;
    info.rayleighFactor = 1.5f;
    AtmosphereBlock block = toAtmosphereBlock(info);
    EXPECT_EQ(block.rayleigh[2], 1.0f);
    EXPECT_EQ(block.radius, 4.0f);
    EXPECT_EQ(block.mieG, 0.85f);
    EXPECT_EQ(block.rayleighFactor, 1.5f);

    EXPECT_FLOAT_EQ(tessellationDistance(15.0f, 4.0f), 480.0f);
    ShadowBlock shadow = computeShadowBlock({1, 2, 3}, 7.0, {1000, 0, 0}, 1.0,
                                            {{{500, 0, 0}, 10.0, 2, false}, {{600, 0, 0}, 20.0, 3, false}});
    EXPECT_EQ(shadow.starPosition[2], 3.0f);
    EXPECT_EQ(shadow.starRadius, 7.0f);
    EXPECT_EQ(shadow.occluderCount, 2u);
    EXPECT_EQ(shadow.occluders[0][0], 500.0f);
    EXPECT_EQ(shadow.occluders[1][0], 600.0f);
    EXPECT_EQ(shadow.occluders[1][3], 20.0f);
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

namespace {

using V3 = std::array<float, 3>;

float dot3(const V3& a, const V3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
V3 unit(const V3& v) {
    float n = std::sqrt(dot3(v, v));
    return {v[0] / n, v[1] / n, v[2] / n};
}
V3 transform(const float m[16], const V3& v, float w) {
    return {m[0] * v[0] + m[4] * v[1] + m[8] * v[2] + m[12] * w, m[1] * v[0] + m[5] * v[1] + m[9] * v[2] + m[13] * w,
            m[2] * v[0] + m[6] * v[1] + m[10] * v[2] + m[14] * w};
}

// The control shader's per-patch test (planet_solid_HS_Main.tesc, patchHidden) in float, as the GPU evaluates it.
bool shaderPatchHidden(const V3& a, const V3& b, const V3& c, const PatchCullInputs& in) {
    float low = 1.0f + in.elevationScale * std::max(in.heightLow, in.liquid);
    float high = 1.0f + in.elevationScale * std::max(in.heightHigh, in.liquid);
    float rMin = in.radius * std::max(std::min(low, high), 0.0f), rMax = in.radius * std::max(low, high);
    V3 axis = unit({a[0] + b[0] + c[0], a[1] + b[1] + c[1], a[2] + b[2] + c[2]});
    float cosSpread = std::min({dot3(axis, a), dot3(axis, b), dot3(axis, c)});
    V3 centre = transform(in.model, {0, 0, 0}, 1.0f);
    V3 toEye = {in.eye[0] - centre[0], in.eye[1] - centre[1], in.eye[2] - centre[2]};
    float eyeDist = std::sqrt(dot3(toEye, toEye));
    auto acosc = [](float x) { return std::acos(std::clamp(x, -1.0f, 1.0f)); };
    if (eyeDist > rMax * 1.0001f && rMin > 0.0f) {
        float reach = acosc(rMin / eyeDist) + acosc(rMin / rMax) + acosc(cosSpread);
        V3 dir = unit(transform(in.model, axis, 0.0f));
        float eyeAngle = acosc(dot3(dir, {toEye[0] / eyeDist, toEye[1] / eyeDist, toEye[2] / eyeDist}));
        if (reach < 3.14159f && eyeAngle > reach)
            return true;
    }
    float sinSpread2 = 2.0f * (1.0f - cosSpread);
    float bound =
        std::sqrt(std::max(rMax * rMax * sinSpread2, rMin * rMin + rMax * rMax - 2.0f * rMin * rMax * cosSpread));
    V3 world = transform(in.model, {axis[0] * rMax, axis[1] * rMax, axis[2] * rMax}, 1.0f);
    const float* m = in.viewProjection;
    for (int p = 0; p < 4; ++p) {
        float sign = p % 2 == 0 ? 1.0f : -1.0f;
        int r = p / 2;
        float plane[4];
        for (int k = 0; k < 4; ++k)
            plane[k] = m[k * 4 + 3] + sign * m[k * 4 + r];
        float n = std::sqrt(plane[0] * plane[0] + plane[1] * plane[1] + plane[2] * plane[2]);
        if (n > 0.0f &&
            plane[0] * world[0] + plane[1] * world[1] + plane[2] * world[2] + plane[3] < -bound * n * 1.0001f)
            return true;
    }
    return false;
}

// Earth's size and distance from the origin (world units), turned, with relief and an ocean.
PatchCullInputs cullView(const Vec3d& eyeOffset, const Vec3d& lookOffset) {
    const Vec3d centre{2480.0, 35.0, -390.0};
    PatchCullInputs in;
    Mat4d model = Mat4d::translate(centre) * Mat4d::rotation(Quatd::fromEuler({0.3, 1.1, -0.4}));
    for (int k = 0; k < 16; ++k)
        in.model[k] = float(model.m[k]);
    in.radius = 15.0f;
    in.elevationScale = 0.05f;
    in.heightLow = -0.8f;
    in.heightHigh = 1.3f;
    in.liquid = 0.1f;
    Vec3d eye = centre + eyeOffset, look = eye + lookOffset;
    Vec3f eyeF{float(eye.x), float(eye.y), float(eye.z)}, lookF{float(look.x), float(look.y), float(look.z)};
    Vec3f d{float(lookOffset.x), float(lookOffset.y), float(lookOffset.z)};
    Mat4f vp = perspective(60.0f, 16.0f / 9.0f, 0.1f, 20000.0f) * lookAt(eyeF, lookF, viewUpFor(d));
    std::copy(std::begin(vp.m), std::end(vp.m), in.viewProjection);
    in.eye[0] = eyeF.x, in.eye[1] = eyeF.y, in.eye[2] = eyeF.z;
    return in;
}

} // namespace

// The clusters culled on the CPU are the descendants of one triangle: small caps that hold their patches.
TEST(PlanetPatches, ClusterCapsHoldTheirPatches) {
    for (uint32_t subdivisions : {1u, 3u, 5u}) {
        IcoSphereBuilder ico(subdivisions);
        const uint32_t per = patchesPerCluster(subdivisions), patches = uint32_t(ico.triangles.size() / 3);
        std::vector<TriangleCluster> clusters = clusterTriangles(ico.unitVertices, ico.triangles, per);
        ASSERT_EQ(clusters.size(), patches / per) << subdivisions;
        double widest = 0.0;
        for (uint32_t t = 0; t < patches; ++t) {
            const TriangleCluster& c = clusters[t / per];
            double spread = c.centreSpread + c.triangleSpread;
            widest = std::max(widest, spread);
            for (int k = 0; k < 3; ++k) {
                const float* v = &ico.unitVertices[ico.triangles[t * 3 + k] * 3];
                double cosine = c.axis[0] * v[0] + c.axis[1] * v[1] + c.axis[2] * v[2];
                ASSERT_GE(cosine, std::cos(spread) - 1e-7) << subdivisions << " patch " << t;
            }
        }
        // Compact: within twice the angular radius of a cap as large as a cluster's share of the sphere (4 pi / N
        // = pi r^2), where a cluster of scattered triangles would span the sphere.
        EXPECT_LT(widest, 4.0 / std::sqrt(double(clusters.size()))) << subdivisions;
    }
}

// Views of Earth: (1) from just above the night side looking down at the ground, (2) the same place looking
// away, (3) from four radii, (4) random views. A skipped cluster holds only patches the shader hides itself.
TEST(PlanetPatches, ClusterCullSkipsOnlyPatchesTheShaderHides) {
    IcoSphereBuilder ico(5);
    const uint32_t per = patchesPerCluster(5), patches = uint32_t(ico.triangles.size() / 3);
    std::vector<TriangleCluster> clusters = clusterTriangles(ico.unitVertices, ico.triangles, per);
    auto corner = [&](uint32_t t, int k) {
        const float* v = &ico.unitVertices[ico.triangles[t * 3 + k] * 3];
        return unit({v[0], v[1], v[2]});
    };
    // Patches skipped; each must be one the shader hides.
    auto check = [&](const PatchCullInputs& in, const std::string& name) {
        ClusterCull cull(in);
        uint32_t skipped = 0;
        for (uint32_t c = 0; c < clusters.size(); ++c) {
            if (!cull.hidden(clusters[c]))
                continue;
            skipped += per;
            for (uint32_t t = c * per; t < (c + 1) * per; ++t)
                EXPECT_TRUE(shaderPatchHidden(corner(t, 0), corner(t, 1), corner(t, 2), in))
                    << name << ": patch " << t << " of skipped cluster " << c;
        }
        return skipped;
    };
    const Vec3d up = normalize(Vec3d{0.3, -0.5, 0.8});
    PatchCullInputs belowView = cullView(up * 19.5, up * -1.0);
    EXPECT_GT(check(belowView, "below"), patches * 4 / 5);
    // The cluster straight under the eye is drawn.
    const TriangleCluster* under = &clusters[0];
    auto upness = [&](const TriangleCluster& c) {
        V3 dir = transform(belowView.model, {float(c.axis[0]), float(c.axis[1]), float(c.axis[2])}, 0.0f);
        return dot3(dir, {float(up.x), float(up.y), float(up.z)});
    };
    for (const TriangleCluster& c : clusters)
        under = upness(c) > upness(*under) ? &c : under;
    EXPECT_FALSE(ClusterCull(belowView).hidden(*under));
    EXPECT_EQ(check(cullView(up * 19.5, up), "away"), patches);
    uint32_t far = check(cullView(up * 60.0, up * -1.0), "far");
    EXPECT_GT(far, patches * 7 / 20);
    EXPECT_LT(far, patches * 3 / 5);

    std::mt19937 random(7);
    std::uniform_real_distribution<double> unitRange(-1.0, 1.0), height(15.9, 150.0);
    uint32_t skipped = 0;
    for (int view = 0; view < 12; ++view) {
        Vec3d at = normalize(Vec3d{unitRange(random), unitRange(random), unitRange(random)});
        Vec3d look = normalize(Vec3d{unitRange(random), unitRange(random), unitRange(random)} - at);
        skipped += check(cullView(at * height(random), look), "random " + std::to_string(view));
    }
    EXPECT_GT(skipped, patches * 12 / 4);
}

// Draws of the kept clusters' patches: adjacent kept clusters share draws, none longer than the limit; patches past
// the last cluster are drawn.
TEST(PlanetPatches, KeptClustersMergeIntoDrawsWithinTheLimit) {
    struct Case {
        const char* kept; // per cluster of 16 patches: K kept, H hidden
        uint32_t patchCount;
        std::vector<std::pair<uint32_t, uint32_t>> runs; // first, count
    } cases[] = {
        {"KKKK", 64, {{0, 20}, {20, 20}, {40, 20}, {60, 4}}},
        {"KHKK", 64, {{0, 16}, {32, 20}, {52, 12}}},
        {"HHHH", 64, {}},
        {"HK", 40, {{16, 20}, {36, 4}}},
        {"KKH", 40, {{0, 20}, {20, 12}}},
    };
    std::vector<PatchRun> runs;
    for (const Case& c : cases) {
        std::string kept = c.kept;
        visiblePatchRuns(
            uint32_t(kept.size()), 16, c.patchCount, 20, [&](uint32_t k) { return kept[k] == 'H'; }, runs);
        std::vector<std::pair<uint32_t, uint32_t>> got;
        for (const PatchRun& r : runs)
            got.push_back({r.first, r.count});
        EXPECT_EQ(got, c.runs) << kept;
    }
}
