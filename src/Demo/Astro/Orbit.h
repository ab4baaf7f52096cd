#pragma once
// Kepler orbits: the orbit record every body owns and the pure functions that place a body on it.
// Positions are relative to the parent body, in world units; times are seconds of simulated time; μ is the
// parent's gravitational parameter in world units³/s². The reference plane is the world x-z plane (world y is
// its normal): a perifocal point (x, y, 0) is turned by Rz(−Ω)·Rx(−i)·Rz(−ω) and stored as (Q.x, Q.z, Q.y).
#include "Demo/Scene/MathTypes.h"

#include <cstdint>

namespace Demo {

class AstroObject;

constexpr double GravitationalConstant = 6.6743015e-11;
constexpr double FourThirdsPi = 4.1887902047863905;
constexpr double TwoPi = 6.283185307179586;
constexpr double HalfPi = 1.5707963267948966;
constexpr double Pi = 3.141592653589793;
constexpr double ThreeHalvesPi = 4.71238898038469;

// μ = G · (4/3)π r³ ρ of a body of radius r (world units) and density ρ.
inline double gravitationalParameter(float radius, double density) {
    double r = double(radius);
    return GravitationalConstant * FourThirdsPi * r * r * r * density;
}

struct Orbit {
    float color[3] = {1.0f, 1.0f, 1.0f}; // orbit line colour
    float colorExtra = 0.0f;
    AstroObject* body = nullptr;     // the body moving on this orbit
    double a = 0.0;                  // semi-major axis, world units (negative for hyperbolic orbits)
    double e = 0.0;                  // eccentricity
    double i = 0.0;                  // inclination, radians
    double ascendingNode = 0.0;      // Ω, radians
    double argPeriapsis = 0.0;       // ω, radians
    double meanAnomalyAtEpoch = 0.0; // M0, radians
    double epoch = 0.0;              // seconds of simulated time at which the mean anomaly is M0
};

enum class OrbitType : uint32_t { Static, Elliptical, Parabolic, Hyperbolic, Undefined };

OrbitType classifyOrbit(double a, double e);
inline OrbitType classifyOrbit(const Orbit& orbit) {
    return classifyOrbit(orbit.a, orbit.e);
}
// "Static", "Elliptical", "Parabolic", "Hyperbolic", "Undefined".
const char* orbitTypeName(OrbitType type);

// Restores the record's invariants after an edit: e ≥ 0, i in [0, π], a negative for e > 1 and positive for an
// ellipse, Ω, ω and M0 wrapped into [0, 2π) (0 when not finite).
void normalizeOrbit(Orbit& orbit);

// x wrapped into [0, 2π).
double wrapTwoPi(double x);
// Polynomial cosine, accurate to 6e-8, even in x and continuous. The position operation uses it for every sine
// and cosine.
double cosApprox(double x);
inline double sinApprox(double x) {
    return cosApprox(HalfPi - x);
}

// Eccentric anomaly of an ellipse (0 ≤ e < 1) for a mean anomaly already wrapped into [0, 2π): Newton steps on
// E − e·sinApprox(E) = M, safeguarded by bisection inside a bracket of the root, until the residual is below
// 1e-10. Converges for every e < 1 (high eccentricities start from a cubic approximation near periapsis).
double eccentricAnomaly(double wrappedMeanAnomaly, double e);
// The same with library trigonometry, to double accuracy (the velocity operation).
double eccentricAnomalyExact(double wrappedMeanAnomaly, double e);
// Hyperbolic anomaly H of e·sinh H − H = M (e > 1): Newton from an upper bound of the root, safeguarded.
double hyperbolicAnomaly(double M, double e);

// Everything of an orbit that does not depend on time, precomputed once so that many instants can be evaluated
// cheaply (the cache worker evaluates 512 time steps per batch with one kernel per body).
struct OrbitKernel {
    enum Kind : uint8_t { Zero, Elliptic, Parabolic, Hyperbolic };

    Kind kind = Zero;
    double a = 0.0; // |a|: semi-major axis (ellipse, hyperbola) or periapsis distance (parabola)
    double e = 0.0;
    double minorFactor = 0.0; // √(1 − e²) for an ellipse, √(e² − 1) for a hyperbola
    double n = 0.0;           // mean motion, rad/s
    double M0 = 0.0;
    double epoch = 0.0;
    Vec3d P, Q; // world directions of the perifocal x (periapsis) and y axes

    OrbitKernel() = default;
    OrbitKernel(const Orbit& orbit, double mu);

    // Position relative to the parent at t seconds.
    Vec3d position(double t) const;
};

// Position relative to the parent at t seconds. Ellipses follow the mean anomaly with the fast cosine; open
// orbits extend it: hyperbolas by the hyperbolic Kepler equation, a parabola (|e − 1| < 1e-6) by Barker's
// equation with |a| read as the periapsis distance.
Vec3d orbitPosition(const Orbit& orbit, double t, double mu);
// Velocity relative to the parent (world units per second) at t seconds, with library trigonometry.
Vec3d orbitVelocity(const Orbit& orbit, double t, double mu);
// Unit normal of the orbit plane in the world frame, along r × v of the body (the perifocal x axis crossed with
// the y axis, both turned into the world frame).
Vec3d orbitPlaneNormal(const Orbit& orbit);
// 2π·√(a³/μ) for an ellipse; infinity for static and open orbits and for μ = 0.
double orbitalPeriod(const Orbit& orbit, double mu);
// a·√(1 − e²) for an ellipse, otherwise 0.
double semiMinorAxis(const Orbit& orbit);

} // namespace Demo
