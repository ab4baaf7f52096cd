#include "Demo/Spacecraft/FlightCore.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace Demo {

int32_t flightBurnAt(FlightState& s, const FlightRules& rules, uint64_t t) {
    const int32_t n = int32_t(rules.maneuverCount);
    while (s.cursor < n && rules.maneuvers[s.cursor].end() <= t)
        ++s.cursor;
    if (s.cursor < n && rules.maneuvers[s.cursor].time <= t)
        return s.cursor;
    return -1;
}

FlightStepResult flightStep(FlightState& s, GravityField& field, const BodyCacheView& ring, const FlightRules& rules,
                            uint64_t t) {
    const uint32_t K = ring.entries ? uint32_t(std::min<size_t>(field.count, ring.objectCount)) : 0;
    if (K > 0 && (t >> 2) != s.loadedSlot) {
        const CachedPosition* slot = ring.slot(t);
        for (uint32_t i = 0; i < K; ++i)
            field.setPosition(i, slot[i].x, slot[i].y, slot[i].z);
        s.loadedSlot = t >> 2;
    }
    // The near bodies are chosen again when the bodies move (every fourth step) or the craft leaves their reach;
    // the reach (eight steps of flight at the speed then) changes only in the second case.
    if (!field.nearHolds(s.position)) {
        double reach = field.near.reach;
        Vec3d d = s.position - field.near.anchor;
        if (!field.near.valid || !(d.x * d.x + d.y * d.y + d.z * d.z < reach * reach)) {
            const Vec3d& v = s.velocity;
            reach = 8.0 * ring.timeStepLength * std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z) + 1.0;
        }
        field.selectNear(s.position, reach, rules.craftIndex);
    }
    FlightStepResult r;
    r.gravity = gravitySumNear(s.position, field, rules.craftIndex);
    r.burn = flightBurnAt(s, rules, t);
    if (r.burn >= 0) {
        const Maneuver& m = rules.maneuvers[r.burn];
        // A fixed burn keeps the frame of its first step, or of the first step flown when a flight starts inside it.
        if (m.continuous || t == m.time || s.savedFor != m.time) {
            uint32_t b = uint32_t(std::max(m.dominantObject, 0));
            ThrustInput in;
            in.position = s.position;
            in.velocity = s.velocity;
            if (b < K) {
                in.bodyPosition = ring.position(t, b);
                in.bodyVelocity = cachedBodyVelocity(in.bodyPosition, ring.position(t + 4, b), ring.timeStepLength);
            }
            in.orbitNormal = rules.orbitNormal;
            in.fallbackNose = rules.fallbackNose;
            r.thrust = thrustFor(m, in);
            if (!m.continuous) {
                s.savedFor = m.time;
                s.savedThrust = r.thrust;
            }
        } else {
            r.thrust = s.savedThrust;
        }
    }
    eulerStep(s.position, s.velocity, r.thrust + r.gravity.acceleration, ring.timeStepLength);
    return r;
}

void sortBurns(const std::vector<Maneuver>& list, std::vector<Maneuver>& sorted, std::vector<int32_t>& order) {
    order.resize(list.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int32_t a, int32_t b) { return list[a].time < list[b].time; });
    sorted.resize(list.size());
    for (size_t k = 0; k < list.size(); ++k)
        sorted[k] = list[size_t(order[k])];
}

} // namespace Demo
