// The delay editor bound to a CLAP instance: a knob turned in the editor sets
// the engine at once and reaches the host as gesture-begin, value and
// gesture-end events.
#pragma once

#include "editor_interface.h"

namespace tesk::clapfmt {

class ClapDelay;

/// Makes the delay's editor for `owner` (main thread).
EditorInterface* makeClapEditor(ClapDelay& owner);

} // namespace tesk::clapfmt
