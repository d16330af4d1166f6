#include "live_delay.h"

#include <new>

namespace tesk::jackfmt {

void BlockControls::take(const MidiControl& control) {
    if (control.kind == MidiControl::Program)
        program = control.value;
    else if (control.kind == MidiControl::Bypass)
        bypass = control.value;
}

LiveDelay::LiveDelay() : engine_(new (std::nothrow) DelayEngine) {
    // The transport's tempo is heard, not written into the lines' Tempo: the
    // state saved keeps the user's own tempos.
    if (engine_) engine_->setTempoFollowing(TempoFollowing::InUseOnly);
}

bool LiveDelay::isUsable() const {
    return engine_ && engine_->isUsable() && fade_.isUsable();
}

bool LiveDelay::setSampleRate(float rate) {
    if (!engine_->setSampleRate(rate)) return false;
    fade_.setSampleRate(rate);
    return true;
}

void LiveDelay::load(const SavedState& state) {
    engine_->setProgram(state.program);
    for (int i = 0; i < kNumParameters; ++i)
        engine_->setParameter(i, state.values[static_cast<std::size_t>(i)]);
    fade_.setBypassed(state.bypassed);
    fade_.settle(); // a state saved bypassed starts bypassed
}

void LiveDelay::loadProgram(std::int32_t program) {
    engine_->setProgram(program);
}

SavedState LiveDelay::state() const {
    // While blocks run, a program loaded by one may land between two of the
    // reads; a state read twice alike was read whole.
    SavedState last = readState();
    for (int tries = 0; tries < 16; ++tries) {
        SavedState again = readState();
        if (again == last) break;
        last = again;
    }
    return last;
}

SavedState LiveDelay::readState() const {
    SavedState state;
    state.program = engine_->getProgram();
    for (int i = 0; i < kNumParameters; ++i)
        state.values[static_cast<std::size_t>(i)] = engine_->getParameter(i);
    state.bypassed = fade_.bypassed();
    return state;
}

void LiveDelay::finishCrossing() {
    // A program change asked for is kept, though its crossing had not ended.
    if (pendingProgram_ >= 0) engine_->setProgram(pendingProgram_);
    pendingProgram_ = -1;
    fade_.setHeld(false);
}

void LiveDelay::processBlock(float** inputs, float** outputs, std::int32_t frames,
                             const HostTransport& host, const BlockControls& controls) {
    if (pendingProgram_ >= 0 && fade_.isAllInput()) {
        engine_->setProgram(pendingProgram_);
        // The old program's echoes are not heard any more; left in the delay
        // memory, the seam between them and the new program's would click when
        // it came round again, one delay later.
        engine_->resume();
        pendingProgram_ = -1;
        fade_.setHeld(false);
    }
    if (controls.program >= 0) {
        // The output crosses over to the input first; the program is loaded
        // between two blocks once nothing of the old one is heard.
        pendingProgram_ = controls.program;
        fade_.setHeld(true);
    }
    if (controls.bypass >= 0) fade_.setBypassed(controls.bypass != 0);
    fade_.process(*engine_, inputs, outputs, frames, host);
}

} // namespace tesk::jackfmt
