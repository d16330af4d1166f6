// A bypass that does not click, for hosts that switch the effect off and on
// while it runs (LV2's lv2:enabled, CLAP's bypass parameter): the main pair
// crosses over to the unprocessed input and the other pairs fade out, in
// 10 ms, and back. The effect keeps running underneath, so that its echoes are
// where they belong when it comes back. A hold crosses over the same way apart
// from the bypass: a format that must change many values at once (a program
// change played live) holds, changes them once the output is all input, and
// lets go, so that no value jumps in what is heard.
#pragma once

#include "aligned_buffer.h"
#include "host_transport.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace tesk {

class DelayEngine;

class BypassFade {
  public:
    /// Holds the input of one block of the effect's largest size (not the audio thread).
    BypassFade();

    /// The rate the crossing is timed at (not while a block runs).
    void setSampleRate(float rate);
    /// Asks for the bypass on or off; the output gets there over the next 10 ms (any thread).
    void setBypassed(bool bypassed) { wanted_.store(bypassed, std::memory_order_relaxed); }
    /// Whether the bypass is asked for (any thread).
    bool bypassed() const { return wanted_.load(std::memory_order_relaxed); }
    /// Holds the output at the input, as the bypass does, or lets it go back to
    /// what the bypass asks, over 10 ms (the thread that processes).
    void setHeld(bool held) { held_ = held; }
    /// Whether the output is all input now, the crossing over (the thread that processes).
    bool isAllInput() const { return share_ == 1.0f; }
    /// Puts the output where the bypass asks at once, without crossing over: for
    /// an effect that starts up bypassed (not while a block runs).
    void settle() { share_ = bypassed() ? 1.0f : 0.0f; }
    /// False when the memory for a block's input could not be had.
    bool isUsable() const { return !dry_[0].empty() && !dry_[1].empty(); }

    /// Runs `engine` over one block of any length with the host's transport of
    /// the block, crossing its output over to the input as the bypass asks (audio thread).
    void process(DelayEngine& engine, float** inputs, float** outputs, std::int32_t frames,
                 const HostTransport& host);

  private:
    /// Where the crossing is headed: 1 bypassed or held, 0 processing.
    float target() const { return held_ || wanted_.load(std::memory_order_relaxed) ? 1.0f : 0.0f; }
    void crossOver(float** outputs, std::int32_t frames);

    std::array<AlignedBuffer, 2> dry_;
    std::atomic<bool> wanted_{false};
    bool held_ = false;
    float share_ = 0.0f; ///< how much of the output is the input: 0 processing, 1 bypassed
    float step_ = 1.0f / 441.0f;
};

} // namespace tesk
