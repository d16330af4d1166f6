// The delay editor bound to a CLAP instance: a knob turned in the editor sets
// the engine at once and reaches the host as gesture-begin, value and
// gesture-end events.
#pragma once

#include "delay_effect.h"

namespace tesk::clapfmt {

/// Makes the delay's editor for a `ClapEffect`; the effect's constructor calls it.
EditorInterface* makeClapEditor(DelayEffect& effect);

} // namespace tesk::clapfmt
