#pragma once
// The spacecraft's flight as plain functions over plain records: the gravity sum, the prograde / normal /
// radial-in frame of a burn, the thrust of a manoeuvre, the semi-implicit Euler step, the interpolation for
// drawing and the attitude rules. The navigation (main thread) and the prediction worker (its own thread) both
// fly the craft through these, so the prediction is the navigation's future bit for bit.
//
// Units: positions in world units, velocities in world units per second, accelerations in world units per
// second², time in time steps of `timeStepLength` seconds (100 by default).
#include "Demo/Scene/MathTypes.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Demo {

// One scheduled burn.
struct Maneuver {
    uint64_t time = 0;      // first time step of the burn
    uint64_t burn = 0;      // length in time steps: active at step s when time ≤ s < time + burn
    Vec3d direction;        // weights of the prograde, normal and radial-in axes; only the direction counts
    double thrust = 0.;     // the burn changes the velocity by thrust × 1e-7 × timeStepLength, whatever its length
    bool continuous = true; // true: frame and state re-evaluated every step; false: those of the first step
    int32_t dominantObject = 0; // body index whose frame gives the axes; negative counts as 0
    float rotationSpeed = 0.0f; // time steps of attitude blend before the burn starts and after it ends

    bool activeAt(uint64_t step) const { return time <= step && step - time < burn; }
    uint64_t end() const { return time + burn; }
};

// The state a flight (mission or prediction) starts from.
struct StartData {
    Vec3d position;
    Vec3d velocity;
    uint64_t timeStep = 0;
};

// One body as the gravity sum sees it; positions are filled per time step.
struct GravityBody {
    Vec3d position;
    double mu = 0.0;            // G · (4/3)π r³ ρ, world units³/s²
    double radiusSquared = 0.0; // r², world units²
};

struct GravityResult {
    Vec3d acceleration;
    int32_t strongest = -1; // body with the greatest μ/d², -1 when no body counted
};

// Bodies farther than √(FarLimit · μ) are too far to matter.
constexpr double GravityFarLimit = 5e14;

// Newtonian acceleration at `p` from every body but `skip`: a body counts unless the craft is inside it
// (d² < r²) or d² > 5e14 μ. Acceleration μ/d² along d̂. Body i adds into partial sum i mod 4, and the four are
// added as (s0 + s1) + (s2 + s3), the order the four-wide sum below takes.
GravityResult gravitySum(const Vec3d& p, const GravityBody* bodies, size_t count, int32_t skip);

// The bodies of a gravity sum as parallel arrays, the layout four-wide arithmetic loads directly; padded to a
// multiple of four with bodies that never count.
struct GravityField {
    std::vector<double> x, y, z, mu, radiusSquared;
    std::vector<double> index; // i, as the four-wide loop loads it
    size_t count = 0;

    // The bodies that can count anywhere within `reach` of `anchor`, each still in lane i mod 4 and in order
    // within its lane, padded per row with bodies that never count. A body left out adds nothing to its lane
    // there, so a sum over these gives the bits of the sum over all: most of a system's bodies are out of range
    // of the craft at any time, and the square roots and divisions are what a step costs.
    struct Near {
        std::vector<double> x, y, z, mu, radiusSquared, index;
        std::vector<uint32_t> source;  // body of each entry; UINT32_MAX for padding
        std::vector<double> threshold; // per body (padded): d² beyond which it cannot count within `reach`
        std::vector<uint8_t> member;   // per row of four bodies, a bit each: among the near ones
        std::vector<uint8_t> scratch;  // the same, as just found
        Vec3d anchor;
        double reach = -1.0;
        int32_t skip = -1;
        bool valid = false; // chosen for this field's bodies
        bool stale = false; // a body moved since
    } near;

    // μ and r² of `bodies`; positions zero. Reuses the arrays' storage when the count does not grow.
    void assign(const GravityBody* bodies, size_t count);
    void setPosition(size_t i, double px, double py, double pz) {
        x[i] = px;
        y[i] = py;
        z[i] = pz;
        near.stale = true;
    }
    Vec3d position(size_t i) const { return {x[i], y[i], z[i]}; }
    // Chooses the near bodies around `p` for sums within `reach` of it (the craft's own entry `skip` left out);
    // the layout is rebuilt only when the set changes, so choosing again at every new position of the bodies is
    // cheap while the reach stays.
    void selectNear(const Vec3d& p, double reach, int32_t skip);
    bool nearHolds(const Vec3d& p) const {
        Vec3d d = p - near.anchor;
        return near.valid && !near.stale && d.x * d.x + d.y * d.y + d.z * d.z < near.reach * near.reach;
    }
};
// The same sum over a field, four bodies per instruction where the processor has AVX; the same bits as the sum
// over the records.
GravityResult gravitySum(const Vec3d& p, const GravityField& field, int32_t skip);
// The same sum over the field's near bodies; `p` must be within their reach (`nearHolds`). The same bits again.
GravityResult gravitySumNear(const Vec3d& p, const GravityField& field, int32_t skip);

// Semi-implicit (symplectic) Euler: the velocity first, then the position with the new velocity.
inline void eulerStep(Vec3d& position, Vec3d& velocity, const Vec3d& acceleration, double h) {
    velocity += acceleration * h;
    position += velocity * h;
}

// Orientation modes of the navigation, by value.
enum Orientation : uint32_t {
    OrientNone = 0,
    OrientTarget = 1,
    OrientPrograde = 2,
    OrientRetrograde = 3,
    OrientNormal = 4,
    OrientAntiNormal = 5,
    OrientRadialIn = 6,
    OrientRadialOut = 7,
};
inline constexpr const char* OrientationNames[8] = {"None",   "Target",     "Prograde", "Retrograde",
                                                    "Normal", "AntiNormal", "RadialIn", "RadialOut"};

// The craft's frame relative to a body: prograde ŵ (relative velocity), normal n̂ = r̂ × ŵ, radial r̂ (the body
// towards the craft). Undefined closer than 1e-6 to the body's centre; the caller then keeps its attitude.
struct PnrFrame {
    Vec3d prograde, normal, radialOut;
    bool defined = false;
};
// `orbitNormal`, when given, replaces r̂ × ŵ (the craft placed on its Kepler orbit).
PnrFrame pnrFrame(const Vec3d& position, const Vec3d& velocity, const Vec3d& bodyPosition, const Vec3d& bodyVelocity,
                  const Vec3d* orbitNormal = nullptr);
// The direction an orientation mode points along ("Target" as "Prograde"); zero for "None".
Vec3d orientationDirection(const PnrFrame& frame, uint32_t orientation);

// Rotation whose −Z axis (the craft's nose) points along `direction`, with +Y towards the up hint as far as
// possible. The hint is replaced by (0, 1, 0) when nearly parallel to the direction, and by (0, 0, 1) when the
// direction is nearly vertical. Identity for a zero direction.
Quatd lookRotation(const Vec3d& direction, const Vec3d& up);
// The attitude of an orientation mode in a frame (up hint r̂); `fallback` when the frame is undefined or the
// direction vanishes.
Quatd frameAttitude(const PnrFrame& frame, uint32_t orientation, const Quatd& fallback);

// Thrust acceleration of a burn: k = thrust × 1e-7 / burn along the normalised weights of P = ŵ, N = n̂,
// R = −r̂. When the frame is undefined all three axes are the craft's nose `fallbackNose`. Zero for a burn of
// length 0.
Vec3d maneuverThrust(const Maneuver& m, const PnrFrame& frame, const Vec3d& fallbackNose);

// Velocity of a cached body at step s: (position at s + 4 − position at s) × 0.25 / L (the cache holds one
// position per four steps).
inline Vec3d cachedBodyVelocity(const Vec3d& atStep, const Vec3d& fourStepsLater, double timeStepLength) {
    return (fourStepsLater - atStep) * (0.25 / timeStepLength);
}

// Linear blend between the state of the previous step (α = 0) and the current one (α = 1).
inline Vec3d interpolate(const Vec3d& previous, const Vec3d& current, double alpha) {
    return previous * (1.0 - alpha) + current * alpha;
}

// Shorter-arc spherical interpolation; linear (not renormalised) above a dot product of 0.9999999.
Quatd slerpAttitude(const Quatd& from, const Quatd& to, double t);
// Ease of the 2000-step slew after a change of reference body: x = min(steps / 2000, 1), 4x³ up to x = 0.5,
// then 1 − (2 − 2x)³ / 2.
double slewEase(int64_t slewSteps);

// The burns around a step without an active burn: the last one to have ended and the first one still to come,
// with the weights 1 − clamp(distance in steps, 0, window) / window of the blend out of and into them (window =
// the burn's rotationSpeed, 512 without a burn; 0 for a burn with a window ≤ 0).
struct BurnWindows {
    int32_t previous = -1, next = -1; // indices into the manoeuvre list
    double previousWeight = 0.0, nextWeight = 0.0;
};
BurnWindows burnWindows(const std::vector<Maneuver>& maneuvers, uint64_t step);
// The first manoeuvre in list order that is active at `step`, or -1.
int32_t activeManeuver(const std::vector<Maneuver>& maneuvers, uint64_t step);

// Builds the maneuver's thrust for one step the way both fliers do: the axes of `bodyIndex` (negative counts as
// 0) from the body position and velocity at step s, and the craft's state.
struct ThrustInput {
    Vec3d position, velocity;         // the craft's state the frame is taken from
    Vec3d bodyPosition, bodyVelocity; // of the manoeuvre's body at the frame's step
    const Vec3d* orbitNormal = nullptr;
    Vec3d fallbackNose{0.0, 0.0, -1.0};
};
inline Vec3d thrustFor(const Maneuver& m, const ThrustInput& in) {
    return maneuverThrust(m, pnrFrame(in.position, in.velocity, in.bodyPosition, in.bodyVelocity, in.orbitNormal),
                          in.fallbackNose);
}

} // namespace Demo
