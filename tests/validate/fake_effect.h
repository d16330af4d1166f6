// A minimal effect record around one process function, for the modules that
// misbehave on purpose in the validator's tests.
#pragma once

#include "vst2.h"

/// A stereo effect with one parameter and no programs that processes with `process`.
AEffect* makeFakeEffect(AEffectProcessProc process, std::int32_t uniqueID);
