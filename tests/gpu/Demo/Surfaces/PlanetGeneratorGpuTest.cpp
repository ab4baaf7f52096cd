#include "GpuFixture.h"

#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/PlanetGenerator.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Engine/Data/DataSet.h"
#include "Engine/Data/DataStorage.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <string>

using namespace Demo;

namespace {

using Faces = std::array<std::vector<float>, 6>;

class PlanetGeneratorGpuTest : public GpuTest {
protected:
    // A small map: the face mapping and the layer arithmetic do not depend on the size.
    static constexpr uint32_t Size = 256;

    static GeneratorLayer layer(uint32_t type, float frequency, int octaves, float lo, float hi, float weight = 1.0f) {
        GeneratorLayer l;
        l.noiseType = type;
        l.baseFrequency = frequency;
        l.baseAmplitude = 1.0f;
        l.octaves = octaves;
        l.lacunarity = 2.0f;
        l.persistence = 0.5f;
        l.weight = weight;
        l.rangeAmplitude[0] = lo;
        l.rangeAmplitude[1] = hi;
        return l;
    }

    static void generate(PlanetGenerator& generator) {
        uniformStorage->beginSlot();
        generator.uploadSettings();
        runOnce([&](CommandContext* c) { generator.generate(c); });
    }

    static Faces read(PlanetGenerator& generator) {
        Faces faces;
        for (uint32_t f = 0; f < 6; ++f) {
            std::vector<uint8_t> bytes = readImage(generator.heightMap->image, Size, Size, 4, f);
            faces[f].resize(Size * Size);
            std::memcpy(faces[f].data(), bytes.data(), bytes.size());
        }
        return faces;
    }

    // Direction of face coordinates (s, t) in [-1, 1], in the cube face order +X, -X, +Y, -Y, +Z, -Z.
    static void direction(uint32_t face, double s, double t, double d[3]) {
        const double table[6][3] = {{1, -t, -s}, {-1, -t, s}, {s, 1, t}, {s, -1, -t}, {s, -t, 1}, {-s, -t, -1}};
        std::copy(table[face], table[face] + 3, d);
    }

    // The sampler's cube face selection (major axis, then s and t) for a direction, as texel indices.
    static void select(const double d[3], uint32_t& face, uint32_t& x, uint32_t& y) {
        double ax = std::fabs(d[0]), ay = std::fabs(d[1]), az = std::fabs(d[2]);
        double sc, tc, ma;
        if (ax >= ay && ax >= az) {
            face = d[0] > 0 ? 0 : 1;
            sc = d[0] > 0 ? -d[2] : d[2];
            tc = -d[1];
            ma = ax;
        } else if (ay >= az) {
            face = d[1] > 0 ? 2 : 3;
            sc = d[0];
            tc = d[1] > 0 ? d[2] : -d[2];
            ma = ay;
        } else {
            face = d[2] > 0 ? 4 : 5;
            sc = d[2] > 0 ? d[0] : -d[0];
            tc = -d[1];
            ma = az;
        }
        double s = 0.5 * (sc / ma + 1.0), t = 0.5 * (tc / ma + 1.0);
        x = std::min(uint32_t(s * Size), Size - 1);
        y = std::min(uint32_t(t * Size), Size - 1);
    }
};

} // namespace

TEST_F(PlanetGeneratorGpuTest, HeightsVaryStayInTheLayersBoundsAndRepeatForEqualSettings) {
    PlanetGenerator generator(services, Size);
    EXPECT_EQ(generator.heightMap->width, Size);
    EXPECT_EQ(generator.heightMap->format, VK_FORMAT_R32_SFLOAT);
    generator.settings.layers[0] = layer(FBM, 1.5f, 6, -0.3f, 0.3f);
    generator.settings.layers[1] = layer(WORLEY, 4.0f, 3, -0.1f, 0.05f, 2.0f);
    generator.settings.layers[2] = layer(GRADIENT, 2.0f, 5, -0.05f, 0.2f);
    generator.settings.layers[2].maskElevation[0] = 0.0f;                        // land only
    generator.settings.layers[3] = layer(VORONOI, 3.0f, 2, -0.08f, 0.02f, 0.0f); // weight 0: adds nothing
    generate(generator);
    EXPECT_EQ(generator.generationCount, 1u);
    Faces first = read(generator);

    HeightBounds bounds = heightBounds(generator.settings);
    float lo = 1e9f, hi = -1e9f;
    for (const auto& face : first)
        for (float h : face) {
            ASSERT_TRUE(std::isfinite(h));
            lo = std::min(lo, h);
            hi = std::max(hi, h);
        }
    EXPECT_GE(lo, bounds.low - 1e-5f);
    EXPECT_LE(hi, bounds.high + 1e-5f);
    EXPECT_GT(hi - lo, 0.25f * (bounds.high - bounds.low)) << "the map is nearly constant";
    EXPECT_LT(lo, 0.0f);
    EXPECT_GT(hi, 0.0f);

    // The same settings again, in the same generator and in a new one: the same bits.
    generate(generator);
    EXPECT_EQ(generator.generationCount, 2u);
    EXPECT_EQ(read(generator), first);
    PlanetGenerator other(services, Size);
    other.settings = generator.settings;
    generate(other);
    EXPECT_EQ(read(other), first);

    // Another layer changes the map.
    other.settings.layers[0].offset[0] = 3.0f;
    generate(other);
    EXPECT_NE(read(other), first);
}

TEST_F(PlanetGeneratorGpuTest, AdjacentFacesAgreeAlongEverySharedEdge) {
    PlanetGenerator generator(services, Size);
    generator.settings.layers[0] = layer(FBM, 2.0f, 4, -1.0f, 1.0f);
    generator.settings.layers[1] = layer(PERLIN, 3.0f, 2, -0.3f, 0.3f);
    generate(generator);
    Faces faces = read(generator);

    // How much neighbouring texels inside a face differ: the scale an edge step may reach.
    float inside = 0.0f;
    for (const auto& face : faces)
        for (uint32_t y = 0; y < Size; ++y)
            for (uint32_t x = 0; x + 1 < Size; ++x)
                inside = std::max(inside, std::fabs(face[y * Size + x + 1] - face[y * Size + x]));
    ASSERT_GT(inside, 0.0f);

    // Step from every border texel across its edge: the texel the sampler picks there holds almost the same
    // height. A face turned or mirrored against the sampler's convention would differ by the full range.
    float worst = 0.0f;
    uint32_t checked = 0;
    for (uint32_t f = 0; f < 6; ++f)
        for (uint32_t k = 0; k < Size; ++k)
            for (int edge = 0; edge < 4; ++edge) {
                uint32_t x = edge == 0 ? 0 : edge == 1 ? Size - 1 : k;
                uint32_t y = edge == 2 ? 0 : edge == 3 ? Size - 1 : k;
                double s = (x + 0.5) / Size * 2.0 - 1.0, t = (y + 0.5) / Size * 2.0 - 1.0;
                const double across = 1.0 / Size; // half a texel beyond the edge
                if (edge == 0)
                    s = -1.0 - across;
                if (edge == 1)
                    s = 1.0 + across;
                if (edge == 2)
                    t = -1.0 - across;
                if (edge == 3)
                    t = 1.0 + across;
                double d[3];
                direction(f, s, t, d);
                uint32_t g, gx, gy;
                select(d, g, gx, gy);
                ASSERT_NE(g, f) << "stepping across an edge of face " << f << " stays on it";
                worst = std::max(worst, std::fabs(faces[f][y * Size + x] - faces[g][gy * Size + gx]));
                ++checked;
            }
    EXPECT_EQ(checked, 6u * 4u * Size);
    EXPECT_LE(worst, 2.0f * inside + 1e-4f) << "texel steps inside a face reach " << inside;

    // Inside a face, the sampler's selection maps every texel centre back to itself.
    for (uint32_t f = 0; f < 6; ++f)
        for (uint32_t k = 0; k < Size; k += 17) {
            double d[3];
            direction(f, (k + 0.5) / Size * 2.0 - 1.0, (Size - 1 - k + 0.5) / Size * 2.0 - 1.0, d);
            uint32_t g, gx, gy;
            select(d, g, gx, gy);
            EXPECT_EQ(g, f);
            EXPECT_EQ(gx, k);
            EXPECT_EQ(gy, Size - 1 - k);
        }
}

TEST_F(PlanetGeneratorGpuTest, AGenerationSpreadOverBandsEqualsOneWholeGeneration) {
    PlanetGenerator whole(services, Size), banded(services, Size);
    whole.settings.layers[0] = layer(CURL, 1.2f, 3, -0.2f, 0.2f);
    whole.settings.layers[1] = layer(SIMPLEX, 4.0f, 2, -0.05f, 0.08f);
    banded.settings = whole.settings;
    generate(whole);

    // Five bands per face recorded over frames of 7, 7, 7, 7 and 2 bands; the map completes with the last.
    uint32_t done = 0;
    for (uint32_t count : {7u, 7u, 7u, 7u, 2u}) {
        EXPECT_EQ(banded.generationCount, 0u);
        uniformStorage->beginSlot();
        banded.uploadSettings();
        runOnce([&](CommandContext* c) { banded.generateBands(c, done, count, 5); });
        done += count;
    }
    EXPECT_EQ(banded.generationCount, 1u);
    EXPECT_EQ(banded.heightMapBinding->view, &banded.heightMap->imageView);
    EXPECT_EQ(read(banded), read(whole));
}

TEST_F(PlanetGeneratorGpuTest, ChangingOneLayerRegeneratesExactlyOnceInTheNextFrame) {
    Scene scene;
    scene.services = services;
    scene.services.scene = &scene;
    FrameInput input;
    FrameContext context{scene.services, input};
    auto* star = new Star("Star", &scene);
    scene.add(star);
    scene.primaryStar = star;
    star->Create();
    auto* planet = new PlanetSolid("Planet", &scene);
    scene.add(planet);
    planet->Create();
    planet->radius = 5.0f;
    auto* surface = dynamic_cast<PlanetSurfaceSolid*>(planet->getSurface());
    ASSERT_NE(surface, nullptr);
    ASSERT_NE(surface->generator, nullptr);
    PlanetGenerator& generator = *surface->generator;
    // Without a camera the map keeps the size every map starts at.
    EXPECT_EQ(generator.mapWidth, float(PlanetGenerator::MinMapSize));
    generator.settings.layers[0] = layer(FBM, 1.0f, 1, -0.2f, 0.2f);

    auto frame = [&] {
        uniformStorage->beginSlot();
        scene.update(context);
        scene.updateUniforms(context);
        runOnce([&](CommandContext* c) {
            for (SceneObject* object : scene.objects)
                object->RecordCompute(context, c);
        });
    };
    uint32_t savedBudget = bodyVisuals.generation.bandsPerFrame;
    bodyVisuals.generation.bandsPerFrame = 6 * PlanetSurface::BandsPerFace;

    // The first frame generates; the surface's data set learns of the cube view and rebuilds once, at its bind.
    EXPECT_EQ(surface->dataSet->buildCount, 1u);
    frame();
    EXPECT_EQ(generator.generationCount, 1u);
    EXPECT_EQ(surface->regenerate, 0);
    EXPECT_EQ(generator.heightMapBinding->view, &generator.heightMap->imageView);
    EXPECT_EQ(surface->dataSet->dirty, 1);
    surface->selectShadowBlock();
    runOnce([&](CommandContext* c) { bindDataSet(c, surface->dataSet); });
    runOnce([&](CommandContext* c) { bindDataSet(c, surface->dataSet); });
    EXPECT_EQ(surface->dataSet->buildCount, 2u);
    frame();
    EXPECT_EQ(generator.generationCount, 1u) << "nothing changed";

    generator.settings.layers[0].baseFrequency = 1.5f;
    frame();
    EXPECT_EQ(generator.generationCount, 2u);
    frame();
    frame();
    EXPECT_EQ(generator.generationCount, 2u);

    // The panel's button: the flag alone.
    surface->regenerate = 1;
    frame();
    EXPECT_EQ(generator.generationCount, 3u);
    EXPECT_EQ(surface->dataSet->buildCount, 2u) << "regenerations keep the same view";

    bodyVisuals.generation.bandsPerFrame = savedBudget;
}

TEST_F(PlanetGeneratorGpuTest, FirstGenerationsAreSpreadOverFramesWithinTheBandBudget) {
    Scene scene;
    scene.services = services;
    scene.services.scene = &scene;
    FrameInput input;
    FrameContext context{scene.services, input};
    auto* star = new Star("Star", &scene);
    scene.add(star);
    scene.primaryStar = star;
    star->Create();
    std::vector<PlanetSurfaceSolid*> surfaces;
    for (int k = 0; k < 2; ++k) {
        auto* planet = new PlanetSolid("Planet " + std::to_string(k), &scene);
        scene.add(planet);
        planet->Create();
        auto* surface = dynamic_cast<PlanetSurfaceSolid*>(planet->getSurface());
        ASSERT_NE(surface, nullptr);
        surface->generator->settings.layers[0] = layer(FBM, 1.0f, 1, -0.2f, 0.2f);
        surfaces.push_back(surface);
    }
    uint32_t savedBudget = bodyVisuals.generation.bandsPerFrame;
    bodyVisuals.generation.bandsPerFrame = 5; // per frame, for both planets together
    const uint32_t bands = 6 * PlanetSurface::BandsPerFace;
    uint32_t frames = 0;
    while (!(surfaces[0]->hasRelief() && surfaces[1]->hasRelief()) && frames < 20) {
        uniformStorage->beginSlot();
        scene.update(context);
        scene.updateUniforms(context);
        uint32_t before = surfaces[0]->bandsLeft() + surfaces[1]->bandsLeft();
        runOnce([&](CommandContext* c) {
            for (SceneObject* object : scene.objects)
                object->RecordCompute(context, c);
        });
        uint32_t after = surfaces[0]->bandsLeft() + surfaces[1]->bandsLeft();
        EXPECT_LE(before - after, 5u);
        ++frames;
    }
    EXPECT_EQ(frames, (2 * bands + 4) / 5);
    EXPECT_EQ(surfaces[0]->generator->generationCount, 1u);
    EXPECT_EQ(surfaces[1]->generator->generationCount, 1u);
    bodyVisuals.generation.bandsPerFrame = savedBudget;
}

TEST_F(PlanetGeneratorGpuTest, AResizeFillsANewMapWhileTheOldOneStaysReadable) {
    PlanetGenerator generator(services, Size);
    generator.settings.layers[0] = layer(FBM, 1.5f, 4, -0.3f, 0.3f);
    generate(generator);
    StorageCube* small = generator.heightMap;
    ASSERT_EQ(generator.heightMapBinding->view, &small->imageView);

    // Twice the size, generated over two frames of three bands: the readers see the old map until the last band.
    generator.requestSize(2 * Size);
    EXPECT_TRUE(generator.resizing());
    EXPECT_EQ(generator.size(), Size);
    EXPECT_EQ(generator.targetSize(), 2 * Size);
    uniformStorage->beginSlot();
    generator.uploadSettings();
    bool completed = true;
    runOnce([&](CommandContext* c) { completed = generator.generateBands(c, 0, 3, 1); });
    EXPECT_FALSE(completed);
    EXPECT_EQ(generator.heightMap, small);
    EXPECT_EQ(generator.heightMapBinding->view, &small->imageView);
    runOnce([&](CommandContext* c) { completed = generator.generateBands(c, 3, 3, 1); });
    EXPECT_TRUE(completed);
    EXPECT_FALSE(generator.resizing());
    EXPECT_EQ(generator.size(), 2 * Size);
    EXPECT_EQ(generator.mapWidth, float(2 * Size));
    EXPECT_EQ(generator.heightMapBinding->view, &generator.heightMap->imageView);
    EXPECT_EQ(generator.generationCount, 2u);

    // The same heights as a map generated at that size from the start.
    PlanetGenerator fresh(services, 2 * Size);
    fresh.settings = generator.settings;
    generate(fresh);
    for (uint32_t f = 0; f < 6; f += 5)
        EXPECT_EQ(readImage(generator.heightMap->image, 2 * Size, 2 * Size, 4, f),
                  readImage(fresh.heightMap->image, 2 * Size, 2 * Size, 4, f));

    // Asking for the current size again drops a pending resize; before any generation the map is replaced.
    generator.requestSize(Size);
    EXPECT_TRUE(generator.resizing());
    generator.requestSize(2 * Size);
    EXPECT_FALSE(generator.resizing());
    PlanetGenerator unused(services, Size);
    unused.requestSize(2 * Size);
    EXPECT_FALSE(unused.resizing());
    EXPECT_EQ(unused.size(), 2 * Size);
    EXPECT_EQ(unused.heightMapBinding->view, &unused.heightMap->arrayView);
}
