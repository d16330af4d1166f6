// A line's delay as a musical length: `num` / `den` of a beat at `bpm`, in
// samples at `rate`, computed exactly.
#pragma once

#include <cstdint>
#include <optional>

namespace tesk {

/// The length of a delay in whole samples and in seconds.
struct MusicalDelay {
    std::int64_t samples; ///< trunc(rate × 60 num / (bpm den)), exactly
    float seconds;        ///< the float nearest 60 num / (bpm den)
};

/// The delay of `num` / `den` of a beat at `bpm` beats a minute, `rate` samples
/// a second: in rational arithmetic, so a length that is a whole number of
/// samples is that number on every processor, never one short. None while the
/// values are not yet a length (a tempo outside 48 to 999 beats a minute, such
/// as the zero before a program sets it, or a note length not above zero).
std::optional<MusicalDelay> musicalDelay(std::int32_t rate, float bpm, float num, float den);

} // namespace tesk
