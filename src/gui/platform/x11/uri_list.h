// Dropped files arrive as a text/uri-list: one URI a line, CR LF between lines,
// comment lines starting with '#'. Only local files become paths.
#pragma once

#include <string>
#include <vector>

namespace gui::x11 {

/// The paths of the local `file:` URIs in `uriList`, percent-decoded, in order. URIs of
/// other schemes or other hosts, and paths that do not fit `capacity` − 1 bytes or hold
/// a zero byte, are skipped.
std::vector<std::string> filePathsFromUriList(const std::string& uriList, std::size_t capacity);

/// `path` with a symbolic link in its last part replaced by the link's resolved target;
/// unchanged when it is no link, cannot be resolved or its target is longer than
/// `capacity` − 1 bytes.
std::string resolveLink(const std::string& path, std::size_t capacity);

} // namespace gui::x11
