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

// Newton's method on E − e·sin E = M from E = M; also hands back sin E and cos E of the result. The last step
// moves E by less than about 1e-10, so its sine and cosine follow to first order (the neglected term is ~1e-20).
static double solveKepler(double M, double e, double& sE, double& cE) {
    double E = M;
    sinCosApprox(E, sE, cE);
    for (int step = 0; step < 8; ++step) {
        double f = E - e * sE - M;
        double dE = f / (1.0 - e * cE);
        E -= dE;
        if (std::abs(f) < 1e-10) {
            double s = sE;
            sE -= cE * dE;
            cE += s * dE;
            return E;
        }
        sinCosApprox(E, sE, cE);
    }
    return E;
}

double eccentricAnomaly(double M, double e) {
    double sE, cE;
    return solveKepler(M, e, sE, cE);
}

// Hyperbolic Kepler equation e·sinh H − H = M, twelve Newton steps from asinh(M / e).
static double hyperbolicAnomaly(double M, double e) {
    double H = std::asinh(M / e);
    for (int step = 0; step < 12; ++step)
        H -= (e * std::sinh(H) - H - M) / (e * std::cosh(H) - 1.0);
    return H;
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
        double E = M;
        for (int step = 0; step < 10; ++step)
            E -= (E - e * std::sin(E) - M) / (1.0 - e * std::cos(E));
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
