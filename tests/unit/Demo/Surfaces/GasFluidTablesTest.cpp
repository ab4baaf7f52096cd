#include "Demo/Surfaces/GasFluidTables.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <map>
#include <set>

using namespace Demo;

namespace {

// The first planet drawn from the default seed, recorded once: a changed order of draws or rule shows here.
constexpr uint32_t RecordedBandCount = 59, RecordedStormCount = 6;
constexpr float RecordedBand0[4] = {-0.402854264f, 0.723742127f, 0.104760937f, 0.375810832f}; // latitude, rgb
constexpr float RecordedLastStorm[5] = {783.414917f, 283.214111f, 66.1870804f, 0.455545187f, 0.379988045f};

} // namespace

TEST(GasFluidRandom, DrawsFollowTheShiftedOutputRuleAndStayInRange) {
    // The first output of mt19937 with seed 5489 is 3499211612; (x >> 8) · 2⁻²⁴ = 0.8147236...
    RandomSource random;
    EXPECT_FLOAT_EQ(uniformFloat(random, 0.0f, 1.0f), 0.81472367f);
    // The second output 581869302 scaled into [2, 4).
    EXPECT_FLOAT_EQ(uniformFloat(random, 2.0f, 4.0f), 2.0f + 2.0f * float(581869302u >> 8) * 5.9604645e-8f);

    std::map<uint32_t, int> counts;
    for (int k = 0; k < 33000; ++k) {
        uint32_t v = uniformInt(random, 32, 64);
        ASSERT_GE(v, 32u);
        ASSERT_LE(v, 64u);
        ++counts[v];
    }
    EXPECT_EQ(counts.size(), 33u); // every value occurs
    for (const auto& [value, count] : counts)
        EXPECT_NEAR(count, 1000, 150) << value;
    EXPECT_EQ(uniformInt(random, 7, 7), 7u);
}

TEST(GasFluidRandom, HsvSextantsAndWrappedHues) {
    float rgb[3];
    auto expectRgb = [&](float h, float s, float v, float r, float g, float b) {
        hsvToRgb(h, s, v, rgb);
        EXPECT_NEAR(rgb[0], r, 1e-5f) << h;
        EXPECT_NEAR(rgb[1], g, 1e-5f) << h;
        EXPECT_NEAR(rgb[2], b, 1e-5f) << h;
    };
    expectRgb(0.0f, 1.0f, 1.0f, 1, 0, 0);
    expectRgb(1.0f / 6.0f, 1.0f, 1.0f, 1, 1, 0);
    expectRgb(1.0f / 3.0f, 1.0f, 0.5f, 0, 0.5f, 0);
    expectRgb(2.0f / 3.0f, 1.0f, 1.0f, 0, 0, 1);
    expectRgb(0.5f, 0.0f, 0.7f, 0.7f, 0.7f, 0.7f); // no saturation: grey
    expectRgb(1.0f, 1.0f, 1.0f, 1, 0, 0);          // the circle closes
    // A hue below 0 counts back from red: every channel stays within [0, value].
    hsvToRgb(-0.05f, 0.8f, 0.9f, rgb);
    float wrapped[3];
    hsvToRgb(0.95f, 0.8f, 0.9f, wrapped);
    for (int k = 0; k < 3; ++k) {
        EXPECT_NEAR(rgb[k], wrapped[k], 1e-5f);
        EXPECT_GE(rgb[k], 0.0f);
    }
}

TEST(GasFluidTables, TheDefaultSeedGivesTheSameTablesEveryRun) {
    RandomSource first, second;
    FluidSimulationBlock a = makeFluidSimulationBlock(first);
    FluidSimulationBlock b = makeFluidSimulationBlock(second);
    EXPECT_EQ(std::memcmp(&a, &b, sizeof(a)), 0);
    // The next planet from the same generator differs.
    FluidSimulationBlock c = makeFluidSimulationBlock(first);
    EXPECT_NE(std::memcmp(&a, &c, sizeof(a)), 0);

    EXPECT_EQ(a.width, 2048u);
    EXPECT_EQ(a.height, 1024u);
    EXPECT_EQ(a.cellCount, 2097152u);
    EXPECT_FLOAT_EQ(a.vorticityConfinement, 0.2f);
    EXPECT_FLOAT_EQ(a.stormWind, 1.8f);
    EXPECT_FLOAT_EQ(a.jetRelaxation, 0.03f);
}

TEST(GasFluidTables, TheDefaultSeedGivesTheRecordedPlanet) {
    RandomSource random;
    FluidSimulationBlock block = makeFluidSimulationBlock(random);
    EXPECT_EQ(block.bandCount, RecordedBandCount);
    EXPECT_EQ(block.stormCount, RecordedStormCount);
    const FluidBand& band = block.bands[0];
    EXPECT_FLOAT_EQ(band.latitude, RecordedBand0[0]);
    EXPECT_FLOAT_EQ(band.color[0], RecordedBand0[1]);
    EXPECT_FLOAT_EQ(band.color[1], RecordedBand0[2]);
    EXPECT_FLOAT_EQ(band.color[2], RecordedBand0[3]);
    EXPECT_FLOAT_EQ(band.width, 0.0025f);
    EXPECT_FLOAT_EQ(band.colorRelaxation, 0.001125f);
    const FluidStorm& storm = block.storms[block.stormCount - 1];
    EXPECT_FLOAT_EQ(storm.centerX, RecordedLastStorm[0]);
    EXPECT_FLOAT_EQ(storm.centerY, RecordedLastStorm[1]);
    EXPECT_FLOAT_EQ(storm.radius, RecordedLastStorm[2]);
    EXPECT_FLOAT_EQ(storm.spin, RecordedLastStorm[3]);
    EXPECT_FLOAT_EQ(storm.color[0], RecordedLastStorm[4]);
    EXPECT_FLOAT_EQ(storm.colorRelaxation, 0.0018f);
}

TEST(GasFluidTables, BandsAndStormsKeepTheirRulesOverManyPlanets) {
    RandomSource random;
    int bands = 0, copies = 0, blocks = 0, crowded = 0;
    for (int planet = 0; planet < 300; ++planet) {
        FluidSimulationBlock block = makeFluidSimulationBlock(random, 1024, 512);
        ++blocks;
        ASSERT_GE(block.bandCount, 32u);
        ASSERT_LE(block.bandCount, 64u);
        ASSERT_GE(block.stormCount, 3u);
        ASSERT_LE(block.stormCount, 8u);
        for (uint32_t i = 0; i < block.bandCount; ++i) {
            const FluidBand& b = block.bands[i];
            ASSERT_GE(b.latitude, -0.54f);
            ASSERT_LT(b.latitude, 0.54f);
            for (float c : b.color) {
                ASSERT_GE(c, 0.0f);
                ASSERT_LE(c, 1.0f);
            }
            const bool outer = i == 0 || i + 1 == block.bandCount;
            if (i == 0)
                continue;
            ++bands;
            const FluidBand& previous = block.bands[i - 1];
            if (b.latitude == previous.latitude) {
                // A copy of its predecessor: every field the same.
                ++copies;
                ASSERT_EQ(std::memcmp(&b, &previous, sizeof(FluidBand)), 0) << planet << " " << i;
            } else {
                // A drawn latitude (before its 0.9 scale) keeps 0.25 from the predecessor's latitude.
                ASSERT_GE(std::fabs(b.latitude / 0.9f - previous.latitude), 0.25f - 1e-5f);
                ASSERT_FLOAT_EQ(b.width, outer ? 0.0025f : 0.001f);
            }
        }
        for (uint32_t j = 0; j < block.stormCount; ++j) {
            const FluidStorm& s = block.storms[j];
            ASSERT_GE(s.centerX, 0.1f * 1024);
            ASSERT_LT(s.centerX, 0.9f * 1024);
            ASSERT_GE(s.centerY, 0.25f * 512);
            ASSERT_LT(s.centerY, 0.75f * 512);
            ASSERT_GE(s.radius, 0.04f * 512);
            ASSERT_LT(s.radius, 0.07f * 512);
            ASSERT_GE(std::fabs(s.spin), 0.5f * 0.9f - 1e-6f);
            ASSERT_LT(std::fabs(s.spin), 0.9f * 0.9f);
            for (float c : s.color) {
                ASSERT_GE(c, 0.0f);
                ASSERT_LE(c, 1.0f);
            }
            for (uint32_t k = 0; k < j; ++k) {
                const FluidStorm& o = block.storms[k];
                float d = std::hypot(s.centerX - o.centerX, s.centerY - o.centerY);
                if (d < (s.radius + o.radius) * 1.5f)
                    ++crowded; // only after 50 failed placements
            }
        }
    }
    // One band in five is a copy.
    EXPECT_NEAR(double(copies) / bands, 0.2, 0.02);
    // Eight storms of at most 0.07 of the height fit the placement region easily: a crowded pair is rare.
    EXPECT_LE(crowded, blocks / 50);
}

TEST(GasFluidTables, StormsOfTheDefaultPlanetKeepApart) {
    RandomSource random;
    FluidSimulationBlock block = makeFluidSimulationBlock(random);
    for (uint32_t j = 0; j < block.stormCount; ++j)
        for (uint32_t k = 0; k < j; ++k) {
            const FluidStorm &s = block.storms[j], &o = block.storms[k];
            EXPECT_GE(std::hypot(s.centerX - o.centerX, s.centerY - o.centerY), (s.radius + o.radius) * 1.5f)
                << j << " " << k;
        }
}

namespace {

// What each pass reads and writes (the shaders), by role; the colour field is read and written in place by its
// advection, which keeps two versions per cell.
struct PassAccess {
    std::set<FluidBuffer> reads, writes;
};

PassAccess accessOf(FluidPass pass) {
    using B = FluidBuffer;
    switch (pass) {
    case FluidPass::Init:
        return {{}, {B::Color, B::Velocity, B::OtherVelocity, B::Pressure}};
    case FluidPass::Update: // the forcing is kept with the velocity; whether colour moves alternates between both
        return {{B::Velocity, B::OtherVelocity}, {B::Velocity}};
    case FluidPass::PressureSolvePrepare:
        return {{B::Velocity}, {B::SolveInput}};
    case FluidPass::PressureSolveRB:
        return {{B::SolveInput, B::Pressure}, {B::Pressure}};
    case FluidPass::ApplyPressureSolve:
        return {{B::Pressure, B::Velocity}, {B::Velocity}};
    case FluidPass::ComputeVorticity:
        return {{B::Velocity}, {B::Vorticity}};
    case FluidPass::ApplyVorticity:
        return {{B::Vorticity, B::Velocity}, {B::Velocity}};
    case FluidPass::AdvectionColor:
        return {{B::OtherVelocity, B::Color}, {B::Color}};
    case FluidPass::AdvectionVelocity:
        return {{B::OtherVelocity}, {B::Velocity}};
    case FluidPass::RenderImage:
        return {{B::Color}, {}};
    case FluidPass::Count:
        break;
    }
    return {};
}

// Replays steps over the two physical velocity buffers and reports the first hazard: a read of a buffer written
// earlier without a barrier that made the write visible to reads since, or a write after a write without a
// barrier that made the first write available.
std::string firstHazard(const std::vector<std::vector<FluidCommand>>& steps) {
    int current = 0; // physical buffer in the Velocity role
    auto physical = [&](FluidBuffer role) {
        if (role == FluidBuffer::Velocity)
            return 10 + current;
        if (role == FluidBuffer::OtherVelocity)
            return 11 - current;
        return int(role);
    };
    std::map<int, bool> writtenUnsynced, writtenInvisible;
    for (size_t s = 0; s < steps.size(); ++s)
        for (const FluidCommand& c : steps[s]) {
            if (c.kind == FluidCommand::SwapVelocities) {
                current = 1 - current;
            } else if (c.kind == FluidCommand::BufferBarrier) {
                int b = physical(c.buffer);
                if (c.srcAccess & AccessWrite) {
                    writtenUnsynced[b] = false;
                    if (c.dstAccess & AccessRead)
                        writtenInvisible[b] = false;
                }
            } else if (c.kind == FluidCommand::Dispatch) {
                PassAccess a = accessOf(c.pass);
                for (FluidBuffer r : a.reads)
                    if (writtenInvisible[physical(r)])
                        return std::string(fluidPassName(c.pass)) + " reads an unsynchronised write, step " +
                               std::to_string(s);
                for (FluidBuffer w : a.writes)
                    if (writtenUnsynced[physical(w)] && !a.reads.count(w))
                        return std::string(fluidPassName(c.pass)) + " overwrites an unsynchronised write, step " +
                               std::to_string(s);
                for (FluidBuffer w : a.writes)
                    writtenUnsynced[physical(w)] = writtenInvisible[physical(w)] = true;
            }
        }
    return {};
}

std::vector<FluidPass> passesOf(const std::vector<FluidCommand>& commands) {
    std::vector<FluidPass> passes;
    for (const FluidCommand& c : commands)
        if (c.kind == FluidCommand::Dispatch)
            passes.push_back(c.pass);
    return passes;
}

} // namespace

TEST(GasFluidStep, PassesRunInOrderWithTheirDispatchSizes) {
    using P = FluidPass;
    using K = FluidStepKind;
    const std::vector<P> flow = {P::Update,          P::PressureSolvePrepare, P::PressureSolveRB,
                                 P::PressureSolveRB, P::ApplyPressureSolve,   P::ComputeVorticity,
                                 P::ApplyVorticity,  P::AdvectionVelocity};
    std::vector<P> first = flow, colour = flow;
    first.insert(first.begin(), P::Init);
    first.push_back(P::RenderImage);
    colour.insert(colour.end() - 1, P::AdvectionColor);
    EXPECT_EQ(passesOf(fluidStepCommands(K::First, 2048, 1024)), first);
    EXPECT_EQ(passesOf(fluidStepCommands(K::Flow, 2048, 1024)), flow);
    EXPECT_EQ(passesOf(fluidStepCommands(K::Colour, 2048, 1024)), colour);
    // Step 0 is the first; then the colour moves every few steps.
    std::vector<K> kinds;
    for (uint32_t k = 0; k < 2 * FluidColourSteps + 1; ++k)
        kinds.push_back(fluidStepKind(k));
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), K::First), 1);
    EXPECT_EQ(std::count(kinds.begin(), kinds.end(), K::Colour), 2);
    EXPECT_EQ(kinds.back(), K::Colour);

    // The flow passes cover the 512 x 256 nodes, the colour passes the 2048 x 1024 cells.
    uint32_t parities = 0;
    for (const FluidCommand& c : fluidStepCommands(K::First, 2048, 1024)) {
        if (c.kind != FluidCommand::Dispatch)
            continue;
        if (c.pass == P::RenderImage) {
            EXPECT_EQ(c.groups[0], 256u);
            EXPECT_EQ(c.groups[1], 128u);
        } else if (c.pass == P::PressureSolveRB) {
            EXPECT_EQ(c.groups[0], 1024u);
            EXPECT_EQ(c.parity, parities++);
        } else {
            EXPECT_EQ(c.groups[0], c.pass == P::Init ? 32768u : 2048u) << fluidPassName(c.pass);
        }
    }
    EXPECT_EQ(fluidDispatch(P::AdvectionColor, 2048, 1024).groups[0], 32768u);

    // The velocity roles exchange once per step, between the vorticity and the advection passes.
    std::vector<FluidCommand> later = fluidStepCommands(K::Colour, 2048, 1024);
    auto swap = std::find_if(later.begin(), later.end(),
                             [](const FluidCommand& c) { return c.kind == FluidCommand::SwapVelocities; });
    ASSERT_NE(swap, later.end());
    EXPECT_EQ(passesOf({later.begin(), swap}).back(), P::ApplyVorticity);
    EXPECT_EQ(passesOf({swap, later.end()}).front(), P::AdvectionColor);
    // Only the steps that paint the image move it out of shader-read layout, and they move it back.
    auto imageBarriers = [](const std::vector<FluidCommand>& commands) {
        std::vector<FluidCommand::Kind> kinds;
        for (const FluidCommand& c : commands)
            if (c.kind == FluidCommand::ImageToGeneral || c.kind == FluidCommand::ImageToShaderRead)
                kinds.push_back(c.kind);
        return kinds;
    };
    const std::vector<FluidCommand::Kind> paired = {FluidCommand::ImageToGeneral, FluidCommand::ImageToShaderRead};
    EXPECT_EQ(imageBarriers(later), paired);
    EXPECT_EQ(imageBarriers(fluidStepCommands(K::First, 2048, 1024)), paired);
    EXPECT_TRUE(imageBarriers(fluidStepCommands(K::Flow, 2048, 1024)).empty());
    EXPECT_EQ(later.back().kind, FluidCommand::ImageToShaderRead);
}

TEST(GasFluidStep, EveryReadSeesTheWritesBeforeItOverSeveralSteps) {
    std::vector<std::vector<FluidCommand>> steps;
    for (uint32_t k = 0; k < 3 * FluidColourSteps; ++k)
        steps.push_back(fluidStepCommands(fluidStepKind(k), 256, 128));
    EXPECT_EQ(firstHazard(steps), "");

    // Without the colour-field barrier at the end of a step that wrote it, the next colour advection would
    // overwrite colours still being written.
    for (auto& step : steps) {
        auto last = std::find_if(step.rbegin(), step.rend(), [](const FluidCommand& c) {
            return c.kind == FluidCommand::BufferBarrier && c.buffer == FluidBuffer::Color;
        });
        if (last != step.rend())
            step.erase(std::next(last).base());
    }
    EXPECT_NE(firstHazard(steps).find("CS_advectionColor"), std::string::npos) << firstHazard(steps);
}

TEST(GasFluidStep, StepsFollowAnimationTimeAtMostTwoAFrame) {
    // Frame times (seconds) against a 2-second step, and the steps each frame runs.
    struct Case {
        const char* what;
        std::vector<double> frames;
        std::vector<uint32_t> steps;
    } cases[] = {
        {"fast frames share a step", {0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5, 0.5}, {0, 0, 0, 1, 0, 0, 0, 1}},
        {"slow frames catch up", {3.0, 3.0, 3.0, 3.0}, {1, 2, 1, 2}},
        {"a stall queues two steps, not a burst", {30.0, 0.1, 0.1, 0.1}, {2, 1, 0, 0}},
        {"negative and NaN time count as none", {-5.0, std::nan(""), 1.0, 1.0}, {0, 0, 0, 1}},
    };
    for (const Case& c : cases) {
        FluidClock clock;
        std::vector<uint32_t> steps;
        for (double seconds : c.frames)
            steps.push_back(advanceFluidClock(clock, seconds, 2.0, 2));
        EXPECT_EQ(steps, c.steps) << c.what;
    }
    // A recording at 30 frames a second and a CPU driver's frames of 0.55 s run the same steps per second of
    // animation time.
    FluidClock recorded, slow;
    uint32_t recordedSteps = 0, slowSteps = 0;
    for (int k = 0; k < 30 * 11; ++k)
        recordedSteps += advanceFluidClock(recorded, 1.0 / 30.0, FluidStepSeconds);
    for (int k = 0; k < 20; ++k)
        slowSteps += advanceFluidClock(slow, 0.55, FluidStepSeconds);
    // 11 s of animation time each.
    EXPECT_NEAR(double(recordedSteps), 11.0 / FluidStepSeconds, 1.0);
    EXPECT_NEAR(double(slowSteps), 11.0 / FluidStepSeconds, 1.0);
}

TEST(GasFluidStep, PlanetsOutOfSightStepLessOften) {
    EXPECT_EQ(fluidStepInterval(true, 400.0), 1u);
    EXPECT_EQ(fluidStepInterval(true, 64.0), 1u);
    // Smaller discs step less often, never more often than a larger one; hidden planets least often.
    uint32_t previous = 1;
    for (double radius : {40.0, 16.0, 8.0, 3.0, 1.0, 0.0}) {
        uint32_t interval = fluidStepInterval(true, radius);
        EXPECT_GE(interval, previous) << radius;
        previous = interval;
    }
    EXPECT_GT(fluidStepInterval(true, 20.0), 1u) << "a gas giant far behind the focused body";
    EXPECT_GT(fluidStepInterval(false, 400.0), fluidStepInterval(true, 1.0));
}

TEST(GasFluidStep, OnlyGridsThePassesCanCoverAreValid) {
    EXPECT_TRUE(isValidFluidGrid(2048, 1024));
    EXPECT_TRUE(isValidFluidGrid(256, 8));
    EXPECT_FALSE(isValidFluidGrid(128, 64));   // a work group of nodes would span two rows
    EXPECT_FALSE(isValidFluidGrid(1536, 768)); // not a power of two
    EXPECT_FALSE(isValidFluidGrid(2048, 1022));
    EXPECT_FALSE(isValidFluidGrid(0, 0));
}
