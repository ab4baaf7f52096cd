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

} // namespace Demo
