// The module's entry: hosts call it once per instance with their callback and
// get the instance's effect record back. Linux hosts look for VSTPluginMain;
// the plain name `main` is the interface's original entry.
#include "delay_effect.h"

#include <new>

namespace {

AEffect* createInstance(audioMasterCallback host) {
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        auto* effect = new (std::nothrow) tesk::DelayEffect(host);
        if (effect == nullptr) return nullptr;
        if (!effect->isUsable()) {
            delete effect;
            return nullptr;
        }
        return effect->getAeffect();
    } catch (...) {
        // Out of memory during construction: no instance, and nothing thrown into the host.
        return nullptr;
    }
}

} // namespace

extern "C" {

__attribute__((visibility("default"))) AEffect* VSTCALL VSTPluginMain(audioMasterCallback host) {
    return createInstance(host);
}

// The interface names its entry `main`. C++ keeps that name for programs, so
// the function carries another name and takes `main` as its symbol.
__attribute__((visibility("default"))) AEffect* VSTCALL vstMainEntry(audioMasterCallback host)
    __asm__("main");
AEffect* VSTCALL vstMainEntry(audioMasterCallback host) { return createInstance(host); }
}
