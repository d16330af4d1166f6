// The delay editor bound to the JACK client: a knob turned in the editor sets
// the engine at once, heard from the next block on. There is no host to tell:
// the program notices changes by the state it reads back.
#pragma once

#include "editor_interface.h"

#include <memory>

namespace tesk::jackfmt {

class JackDelay;

/// Makes the delay's editor for `owner`; `owner` must outlive it (main thread).
std::unique_ptr<EditorInterface> makeJackEditor(JackDelay& owner);

} // namespace tesk::jackfmt
