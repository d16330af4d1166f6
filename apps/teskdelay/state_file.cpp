#include "state_file.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace tesk::standalone {

namespace fs = std::filesystem;

namespace {

fs::path absoluteFolder(const char* variable) {
    const char* value = std::getenv(variable);
    // Relative paths in these variables are to be ignored, as the XDG base
    // directory rules say.
    if (value == nullptr || value[0] != '/') return {};
    return fs::path(value);
}

std::string reasonOf(int code) {
    return std::strerror(code);
}

/// Writes all of `bytes` to `fd`; false with errno set when it cannot.
bool writeAll(int fd, const std::uint8_t* bytes, std::size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, bytes, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) {
            if (written == 0) errno = ENOSPC;
            return false;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

} // namespace

fs::path defaultStatePath() {
    fs::path config = absoluteFolder("XDG_CONFIG_HOME");
    if (config.empty()) {
        const fs::path home = absoluteFolder("HOME");
        if (home.empty()) return {};
        config = home / ".config";
    }
    return config / "teskdelay" / "state.tkds";
}

StateRead readStateFile(const fs::path& path) {
    StateRead read;
    // Only a file is ever set aside: a folder or a device given by mistake is
    // the user's own and stays where it is.
    std::error_code kind;
    if (fs::exists(path, kind) && !fs::is_regular_file(path, kind)) {
        read.outcome = StateRead::Unreadable;
        read.message = path.string() + " is not a file; TeskDelay starts from program 1";
        return read;
    }
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        std::error_code ec;
        if (!fs::exists(path, ec) && !ec) return read; // the first run
        read.outcome = StateRead::Unreadable;
        read.message = "cannot read the state in " + path.string() + " (" + reasonOf(errno) +
                       "); TeskDelay starts from program 1";
        return read;
    }
    // Nothing longer than a record is read: a huge file is broken all the same.
    std::vector<std::uint8_t> bytes(kStateSize + 1);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    if (file.bad()) {
        read.outcome = StateRead::Unreadable;
        read.message =
            "cannot read the state in " + path.string() + "; TeskDelay starts from program 1";
        return read;
    }
    read.state = decodeState(bytes.data(), bytes.size());
    if (read.state) {
        read.outcome = StateRead::Loaded;
        return read;
    }
    read.outcome = StateRead::Broken;
    fs::path aside = path;
    aside += ".broken";
    std::error_code ec;
    fs::rename(path, aside, ec);
    read.message = "the state in " + path.string() + " is broken (not a whole TeskDelay state " +
                   "record); " +
                   (ec ? "it could not be set aside (" + ec.message() + ")"
                       : "it is kept as " + aside.string()) +
                   ", and TeskDelay starts from program 1";
    return read;
}

bool writeStateFile(const fs::path& path, const SavedState& state, std::string& error) {
    const fs::path folder = path.has_parent_path() ? path.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(folder, ec);
    if (ec) {
        error = "cannot make the folder " + folder.string() + " (" + ec.message() + ")";
        return false;
    }
    // A hidden name beside the file, made unique by mkostemp.
    std::string temporary = folder.string();
    temporary.append("/.").append(path.filename().string()).append(".XXXXXX");
    const int fd = mkostemp(temporary.data(), O_CLOEXEC);
    if (fd < 0) {
        error = "cannot write in " + folder.string() + " (" + reasonOf(errno) + ")";
        return false;
    }
    const std::vector<std::uint8_t> record = encodeState(state);
    const bool written = writeAll(fd, record.data(), record.size()) && fsync(fd) == 0;
    const int writeErrno = errno;
    const bool closed = close(fd) == 0;
    if (!written || !closed || std::rename(temporary.c_str(), path.c_str()) != 0) {
        const int code = !written ? writeErrno : errno;
        unlink(temporary.c_str());
        error = "cannot write the state to " + path.string() + " (" + reasonOf(code) +
                "); the file saved before is kept";
        return false;
    }
    // The rename is on the disk once the folder is.
    const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd >= 0) {
        fsync(folderFd);
        close(folderFd);
    }
    return true;
}

} // namespace tesk::standalone
