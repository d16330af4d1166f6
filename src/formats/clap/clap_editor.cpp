#include "clap_editor.h"

#include "bound_editor.h"
#include "clap_delay.h"
#include "delay_editor.h"
#include "effect_core.h"
#include "parameter_texts.h"

#include <array>

namespace tesk::clapfmt {

namespace {

// The editor's view of the CLAP instance. Values are read and set as the main
// thread sees them: while the instance is active, a change reaches the engine
// between two blocks.
class ClapEffectCore final : public EffectCore {
  public:
    explicit ClapEffectCore(ClapDelay& owner) : owner_(owner) {}

    float getParameter(std::int32_t index) override { return owner().mainValue(index); }
    // A change made outside a gesture of the control's own (a click on a
    // switch) reaches the host bracketed all the same, so that the host records
    // every change from the editor as a gesture.
    void setParameterAutomated(std::int32_t index, float value) override {
        owner().setFromMain(index, value);
        const bool bracket = !inGesture(index);
        if (bracket) owner().tellHost(CLAP_EVENT_PARAM_GESTURE_BEGIN, index);
        owner().tellHost(CLAP_EVENT_PARAM_VALUE, index);
        if (bracket) owner().tellHost(CLAP_EVENT_PARAM_GESTURE_END, index);
    }
    void beginEdit(std::int32_t index) override {
        if (!isParameter(index) || inGesture(index)) return;
        gestures[static_cast<std::size_t>(index)] = true;
        owner().tellHost(CLAP_EVENT_PARAM_GESTURE_BEGIN, index);
    }
    void endEdit(std::int32_t index) override {
        if (!inGesture(index)) return;
        gestures[static_cast<std::size_t>(index)] = false;
        owner().tellHost(CLAP_EVENT_PARAM_GESTURE_END, index);
    }
    float tempoInUse(int line) override { return owner_.tempoInUse(line); }
    // A CLAP host runs its event loop itself; there is nothing to hand it here.
    void hostIdle() override {}

  private:
    static bool isParameter(std::int32_t index) { return index >= 0 && index < kNumParameters; }
    bool inGesture(std::int32_t index) const {
        return isParameter(index) && gestures[static_cast<std::size_t>(index)];
    }
    ClapDelay& owner() { return owner_; }
    ClapDelay& owner_;
    /// Which parameters a control is in a gesture on (editor thread only).
    std::array<bool, kNumParameters> gestures{};
};

using ClapDelayEditor = BoundDelayEditor<ClapEffectCore>;

} // namespace

EditorInterface* makeClapEditor(ClapDelay& owner) {
    return new ClapDelayEditor(owner);
}

} // namespace tesk::clapfmt
