#include "Demo/Spacecraft/Thrusters.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace Demo {

namespace {

EngineMount makeMount(bool mainEngine, Vec3d position, Vec3d direction, float p0, float p1, float p2) {
    EngineMount m;
    m.mainEngine = mainEngine;
    m.position = position;
    m.direction = direction;
    m.light[0] = p0;
    m.light[1] = p1;
    m.light[2] = p2;
    float* f = m.emitter.f;
    if (mainEngine) {
        f[3] = 0.25f;
        f[7] = 0.015f;
        const float ramp[6] = {1.0f, 0.3f, 0.0f, 0.2f, 1.0f, 0.0f};
        std::copy(ramp, ramp + 6, f + 8);
        f[19] = 0.008f;
        f[20] = 5.0f;
        f[21] = 4.0f;
    } else {
        f[3] = 1.0f;
        f[7] = 0.015f;
        const float ramp[7] = {1.0f, 1.0f, 1.0f, 0.05f, 0.5f, 0.5f, 0.5f};
        std::copy(ramp, ramp + 7, f + 8);
        f[19] = 0.005f;
        f[20] = 2.0f;
        f[21] = 0.1f;
    }
    return m;
}

} // namespace

const std::array<EngineMount, 10>& craftEngineMounts() {
    // Thruster directions have length 10 (components 10/√2).
    static const double d = 7.0710678;
    static const std::array<EngineMount, 10> mounts = {
        makeMount(true, {0.1, 0.0, 0.2}, {0.0, 0.0, 2.0}, 10.0f, 0.4f, 0.1f),
        makeMount(true, {-0.1, 0.0, 0.2}, {0.0, 0.0, 2.0}, 10.0f, 0.4f, 0.1f),
        makeMount(false, {0.15, 0.027, 0.183}, {d, d, 0.0}, 0.2f, 0.2f, 0.2f),
        makeMount(false, {0.15, 0.027, 0.183}, {d, -d, 0.0}, 0.2f, 0.2f, 0.2f),
        makeMount(false, {-0.15, 0.027, 0.183}, {-d, d, 0.0}, 0.2f, 0.2f, 0.2f),
        makeMount(false, {-0.15, 0.027, 0.183}, {-d, -d, 0.0}, 0.2f, 0.2f, 0.2f),
        makeMount(false, {0.042, 0.027, -0.308}, {d, d, 0.0}, 0.2f, 0.2f, 0.2f),
        makeMount(false, {-0.042, 0.027, -0.308}, {-d, d, 0.0}, 0.2f, 0.2f, 0.2f),
        makeMount(false, {0.035, 0.01, -0.3}, {d, -d, 0.0}, 0.2f, 0.2f, 0.2f),
        makeMount(false, {-0.035, 0.01, -0.3}, {-d, -d, 0.0}, 0.2f, 0.2f, 0.2f),
    };
    return mounts;
}

Vec3d engineLightPosition(const EngineMount& mount) {
    return mount.position * ModelFromEmitterScale + mount.direction * 0.25;
}

void computeThrusterThrottles(const Quatd& burnAttitude, const Quatd& smoothedBurnAttitude, const EngineMount* mounts,
                              uint32_t mountCount, float throttle[MaxEmitters]) {
    const Quatd a = burnAttitude.normalized(), b = smoothedBurnAttitude.normalized();
    for (uint32_t i = 0; i < MaxEmitters; ++i) {
        if (i >= mountCount) {
            throttle[i] = 0.0f;
            continue;
        }
        const Vec3d& p = mounts[i].position;
        throttle[i] = float(dot(b.rotate(p) - a.rotate(p), a.rotate(mounts[i].direction)));
    }
}

float mainEngineTarget(const Vec3d& thrustAcceleration) {
    return length(thrustAcceleration) > 1e-15 ? 1.0f : 0.0f;
}

void setThrusterTargets(std::vector<Thruster>& thrusters, const float throttle[MaxEmitters], bool rcsActive,
                        float burnBlend) {
    if (!rcsActive) {
        for (Thruster& t : thrusters)
            t.target = 0.0f;
        return;
    }
    const float sign = burnBlend > 0.5f ? 1.0f : -1.0f;
    float m = 0.0f;
    for (const Thruster& t : thrusters)
        if (t.emitter < MaxEmitters)
            m = std::max(m, throttle[t.emitter] * sign);
    for (Thruster& t : thrusters)
        t.target = m > 0.0f && t.emitter < MaxEmitters ? throttle[t.emitter] * sign / m : 0.0f;
}

uint32_t updateThruster(Thruster& t, EngineLight& light, bool smoothing, double timeFactor, double frameMilliseconds) {
    const float alpha = float(std::clamp(timeFactor * 2e-7 * frameMilliseconds, 0.0, 1.0));
    if (smoothing) {
        t.smoothed = (1.0f - alpha) * t.smoothed + alpha * t.target;
        if (t.target == 0.0f)
            t.smoothed = 0.0f;
    } else {
        t.smoothed = t.target;
    }
    const float k = (smoothing ? (t.target == 0.0f ? 0.0f : t.smoothed) : t.target) * t.strength;

    light.intensity = (1.0f - alpha) * light.intensity + alpha * t.target;
    light.enabled = light.intensity > 0.01f;

    // Nothing is emitted without simulated time; the carry waits for it (no division by a zero factor).
    if (!(k >= 1e-11f) || !(timeFactor > 0.0))
        return 0;
    // x real seconds at F simulated seconds per real second emit x·F·k particles; what is left of x after
    // the whole ones carries over to the next frame.
    const double x = frameMilliseconds * 0.001 + double(t.carry);
    const double wanted = std::floor(x * timeFactor * double(k));
    t.carry = float(std::max(0.0, (x * timeFactor - wanted / double(k)) / timeFactor));
    if (!(wanted > 0.0))
        return 0;
    return wanted >= double(std::numeric_limits<uint32_t>::max()) ? std::numeric_limits<uint32_t>::max()
                                                                  : uint32_t(wanted);
}

EmitterPlacement placeEmitter(const EngineMount& mount, const Mat4d& world, const Mat4d& rotation,
                              const Vec3d& craftVelocity) {
    EmitterPlacement e;
    const Vec3d p = world.transformPoint(mount.position * ModelFromEmitterScale);
    const Vec3d d = rotation.transformVector(mount.direction);
    const Vec3d v = craftVelocity * ParticleTimeUnit;
    const double values[3][3] = {{p.x, p.y, p.z}, {d.x, d.y, d.z}, {v.x, v.y, v.z}};
    for (int k = 0; k < 3; ++k) {
        e.position[k] = float(values[0][k]);
        e.direction[k] = float(values[1][k]);
        e.velocity[k] = float(values[2][k]);
    }
    return e;
}

void SpacecraftEngines::add(const EngineMount& mount, uint32_t emitterIndex) {
    EngineLight light;
    Vec3d at = engineLightPosition(mount);
    light.position[0] = float(at.x);
    light.position[1] = float(at.y);
    light.position[2] = float(at.z);
    light.p0 = mount.light[0];
    light.p1 = mount.light[1];
    light.p2 = mount.light[2];
    light.intensity = 1.0f;
    light.enabled = false;
    lights.push_back(light);

    Thruster t;
    t.emitter = emitterIndex;
    t.light = uint32_t(lights.size() - 1);
    (mount.mainEngine ? mainEngines : thrusters).push_back(t);
    mounts.push_back(mount);
    emitters.push_back(emitterIndex);
    placements.reserve(mounts.size());
    requests.reserve(mounts.size());
}

void SpacecraftEngines::updateThrottles(const EngineFrameInput& input) {
    // Throttles are indexed by emitter; the mounts are in the order they were added.
    float byMount[MaxEmitters];
    computeThrusterThrottles(input.burnAttitude, input.smoothedBurnAttitude, mounts.data(), uint32_t(mounts.size()),
                             byMount);
    std::fill(thrusterThrottle, thrusterThrottle + MaxEmitters, 0.0f);
    placements.clear();
    for (size_t m = 0; m < mounts.size(); ++m) {
        if (m < MaxEmitters && emitters[m] < MaxEmitters)
            thrusterThrottle[emitters[m]] = byMount[m];
        placements.push_back(placeEmitter(mounts[m], input.world, input.rotation, input.velocity));
    }
    const float main = mainEngineTarget(input.thrustAcceleration);
    for (Thruster& t : mainEngines)
        t.target = main;
    setThrusterTargets(thrusters, thrusterThrottle, input.rcsActive, input.burnBlend);
}

} // namespace Demo
