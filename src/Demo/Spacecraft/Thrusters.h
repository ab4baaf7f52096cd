#pragma once
// The craft's two main engines and eight attitude thrusters: where they sit, how hard each fires this frame,
// their lights, and how much exhaust they emit. Plain data and functions; the particle system and the lights
// block receive what they compute.
#include "Demo/Scene/MathTypes.h"
#include "Demo/Surfaces/ParticleBlocks.h"

#include <array>
#include <cstdint>
#include <vector>

namespace Demo {

// An engine light: position in the model's frame, three parameters the shader reads as the light's linear RGB
// radiant intensity, and the intensity that fades with the engine's throttle.
struct EngineLight {
    bool enabled = false;
    float position[3] = {0.0f, 0.0f, 0.0f};
    float p0 = 0.0f, p1 = 0.0f, p2 = 0.0f;
    float intensity = 1.0f;
};

struct Thruster {
    float target = 0.0f;   // commanded throttle
    float smoothed = 0.0f; // throttle after smoothing
    uint32_t emitter = 0;  // particle emitter index
    uint32_t light = 0;    // index into the engine lights
    float strength = 1.0f;
    float carry = 0.0f; // real seconds of emission not yet turned into particles
};

// One engine or thruster as built into the craft. Positions and directions are in the emitter frame, which is
// the model frame divided by ten (the model is built at ten times these coordinates and the craft is scaled by
// 0.1, so they read as world offsets from the craft's centre).
struct EngineMount {
    bool mainEngine = false;
    Vec3d position;
    Vec3d direction; // exhaust direction; its length scales the exhaust speed
    float light[3] = {0.0f, 0.0f, 0.0f};
    EmitterRecord emitter; // parameters (position, direction and velocity are filled every frame)
};

// Model-frame points are ten times emitter-frame points.
constexpr double ModelFromEmitterScale = 10.0;

// The craft's ten emitters in table order: main engines 0 and 1, then thrusters 2 to 9.
const std::array<EngineMount, 10>& craftEngineMounts();

// Position of a mount's light in the model frame: 10 × position + 0.25 × direction.
Vec3d engineLightPosition(const EngineMount& mount);

// Throttle of each emitter from the slew between two attitudes: (RB·p − RA·p) · (RA·e), the speed of the
// emitter's point along its own rotated direction while the craft turns from A towards B. The quaternions are
// normalised first (a blend of two attitudes is not of unit length); entries past the mount count are 0.
void computeThrusterThrottles(const Quatd& burnAttitude, const Quatd& smoothedBurnAttitude, const EngineMount* mounts,
                              uint32_t mountCount, float throttle[MaxEmitters]);

// 1 while the main engines are commanded (|thrust acceleration| > 1e-15), else 0.
float mainEngineTarget(const Vec3d& thrustAcceleration);

// Attitude thruster targets: while the RCS is active, v = throttle × (1 into a burn, −1 out of it, by
// `burnBlend` > 0.5) scaled so the strongest positive one is 1 (all 0 when none is positive); otherwise 0.
void setThrusterTargets(std::vector<Thruster>& thrusters, const float throttle[MaxEmitters], bool rcsActive,
                        float burnBlend);

// One frame of a thruster: smoothing, its light's fade, and the particles it emits this frame (per simulated
// second, so the count scales with the time factor). `frameMilliseconds` is the real frame time.
uint32_t updateThruster(Thruster& thruster, EngineLight& light, bool smoothing, double timeFactor,
                        double frameMilliseconds);

// World placement of an emitter this frame.
struct EmitterPlacement {
    float position[3]; // world units
    float direction[3];
    float velocity[3]; // world units per particle time unit
};

// Emitter placement from the craft's world matrix (with its scale) and world rotation matrix: the nozzle point
// 10 × p through the world matrix, the direction through the rotation, the craft's velocity (world units per
// second) in particle time.
EmitterPlacement placeEmitter(const EngineMount& mount, const Mat4d& world, const Mat4d& rotation,
                              const Vec3d& craftVelocity);

// What the engines need of the craft in one frame.
struct EngineFrameInput {
    Mat4d world;    // the craft's world matrix
    Mat4d rotation; // its world rotation (unit axes, no translation)
    Vec3d velocity; // simulated velocity, world units per second
    Vec3d thrustAcceleration;
    bool rcsActive = false;
    float burnBlend = 0.0f;
    Quatd burnAttitude, smoothedBurnAttitude;
    double timeFactor = 0.0;
    double frameMilliseconds = 0.0;
};

// The engines and thrusters of one craft with their lights and this frame's throttles.
class SpacecraftEngines {
public:
    // Adds an engine or thruster fed by particle emitter `emitterIndex`: a disabled light at the mount's light
    // position and a thruster record in the main engine or attitude thruster list.
    void add(const EngineMount& mount, uint32_t emitterIndex);

    // Throttles, emitter placements (one per added mount, in order) and this frame's emission requests; the
    // seeds are drawn from `nextSeed` (uniform in 0..2147483647), one per request.
    template <class SeedSource> void update(const EngineFrameInput& input, SeedSource&& nextSeed) {
        updateThrottles(input);
        requests.clear();
        auto run = [&](std::vector<Thruster>& list, bool smoothing) {
            for (Thruster& t : list) {
                uint32_t n = updateThruster(t, lights[t.light], smoothing, input.timeFactor, input.frameMilliseconds);
                if (n > 0)
                    requests.push_back({t.emitter, n, nextSeed(), 0});
            }
        };
        run(mainEngines, true);
        run(thrusters, false);
    }

    std::vector<EngineMount> mounts; // in emitter order
    std::vector<uint32_t> emitters;  // particle emitter index of each mount
    std::vector<EngineLight> lights;
    std::vector<Thruster> mainEngines;
    std::vector<Thruster> thrusters;
    float thrusterThrottle[MaxEmitters] = {};
    std::vector<EmitterPlacement> placements; // this frame, one per mount
    std::vector<EmissionRequest> requests;    // this frame

private:
    void updateThrottles(const EngineFrameInput& input);
};

} // namespace Demo
