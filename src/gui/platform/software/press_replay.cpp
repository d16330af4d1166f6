#include "gui/platform/software/press_replay.h"

namespace gui::software {
namespace {

// Each state is answered this many times before the next queued one is taken: a
// tracking loop asks for the cursor and for the buttons once a round, in either
// order, so three answers let one whole round see every position, and the release
// comes only after the position it was released at has been used.
constexpr int kAnswersPerStep = 3;

thread_local PressReplay* current = nullptr;

} // namespace

PressReplay::PressReplay(PressSource& source, const PointerState& press)
    : source_(&source), state_(press), answersLeft_(kAnswersPerStep), outer_(current) {
    current = this;
}

PressReplay::~PressReplay() {
    if (current == this) current = outer_;
}

PressReplay* PressReplay::active() {
    return current;
}

PointerState PressReplay::answer() {
    if (source_ == nullptr) {
        state_.buttons = 0;
        return state_;
    }
    if (answersLeft_ == 0) {
        if (source_->takeStep(state_)) {
            answersLeft_ = kAnswersPerStep;
        } else {
            state_ = source_->now();
        }
    }
    if (answersLeft_ > 0) --answersLeft_;
    return state_;
}

} // namespace gui::software
