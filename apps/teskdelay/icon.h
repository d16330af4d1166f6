// teskdelay's icon (the one its desktop entry shows), built into the program
// for its window.
#pragma once

#include <cstddef>

namespace tesk::standalone {

/// The icon as a PNG file's bytes.
extern const unsigned char kIconPng[];
extern const std::size_t kIconPngSize;

} // namespace tesk::standalone
