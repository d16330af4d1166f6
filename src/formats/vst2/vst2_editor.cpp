#include "vst2_editor.h"

#include "delay_effect.h"

namespace tesk {

namespace {

// The seam is a base made before the editor, so the editor's reference to it
// is valid from the editor's construction on.
struct Vst2CoreHolder {
    explicit Vst2CoreHolder(EffectBaseExt& effect) : core(effect) {}
    Vst2EffectCore core;
};

class Vst2DelayEditor final : private Vst2CoreHolder, public DelayEditor {
  public:
    explicit Vst2DelayEditor(DelayEffect& owner) : Vst2CoreHolder(owner), DelayEditor(core) {
        effect = &owner; // the editor record names its effect, as VST 2 editors do
    }
};

} // namespace

EditorInterface* makeDelayEditor(DelayEffect& effect) {
    return new Vst2DelayEditor(effect);
}

} // namespace tesk
