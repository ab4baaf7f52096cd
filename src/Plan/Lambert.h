#pragma once
// The two-body first guesses of a transfer: Lambert's arc between two points in a given time around one body, and
// the velocity that leaves a body's neighbourhood along a chosen asymptote. Plain functions over plain vectors.
#include "Demo/Scene/MathTypes.h"

#include <optional>

namespace Plan {

using Demo::Vec3d;

struct LambertArc {
    Vec3d departure; // velocity at r1
    Vec3d arrival;   // velocity at r2
};

// The single-revolution conic from r1 to r2 in `seconds` around a body of parameter μ, moving the way `normal`
// points (the arc whose r1 × r2 lies on its side; the long way round when it does not). Universal variables
// (Bate, Mueller & White 5.3) with a bisection on z, which is monotonic in the flight time. Nothing for a
// transfer of exactly half a turn (its plane is undefined) or a non-positive time.
std::optional<LambertArc> lambert(const Vec3d& r1, const Vec3d& r2, double seconds, double mu, const Vec3d& normal);

// The velocity at `position` (relative to a body of parameter μ) on a hyperbola whose outgoing asymptote is
// `excess` (the velocity left far away): the speed from the energy, √(v∞² + 2μ/r), the direction in the plane of
// the position and the asymptote; of the hyperbolae through the point (one each way round), the one whose
// velocity is closest to `near` (the craft's own: the smallest burn) among those whose periapsis is at least
// `periapsis` (clear of the body). Along `excess` at that speed when there is none.
Vec3d escapeVelocity(const Vec3d& position, const Vec3d& excess, double mu, const Vec3d& near, double periapsis);

} // namespace Plan
