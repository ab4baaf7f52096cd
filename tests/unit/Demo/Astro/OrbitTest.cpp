#include "Demo/Astro/Orbit.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace Demo;

namespace {

Orbit makeOrbit(double a, double e, double i = 0, double node = 0, double periapsis = 0, double M0 = 0,
                double epoch = 0) {
    Orbit o;
    o.a = a;
    o.e = e;
    o.i = i;
    o.ascendingNode = node;
    o.argPeriapsis = periapsis;
    o.meanAnomalyAtEpoch = M0;
    o.epoch = epoch;
    return o;
}

void expectNear(const Vec3d& a, const Vec3d& b, double tolerance) {
    EXPECT_NEAR(a.x, b.x, tolerance);
    EXPECT_NEAR(a.y, b.y, tolerance);
    EXPECT_NEAR(a.z, b.z, tolerance);
}

} // namespace

TEST(Orbit, FastCosineTracksLibraryCosineAndIsEven) {
    double worst = 0;
    for (double x = -40.0; x <= 40.0; x += 0.00731) {
        worst = std::max(worst, std::abs(cosApprox(x) - std::cos(x)));
        EXPECT_EQ(cosApprox(x), cosApprox(-x));
    }
    EXPECT_LT(worst, 1e-7);
    EXPECT_NEAR(sinApprox(0.5), std::sin(0.5), 1e-7);
    EXPECT_NEAR(sinApprox(-2.5), std::sin(-2.5), 1e-7);
    EXPECT_EQ(cosApprox(0.0), 1.0);
    // No step where the quadrants meet.
    for (double edge : {HalfPi, Pi, ThreeHalvesPi, TwoPi})
        EXPECT_NEAR(cosApprox(edge - 1e-12), cosApprox(edge + 1e-12), 1e-11) << edge;
}

TEST(Orbit, NewOrbitIsStatic) {
    Orbit o;
    EXPECT_EQ(classifyOrbit(o), OrbitType::Static);
    EXPECT_STREQ(orbitTypeName(classifyOrbit(o)), "Static");
    EXPECT_EQ(orbitPosition(o, 12345.0, 1.0), Vec3d{});
    EXPECT_EQ(orbitVelocity(o, 12345.0, 1.0), Vec3d{});
    EXPECT_TRUE(std::isinf(orbitalPeriod(o, 1.0)));
    EXPECT_EQ(semiMinorAxis(o), 0.0);
}

TEST(Orbit, CircularOrbitStartsOnXAndReachesZAfterAQuarterPeriod) {
    Orbit o = makeOrbit(1000, 0);
    const double mu = 1.0;
    expectNear(orbitPosition(o, 0, mu), {1000, 0, 0}, 0.01);
    expectNear(orbitVelocity(o, 0, mu), {0, 0, std::sqrt(mu / 1000)}, 1e-12);
    double quarter = orbitalPeriod(o, mu) / 4;
    expectNear(orbitPosition(o, quarter, mu), {0, 0, 1000}, 0.01);
    for (double t = 0; t < 4 * quarter; t += quarter / 7)
        EXPECT_EQ(orbitPosition(o, t, mu).y, 0.0); // i = 0: the orbit stays in the world x-z plane
}

TEST(Orbit, PeriodAndSemiMinorAxisOfAnEllipse) {
    Orbit o = makeOrbit(1000, 0.5);
    EXPECT_NEAR(orbitalPeriod(o, 1.0), 198691.765, 1e-3);
    EXPECT_NEAR(semiMinorAxis(o), 1000 * std::sqrt(0.75), 1e-9);
    // After one period the body is back where it started.
    Vec3d start = orbitPosition(o, 0, 1.0);
    expectNear(orbitPosition(o, orbitalPeriod(o, 1.0), 1.0), start, 1e-6);
}

TEST(Orbit, MercuryNewtonIterationConverges) {
    const double e = 0.2056;
    double worstExact = 0;
    for (double M : {0.0, 1e-12, Pi, Pi - 1e-9, TwoPi - 1e-12})
        EXPECT_LT(std::abs(eccentricAnomaly(M, e) - e * sinApprox(eccentricAnomaly(M, e)) - M), 1e-10) << M;
    for (double M = 0; M < TwoPi; M += 0.0123) {
        double E = eccentricAnomaly(M, e);
        EXPECT_LT(std::abs(E - e * sinApprox(E) - M), 1e-10) << "M = " << M;
        // Against the exact Kepler equation the error is that of the approximation.
        worstExact = std::max(worstExact, std::abs(E - e * std::sin(E) - M));
    }
    EXPECT_LT(worstExact, 1e-7);
}

TEST(Orbit, ParentWithoutMassLeavesBodyAtItsEpochPosition) {
    Orbit o = makeOrbit(500, 0.1, 0.2, 0.3, 0.4, 1.0, 0);
    double mu = gravitationalParameter(50.0f, 0.0);
    EXPECT_EQ(mu, 0.0);
    EXPECT_EQ(orbitPosition(o, 0, mu), orbitPosition(o, 1e9, mu));
    EXPECT_EQ(orbitVelocity(o, 1e9, mu), Vec3d{});
}

TEST(Orbit, GravitationalParameterOfABody) {
    EXPECT_NEAR(gravitationalParameter(15.0f, 2.5), 2.3589e-6, 1e-10);
    EXPECT_NEAR(gravitationalParameter(100.0f, 1.0), 2.7957e-4, 1e-8);
}

TEST(Orbit, ClassificationAndNormalisation) {
    EXPECT_EQ(classifyOrbit(makeOrbit(1000, 0.3)), OrbitType::Elliptical);
    EXPECT_EQ(classifyOrbit(makeOrbit(1000, 1.0)), OrbitType::Parabolic);
    EXPECT_EQ(classifyOrbit(makeOrbit(-1000, 1.5)), OrbitType::Hyperbolic);
    EXPECT_EQ(classifyOrbit(makeOrbit(1000, std::nan(""))), OrbitType::Undefined);
    EXPECT_STREQ(orbitTypeName(OrbitType::Parabolic), "Parabolic");

    Orbit parabola = makeOrbit(1000, 1.0);
    EXPECT_TRUE(std::isinf(orbitalPeriod(parabola, 1.0)));
    EXPECT_EQ(semiMinorAxis(parabola), 0.0);

    Orbit typed = makeOrbit(500, 1.5, 4.0, -1.0, 7.0, std::numeric_limits<double>::infinity());
    normalizeOrbit(typed);
    EXPECT_EQ(typed.a, -500);
    EXPECT_EQ(classifyOrbit(typed), OrbitType::Hyperbolic);
    EXPECT_EQ(typed.i, Pi);
    EXPECT_NEAR(typed.ascendingNode, TwoPi - 1.0, 1e-12);
    EXPECT_NEAR(typed.argPeriapsis, 7.0 - TwoPi, 1e-12);
    EXPECT_EQ(typed.meanAnomalyAtEpoch, 0.0);

    Orbit negative = makeOrbit(-800, 0.2);
    normalizeOrbit(negative);
    EXPECT_EQ(negative.a, 800);
    Orbit e = makeOrbit(800, -0.5);
    normalizeOrbit(e);
    EXPECT_EQ(e.e, 0.0);
}

TEST(Orbit, HyperbolicBodyMovesForwardAwayFromPeriapsis) {
    Orbit o = makeOrbit(-500, 1.5);
    const double mu = 1.0;
    Vec3d periapsis = orbitPosition(o, 0, mu);
    expectNear(periapsis, {250, 0, 0}, 1e-9); // |a|(e − 1)
    Vec3d later = orbitPosition(o, 1e5, mu);
    Vec3d earlier = orbitPosition(o, -1e5, mu);
    EXPECT_GT(later.z, 0.0); // prograde: the same sense as an ellipse
    EXPECT_LT(earlier.z, 0.0);
    EXPECT_GT(length(later), length(periapsis));
    EXPECT_GT(orbitVelocity(o, 0, mu).z, 0.0);
}

// The velocity operation is the time derivative of the position operation.
TEST(Orbit, VelocityIsDerivativeOfPosition) {
    struct Case {
        Orbit orbit;
        double mu, t, h, tolerance;
    };
    const Case cases[] = {
        // Ellipses: the fast cosine's error limits the agreement.
        {makeOrbit(1000, 0.2056, 0.12, 0.5, 1.3, 0.7, 100), 1.0, 5e4, 50.0, 1e-4},
        {makeOrbit(2500, 0.0167, 0.0, 0.0, 1.0), 2.7957e-4, 3e6, 500.0, 1e-4},
        {makeOrbit(125, 0.0549, 0.09, 3.45, 1.26), 0.0353, 1e4, 2.0, 1e-4},
        // Open orbits use library functions throughout.
        {makeOrbit(-500, 1.5, 0.4, 1.0, 2.0, 0.3), 1.0, 2e4, 1.0, 1e-6},
        {makeOrbit(300, 1.0, 0.7, 0.2, 0.9), 1.0, -3e3, 0.5, 1e-6},
    };
    for (const Case& c : cases) {
        Vec3d v = orbitVelocity(c.orbit, c.t, c.mu);
        Vec3d d = (orbitPosition(c.orbit, c.t + c.h, c.mu) - orbitPosition(c.orbit, c.t - c.h, c.mu)) / (2 * c.h);
        double speed = length(v);
        ASSERT_GT(speed, 0.0);
        EXPECT_LT(length(v - d) / speed, c.tolerance)
            << "a = " << c.orbit.a << " e = " << c.orbit.e << " " << length(v - d) / speed;
    }
}

TEST(Orbit, InclinedOrbitLeavesTheReferencePlane) {
    Orbit o = makeOrbit(1000, 0.1, 0.5, 0.3, HalfPi);
    double maxY = 0;
    double T = orbitalPeriod(o, 1.0);
    for (double t = 0; t < T; t += T / 100)
        maxY = std::max(maxY, std::abs(orbitPosition(o, t, 1.0).y));
    EXPECT_GT(maxY, 1000 * 0.9 * std::sin(0.5) * 0.99);
    EXPECT_LT(maxY, 1000 * 1.1 * std::sin(0.5) * 1.01);
}
