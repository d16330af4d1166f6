// The state a CLAP host saves for an instance: the current program and every
// parameter value, in a small versioned binary record.
//
// Layout, little-endian: "TKDS", version (u32, 1), program (u32, 0..15),
// count (u32, 61), the 61 values as the parameter interface carries them
// (f32 each), then a CRC-32 of everything before it. A record that is short,
// long, of another version, out of range or whose check sum fails is refused.
#pragma once

#include "parameters.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tesk::clapfmt {

struct SavedState {
    std::int32_t program = 0;
    std::array<float, kNumParameters> values{};
};

/// The record's size in bytes; nothing longer is ever read.
constexpr std::size_t kStateSize = 4 + 4 + 4 + 4 + 4 * kNumParameters + 4;

/// The record of `state`.
std::vector<std::uint8_t> encodeState(const SavedState& state);
/// The state in `bytes`, or none when they are not a whole, sound record.
std::optional<SavedState> decodeState(const std::uint8_t* bytes, std::size_t size);

} // namespace tesk::clapfmt
