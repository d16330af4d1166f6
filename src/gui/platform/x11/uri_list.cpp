#include "gui/platform/x11/uri_list.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace gui::x11 {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> percentDecoded(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

bool isThisHost(const std::string& host) {
    if (host.empty() || host == "localhost") return true;
    char name[HOST_NAME_MAX + 1] = {};
    return gethostname(name, sizeof name - 1) == 0 && host == name;
}

// The path part of one file URI: "file:///p", "file://host/p" or "file:/p".
std::optional<std::string> localPath(const std::string& uri) {
    constexpr std::string_view kScheme = "file:";
    if (uri.compare(0, kScheme.size(), kScheme) != 0) return std::nullopt;
    std::string rest = uri.substr(kScheme.size());
    if (rest.compare(0, 2, "//") == 0) {
        const std::size_t slash = rest.find('/', 2);
        if (slash == std::string::npos || !isThisHost(rest.substr(2, slash - 2)))
            return std::nullopt;
        rest = rest.substr(slash);
    }
    if (rest.empty() || rest[0] != '/') return std::nullopt;
    return percentDecoded(rest);
}

} // namespace

std::vector<std::string> filePathsFromUriList(const std::string& uriList, std::size_t capacity) {
    std::vector<std::string> paths;
    std::size_t start = 0;
    while (start < uriList.size()) {
        std::size_t end = uriList.find('\n', start);
        if (end == std::string::npos) end = uriList.size();
        std::string line = uriList.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        const std::optional<std::string> path = localPath(line);
        if (!path || path->size() >= capacity || path->find('\0') != std::string::npos) continue;
        paths.push_back(*path);
    }
    return paths;
}

std::string resolveLink(const std::string& path, std::size_t capacity) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
    char* target = realpath(path.c_str(), nullptr);
    if (target == nullptr) return path;
    std::string resolved = target;
    std::free(target);
    return resolved.size() < capacity ? resolved : path;
}

} // namespace gui::x11
