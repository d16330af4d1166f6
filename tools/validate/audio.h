// Audio buffers for process calls, fenced with guard samples the plug-in must
// not touch, and the kinds of input the tests feed.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace tesk::validate {

/// What the input channels carry.
enum class Signal {
    silence,
    noise,
    quietNoise,
    nan,
    plusInfinity,
    minusInfinity,
    denormal,
    plusHuge,
    minusHuge
};

/// The signal's name in reports.
const char* signalName(Signal signal);
/// Whether the signal's samples are finite numbers.
bool isFinite(Signal signal);

/// Input and output channels with guard samples before and after the frames of
/// each call, checked afterwards.
class AudioBuffers {
  public:
    /// Room for calls of up to `capacity` frames; outputs alias inputs when `inPlace`.
    AudioBuffers(int inputs, int outputs, int capacity, bool inPlace = false);

    /// Lays guards around the first `frames` samples of every channel, clears
    /// the outputs and fills the inputs with `signal`.
    void prepare(int frames, Signal signal, std::mt19937_64& random);
    /// The pointer arrays handed to the plug-in.
    float** inputs() { return inputPointers_.data(); }
    float** outputs() { return outputPointers_.data(); }
    /// Sample `frame` of output `channel` of the last call.
    float output(int channel, int frame) const;
    int inputCount() const { return static_cast<int>(inputPointers_.size()); }
    int outputCount() const { return static_cast<int>(outputPointers_.size()); }

    /// Which guard the last call changed, or empty when all are intact.
    std::string damagedGuard() const;
    /// What was wrong with the last call: a damaged guard, or (when `finite` is
    /// asked for) a non-finite output; empty when nothing was.
    std::string fault(bool finite) const;

  private:
    /// The channel a slot of `storage_` holds, as reports name it.
    std::string slotName(std::size_t slot) const;

    std::vector<std::vector<float>> storage_; ///< inputs first, then outputs of their own
    std::vector<float*> inputPointers_;
    std::vector<float*> outputPointers_;
    int frames_ = 0;
    int capacity_;
    int shared_; ///< channels that are input and output at once
};

} // namespace tesk::validate
