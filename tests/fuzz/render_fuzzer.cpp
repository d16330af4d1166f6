// Turns bytes into a tesk-render command line and an audio file, damaged as the
// mutations go: the options are parsed as the tool parses them, the file is
// opened and read through libsndfile as the tool reads its input, and what was
// read is written to an output of the format the command line names. Errors the
// tool reports to its user (RenderError) are answers; any other exception, a
// crash or a sanitizer report is a finding.
//
// Input: one byte choosing the file's extension, one byte counting the
// arguments, each argument (an option word from the tool's own, or a text), and
// the rest of the bytes are the file. The words @IN and @OUT stand for the file
// and an output path inside this process's temporary folder: no path the input
// spells is ever written.
#include "fuzz_input.h"

#include "audio_io.h"
#include "errors.h"
#include "options.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using tesk::fuzz::FuzzInput;
namespace render = tesk::render;
namespace fs = std::filesystem;

constexpr std::size_t kMaxArguments = 10;
constexpr std::int32_t kChunkFrames = 512;
/// Enough to reach past every header and into the data; a damaged header can
/// claim any length.
constexpr std::int64_t kMostFramesRead = 1 << 16;

constexpr const char* kExtensions[] = {".wav", ".flac", ".aiff", ".ogg", ".au",   ".caf",
                                       ".w64", ".WAV",  "",      ".raw", ".rf64", ".voc"};
constexpr const char* kWords[] = {
    "@IN",           "@OUT",     "--plugin", "--output",  "-o",        "--program", "--set",
    "--tempo",       "--block",  "--rate",   "--tail",    "--warm-up", "--outputs", "--channels",
    "--list",        "--quiet",  "-q",       "--verbose", "-v",        "--help",    "-h",
    "main",          "all",      "mix",      "1,2",       "2,1",       "0,1",       "3",
    "FeedBack1=0.7", "=",        "1e309",    "-0",        "nan",       "0x10",      "--set=a=1",
    "--tempo=120",   "--block=", "out.flac", "out.wav",   "--",        "-",         ""};

/// A folder of this process's own, removed at exit.
class TempFolder {
  public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "tesk-render-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            std::perror("fuzz: cannot make a temporary folder");
            std::abort();
        }
        path_ = pattern;
    }
    ~TempFolder() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

const TempFolder& folder() {
    static const TempFolder made;
    return made;
}

std::string argument(FuzzInput& in, const std::string& input, const std::string& output) {
    const std::uint8_t kind = in.byte();
    constexpr std::size_t kWordCount = sizeof kWords / sizeof kWords[0];
    if (kind >= 2 * kWordCount) return in.text(24);
    const std::string word = kWords[kind % kWordCount];
    if (word == "@IN") return input;
    if (word == "@OUT") return output;
    return word;
}

void writeFile(const fs::path& path, const std::uint8_t* data, std::size_t size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        std::perror("fuzz: cannot write the input file");
        std::abort();
    }
    if (size > 0) std::fwrite(data, 1, size, file);
    std::fclose(file);
}

/// The output the tool would write, placed in our folder: only the name's
/// extension comes from the command line.
std::string sinkPath(const render::Options& options) {
    const std::string named = options.output.empty() ? "out.wav" : options.output;
    render::checkOutputName(named);
    return (folder().path() / ("out" + fs::path(named).extension().string())).string();
}

/// Reads the input as the renderer does and writes what it read.
void copyAudio(const render::Options& options, const std::string& input) {
    render::SoundFileSource source(input, options.channels);
    render::SoundFileSink sink(sinkPath(options), 2, source.rate());
    std::vector<float> left(kChunkFrames), right(kChunkFrames), both(2 * kChunkFrames);
    for (std::int64_t total = 0; total < kMostFramesRead;) {
        const std::int32_t got = source.read(left.data(), right.data(), kChunkFrames);
        if (got <= 0) break;
        for (std::int32_t i = 0; i < got; ++i) {
            both[2 * i] = left[i];
            both[2 * i + 1] = right[i];
        }
        sink.write(both.data(), got);
        total += got;
    }
    sink.close();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzInput in(data, size);
    constexpr std::size_t kExtensionCount = sizeof kExtensions / sizeof kExtensions[0];
    const std::string input =
        (folder().path() / ("in" + std::string(kExtensions[in.byte() % kExtensionCount]))).string();
    const std::string output = (folder().path() / "given.wav").string();
    std::vector<std::string> args;
    for (std::size_t count = in.byte() % (kMaxArguments + 1); args.size() < count;)
        args.push_back(argument(in, input, output));
    writeFile(input, data + (size - in.remaining()), in.remaining());
    try {
        const render::Options options = render::parseOptions(args);
        if (options.help) {
            (void)render::helpText();
            return 0;
        }
        // Always our file: a path the input spells could be a pipe that never ends.
        copyAudio(options, input);
    } catch (const render::RenderError&) {
        // The tool's answer to a bad command line or file: what it is meant to do.
    }
    return 0;
}
