#include "editor_fixture.h"

namespace tesk::test {

HostLog* EditorTest::log = nullptr;

namespace {

VstIntPtr VSTCALL recordingHost(AEffect*, std::int32_t opcode, std::int32_t index, VstIntPtr, void*,
                                float opt) {
    if (opcode == audioMasterVersion) return 2400;
    HostLog* log = EditorTest::log;
    if (log == nullptr) return 0;
    if (opcode == audioMasterGetTime)
        return log->answerTime ? reinterpret_cast<VstIntPtr>(&log->time) : 0;
    {
        std::lock_guard lock(log->mutex);
        if (opcode == audioMasterAutomate) log->automation.push_back({index, opt});
        if (opcode == audioMasterBeginEdit || opcode == audioMasterEndEdit)
            log->edits.push_back({opcode, index});
        if (opcode == audioMasterIdle) ++log->idleCalls;
    }
    if (log->afterCall) log->afterCall(opcode, index);
    return 0;
}

} // namespace

void EditorTest::SetUp() {
    gui::headless::resetInput();
    log = new HostLog;
    effect = std::make_unique<DelayEffect>(recordingHost, makeDelayEditor);
}

void EditorTest::TearDown() {
    effect.reset();
    delete log;
    log = nullptr;
}

void EditorTest::openEditor() {
    ASSERT_EQ(effect->dispatch(effEditOpen, 0, 0, gui::headless::parentWindow(), 0.0f), 1);
    window().paintPending(); // the window system's first paint of a new window
    idle();
}

void EditorTest::idle() { effect->dispatch(effEditIdle, 0, 0, nullptr, 0.0f); }

gui::headless::HeadlessWindow& EditorTest::window() const {
    return *gui::headless::windowOf(editor().getFrame()->getWindow());
}

void EditorTest::click(gui::Point where) {
    // The frame reads the buttons once, then the control does.
    gui::headless::scriptInput({{gui::kPrimaryButton, where}, {gui::kPrimaryButton, where}, {0, where}});
    window().buttonDown(where);
    gui::headless::setInput(0, where);
}

void EditorTest::setHostTempo(double bpm) {
    log->time.tempo = bpm;
    log->time.sampleRate = 44100.0;
    log->time.timeSigNumerator = 4;
    log->time.timeSigDenominator = 4;
    log->time.flags = kVstTransportPlaying | kVstTempoValid | kVstTimeSigValid;
    log->answerTime = true;
}

std::vector<std::pair<std::int32_t, float>> EditorTest::automation() {
    std::lock_guard lock(log->mutex);
    return log->automation;
}

} // namespace tesk::test
