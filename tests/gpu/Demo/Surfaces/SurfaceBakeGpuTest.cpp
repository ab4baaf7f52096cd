#include "GpuFixture.h"

#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Demo/Surfaces/SurfaceBake.h"
#include "Engine/Data/DataBinding.h"
#include "Engine/Data/DataStorage.h"

#include <algorithm>
#include <cmath>

using namespace Demo;

namespace {

class SurfaceBakeGpuTest : public GpuTest {
protected:
    // A star and `count` solid planets with the same relief and two biomes: a liquid below height 0 and land.
    struct World {
        Scene scene;
        FrameInput input;
        FrameContext context{scene.services, input};
        std::vector<PlanetSurfaceSolid*> surfaces;

        explicit World(int count) {
            scene.services = services;
            scene.services.scene = &scene;
            auto* star = new Star("Star", &scene);
            scene.add(star);
            scene.primaryStar = star;
            star->Create();
            for (int k = 0; k < count; ++k) {
                auto* planet = new PlanetSolid("Planet " + std::to_string(k), &scene);
                scene.add(planet);
                planet->Create();
                auto* surface = dynamic_cast<PlanetSurfaceSolid*>(planet->getSurface());
                GeneratorLayer& l = surface->generator->settings.layers[0];
                l.noiseType = FBM;
                l.baseFrequency = 2.0f;
                l.baseAmplitude = 1.0f;
                l.octaves = 4;
                l.lacunarity = 2.0f;
                l.persistence = 0.5f;
                l.weight = 1.0f;
                l.rangeAmplitude[0] = -0.3f;
                l.rangeAmplitude[1] = 0.3f;
                BiomeEntry sea, land;
                sea.heightRange[1] = 0.0f;
                sea.roughness = 0.05f;
                sea.metallic = 0.0f;
                land.heightRange[0] = 0.0f;
                land.color[0] = 0.8f;
                land.color[1] = 0.4f;
                land.color[2] = 0.1f;
                surface->biomes.biomes[0] = sea;
                surface->biomes.biomes[1] = land;
                surface->surfaceBlock.elevationScale = 0.1f;
                surfaces.push_back(surface);
            }
        }

        void frame() {
            uniformStorage->beginSlot();
            scene.update(context);
            scene.updateUniforms(context);
            runOnce([&](CommandContext* c) {
                for (SceneObject* object : scene.objects)
                    object->RecordCompute(context, c);
            });
        }
    };

    static std::vector<uint8_t> face(StorageCube* map, uint32_t f) {
        return readImage(map->image, map->width, map->height, 4, f);
    }
};

} // namespace

// Generated in bands or whole, the maps are baked once from the complete height map, and only a change of what
// they are baked from bakes them again; a half-baked map is never drawn.
TEST_F(SurfaceBakeGpuTest, MapsAreBakedFromTheCompleteReliefAndAgainOnlyWhenTheirInputsChange) {
    World world(2);
    PlanetSurfaceSolid& whole = *world.surfaces[0];
    PlanetSurfaceSolid& banded = *world.surfaces[1];
    uint32_t savedBudget = bodyVisuals.generation.bandsPerFrame;
    // The first planet's generation takes the whole first frame's budget, the second one's the next two frames.
    bodyVisuals.generation.bandsPerFrame = 6 * PlanetSurface::BandsPerFace;
    world.frame();
    EXPECT_EQ(whole.bake->bakeCount, 1u);
    bodyVisuals.generation.bandsPerFrame = 3 * PlanetSurface::BandsPerFace;
    for (int k = 0; k < 3 && !banded.hasRelief(); ++k) {
        EXPECT_EQ(banded.bake->bakeCount, 0u) << "baked from a half-generated map";
        world.frame();
    }
    ASSERT_TRUE(banded.hasRelief());
    EXPECT_EQ(banded.bake->bakeCount, 1u);
    for (uint32_t f = 0; f < 6; f += 5) {
        EXPECT_EQ(face(banded.bake->ground, f), face(whole.bake->ground, f));
        EXPECT_EQ(face(banded.bake->normal, f), face(whole.bake->normal, f));
    }

    // Land texels hold the land biome's colour (half of it, linear, as its square root; the fine variation scales
    // all three channels alike); the liquid is level ground and the relief tilts the normal elsewhere.
    std::vector<uint8_t> ground = face(whole.bake->ground, 4), normal = face(whole.bake->normal, 4);
    std::vector<double> hue; // green over red of the land texels, linear
    int tilted = 0, level = 0;
    for (size_t t = 0; t < ground.size(); t += 4) {
        double r = ground[t] / 255.0, g = ground[t + 1] / 255.0;
        if (2.0 * r * r > 0.82 * std::pow(0.8, 2.2) && 2.0 * r * r < 1.01 * std::pow(0.8, 2.2))
            hue.push_back(g * g / (r * r));
        auto n = [&](int c) { return std::abs(int(normal[t + c]) - 128); };
        int tilt = std::max({n(0), n(1), n(2)});
        tilted += tilt > 2;
        level += tilt == 0;
    }
    const int land = int(hue.size());
    std::nth_element(hue.begin(), hue.begin() + land / 2, hue.end());
    EXPECT_NEAR(hue[land / 2], std::pow(0.4 / 0.8, 2.2), 0.01) << "coasts blend in the liquid's grey, not more";
    EXPECT_GT(land, int(ground.size() / 4 / 20));
    EXPECT_GT(tilted, int(ground.size() / 4 / 5));
    EXPECT_GT(level, int(ground.size() / 4 / 10)) << "the liquid is level";

    // Nothing changed: no bake.
    world.frame();
    EXPECT_EQ(whole.bake->bakeCount, 1u);
    EXPECT_EQ(banded.bake->bakeCount, 1u);

    // The panel's edits are baked over frames while the last complete maps are drawn: a biome's colour changes
    // the ground and not the normals, the elevation scale the normals.
    auto bakeSpread = [&](PlanetSurfaceSolid& surface) {
        const ImageView* drawn = surface.bake->groundBinding->view;
        uint32_t count = surface.bake->bakeCount, frames = 0;
        while (surface.bake->bakeCount == count && frames < 10) {
            EXPECT_EQ(surface.bake->groundBinding->view, drawn) << "a half-baked map is drawn";
            world.frame();
            ++frames;
        }
        EXPECT_EQ(surface.bake->bakeCount, count + 1);
        EXPECT_NE(surface.bake->groundBinding->view, drawn);
        return frames;
    };
    whole.biomes.biomes[1].color[2] = 0.6f;
    EXPECT_EQ(bakeSpread(whole), 2u) << "6 bands, 4 a frame";
    EXPECT_EQ(banded.bake->bakeCount, 1u);
    EXPECT_NE(face(whole.bake->ground, 4), ground);
    EXPECT_EQ(face(whole.bake->normal, 4), normal);
    // A change while baking starts the bake over with the new value.
    whole.surfaceBlock.elevationScale = 0.2f;
    world.frame();
    whole.surfaceBlock.elevationScale = 0.3f;
    EXPECT_EQ(bakeSpread(whole), 2u);
    std::vector<uint8_t> steeper = face(whole.bake->normal, 4);
    EXPECT_NE(steeper, normal);
    banded.surfaceBlock.elevationScale = 0.3f;
    bakeSpread(banded);
    EXPECT_EQ(face(banded.bake->normal, 4), steeper);

    // A regenerated relief is baked in the frame that generates it.
    whole.generator->settings.layers[0].offset[0] = 2.0f;
    world.frame();
    EXPECT_EQ(whole.generator->generationCount, 2u);
    EXPECT_EQ(whole.bake->bakeCount, 4u);
    EXPECT_NE(face(whole.bake->normal, 4), steeper);
    bodyVisuals.generation.bandsPerFrame = savedBudget;
}
