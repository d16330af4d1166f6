#include "bypass_fade.h"

#include "delay_engine.h"
#include "denormal_guard.h"

#include <algorithm>
#include <cstring>

namespace tesk {

namespace {

constexpr float kCrossingSeconds = 0.01f;

} // namespace

BypassFade::BypassFade() {
    for (AlignedBuffer& channel : dry_)
        channel = AlignedBuffer::zeroed(DelayEngine::kMaxFrames);
    setSampleRate(DelayEngine::kDefaultSampleRate);
}

void BypassFade::setSampleRate(float rate) {
    step_ = rate > 1.0f / kCrossingSeconds ? 1.0f / (rate * kCrossingSeconds) : 1.0f;
}

void BypassFade::process(DelayEngine& engine, float** inputs, float** outputs, std::int32_t frames,
                         const HostTransport& host) {
    // A host that has not connected every buffer gets nothing done, as from the engine.
    if (inputs == nullptr || outputs == nullptr || inputs[0] == nullptr || inputs[1] == nullptr)
        return;
    for (int c = 0; c < 6; ++c)
        if (outputs[c] == nullptr) return;
    // The crossing scales tails down towards nothing: no denormal may come of it.
    DenormalGuard denormalGuard;
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t count = std::min(DelayEngine::kMaxFrames, frames - done);
        float* in[2] = {inputs[0] + done, inputs[1] + done};
        float* out[6];
        for (int c = 0; c < 6; ++c)
            out[c] = outputs[c] + done;
        if (share_ == 0.0f && target() == 0.0f) {
            engine.process(in, out, count, host);
        } else {
            // The host may hand the same buffers in and out: the input is kept first.
            for (int c = 0; c < 2; ++c)
                std::memcpy(dry_[static_cast<std::size_t>(c)].data(), in[c],
                            sizeof(float) * static_cast<std::size_t>(count));
            engine.process(in, out, count, host);
            crossOver(out, count);
        }
        done += count;
    }
}

void BypassFade::crossOver(float** outputs, std::int32_t frames) {
    const float target = this->target();
    const float* dryLeft = dry_[0].data();
    const float* dryRight = dry_[1].data();
    for (std::int32_t k = 0; k < frames; ++k) {
        share_ =
            target > share_ ? std::min(target, share_ + step_) : std::max(target, share_ - step_);
        const float keep = 1.0f - share_;
        outputs[0][k] = keep * outputs[0][k] + share_ * dryLeft[k];
        outputs[1][k] = keep * outputs[1][k] + share_ * dryRight[k];
        for (int c = 2; c < 6; ++c)
            outputs[c][k] *= keep;
    }
}

} // namespace tesk
