// 32-bit float WAV files, written here rather than through libsndfile: its float
// WAV header leaves out the extension size (cbSize) that every format other than
// integer PCM carries, and readers such as sox warn about every such file.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tesk::render {

/// An output file in one format, fed interleaved float frames.
class EncodedFile {
  public:
    virtual ~EncodedFile() = default;
    /// Appends `frames` interleaved frames; throws RenderError (outputFile) on failure.
    virtual void write(const float* interleaved, std::int64_t frames) = 0;
    /// Completes the file; throws RenderError (outputFile) when that fails.
    virtual void close() = 0;
    /// True when the format stores integers: a sample past full scale is clipped.
    virtual bool holdsIntegers() const = 0;
};

/// A WAV file of 32-bit float samples: WAVE_FORMAT_IEEE_FLOAT for one or two
/// channels, WAVE_FORMAT_EXTENSIBLE for more, each with its fact chunk.
class FloatWavFile final : public EncodedFile {
  public:
    /// Creates `path` and writes a header for `channels` channels at `rate` frames
    /// per second; throws RenderError (outputFile) when it cannot.
    FloatWavFile(const std::string& path, int channels, double rate);
    /// Completes the header of a file not closed (an error is on its way), so that
    /// what was written stays readable.
    ~FloatWavFile() override;
    FloatWavFile(const FloatWavFile&) = delete;
    FloatWavFile& operator=(const FloatWavFile&) = delete;

    /// Appends `frames` interleaved frames; throws RenderError (outputFile) when
    /// they cannot be written or would pass the 4 GiB a WAV file can hold.
    void write(const float* interleaved, std::int64_t frames) override;
    /// Writes the final sizes into the header and closes the file; throws
    /// RenderError (outputFile) when that fails.
    void close() override;
    bool holdsIntegers() const override { return false; }

  private:
    void writeHeader();
    bool finishHeader();
    [[noreturn]] void fail(const std::string& doing) const;

    std::FILE* file_ = nullptr;
    std::string path_;
    std::uint16_t channels_;
    std::uint32_t rate_;
    std::uint64_t frames_ = 0;
};

} // namespace tesk::render
