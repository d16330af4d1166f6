#include "audio.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

namespace tesk::validate {

namespace {

/// Guard samples on each side of the frames of a call: enough to catch a
/// vector loop that runs one step too far.
constexpr int kGuard = 64;

/// A finite value no plug-in computes by chance, compared bit for bit. Not a
/// NaN, so a plug-in that merely reads past the end is not blamed for writing.
constexpr std::uint32_t kGuardBits = 0x3DFCD6E9u;

float guardValue() {
    float value;
    std::memcpy(&value, &kGuardBits, sizeof value);
    return value;
}

bool isGuard(float sample) {
    std::uint32_t bits;
    std::memcpy(&bits, &sample, sizeof bits);
    return bits == kGuardBits;
}

float sampleOf(Signal signal, std::mt19937_64& random) {
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    switch (signal) {
    case Signal::silence:
        return 0.0f;
    case Signal::noise:
        return unit(random);
    case Signal::quietNoise:
        return 0.25f * unit(random);
    case Signal::nan:
        return std::numeric_limits<float>::quiet_NaN();
    case Signal::plusInfinity:
        return std::numeric_limits<float>::infinity();
    case Signal::minusInfinity:
        return -std::numeric_limits<float>::infinity();
    case Signal::denormal:
        return unit(random) * std::numeric_limits<float>::denorm_min() * 1000.0f;
    case Signal::plusHuge:
        return 1e30f;
    case Signal::minusHuge:
        return -1e30f;
    }
    return 0.0f;
}

} // namespace

const char* signalName(Signal signal) {
    switch (signal) {
    case Signal::silence:
        return "silence";
    case Signal::noise:
        return "full-scale noise";
    case Signal::quietNoise:
        return "noise at -12 dBFS";
    case Signal::nan:
        return "NaN";
    case Signal::plusInfinity:
        return "+infinity";
    case Signal::minusInfinity:
        return "-infinity";
    case Signal::denormal:
        return "denormals";
    case Signal::plusHuge:
        return "+1e30";
    case Signal::minusHuge:
        return "-1e30";
    }
    return "?";
}

bool isFinite(Signal signal) {
    return signal != Signal::nan && signal != Signal::plusInfinity &&
           signal != Signal::minusInfinity;
}

AudioBuffers::AudioBuffers(int inputs, int outputs, int capacity, bool inPlace)
    : capacity_(capacity), shared_(inPlace ? std::min(inputs, outputs) : 0) {
    std::size_t size = static_cast<std::size_t>(capacity + 2 * kGuard);
    storage_.assign(static_cast<std::size_t>(inputs + outputs - shared_), std::vector<float>(size));
    for (int i = 0; i < inputs; ++i)
        inputPointers_.push_back(storage_[static_cast<std::size_t>(i)].data() + kGuard);
    for (int o = 0; o < outputs; ++o) {
        std::size_t slot = static_cast<std::size_t>(o < shared_ ? o : inputs + o - shared_);
        outputPointers_.push_back(storage_[slot].data() + kGuard);
    }
}

void AudioBuffers::prepare(int frames, Signal signal, std::mt19937_64& random) {
    frames_ = std::clamp(frames, 0, capacity_);
    for (std::vector<float>& channel : storage_) {
        std::fill(channel.begin(), channel.end(), guardValue());
        std::fill_n(channel.begin() + kGuard, frames_, 0.0f);
    }
    for (float* channel : inputPointers_)
        std::generate_n(channel, frames_, [&] { return sampleOf(signal, random); });
}

float AudioBuffers::output(int channel, int frame) const {
    return outputPointers_[static_cast<std::size_t>(channel)][frame];
}

std::string AudioBuffers::damagedGuard() const {
    for (std::size_t c = 0; c < storage_.size(); ++c) {
        const std::vector<float>& channel = storage_[c];
        for (int i = 0; i < kGuard; ++i) {
            float before = channel[static_cast<std::size_t>(i)];
            float after = channel[static_cast<std::size_t>(kGuard + frames_ + i)];
            if (!isGuard(before)) {
                return slotName(c) + ": sample " + std::to_string(i - kGuard) + " before the " +
                       std::to_string(frames_) + " frames was overwritten";
            }
            if (!isGuard(after)) {
                return slotName(c) + ": guard sample " + std::to_string(i) + " after the " +
                       std::to_string(frames_) + " frames was overwritten";
            }
        }
    }
    return {};
}

std::string AudioBuffers::slotName(std::size_t slot) const {
    int index = static_cast<int>(slot);
    if (index < shared_) return "input and output " + std::to_string(index);
    if (index < inputCount()) return "input " + std::to_string(index);
    return "output " + std::to_string(index - inputCount() + shared_);
}

std::string AudioBuffers::fault(bool finite) const {
    std::string guard = damagedGuard();
    if (!guard.empty() || !finite) return guard;
    for (int c = 0; c < outputCount(); ++c) {
        for (int f = 0; f < frames_; ++f) {
            float value = output(c, f);
            if (!std::isfinite(value))
                return "output " + std::to_string(c) + " frame " + std::to_string(f) + " is " +
                       std::to_string(value);
        }
    }
    return {};
}

} // namespace tesk::validate
