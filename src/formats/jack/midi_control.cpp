#include "midi_control.h"

#include "programs.h"

namespace tesk::jackfmt {

MidiControl readMidiControl(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr || size < 2) return {};
    const std::uint8_t status = bytes[0] & 0xf0;
    // Data bytes have the top bit clear; a message that breaks that is not read.
    if ((bytes[1] & 0x80) != 0) return {};
    if (status == 0xc0) {
        if (bytes[1] >= kNumPrograms) return {};
        return {MidiControl::Program, bytes[1]};
    }
    if (status == 0xb0 && size >= 3 && bytes[1] == kBypassController && (bytes[2] & 0x80) == 0)
        return {MidiControl::Bypass, bytes[2] >= 64 ? 1 : 0};
    return {};
}

} // namespace tesk::jackfmt
