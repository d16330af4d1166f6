// What the frame asks of the editor that owns it. The editor implements this; the
// toolkit knows nothing else about the editor or the effect behind it.
#pragma once

#include <cstdint>

namespace gui {

/// The editor as its frame sees it. Called on the GUI thread.
class FrameEditor {
  public:
    virtual ~FrameEditor() = default;
    /// Lets the host paint and idle while a control tracks the mouse.
    virtual void pumpIdle() = 0;
    /// The window's own idle timer fired: the editor's idle, where no host drives it.
    virtual void windowIdle() {}
    /// Tells the host that the user starts changing parameter `tag`.
    virtual void beginEdit(std::int32_t tag) = 0;
    /// Tells the host that the user has finished changing parameter `tag`.
    virtual void endEdit(std::int32_t tag) = 0;
};

} // namespace gui
