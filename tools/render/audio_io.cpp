#include "audio_io.h"

#include "errors.h"

#include <fcntl.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <filesystem>

namespace tesk::render {

namespace {

std::string lowerExtension(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension;
}

void checkInputExists(const std::string& path) {
    std::error_code error;
    auto status = std::filesystem::status(path, error);
    if (!std::filesystem::exists(status)) {
        throw RenderError(ExitCode::inputFile,
                          "input '" + path +
                              "' does not exist; give the path of an audio file, or no INPUT "
                              "to render the demo phrase (-o FILE names its output)");
    }
    if (std::filesystem::is_directory(status)) {
        throw RenderError(ExitCode::inputFile,
                          "input '" + path + "' is a folder; give the path of an audio file");
    }
}

/// Why the input at `path` could not be opened (`error`, an errno value) and what to do.
std::string unopenableInput(const std::string& path, int error) {
    if (error == EACCES || error == EPERM) {
        return "cannot read input '" + path +
               "': permission denied; give yourself read access (chmod u+r on the file if "
               "it is yours, else ask its owner)";
    }
    return "cannot open input '" + path + "' (" + std::strerror(error) + "); check the path";
}

std::pair<int, int> checkedPick(const std::string& path, int fileChannels,
                                std::optional<std::pair<int, int>> channels) {
    if (channels) {
        if (std::max(channels->first, channels->second) >= fileChannels) {
            throw RenderError(ExitCode::channels,
                              "'" + path + "' has " + std::to_string(fileChannels) +
                                  " channel(s); --channels must pick among 1 to " +
                                  std::to_string(fileChannels));
        }
        return *channels;
    }
    if (fileChannels > 2) {
        throw RenderError(ExitCode::channels,
                          "'" + path + "' has " + std::to_string(fileChannels) +
                              " channels and the plug-in takes a stereo pair; pick two with "
                              "--channels, such as --channels 1,2");
    }
    return fileChannels == 1 ? std::pair{0, 0} : std::pair{0, 1};
}

/// Channels `pick` of `frames` interleaved frames of `channels` samples. A
/// plain stereo file gets a loop of constant stride, which the compiler turns
/// into vector shuffles.
void pickPair(const float* samples, int channels, std::pair<int, int> pick, float* left,
              float* right, std::int32_t frames) {
    if (channels == 2 && pick == std::pair{0, 1}) {
        for (std::int32_t frame = 0; frame < frames; ++frame) {
            left[frame] = samples[2 * frame];
            right[frame] = samples[2 * frame + 1];
        }
        return;
    }
    for (std::int32_t frame = 0; frame < frames; ++frame, samples += channels) {
        left[frame] = samples[pick.first];
        right[frame] = samples[pick.second];
    }
}

/// A 24-bit FLAC file through libsndfile.
class FlacFile final : public EncodedFile {
  public:
    FlacFile(const std::string& path, int channels, double rate) : path_(path) {
        SF_INFO info{};
        info.samplerate = static_cast<int>(rate);
        info.channels = channels;
        info.format = SF_FORMAT_FLAC | SF_FORMAT_PCM_24;
        file_ = sf_open(path.c_str(), SFM_WRITE, &info);
        if (file_ == nullptr) {
            throw RenderError(ExitCode::outputFile,
                              "cannot write '" + path + "' (" + sf_strerror(nullptr) +
                                  "); check that its folder exists and is writable");
        }
        // A louder-than-full-scale float is clipped, not wrapped.
        sf_command(file_, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    }
    ~FlacFile() override {
        if (file_ != nullptr) sf_close(file_);
    }
    FlacFile(const FlacFile&) = delete;
    FlacFile& operator=(const FlacFile&) = delete;

    void write(const float* interleaved, std::int64_t frames) override {
        if (sf_writef_float(file_, interleaved, frames) != frames) {
            throw RenderError(ExitCode::outputFile, "writing '" + path_ + "' failed (" +
                                                        sf_strerror(file_) +
                                                        "); check the free space on its disk");
        }
    }
    void close() override {
        const int result = sf_close(file_);
        file_ = nullptr;
        if (result != 0) {
            throw RenderError(ExitCode::outputFile, "finishing '" + path_ + "' failed (" +
                                                        sf_error_number(result) +
                                                        "); check the free space on its disk");
        }
    }
    bool holdsIntegers() const override { return true; }

  private:
    SNDFILE* file_ = nullptr;
    std::string path_;
};

/// The file `path` names, in the format its extension asks for; throws
/// RenderError for any other extension or a file that cannot be created.
std::unique_ptr<EncodedFile> openEncoded(const std::string& path, int channels, double rate) {
    checkOutputName(path);
    if (lowerExtension(path) == ".wav") return std::make_unique<FloatWavFile>(path, channels, rate);
    return std::make_unique<FlacFile>(path, channels, rate);
}

} // namespace

// ---------------------------------------------------------------- SoundFileSource

SoundFileSource::SoundFileSource(const std::string& path,
                                 std::optional<std::pair<int, int>> channels) {
    checkInputExists(path);
    // Opened here, not by libsndfile, whose message for an unreadable file is
    // its own "System error" text: the system's reason makes a clearer one.
    const int descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (descriptor < 0) throw RenderError(ExitCode::inputFile, unopenableInput(path, errno));
    file_ = sf_open_fd(descriptor, SFM_READ, &info_, SF_TRUE);
    if (file_ == nullptr) {
        throw RenderError(ExitCode::inputFile, "cannot read '" + path + "' as audio (" +
                                                   sf_strerror(nullptr) +
                                                   "); give a WAV, FLAC, AIFF or OGG file");
    }
    try {
        pick_ = checkedPick(path, info_.channels, channels);
    } catch (...) {
        sf_close(file_);
        throw;
    }
}

SoundFileSource::~SoundFileSource() {
    sf_close(file_);
}

std::int32_t SoundFileSource::read(float* left, float* right, std::int32_t count) {
    std::int32_t done = 0;
    while (done < count && (chunkPos_ < chunkFrames_ || refill())) {
        const auto take = static_cast<std::int32_t>(
            std::min<std::int64_t>(count - done, chunkFrames_ - chunkPos_));
        pickPair(interleaved_.data() + chunkPos_ * info_.channels, info_.channels, pick_,
                 left + done, right + done, take);
        chunkPos_ += take;
        done += take;
    }
    return done;
}

bool SoundFileSource::refill() {
    // Large reads: one system call per block would cost more than the plug-in.
    interleaved_.resize(static_cast<std::size_t>(kChunkFrames) *
                        static_cast<std::size_t>(info_.channels));
    chunkFrames_ = sf_readf_float(file_, interleaved_.data(), kChunkFrames);
    chunkPos_ = 0;
    if (chunkFrames_ < kChunkFrames && sf_error(file_) != SF_ERR_NO_ERROR) {
        throw RenderError(ExitCode::inputFile, std::string("reading the input failed (") +
                                                   sf_strerror(file_) +
                                                   "); check that the file is complete");
    }
    return chunkFrames_ > 0;
}

// ---------------------------------------------------------------- MemorySource

MemorySource::MemorySource(std::vector<float> left, std::vector<float> right, double rate)
    : left_(std::move(left)), right_(std::move(right)), rate_(rate) {}

std::int32_t MemorySource::read(float* left, float* right, std::int32_t count) {
    std::size_t take = std::min(left_.size() - position_, static_cast<std::size_t>(count));
    std::copy_n(left_.begin() + static_cast<std::ptrdiff_t>(position_), take, left);
    std::copy_n(right_.begin() + static_cast<std::ptrdiff_t>(position_), take, right);
    position_ += take;
    return static_cast<std::int32_t>(take);
}

// ---------------------------------------------------------------- SoundFileSink

void checkOutputName(const std::string& path) {
    std::string extension = lowerExtension(path);
    if (extension != ".wav" && extension != ".flac") {
        throw RenderError(ExitCode::usage, "cannot tell the format of output '" + path +
                                               "'; give it a name ending in .wav or .flac");
    }
}

SoundFileSink::SoundFileSink(const std::string& path, int channels, double rate)
    : file_(openEncoded(path, channels, rate)), holdsIntegers_(file_->holdsIntegers()),
      channels_(channels), path_(path) {
    pending_.reserve(static_cast<std::size_t>(kChunkFrames * channels_));
}

SoundFileSink::~SoundFileSink() {
    if (file_ == nullptr) return;
    // Not closed: an error is on its way already; keep what can be kept.
    try {
        file_->write(pending_.data(), pendingFrames());
    } catch (const RenderError&) {
        // The error already on its way is the one to report.
    }
}

void SoundFileSink::write(const float* interleaved, std::int64_t frames) {
    measure(interleaved, frames);
    // Gathered into large writes: one system call per block would cost more
    // than the plug-in. The buffer never grows past its first size, so that
    // its pages are touched once, not again at every doubling.
    if (pendingFrames() + frames > kChunkFrames) flush();
    if (frames >= kChunkFrames) {
        file_->write(interleaved, frames);
        return;
    }
    pending_.insert(pending_.end(), interleaved, interleaved + frames * channels_);
}

void SoundFileSink::measure(const float* interleaved, std::int64_t frames) {
    // The count runs over every sample and vectorises; the peak is needed only
    // to say how far the output went past full scale, so only writes that did
    // pay for it.
    // A 32-bit count runs four to a vector: one write is far below 2^32 samples.
    const float* end = interleaved + frames * channels_;
    std::uint32_t over = 0;
    for (const float* sample = interleaved; sample < end; ++sample)
        over += std::fabs(*sample) > 1.0f ? 1u : 0u;
    if (over == 0) return;
    level_.overFullScale += over;
    for (const float* sample = interleaved; sample < end; ++sample)
        level_.peak = std::max(level_.peak, std::fabs(*sample));
}

void SoundFileSink::flush() {
    file_->write(pending_.data(), pendingFrames());
    pending_.clear();
}

void SoundFileSink::close() {
    flush();
    std::unique_ptr<EncodedFile> file = std::move(file_);
    file->close();
}

} // namespace tesk::render
