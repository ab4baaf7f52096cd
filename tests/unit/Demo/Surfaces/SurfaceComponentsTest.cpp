#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scenario/BodyVisualBuilder.h"
#include "Demo/Scenario/SolarSystem.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/InputState.h"
#include "Demo/Scene/KeyBindings.h"
#include "Demo/Scene/Scene.h"
#include "Demo/Surfaces/Atmosphere.h"
#include "Demo/Surfaces/PlanetSurfaceGas.h"
#include "Demo/Surfaces/PlanetSurfaceSolid.h"
#include "Demo/Surfaces/StarSurface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

using namespace Demo;

namespace {

// The built-in solar system without a device: components exist and hold their blocks, nothing is drawn.
struct SolarSurfaces : ::testing::Test {
    SolarSurfaces() {
        scene.services.bodyVisuals = &visuals;
        system = addSolarSystem(scene);
    }
    AstroObject* find(const std::string& name) const {
        for (AstroObject* o : system->objects)
            if (o->name == name)
                return o;
        return nullptr;
    }
    BodyVisualBuilder visuals;
    std::vector<PlanetSurfaceSolid*> solidSurfaces() const {
        std::vector<PlanetSurfaceSolid*> result;
        for (AstroObject* o : system->objects)
            if (auto* s = dynamic_cast<PlanetSurfaceSolid*>(o->getSurface()))
                result.push_back(s);
        return result;
    }
    Scene scene;
    AstroSystem* system;
};

} // namespace

TEST_F(SolarSurfaces, BodiesCarryAnAtmosphereThenTheirSurfaceWithTheFactorySettings) {
    auto* earth = dynamic_cast<PlanetSolid*>(find("Earth"));
    ASSERT_NE(earth, nullptr);
    Atmosphere* atmosphere = earth->getAtmosphere();
    ASSERT_NE(atmosphere, nullptr);
    ASSERT_NE(earth->getSurface(), nullptr);
    // Attachment order: the orbit line (when present) and the atmosphere come before the surface.
    auto atmosphereAt = std::find(earth->components.begin(), earth->components.end(), atmosphere);
    auto surfaceAt = std::find(earth->components.begin(), earth->components.end(), earth->getSurface());
    EXPECT_LT(atmosphereAt, surfaceAt);
    EXPECT_EQ(atmosphere->body, earth);

    // Atmosphere preset 1 at scale 0.5.
    EXPECT_FLOAT_EQ(atmosphere->block.radius, 2.0f);
    EXPECT_FLOAT_EQ(atmosphere->block.rayleigh[2], 1.0f);
    EXPECT_FLOAT_EQ(atmosphere->block.densityFalloff, 5.0f);

    auto* surface = dynamic_cast<PlanetSurfaceSolid*>(earth->getSurface());
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(surface->planet, earth);
    EXPECT_FLOAT_EQ(surface->surfaceBlock.elevationScale, 0.05f);
    EXPECT_FLOAT_EQ(surface->tessellation.factor, 4.0f);
    EXPECT_FLOAT_EQ(surface->tessellation.maxSubdivision, 32.0f);
    EXPECT_FLOAT_EQ(surface->tessellation.minSubdivision, 1.0f);
    // Biome preset 1: deep blue ocean up to 0, snow above 0.267.
    EXPECT_FLOAT_EQ(surface->biomes.biomes[0].heightRange[1], 0.0f);
    EXPECT_FLOAT_EQ(surface->biomes.biomes[0].color[2], 0.5f);
    EXPECT_FLOAT_EQ(surface->biomes.biomes[7].heightRange[0], -1.0f);
    EXPECT_FLOAT_EQ(surface->biomes.biomes[7].color[0], 1.0f);
    EXPECT_EQ(surface->generator, nullptr); // no device
    EXPECT_EQ(surface->regenerate, 1);

    // A moon without atmosphere settings keeps the default block; a body with "off" settings too.
    auto* luna = dynamic_cast<Planetoid*>(find("Luna (Earth)"));
    ASSERT_NE(luna, nullptr);
    ASSERT_NE(luna->getAtmosphere(), nullptr);
    EXPECT_FLOAT_EQ(luna->getAtmosphere()->block.radius, 120.0f);
    // Oberon's biome preset uses six biomes; the last two stay at their defaults.
    auto* oberon = dynamic_cast<PlanetSurfaceSolid*>(find("Oberon (Uranus)")->getSurface());
    ASSERT_NE(oberon, nullptr);
    EXPECT_FLOAT_EQ(oberon->biomes.biomes[0].color[0], 0.76f);
    EXPECT_FLOAT_EQ(oberon->biomes.biomes[6].color[0], 0.5f);
}

TEST_F(SolarSurfaces, TheStarHasItsAtmosphereAndSurfaceAndGasPlanetsTheirAtmosphere) {
    Star* sun = scene.primaryStar;
    ASSERT_NE(sun, nullptr);
    auto* starSurface = dynamic_cast<StarSurface*>(sun->getSurface());
    ASSERT_NE(starSurface, nullptr);
    EXPECT_EQ(starSurface->star, sun);
    ASSERT_NE(sun->getAtmosphere(), nullptr);
    // The factory's record replaces the star's own settings: radius 25.
    EXPECT_FLOAT_EQ(sun->getAtmosphere()->block.radius, 25.0f);

    auto* jupiter = dynamic_cast<PlanetGas*>(find("Jupiter"));
    ASSERT_NE(jupiter, nullptr);
    ASSERT_NE(jupiter->getAtmosphere(), nullptr);
    EXPECT_FLOAT_EQ(jupiter->getAtmosphere()->block.radius, 9.375f);
    EXPECT_FLOAT_EQ(jupiter->getAtmosphere()->block.rayleighFactor, 10.0f);

    EXPECT_EQ(solidSurfaces().size(), 24u);
}

// Gas planets get their cloud surface after their atmosphere, its bands and storms drawn in creation order from
// the process-wide generator, which moves on past them.
TEST(GasSurfaces, GasPlanetsDrawTheirCloudTablesFromTheProcessWideGenerator) {
    RandomSource random;
    RandomSource replay = random;
    BodyVisualBuilder visuals;
    Scene scene;
    scene.services.bodyVisuals = &visuals;
    scene.services.random = &random;
    auto* system = addSolarSystem(scene);

    std::vector<PlanetGas*> gas;
    for (AstroObject* o : system->objects)
        if (auto* g = dynamic_cast<PlanetGas*>(o))
            gas.push_back(g);
    ASSERT_EQ(gas.size(), 3u); // Jupiter, Saturn, Uranus
    for (PlanetGas* planet : gas) {
        auto* surface = dynamic_cast<PlanetSurfaceGas*>(planet->getSurface());
        ASSERT_NE(surface, nullptr) << planet->name;
        auto atmosphereAt = std::find(planet->components.begin(), planet->components.end(), planet->getAtmosphere());
        auto surfaceAt = std::find(planet->components.begin(), planet->components.end(), planet->getSurface());
        EXPECT_LT(atmosphereAt, surfaceAt);
        EXPECT_EQ(surface->planet, planet);
        EXPECT_FLOAT_EQ(surface->surfaceBlock.elevationScale, 0.1f);
        EXPECT_EQ(surface->fluid, nullptr); // no device: nothing to simulate
        EXPECT_EQ(surface->generator, nullptr);
        EXPECT_EQ(surface->fluidImageBinding(), nullptr);

        FluidSimulationBlock expected = makeFluidSimulationBlock(replay);
        EXPECT_EQ(std::memcmp(&surface->simulationBlock, &expected, sizeof(expected)), 0) << planet->name;
    }
    EXPECT_EQ(random.engine(), replay.engine()) << "the process-wide generator moved on past the three planets";
}

TEST_F(SolarSurfaces, PressingTOnceSwitchesEverySolidSurfaceBetweenFilledAndWireframe) {
    InputState input;
    FrameInput frameInput;
    frameInput.input = &input;
    FrameContext context{scene.services, frameInput};
    uint8_t keys[256] = {};
    auto frame = [&](bool tDown) {
        keys[keyOf(KeyAction::Wireframe)] = tDown ? 0x80 : 0x00;
        input.advanceKeys(keys);
        scene.update(context);
    };
    auto wireframes = [&] {
        size_t n = 0;
        for (PlanetSurfaceSolid* s : solidSurfaces())
            n += s->wireframe;
        return n;
    };
    frame(false);
    EXPECT_EQ(wireframes(), 0u);
    frame(true);
    EXPECT_EQ(wireframes(), 24u);
    frame(true); // still held: no second toggle
    EXPECT_EQ(wireframes(), 24u);
    frame(false);
    frame(true);
    EXPECT_EQ(wireframes(), 0u);
    // A text field of the user interface has the keyboard: T types, it does not toggle.
    frameInput.uiWantsKeyboard = true;
    frame(false);
    frame(true);
    EXPECT_EQ(wireframes(), 0u);
}
