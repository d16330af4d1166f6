#include "delay_editor.h"

#include "cpu_probe.h"
#include "parameter_texts.h"
#include "parameters.h"
#include "value_format.h"

#include "gui/bitmap.h"
#include "gui/controls/fader.h"
#include "gui/controls/overlay_panel.h"
#include "gui/controls/rotary_knob.h"
#include "gui/controls/step_switch.h"
#include "gui/controls/text_field.h"
#include "gui/controls/toggle_button.h"
#include "gui/controls/value_label.h"
#include "gui/frame.h"

#include <cstring>

namespace tesk {

namespace {

using gui::Color;
using gui::Point;
using gui::Rect;

constexpr Color kPanelColor{77, 184, 183, 0};
constexpr Color kInfoTextColor{194, 222, 230, 0};
constexpr Color kHighlightColor{250, 222, 194, 0};
constexpr Color kWhite{255, 255, 255, 0};
constexpr Color kBlack{0, 0, 0, 0};

constexpr std::int32_t kBackgroundId = 128;
constexpr std::int32_t kNoticeId = 143;
constexpr std::int32_t kLogoTag = 62;
constexpr std::int32_t kInfoFont = 5;
constexpr std::int32_t kAlignRight = 2;
constexpr std::int32_t kFaderStyleLeftIsZero = 8;

// Resource ids of the pictures the controls draw.
enum BitmapId : std::int32_t {
    kSliderHandle = 129,
    kAboutPicture = 130,
    kOnOffLamp = 131,
    kDelayTypeStrip = 132,
    kInputStrip = 133,
    kOutputStrip = 134,
    kKnobHandleOn = 135,
    kNumeratorStrip = 137,
    kDenominatorStrip = 138,
    kKnobHandleOff = 139,
    kSyncLamp = 140,
    kSaturationHandleOn = 141,
    kSaturationHandleOff = 142,
};

// Line 1's rectangles; the other lines are moved by whole panels.
constexpr Rect kFeedbackKnob{114, 92, 138, 116};
constexpr Rect kVolumeKnob{143, 246, 171, 274};
constexpr Rect kHighPassKnob{97, 201, 121, 225};
constexpr Rect kCrossKnob{121, 201, 145, 225};
constexpr Rect kLowPassKnob{146, 201, 170, 225};
constexpr Rect kSaturationKnob{126, 142, 150, 166};
constexpr Rect kPanSlider{21, 253, 127, 273};
constexpr Rect kTempoField{33, 158, 62, 173};
constexpr Point kOnOffButton{18, 100};
constexpr Point kInputSwitch{45, 96};
constexpr Point kDelayTypeButton{78, 96};
constexpr Point kOutputSwitch{144, 96};
constexpr Point kNumeratorSwitch{23, 209};
constexpr Point kDenominatorSwitch{56, 209};
constexpr Point kSyncButton{42, 181};
constexpr Rect kDrySlider{164, 501, 300, 521};
constexpr Rect kLogo{0, 0, 186, 66};
constexpr Rect kAboutRect{51, 100, 335, 395};

Point lineShift(int line) {
    return {(line & 1) != 0 ? 192 : 0, (line & 2) != 0 ? 219 : 0};
}

Rect moved(const Rect& r, Point by) {
    return {r.left + by.x, r.top + by.y, r.right + by.x, r.bottom + by.y};
}

// A button or switch is as wide as its strip and as high as one picture.
Rect pictureRect(Point at, Point by, const gui::Bitmap* strip, std::int32_t pictures) {
    return {at.x + by.x, at.y + by.y, at.x + by.x + strip->width,
            at.y + by.y + strip->height / pictures};
}

Point topLeft(const Rect& r) {
    return {r.left, r.top};
}

int idx(ParamKind kind, int line) {
    return parameterIndex(kind, line);
}

// Each info label with its value text, in creation order.
struct InfoLabelLayout {
    Rect rect;
    Color fontColor;
    ValueToText format;
};

constexpr int kNoDisplay = DelayEditor::kNumInfoLabels;

// The info display that highlights a change of each parameter group; the
// switches, choices and tempos have none.
constexpr int kDisplayOfKind[kNumParamKinds] = {
    DelayEditor::kFeedbackDisplay,   // FeedBack
    DelayEditor::kVolumeDisplay,     // Volume
    kNoDisplay,                      // VolumeThruInput
    kNoDisplay,                      // IsDelayOn
    DelayEditor::kPanDisplay,        // Pan
    kNoDisplay,                      // Input
    kNoDisplay,                      // Output
    kNoDisplay,                      // DelayType
    DelayEditor::kSaturationDisplay, // Saturation
    DelayEditor::kHighPassDisplay,   // LowPassFrequency sets the high-pass stage
    DelayEditor::kLowPassDisplay,    // HighPassFrequency sets the low-pass stage
    DelayEditor::kCrossDisplay,      // CrossFrequency
    kNoDisplay,                      // Tempo
    kNoDisplay,                      // TempoNum
    kNoDisplay,                      // TempoDen
    kNoDisplay,                      // IsTempoSync
};

constexpr InfoLabelLayout kInfoLayout[DelayEditor::kNumInfoLabels] = {
    {{214, 12, 257, 26}, kWhite, formatLineLabel},
    {{306, 12, 349, 26}, kInfoTextColor, formatVolumeDb},
    {{214, 27, 257, 41}, kInfoTextColor, formatFeedbackDb},
    {{260, 27, 303, 41}, kInfoTextColor, formatPan},
    {{306, 27, 349, 41}, kInfoTextColor, formatSaturation},
    {{214, 42, 257, 56}, kInfoTextColor, formatHighPassHz},
    {{260, 42, 303, 56}, kInfoTextColor, formatCrossHz},
    {{306, 42, 349, 56}, kInfoTextColor, formatLowPassKHz},
};

} // namespace

DelayEditor::DelayEditor(EffectCore& core) : EditorBase(core) {
    background = new gui::Bitmap(hasVectorUnit ? kBackgroundId : kNoticeId);
    setEditorSize(background->width, background->height);
}

DelayEditor::~DelayEditor() {
    close();
    background->forget();
}

float DelayEditor::parameter(std::int32_t index) const {
    return host().getParameter(index);
}

bool DelayEditor::lineIsOn(int line) const {
    return parameter(idx(ParamKind::IsDelayOn, line)) == 1.0f;
}

gui::Bitmap* DelayEditor::loadBitmap(std::int32_t id) {
    auto* bitmap = new gui::Bitmap(id);
    openBitmaps[openBitmapCount++] = bitmap;
    return bitmap;
}

void DelayEditor::forgetOpenBitmaps() {
    for (std::int32_t i = 0; i < openBitmapCount; ++i)
        openBitmaps[i]->forget();
    openBitmaps = {};
    openBitmapCount = 0;
    knobHandleOn = knobHandleOff = saturationHandleOn = saturationHandleOff = nullptr;
}

// ---------------------------------------------------------------- open and close

std::int32_t DelayEditor::open(void* window) {
    editorThread.store(std::this_thread::get_id());
    shownLine = 0;
    lastTag = 0;
    displayCrossHz = crossoverHz(parameter(idx(ParamKind::CrossFrequency, 0)));
    EditorBase::open(window);
    if (frame != nullptr) close();

    const Rect size{0, 0, background->width, background->height};
    const gui::Scale scale = scaleFor(window);
    if (!hasVectorUnit) {
        // The notice is the whole editor on a processor the engine cannot use.
        frame = new gui::Frame(size, window, this, scale);
        frame->setBackground(background);
        postUpdate();
        return 1;
    }

    for (std::int32_t id : {kSliderHandle, kOnOffLamp, kDelayTypeStrip, kInputStrip, kOutputStrip,
                            kNumeratorStrip, kDenominatorStrip, kKnobHandleOn, kKnobHandleOff,
                            kSyncLamp, kSaturationHandleOn, kSaturationHandleOff}) {
        gui::Bitmap* bitmap = loadBitmap(id);
        if (id == kKnobHandleOn) knobHandleOn = bitmap;
        if (id == kKnobHandleOff) knobHandleOff = bitmap;
        if (id == kSaturationHandleOn) saturationHandleOn = bitmap;
        if (id == kSaturationHandleOff) saturationHandleOff = bitmap;
    }
    frame = new gui::Frame(size, window, this, scale);
    frame->setBackground(background);
    for (int line = 0; line < kNumLines; ++line)
        createLineControls(line);
    createInfoLabels();

    gui::Bitmap* sliderHandle = openBitmaps[0];
    dryLevelSlider =
        new gui::HFader(kDrySlider, this, idx(ParamKind::VolumeThruInput, 0), kDrySlider.left,
                        kDrySlider.right - sliderHandle->width - 1, sliderHandle, background,
                        topLeft(kDrySlider), kFaderStyleLeftIsZero);
    dryLevelSlider->setOffsetHandle(Point{1, 2});
    dryLevelSlider->setValue(parameter(idx(ParamKind::VolumeThruInput, 0)));
    frame->addView(dryLevelSlider);

    gui::Bitmap* about = new gui::Bitmap(kAboutPicture);
    logo = new gui::OverlayPanel(kLogo, this, kLogoTag, about, kAboutRect, Point{0, 0});
    about->forget(); // the panel holds it
    frame->addView(logo);

    isOpen = true;
    showLineInfo(0, 0);
    postUpdate();
    return 1;
}

template <class C> C* DelayEditor::attach(int line, ParamKind kind, C* control) {
    controlOfKind[line][static_cast<int>(kind)] = control;
    return control;
}

void DelayEditor::createLineControls(int line) {
    const Point by = lineShift(line);
    LineControls& c = lines[line];
    const bool on = lineIsOn(line);
    gui::Bitmap* handle = on ? knobHandleOn : knobHandleOff;

    auto knob = [&](const Rect& at, ParamKind kind, gui::Bitmap* knobHandle) {
        const Rect r = moved(at, by);
        auto* k = new gui::RotaryKnob(r, this, idx(kind, line), background, knobHandle, topLeft(r));
        k->setValue(parameter(idx(kind, line)));
        frame->addView(k);
        return attach(line, kind, k);
    };
    auto stepSwitch = [&](Point at, ParamKind kind, gui::Bitmap* strip, std::int32_t pictures,
                          std::int32_t positions) {
        auto* s =
            new gui::StepSwitch(pictureRect(at, by, strip, pictures), this, idx(kind, line),
                                pictures, strip->height / pictures, positions, strip, Point{0, 0});
        s->setValue(parameter(idx(kind, line)));
        frame->addView(s);
        return attach(line, kind, s);
    };
    auto toggle = [&](Point at, ParamKind kind, gui::Bitmap* strip) {
        auto* t =
            new gui::ToggleButton(pictureRect(at, by, strip, 2), this, idx(kind, line), strip);
        t->setValue(parameter(idx(kind, line)));
        frame->addView(t);
        return attach(line, kind, t);
    };

    c.feedbackKnob = knob(kFeedbackKnob, ParamKind::FeedBack, handle);
    c.volumeKnob = knob(kVolumeKnob, ParamKind::Volume, handle);
    c.highPassKnob = knob(kHighPassKnob, ParamKind::LowPassFrequency, handle);
    c.crossKnob = knob(kCrossKnob, ParamKind::CrossFrequency, handle);
    c.lowPassKnob = knob(kLowPassKnob, ParamKind::HighPassFrequency, handle);
    c.saturationKnob =
        knob(kSaturationKnob, ParamKind::Saturation, on ? saturationHandleOn : saturationHandleOff);

    gui::Bitmap* sliderHandle = openBitmaps[0];
    const Rect pan = moved(kPanSlider, by);
    c.panSlider = new gui::HFader(pan, this, idx(ParamKind::Pan, line), pan.left,
                                  pan.right - sliderHandle->width - 1, sliderHandle, background,
                                  topLeft(pan), kFaderStyleLeftIsZero);
    c.panSlider->setOffsetHandle(Point{1, 2});
    c.panSlider->setValue(parameter(idx(ParamKind::Pan, line)));
    frame->addView(c.panSlider);
    attach(line, ParamKind::Pan, c.panSlider);

    c.onOffButton = toggle(kOnOffButton, ParamKind::IsDelayOn, openBitmaps[1]);
    // A line listens only to lower-numbered lines: line n offers n + 1 sources.
    c.inputSwitch = stepSwitch(kInputSwitch, ParamKind::Input, openBitmaps[3], 4, line + 1);
    c.delayTypeButton = toggle(kDelayTypeButton, ParamKind::DelayType, openBitmaps[2]);
    c.outputSwitch = stepSwitch(kOutputSwitch, ParamKind::Output, openBitmaps[4], 4, 3);

    c.tempoField = new gui::TextField(moved(kTempoField, by), this, idx(ParamKind::Tempo, line),
                                      nullptr, nullptr, 0);
    c.tempoField->setFont(kInfoFont);
    c.tempoField->setFontColor(kInfoTextColor);
    c.tempoField->setBackColor(kBlack);
    c.tempoField->setFrameColor(kBlack);
    c.tempoField->setValue(parameter(idx(ParamKind::Tempo, line)));
    frame->addView(c.tempoField);
    if (on) showTempoText(line);

    c.numeratorSwitch = stepSwitch(kNumeratorSwitch, ParamKind::TempoNum, openBitmaps[5], 4, 3);
    c.denominatorSwitch = stepSwitch(kDenominatorSwitch, ParamKind::TempoDen, openBitmaps[6], 9, 9);

    const float sync = parameter(idx(ParamKind::IsTempoSync, line));
    c.tempoSyncButton = new gui::ToggleButton(pictureRect(kSyncButton, by, openBitmaps[9], 2), this,
                                              idx(ParamKind::IsTempoSync, line), openBitmaps[9]);
    c.tempoSyncButton->setValue(on ? sync : 0.0f);
    frame->addView(c.tempoSyncButton);
}

void DelayEditor::createInfoLabels() {
    const float initial[kNumInfoLabels] = {static_cast<float>(shownLine + 1),
                                           parameter(idx(ParamKind::Volume, 0)),
                                           parameter(idx(ParamKind::FeedBack, 0)),
                                           parameter(idx(ParamKind::Pan, 0)),
                                           parameter(idx(ParamKind::Saturation, 0)),
                                           parameter(idx(ParamKind::LowPassFrequency, 0)),
                                           0.5f,
                                           parameter(idx(ParamKind::HighPassFrequency, 0))};
    for (int i = 0; i < kNumInfoLabels; ++i) {
        auto* label = new gui::ValueLabel(kInfoLayout[i].rect, nullptr, 0);
        label->setFont(kInfoFont);
        label->setAlign(kAlignRight);
        label->setBackColor(kPanelColor);
        label->setFrameColor(kPanelColor);
        label->setFontColor(kInfoLayout[i].fontColor);
        label->setValueToText(kInfoLayout[i].format);
        label->setValue(initial[i]);
        frame->addView(label);
        infoLabels[i] = label;
    }
}

void DelayEditor::close() {
    isOpen = false;
    delete frame; // takes every view with it
    frame = nullptr;
    lines = {};
    controlOfKind = {};
    infoLabels = {};
    dryLevelSlider = nullptr;
    logo = nullptr;
    forgetOpenBitmaps();
    for (auto& pending : pendingChange)
        pending.store(false, std::memory_order_relaxed);
}

// ---------------------------------------------------------------- parameters to controls

void DelayEditor::idle() {
    if (isOpen && !inIdle) {
        for (std::int32_t index = 0; index < kNumParameters; ++index)
            if (pendingChange[index].exchange(false, std::memory_order_acquire))
                applyParameter(index);
    }
    EditorBase::idle();
}

void DelayEditor::parameterChanged(std::int32_t index, float) {
    if (!isOpen) return;
    if (std::this_thread::get_id() != editorThread.load()) {
        // Controls belong to the editor's thread: note the change for its idle.
        if (index >= 0 && index < kNumParameters)
            pendingChange[index].store(true, std::memory_order_release);
        postUpdate();
        return;
    }
    applyParameter(index);
}

void DelayEditor::applyParameter(std::int32_t index) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) {
        postUpdate();
        return;
    }
    const int line = ref.line;
    const float v = parameter(index);
    if (ref.kind == ParamKind::VolumeThruInput) {
        // The dry level belongs to no line: the info panel stays where it is.
        dryLevelSlider->setValue(v);
        postUpdate();
        return;
    }
    showLineInfo(line, index);
    if (gui::Control* control = controlOfKind[line][static_cast<int>(ref.kind)])
        control->setValue(v);
    if (const int display = kDisplayOfKind[static_cast<int>(ref.kind)]; display != kNoDisplay)
        highlight(static_cast<InfoLabel>(display), v);
    if (ref.kind == ParamKind::CrossFrequency) {
        // Their texts speak of the crossover just changed.
        infoLabels[kHighPassDisplay]->setDirty(true);
        infoLabels[kLowPassDisplay]->setDirty(true);
    }
    if (ref.kind == ParamKind::IsDelayOn) applyLineSwitch(line);
    if (ref.kind == ParamKind::Tempo) showTempoText(line);
    if (ref.kind == ParamKind::IsTempoSync) applySync(line);
    postUpdate();
}

void DelayEditor::applySync(int line) {
    LineControls& c = lines[line];
    if (!lineIsOn(line)) {
        c.tempoSyncButton->setValue(0.0f);
        return;
    }
    c.tempoSyncButton->setValue(parameter(idx(ParamKind::IsTempoSync, line)));
    showTempoText(line);
}

void DelayEditor::applyLineSwitch(int line) {
    LineControls& c = lines[line];
    const float v = parameter(idx(ParamKind::IsDelayOn, line));
    gui::RotaryKnob* knobs[] = {c.highPassKnob, c.lowPassKnob, c.crossKnob, c.volumeKnob,
                                c.feedbackKnob};
    if (v == 0.0f) {
        for (gui::RotaryKnob* k : knobs)
            k->setHandleBitmap(knobHandleOff);
        c.saturationKnob->setHandleBitmap(saturationHandleOff);
        c.tempoField->setText("");
        c.tempoSyncButton->setValue(0.0f);
    } else {
        showTempoText(line);
        for (gui::RotaryKnob* k : knobs)
            k->setHandleBitmap(knobHandleOn);
        c.saturationKnob->setHandleBitmap(saturationHandleOn);
        // The line's own sync state: the host may have changed it while the line was off.
        c.tempoSyncButton->setValue(parameter(idx(ParamKind::IsTempoSync, line)));
    }
    c.tempoField->setDirty(true);
    for (gui::RotaryKnob* k : knobs)
        k->setDirty(true);
    c.saturationKnob->setDirty(true);
    c.tempoSyncButton->setDirty(true);
    c.onOffButton->setValue(v);
}

void DelayEditor::showTempoText(int line) {
    gui::TextField* field = lines[line].tempoField;
    if (!lineIsOn(line)) {
        field->setText("");
        return;
    }
    // The tempo the line plays at: where the host's tempo is kept apart from the
    // line's own, the field still shows what is heard.
    char text[16] = {};
    tempoText(host().tempoInUse(line), text);
    field->setText(text);
}

void DelayEditor::highlight(InfoLabel which, float value) {
    infoLabels[which]->setFontColor(kHighlightColor);
    infoLabels[which]->setValue(value);
}

void DelayEditor::showLineInfo(int line, std::int32_t index) {
    displayCrossHz = crossoverHz(parameter(idx(ParamKind::CrossFrequency, line)));
    if (index == lastTag) return;
    lastTag = index;
    shownLine = line;
    infoLabels[kLineLabel]->setValue(static_cast<float>(line + 1));
    infoLabels[kLineLabel]->setDirty(true);
    const std::pair<InfoLabel, ParamKind> shown[] = {
        {kFeedbackDisplay, ParamKind::FeedBack},
        {kVolumeDisplay, ParamKind::Volume},
        {kPanDisplay, ParamKind::Pan},
        {kSaturationDisplay, ParamKind::Saturation},
        {kHighPassDisplay, ParamKind::LowPassFrequency},
        {kCrossDisplay, ParamKind::CrossFrequency},
        {kLowPassDisplay, ParamKind::HighPassFrequency}};
    for (auto [label, kind] : shown) {
        infoLabels[label]->setFontColor(kInfoTextColor);
        infoLabels[label]->setValue(parameter(idx(kind, line)));
        infoLabels[label]->setDirty(true);
    }
}

// ---------------------------------------------------------------- controls to parameters

void DelayEditor::valueChanged(gui::DrawContext* ctx, gui::Control* control) {
    const std::int32_t tag = control->getTag();
    if (tag < 0 || tag >= kNumParameters) return; // the logo
    ParamRef ref{};
    splitParameterIndex(tag, ref);
    if (ref.kind == ParamKind::Tempo) {
        typedTempo(ctx, static_cast<gui::TextField*>(control), ref.line);
        return;
    }
    if (ref.kind == ParamKind::IsTempoSync && !switchIsOn(control->getValue()) &&
        lineIsOn(ref.line))
        keepTempoHeard(ref.line);
    host().setParameterAutomated(tag, control->getValue());
    control->update(ctx);
}

void DelayEditor::keepTempoHeard(int line) {
    const int tempo = idx(ParamKind::Tempo, line);
    const float heard = host().tempoInUse(line);
    // A line that took the host's tempo into its own has nothing to keep.
    if (tempoFromInterface(parameter(tempo)) != heard)
        reportGesture(tempo, tempoToInterface(heard));
}

void DelayEditor::typedTempo(gui::DrawContext* ctx, gui::TextField* field, int line) {
    if (parameter(idx(ParamKind::IsDelayOn, line)) == 0.0f) {
        field->setText(""); // a line that is off takes no tempo
        return;
    }
    char text[256] = {};
    field->getText(text);
    const std::optional<float> bpm = parseTypedTempo(text);
    if (!bpm) {
        // Not a tempo: the field shows the line's tempo again and nothing changes.
        showTempoText(line);
        field->update(ctx);
        return;
    }
    field->setValue(*bpm);
    // A typed tempo is a change the host must keep, like any other: reported as a
    // gesture. Sync ends first, so that no audio block between the two reports
    // can put the host's tempo back over the typed one. The tempo crosses as the
    // normalised value, which maps back onto the very same tempo.
    lines[line].tempoSyncButton->setValue(0.0f);
    reportGesture(idx(ParamKind::IsTempoSync, line), 0.0f);
    reportGesture(idx(ParamKind::Tempo, line), tempoToInterface(*bpm));
    field->update(ctx);
}

void DelayEditor::reportGesture(std::int32_t index, float value) {
    beginEdit(index);
    host().setParameterAutomated(index, value);
    endEdit(index);
}

} // namespace tesk
