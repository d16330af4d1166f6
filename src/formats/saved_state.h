// The state a host saves for an instance, in every format that saves a record
// of its own (CLAP, VST 3): the current program, every parameter value and the
// bypass, in a small versioned binary record.
//
// Layout, little-endian: "TKDS", version (u32), program (u32, 0..15), count
// (u32, 61), the 61 values as the parameter interface carries them (f32 each),
// then, from version 2 on, the bypass (u32, 0 processing or 1 bypassed), and
// last a CRC-32 of everything before it. Version 2 is what we write; a version 1
// record, which sessions saved before the bypass existed hold, reads as one
// with the bypass off. A record that is short, long, of another version, out
// of range or whose check sum fails is refused.
#pragma once

#include "parameters.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tesk {

struct SavedState {
    std::int32_t program = 0;
    std::array<float, kNumParameters> values{};
    bool bypassed = false;

    bool operator==(const SavedState&) const = default;
};

/// The size in bytes of a version 1 record, without the bypass.
constexpr std::size_t kStateV1Size = 4 + 4 + 4 + 4 + 4 * kNumParameters + 4;
/// The size of the record we write; nothing longer is ever read.
constexpr std::size_t kStateSize = kStateV1Size + 4;

/// The record of `state` (any thread).
std::vector<std::uint8_t> encodeState(const SavedState& state);
/// The state in `bytes`, or none when they are not a whole, sound record of
/// version 1 or 2 (any thread).
std::optional<SavedState> decodeState(const std::uint8_t* bytes, std::size_t size);

} // namespace tesk
