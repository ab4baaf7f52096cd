#pragma once
// A mission flown headless over the ephemeris with the program's flight step: where the craft is at each burn's
// start relative to the burn's body, and how close it comes to every body.
#include "Demo/Spacecraft/FlightCore.h"
#include "Demo/Spacecraft/MissionText.h"
#include "Plan/Ephemeris.h"

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

namespace Plan {

// Steps flown after the last burn ends when no end is asked for.
constexpr uint64_t ReportTailSteps = 200000;

struct BurnStart {
    uint64_t step = 0;
    int32_t body = 0;       // the burn's reference body
    double distance = 0.0;  // world units from that body as the burn starts
    double radii = 0.0;     // the same in the body's radii
    int32_t strongest = -1; // the body of the greatest pull then
    bool reached = false;   // false: the flight ended before the burn
};

struct ClosestApproach {
    double distance = std::numeric_limits<double>::infinity(); // world units, centre to centre
    uint64_t step = 0;
};

struct FlightReport {
    std::vector<BurnStart> burns;         // in list order
    std::vector<ClosestApproach> closest; // by body (the craft's own entry stays empty)
    uint64_t from = 0, until = 0;
};

// The craft's state at the mission's start: on its Kepler orbit at the start step.
Demo::StartData missionStart(const Ephemeris& eph, const Demo::MissionData& mission);
// The default end of a report: the end of the last burn plus ReportTailSteps.
uint64_t defaultReportEnd(const Demo::MissionData& mission);

// Flies the mission from its start to `until` (exclusive).
FlightReport flyMission(Ephemeris& eph, const Demo::MissionData& mission, uint64_t until);

// The craft's state as step `step` starts (the mission flown from its start up to it).
Demo::FlightState stateAt(Ephemeris& eph, const Demo::MissionData& mission, uint64_t step);

// The report as a table, or as one JSON object {"burns": [...], "bodies": [...]}.
std::string reportTable(const Ephemeris& eph, const FlightReport& r);
std::string reportJson(const Ephemeris& eph, const FlightReport& r);

} // namespace Plan
