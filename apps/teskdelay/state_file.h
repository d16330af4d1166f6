// The state teskdelay keeps between runs: the record the plug-ins save
// (saved_state.h) in a file of its own, replaced whole or not at all.
#pragma once

#include "saved_state.h"

#include <filesystem>
#include <optional>
#include <string>

namespace tesk::standalone {

/// $XDG_CONFIG_HOME/teskdelay/state.tkds, else ~/.config/teskdelay/state.tkds; an
/// empty path when neither variable names an absolute folder (main thread).
std::filesystem::path defaultStatePath();

/// What reading a state file came to.
struct StateRead {
    enum Outcome { Missing, Loaded, Broken, Unreadable };
    Outcome outcome = Missing;
    std::optional<SavedState> state;
    /// For `Broken` and `Unreadable`: a sentence for the user.
    std::string message;
};

/// Reads the state in `path`. A file that is not a sound record is renamed to
/// `path` + ".broken" (replacing an older one) so that it is neither lost nor
/// read again (main thread).
StateRead readStateFile(const std::filesystem::path& path);

/// Writes `state` to `path` through a temporary file in the same folder that is
/// flushed to the disk and renamed over it, making the folder first; on any
/// failure the file there before is left as it was, the temporary file removed,
/// and `error` says why (main thread).
bool writeStateFile(const std::filesystem::path& path, const SavedState& state, std::string& error);

} // namespace tesk::standalone
