#pragma once
// Porkchop grids: for every (departure step, arrival step) cell, a departure burn aimed so that the craft is at a
// chosen distance from the target body at the arrival step, then passes it at that distance (its closest approach
// near the arrival step). The first guess is a two-body one (Lambert's arc
// around the body both orbit, left along its asymptote from the departure body); the aim flies every candidate
// through every body's gravity. Cells are independent and deterministic: a grid computed in slices, on any number
// of threads, gives the same records bit for bit.
#include "Demo/Spacecraft/MissionText.h"
#include "Demo/Spacecraft/TransferCell.h"
#include "Plan/Ephemeris.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

namespace Plan {

// A : B : STEP, the steps A, A + STEP, ... up to and including B.
struct StepRange {
    uint64_t first = 0, last = 0, step = 1;
    size_t count() const { return size_t((last - first) / step + 1); }
    uint64_t at(size_t i) const { return first + uint64_t(i) * step; }
};

struct PorkchopGrid {
    int32_t from = -1, to = -1; // body indices
    StepRange depart, arrive;
    double distance = 0.0; // world units from the target's centre at the arrival step
    // The craft's start; its burns that end by a cell's departure are flown before it, later ones dropped.
    Demo::MissionData mission;
    size_t cells() const { return depart.count() * arrive.count(); }
};

struct PorkchopCell {
    uint64_t depart = 0, arrive = 0;
    static constexpr double None = std::numeric_limits<double>::quiet_NaN();
    double deltaV = None;       // of the departure burn, world units per second
    double arrivalSpeed = None; // relative to the target at the arrival step (converged cells)
    double miss = None;         // |closest approach − asked distance|, the best the aim reached
    bool converged = false;
    Demo::Maneuver burn; // the aimed burn; when the aim did not converge, the first guess or the arrival aimed
};

using Demo::PorkchopCsvHeader;

// The pass distance without --distance: five radii of the target.
double defaultArrivalDistance(const Ephemeris& eph, int32_t to);
// The body both orbit, or the one of them the other orbits (Earth for Earth and Luna).
int32_t commonDominantBody(const Ephemeris& eph, int32_t a, int32_t b);
// The craft's burn length for a velocity change: ten steps per unit of thrust (the built-in tour's departure
// burns: thrust 50 over about 500 steps), at least 20 steps, at most 2000 and a quarter of the flight.
uint64_t burnLengthFor(double thrust, uint64_t flightSteps);

// Steps after the arrival step within which the closest approach is aimed at the asked distance: a quarter of
// the flight, 2000 to 50000 (long enough for the craft to be past the body again, so that the closest approach
// is a true one and not the window's end), within the longest aimed flight.
uint64_t flybyWindow(uint64_t depart, uint64_t arrive);

// The two-body first guess of the departure burn at `depart` for arrival at `arrive`; nothing when no arc exists.
std::optional<Demo::Maneuver> firstGuess(Ephemeris& eph, const PorkchopGrid& grid, uint64_t depart, uint64_t arrive);

// Cell `index` (row-major: departure outer, arrival inner). `aimThreads` flights at once inside the aim.
PorkchopCell computeCell(Ephemeris& eph, const PorkchopGrid& grid, size_t index, unsigned aimThreads,
                         const std::atomic<bool>* cancel = nullptr);

// Cells [first, end) on `jobs` threads, each with its own ephemeris; `progress(done)` after each cell (under a
// lock). Stops early (fewer cells) when `cancel` is set.
std::vector<PorkchopCell> computeCells(const PorkchopGrid& grid, size_t first, size_t end, unsigned jobs,
                                       const std::function<void(size_t)>& progress = {},
                                       const std::atomic<bool>* cancel = nullptr);

// One CSV line (no newline): shortest round-trip numbers, "nan" where there is no value.
std::string porkchopCsvLine(const PorkchopCell& cell);

// The grid's start mission with the cell's burn in it, as a mission file holds it.
Demo::MissionData cellMission(const PorkchopGrid& grid, const PorkchopCell& cell);

} // namespace Plan
