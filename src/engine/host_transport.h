// What the engine reads of its host's transport: the tempo of the block being
// processed. Every format hands it over in its own way (a VST 2 host answers a
// request, an LV2 host sends time:Position, a CLAP host fills the process
// call's transport).
#pragma once

#include "parameters.h"

#include <cmath>

namespace tesk {

/// The host's transport as one processing block sees it. The delay follows
/// only the tempo: where the transport stands or whether it rolls moves no echo.
struct HostTransport {
    double tempo = 0.0; ///< beats per minute as the host gave it; meaningful when `known`
    bool known = false; ///< the host answered at all
};

/// A host tempo worth taking: NaN, infinity and zero mean "none".
inline bool isUsableHostTempo(double bpm) {
    return std::isfinite(bpm) && bpm != 0.0;
}

/// A host tempo as a line's `Tempo` takes it: beats per minute, which the tempo
/// takes at full precision above 1, so held to 48..999 first, also to fit a float.
inline float hostTempoAsFloat(double bpm) {
    return static_cast<float>(bpm > kMaxTempo ? kMaxTempo : (bpm < kMinTempo ? kMinTempo : bpm));
}

} // namespace tesk
