// The CLAP edition saves the state record every format shares.
#pragma once

#include "saved_state.h"

namespace tesk::clapfmt {

using tesk::decodeState;
using tesk::encodeState;
using tesk::kStateSize;
using tesk::kStateV1Size;
using tesk::SavedState;

} // namespace tesk::clapfmt
