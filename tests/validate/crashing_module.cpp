// A module whose instances crash in every process call: the validator must
// survive modules written by others and name the crash.
#include "fake_effect.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <csignal>
#endif

namespace {

// The system's own crash: a signal on Linux, an exception nobody handles on Windows.
void VSTCALL crash(AEffect*, float**, float**, std::int32_t) {
#if defined(_WIN32)
    RaiseException(EXCEPTION_ACCESS_VIOLATION, EXCEPTION_NONCONTINUABLE, 0, nullptr);
#else
    std::raise(SIGSEGV);
#endif
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALL
VSTPluginMain(audioMasterCallback) {
    return makeFakeEffect(crash, fourCharCode("Crsh"));
}
