#pragma once
// The `kestrune-plan` command line: `report` and `aim` over a mission file or the built-in mission. Output and
// errors go to the streams given, so the whole command runs in tests.
#include <iosfwd>
#include <string>
#include <vector>

namespace Plan {

// Exit codes: 0 done, 1 a fault of the input (a mission file, a body, a burn that cannot be aimed), 2 a misuse
// of the command line (the usage is printed).
int runPlanCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string planUsage();

} // namespace Plan
