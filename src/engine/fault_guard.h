// Runs a piece of code that may fault on an unsuitable processor.
#pragma once

namespace tesk {

/// Runs `probe` and answers whether it completed; an illegal-instruction fault
/// inside it is caught and answered with false. Not for the audio thread.
bool runFaultGuarded(void (*probe)());

} // namespace tesk
