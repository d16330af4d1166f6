// The phrase rendered when no input file is given: made in code, so the tool
// needs no audio file on a fresh machine.
#pragma once

#include "audio_io.h"

#include <memory>

namespace tesk::render {

/// A few plucked notes, one every eighth of a beat at `tempo`, in stereo at `rate`.
std::unique_ptr<MemorySource> demoPhrase(double tempo, double rate);

} // namespace tesk::render
