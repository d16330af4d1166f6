// The delay editor in a VST 3 host: the editor's seam over the instance's
// controller, and the IPlugView hosts embed it through: an X11 window id driven
// by the host's run loop on Linux, an HWND driven by its own timer on Windows.
#pragma once

#include "editor_interface.h"
#include "vst3_api.h"

namespace tesk::vst3 {

class Vst3Delay;

/// Makes the delay's editor for `owner` (user-interface thread).
EditorInterface* makeVst3Editor(Vst3Delay& owner);
/// A new view of `owner`'s editor with one reference (user-interface thread).
IPlugView* makeVst3View(Vst3Delay& owner);

} // namespace tesk::vst3
