// The command line of teskdelay, and the exit codes it ends with.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tesk::standalone {

/// The process exit code: scripts and session managers tell the endings apart by it.
enum class ExitCode : int {
    ok = 0, ///< ended by SIGINT, SIGTERM or SIGHUP, the state saved (not under a session manager)
    internal = 1,       ///< an unexpected failure (out of memory, no port)
    usage = 2,          ///< a bad option or argument
    noServer = 3,       ///< no JACK server took the client
    serverGone = 4,     ///< the JACK server went away while it ran; the state is saved
    stateNotSaved = 5,  ///< the state could not be written at the end; the old file is kept
    sessionManager = 6, ///< NSM_URL names no session manager, or the manager refused teskdelay
    noDisplay = 7       ///< the editor window could not be opened (no X display)
};

struct Options {
    bool help = false;
    bool version = false;
    bool noGui = false;
    bool connect = false;
    /// The program to start with, 0..15 (given as 1..16); none keeps the saved state's.
    std::optional<int> program;
    /// Where the state is kept instead of the user's configuration folder.
    std::optional<std::string> stateFile;
    /// The tempo of synced lines while no JACK timebase master gives one.
    double tempo = 120.0;
};

/// `options`, or a sentence saying what is wrong with the command line in `error` (any thread).
std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error);

/// The text --help prints (any thread).
std::string helpText();

} // namespace tesk::standalone
