#pragma once
// What the camera reads of the object it follows beyond its transform: its size, and its motion in the frame of the
// body it moves about (the prograde, radial and normal modes and the demo glide aim along it). Bodies answer from
// their orbits; a spacecraft from its prediction and its drawn state.
#include "Demo/Scene/MathTypes.h"

#include <cstdint>

namespace Demo {

class FollowTarget {
public:
    virtual ~FollowTarget() = default;
    // World units; the camera's orbit distance and minimum follow from it.
    virtual float followRadius() const = 0;
    // Position (world units) and velocity (world units per second) relative to the body that frames the motion;
    // false, leaving both untouched, where no such body is known.
    virtual bool relativeMotion(Vec3d& position, Vec3d& velocity) = 0;
    // The drawn motion relative to body `referenceIndex` of the target's system (absolute when negative); false,
    // leaving both untouched, without a system.
    virtual bool demoMotion(int32_t referenceIndex, Vec3d& position, Vec3d& velocity) = 0;
};

} // namespace Demo
