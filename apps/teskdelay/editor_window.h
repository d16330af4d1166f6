// The editor in a window of its own: a top-level X11 window with the
// program's title and icon, of the editor's fixed size, that the editor opens
// in as it opens in a host's window. Closing it asks the program to end.
#pragma once

#include "editor_interface.h"

#include <memory>
#include <string>

namespace tesk::standalone {

class EditorWindow {
  public:
    /// Opens `editor` in a new window on the display DISPLAY names, titled
    /// `title`; null, with a sentence for the user in `error`, when there is no
    /// display or the editor would not open. Main thread.
    static std::unique_ptr<EditorWindow> open(EditorInterface& editor, const std::string& title,
                                              std::string& error);
    /// Closes the editor, then the window. Main thread.
    ~EditorWindow();
    EditorWindow(const EditorWindow&) = delete;
    EditorWindow& operator=(const EditorWindow&) = delete;

    /// The descriptors to watch: the window's connection and the editor's own. Main thread.
    int descriptor() const;
    int editorDescriptor() const { return editor_.eventDescriptor(); }
    /// Reads the window's events; false once the user has closed it. Main thread.
    bool handleEvents();
    /// Lets the editor draw and take its input (about 30 times a second, and
    /// whenever its descriptor is readable). Main thread.
    void idle() { editor_.idle(); }

  private:
    struct Connection;
    EditorWindow(EditorInterface& editor, std::unique_ptr<Connection> connection);

    EditorInterface& editor_;
    std::unique_ptr<Connection> connection_;
};

} // namespace tesk::standalone
