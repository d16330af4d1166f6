// The guard on Windows: a vectored exception handler that, for the thread
// running a probe, jumps back out of an illegal instruction. It is in place
// only while the probe runs.
#include "fault_guard.h"

#include <windows.h>

#include <mutex>

namespace tesk {

namespace {

// __builtin_setjmp/longjmp restore only the registers they saved: no unwinding
// runs through the system's exception dispatch on the way out.
thread_local void* tJump[5];
thread_local bool tGuarding = false;

LONG CALLBACK onException(EXCEPTION_POINTERS* info) {
    const DWORD code = info->ExceptionRecord->ExceptionCode;
    if (tGuarding &&
        (code == EXCEPTION_ILLEGAL_INSTRUCTION || code == EXCEPTION_PRIV_INSTRUCTION)) {
        tGuarding = false;
        __builtin_longjmp(tJump, 1);
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

} // namespace

bool runFaultGuarded(void (*probe)()) {
    static std::mutex probeMutex;
    std::lock_guard lock(probeMutex);
    PVOID handler = AddVectoredExceptionHandler(1, onException);
    if (handler == nullptr) return false;
    volatile bool completed = false;
    tGuarding = true;
    if (__builtin_setjmp(tJump) == 0) {
        probe();
        completed = true;
    }
    tGuarding = false;
    RemoveVectoredExceptionHandler(handler);
    return completed;
}

} // namespace tesk
