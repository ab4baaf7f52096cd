// The prediction line's vertices and segments, and the orbit lines' points.
#include "Demo/Astro/AstroObject.h"
#include "Demo/Spacecraft/OrbitLine.h"
#include "Demo/Spacecraft/PredictionLine.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstring>
#include <vector>

using namespace Demo;

namespace {

// A ring of predicted states with one dominant index per state and a body cache of two bodies.
struct SyntheticPrediction {
    static constexpr uint64_t RingSize = 8192;
    SyntheticPrediction() : ring(RingSize), cache(2 * 4096) {
        for (uint64_t s = 0; s < RingSize; ++s) {
            PredictedState& p = ring[s];
            p.position[0] = double(s), p.position[1] = 1.0, p.position[2] = 2.0;
            p.velocity[0] = p.velocity[1] = p.velocity[2] = 0.0;
            p.dominant = 0;
        }
        for (uint64_t slot = 0; slot < 4096; ++slot) {
            cache[2 * slot] = {10.0 * double(slot), 0.0, 0.0};
            cache[2 * slot + 1] = {0.0, 100.0, 0.0};
        }
        upTo.store(4 * 4096);
    }
    PredictionLineInput input(uint64_t now, uint64_t head, uint32_t space) {
        PredictionLineInput in;
        in.ring = {ring.data(), head, 0};
        in.ringSize = RingSize;
        in.now = now;
        in.space = space;
        in.cache.entries = cache.data();
        in.cache.slotCount = 4096;
        in.cache.objectCount = 2;
        in.cache.cachedUpTo = &upTo;
        in.cachedUpTo = upTo.load();
        in.bodyNow = bodyNow;
        in.bodyCount = 2;
        in.renderOffset = {0.5, 0.0, 0.0};
        return in;
    }
    std::vector<PredictedState> ring;
    std::vector<CachedPosition> cache;
    std::atomic<uint64_t> upTo{0};
    float bodyNow[6] = {1000.0f, 0.0f, 0.0f, 0.0f, 2000.0f, 0.0f};
    std::vector<float> out = std::vector<float>(3 * 1000);
    std::vector<LineSegment> segments;
};

} // namespace

TEST(PredictionLine, EmptyUntilSixtyFourStepsArePredicted) {
    SyntheticPrediction p;
    EXPECT_EQ(buildPredictionLine(p.input(100, 163, SpaceWorld), p.out.data(), p.segments), 0u);
    EXPECT_TRUE(p.segments.empty());
    EXPECT_EQ(buildPredictionLine(p.input(100, 100, SpaceWorld), p.out.data(), p.segments), 0u);
    // 64 steps ahead: vertex 0 and one more.
    ASSERT_EQ(buildPredictionLine(p.input(100, 164, SpaceWorld), p.out.data(), p.segments), 2u);
    ASSERT_EQ(p.segments.size(), 1u);
    EXPECT_EQ(p.segments[0].first, 0u);
    EXPECT_EQ(p.segments[0].count, 2u);
    // Vertex 0 is the state at now, then the multiples of 32 after now; World adds the render offset.
    EXPECT_FLOAT_EQ(p.out[0], 100.5f);
    EXPECT_FLOAT_EQ(p.out[3], 128.5f);
    // A prediction older than the ring's last lap is not drawn.
    EXPECT_EQ(
        buildPredictionLine(p.input(100, 100 + SyntheticPrediction::RingSize, SpaceWorld), p.out.data(), p.segments),
        0u);
}

TEST(PredictionLine, DominantBodyChangesSplitSegmentsAndDropSingleVertices) {
    SyntheticPrediction p;
    // Vertices (every 32 steps from 0): 0-3 body 0, 4 body 1 alone, 5-9 body 0, 10-11 no body.
    for (uint64_t s = 0; s < 32 * 12; ++s) {
        uint64_t k = s / 32;
        p.ring[s].dominant = k == 4 ? 1 : (k >= 10 ? -1 : 0);
    }
    // head − now = 384: n = 11.
    uint32_t count = buildPredictionLine(p.input(0, 384, SpaceDominant), p.out.data(), p.segments);
    ASSERT_EQ(count, 12u);
    ASSERT_EQ(p.segments.size(), 3u);
    EXPECT_EQ(p.segments[0].first, 0u);
    EXPECT_EQ(p.segments[0].count, 4u);
    EXPECT_EQ(p.segments[0].dominant, 0);
    EXPECT_EQ(p.segments[1].first, 5u); // vertex 4 alone was dropped
    EXPECT_EQ(p.segments[1].count, 5u);
    EXPECT_EQ(p.segments[2].first, 10u);
    EXPECT_EQ(p.segments[2].count, 2u);
    EXPECT_EQ(p.segments[2].dominant, -1);
    // Dominant: the state relative to its body at that step, drawn around the body now.
    // Vertex 2 = step 64: x 64 − cache slot 16 (x 160) + 1000.
    EXPECT_FLOAT_EQ(p.out[3 * 2], 64.0f - 160.0f + 1000.0f);
    // Vertex 4 = step 128, body 1: y 1 − 100 + 2000.
    EXPECT_FLOAT_EQ(p.out[3 * 4 + 1], 1.0f - 100.0f + 2000.0f);
    // Without a dominant body the bare position.
    EXPECT_FLOAT_EQ(p.out[3 * 10], 320.0f);
}

TEST(PredictionLine, TargetSpaceFollowsTheReferenceBody) {
    SyntheticPrediction p;
    PredictionLineInput in = p.input(0, 1000, SpaceTarget);
    in.referenceIndex = 1;
    ASSERT_GT(buildPredictionLine(in, p.out.data(), p.segments), 3u);
    EXPECT_FLOAT_EQ(p.out[3 * 3 + 1], 1.0f - 100.0f + 2000.0f);
    // Without a reference body "Target" draws as "World".
    in.referenceIndex = -1;
    buildPredictionLine(in, p.out.data(), p.segments);
    EXPECT_FLOAT_EQ(p.out[3 * 3], 96.5f);
}

// The worker's line samples give the same vertices and segments as the states and the cache they were taken from.
TEST(PredictionLine, LineSamplesGiveTheSameLineAsTheStates) {
    SyntheticPrediction p;
    for (uint64_t s = 0; s < SyntheticPrediction::RingSize; ++s)
        p.ring[s].dominant = int32_t((s / 700) % 3) - 1; // none, body 0, body 1 in turn
    std::vector<LineSample> samples(SyntheticPrediction::RingSize / LineSampleStride);
    for (size_t k = 0; k < samples.size(); ++k) {
        uint64_t step = k * LineSampleStride;
        const PredictedState& state = p.ring[step];
        LineSample& sample = samples[k];
        for (int c = 0; c < 3; ++c)
            sample.position[c] = float(state.position[c]);
        sample.dominant = state.dominant;
        const CachedPosition* slot = &p.cache[2 * (step / 4)];
        CachedPosition d = state.dominant >= 0 ? slot[state.dominant] : CachedPosition{0.0, 0.0, 0.0};
        sample.dominantPosition[0] = float(d.x), sample.dominantPosition[1] = float(d.y);
        sample.dominantPosition[2] = float(d.z);
    }
    for (uint32_t space : {SpaceWorld, SpaceTarget, SpaceDominant}) {
        PredictionLineInput in = p.input(70, 8000, space);
        in.referenceIndex = space == SpaceTarget ? 1 : -1;
        std::vector<float> fromStates(3 * 1000), fromSamples(3 * 1000);
        std::vector<LineSegment> statesSegments, samplesSegments;
        uint32_t count = buildPredictionLine(in, fromStates.data(), statesSegments);
        in.ring.samples = samples.data();
        ASSERT_EQ(buildPredictionLine(in, fromSamples.data(), samplesSegments), count);
        ASSERT_GT(count, 200u);
        for (uint32_t k = 0; k < 3 * count; ++k)
            ASSERT_EQ(fromSamples[k], fromStates[k]) << "space " << space << " float " << k;
        ASSERT_EQ(samplesSegments.size(), statesSegments.size());
        for (size_t k = 0; k < statesSegments.size(); ++k) {
            EXPECT_EQ(samplesSegments[k].first, statesSegments[k].first);
            EXPECT_EQ(samplesSegments[k].count, statesSegments[k].count);
        }
    }
}

namespace {

// A star, a planet and its moon, without a scene.
struct Bodies {
    Bodies() : star("Star", nullptr), planet("Planet", nullptr), moon("Moon", nullptr) {
        star.radius = 100.0f;
        planet.parent = &star;
        planet.radius = 15.0f;
        planet.density = 2.5;
        planet.orbit.a = 2500.0;
        planet.orbit.e = 0.0167;
        planet.orbit.argPeriapsis = 1.0;
        moon.parent = &planet;
        moon.orbit.a = 125.0;
        moon.orbit.e = 0.0549;
        moon.orbit.i = 0.09;
    }
    AstroObject star, planet, moon;
    float points[3 * OrbitLinePoints];
};

Vec3d point(const float* points, uint32_t k) {
    return {points[3 * k], points[3 * k + 1], points[3 * k + 2]};
}

} // namespace

TEST(OrbitLine, EllipseClosesAroundTheParentWithTheBodyInTheMiddle) {
    Bodies b;
    const double now = 3.0e7;
    ASSERT_EQ(buildOrbitLine(b.moon, now, OrbitLocal, {}, b.points), OrbitLinePoints);
    Vec3d first = point(b.points, 0), last = point(b.points, OrbitLinePoints - 1);
    EXPECT_LT(length(first - last), 1e-3); // one period: the strip closes
    Vec3d planetNow = orbitPosition(b.planet.orbit, now, b.star.gravitationalParameter());
    Vec3d moonNow = planetNow + orbitPosition(b.moon.orbit, now, b.planet.gravitationalParameter());
    Vec3d middle = (point(b.points, 127) + point(b.points, 128)) * 0.5;
    EXPECT_LT(length(middle - moonNow), 0.02 * 125.0); // the body sits between points 127 and 128
    // Every point is on the ellipse around the planet's current position.
    for (uint32_t k = 0; k < OrbitLinePoints; k += 17) {
        double r = length(point(b.points, k) - planetNow);
        EXPECT_GT(r, 125.0 * (1.0 - 0.0549) - 0.01);
        EXPECT_LT(r, 125.0 * (1.0 + 0.0549) + 0.01);
    }
    // The drawn craft's offset moves every point.
    float shifted[3 * OrbitLinePoints];
    buildOrbitLine(b.moon, now, OrbitLocal, {1.0, 2.0, 3.0}, shifted);
    EXPECT_NEAR(shifted[3 * 40 + 2] - b.points[3 * 40 + 2], 3.0f, 1e-3);
}

// The kept ellipse: the same line as a fresh build when made, around wherever the parent is later, and made again
// when the orbit is edited.
TEST(OrbitLine, KeptLocalEllipseFollowsTheParentAndEdits) {
    Bodies b;
    OrbitShapeCache cache;
    float fresh[3 * OrbitLinePoints];
    const double now = 3.0e7;
    buildOrbitLine(b.moon, now, OrbitLocal, {1.0, 2.0, 3.0}, b.points, cache);
    buildOrbitLine(b.moon, now, OrbitLocal, {1.0, 2.0, 3.0}, fresh);
    EXPECT_EQ(std::memcmp(b.points, fresh, sizeof fresh), 0);

    const double later = now + 2.0e5; // the planet has moved on by hundreds of units
    Vec3d planetLater = orbitPosition(b.planet.orbit, later, b.star.gravitationalParameter());
    buildOrbitLine(b.moon, later, OrbitLocal, {}, b.points, cache);
    for (uint32_t k = 0; k < OrbitLinePoints; k += 17) {
        double r = length(point(b.points, k) - planetLater);
        EXPECT_GT(r, 125.0 * (1.0 - 0.0549) - 0.01) << k;
        EXPECT_LT(r, 125.0 * (1.0 + 0.0549) + 0.01) << k;
    }

    b.moon.orbit.a = 200.0;
    buildOrbitLine(b.moon, later, OrbitLocal, {}, b.points, cache);
    buildOrbitLine(b.moon, later, OrbitLocal, {}, fresh);
    EXPECT_EQ(std::memcmp(b.points, fresh, sizeof fresh), 0);
}

TEST(OrbitLine, WorldSpaceMoonFollowsItsPlanetAlongTheWay) {
    Bodies b;
    const double now = 3.0e7;
    float local[3 * OrbitLinePoints];
    buildOrbitLine(b.moon, now, OrbitLocal, {}, local);
    buildOrbitLine(b.moon, now, OrbitWorld, {}, b.points);
    double span = orbitLineSpan(b.moon);
    double muStar = b.star.gravitationalParameter(), muPlanet = b.planet.gravitationalParameter();
    for (uint32_t k : {0u, 64u, 200u, 255u}) {
        double t = now - span / 2.0 + double(k) * span / 255.0;
        Vec3d expected = orbitPosition(b.planet.orbit, t, muStar) + orbitPosition(b.moon.orbit, t, muPlanet);
        EXPECT_LT(length(point(b.points, k) - expected), 1e-2) << k;
    }
    // Over one of the moon's periods the planet moves on: the World path does not close, the Local one does.
    EXPECT_GT(length(point(b.points, 0) - point(b.points, 255)), 10.0);
    EXPECT_LT(length(point(local, 0) - point(local, 255)), 1e-3);
}

TEST(OrbitLine, OpenOrbitsSpanAMillionSecondsAndStaticOnesCollapse) {
    Bodies b;
    const double now = 5.0e6;
    const double mu = b.star.gravitationalParameter();
    for (double e : {1.0, 1.5, 3.0}) {
        b.planet.orbit.e = e;
        b.planet.orbit.a = e > 1.0 ? -2500.0 : 300.0;
        EXPECT_EQ(orbitLineSpan(b.planet), 1e6);
        buildOrbitLine(b.planet, now, OrbitLocal, {}, b.points);
        EXPECT_LT(length(point(b.points, 0) - orbitPosition(b.planet.orbit, now - 5e5, mu)), 1e-2) << e;
        EXPECT_LT(length(point(b.points, 255) - orbitPosition(b.planet.orbit, now + 5e5, mu)), 1e-2) << e;
        for (uint32_t k = 0; k < OrbitLinePoints; ++k)
            EXPECT_TRUE(std::isfinite(b.points[3 * k]) && std::isfinite(b.points[3 * k + 2])) << e << " " << k;
    }
    // The star does not move: every point is its ancestors' offset plus the craft's offset.
    buildOrbitLine(b.star, now, OrbitWorld, {4.0, 5.0, 6.0}, b.points);
    for (uint32_t k = 0; k < OrbitLinePoints; k += 51)
        EXPECT_EQ(point(b.points, k), Vec3d(4.0, 5.0, 6.0));
}
