#include "Plan/Lambert.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Plan {

namespace {

using Demo::cross;
using Demo::dot;
using Demo::length;
using Demo::normalize;

// Stumpff's functions C(z) and S(z), by their series near 0 where the closed forms lose their digits.
double stumpffC(double z) {
    if (std::abs(z) < 1e-3)
        return 0.5 - z / 24.0 + z * z / 720.0;
    if (z > 0.0)
        return (1.0 - std::cos(std::sqrt(z))) / z;
    return (std::cosh(std::sqrt(-z)) - 1.0) / -z;
}
double stumpffS(double z) {
    if (std::abs(z) < 1e-3)
        return 1.0 / 6.0 - z / 120.0 + z * z / 5040.0;
    if (z > 0.0) {
        const double s = std::sqrt(z);
        return (s - std::sin(s)) / (s * s * s);
    }
    const double s = std::sqrt(-z);
    return (std::sinh(s) - s) / (s * s * s);
}

} // namespace

std::optional<LambertArc> lambert(const Vec3d& r1, const Vec3d& r2, double seconds, double mu, const Vec3d& normal) {
    const double m1 = length(r1), m2 = length(r2);
    if (!(seconds > 0.0) || !(mu > 0.0) || !(m1 > 0.0) || !(m2 > 0.0))
        return std::nullopt;
    const double c = std::clamp(dot(r1, r2) / (m1 * m2), -1.0, 1.0);
    double theta = std::acos(c);
    if (dot(cross(r1, r2), normal) < 0.0)
        theta = 2.0 * M_PI - theta;
    const double A = std::sin(theta) * std::sqrt(m1 * m2 / (1.0 - c));
    if (!std::isfinite(A) || std::abs(A) < 1e-12 * std::sqrt(m1 * m2))
        return std::nullopt;
    auto y = [&](double z) { return m1 + m2 + A * (z * stumpffS(z) - 1.0) / std::sqrt(stumpffC(z)); };
    // Flight time of z; where y < 0 no conic exists and the time counts as too short.
    auto time = [&](double z) {
        const double yz = y(z);
        if (yz < 0.0)
            return -1.0;
        const double x = std::sqrt(yz / stumpffC(z));
        return (x * x * x * stumpffS(z) + A * std::sqrt(yz)) / std::sqrt(mu);
    };
    // z < 4π² is the single revolution; time grows with z from its lower end (fast hyperbolae) to infinity.
    double lo = -4.0 * M_PI * M_PI, hi = 4.0 * M_PI * M_PI * (1.0 - 1e-12);
    for (int k = 0; k < 60 && time(lo) > seconds; ++k)
        lo *= 2.0;
    if (time(lo) > seconds)
        return std::nullopt;
    for (int k = 0; k < 200 && hi - lo > 1e-14 * std::max(1.0, std::abs(lo)); ++k) {
        const double mid = 0.5 * (lo + hi);
        (time(mid) < seconds ? lo : hi) = mid;
    }
    const double z = 0.5 * (lo + hi), yz = y(z);
    if (!(yz > 0.0))
        return std::nullopt;
    // Lagrange's coefficients: r2 = f r1 + g v1, v2 = (ġ r2 − r1) / g.
    const double f = 1.0 - yz / m1, g = A * std::sqrt(yz / mu), gdot = 1.0 - yz / m2;
    LambertArc arc;
    arc.departure = (r2 - r1 * f) / g;
    arc.arrival = (r2 * gdot - r1) / g;
    if (!std::isfinite(arc.departure.x + arc.departure.y + arc.departure.z + arc.arrival.x + arc.arrival.y +
                       arc.arrival.z))
        return std::nullopt;
    return arc;
}

Vec3d escapeVelocity(const Vec3d& position, const Vec3d& excess, double mu, const Vec3d& near, double periapsis) {
    const double r = length(position), vInf = length(excess);
    if (!(r > 0.0) || !(vInf > 0.0) || !(mu > 0.0))
        return excess;
    const double speed = std::sqrt(vInf * vInf + 2.0 * mu / r);
    const Vec3d want = excess / vInf;
    const Vec3d n = cross(position, want);
    if (!(length(n) > 1e-9 * r))
        return want * speed;
    // The orbit holds the position and the asymptote, so the velocity lies in their plane: one angle φ from r̂
    // towards n̂ × r̂. err(φ) is the signed angle from the asymptote reached to the one wanted.
    const Vec3d a = position / r, nHat = normalize(n), b = cross(nHat, a);
    auto velocity = [&](double phi) { return (a * std::cos(phi) + b * std::sin(phi)) * speed; };
    auto err = [&](double phi) {
        const Vec3d u = velocity(phi);
        const Vec3d h = cross(position, u);
        const Vec3d eVec = cross(u, h) / mu - a;
        const double e = length(eVec);
        if (!(length(h) > 0.0) || !(e > 1.0))
            return std::numeric_limits<double>::quiet_NaN();
        // The outgoing asymptote: the velocity's direction at the true anomaly arccos(−1/e).
        const Vec3d p = eVec / e, q = cross(normalize(h), p);
        const Vec3d reached = p * -std::sqrt(1.0 - 1.0 / (e * e)) + q * (e - 1.0 / e);
        return std::atan2(dot(cross(reached, want), nHat), dot(reached, want));
    };
    // Every root over the circle (a scan, then bisection); the one closest to `near`.
    constexpr int Samples = 720;
    std::optional<Vec3d> best;
    double prevPhi = 0.0, prev = err(0.0);
    for (int k = 1; k <= Samples; ++k) {
        const double phi = 2.0 * M_PI * k / Samples, now = err(phi);
        if (std::isfinite(prev) && std::isfinite(now) && (prev < 0.0) != (now < 0.0) && std::abs(prev - now) < M_PI) {
            double lo = prevPhi, hi = phi, flo = prev;
            for (int i = 0; i < 60; ++i) {
                const double mid = 0.5 * (lo + hi), fm = err(mid);
                if (!std::isfinite(fm))
                    break;
                if ((fm < 0.0) == (flo < 0.0)) {
                    lo = mid;
                    flo = fm;
                } else {
                    hi = mid;
                }
            }
            const Vec3d u = velocity(0.5 * (lo + hi));
            // Periapsis h²/μ/(1 + e): a hyperbola through the body is no way out.
            const Vec3d h = cross(position, u);
            const double e = length(cross(u, h) / mu - a);
            const bool clear = dot(h, h) / mu / (1.0 + e) >= periapsis;
            if (clear && (!best || length(u - near) < length(*best - near)))
                best = u;
        }
        prevPhi = phi;
        prev = now;
    }
    return best ? *best : want * speed;
}

} // namespace Plan
