#pragma once
// The `kestrune-plan` command line: `report`, `aim` and `porkchop` over a mission file or the built-in mission. Output
// and errors go to the streams given, so the whole command runs in tests.
#include "Demo/Spacecraft/MissionText.h"
#include "Plan/Ephemeris.h"

#include <iosfwd>
#include <string>
#include <vector>

namespace Plan {

// A misuse of the command line: the message, then the usage, exit 2.
struct PlanMisuse {
    std::string what;
};

// The mission of a file (the parser's messages name the file and line) or, for an empty path, the built-in one;
// false after writing the message to `err`.
bool loadPlanMission(const std::string& path, const Ephemeris& eph, Demo::MissionData& mission, std::ostream& err);

// `kestrune-plan porkchop ...` (args[0] is "porkchop"); throws PlanMisuse.
int porkchopCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Exit codes: 0 done, 1 a fault of the input (a mission file, a body, a burn that cannot be aimed), 2 a misuse
// of the command line (the usage is printed).
int runPlanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string planUsage();

} // namespace Plan
