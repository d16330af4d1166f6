// The delay editor bound to a VST 2 effect: the editor's view of its effect
// becomes the effect's own calls and host requests (audioMasterAutomate,
// BeginEdit, EndEdit, Idle).
#pragma once

#include "delay_editor.h"
#include "delay_effect.h"
#include "effect_core.h"

namespace tesk {

/// The editor's view of a VST 2 effect: each operation forwards to the effect's own.
class Vst2EffectCore final : public EffectCore {
  public:
    /// Forwards to `effect`, which outlives this.
    explicit Vst2EffectCore(DelayEffect& effect) : effect(effect) {}

    float getParameter(std::int32_t index) override { return effect.getParameter(index); }
    void setParameterAutomated(std::int32_t index, float value) override {
        effect.setParameterAutomated(index, value);
    }
    void beginEdit(std::int32_t index) override { effect.beginEdit(index); }
    void endEdit(std::int32_t index) override { effect.endEdit(index); }
    void getParameterDisplay(std::int32_t index, char* text) override {
        effect.getParameterDisplay(index, text);
    }
    float tempoInUse(int line) override {
        return effect.tempoInUse[static_cast<std::size_t>(line)];
    }
    void hostIdle() override { effect.hostIdle(); }

  private:
    DelayEffect& effect;
};

/// Makes the delay's editor for a VST 2 effect; the effect's constructor calls it.
EditorInterface* makeDelayEditor(DelayEffect& effect);

} // namespace tesk
