#include "Demo/Astro/Star.h"
#include "Demo/Spacecraft/SpacecraftLighting.h"
#include "Demo/Spacecraft/SpacecraftVisual.h"
#include "Demo/Spacecraft/Thrusters.h"
#include "Engine/Meshes/Geometry.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <unistd.h>

using namespace Demo;

namespace {

constexpr uint32_t Solid = 2, Gas = 3;

// Rotation by `angle` radians about a unit axis.
Quatd aboutAxis(const Vec3d& axis, double angle) {
    double s = std::sin(angle * 0.5);
    return {axis.x * s, axis.y * s, axis.z * s, std::cos(angle * 0.5)};
}

} // namespace

TEST(CraftShadow, ABodyBetweenStarAndCraftIsListedWithinTheStarsAngularRadiusAndNeverFromBehind) {
    // Star of radius 100 at the origin, craft 1000 units out: the star spans asin(0.1) seen from the craft.
    const Vec3d star{0, 0, 0}, craft{1000, 0, 0};
    ShadowBlock block = computeCraftShadowBlock(star, 100.0, craft, {{{600, 0, 0}, 5.0, Solid, false}});
    ASSERT_EQ(block.occluderCount, 1u);
    EXPECT_FLOAT_EQ(block.occluders[0][0], 600.0f);
    EXPECT_FLOAT_EQ(block.occluders[0][3], 5.0f);
    EXPECT_FLOAT_EQ(block.starRadius, 100.0f);

    // The edge of the test: θ = asin(5/600) + asin(100/1000) at the star, just inside and just outside.
    const double edge = std::asin(5.0 / 600.0) + std::asin(0.1);
    auto at = [](double angle) { return Vec3d{600 * std::cos(angle), 600 * std::sin(angle), 0}; };
    EXPECT_EQ(computeCraftShadowBlock(star, 100.0, craft, {{at(edge - 1e-4), 5.0, Gas, false}}).occluderCount, 1u);
    EXPECT_EQ(computeCraftShadowBlock(star, 100.0, craft, {{at(edge + 1e-4), 5.0, Gas, false}}).occluderCount, 0u);

    // Behind the craft (seen from the craft it lies away from the star), even when huge and on the line.
    for (double radius : {5.0, 500.0})
        EXPECT_EQ(computeCraftShadowBlock(star, 100.0, craft, {{{1200, 0, 0}, radius, Solid, false}}).occluderCount,
                  0u);
}

TEST(CraftShadow, PastSixteenOccludersTheRestAreLeftOutInCandidateOrder) {
    std::vector<OccluderCandidate> bodies;
    for (int k = 0; k < 17; ++k)
        bodies.push_back({{100.0 + 10.0 * k, 0, 0}, 1.0, Solid, false});
    ShadowBlock block = computeCraftShadowBlock({0, 0, 0}, 10.0, {1000, 0, 0}, bodies);
    ASSERT_EQ(block.occluderCount, 16u);
    EXPECT_FLOAT_EQ(block.occluders[15][0], 250.0f);
}

TEST(CraftLights, EnabledLightsAreMovedIntoTheWorldAndTheSeventeenthIsLeftOut) {
    StarLight star{};
    star.color[0] = 1.0f;
    star.color[1] = 0.95f;
    star.color[2] = 0.9f;
    star.intensity = 10.0f;
    star.position[0] = -5.0f;
    Mat4d world =
        Mat4d::translate({100, 0, 0}) * Mat4d::rotation(aboutAxis({0, 1, 0}, M_PI / 2)) * Mat4d::scale({0.1, 0.1, 0.1});

    std::vector<EngineLight> lights(18);
    for (int k = 0; k < 18; ++k) {
        lights[k].enabled = k != 1;
        lights[k].position[2] = float(k); // model frame: k along z
        lights[k].p0 = float(k);
        lights[k].intensity = 0.5f;
    }
    CraftLightsBlock block = computeCraftLightsBlock(star, lights, world);
    EXPECT_FLOAT_EQ(block.starColor[1], 0.95f);
    EXPECT_FLOAT_EQ(block.starIntensity, 10.0f);
    EXPECT_FLOAT_EQ(block.starPosition[0], -5.0f);
    ASSERT_EQ(block.lightCount, 16u);
    // Light 1 is off: entries are lights 0, 2, 3, ... 16; light 17 does not fit.
    EXPECT_FLOAT_EQ(block.lights[1].p0, 2.0f);
    EXPECT_FLOAT_EQ(block.lights[15].p0, 16.0f);
    // (0, 0, 2) in the model frame: scaled by 0.1, turned a quarter about y onto +x, moved to x = 100.
    EXPECT_NEAR(block.lights[1].position[0], 100.2f, 1e-4);
    EXPECT_NEAR(block.lights[1].position[2], 0.0f, 1e-4);
    EXPECT_FLOAT_EQ(block.lights[1].intensity, 0.5f);
}

TEST(Thrusters, WithoutThrustTheEnginesEmitNothingAndTheirLightsFadeOutBelowOnePercent) {
    Thruster t;
    t.target = 0.0f;
    t.smoothed = 0.7f;
    EngineLight light; // starts at intensity 1
    const double factor = 10000.0, ms = 50.0;
    const float alpha = float(factor * 2e-7 * ms); // 0.1
    float expected = 1.0f;
    int frames = 0;
    while (light.intensity > 0.01f || frames == 0) {
        EXPECT_EQ(updateThruster(t, light, true, factor, ms), 0u);
        EXPECT_EQ(t.smoothed, 0.0f); // a zero target bypasses the smoothing
        expected *= 1.0f - alpha;
        EXPECT_NEAR(light.intensity, expected, 1e-6f);
        EXPECT_EQ(light.enabled, light.intensity > 0.01f);
        if (frames == 0) {
            EXPECT_TRUE(light.enabled); // 0.9 after the first frame
        }
        ASSERT_LT(++frames, 100);
    }
    EXPECT_FALSE(light.enabled);
    EXPECT_EQ(frames, 44); // 0.9^43 > 0.01 >= 0.9^44
    EXPECT_EQ(t.carry, 0.0f);
}

TEST(Thrusters, AtTimeFactorZeroNothingChanges) {
    Thruster t;
    t.target = 1.0f;
    t.smoothed = 0.4f;
    t.carry = 0.25f;
    EngineLight light;
    light.intensity = 0.6f;
    light.enabled = true;
    for (int frame = 0; frame < 10; ++frame) {
        EXPECT_EQ(updateThruster(t, light, true, 0.0, 16.0), 0u);
        EXPECT_EQ(t.smoothed, 0.4f);
        EXPECT_EQ(light.intensity, 0.6f);
        EXPECT_TRUE(light.enabled);
        EXPECT_EQ(t.carry, 0.25f);
    }
}

TEST(Thrusters, EmissionIsPerSimulatedSecondAndTheCarryKeepsTheFractions) {
    // One particle per simulated second at full throttle: 0.4 s frames at factor 1 emit on every third frame.
    Thruster t;
    t.target = 1.0f;
    EngineLight light;
    const uint32_t expected[6] = {0, 0, 1, 0, 1, 0};
    const float carries[6] = {0.4f, 0.8f, 0.2f, 0.6f, 0.0f, 0.4f};
    uint32_t total = 0;
    for (int frame = 0; frame < 6; ++frame) {
        uint32_t n = updateThruster(t, light, false, 1.0, 400.0);
        EXPECT_EQ(n, expected[frame]) << frame;
        EXPECT_NEAR(t.carry, carries[frame], 1e-5f) << frame;
        total += n;
    }
    EXPECT_EQ(total, 2u); // 2.4 simulated seconds

    // At half strength and a time factor of 1000, a 16 ms frame holds 8 particles exactly.
    Thruster half;
    half.target = 1.0f;
    half.strength = 0.5f;
    EXPECT_EQ(updateThruster(half, light, false, 1000.0, 16.0), 8u);
    EXPECT_NEAR(half.carry, 0.0f, 1e-6f);
    // The count scales with the time factor, so an hour-long simulated frame asks for many.
    EXPECT_EQ(updateThruster(half, light, false, 1e6, 1000.0), 500000u);
}

TEST(Thrusters, SmoothedMainEnginesRampUpWithTheTimeFactor) {
    Thruster t;
    t.target = mainEngineTarget({0, 0, 2e-15});
    EXPECT_EQ(t.target, 1.0f);
    EXPECT_EQ(mainEngineTarget({0, 1e-16, 0}), 0.0f);
    EngineLight light;
    light.intensity = 0.0f;
    updateThruster(t, light, true, 10000.0, 100.0); // α = 0.2
    EXPECT_NEAR(t.smoothed, 0.2f, 1e-6f);
    EXPECT_NEAR(light.intensity, 0.2f, 1e-6f);
    updateThruster(t, light, true, 10000.0, 100.0);
    EXPECT_NEAR(t.smoothed, 0.36f, 1e-6f);
    // α is clamped to 1: a long frame at a high factor jumps to the target.
    updateThruster(t, light, true, 1e9, 1000.0);
    EXPECT_EQ(t.smoothed, 1.0f);
}

TEST(Thrusters, ThrottlesAreTheEmittersSpeedsAlongTheirDirectionsWhileTheCraftTurns) {
    const auto& mounts = craftEngineMounts();
    // A small roll about z from A to B: the point p moves by ε (z × p); the throttle is that motion along e.
    const double eps = 1e-3;
    for (const Quatd& a : {Quatd{}, aboutAxis(normalize(Vec3d{1, 2, -1}), 0.7)}) {
        Quatd b = a * aboutAxis({0, 0, 1}, eps);
        float throttle[MaxEmitters];
        computeThrusterThrottles(a, b, mounts.data(), uint32_t(mounts.size()), throttle);
        for (size_t i = 0; i < mounts.size(); ++i) {
            const Vec3d& p = mounts[i].position;
            double expected = eps * dot(cross({0, 0, 1}, p), mounts[i].direction);
            EXPECT_NEAR(throttle[i], expected, 1e-5) << i;
        }
        EXPECT_NEAR(throttle[0], 0.0, 1e-9); // main engines fire along the roll axis
        EXPECT_GT(throttle[2], 0.0f);
        EXPECT_LT(throttle[3], 0.0f);
        for (size_t i = mounts.size(); i < MaxEmitters; ++i)
            EXPECT_EQ(throttle[i], 0.0f);

        // The smoothed attitude is a component-wise blend, not of unit length: only its direction counts.
        Quatd blend{0.9 * b.x + 0.1 * a.x, 0.9 * b.y + 0.1 * a.y, 0.9 * b.z + 0.1 * a.z, 0.9 * b.w + 0.1 * a.w};
        Quatd scaled{blend.x * 3, blend.y * 3, blend.z * 3, blend.w * 3};
        float fromBlend[MaxEmitters], fromScaled[MaxEmitters];
        computeThrusterThrottles(a, blend, mounts.data(), uint32_t(mounts.size()), fromBlend);
        computeThrusterThrottles(a, scaled, mounts.data(), uint32_t(mounts.size()), fromScaled);
        for (size_t i = 0; i < mounts.size(); ++i)
            EXPECT_NEAR(fromBlend[i], fromScaled[i], 1e-7) << i;
    }
}

TEST(Thrusters, AttitudeTargetsScaleTheStrongestPositiveThrottleToOne) {
    std::vector<Thruster> thrusters(4);
    for (uint32_t k = 0; k < 4; ++k)
        thrusters[k].emitter = 2 + k;
    float throttle[MaxEmitters] = {};
    throttle[2] = 0.5f;
    throttle[3] = -1.0f;
    throttle[4] = 0.25f;
    throttle[5] = 0.0f;

    setThrusterTargets(thrusters, throttle, true, 0.8f); // into the burn
    EXPECT_FLOAT_EQ(thrusters[0].target, 1.0f);
    EXPECT_FLOAT_EQ(thrusters[1].target, -2.0f);
    EXPECT_FLOAT_EQ(thrusters[2].target, 0.5f);
    EXPECT_FLOAT_EQ(thrusters[3].target, 0.0f);
    EngineLight light;
    EXPECT_EQ(updateThruster(thrusters[1], light, false, 1e5, 100.0), 0u) << "a negative throttle never fires";
    EXPECT_GT(updateThruster(thrusters[0], light, false, 1e5, 100.0), 0u);

    setThrusterTargets(thrusters, throttle, true, 0.3f); // out of it: the signs turn
    EXPECT_FLOAT_EQ(thrusters[1].target, 1.0f);
    EXPECT_FLOAT_EQ(thrusters[0].target, -0.5f);

    float none[MaxEmitters] = {};
    none[2] = -0.1f;
    setThrusterTargets(thrusters, none, true, 0.8f);
    for (const Thruster& t : thrusters)
        EXPECT_EQ(t.target, 0.0f);
    setThrusterTargets(thrusters, throttle, false, 0.8f);
    for (const Thruster& t : thrusters)
        EXPECT_EQ(t.target, 0.0f);
}

TEST(Thrusters, EnginesFollowTheCraftAndOnlyFiringOnesAskForParticles) {
    SpacecraftEngines engines;
    const auto& mounts = craftEngineMounts();
    for (uint32_t k = 0; k < mounts.size(); ++k)
        engines.add(mounts[k], k);
    ASSERT_EQ(engines.mainEngines.size(), 2u);
    ASSERT_EQ(engines.thrusters.size(), 8u);
    EXPECT_FLOAT_EQ(engines.lights[0].position[2], 2.5f); // 10 × 0.2 + 0.25 × 2
    EXPECT_FLOAT_EQ(engines.lights[2].position[0], 1.5f + 0.25f * 7.0710678f);

    // The craft at (50, 0, 0), scaled 0.1 and turned half a turn about y, burning at a time factor of 1e4.
    EngineFrameInput in;
    Quatd turn = aboutAxis({0, 1, 0}, M_PI);
    in.rotation = Mat4d::rotation(turn);
    in.world = Mat4d::translate({50, 0, 0}) * in.rotation * Mat4d::scale({0.1, 0.1, 0.1});
    in.velocity = {0, 3e-4, 0};
    in.thrustAcceleration = {0, 0, -1e-8};
    in.timeFactor = 1e4;
    in.frameMilliseconds = 100.0;
    uint32_t seed = 0;
    engines.update(in, [&] { return ++seed; });

    // Every light starts at intensity 1, so the first update enables all of them.
    for (const EngineLight& light : engines.lights)
        EXPECT_TRUE(light.enabled);
    ASSERT_EQ(engines.placements.size(), 10u);
    // Main engine 0 sits at (0.1, 0, 0.2) from the centre in world units, turned about y: (-0.1, 0, -0.2).
    EXPECT_NEAR(engines.placements[0].position[0], 49.9f, 1e-4);
    EXPECT_NEAR(engines.placements[0].position[2], -0.2f, 1e-4);
    EXPECT_NEAR(engines.placements[0].direction[2], -2.0f, 1e-6);
    EXPECT_NEAR(engines.placements[0].velocity[1], 30.0f, 1e-4); // 3e-4 units/s in units per 1e5 s
    // Only the main engines fire (no slew): smoothed to α = 0.2 at once, 0.1 s · 1e4 · 0.2 = 200 particles.
    ASSERT_EQ(engines.requests.size(), 2u);
    EXPECT_EQ(engines.requests[0].emitter, 0u);
    EXPECT_EQ(engines.requests[1].emitter, 1u);
    EXPECT_EQ(engines.requests[0].count, 200u);
    EXPECT_NE(engines.requests[0].seed, engines.requests[1].seed);

    // The burn ends: nothing more is asked for.
    in.thrustAcceleration = {};
    engines.update(in, [&] { return ++seed; });
    EXPECT_TRUE(engines.requests.empty());
}

TEST(ParticleRules, TimeStepsAndWorkGroups) {
    EXPECT_GT(particleTimeStep(0.0f, 10.0), 0.0f); // a 0 ms frame still steps 0.01 ms
    EXPECT_FLOAT_EQ(particleTimeStep(0.0f, 10.0), float(0.01 * 0.001 * 10.0 / 1e5));
    EXPECT_FLOAT_EQ(particleTimeStep(20.0f, 1e5), 0.02f);
    EXPECT_EQ(emitGroupCount(100), 2u);
    EXPECT_EQ(emitGroupCount(64), 1u);
    EXPECT_EQ(emitGroupCount(65), 2u);
    EXPECT_EQ(emitGroupCount(0xFFFFFFFFu), 67108864u); // no overflow
    EXPECT_EQ(layerDrawOffset(3), 60u);
    EXPECT_EQ(layerGroupCount(5), 1u);
    ParticleAttractor a = particleAttractor({1, 2, 3}, 2.5e-6);
    EXPECT_FLOAT_EQ(a.strength, 25000.0f);
    EXPECT_FLOAT_EQ(a.position[2], 3.0f);
}

TEST(SpacecraftModel, GeometryThatCannotBeDrawnIsNamed) {
    GeometryData g;
    g.positions = {0, 0, 0, 1, 0, 0, 0, 1, 0};
    g.normals = {0, 0, 1, 0, 0, 1, 0, 0, 1};
    g.tangents = {1, 0, 0, 1, 0, 0, 1, 0, 0};
    g.texCoords = {0, 0, 1, 0, 0, 1};
    g.indices = {0, 1, 2};
    EXPECT_EQ(modelGeometryProblem(g), "");

    GeometryData bad = g;
    bad.indices = {0, 1, 3};
    EXPECT_NE(modelGeometryProblem(bad).find("vertex 3 of 3"), std::string::npos);
    bad = g;
    bad.tangents.clear();
    EXPECT_NE(modelGeometryProblem(bad).find("tangents"), std::string::npos);
    bad = g;
    bad.positions[4] = std::nanf("");
    EXPECT_NE(modelGeometryProblem(bad).find("finite"), std::string::npos);
    bad = g;
    bad.indices.clear();
    EXPECT_NE(modelGeometryProblem(bad).find("triangles"), std::string::npos);

    SpacecraftAssetPaths paths = spacecraftAssetPaths("assets", "Vessel_11");
    EXPECT_EQ(paths.model, "assets/Vessel_11/Vessel_11.obj");
    EXPECT_EQ(paths.normal, "assets/Vessel_11/Vessel_11_DefaultMaterial_Normal.dds");
}

TEST(SpacecraftModel, MissingOrCorruptModelFilesStopWithTheirNameNeverACrash) {
    namespace fs = std::filesystem;
    const fs::path directory = fs::temp_directory_path() / ("kestrune_model_" + std::to_string(::getpid()));
    fs::create_directories(directory);
    const std::string path = (directory / "Vessel_11.obj").string();
    auto write = [&](const std::string& bytes) {
        std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
    };
    auto stops = [&](const char* what) {
        try {
            importSpacecraftModel(path);
            ADD_FAILURE() << what << ": imported";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find("Unable to load model file [" + path + "]"), std::string::npos)
                << what << ": " << e.what();
        }
    };
    stops("missing");
    write(std::string("\x7f"
                      "ELF\x02\x01\x01\0\0\0garbage\xff\xfe",
                      20));
    stops("binary garbage");
    write("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\nf 1/1/1 2/1/1 9/1/1\n");
    stops("a face past the vertices");
    write("v 0 0 0\nv 1 0 0\n");
    stops("no faces");
    write("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    stops("no texture coordinates, so no tangents");
    write("v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\nf 1/1 2/2 3/3\n");
    GeometryData g = importSpacecraftModel(path);
    EXPECT_EQ(g.indices.size(), 3u);
    EXPECT_EQ(modelGeometryProblem(g), "");
    fs::remove_all(directory);
}
