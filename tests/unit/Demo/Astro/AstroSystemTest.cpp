#include "Demo/Astro/AstroSystem.h"
#include "Demo/Astro/Planetoid.h"
#include "Demo/Astro/Star.h"
#include "Demo/Scenario/AstroFactory.h"
#include "Demo/Scenario/AstroPresets.h"
#include "Demo/Scene/FrameContext.h"
#include "Demo/Scene/InputState.h"
#include "Demo/Scene/Scene.h"

#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>

using namespace Demo;

namespace {

// An empty system in a scene, without the solar system (its Create is not called).
struct EmptySystem : ::testing::Test {
    EmptySystem() {
        system = new AstroSystem("AstroSystem", &scene);
        scene.add(system);
    }
    Scene scene;
    AstroSystem* system;
};

std::unique_ptr<OrbitCreateInfo> circularOrbit(double a) {
    auto o = std::make_unique<OrbitCreateInfo>();
    o->a = a;
    return o;
}

} // namespace

TEST_F(EmptySystem, SixteenMillisecondFramesAtFactorTenStepOnceEvery625Frames) {
    std::vector<int> stepFrames;
    double lastFraction = -1;
    bool fractionGrows = true;
    for (int frame = 1; frame <= 3 * 625 + 10; ++frame) {
        uint64_t before = system->timeStep;
        system->advanceTime(16.0f, false, false);
        if (system->timeStep != before) {
            EXPECT_EQ(system->timeStep, before + 1);
            stepFrames.push_back(frame);
            lastFraction = system->stepFraction;
        } else {
            fractionGrows = fractionGrows && system->stepFraction > lastFraction;
            lastFraction = system->stepFraction;
        }
    }
    EXPECT_TRUE(fractionGrows);
    ASSERT_EQ(stepFrames.size(), 3u);
    EXPECT_NEAR(stepFrames[0], 625, 1);
    EXPECT_NEAR(stepFrames[1] - stepFrames[0], 625, 1);
    EXPECT_NEAR(stepFrames[2] - stepFrames[1], 625, 1);
    EXPECT_EQ(system->previousTimeStep.load(), system->timeStep);
}

TEST_F(EmptySystem, FactorZeroStandsStill) {
    system->advanceTime(500.0f, false, false);
    ASSERT_GT(system->timeRemainder, 0.0);
    system->timeFactor = 0.0;
    system->advanceTime(16.0f, false, false);
    uint64_t step = system->timeStep;
    system->advanceTime(1000.0f, false, false);
    EXPECT_EQ(system->timeStep, step);
    EXPECT_EQ(system->timeRemainder, 0.0);
    EXPECT_EQ(system->stepFraction, 0.0);
}

TEST_F(EmptySystem, PeriodAndCommaKeysScaleTheFactor) {
    for (int k = 0; k < 5; ++k)
        system->advanceTime(0.0f, true, false);
    EXPECT_EQ(system->timeFactor, 10240.0);
    system->advanceTime(0.0f, false, true);
    EXPECT_EQ(system->timeFactor, 2560.0);

    // The simulated remainder survives a change of factor.
    system->advanceTime(30.0f, false, false); // 0.03 s · 2560 = 76.8 s: no whole step
    double simulated = system->timeRemainder * system->timeFactor;
    system->advanceTime(0.0f, true, false);
    EXPECT_NEAR(system->timeRemainder * system->timeFactor, simulated, 1e-9);

    system->timeStepLength = 0.0; // no steps rather than an undefined conversion
    system->advanceTime(30.0f, false, false);
    EXPECT_EQ(system->timeStep, 0u);
    EXPECT_EQ(system->stepFraction, 0.0);
    system->timeStepLength = 100.0;

    system->timeFactor = 5e9; // typed in the panel
    system->advanceTime(0.0f, false, false);
    EXPECT_EQ(system->timeFactor, 1e9);
}

TEST_F(EmptySystem, UpdateReadsFrameTimeAndKeysFromTheSnapshot) {
    InputState input;
    uint8_t keys[256] = {};
    keys[VirtualKey::Period] = 0x80;
    input.advanceKeys(keys);
    FrameInput frameInput;
    frameInput.input = &input;
    frameInput.frameTime = 1000.0f;
    FrameContext frame{scene.services, frameInput};
    system->Update(frame);
    input.advanceKeys(keys);
    system->Update(frame); // held down: counts once
    // While the user interface has the keyboard the keys do nothing.
    frameInput.uiWantsKeyboard = true;
    uint8_t none[256] = {};
    input.advanceKeys(none);
    input.advanceKeys(keys);
    frameInput.frameTime = 0.0f;
    system->Update(frame);
    EXPECT_EQ(system->timeFactor, 40.0);
    EXPECT_EQ(system->timeStep, 0u); // 2 s at 40: 80 simulated seconds, less than a step
    EXPECT_NEAR(system->stepFraction, 0.8, 1e-12);
}

TEST_F(EmptySystem, AddObjectSortsByDepthAndRejectsUnknownParents) {
    StarCreateInfo starInfo;
    starInfo.name = "Star";
    Star* star = AstroFactory::BuildStar(starInfo, system);
    EXPECT_EQ(star->parent, system); // no parent: a child of the system
    EXPECT_EQ(star->depth(), 1);

    PlanetSolidCreateInfo a = solidCreateInfo("A", star, 5.0f, 1.0);
    PlanetSolid* planetA = AstroFactory::BuildSolidPlanet(a, system);
    PlanetSolidCreateInfo moonInfo = solidCreateInfo("A moon", planetA, 1.0f, 1.0);
    PlanetSolid* moon = AstroFactory::BuildSolidPlanet(moonInfo, system);
    PlanetSolidCreateInfo b = solidCreateInfo("B", star, 5.0f, 1.0);
    PlanetSolid* planetB = AstroFactory::BuildSolidPlanet(b, system);

    ASSERT_EQ(system->objects.size(), 4u);
    EXPECT_EQ(system->objects[1], planetA);
    EXPECT_EQ(system->objects[2], planetB); // depth 2 before depth 3, insertion order within a depth
    EXPECT_EQ(system->objects[3], moon);
    for (size_t k = 0; k < system->objects.size(); ++k)
        EXPECT_EQ(system->objects[k]->index, int(k));

    // A moon of a planet that was never added: thrown after it joined the scene, the system unchanged.
    PlanetSolid stray("Stray", &scene);
    PlanetSolidCreateInfo orphanInfo = solidCreateInfo("Orphan", &stray, 1.0f, 1.0);
    size_t sceneObjects = scene.objects.size();
    try {
        AstroFactory::BuildSolidPlanet(orphanInfo, system);
        FAIL() << "expected an error";
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "AstroSystem.addObject(): parent of object must already be in the system!");
    }
    EXPECT_EQ(scene.objects.size(), sceneObjects + 1);
    EXPECT_EQ(scene.objects.back()->name, "Orphan");
    ASSERT_EQ(system->objects.size(), 4u);
    EXPECT_EQ(system->objects[3], moon);
    EXPECT_EQ(moon->index, 3);
}

TEST_F(EmptySystem, FactoryErrorsNameTheFunction) {
    PlanetGasCreateInfo gas;
    try {
        AstroFactory::BuildGasPlanet(gas, nullptr);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "AstroFactory::BuildGasPlanet: missing AstroSystem!");
    }
    AstroSystem detached("Detached", nullptr);
    StarCreateInfo star;
    try {
        AstroFactory::BuildStar(star, &detached);
        FAIL();
    } catch (const std::runtime_error& e) {
        EXPECT_STREQ(e.what(), "AstroFactory::BuildStar: missing Scene!");
    }
    EXPECT_TRUE(detached.objects.empty());
}

TEST_F(EmptySystem, PositionsAndVelocitiesSumUpTheParentChain) {
    StarCreateInfo starInfo;
    starInfo.name = "Star";
    starInfo.radius = 100.0f;
    Star* star = AstroFactory::BuildStar(starInfo, system);
    PlanetSolidCreateInfo planetInfo = solidCreateInfo("Planet", star, 15.0f, 2.5);
    planetInfo.orbit = circularOrbit(2500);
    PlanetSolid* planet = AstroFactory::BuildSolidPlanet(planetInfo, system);
    PlanetSolidCreateInfo moonInfo = solidCreateInfo("Moon", planet, 5.0f, 25.0);
    moonInfo.orbit = circularOrbit(125);
    moonInfo.orbit->e = 0.05;
    moonInfo.orbit->i = 0.1;
    PlanetSolid* moon = AstroFactory::BuildSolidPlanet(moonInfo, system);

    const uint64_t step = 12345;
    const double t = step * 100.0 + 0.25 * 100.0;
    Vec3d planetRel = orbitPosition(planet->orbit, t, star->gravitationalParameter());
    Vec3d moonRel = orbitPosition(moon->orbit, t, planet->gravitationalParameter());
    Vec3d p = system->computeObjectPos(moon, step, 0.25);
    EXPECT_NEAR(p.x, planetRel.x + moonRel.x, 1e-9);
    EXPECT_NEAR(p.z, planetRel.z + moonRel.z, 1e-9);
    EXPECT_EQ(system->computeObjectPos(star, step), Vec3d{});

    Vec3d v = system->computeObjectVel(moon, step, 0.25);
    Vec3d expected = orbitVelocity(planet->orbit, t, star->gravitationalParameter()) +
                     orbitVelocity(moon->orbit, t, planet->gravitationalParameter());
    EXPECT_NEAR(length(v - expected), 0.0, 1e-15);
    EXPECT_EQ(system->computeObjectVel(nullptr, step), Vec3d{});

    // Placement each frame follows the same walk.
    system->timeStep = step;
    system->stepFraction = 0.0;
    system->placeBodies();
    Vec3d placed = moon->transform->worldPosition();
    EXPECT_EQ(placed, system->computeObjectPos(moon, step));
    EXPECT_EQ(moon->worldPosition[0], float(placed.x));
}

TEST_F(EmptySystem, DominantObjectIsStrongestPullAndEarlierOnTie) {
    StarCreateInfo starInfo;
    starInfo.name = "Star";
    Star* star = AstroFactory::BuildStar(starInfo, system);
    PlanetSolid* left = AstroFactory::BuildSolidPlanet(solidCreateInfo("Left", star, 5.0f, 2.0), system);
    PlanetSolid* right = AstroFactory::BuildSolidPlanet(solidCreateInfo("Right", star, 5.0f, 2.0), system);
    PlanetSolid* probe = AstroFactory::BuildSolidPlanet(solidCreateInfo("Probe", star, 0.1f, 1.0), system);
    star->transform->position = {0, 1e6, 0};
    left->transform->position = {-10, 0, 0};
    right->transform->position = {10, 0, 0};
    for (AstroObject* o : system->objects)
        o->transform->markDirty();

    EXPECT_EQ(system->getDominantObject(probe), left); // equal pull: the earlier entry
    right->density = 2.5;
    EXPECT_EQ(system->getDominantObject(probe), right);
    EXPECT_EQ(system->getDominantObject(nullptr), nullptr);

    // Nothing scores when every candidate is massless or sits on the object.
    for (AstroObject* o : system->objects)
        o->density = 0.0;
    EXPECT_EQ(system->getDominantObject(probe), nullptr);
}

TEST_F(EmptySystem, SpinTurnsByWholeStepsAboutY) {
    PlanetSolid* planet = AstroFactory::BuildSolidPlanet(solidCreateInfo("Spinner", nullptr, 5.0f, 1.0), system);
    planet->rotationSpeed[1] = -9e-5f;
    system->timeStep = 0;
    FrameInput frameInput;
    FrameContext frame{scene.services, frameInput};
    planet->Update(frame);
    Quatd q = planet->transform->rotation;
    EXPECT_EQ(q.w, 1.0);
    system->timeStep = 1000;
    planet->Update(frame);
    // 0.01 · −9e-5 rad/s · 1e5 s about y.
    Vec3d turned = planet->transform->worldRotationMatrix().transformVector({1, 0, 0});
    double angle = std::atan2(-turned.z, turned.x);
    EXPECT_NEAR(angle, -0.09, 1e-6);
    EXPECT_NEAR(turned.y, 0.0, 1e-12);
}

TEST_F(EmptySystem, CreateInfoScaleAndAtmosphereAreAppliedOnlyWhenGiven) {
    PlanetSolidCreateInfo plain = solidCreateInfo("Plain", nullptr, 5.0f, 1.0);
    PlanetSolid* p = AstroFactory::BuildSolidPlanet(plain, system);
    EXPECT_EQ(p->transform->scale, (Vec3d{1, 1, 1}));
    EXPECT_FALSE(p->hasAtmosphereSettings); // hasAtmosphere without a record applies nothing
    EXPECT_EQ(p->typeCode(), uint32_t(ASTRO_PLANET_SOLID));

    PlanetSolidCreateInfo scaled = solidCreateInfo("Scaled", nullptr, 5.0f, 1.0);
    scaled.scale[0] = scaled.scale[1] = scaled.scale[2] = 0.1f;
    scaled.atmosphere = atmospherePreset(2, 0.5f);
    PlanetSolid* s = AstroFactory::BuildSolidPlanet(scaled, system);
    EXPECT_EQ(s->transform->scale, (Vec3d{0.1f, 0.1f, 0.1f}));
    ASSERT_TRUE(s->hasAtmosphereSettings);
    EXPECT_EQ(s->atmosphereSettings.radius, 2.5f);
    EXPECT_EQ(s->atmosphereSettings.densityFalloff, 9.0f);
}

// Fixed-step frames: N frames at N frames a second advance exactly one second at the factor, whatever the
// factor and frame rate.
TEST_F(EmptySystem, FixedStepFramesAdvanceExactlyTheirSecondsAtTheFactor) {
    struct Case {
        int fps;
        double factor;
        int frames;
    };
    for (const Case& c : {Case{30, 10000.0, 60}, Case{24, 10.0, 2400}, Case{60, 1e6, 7}, Case{1, 250.0, 3}}) {
        system->timeStep = 0;
        system->timeRemainder = 0.0;
        system->timeFactor = c.factor;
        for (int k = 0; k < c.frames; ++k)
            system->advanceTimeSeconds(1.0 / c.fps, false, false, true);
        double simulated = (double(system->timeStep) + system->stepFraction) * system->timeStepLength;
        EXPECT_NEAR(simulated, double(c.frames) / c.fps * c.factor, 1e-6 * c.factor) << c.fps << " " << c.factor;
        EXPECT_EQ(system->timeFactor, c.factor);
    }
}
