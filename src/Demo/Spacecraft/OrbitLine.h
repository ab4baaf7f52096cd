#pragma once
// The points of a body's orbit line as plain data: 256 positions over one period centred on the current time
// (1e6 seconds for open orbits), either around the parent's current position ("Local") or as the true path
// through space with every ancestor moving along ("World").
#include "Demo/Scene/MathTypes.h"

#include <cstdint>

namespace Demo {

class AstroObject;

constexpr uint32_t OrbitLinePoints = 256;
constexpr double OpenOrbitWindow = 1e6; // seconds drawn of a parabola or hyperbola

enum OrbitSpace : uint32_t { OrbitLocal = 0, OrbitWorld = 1 };
inline constexpr const char* OrbitSpaceNames[2] = {"Local", "World"};

// Seconds spanned by the line: one period for an ellipse, the open-orbit window otherwise (and for a body that
// does not move, whose points all coincide).
double orbitLineSpan(const AstroObject& body);

// Writes 256 xyz floats into `out` for `body` at `now` seconds of simulated time; `renderOffset` (the drawn
// spacecraft's offset from its simulated position) is added to every point. Returns the point count.
uint32_t buildOrbitLine(const AstroObject& body, double now, uint32_t space, const Vec3d& renderOffset, float* out);

// A Local line of a closed orbit is the same ellipse around the parent every frame: its points relative to the
// parent are kept while the elements and the parent's μ stay as they were, and only moved to where the parent and
// the drawn craft are now (256 Kepler solves per body and frame were a fifth of the tour's frame CPU time). The
// ellipse is sampled from the time of the last change, so the body sits on it between two points as before.
struct OrbitShapeCache {
    bool valid = false;
    double key[8] = {}; // the seven elements and the parent's μ the points were made for
    Vec3d points[OrbitLinePoints];
};
// As buildOrbitLine, through `cache` where the line is Local and the orbit closed.
uint32_t buildOrbitLine(const AstroObject& body, double now, uint32_t space, const Vec3d& renderOffset, float* out,
                        OrbitShapeCache& cache);

} // namespace Demo
