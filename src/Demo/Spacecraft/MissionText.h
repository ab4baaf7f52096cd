#pragma once
// Missions as text, in the form of the schedule calls that build the built-in mission:
//
//   uint64 startTimeStep = 0;
//   startData = { ... };                                   (the fixed block of the copied text)
//   scheduleManouver(time, burn, { P, N, R }, thrust, continuous, dominantObject, rotationSpeed);
//   scheduleSetting(timestep, timeFactor, false, { P, N, R }, camDistance, targetObject, dominantObject);
//   defaultTimeFactor = x;  defaultCamDir = { P, N, R };  defaultCamDistance = x;  speed = x;
//
// The editor copies the first three kinds with six significant digits; a saved mission file carries all of them
// with 17, so that loading it restores every field bit for bit. The parser reads both (any precision, `//`
// comments, blank lines) and refuses a text as a whole, naming the line. Plain functions: no UI, no platform.
#include "Demo/Spacecraft/MissionSchedule.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Demo {

// What a mission text holds: the plan's start step, its two lists and the demo's defaults and speed.
struct MissionData {
    uint64_t startTimeStep = 0;
    std::vector<Maneuver> maneuvers;
    std::vector<TimestepSetting> settings;
    double defaultTimeFactor = 10000.0;
    Vec3d defaultCamDir{0.0, 1.0, 0.0};
    double defaultCamDistance = 200.0;
    float speed = 1.1f;
};

// Entries a loaded list may hold (each list).
constexpr size_t MaxMissionEntries = 10000;

// The editor's "Copy to clipboard" text: the start block, the manoeuvres, an empty line and the settings, with
// the standard stream formatting (six significant digits, bool as 0 or 1).
std::string missionClipboardText(const MissionData& mission);
// The text of a saved mission: the same calls with 17 significant digits, then the demo defaults and speed.
std::string missionFileText(const MissionData& mission);

struct MissionParse {
    MissionData mission;                 // the lists of the text; other fields from the text or the base
    std::string error;                   // "line N: reason" when the text is refused, empty otherwise
    std::vector<uint32_t> maneuverLines; // the line of every manoeuvre and setting, for the body check
    std::vector<uint32_t> settingLines;
    bool ok() const { return error.empty(); }
};

// Parses a mission text. The lists are replaced by those of the text (empty when it has none); the start step,
// the demo defaults and the speed keep the values of `base` unless the text sets them. Refused as a whole: a
// statement that is not one of the above, a malformed one, a value given twice, a negative or fractional step or
// burn, a burn that ends past the last time step, a number that is not finite or lies outside its MissionRange,
// more than MaxMissionEntries entries in a list.
MissionParse parseMissionText(const std::string& text, const MissionData& base);
// The body indices of a parsed mission against a system of `bodyCount` bodies: -1 (none; the spacecraft for a
// camera target) or an index of a body. Returns "line N: reason" for the first that is not, empty otherwise.
std::string checkMissionBodies(const MissionParse& parse, size_t bodyCount);
// Both, as the program loads a mission: the parse with its error replaced by the body check's when the text
// itself is well formed.
MissionParse parseMission(const std::string& text, const MissionData& base, size_t bodyCount);

// Mission files are small (10000 entries of each kind take about 2 MB); a larger file is not read.
constexpr size_t MaxMissionFileBytes = size_t(16) << 20;
// Reads a mission file whole; false with the reason in `error` when it is missing, unreadable or too large.
bool readMissionFile(const std::string& path, std::string& text, std::string& error);
// Writes `text` to `path`; false with the reason in `error` when it could not be written completely.
bool writeMissionFile(const std::string& path, const std::string& text, std::string& error);

} // namespace Demo
