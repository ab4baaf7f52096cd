// The flight's plain functions: gravity sum, P N R frame, attitudes, thrust, burn windows, markers.
#include "Demo/Spacecraft/FlightMath.h"
#include "Demo/Astro/Orbit.h"
#include "Demo/Spacecraft/SpacecraftNavigation.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using namespace Demo;

namespace {

void expectNear(const Vec3d& a, const Vec3d& b, double tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

Maneuver burn(uint64_t time, uint64_t length, Vec3d direction, double thrust, bool continuous = true,
              float rotationSpeed = 512.0f) {
    Maneuver m;
    m.time = time;
    m.burn = length;
    m.direction = direction;
    m.thrust = thrust;
    m.continuous = continuous;
    m.rotationSpeed = rotationSpeed;
    return m;
}

} // namespace

TEST(FlightMath, GravitySumSkipsBodiesInsideTheRadiusBeyondTheFarLimitAndTheCraft) {
    const double mu = 2.0e-6; // far limit √(5e14 μ) ≈ 31623
    GravityBody bodies[4];
    bodies[0] = {{100.0, 0.0, 0.0}, mu, 15.0 * 15.0}; // counts: 100 units away
    bodies[1] = {{0.0, 31000.0, 0.0}, mu, 1.0};       // just inside the far limit
    bodies[2] = {{0.0, 0.0, -32000.0}, mu, 1.0};      // just beyond it
    bodies[3] = {{1.0, 0.0, 0.0}, 1.0, 1.0};          // the craft's own entry: skipped
    GravityResult g = gravitySum({}, bodies, 4, 3);
    EXPECT_EQ(g.strongest, 0);
    Vec3d expected = Vec3d{1.0, 0.0, 0.0} * (mu / 1e4) + Vec3d{0.0, 1.0, 0.0} * (mu / (31000.0 * 31000.0));
    expectNear(g.acceleration, expected, 1e-22);

    // Inside a body (d < r) its pull is ignored; with nothing left the strongest index is -1.
    GravityResult inside = gravitySum({95.0, 0.0, 0.0}, bodies, 1, -1);
    EXPECT_EQ(inside.strongest, -1);
    EXPECT_EQ(inside.acceleration, Vec3d{});

    // The strongest body is the one with the greatest μ/d², not the nearest.
    GravityBody pair[2] = {{{10.0, 0.0, 0.0}, 1e-9, 0.0}, {{0.0, 0.0, 1000.0}, 1e-3, 0.0}};
    EXPECT_EQ(gravitySum({}, pair, 2, -1).strongest, 1);
}

// The four-wide sum over a field is the one-at-a-time sum over the records, bit for bit, whatever the mix of
// counted and skipped bodies, the skipped index and a count that is not a multiple of four; so is the sum over
// the near bodies chosen around another point.
TEST(FlightMath, GravitySumOverAFieldEqualsTheSumOverTheRecords) {
    std::mt19937 random(11u);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    for (size_t count : {1u, 2u, 5u, 29u, 30u}) {
        std::vector<GravityBody> bodies(count);
        for (int trial = 0; trial < 200; ++trial) {
            for (GravityBody& b : bodies) {
                b.position = {3000.0 * u(random), 300.0 * u(random), 3000.0 * u(random)};
                b.mu = std::pow(10.0, -9.0 + 6.0 * (u(random) + 1.0) / 2.0);
                b.radiusSquared = std::pow(50.0 * (u(random) + 1.0), 2.0);
            }
            Vec3d p{3000.0 * u(random), 300.0 * u(random), 3000.0 * u(random)};
            int32_t skip = int32_t(random() % (count + 1)) - 1;
            GravityField field;
            field.assign(bodies.data(), count);
            for (size_t i = 0; i < count; ++i)
                field.setPosition(i, bodies[i].position.x, bodies[i].position.y, bodies[i].position.z);
            GravityResult pair = gravitySum(p, field, skip);
            GravityResult scalar = gravitySum(p, bodies.data(), count, skip);
            ASSERT_EQ(pair.acceleration, scalar.acceleration) << count << " " << trial;
            ASSERT_EQ(pair.strongest, scalar.strongest) << count << " " << trial;
            // Near bodies chosen around a point up to 70 units away, the sum taken here.
            field.selectNear(p + Vec3d{40.0 * u(random), 40.0 * u(random), 40.0 * u(random)}, 80.0, skip);
            ASSERT_TRUE(field.nearHolds(p));
            GravityResult near = gravitySumNear(p, field, skip);
            ASSERT_EQ(near.acceleration, scalar.acceleration) << count << " " << trial;
            ASSERT_EQ(near.strongest, scalar.strongest) << count << " " << trial;
        }
    }
}

TEST(FlightMath, PnrFrameOfACircularOrbitAndTheOrbitPlaneNormal) {
    // A body on a circular orbit in the world x-z plane: at t = 0 on +x moving towards +z.
    Orbit o;
    o.a = 1000.0;
    const double mu = 1.0;
    Vec3d p = orbitPosition(o, 0.0, mu), v = orbitVelocity(o, 0.0, mu);
    Vec3d planet{500.0, 20.0, -30.0}, planetVelocity{0.001, 0.0, 0.002};
    PnrFrame f = pnrFrame(p + planet, v + planetVelocity, planet, planetVelocity);
    ASSERT_TRUE(f.defined);
    expectNear(f.prograde, {0.0, 0.0, 1.0}, 1e-6);
    expectNear(f.radialOut, {1.0, 0.0, 0.0}, 1e-6);
    expectNear(f.normal, {0.0, -1.0, 0.0}, 1e-6); // r̂ × ŵ
    // The orbit plane's normal (used when the craft is placed on its orbit) points the same way as r × v,
    // for any inclination and node.
    for (double i : {0.0, 0.3, 2.5})
        for (double node : {0.0, 1.0, 4.0}) {
            Orbit q;
            q.a = 700.0, q.e = 0.3, q.i = i, q.ascendingNode = node, q.argPeriapsis = 0.7;
            Vec3d n = normalize(cross(orbitPosition(q, 1234.0, mu), orbitVelocity(q, 1234.0, mu)));
            expectNear(orbitPlaneNormal(q), n, 1e-6);
        }
    // Closer than 1e-6 to the body the frame is undefined and attitudes keep the fallback.
    PnrFrame at = pnrFrame(planet, v, planet, planetVelocity);
    EXPECT_FALSE(at.defined);
    Quatd fallback{0.0, 0.6, 0.0, 0.8};
    Quatd kept = frameAttitude(at, OrientPrograde, fallback);
    EXPECT_EQ(kept.y, 0.6);
    EXPECT_EQ(kept.w, 0.8);
}

// The nose is −Z: every orientation turns it onto its direction with a proper rotation whose +Y leans towards
// the up hint.
TEST(FlightMath, LookRotationPointsTheNoseAlongTheDirection) {
    std::mt19937 random(42u);
    std::normal_distribution<double> n(0.0, 1.0);
    for (int k = 0; k < 500; ++k) {
        Vec3d d = normalize(Vec3d{n(random), n(random), n(random)});
        Vec3d up = normalize(Vec3d{n(random), n(random), n(random)});
        Quatd q = lookRotation(d, up);
        expectNear(q.rotate({0.0, 0.0, -1.0}), d, 1e-9);
        Vec3d x = q.rotate({1.0, 0.0, 0.0}), y = q.rotate({0.0, 1.0, 0.0}), z = q.rotate({0.0, 0.0, 1.0});
        expectNear(cross(x, y), z, 1e-9);
        if (std::abs(dot(up, d)) < 0.99) {
            EXPECT_GT(dot(y, up), 0.0);
        }
    }
    // A hint along the direction is replaced, and a vertical direction still gives a rotation.
    expectNear(lookRotation({0.0, 1.0, 0.0}, {0.0, 1.0, 0.0}).rotate({0.0, 0.0, -1.0}), {0.0, 1.0, 0.0}, 1e-9);
    expectNear(lookRotation({1.0, 0.0, 0.0}, {2.0, 0.0, 0.0}).rotate({0.0, 0.0, -1.0}), {1.0, 0.0, 0.0}, 1e-9);
    Quatd identity = lookRotation({}, {0.0, 1.0, 0.0});
    EXPECT_EQ(identity.w, 1.0);
    // The orientation modes of a frame: prograde, normal and radial-in are P, N, −R.
    PnrFrame f{{0.0, 0.0, 1.0}, {0.0, -1.0, 0.0}, {1.0, 0.0, 0.0}, true};
    expectNear(frameAttitude(f, OrientRetrograde, {}).rotate({0.0, 0.0, -1.0}), {0.0, 0.0, -1.0}, 1e-9);
    expectNear(frameAttitude(f, OrientNormal, {}).rotate({0.0, 0.0, -1.0}), {0.0, -1.0, 0.0}, 1e-9);
    expectNear(frameAttitude(f, OrientRadialIn, {}).rotate({0.0, 0.0, -1.0}), {-1.0, 0.0, 0.0}, 1e-9);
}

// Δv over the whole burn is thrust × 1e-7 × step length, whatever the burn's length, along P N R.
TEST(FlightMath, BurnVelocityChangeDoesNotDependOnItsLength) {
    PnrFrame f{{0.0, 0.0, 1.0}, {0.0, -1.0, 0.0}, {1.0, 0.0, 0.0}, true};
    const double h = 100.0;
    for (uint64_t length : {1ull, 7ull, 499ull, 3707ull}) {
        Maneuver m = burn(0, length, {0.0, 0.0, 2.0}, 53.2);
        Vec3d v;
        for (uint64_t s = 0; s < length; ++s)
            v += maneuverThrust(m, f, {}) * h;
        expectNear(v, Vec3d{-1.0, 0.0, 0.0} * (53.2 * 1e-7 * h), 1e-15); // radial-in
    }
    // The weights are normalised: P and N equally.
    Vec3d a = maneuverThrust(burn(0, 10, {3.0, 3.0, 0.0}, 10.0), f, {});
    expectNear(a, normalize(Vec3d{0.0, -1.0, 1.0}) * (10.0 * 1e-7 / 10.0), 1e-18);
    EXPECT_EQ(maneuverThrust(burn(0, 0, {1.0, 0.0, 0.0}, 10.0), f, {}), Vec3d{});
    // Undefined frame: all three axes are the nose.
    PnrFrame undefined;
    expectNear(maneuverThrust(burn(0, 1, {1.0, 0.0, 0.0}, 10.0), undefined, {0.0, 1.0, 0.0}), {0.0, 1e-6, 0.0}, 1e-18);
}

TEST(FlightMath, SlewEaseAndBurnWindows) {
    EXPECT_EQ(slewEase(0), 0.0);
    EXPECT_DOUBLE_EQ(slewEase(500), 4.0 * 0.25 * 0.25 * 0.25);
    EXPECT_DOUBLE_EQ(slewEase(1000), 0.5);
    EXPECT_EQ(slewEase(2000), 1.0);
    EXPECT_EQ(slewEase(100000), 1.0);
    for (int64_t s = 0; s < 2000; s += 10)
        EXPECT_LE(slewEase(s), slewEase(s + 10));

    std::vector<Maneuver> plan = {burn(1000, 100, {1, 0, 0}, 1.0, true, 200.0f),
                                  burn(5000, 100, {1, 0, 0}, 1.0, true, 400.0f),
                                  burn(9000, 100, {1, 0, 0}, 1.0, true, 0.0f)};
    BurnWindows before = burnWindows(plan, 900);
    EXPECT_EQ(before.previous, -1);
    EXPECT_EQ(before.previousWeight, 0.0);
    EXPECT_EQ(before.next, 0);
    EXPECT_DOUBLE_EQ(before.nextWeight, 0.5); // 100 of 200 steps before the burn
    BurnWindows after = burnWindows(plan, 1200);
    EXPECT_EQ(after.previous, 0);
    EXPECT_DOUBLE_EQ(after.previousWeight, 0.5); // 100 of 200 steps after its end
    EXPECT_EQ(after.next, 1);
    EXPECT_EQ(after.nextWeight, 0.0); // 3800 steps away, beyond its 400
    // A window of 0 blends nothing (and does not divide by it).
    BurnWindows zero = burnWindows(plan, 9100);
    EXPECT_EQ(zero.previous, 2);
    EXPECT_EQ(zero.previousWeight, 0.0);
    EXPECT_EQ(activeManeuver(plan, 5099), 1);
    EXPECT_EQ(activeManeuver(plan, 5100), -1);
}

TEST(FlightMath, SlerpTakesTheShortArcAndBlendsNearlyEqualRotationsLinearly) {
    Quatd a{0.0, 0.0, 0.0, 1.0};
    Quatd b = Quatd::fromEuler({0.0, 1.0, 0.0});
    Quatd negated{-b.x, -b.y, -b.z, -b.w};
    Quatd half = slerpAttitude(a, negated, 0.5);
    Quatd expected = Quatd::fromEuler({0.0, 0.5, 0.0});
    EXPECT_NEAR(half.y, expected.y, 1e-12);
    EXPECT_NEAR(half.w, expected.w, 1e-12);
    Quatd tiny = Quatd::fromEuler({0.0, 1e-5, 0.0});
    Quatd lerp = slerpAttitude(a, tiny, 0.5);
    EXPECT_DOUBLE_EQ(lerp.y, 0.5 * tiny.y);
}

TEST(FlightMath, MarkersOfComingBurnsKeepTheNearestSixtyFour) {
    std::vector<Maneuver> plan = {burn(100, 50, {1, 0, 0}, 1.0), burn(500, 50, {1, 0, 0}, 1.0),
                                  burn(200, 50, {1, 0, 0}, 1.0)};
    std::vector<MarkerRequest> out;
    bool dropped = true;
    collectMarkers(plan, 120, out, dropped);
    EXPECT_FALSE(dropped);
    // The running burn shows only its end; the others their start and end, in list order.
    ASSERT_EQ(out.size(), 5u);
    EXPECT_EQ(out[0].step, 150u);
    EXPECT_FALSE(out[0].start);
    EXPECT_EQ(out[1].step, 500u);
    EXPECT_TRUE(out[1].start);
    EXPECT_EQ(out[3].step, 200u);

    std::vector<Maneuver> many;
    for (int k = 40; k > 0; --k) // 80 markers, listed from the latest burn to the earliest
        many.push_back(burn(uint64_t(1000 * k), 10, {1, 0, 0}, 1.0));
    collectMarkers(many, 0, out, dropped);
    EXPECT_TRUE(dropped);
    ASSERT_EQ(out.size(), size_t(MaxMarkers));
    EXPECT_EQ(out.front().step, 1000u);
    EXPECT_EQ(out.back().step, 32010u); // burns 1 to 32, start and end each
}
