// What differs between the systems tesk-validate runs on: how a test runs in a
// process of its own, the window a host opens an editor in, and what modules are
// called. platform_posix.cpp and platform_win32.cpp implement it; the build picks one.
#pragma once

#include "context.h"
#include "options.h"
#include "tests.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tesk::validate {

/// What the modules this build loads are, for messages: "Linux VST 2 module".
extern const char* const kModuleKind;
/// The modules' file name ending, with its dot.
extern const char* const kModuleSuffix;

/// Runs `test` in a child process, so a crash or a hang ends the child only, and
/// fills `report` with what the child saw, or with how it ended when it left no
/// verdict: the crash, its status, or no answer within `timeout` seconds. Throws
/// ValidateError (internal) when no child can be started.
void executeInChild(const TestCase& test, const Options& options, double timeout, Report& report);

/// Runs the test when `args` (the command line after the program name) are those
/// a parent gives the child it starts for a test, and answers the exit status;
/// nothing for any other command line. Only systems without fork start children so.
std::optional<int> runAsChild(const std::vector<std::string>& args);

/// A visible top-level window standing in for the host's, to open an editor in.
class HostWindow {
  public:
    /// A window whose inside is `width` × `height`; throws Skipped saying why when
    /// this system has no display to show one on.
    static std::unique_ptr<HostWindow> open(int width, int height);
    virtual ~HostWindow() = default;

    /// What an editor is given to open in (an X11 Window id, an HWND).
    virtual void* handle() const = 0;
    /// Takes what the window system sent, as a host's event loop would.
    virtual void drainEvents() = 0;
    /// The kind of window in reports: "an X window".
    virtual const char* kind() const = 0;
};

} // namespace tesk::validate
