#include "module_search.h"

#include <cstdlib>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace vsthost {

namespace {

#ifdef _WIN32
constexpr char kPathSeparator = ';';
#else
constexpr char kPathSeparator = ':';
#endif

/// The folders of VST_PATH in their order, empty entries left out.
std::vector<std::filesystem::path> vstPathFolders() {
    std::vector<std::filesystem::path> folders;
    const char* value = std::getenv("VST_PATH");
    if (value == nullptr) return folders;
    const std::string text = value;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(kPathSeparator, start);
        if (end == std::string::npos) end = text.size();
        if (end > start) folders.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return folders;
}

/// The running executable's folder, or nothing when the system will not say.
std::optional<std::filesystem::path> executableFolder() {
#ifdef _WIN32
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return std::nullopt;
        if (length < path.size()) {
            path.resize(length);
            return std::filesystem::path(path).parent_path();
        }
        path.resize(path.size() * 2);
    }
#else
    std::error_code error;
    const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return std::nullopt;
    return executable.parent_path();
#endif
}

/// The root of the build tree the running tool was built in, when it runs from
/// there: the build knows where its tools sit below the root, and the root is
/// recognised by CMake's cache, so an installed copy never takes a folder that
/// happens to lie above it.
std::optional<std::filesystem::path> buildTreeRoot(const std::filesystem::path& executableFolder) {
#ifdef TESK_BUILD_ROOT_FROM_TOOLS
    const std::filesystem::path root =
        (executableFolder / TESK_BUILD_ROOT_FROM_TOOLS).lexically_normal();
    std::error_code error;
    if (std::filesystem::is_regular_file(root / "CMakeCache.txt", error)) return root;
#else
    (void)executableFolder;
#endif
    return std::nullopt;
}

#ifndef _WIN32
/// The folders hosts scan that the install (for one user or system-wide) and the
/// Debian package put the module in.
void addInstalledFolders(std::vector<std::filesystem::path>& folders,
                         const std::optional<std::filesystem::path>& executable) {
    // A tool installed in PREFIX/bin has its module in PREFIX/lib/vst (cmake --install).
    if (executable) folders.push_back(executable->parent_path() / "lib" / "vst");
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home != '\0') {
        folders.push_back(std::filesystem::path(home) / ".vst");
        folders.push_back(std::filesystem::path(home) / ".lxvst");
    }
    folders.emplace_back("/usr/local/lib/vst");
    folders.emplace_back("/usr/lib/vst");
}
#endif

} // namespace

std::vector<std::filesystem::path> moduleSearchFolders() {
    std::vector<std::filesystem::path> folders = vstPathFolders();
    const std::optional<std::filesystem::path> executable = executableFolder();
#ifndef _WIN32
    addInstalledFolders(folders, executable);
#endif
    if (executable) {
        if (std::optional<std::filesystem::path> root = buildTreeRoot(*executable))
            folders.push_back(*root);
    }
    return folders;
}

std::optional<std::filesystem::path> findModule(const std::string& fileName) {
    for (const std::filesystem::path& folder : moduleSearchFolders()) {
        std::error_code error;
        const std::filesystem::path candidate = folder / fileName;
        if (std::filesystem::is_regular_file(candidate, error)) return candidate;
    }
    return std::nullopt;
}

std::string moduleSearchText() {
#ifdef _WIN32
    return "the folders of VST_PATH, then the build tree this tool runs from";
#else
    return "the folders of VST_PATH, then PREFIX/lib/vst beside this tool's PREFIX/bin, "
           "~/.vst, ~/.lxvst, /usr/local/lib/vst, /usr/lib/vst, and last the build tree "
           "this tool runs from";
#endif
}

std::string moduleSearchFoldersText() {
    std::string text;
    for (const std::filesystem::path& folder : moduleSearchFolders())
        text += (text.empty() ? "" : ", ") + folder.string();
    return text;
}

} // namespace vsthost
