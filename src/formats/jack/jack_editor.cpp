#include "jack_editor.h"

#include "bound_editor.h"
#include "effect_core.h"
#include "jack_delay.h"

namespace tesk::jackfmt {

namespace {

// The editor's view of the JACK client. Gestures mean nothing here: no host
// records automation.
class JackEffectCore final : public EffectCore {
  public:
    explicit JackEffectCore(JackDelay& owner) : owner_(owner) {}

    float getParameter(std::int32_t index) override { return owner_.value(index); }
    void setParameterAutomated(std::int32_t index, float value) override {
        owner_.setValue(index, value);
    }
    void beginEdit(std::int32_t) override {}
    void endEdit(std::int32_t) override {}
    float tempoInUse(int line) override { return owner_.tempoInUse(line); }
    // The audio runs on JACK's thread whatever the editor does.
    void hostIdle() override {}

  private:
    JackDelay& owner_;
};

} // namespace

std::unique_ptr<EditorInterface> makeJackEditor(JackDelay& owner) {
    auto editor = std::make_unique<BoundDelayEditor<JackEffectCore>>(owner);
    editor->setKnobMode(2); // linear, as in the plug-ins
    return editor;
}

} // namespace tesk::jackfmt
