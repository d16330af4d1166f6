// A module that passes its input through but stalls for a millisecond on any
// block with denormal input, as unprepared arithmetic does: the validator must
// see the stall.
#include "fake_effect.h"

#include <chrono>
#include <cmath>

namespace {

bool hasDenormal(float** channels, std::int32_t frames) {
    for (int c = 0; c < 2; ++c) {
        for (std::int32_t f = 0; f < frames; ++f)
            if (std::fpclassify(channels[c][f]) == FP_SUBNORMAL) return true;
    }
    return false;
}

void VSTCALL passThrough(AEffect*, float** inputs, float** outputs, std::int32_t frames) {
    if (hasDenormal(inputs, frames)) {
        auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1);
        while (std::chrono::steady_clock::now() < until) {
        }
    }
    for (int c = 0; c < 2; ++c) {
        for (std::int32_t f = 0; f < frames; ++f)
            outputs[c][f] = std::isfinite(inputs[c][f]) ? inputs[c][f] : 0.0f;
    }
}

} // namespace

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALL
VSTPluginMain(audioMasterCallback) {
    return makeFakeEffect(passThrough, fourCharCode("Stal"));
}
