#include "Demo/Astro/Orbit.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace Demo {

OrbitType classifyOrbit(double a, double e) {
    if (std::abs(a) < 1e-9 && e < 1e-6)
        return OrbitType::Static;
    if (e < 1.0)
        return OrbitType::Elliptical;
    if (std::abs(e - 1.0) < 1e-6)
        return OrbitType::Parabolic;
    if (e > 1.0)
        return OrbitType::Hyperbolic;
    return OrbitType::Undefined;
}

const char* orbitTypeName(OrbitType type) {
    switch (type) {
    case OrbitType::Static:
        return "Static";
    case OrbitType::Elliptical:
        return "Elliptical";
    case OrbitType::Parabolic:
        return "Parabolic";
    case OrbitType::Hyperbolic:
        return "Hyperbolic";
    default:
        return "Undefined";
    }
}

namespace {

constexpr double InvTwoPi = 1.0 / TwoPi;
constexpr double InvHalfPi = 1.0 / HalfPi;

// Reduction of x ≥ 0 into [0, 2π). Below 2^52 the quotient is truncated in an integer register (cheaper than
// floor or fmod on the baseline instruction set).
inline double reduceTwoPi(double x) {
    if (x < TwoPi)
        return x; // the Newton iteration stays here
    if (!(x < 4.5e15))
        return std::fmod(x, TwoPi);
    double u = x - double(int64_t(x * InvTwoPi)) * TwoPi;
    if (u < 0.0)
        u += TwoPi;
    else if (u >= TwoPi)
        u -= TwoPi;
    return u;
}

// cos(v) for v in [0, π/2]: even polynomial, minimax fit (error 6e-8) constrained to 1 at 0 and 0 at π/2, so the
// quadrants join without a step. A step at the quadrant boundaries would stall the Newton iteration near
// periapsis and apoapsis and lift planar orbits out of their plane.
inline double quarterCos(double v) {
    constexpr double c1 = -0.49999925121358263, c2 = 0.04166378011780629, c3 = -0.0013854239405309884,
                     c4 = 2.3154171575393676e-05;
    // Estrin's scheme: shorter dependency chains than Horner's, which the Newton iteration waits on.
    double s = v * v;
    double s2 = s * s;
    return (1.0 + c1 * s) + s2 * ((c2 + c3 * s) + s2 * c4);
}

// Sine and cosine of x through the polynomial, sharing one reduction: u = |x| mod 2π = q·π/2 + r with q the
// nearest quadrant and |r| ≤ π/4, where cos r = p(r) and sin r = ±p(π/2 − |r|) stay inside the fitted range.
inline void sinCosApprox(double x, double& sine, double& cosine) {
    constexpr double RoundMagic = 6755399441055744.0; // 1.5 · 2^52: adding it rounds to an integer
    double u = reduceTwoPi(std::abs(x));
    double shifted = u * InvHalfPi + RoundMagic;
    double k = shifted - RoundMagic;
    uint64_t bits;
    std::memcpy(&bits, &shifted, sizeof bits);
    unsigned q = unsigned(bits) & 3u;
    double r = u - k * HalfPi;
    double ar = std::abs(r);
    double cr = quarterCos(ar);
    double sr = quarterCos(HalfPi - ar);
    sr = r < 0.0 ? -sr : sr;
    double c = (q & 1u) ? sr : cr;
    double sn = (q & 1u) ? cr : sr;
    cosine = ((q + 1u) & 2u) ? -c : c;
    sn = (q & 2u) ? -sn : sn;
    sine = x < 0.0 ? -sn : sn;
}

} // namespace

double wrapTwoPi(double x) {
    if (x >= 0.0)
        return reduceTwoPi(x);
    double u = TwoPi - reduceTwoPi(-x);
    return u >= TwoPi ? 0.0 : u;
}

static double wrapAngleOrZero(double x) {
    return std::isfinite(x) ? wrapTwoPi(x) : 0.0;
}

void normalizeOrbit(Orbit& orbit) {
    orbit.e = std::max(orbit.e, 0.0);
    orbit.i = std::clamp(orbit.i, 0.0, Pi);
    if (orbit.e > 1.0)
        orbit.a = -std::abs(orbit.a);
    else if (classifyOrbit(orbit) == OrbitType::Elliptical)
        orbit.a = std::abs(orbit.a);
    orbit.ascendingNode = wrapAngleOrZero(orbit.ascendingNode);
    orbit.argPeriapsis = wrapAngleOrZero(orbit.argPeriapsis);
    orbit.meanAnomalyAtEpoch = wrapAngleOrZero(orbit.meanAnomalyAtEpoch);
}

double cosApprox(double x) {
    double sine, cosine;
    sinCosApprox(x, sine, cosine);
    return cosine;
}

// Real root of the depressed cubic x³ + p·x = q with p ≥ 0 (one real root), written to avoid cancellation.
static double cubicRoot(double p, double q) {
    double d = std::sqrt(0.25 * q * q + p * p * p / 27.0);
    double A = std::cbrt(std::abs(0.5 * q) + d);
    double x = A > 0.0 ? A - p / (3.0 * A) : 0.0;
    return q < 0.0 ? -x : x;
}

// Below this eccentricity Newton's method from E = M converges in a few steps for every M; above it the first
// step from E = M can be thrown far past the root (the derivative 1 − e cos E nearly vanishes at periapsis).
constexpr double HighEccentricity = 0.8;

// Safeguarded Newton iteration on f(E) = E − e·sin E − M for M in [0, 2π), 0 < e < 1. f increases
// monotonically, so [M, π] (for M ≤ π) or [π, M] (for M > π) brackets the root; every evaluation narrows the
// bracket, and a Newton step that would leave it is replaced by bisection, which cannot fail. High
// eccentricities start from the root of the cubic (1 − e)E + e·E³/6 = M (sin E ≥ E − E³/6, so this lies at or
// below the root and is accurate near periapsis, where E is small). Stops after the step at which |f| < tolerance.
// Hands back sin E and cos E of the result (first-order updated through the final step, which moves E by about
// the tolerance / f′).
template <class SinCos>
static double solveKeplerSafeguarded(double M, double e, double tolerance, SinCos sinCos, double& sE, double& cE) {
    double lo, hi, E;
    if (M <= Pi) {
        lo = M;
        hi = Pi;
        E = e < HighEccentricity ? M : std::clamp(cubicRoot(6.0 * (1.0 - e) / e, 6.0 * M / e), lo, hi);
    } else {
        // Mirror image of the first half: E(M) = 2π − E(2π − M).
        lo = Pi;
        hi = M;
        E = e < HighEccentricity ? M
                                 : std::clamp(TwoPi - cubicRoot(6.0 * (1.0 - e) / e, 6.0 * (TwoPi - M) / e), lo, hi);
    }
    sinCos(E, sE, cE);
    for (int step = 0; step < 64; ++step) {
        double f = E - e * sE - M;
        double dE = f / (1.0 - e * cE);
        if (std::abs(f) < tolerance) {
            E -= dE;
            double s = sE;
            sE -= cE * dE;
            cE += s * dE;
            return E;
        }
        if (f < 0.0)
            lo = E;
        else
            hi = E;
        double next = E - dE;
        E = next > lo && next < hi ? next : 0.5 * (lo + hi);
        sinCos(E, sE, cE);
    }
    return E;
}

static double solveKepler(double M, double e, double& sE, double& cE) {
    return solveKeplerSafeguarded(M, e, 1e-10, sinCosApprox, sE, cE);
}

double eccentricAnomaly(double M, double e) {
    double sE, cE;
    return solveKepler(M, e, sE, cE);
}

// The same solve with library trigonometry; the step after |f| < 1e-13 brings E to the accuracy of a double.
double eccentricAnomalyExact(double M, double e) {
    if (e == 0.0)
        return M;
    double sE, cE;
    auto exact = [](double x, double& s, double& c) {
        s = std::sin(x);
        c = std::cos(x);
    };
    return solveKeplerSafeguarded(M, e, 1e-13, exact, sE, cE);
}

// Hyperbolic Kepler equation f(H) = e·sinh H − H − M (e > 1), solved for |M| and given the sign of M (f is odd).
// For M > 0 the root lies in [asinh(M / e), H⁺], where H⁺ = min(asinh(M / (e − 1)), root of
// (e − 1)H + e·H³/6 = M) is an upper bound (sinh H ≥ H and sinh H ≥ H + H³/6). f is increasing and convex for
// H > 0, so Newton's method from the upper bound approaches the root from above without overshooting; the
// bracket guards the rounding near convergence. Starting from asinh(M / e) instead throws the first step far past
// the root when e is close to 1 (f′ = e cosh H − 1 nearly vanishes there).
double hyperbolicAnomaly(double M, double e) {
    double m = std::abs(M);
    if (!(m > 0.0) || !(e > 1.0))
        return m == 0.0 ? 0.0 : std::asinh(M / e);
    double lo = std::asinh(m / e);
    double hi = std::min(std::asinh(m / (e - 1.0)), cubicRoot(6.0 * (e - 1.0) / e, 6.0 * m / e));
    hi = std::max(hi, lo);
    double H = hi;
    for (int step = 0; step < 200; ++step) {
        double f = e * std::sinh(H) - H - m;
        if (f == 0.0)
            break;
        if (f < 0.0)
            lo = H;
        else
            hi = H;
        double next = H - f / (e * std::cosh(H) - 1.0);
        if (!(next > lo && next < hi))
            next = 0.5 * (lo + hi);
        bool converged = std::abs(next - H) <= 4e-16 * std::max(1.0, std::abs(H));
        H = next;
        if (converged)
            break;
    }
    return M < 0.0 ? -H : H;
}

// tan(ν/2) of a parabola from Barker's equation s + s³/3 = D (Cardano's root, free of cancellation).
static double barkerTanHalfAnomaly(double D) {
    double w = std::sqrt(2.25 * D * D + 1.0);
    double A = std::cbrt(std::abs(1.5 * D) + w);
    double s = A - 1.0 / A;
    return D < 0.0 ? -s : s;
}

OrbitKernel::OrbitKernel(const Orbit& orbit, double mu) {
    double absA = std::abs(orbit.a);
    OrbitType type = classifyOrbit(orbit);
    if (absA < 1e-9 || type == OrbitType::Static || type == OrbitType::Undefined)
        return;
    a = absA;
    e = orbit.e;
    M0 = orbit.meanAnomalyAtEpoch;
    epoch = orbit.epoch;
    if (type == OrbitType::Elliptical) {
        kind = Elliptic;
        minorFactor = std::sqrt(1.0 - e * e);
        n = std::sqrt(mu / (absA * absA * absA));
    } else if (type == OrbitType::Parabolic) {
        kind = Parabolic;
        n = std::sqrt(mu / (2.0 * absA * absA * absA)); // rate of Barker's D
    } else {
        kind = Hyperbolic;
        minorFactor = std::sqrt(e * e - 1.0);
        n = std::sqrt(mu / (absA * absA * absA));
    }
    // Zero angles (planar orbits, periapsis on the node line) take exact values: a planar orbit stays in its plane.
    auto angle = [](double x, double& sine, double& cosine) {
        if (x == 0.0) {
            sine = 0.0;
            cosine = 1.0;
        } else {
            sinCosApprox(x, sine, cosine);
        }
    };
    double cw, sw, cO, sO, ci, si;
    angle(orbit.argPeriapsis, sw, cw);
    angle(orbit.ascendingNode, sO, cO);
    angle(orbit.i, si, ci);
    P = {cw * cO - sw * sO * ci, si * sw, -(sw * cO * ci + cw * sO)};
    Q = {sw * cO + cw * sO * ci, -si * cw, cw * cO * ci - sw * sO};
}

Vec3d OrbitKernel::position(double t) const {
    double x, y;
    switch (kind) {
    case Elliptic: {
        double M = n * (t - epoch) + M0;
        double sE, cE;
        if (e == 0.0)
            sinCosApprox(M, sE, cE);
        else
            solveKepler(wrapTwoPi(M), e, sE, cE);
        // r·(cos ν, sin ν) with ν = atan2(√(1 − e²) sin E, cos E − e) and r = a(1 − e cos E), written out.
        x = a * (cE - e);
        y = a * minorFactor * sE;
        break;
    }
    case Hyperbolic: {
        double H = hyperbolicAnomaly(n * (t - epoch) + M0, e);
        x = a * (e - std::cosh(H));
        y = a * minorFactor * std::sinh(H);
        break;
    }
    case Parabolic: {
        double s = barkerTanHalfAnomaly(n * (t - epoch));
        x = a * (1.0 - s * s);
        y = 2.0 * a * s;
        break;
    }
    default:
        return {};
    }
    return {P.x * x + Q.x * y, P.y * x + Q.y * y, P.z * x + Q.z * y};
}

Vec3d orbitPosition(const Orbit& orbit, double t, double mu) {
    return OrbitKernel(orbit, mu).position(t);
}

// Perifocal vector (x, y, 0) turned into the world frame with library trigonometry.
static Vec3d perifocalToWorld(const Orbit& o, double x, double y) {
    double cw = std::cos(o.argPeriapsis), sw = std::sin(o.argPeriapsis);
    double cO = std::cos(o.ascendingNode), sO = std::sin(o.ascendingNode);
    double ci = std::cos(o.i), si = std::sin(o.i);
    return {x * (cw * cO - sw * sO * ci) + y * (sw * cO + cw * sO * ci), si * (x * sw - y * cw),
            -x * (sw * cO * ci + cw * sO) + y * (cw * cO * ci - sw * sO)};
}

Vec3d orbitPlaneNormal(const Orbit& orbit) {
    return normalize(cross(perifocalToWorld(orbit, 1.0, 0.0), perifocalToWorld(orbit, 0.0, 1.0)));
}

Vec3d orbitVelocity(const Orbit& orbit, double t, double mu) {
    double a = orbit.a, e = orbit.e;
    if (std::abs(a) < 1e-9)
        return {};
    double dt = t - orbit.epoch;
    OrbitType type = classifyOrbit(orbit);
    double vx, vy;
    if (type == OrbitType::Elliptical) {
        a = std::abs(a);
        double M = wrapTwoPi(std::sqrt(mu / (a * a * a)) * dt + orbit.meanAnomalyAtEpoch);
        double E = eccentricAnomalyExact(M, e);
        double nu = 2.0 * std::atan2(std::sqrt(1.0 + e) * std::sin(E / 2.0), std::sqrt(1.0 - e) * std::cos(E / 2.0));
        double r = a * (1.0 - e * e) / (1.0 + e * std::cos(nu));
        if (!std::isfinite(r) || r <= 0.0)
            return {};
        double k = mu / std::sqrt((1.0 - e * e) * mu * a);
        vx = -k * std::sin(nu);
        vy = k * (e + std::cos(nu));
    } else if (type == OrbitType::Parabolic) {
        // Periapsis distance q = |a|; h = √(2μq); v = (μ/h)(−sin ν, 1 + cos ν) with s = tan(ν/2).
        double q = std::abs(a);
        double s = barkerTanHalfAnomaly(std::sqrt(mu / (2.0 * q * q * q)) * dt);
        double sinNu = 2.0 * s / (1.0 + s * s), cosNu = (1.0 - s * s) / (1.0 + s * s);
        double r = q * (1.0 + s * s);
        if (!std::isfinite(r) || r <= 0.0)
            return {};
        double k = mu / std::sqrt(2.0 * mu * q);
        vx = -k * sinNu;
        vy = k * (1.0 + cosNu);
    } else if (type == OrbitType::Hyperbolic) {
        a = -std::abs(a);
        double M = std::sqrt(mu / (-(a * a * a))) * dt + orbit.meanAnomalyAtEpoch;
        double H = hyperbolicAnomaly(M, e);
        double nu = 2.0 * std::atan(std::sqrt((e + 1.0) / (e - 1.0)) * std::tanh(H / 2.0));
        double r = a * (1.0 - e * e) / (1.0 + e * std::cos(nu));
        if (!std::isfinite(r) || r <= 0.0)
            return {};
        double k = mu / std::sqrt(std::abs(1.0 - e * e) * mu * std::abs(a));
        vx = -k * std::sin(nu);
        vy = k * (e + std::cos(nu));
    } else {
        return {};
    }
    if (!std::isfinite(vx) || !std::isfinite(vy))
        return {};
    return perifocalToWorld(orbit, vx, vy);
}

double orbitalPeriod(const Orbit& orbit, double mu) {
    double a = std::abs(orbit.a);
    if (a < 1e-9 || !(orbit.e < 1.0) || mu <= 0.0)
        return std::numeric_limits<double>::infinity();
    return TwoPi * std::sqrt(a * a * a / mu);
}

double semiMinorAxis(const Orbit& orbit) {
    if (!(orbit.e < 1.0) || std::abs(orbit.a) < 1e-9)
        return 0.0;
    return orbit.a * std::sqrt(1.0 - orbit.e * orbit.e);
}

} // namespace Demo
