#include "Plan/MissionFlight.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace Plan {

namespace {

// Steps of the ring filled at a time: a long report never holds more than this many positions.
constexpr uint64_t WindowSteps = 262144;

struct Flyer {
    Flyer(Ephemeris& eph_, const Demo::MissionData& mission) : eph(eph_) {
        Demo::sortBurns(mission.maneuvers, sorted, order);
        rules.maneuvers = sorted.data();
        rules.maneuverCount = sorted.size();
        rules.craftIndex = eph.craftIndex;
        std::vector<Demo::GravityBody> g = eph.gravityBodies();
        field.assign(g.data(), g.size());
        Demo::StartData start = missionStart(eph, mission);
        state.position = start.position;
        state.velocity = start.velocity;
        step = start.timeStep;
    }
    // Flies up to `until`; `seen(t, position, result)` gets the position each step t started from and the step's
    // result (the field then holds the bodies of step t).
    template <class Seen> void flyTo(uint64_t until, Seen&& seen) {
        while (step < until) {
            const uint64_t end = std::min(until, step + WindowSteps);
            eph.cover(step, end);
            const Demo::BodyCacheView ring = eph.view();
            state.loadedSlot = UINT64_MAX;
            for (; step < end; ++step) {
                const Vec3d before = state.position;
                Demo::FlightStepResult r = Demo::flightStep(state, field, ring, rules, step);
                seen(step, before, r);
            }
        }
    }
    Ephemeris& eph;
    std::vector<Demo::Maneuver> sorted;
    std::vector<int32_t> order;
    Demo::FlightRules rules;
    Demo::GravityField field;
    Demo::FlightState state;
    uint64_t step = 0;
};

} // namespace

Demo::StartData missionStart(const Ephemeris& eph, const Demo::MissionData& mission) {
    return {eph.position(eph.craftIndex, mission.startTimeStep), eph.velocity(eph.craftIndex, mission.startTimeStep),
            mission.startTimeStep};
}

uint64_t defaultReportEnd(const Demo::MissionData& mission) {
    uint64_t end = mission.startTimeStep;
    for (const Demo::Maneuver& m : mission.maneuvers)
        end = std::max(end, m.end());
    return end + ReportTailSteps;
}

FlightReport flyMission(Ephemeris& eph, const Demo::MissionData& mission, uint64_t until) {
    FlightReport report;
    report.from = mission.startTimeStep;
    report.until = std::max(until, report.from);
    report.closest.resize(eph.bodies.size());
    report.burns.resize(mission.maneuvers.size());
    std::vector<double> closestSquared(eph.bodies.size(), std::numeric_limits<double>::infinity());
    for (size_t k = 0; k < mission.maneuvers.size(); ++k)
        report.burns[k].body = std::max(mission.maneuvers[k].dominantObject, 0);
    Flyer f(eph, mission);
    const size_t n = eph.bodies.size();
    int32_t flown = -1;
    f.flyTo(report.until, [&](uint64_t t, const Vec3d& p, const Demo::FlightStepResult& r) {
        for (size_t k = 0; k < n; ++k) {
            if (int32_t(k) == eph.craftIndex)
                continue;
            Vec3d d = f.field.position(k) - p;
            double q = d.x * d.x + d.y * d.y + d.z * d.z;
            if (q < closestSquared[k]) {
                closestSquared[k] = q;
                report.closest[k].step = t;
            }
        }
        const int32_t active = r.burn >= 0 ? f.order[size_t(r.burn)] : -1;
        if (active >= 0 && active != flown) {
            // As the program's "Burn N started" line measures it: the body's position at that step, the craft's
            // state before the step.
            const Demo::Maneuver& m = mission.maneuvers[size_t(active)];
            BurnStart& b = report.burns[size_t(active)];
            b.step = t;
            b.body = std::max(m.dominantObject, 0);
            if (size_t(b.body) < n) {
                b.distance = Demo::length(p - f.field.position(size_t(b.body)));
                b.radii = b.distance / double(eph.bodies[size_t(b.body)].radius);
            }
            b.strongest = r.gravity.strongest;
            b.reached = true;
        }
        flown = active;
    });
    for (size_t k = 0; k < n; ++k)
        report.closest[k].distance = std::sqrt(closestSquared[k]);
    return report;
}

Demo::FlightState stateAt(Ephemeris& eph, const Demo::MissionData& mission, uint64_t step) {
    Flyer f(eph, mission);
    f.flyTo(step, [](uint64_t, const Vec3d&, const Demo::FlightStepResult&) {});
    return f.state;
}

namespace {

std::string bodyName(const Ephemeris& eph, int32_t i) {
    return i >= 0 && size_t(i) < eph.bodies.size() ? eph.bodies[size_t(i)].name : std::string("none");
}

std::string jsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string number(double x, int precision) {
    char buffer[64];
    std::snprintf(buffer, sizeof(buffer), "%.*f", precision, x);
    return buffer;
}

} // namespace

std::string reportTable(const Ephemeris& eph, const FlightReport& r) {
    std::ostringstream out;
    char line[256];
    out << "Flown from step " << r.from << " to " << r.until << "\n\n";
    std::snprintf(line, sizeof(line), "%-5s %9s  %-20s %12s %10s  %s\n", "burn", "step", "body", "distance", "radii",
                  "strongest pull");
    out << line;
    for (size_t k = 0; k < r.burns.size(); ++k) {
        const BurnStart& b = r.burns[k];
        if (!b.reached) {
            std::snprintf(line, sizeof(line), "%-5zu %9s  %-20s (not reached)\n", k + 1, "-",
                          bodyName(eph, b.body).c_str());
        } else {
            std::snprintf(line, sizeof(line), "%-5zu %9llu  %-20s %12.3f %10.2f  %s\n", k + 1,
                          (unsigned long long)b.step, bodyName(eph, b.body).c_str(), b.distance, b.radii,
                          bodyName(eph, b.strongest).c_str());
        }
        out << line;
    }
    out << "\n";
    std::snprintf(line, sizeof(line), "%-20s %14s %10s %9s\n", "body", "closest", "radii", "step");
    out << line;
    for (size_t k = 0; k < r.closest.size(); ++k) {
        if (int32_t(k) == eph.craftIndex)
            continue;
        const ClosestApproach& c = r.closest[k];
        std::snprintf(line, sizeof(line), "%-20s %14.3f %10.2f %9llu\n", eph.bodies[k].name.c_str(), c.distance,
                      c.distance / double(eph.bodies[k].radius), (unsigned long long)c.step);
        out << line;
    }
    return out.str();
}

std::string reportJson(const Ephemeris& eph, const FlightReport& r) {
    std::ostringstream out;
    out << "{\"burns\": [";
    bool first = true;
    for (size_t k = 0; k < r.burns.size(); ++k) {
        const BurnStart& b = r.burns[k];
        out << (first ? "" : ", ") << "{\"burn\": " << k + 1 << ", \"step\": ";
        first = false;
        if (b.reached)
            out << b.step << ", \"body\": " << jsonString(bodyName(eph, b.body))
                << ", \"distance\": " << number(b.distance, 6) << ", \"radii\": " << number(b.radii, 6)
                << ", \"strongest\": " << jsonString(bodyName(eph, b.strongest)) << "}";
        else
            out << "null, \"body\": " << jsonString(bodyName(eph, b.body))
                << ", \"distance\": null, \"radii\": null, \"strongest\": null}";
    }
    out << "], \"bodies\": [";
    first = true;
    for (size_t k = 0; k < r.closest.size(); ++k) {
        if (int32_t(k) == eph.craftIndex)
            continue;
        const ClosestApproach& c = r.closest[k];
        out << (first ? "" : ", ") << "{\"body\": " << jsonString(eph.bodies[k].name) << ", \"closest\": ";
        first = false;
        if (std::isfinite(c.distance))
            out << number(c.distance, 6) << ", \"step\": " << c.step << "}";
        else
            out << "null, \"step\": null}";
    }
    out << "]}\n";
    return out.str();
}

} // namespace Plan
