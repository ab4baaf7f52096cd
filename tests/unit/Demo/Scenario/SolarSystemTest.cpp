#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Spacecraft/Spacecraft.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

using namespace Demo;

namespace {

struct SolarSystem : ::testing::Test {
    SolarSystem() { system = addSolarSystem(scene); }
    AstroObject* find(const std::string& name) const {
        for (AstroObject* o : system->objects)
            if (o->name == name)
                return o;
        return nullptr;
    }
    Scene scene;
    AstroSystem* system;
};

} // namespace

TEST_F(SolarSystem, TwentyNineBodiesAtTheDocumentedIndices) {
    const std::vector<std::string> expected = {"Sun",
                                               "Mercury",
                                               "Venus",
                                               "Earth",
                                               "Mars",
                                               "Jupiter",
                                               "Saturn",
                                               "Uranus",
                                               "Neptune",
                                               "Luna (Earth)",
                                               "Phobos (Mars)",
                                               "Deimos (Mars)",
                                               "Io (Jupiter)",
                                               "Europa (Jupiter)",
                                               "Ganymede (Jupiter)",
                                               "Callisto (Jupiter)",
                                               "Mimas (Saturn)",
                                               "Enceladus (Saturn)",
                                               "Tethys (Saturn)",
                                               "Dione (Saturn)",
                                               "Rhea (Saturn)",
                                               "Titan (Saturn)",
                                               "Iapetus (Saturn)",
                                               "Miranda (Uranus)",
                                               "Ariel (Uranus)",
                                               "Umbriel (Uranus)",
                                               "Titania (Uranus)",
                                               "Oberon (Uranus)",
                                               "Voyager"};
    ASSERT_EQ(system->objects.size(), expected.size());
    for (size_t k = 0; k < expected.size(); ++k) {
        EXPECT_EQ(system->objects[k]->name, expected[k]) << k;
        EXPECT_EQ(system->objects[k]->index, int(k));
        EXPECT_EQ(system->objects[k]->system, system);
    }
    EXPECT_EQ(scene.objects.size(), 30u); // the system itself and its bodies
    EXPECT_EQ(scene.primaryStar, system->objects[0]);
    EXPECT_EQ(system->objects[0]->typeCode(), uint32_t(ASTRO_STAR));
    EXPECT_EQ(find("Jupiter")->typeCode(), uint32_t(ASTRO_PLANET_GAS));
    EXPECT_EQ(find("Neptune")->typeCode(), uint32_t(ASTRO_PLANET_SOLID)); // built as a solid planet
    EXPECT_EQ(find("Voyager")->typeCode(), uint32_t(ASTRO_SPACECRAFT));
    EXPECT_EQ(find("Io (Jupiter)")->parent, find("Jupiter"));
    EXPECT_EQ(find("Oberon (Uranus)")->parent, find("Uranus"));
    EXPECT_EQ(find("Mercury")->parent, system->objects[0]);
    EXPECT_EQ(system->objects[0]->parent, system);
}

TEST_F(SolarSystem, SunAndEarthGiveTheKnownPeriod) {
    Star* sun = scene.primaryStar;
    EXPECT_NEAR(sun->gravitationalParameter(), 2.7957e-4, 1e-8);
    AstroObject* earth = find("Earth");
    double period = orbitalPeriod(earth->orbit, earth->parentGravitationalParameter());
    EXPECT_NEAR(period, 4.697e7, 1e4);
    EXPECT_NEAR(period / system->timeStepLength, 469724.0, 1.0);
    EXPECT_EQ(earth->orbit.argPeriapsis, 1.0);
    EXPECT_EQ(earth->orbit.meanAnomalyAtEpoch, 0.0);
    EXPECT_FLOAT_EQ(earth->rotationSpeed[1], -9e-5f);
}

TEST_F(SolarSystem, TableValuesReachTheBodies) {
    auto* saturn = static_cast<PlanetGas*>(find("Saturn"));
    EXPECT_EQ(saturn->radius, 110.0f);
    EXPECT_EQ(saturn->density, 0.15);
    EXPECT_EQ(saturn->orbit.ascendingNode, 1.0470000505447388);
    EXPECT_EQ(saturn->orbit.epoch, 150.0);
    EXPECT_EQ(saturn->atmosphereSettings.radius, 8.25f);
    EXPECT_EQ(saturn->atmosphereSettings.rayleighFactor, 10.0f);

    auto* luna = find("Luna (Earth)");
    EXPECT_EQ(luna->orbit.ascendingNode, 198 * 3.141592653589793 / 180);
    EXPECT_EQ(luna->density, 25.0);

    auto* neptune = static_cast<PlanetSolid*>(find("Neptune"));
    EXPECT_EQ(neptune->density, double(0.015f));
    EXPECT_EQ(neptune->surfaceSettings.elevationScale, 0.007f);
    EXPECT_EQ(neptune->atmosphereSettings.radius, 5.0f);

    auto* voyager = static_cast<Spacecraft*>(find("Voyager"));
    EXPECT_EQ(voyager->parent, find("Earth"));
    EXPECT_EQ(voyager->modelName, "Vessel_11");
    EXPECT_EQ(voyager->position[0], 80.0f);
    EXPECT_EQ(voyager->transform->scale, (Vec3d{0.1f, 0.1f, 0.1f}));
    EXPECT_EQ(voyager->orbit.e, double(0.01f));
    EXPECT_EQ(voyager->orbit.a, 20.5);
    EXPECT_EQ(system->focusTarget, voyager);

    // "off": a default record is attached but not applied; "none": no record.
    EXPECT_FALSE(static_cast<PlanetSolid*>(find("Mimas (Saturn)"))->hasAtmosphereSettings);
    EXPECT_FALSE(static_cast<PlanetSolid*>(find("Mercury"))->hasAtmosphereSettings);
    auto* io = static_cast<PlanetSolid*>(find("Io (Jupiter)"));
    ASSERT_TRUE(io->hasAtmosphereSettings);
    EXPECT_EQ(io->atmosphereSettings.radius, 3.0f);
    EXPECT_EQ(io->atmosphereSettings.rayleigh[0], 0.545f);
    EXPECT_EQ(scene.primaryStar->atmosphereSettings.radius, 25.0f);
    EXPECT_EQ(scene.primaryStar->light.intensity, 10.0f);
    EXPECT_EQ(scene.primaryStar->light.color[1], 0.95f);
}

TEST_F(SolarSystem, EveryBodyHasItsOwnTerrain) {
    auto* earth = static_cast<PlanetSolid*>(find("Earth"));
    const SolidSurfaceCreateInfo& s = earth->surfaceSettings;
    EXPECT_EQ(s.noiseLayerCount, 2);
    EXPECT_EQ(s.elevationScale, 0.05f);
    ASSERT_EQ(s.biomeCount, 8);
    EXPECT_EQ(s.biomes[0].heightMax, 0.0f);
    EXPECT_EQ(s.biomes[0].color[2], 0.5f);
    EXPECT_EQ(s.biomes[6].heightMax, 0.267f);
    EXPECT_EQ(s.biomes[7].roughness, 0.13f);
    for (const Biome& b : s.biomes) {
        EXPECT_EQ(b.heightMin, -1.0f);
        EXPECT_EQ(b.slopeMax, 1.0f);
    }
    auto* oberon = static_cast<PlanetSolid*>(find("Oberon (Uranus)"));
    EXPECT_EQ(oberon->surfaceSettings.biomeCount, 6);
    EXPECT_EQ(oberon->surfaceSettings.biomes[0].color[0], 0.76f);

    // No two solid bodies share the same layers (bodies sharing a preset sit in different parts of the field).
    std::set<std::vector<float>> seen;
    int solids = 0;
    for (AstroObject* o : system->objects) {
        if (o->typeCode() != ASTRO_PLANET_SOLID)
            continue;
        const SolidSurfaceCreateInfo& surface = static_cast<PlanetSolid*>(o)->surfaceSettings;
        ASSERT_GT(surface.noiseLayerCount, 0) << o->name;
        ASSERT_GT(surface.biomeCount, 0) << o->name;
        std::vector<float> key;
        for (int k = 0; k < surface.noiseLayerCount; ++k)
            key.insert(key.end(), surface.noiseLayers[k].offset, surface.noiseLayers[k].offset + 3);
        EXPECT_TRUE(seen.insert(key).second) << o->name;
        // Biome bands rise to the top of the height range.
        for (int k = 1; k < surface.biomeCount; ++k)
            EXPECT_GT(surface.biomes[k].heightMax, surface.biomes[k - 1].heightMax) << o->name;
        EXPECT_EQ(surface.biomes[surface.biomeCount - 1].heightMax, 1.0f) << o->name;
        ++solids;
    }
    EXPECT_EQ(solids, 24);
}

TEST_F(SolarSystem, FrameUpdateMovesEveryOrbitingBody) {
    std::vector<Vec3d> before;
    system->timeStep = 8192;
    system->placeBodies();
    for (AstroObject* o : system->objects)
        before.push_back(o->transform->worldPosition());
    system->timeStep += 5000;
    system->placeBodies();
    for (size_t k = 1; k < system->objects.size(); ++k) {
        AstroObject* o = system->objects[k];
        if (o->movesFreely()) // the spacecraft in free flight: its navigation places it, not the system
            EXPECT_EQ(o->transform->worldPosition(), before[k]) << o->name;
        else
            EXPECT_GT(length(o->transform->worldPosition() - before[k]), 0.0) << o->name;
        EXPECT_TRUE(std::isfinite(o->worldPosition[0]) && std::isfinite(o->worldPosition[2])) << o->name;
    }
    EXPECT_EQ(system->objects[0]->transform->worldPosition(), Vec3d{}); // the Sun stays at the origin
}
