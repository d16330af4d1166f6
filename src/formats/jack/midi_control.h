// What a MIDI message played into the stand-alone program asks of it: a
// program change picks one of the sixteen programs, one control change sets
// the bypass, and everything else is ignored.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tesk::jackfmt {

/// The control change that sets the bypass: General Purpose 5, which foot
/// switches commonly send; 64 and above turn the bypass on, below 64 off.
constexpr std::uint8_t kBypassController = 80;

struct MidiControl {
    enum Kind : std::uint8_t { None, Program, Bypass };
    Kind kind = None;
    /// The program (0..15) for `Program`; 1 (on) or 0 (off) for `Bypass`.
    std::int32_t value = 0;
};

/// What the message in `bytes` asks for, on any channel; a program change
/// above 15, any other message, a short one or none asks for nothing (any thread,
/// the audio thread included: it neither allocates nor locks).
MidiControl readMidiControl(const std::uint8_t* bytes, std::size_t size);

} // namespace tesk::jackfmt
