#include "Plan/Platform.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace Plan {

namespace {

// A signal handler can reach nothing else: the one process-wide flag, lock-free.
std::atomic<bool> interruptedFlag{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void onSignal(int) {
    interruptedFlag.store(true, std::memory_order_relaxed);
}

struct sigaction previousInt, previousTerm;

} // namespace

bool stderrIsTerminal() {
    return isatty(STDERR_FILENO) == 1;
}

std::string executableDirectory() {
    std::error_code ec;
    std::filesystem::path p = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : p.parent_path().string();
}

int runProgram(const std::vector<std::string>& argv, std::string& error) {
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ);
    if (rc != 0) {
        error = rc == ENOENT ? argv[0] + " was not found" : argv[0] + ": " + std::strerror(rc);
        return -1;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            error = argv[0] + ": " + std::strerror(errno);
            return -1;
        }
    }
    if (WIFEXITED(status))
        return WEXITSTATUS(status);
    error = argv[0] + " was ended by signal " + std::to_string(WTERMSIG(status));
    return -1;
}

InterruptFlag::InterruptFlag() {
    interruptedFlag.store(false, std::memory_order_relaxed);
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &previousInt);
    sigaction(SIGTERM, &sa, &previousTerm);
}

InterruptFlag::~InterruptFlag() {
    sigaction(SIGINT, &previousInt, nullptr);
    sigaction(SIGTERM, &previousTerm, nullptr);
}

const std::atomic<bool>* InterruptFlag::flag() const {
    return &interruptedFlag;
}

} // namespace Plan
