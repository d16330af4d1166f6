// The delay's editor window: all four lines at once, each with its knobs,
// switches, pan slider and tempo field, an info panel that spells out the
// values of the line last touched, the dry-level slider and the logo.
#pragma once

#include "editor_base.h"
#include "gui/controls/control.h"
#include "parameters.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <thread>

namespace gui {
class Bitmap;
class Fader;
class OverlayPanel;
class RotaryKnob;
class StepSwitch;
class TextField;
class ToggleButton;
class ValueLabel;
} // namespace gui

namespace tesk {

class DelayEditor : public EditorBase, public gui::ControlListener {
  public:
    /// Loads the background (or the notice for processors without the vector
    /// unit), which also gives the editor its size; reaches the effect only through `core`.
    explicit DelayEditor(EffectCore& core);
    ~DelayEditor() override;

    /// Builds the frame and every control from the effect's current values.
    std::int32_t open(void* window) override;
    /// Deletes the frame and every control.
    void close() override;
    /// Applies parameter changes recorded from other threads, then draws.
    void idle() override;
    /// Mirrors a parameter into its control and the info panel. On the
    /// editor's own thread at once; from any other thread it is recorded and
    /// applied at the next idle.
    void parameterChanged(std::int32_t index, float value) override;
    /// A control the user moved: sets its parameter through the effect.
    void valueChanged(gui::DrawContext* ctx, gui::Control* control) override;

    /// The line whose values the info panel shows (0 to 3).
    std::int32_t getShownLine() const { return shownLine; }
    bool isEditorOpen() const { return isOpen.load(std::memory_order_relaxed); }

    /// The controls of one delay line, in creation order.
    struct LineControls {
        gui::RotaryKnob* feedbackKnob = nullptr;
        gui::RotaryKnob* volumeKnob = nullptr;
        gui::RotaryKnob* highPassKnob = nullptr;
        gui::RotaryKnob* crossKnob = nullptr;
        gui::RotaryKnob* lowPassKnob = nullptr;
        gui::RotaryKnob* saturationKnob = nullptr;
        gui::Fader* panSlider = nullptr;
        gui::ToggleButton* onOffButton = nullptr;
        gui::StepSwitch* inputSwitch = nullptr;
        gui::ToggleButton* delayTypeButton = nullptr;
        gui::StepSwitch* outputSwitch = nullptr;
        gui::TextField* tempoField = nullptr;
        gui::StepSwitch* numeratorSwitch = nullptr;
        gui::StepSwitch* denominatorSwitch = nullptr;
        gui::ToggleButton* tempoSyncButton = nullptr;
    };

    /// The info panel's labels, in creation order.
    enum InfoLabel {
        kLineLabel,
        kVolumeDisplay,
        kFeedbackDisplay,
        kPanDisplay,
        kSaturationDisplay,
        kHighPassDisplay,
        kCrossDisplay,
        kLowPassDisplay,
        kNumInfoLabels
    };

    const LineControls& lineControls(int line) const { return lines[line]; }
    gui::ValueLabel* infoLabel(InfoLabel which) const { return infoLabels[which]; }

  private:
    void createLineControls(int line);
    /// Records `control` as the one that shows `kind` of `line`; answers it.
    template <class C> C* attach(int line, ParamKind kind, C* control);
    void createInfoLabels();
    void applyParameter(std::int32_t index);
    void applyLineSwitch(int line);
    void applySync(int line);
    void showLineInfo(int line, std::int32_t index);
    void highlight(InfoLabel which, float value);
    void showTempoText(int line);
    void typedTempo(gui::DrawContext* ctx, gui::TextField* field, int line);
    /// The user switched sync off: the line keeps the tempo it plays at.
    void keepTempoHeard(int line);
    /// Sets parameter `index` to `value` as one whole gesture the host sees: begin,
    /// the automated value, end.
    void reportGesture(std::int32_t index, float value);
    float parameter(std::int32_t index) const;
    bool lineIsOn(int line) const;
    gui::Bitmap* loadBitmap(std::int32_t id);
    void forgetOpenBitmaps();

    gui::Bitmap* background = nullptr;
    std::atomic<bool> isOpen{false};

    std::array<LineControls, 4> lines{};
    /// The same controls by parameter group, for mirroring a value into them.
    std::array<std::array<gui::Control*, kNumParamKinds>, 4> controlOfKind{};
    std::array<gui::ValueLabel*, kNumInfoLabels> infoLabels{};
    gui::Fader* dryLevelSlider = nullptr;
    gui::OverlayPanel* logo = nullptr;

    gui::Bitmap* knobHandleOn = nullptr;
    gui::Bitmap* knobHandleOff = nullptr;
    gui::Bitmap* saturationHandleOn = nullptr;
    gui::Bitmap* saturationHandleOff = nullptr;
    /// Every bitmap loaded at open; the editor holds one reference on each
    /// until close, so handles it swaps in later are always alive.
    std::array<gui::Bitmap*, 12> openBitmaps{};
    std::int32_t openBitmapCount = 0;

    std::int32_t shownLine = 0;
    std::int32_t lastTag = 0;

    // Changes from threads other than the editor's wait here for its idle.
    std::atomic<std::thread::id> editorThread{};
    std::array<std::atomic<bool>, 61> pendingChange{};
};

} // namespace tesk
