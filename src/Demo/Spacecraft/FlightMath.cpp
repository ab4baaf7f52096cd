#include "Demo/Spacecraft/FlightMath.h"

#include <algorithm>
#include <cmath>

namespace Demo {

GravityResult gravitySum(const Vec3d& p, const GravityBody* bodies, size_t count, int32_t skip) {
    double ax = 0.0, ay = 0.0, az = 0.0;
    double strongest = 0.0;
    int32_t strongestIndex = -1;
    for (size_t i = 0; i < count; ++i) {
        const GravityBody& b = bodies[i];
        double dx = b.position.x - p.x, dy = b.position.y - p.y, dz = b.position.z - p.z;
        double q = dx * dx + dy * dy + dz * dz;
        if (q > b.mu * GravityFarLimit || q < b.radiusSquared || int32_t(i) == skip)
            continue;
        // a = μ/q along d/|d|: one square root and one division, a recovered as (μ/(q|d|))·|d|.
        double d = std::sqrt(q);
        double k = b.mu / (q * d);
        double a = k * d;
        if (a > strongest) {
            strongest = a;
            strongestIndex = int32_t(i);
        }
        ax += dx * k;
        ay += dy * k;
        az += dz * k;
    }
    return {{ax, ay, az}, strongestIndex};
}

PnrFrame pnrFrame(const Vec3d& position, const Vec3d& velocity, const Vec3d& bodyPosition, const Vec3d& bodyVelocity,
                  const Vec3d* orbitNormal) {
    PnrFrame f;
    Vec3d r = position - bodyPosition;
    double rl = length(r);
    if (!(rl >= 1e-6))
        return f;
    Vec3d w = velocity - bodyVelocity;
    f.radialOut = r / rl;
    f.prograde = normalize(w);
    f.normal = orbitNormal ? normalize(*orbitNormal) : normalize(cross(f.radialOut, f.prograde));
    f.defined = true;
    return f;
}

Vec3d orientationDirection(const PnrFrame& frame, uint32_t orientation) {
    switch (orientation) {
    case OrientTarget:
    case OrientPrograde:
        return frame.prograde;
    case OrientRetrograde:
        return -frame.prograde;
    case OrientNormal:
        return frame.normal;
    case OrientAntiNormal:
        return -frame.normal;
    case OrientRadialIn:
        return -frame.radialOut;
    case OrientRadialOut:
        return frame.radialOut;
    default:
        return {};
    }
}

Quatd lookRotation(const Vec3d& direction, const Vec3d& up) {
    double l = length(direction);
    if (!(l > 0.0))
        return {};
    Vec3d f = direction / l;
    Vec3d hint = up;
    if (!(length(hint) > 0.0) || std::abs(dot(normalize(hint), f)) > 0.9999)
        hint = std::abs(f.y) > 0.9999 ? Vec3d{0.0, 0.0, 1.0} : Vec3d{0.0, 1.0, 0.0};
    // Right-handed columns: Z = −f (the nose is −Z), X = hint × Z, Y = Z × X.
    Vec3d z = -f;
    Vec3d x = normalize(cross(hint, z));
    Vec3d y = cross(z, x);
    Mat4d m;
    m.at(0, 0) = x.x, m.at(1, 0) = x.y, m.at(2, 0) = x.z;
    m.at(0, 1) = y.x, m.at(1, 1) = y.y, m.at(2, 1) = y.z;
    m.at(0, 2) = z.x, m.at(1, 2) = z.y, m.at(2, 2) = z.z;
    return m.toQuaternion().normalized();
}

Quatd frameAttitude(const PnrFrame& frame, uint32_t orientation, const Quatd& fallback) {
    if (!frame.defined)
        return fallback;
    Vec3d d = orientationDirection(frame, orientation);
    if (!(length(d) > 0.0))
        return fallback;
    return lookRotation(d, frame.radialOut);
}

Vec3d maneuverThrust(const Maneuver& m, const PnrFrame& frame, const Vec3d& fallbackNose) {
    if (m.burn == 0)
        return {};
    double k = m.thrust * 1e-7 / double(m.burn);
    Vec3d d = normalize(m.direction);
    if (!frame.defined)
        return fallbackNose * ((d.x + d.y + d.z) * k);
    return (frame.prograde * d.x + frame.normal * d.y - frame.radialOut * d.z) * k;
}

Quatd slerpAttitude(const Quatd& from, const Quatd& to, double t) {
    Quatd goal = to;
    double d = from.x * to.x + from.y * to.y + from.z * to.z + from.w * to.w;
    if (d < 0.0) {
        goal = {-to.x, -to.y, -to.z, -to.w};
        d = -d;
    }
    if (d > 0.9999999)
        return {from.x + (goal.x - from.x) * t, from.y + (goal.y - from.y) * t, from.z + (goal.z - from.z) * t,
                from.w + (goal.w - from.w) * t};
    double theta = std::acos(d);
    double s = std::sin(theta);
    double a = std::sin((1.0 - t) * theta) / s, b = std::sin(t * theta) / s;
    return {from.x * a + goal.x * b, from.y * a + goal.y * b, from.z * a + goal.z * b, from.w * a + goal.w * b};
}

double slewEase(int64_t slewSteps) {
    double x = std::clamp(double(slewSteps) / 2000.0, 0.0, 1.0);
    if (x < 0.5)
        return 4.0 * x * x * x;
    double u = 2.0 - 2.0 * x;
    return 1.0 - u * u * u / 2.0;
}

// 1 − clamp(distance, 0, window) / window; a window of 0 (or less) blends nothing.
static double windowWeight(double distance, double window) {
    if (!(window > 0.0))
        return 0.0;
    return 1.0 - std::clamp(distance, 0.0, window) / window;
}

BurnWindows burnWindows(const std::vector<Maneuver>& maneuvers, uint64_t step) {
    BurnWindows w;
    for (size_t k = 0; k < maneuvers.size(); ++k) {
        const Maneuver& m = maneuvers[k];
        if (m.end() <= step) {
            if (w.previous < 0 || m.end() > maneuvers[size_t(w.previous)].end())
                w.previous = int32_t(k);
        } else if (m.time > step) {
            if (w.next < 0 || m.time < maneuvers[size_t(w.next)].time)
                w.next = int32_t(k);
        }
    }
    if (w.previous >= 0) {
        const Maneuver& p = maneuvers[size_t(w.previous)];
        w.previousWeight = windowWeight(double(step - p.end()), double(p.rotationSpeed));
    }
    if (w.next >= 0) {
        const Maneuver& n = maneuvers[size_t(w.next)];
        w.nextWeight = windowWeight(double(n.time - step), double(n.rotationSpeed));
    }
    return w;
}

int32_t activeManeuver(const std::vector<Maneuver>& maneuvers, uint64_t step) {
    for (size_t k = 0; k < maneuvers.size(); ++k)
        if (maneuvers[k].activeAt(step))
            return int32_t(k);
    return -1;
}

} // namespace Demo
