// The guard on POSIX systems: a SIGILL handler that jumps back out of the
// faulting instruction. The handler is in place only while the probe runs, and
// probes run one at a time so that the previous handler is always restored.
#include "fault_guard.h"

#include <csetjmp>
#include <csignal>
#include <mutex>

namespace tesk {

namespace {

sigjmp_buf gProbeJump;

void onIllegalInstruction(int) {
    siglongjmp(gProbeJump, 1);
}

} // namespace

bool runFaultGuarded(void (*probe)()) {
    static std::mutex probeMutex;
    std::lock_guard lock(probeMutex);

    struct sigaction guard {};
    struct sigaction previous {};
    guard.sa_handler = onIllegalInstruction;
    sigemptyset(&guard.sa_mask);
    if (sigaction(SIGILL, &guard, &previous) != 0) return false;

    volatile bool completed = false;
    if (sigsetjmp(gProbeJump, 1) == 0) {
        probe();
        completed = true;
    }
    sigaction(SIGILL, &previous, nullptr);
    return completed;
}

} // namespace tesk
