// A module whose instances crash in every process call: the validator must
// survive modules written by others and name the crash.
#include "fake_effect.h"

#include <csignal>

namespace {

void VSTCALL crash(AEffect*, float**, float**, std::int32_t) {
    std::raise(SIGSEGV);
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALL
VSTPluginMain(audioMasterCallback) {
    return makeFakeEffect(crash, fourCharCode("Crsh"));
}
