#pragma once
// The few things the planner asks of the operating system: whether standard error is a terminal, where its own
// binary lies, running a helper program, and Ctrl-C turned into a flag while a long command runs.
#include <atomic>
#include <string>
#include <vector>

namespace Plan {

bool stderrIsTerminal();
// The directory of the running executable ("." when it cannot be found).
std::string executableDirectory();
// Runs argv[0] (searched on PATH when it has no '/') with the arguments and waits; its exit status, or -1 with the
// reason in `error` when it could not be started.
int runProgram(const std::vector<std::string>& argv, std::string& error);

// While one lives, SIGINT and SIGTERM set `interrupted()` instead of ending the process.
class InterruptFlag {
public:
    InterruptFlag();
    ~InterruptFlag();
    InterruptFlag(const InterruptFlag&) = delete;
    InterruptFlag& operator=(const InterruptFlag&) = delete;
    const std::atomic<bool>* flag() const;
    bool interrupted() const { return flag()->load(std::memory_order_relaxed); }
};

} // namespace Plan
