// The module's entry: hosts call it once per instance with their callback and
// get the instance's effect record back. Linux hosts look for VSTPluginMain;
// main_entry.cpp adds the interface's original name, `main`.
#include "delay_effect.h"

#if TESK_HAS_EDITOR
#include "vst2_editor.h"
constexpr tesk::EditorFactory kEditor = tesk::makeDelayEditor;
#else
constexpr tesk::EditorFactory kEditor = nullptr;
#endif

#include <new>

namespace {

AEffect* createInstance(audioMasterCallback host) {
    if (host == nullptr || host(nullptr, audioMasterVersion, 0, 0, nullptr, 0.0f) == 0)
        return nullptr;
    try {
        auto* effect = new (std::nothrow) tesk::DelayEffect(host, kEditor);
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

VST_EXPORT AEffect* VSTCALL VSTPluginMain(audioMasterCallback host) {
    return createInstance(host);
}

}
