#include "render_support.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tesk::render::test {

namespace {

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

/// How the child runs the tool.
struct ChildSetup {
    bool checkLeaks;
    bool permissionsBind; ///< root runs it without its power to pass file permissions
};

/// In the child, as root: gives up for good the capabilities that let root read,
/// write and search past file permissions. Running as another user instead would
/// also lock that user out of a build folder under /root.
bool dropPermissionOverride() {
    return prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE, 0, 0, 0) == 0 &&
           prctl(PR_CAPBSET_DROP, CAP_DAC_READ_SEARCH, 0, 0, 0) == 0;
}

/// In the child: writes `message` to standard error and ends with `code`.
[[noreturn]] void childFails(const std::string& message, int code) {
    (void)!write(STDERR_FILENO, message.data(), message.size());
    _exit(code);
}

/// In the child: streams to files, into the work folder, then the tool itself.
[[noreturn]] void execRender(std::vector<std::string> args, const std::filesystem::path& workDir,
                             const std::filesystem::path& outPath,
                             const std::filesystem::path& errPath, ChildSetup setup) {
    if (!setup.checkLeaks) {
        const char* given = std::getenv("ASAN_OPTIONS");
        std::string options = given != nullptr ? std::string(given) + ":" : std::string();
        setenv("ASAN_OPTIONS", (options + "detect_leaks=0").c_str(), 1);
    }
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0 || err < 0 || dup2(out, STDOUT_FILENO) < 0 || dup2(err, STDERR_FILENO) < 0 ||
        chdir(workDir.c_str()) != 0) {
        _exit(126);
    }
    if (setup.permissionsBind && geteuid() == 0 && !dropPermissionOverride())
        childFails(std::string("cannot drop root's file permission override: ") +
                       std::strerror(errno) + "\n",
                   125);
    args.insert(args.begin(), TESK_RENDER_PATH);
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    childFails("cannot run " + args.front() + ": " + std::strerror(errno) + "\n", 127);
}

RunResult runChild(const std::vector<std::string>& args, const std::filesystem::path& workDir,
                   ChildSetup setup) {
    std::filesystem::path outPath = workDir / "render.out";
    std::filesystem::path errPath = workDir / "render.err";
    pid_t child = fork();
    if (child == 0) execRender(args, workDir, outPath, errPath, setup);
    int status = 0;
    EXPECT_GT(child, 0) << "fork failed";
    if (child > 0) waitpid(child, &status, 0);
    int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return {code, slurp(outPath), slurp(errPath)};
}

} // namespace

RunResult runRender(const std::vector<std::string>& args, const std::filesystem::path& workDir) {
    return runChild(args, workDir, {true, false});
}

RunResult runRenderThirdParty(const std::vector<std::string>& args,
                              const std::filesystem::path& workDir) {
    return runChild(args, workDir, {false, false});
}

RunResult runRenderWithinPermissions(const std::vector<std::string>& args,
                                     const std::filesystem::path& workDir) {
    return runChild(args, workDir, {true, true});
}

std::string runCommand(const std::string& command) {
    std::string out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return "cannot run " + command;
    char chunk[4096];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        out += chunk;
    const int status = pclose(pipe);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        out += "[" + command + " failed with status " + std::to_string(status) + "]";
    return out;
}

Audio silence(int channels, std::size_t frames, int rate) {
    Audio audio;
    audio.rate = rate;
    audio.channels.assign(static_cast<std::size_t>(channels), std::vector<float>(frames));
    return audio;
}

Audio readAudio(const std::filesystem::path& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    EXPECT_NE(file, nullptr) << "cannot read " << path << ": " << sf_strerror(nullptr);
    if (file == nullptr) return {};
    std::vector<float> interleaved(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, interleaved.data(), info.frames);
    sf_close(file);
    Audio audio = silence(info.channels, static_cast<std::size_t>(info.frames), info.samplerate);
    for (std::size_t i = 0; i < interleaved.size(); ++i) {
        audio.channels[i % audio.channels.size()][i / audio.channels.size()] = interleaved[i];
    }
    return audio;
}

void writeAudio(const std::filesystem::path& path, const Audio& audio) {
    SF_INFO info{};
    info.samplerate = audio.rate;
    info.channels = static_cast<int>(audio.channels.size());
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    ASSERT_NE(file, nullptr) << "cannot write " << path << ": " << sf_strerror(nullptr);
    std::vector<float> interleaved;
    for (std::size_t frame = 0; frame < audio.frames(); ++frame) {
        for (const auto& channel : audio.channels)
            interleaved.push_back(channel[frame]);
    }
    sf_writef_float(file, interleaved.data(), static_cast<sf_count_t>(audio.frames()));
    sf_close(file);
}

float peak(const std::vector<float>& channel) {
    float largest = 0.0f;
    for (float sample : channel)
        largest = std::max(largest, std::fabs(sample));
    return largest;
}

bool allFinite(const Audio& audio) {
    return std::all_of(audio.channels.begin(), audio.channels.end(), [](const auto& channel) {
        return std::all_of(channel.begin(), channel.end(),
                           [](float sample) { return std::isfinite(sample); });
    });
}

std::vector<std::size_t> framesAbove(const std::vector<float>& channel, float threshold) {
    std::vector<std::size_t> frames;
    for (std::size_t frame = 0; frame < channel.size(); ++frame) {
        if (std::fabs(channel[frame]) > threshold) frames.push_back(frame);
    }
    return frames;
}

std::int64_t delaySamples(int rate, double tempo, int num, int den) {
    long double seconds = ((1.0L / tempo) / den) * num * 60.0L;
    return static_cast<std::int64_t>(rate * seconds) % (4 * static_cast<std::int64_t>(rate));
}

std::string moduleMissing(const std::string& file, const std::string& package) {
    return file + " was not found when this build was configured: the Debian package " + package +
           " brings it (scripts/setup installs it); configure again after installing";
}

TempFolder::TempFolder() {
    std::string pattern =
        (std::filesystem::path(testing::TempDir()) / "tesk-render-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr) << "cannot make a folder from " << pattern;
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

} // namespace tesk::render::test
