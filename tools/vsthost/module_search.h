// Where the tools find the TeskDelay module when no module is named: in the
// folders hosts scan and the install and the Debian package put it in, and only
// then in the build tree a tool runs from. No folder of the build machine is
// compiled in, so an installed tool works wherever its build folder went.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace vsthost {

/// The file name of the TeskDelay module on this system.
#ifdef _WIN32
inline constexpr const char* kTeskDelayModule = "TeskDelay.dll";
#else
inline constexpr const char* kTeskDelayModule = "TeskDelay.so";
#endif

/// The folders searched, in order: every folder in VST_PATH; on Linux then the
/// lib/vst folder of the prefix the running tool is installed in, ~/.vst, ~/.lxvst,
/// /usr/local/lib/vst and /usr/lib/vst; last the root of the build tree the running
/// tool was built in, when it runs from there. Only folders that can be named are
/// listed (no ~ without HOME); whether they exist is not checked.
std::vector<std::filesystem::path> moduleSearchFolders();

/// The first regular file called `fileName` in moduleSearchFolders(), if any.
std::optional<std::filesystem::path> findModule(const std::string& fileName);

/// The search order in words, for --help: names no folder of the build machine,
/// so that manual pages made from --help hold no build path.
std::string moduleSearchText();

/// The folders moduleSearchFolders() gives, joined by ", ", for messages.
std::string moduleSearchFoldersText();

} // namespace vsthost
