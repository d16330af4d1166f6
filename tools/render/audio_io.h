// Audio in and out through libsndfile, and the stereo source the renderer reads.
#pragma once

#include "float_wav.h"

#include <sndfile.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tesk::render {

/// Stereo frames for the plug-in's two main inputs.
class AudioSource {
  public:
    virtual ~AudioSource() = default;
    /// Frames per second.
    virtual double rate() const = 0;
    /// Frames in the whole source.
    virtual std::int64_t frames() const = 0;
    /// Reads up to `count` frames into `left` and `right`; answers how many, 0 at the end.
    virtual std::int32_t read(float* left, float* right, std::int32_t count) = 0;
};

/// A file libsndfile reads, seen as two channels: mono feeds both, more than two
/// need `channels` to pick a pair (zero-based).
class SoundFileSource final : public AudioSource {
  public:
    /// Opens `path`; throws RenderError when it is missing, unreadable or has too many channels.
    SoundFileSource(const std::string& path, std::optional<std::pair<int, int>> channels);
    ~SoundFileSource() override;
    SoundFileSource(const SoundFileSource&) = delete;
    SoundFileSource& operator=(const SoundFileSource&) = delete;

    double rate() const override { return info_.samplerate; }
    std::int64_t frames() const override { return info_.frames; }
    std::int32_t read(float* left, float* right, std::int32_t count) override;

  private:
    static constexpr sf_count_t kChunkFrames = 65536;
    /// Reads the next chunk of the file; false at its end.
    bool refill();

    SNDFILE* file_ = nullptr;
    SF_INFO info_{};
    std::pair<int, int> pick_{0, 1};
    std::vector<float> interleaved_;
    sf_count_t chunkFrames_ = 0;
    sf_count_t chunkPos_ = 0;
};

/// Stereo audio held in memory, such as the demo phrase.
class MemorySource final : public AudioSource {
  public:
    /// Takes two channels of equal length at `rate` frames per second.
    MemorySource(std::vector<float> left, std::vector<float> right, double rate);

    double rate() const override { return rate_; }
    std::int64_t frames() const override { return static_cast<std::int64_t>(left_.size()); }
    std::int32_t read(float* left, float* right, std::int32_t count) override;

  private:
    std::vector<float> left_;
    std::vector<float> right_;
    double rate_;
    std::size_t position_ = 0;
};

/// How far the samples written so far went past full scale.
struct OutputLevel {
    std::int64_t overFullScale = 0; ///< samples whose magnitude is above 1
    float peak = 0.0f;              ///< the largest magnitude, once overFullScale is not 0
};

/// The output file: 32-bit float WAV or 24-bit FLAC, chosen by the name's extension.
class SoundFileSink {
  public:
    /// Creates `path`; throws RenderError for an unknown extension or a file it cannot create.
    SoundFileSink(const std::string& path, int channels, double rate);
    ~SoundFileSink();
    SoundFileSink(const SoundFileSink&) = delete;
    SoundFileSink& operator=(const SoundFileSink&) = delete;

    /// Appends `frames` interleaved frames of `channels()` samples each.
    void write(const float* interleaved, std::int64_t frames);
    /// Finishes the file; throws RenderError when it could not be completed.
    void close();
    int channels() const { return channels_; }
    const std::string& path() const { return path_; }
    /// True when the file stores integers (FLAC): samples above full scale are clipped.
    bool holdsIntegers() const { return holdsIntegers_; }
    /// The peak and the samples above full scale of everything written.
    const OutputLevel& level() const { return level_; }

  private:
    static constexpr std::int64_t kChunkFrames = 65536;
    void flush();
    void measure(const float* interleaved, std::int64_t frames);
    std::int64_t pendingFrames() const {
        return static_cast<std::int64_t>(pending_.size()) / channels_;
    }

    std::unique_ptr<EncodedFile> file_; ///< none once closed
    bool holdsIntegers_;
    int channels_;
    std::string path_;
    std::vector<float> pending_;
    OutputLevel level_;
};

/// Checks that `path` names a file the sink can write (.wav or .flac); throws RenderError if not.
void checkOutputName(const std::string& path);

} // namespace tesk::render
