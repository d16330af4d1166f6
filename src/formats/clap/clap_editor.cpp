#include "clap_editor.h"

#include "clap_delay.h"
#include "delay_editor.h"
#include "effect_core.h"

namespace tesk::clapfmt {

namespace {

// The seam over the CLAP instance. It is made while the engine is being built,
// so it keeps the engine as the base it then is and reaches the instance only
// when the editor calls, long after construction.
class ClapEffectCore final : public EffectCore {
  public:
    explicit ClapEffectCore(DelayEffect& effect) : effect(effect) {}

    float getParameter(std::int32_t index) override { return effect.getParameter(index); }
    void setParameterAutomated(std::int32_t index, float value) override {
        effect.setParameter(index, value);
        owner().tellHost(CLAP_EVENT_PARAM_VALUE, index);
    }
    void beginEdit(std::int32_t index) override {
        owner().tellHost(CLAP_EVENT_PARAM_GESTURE_BEGIN, index);
    }
    void endEdit(std::int32_t index) override {
        owner().tellHost(CLAP_EVENT_PARAM_GESTURE_END, index);
    }
    void getParameterDisplay(std::int32_t index, char* text) override {
        effect.getParameterDisplay(index, text);
    }
    // A CLAP host runs its event loop itself; there is nothing to hand it here.
    void hostIdle() override {}

  private:
    ClapDelay& owner() { return static_cast<ClapEffect&>(effect).owner; }
    DelayEffect& effect;
};

struct CoreHolder {
    explicit CoreHolder(DelayEffect& effect) : core(effect) {}
    ClapEffectCore core;
};

class ClapDelayEditor final : private CoreHolder, public DelayEditor {
  public:
    explicit ClapDelayEditor(DelayEffect& owner) : CoreHolder(owner), DelayEditor(core) {
        effect = &owner;
    }
};

} // namespace

EditorInterface* makeClapEditor(DelayEffect& effect) {
    return new ClapDelayEditor(effect);
}

} // namespace tesk::clapfmt
