// The editor as a user meets it: layout, what controls show, what clicks and
// typing do to the parameters, and what the window looks like.
#include "block_thread.h"
#include "editor_fixture.h"

#include "value_format.h"

#include "gui/controls/fader.h"
#include "gui/controls/overlay_panel.h"
#include "gui/controls/rotary_knob.h"
#include "gui/controls/step_switch.h"
#include "gui/controls/text_field.h"
#include "gui/controls/toggle_button.h"
#include "gui/controls/value_label.h"

#include <array>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <typeinfo>

namespace tesk::test {
namespace {

using gui::Point;
using gui::Rect;

int idx(ParamKind kind, int line = 0) {
    return parameterIndex(kind, line);
}

Rect sizeOf(const gui::View* view) {
    Rect r;
    view->getViewSize(r);
    return r;
}

bool sameRect(const Rect& a, const Rect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

Point centre(const gui::View* view) {
    const Rect r = sizeOf(view);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

std::string textOf(gui::TextField* field) {
    char text[256] = {};
    field->getText(text);
    return text;
}

std::string labelText(gui::ValueLabel* label, ValueToText format) {
    char text[256] = {};
    format(label->getValue(), text);
    return text;
}

TEST_F(EditorTest, SizeIsKnownBeforeOpening) {
    EditorRect* rect = nullptr;
    EXPECT_EQ(effect->dispatch(effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 530);
    EXPECT_EQ(rect->right, 384);
    EXPECT_EQ(effect->getAeffect()->flags, 0x1D);
}

TEST_F(EditorTest, KeysWhileClosedAreNotHandled) {
    EXPECT_EQ(effect->dispatch(effEditKeyDown, 'a', 0, nullptr, 0.0f), -1);
    EXPECT_EQ(effect->dispatch(effEditKeyUp, 'a', 0, nullptr, 0.0f), -1);
    EXPECT_EQ(effect->dispatch(effSetEditKnobMode, 0, 1, nullptr, 0.0f), 1);
}

// Every control in creation order, with its kind and tag.
TEST_F(EditorTest, ControlsAreCreatedInOrderWithTheirTagsAndKinds) {
    openEditor();
    gui::Frame& frame = *editor().getFrame();
    ASSERT_EQ(frame.getViewCount(), 4 * 15 + 8 + 2);
    int i = 0;
    auto expect = [&](const std::type_info& kind, std::int32_t tag) {
        auto* control = dynamic_cast<gui::Control*>(frame.getView(i));
        ASSERT_NE(control, nullptr) << i;
        EXPECT_EQ(typeid(*control), kind) << "view " << i;
        EXPECT_EQ(control->getTag(), tag) << "view " << i;
        ++i;
    };
    for (int n = 0; n < 4; ++n) {
        for (int tag : {n, 4 + n, 33 + n, 41 + n, 37 + n, 29 + n})
            expect(typeid(gui::RotaryKnob), tag);
        expect(typeid(gui::HFader), 13 + n);
        expect(typeid(gui::ToggleButton), 9 + n);
        expect(typeid(gui::StepSwitch), 17 + n);
        expect(typeid(gui::ToggleButton), 25 + n);
        expect(typeid(gui::StepSwitch), 21 + n);
        expect(typeid(gui::TextField), 45 + n);
        expect(typeid(gui::StepSwitch), 49 + n);
        expect(typeid(gui::StepSwitch), 53 + n);
        expect(typeid(gui::ToggleButton), 57 + n);
    }
    for (int label = 0; label < 8; ++label)
        expect(typeid(gui::ValueLabel), 0);
    expect(typeid(gui::HFader), 8);
    expect(typeid(gui::OverlayPanel), 62);
}

TEST_F(EditorTest, LayoutRectanglesFollowTheLinePanels) {
    openEditor();
    EXPECT_TRUE(sameRect(sizeOf(editor().lineControls(3).feedbackKnob), {306, 311, 330, 335}));
    EXPECT_TRUE(sameRect(sizeOf(editor().lineControls(1).tempoField), {225, 158, 254, 173}));
    EXPECT_TRUE(sameRect(sizeOf(editor().lineControls(2).tempoSyncButton), {42, 400, 54, 410}));
    EXPECT_TRUE(sameRect(sizeOf(editor().lineControls(0).volumeKnob), {143, 246, 171, 274}));
    EXPECT_TRUE(sameRect(sizeOf(editor().lineControls(0).inputSwitch), {45, 96, 73, 114}));
    EXPECT_TRUE(sameRect(sizeOf(editor().lineControls(0).onOffButton), {18, 100, 34, 116}));
    EXPECT_TRUE(sameRect(sizeOf(editor().lineControls(3).denominatorSwitch), {248, 428, 264, 444}));
    EXPECT_TRUE(
        sameRect(sizeOf(editor().infoLabel(DelayEditor::kCrossDisplay)), {260, 42, 303, 56}));
}

TEST_F(EditorTest, AnOffLineShowsNoTempoAndNoSync) {
    // Program 0: line 1 on, lines 2 to 4 off, all synced.
    openEditor();
    EXPECT_EQ(textOf(editor().lineControls(0).tempoField), "88.0");
    EXPECT_EQ(editor().lineControls(0).tempoSyncButton->getValue(), 1.0f);
    EXPECT_EQ(textOf(editor().lineControls(1).tempoField), "");
    EXPECT_EQ(editor().lineControls(1).tempoSyncButton->getValue(), 0.0f);
    EXPECT_EQ(parameter(ParamKind::IsTempoSync, 1), 1.0f);
}

TEST_F(EditorTest, InputSwitchOffersOnlyLowerLines) {
    openEditor();
    gui::StepSwitch* first = editor().lineControls(0).inputSwitch;
    click(centre(first));
    EXPECT_EQ(parameter(ParamKind::Input, 0), 0.0f);
    effect->setParameter(idx(ParamKind::IsDelayOn, 0), 1.0f);
    gui::StepSwitch* second = editor().lineControls(1).inputSwitch;
    click(centre(second));
    EXPECT_EQ(parameter(ParamKind::Input, 1), 0.1f);
    click(centre(second));
    EXPECT_EQ(parameter(ParamKind::Input, 1), 0.0f);
}

TEST_F(EditorTest, OutputAndNumeratorSwitchesWrapAfterTheirThirdPosition) {
    openEditor();
    for (auto [control, kind] : {std::pair<gui::Control*, ParamKind>{
                                     editor().lineControls(0).outputSwitch, ParamKind::Output},
                                 {editor().lineControls(0).numeratorSwitch, ParamKind::TempoNum}}) {
        click(centre(control));
        EXPECT_FLOAT_EQ(control->getValue(), 0.1f);
        click(centre(control));
        EXPECT_FLOAT_EQ(control->getValue(), 0.2f);
        click(centre(control));
        EXPECT_EQ(control->getValue(), 0.0f);
        EXPECT_EQ(parameter(kind), 0.0f);
    }
}

TEST_F(EditorTest, MovingAKnobAutomatesItsParameterAndMovesThePanel) {
    openEditor();
    gui::RotaryKnob* knob = editor().lineControls(2).feedbackKnob;
    knob->setValue(0.25f);
    editor().valueChanged(nullptr, knob);
    const auto automated = automation();
    ASSERT_EQ(automated.size(), 1u);
    EXPECT_EQ(automated[0].first, 2);
    EXPECT_EQ(automated[0].second, 0.25f);
    EXPECT_EQ(parameter(ParamKind::FeedBack, 2), 0.25f);
    EXPECT_EQ(editor().getShownLine(), 2);
    EXPECT_EQ(labelText(editor().infoLabel(DelayEditor::kLineLabel), formatLineLabel), "Delay 3");
    EXPECT_EQ(labelText(editor().infoLabel(DelayEditor::kFeedbackDisplay), formatFeedbackDb),
              "-12.0 db");
}

// Replaces what the open edit box shows (all of it selected) by `text`, then Return.
void enterText(const char* text) {
    gui::headless::HeadlessEditBox* box = gui::headless::activeEditBox();
    box->pressKey(gui::software::EditKey::backspace);
    box->type(text);
    box->pressReturn();
}

TEST_F(EditorTest, TypedTempoIsReportedAsAGestureAndEndsSync) {
    openEditor();
    gui::TextField* field = editor().lineControls(0).tempoField;
    click(centre(field));
    ASSERT_NE(gui::headless::activeEditBox(), nullptr);
    enterText("133.3");
    idle();
    EXPECT_EQ(tempo(0), 133.3f) << "the typed tempo at full precision";
    EXPECT_EQ(parameter(ParamKind::IsTempoSync, 0), 0.0f);
    EXPECT_EQ(editor().lineControls(0).tempoSyncButton->getValue(), 0.0f);
    EXPECT_EQ(textOf(field), "133.3");
    const std::int32_t tempoIndex = idx(ParamKind::Tempo, 0);
    const std::int32_t syncIndex = idx(ParamKind::IsTempoSync, 0);
    // The host hears both changes as whole gestures, in the 0..1 it keeps: the
    // end of sync first, so that no block between them can undo the typing.
    EXPECT_EQ(automation(), (std::vector<std::pair<std::int32_t, float>>{
                                {syncIndex, 0.0f}, {tempoIndex, tempoToInterface(133.3f)}}));
    std::lock_guard<std::mutex> lock(log->mutex);
    EXPECT_EQ(log->edits, (std::vector<std::pair<std::int32_t, std::int32_t>>{
                              {audioMasterBeginEdit, syncIndex},
                              {audioMasterEndEdit, syncIndex},
                              {audioMasterBeginEdit, tempoIndex},
                              {audioMasterEndEdit, tempoIndex}}));
}

// One block of silence through the effect, on the calling thread.
void silentBlock(DelayEffect& effect) {
    constexpr std::int32_t kFrames = 64;
    std::array<std::array<float, kFrames>, 8> buffers{};
    float* inputs[2] = {buffers[0].data(), buffers[1].data()};
    float* outputs[6];
    for (int c = 0; c < 6; ++c)
        outputs[c] = buffers[static_cast<std::size_t>(c) + 2].data();
    effect.processReplacing(inputs, outputs, kFrames);
}

// The host runs an audio block between the editor's reports (each time a
// gesture ends, on the editor's thread), at a host tempo the synced line
// follows. Whatever ran between them, the line ends at the typed tempo.
TEST_F(EditorTest, ABlockBetweenTheReportsOfATypedTempoCannotUndoIt) {
    setHostTempo(120.0);
    openEditor();
    silentBlock(*effect);
    ASSERT_EQ(tempo(0), 120.0f) << "the synced line follows the host";
    int blocksBetween = 0;
    log->afterCall = [&](std::int32_t opcode, std::int32_t) {
        if (opcode != audioMasterEndEdit) return;
        silentBlock(*effect);
        ++blocksBetween;
    };
    gui::TextField* field = editor().lineControls(0).tempoField;
    click(centre(field));
    ASSERT_NE(gui::headless::activeEditBox(), nullptr);
    enterText("97.5");
    log->afterCall = nullptr;
    EXPECT_EQ(blocksBetween, 2) << "one block after each of the two gestures";
    EXPECT_EQ(tempo(0), 97.5f);
    EXPECT_EQ(parameter(ParamKind::IsTempoSync, 0), 0.0f);
    silentBlock(*effect);
    EXPECT_EQ(tempo(0), 97.5f);
}

TEST_F(EditorTest, ATempoEntryWithoutANumberChangesNothing) {
    openEditor();
    gui::TextField* field = editor().lineControls(0).tempoField;
    // The host moves the tempo after the editor opened: the current one is kept.
    effect->setParameter(idx(ParamKind::IsTempoSync, 0), 0.0f);
    effect->setParameter(idx(ParamKind::Tempo, 0), 150.0f);
    effect->setParameter(idx(ParamKind::IsTempoSync, 0), 1.0f);
    automation();
    for (const char* junk : {"fast", "", "  ", "bpm"}) {
        click(centre(field));
        ASSERT_NE(gui::headless::activeEditBox(), nullptr);
        enterText(junk);
        idle();
        EXPECT_EQ(tempo(0), 150.0f) << junk;
        EXPECT_EQ(parameter(ParamKind::IsTempoSync, 0), 1.0f) << junk;
        EXPECT_EQ(editor().lineControls(0).tempoSyncButton->getValue(), 1.0f) << junk;
        EXPECT_EQ(textOf(field), "150.0") << junk;
        EXPECT_TRUE(automation().empty()) << junk;
    }
    std::lock_guard<std::mutex> lock(log->mutex);
    EXPECT_TRUE(log->edits.empty());
}

TEST_F(EditorTest, TypingIntoAnOffLineEmptiesTheFieldAndSetsNothing) {
    openEditor();
    gui::TextField* field = editor().lineControls(1).tempoField;
    field->setText("150");
    editor().valueChanged(nullptr, field);
    EXPECT_EQ(textOf(field), "");
    EXPECT_EQ(tempo(1), 120.0f);
    EXPECT_EQ(parameter(ParamKind::IsTempoSync, 1), 1.0f);
}

TEST_F(EditorTest, TheSyncLampOfALineSwitchedOnShowsItsOwnSync) {
    openEditor();
    gui::ToggleButton* lamp = editor().lineControls(1).tempoSyncButton;
    effect->setParameter(idx(ParamKind::IsDelayOn, 1), 1.0f);
    EXPECT_EQ(lamp->getValue(), 1.0f);
    effect->setParameter(idx(ParamKind::IsDelayOn, 1), 0.0f);
    EXPECT_EQ(lamp->getValue(), 0.0f);
    effect->setParameter(idx(ParamKind::IsTempoSync, 1), 0.0f); // the host meanwhile
    EXPECT_EQ(lamp->getValue(), 0.0f);
    effect->setParameter(idx(ParamKind::IsDelayOn, 1), 1.0f);
    EXPECT_EQ(lamp->getValue(), 0.0f) << "the line does not follow the host";
    EXPECT_EQ(textOf(editor().lineControls(1).tempoField), "120.0");
    effect->setParameter(idx(ParamKind::IsDelayOn, 1), 0.0f);
    effect->setParameter(idx(ParamKind::IsTempoSync, 1), 1.0f);
    effect->setParameter(idx(ParamKind::IsDelayOn, 1), 1.0f);
    EXPECT_EQ(lamp->getValue(), 1.0f);
}

TEST_F(EditorTest, DryLevelLeavesThePanelWhereItIs) {
    openEditor();
    effect->setParameter(idx(ParamKind::Pan, 2), 0.75f);
    ASSERT_EQ(editor().getShownLine(), 2);
    effect->setParameter(idx(ParamKind::VolumeThruInput), 0.3f);
    EXPECT_EQ(editor().getShownLine(), 2);
    EXPECT_NEAR(
        editor().getFrame()
            ? static_cast<gui::Control*>(editor().getFrame()->getView(4 * 15 + 8))->getValue()
            : 0,
        0.3f, 1e-7);
}

TEST_F(EditorTest, CrossoverChangeRecomputesTheFilterDisplays) {
    openEditor();
    effect->setParameter(idx(ParamKind::LowPassFrequency, 2), 0.5f);
    effect->setParameter(idx(ParamKind::CrossFrequency, 2), 1.0f); // 5000 Hz
    EXPECT_EQ(editor().getShownLine(), 2);
    EXPECT_EQ(displayCrossHz, 5000.0f);
    EXPECT_EQ(labelText(editor().infoLabel(DelayEditor::kHighPassDisplay), formatHighPassHz),
              "2500Hz");
    EXPECT_TRUE(editor().infoLabel(DelayEditor::kHighPassDisplay)->isDirty());
    EXPECT_TRUE(editor().infoLabel(DelayEditor::kLowPassDisplay)->isDirty());
}

TEST_F(EditorTest, IndicesBeyondTheTableOnlyPostAnUpdate) {
    editor().parameterChanged(61, 0.5f);
    EXPECT_EQ(editor().updatePending.load(), 0); // closed: nothing posted
    openEditor();
    const int shown = editor().getShownLine();
    editor().parameterChanged(61, 0.5f);
    EXPECT_EQ(editor().updatePending.load(), 1);
    EXPECT_EQ(editor().getShownLine(), shown);
}

TEST_F(EditorTest, EachOpeningShowsTheCurrentValues) {
    openEditor();
    EXPECT_EQ(editor().lineControls(0).feedbackKnob->getValue(), 0.5f);
    effect->dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    effect->setParameter(idx(ParamKind::FeedBack, 0), 0.9f);
    effect->setParameter(idx(ParamKind::IsDelayOn, 3), 1.0f);
    openEditor();
    EXPECT_EQ(editor().lineControls(0).feedbackKnob->getValue(), 0.9f);
    EXPECT_EQ(textOf(editor().lineControls(3).tempoField), "120.0");
    effect->dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    effect->dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor().getFrame(), nullptr);
}

TEST_F(EditorTest, LogoOpensTheAboutPictureAndTheNextClickClosesIt) {
    openEditor();
    gui::Frame& frame = *editor().getFrame();
    click({20, 20});
    EXPECT_NE(frame.getModalView(), nullptr);
    click({200, 200});
    EXPECT_EQ(frame.getModalView(), nullptr);
    EXPECT_TRUE(automation().empty());
}

// Parameter changes from another thread while the editor idles: applied at
// the editor's next idle, never touched from the other thread (run under TSan).
TEST_F(EditorTest, ChangesFromAnotherThreadArriveAtTheNextIdle) {
    openEditor();
    std::thread automation([this] {
        for (int i = 0; i < 2000; ++i)
            effect->setParameter(i % 61, static_cast<float>(i % 10) / 10.0f);
        effect->setParameter(idx(ParamKind::FeedBack, 3), 0.7f);
    });
    for (int i = 0; i < 200; ++i)
        idle();
    automation.join();
    idle();
    EXPECT_EQ(editor().lineControls(3).feedbackKnob->getValue(), 0.7f);
}

VstIntPtr VSTCALL quietHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

/// Opens, paints and closes an editor of an instance of its own `rounds` times on the
/// calling thread; how many of its pictures differed from `expected`.
int picturesDifferingFrom(const std::vector<std::uint8_t>& expected, int rounds) {
    DelayEffect own(quietHost, makeDelayEditor);
    int differing = 0;
    for (int round = 0; round < rounds; ++round) {
        own.dispatch(effEditOpen, 0, 0, gui::headless::parentWindow(), 0.0f);
        gui::Frame* frame = static_cast<DelayEditor*>(own.editor)->getFrame();
        gui::headless::HeadlessWindow* shown = gui::headless::windowOf(frame->getWindow());
        shown->paintPending();
        differing += shown->pixels().rgb() != expected;
        own.dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    }
    return differing;
}

// Some hosts give each instance's editor a UI thread of its own. Each thread keeps the
// fonts its editors draw with while one of them is open, and no other thread's editor
// closing takes them away: editors opening and closing on two threads at once draw
// what one draws alone (run under TSan).
TEST_F(EditorTest, EditorsOpeningAndClosingOnTwoThreadsDrawWhatOneDrawsAlone) {
    openEditor();
    const std::vector<std::uint8_t> alone = window().pixels().rgb();
    effect->dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    int differingOnOther = -1;
    std::thread other([&] { differingOnOther = picturesDifferingFrom(alone, 20); });
    const int differingHere = picturesDifferingFrom(alone, 20);
    other.join();
    EXPECT_EQ(differingHere, 0);
    EXPECT_EQ(differingOnOther, 0);
}

} // namespace
} // namespace tesk::test

namespace tesk::test {
namespace {

// The user types tempos into a synced line while the host's audio thread runs
// blocks at a host tempo of 120: none of them is lost, and the line ends
// unsynced at each (run under TSan too). The tempos typed differ from the one
// shown, which the field would take as no change.
//
// KNOWN FAULT: a block that runs alongside the typing, not between its two
// reports, can still lose it. It finds the line synced, the user ends sync and
// sets the tempo, and the block then writes the host's tempo over it. Under
// TSan two or three of the thousand tries end at 120 with sync off; optimised
// builds rarely hit the window.
TEST_F(EditorTest, TypedTemposSurviveBlocksRunningMeanwhile) {
    setHostTempo(120.0);
    openEditor();
    gui::TextField* field = editor().lineControls(0).tempoField;
    BlockThread audio([this] { silentBlock(*effect); });
    int lost = 0;
    std::string firstLost;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        effect->setParameter(idx(ParamKind::IsTempoSync, 0), 1.0f);
        ASSERT_TRUE(audio.waitForBlocks(2));
        ASSERT_EQ(tempo(0), 120.0f) << "the line follows the host again";
        char text[16];
        std::snprintf(text, sizeof text, "%.1f", 200.0 + attempt * 0.1);
        click(centre(field));
        ASSERT_NE(gui::headless::activeEditBox(), nullptr);
        enterText(text);
        ASSERT_TRUE(audio.waitForBlocks(2));
        const float typed = std::strtof(text, nullptr);
        if (tempo(0) != typed || parameter(ParamKind::IsTempoSync, 0) != 0.0f) {
            if (lost++ == 0)
                firstLost = std::string(text) + " became " + std::to_string(tempo(0)) +
                            (parameter(ParamKind::IsTempoSync, 0) != 0.0f ? ", synced" : "");
        }
    }
    EXPECT_EQ(lost, 0) << "first: " << firstLost;
}

// Hosts open and close editors at will; parameters keep changing from other
// threads meanwhile. Nothing may leak, dangle or race (ASan, TSan).
TEST_F(EditorTest, FiveHundredOpenIdleCloseCyclesWhileParametersChange) {
    std::atomic<bool> stop{false};
    std::thread automation([this, &stop] {
        unsigned seed = 3;
        while (!stop.load()) {
            seed = seed * 1664525u + 1013904223u;
            const int index = static_cast<int>(seed % 61);
            effect->setParameter(index, static_cast<float>(seed >> 8) / 16777216.0f);
        }
    });
    for (int cycle = 0; cycle < 500; ++cycle) {
        ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, gui::headless::parentWindow(), 0.0f), 1);
        for (int i = 0; i < 3; ++i)
            idle();
        effect->dispatch(effEditClose, 0, 0, nullptr, 0.0f);
        if (cycle % 50 == 0) effect->dispatch(effSetProgram, 0, cycle % 16, nullptr, 0.0f);
    }
    stop = true;
    automation.join();
    EXPECT_EQ(editor().getFrame(), nullptr);
}

} // namespace
} // namespace tesk::test
