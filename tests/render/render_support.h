// Helpers for the tesk-render tests: run the real executable, and read and
// write real audio files with libsndfile.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tesk::render::test {

/// What one run of tesk-render did.
struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

/// Runs tesk-render with `args` in the folder `workDir`, capturing both streams.
RunResult runRender(const std::vector<std::string>& args, const std::filesystem::path& workDir);

/// As runRender, for a run that loads a module nobody here wrote: in a sanitizer
/// build the leak check is off, since leaks inside such a module are not ours to fix.
RunResult runRenderThirdParty(const std::vector<std::string>& args,
                              const std::filesystem::path& workDir);

/// The failure message of a test whose third-party module `file` was not found when
/// the build was configured: the Debian package that brings it.
std::string moduleMissing(const std::string& file, const std::string& package);

/// As runRender, with file permissions binding: run as root, the tool runs without
/// root's power to pass them, as an ordinary user's would.
RunResult runRenderWithinPermissions(const std::vector<std::string>& args,
                                     const std::filesystem::path& workDir);

/// Runs a shell command and answers what it printed on both streams, with a note
/// appended when it fails.
std::string runCommand(const std::string& command);

/// Planar audio: one vector of samples per channel.
struct Audio {
    int rate = 44100;
    std::vector<std::vector<float>> channels;

    std::size_t frames() const { return channels.empty() ? 0 : channels.front().size(); }
};

/// Silence of `channels` x `frames` at `rate`.
Audio silence(int channels, std::size_t frames, int rate = 44100);
/// Reads any file libsndfile reads; fails the test on error.
Audio readAudio(const std::filesystem::path& path);
/// Writes `audio` as a 32-bit float WAV.
void writeAudio(const std::filesystem::path& path, const Audio& audio);

/// The largest absolute sample of a channel.
float peak(const std::vector<float>& channel);
/// True when every sample of every channel is finite.
bool allFinite(const Audio& audio);
/// Frames of a channel whose magnitude exceeds `threshold`, in order.
std::vector<std::size_t> framesAbove(const std::vector<float>& channel, float threshold);

/// The delay in samples of a line playing `num`/`den` of a beat at `tempo`, computed
/// the way the engine does: seconds in extended precision, truncated to whole samples,
/// wrapped into the line's four-second memory.
std::int64_t delaySamples(int rate, double tempo, int num, int den);

/// A fresh folder under the test temp folder, removed with the object.
class TempFolder {
  public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    /// `name` inside the folder, as a string for the command line.
    std::string file(const std::string& name) const { return (path_ / name).string(); }

  private:
    std::filesystem::path path_;
};

} // namespace tesk::render::test
