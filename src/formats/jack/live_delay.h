// What the JACK client does with each block, apart from JACK itself: the
// engine behind a `BypassFade`, the MIDI controls of the block applied, and a
// program change crossing over through the input so that no value jumps in
// what is heard. The process callback runs it on the ports' buffers; the
// benchmarks run it on buffers of their own.
#pragma once

#include "bypass_fade.h"
#include "delay_engine.h"
#include "midi_control.h"
#include "saved_state.h"

#include <cstdint>
#include <memory>

namespace tesk::jackfmt {

/// What a block's MIDI asks for; the last message of a kind wins.
struct BlockControls {
    std::int32_t program = -1; ///< the program (0..15) asked for; -1 for none
    std::int32_t bypass = -1;  ///< 1 on, 0 off; -1 for none
    /// Adds one message's request (the thread that processes).
    void take(const MidiControl& control);
};

class LiveDelay {
  public:
    /// Makes the engine at the default rate with program 1 (not the audio thread).
    LiveDelay();
    /// False when the memory the engine needs could not be had.
    bool isUsable() const;
    /// Gives the engine and the crossing `rate`; false when the engine refuses
    /// it. Not while a block runs.
    bool setSampleRate(float rate);

    /// Loads `state` at once, a bypass included. Not while blocks run.
    void load(const SavedState& state);
    /// Loads program `program` (0..15). Not while blocks run.
    void loadProgram(std::int32_t program);
    /// The program, every value and the bypass as they stand; a program change
    /// still crossing over is not in it yet. Any thread.
    SavedState state() const;
    /// Completes a program change still crossing over. Not while blocks run.
    void finishCrossing();

    /// Who hears of the engine's parameter changes; set it before blocks run.
    void setListener(EngineListener* listener) { engine_->setListener(listener); }
    /// The interface value of parameter `index`; 0 for a bad index. Any thread.
    float value(std::int32_t index) const { return engine_->getParameter(index); }
    /// Sets parameter `index` from its interface value, heard from the next
    /// block on. Any thread.
    void setValue(std::int32_t index, float value) { engine_->setParameter(index, value); }
    /// The tempo line `line` (0 to 3) plays at, in beats per minute. Any thread.
    float tempoInUse(int line) const { return engine_->tempoInUse[static_cast<std::size_t>(line)]; }

    /// Runs one block of any length (two inputs, six outputs) with the host's
    /// transport, after the block's MIDI controls. Allocates nothing, locks
    /// nothing. Audio thread.
    void processBlock(float** inputs, float** outputs, std::int32_t frames,
                      const HostTransport& host, const BlockControls& controls);

  private:
    /// The values read one by one, as they are at this moment.
    SavedState readState() const;

    std::unique_ptr<DelayEngine> engine_;
    BypassFade fade_;
    /// The program a program change asked for, loaded once the output has
    /// crossed over to the input; -1 for none (audio thread).
    std::int32_t pendingProgram_ = -1;
};

} // namespace tesk::jackfmt
