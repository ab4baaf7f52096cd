#pragma once
// One cell of a porkchop grid as text, and the departure burn it stands for. The planner writes its cells through
// `departureBurn` and the CSV columns below; the mission editor reads a pasted cell back through the same, so a
// taken cell's burn is the planner's bit for bit. Plain functions: no UI, no platform.
#include "Demo/Spacecraft/MissionText.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Demo {

inline constexpr const char* PorkchopCsvHeader =
    "depart_step,arrive_step,delta_v,arrival_speed,miss,converged,burn_length,prograde,normal,radial,thrust";
inline constexpr size_t PorkchopCsvColumns = 11;

// The departure burn of a transfer leaving body `from` at step `depart`: continuous, so that its P N R frame
// follows the craft around the body it leaves through a burn of hundreds of steps; no attitude blend.
Maneuver departureBurn(uint64_t depart, uint64_t length, const Vec3d& direction, double thrust, int32_t from);

// A transfer read from pasted text.
struct TransferText {
    Maneuver burn;
    bool fromMission = false; // the text was a mission (its last burn taken); otherwise a CSV line
    uint64_t arrive = 0;      // CSV line only
    double deltaV = 0.0;      // CSV line only: its delta_v column, world units per second
    std::string error;        // why the text was refused, empty otherwise
    bool ok() const { return error.empty(); }
};

// Reads one cell: a data line of a porkchop CSV (alone or after the header), or the mission text
// `kestrune-plan porkchop --write-mission` writes (its departure burn is its last). A CSV line's burn leaves
// body `from` (the grid's --from); a mission names its own body. Refused: not exactly one data line, a wrong
// column count, a field that is not a number, a cell that did not converge, values outside the mission's ranges
// (MissionRange, a body that is not one of `bodyCount`), a burn of no length, one that ends past the last time
// step or starts before `startTimeStep` (it would never fly).
TransferText readTransferText(const std::string& text, int32_t from, size_t bodyCount, uint64_t startTimeStep);

// Inserts `burn` before the first burn that starts later; returns its index.
size_t insertByTime(std::vector<Maneuver>& list, const Maneuver& burn);

} // namespace Demo
