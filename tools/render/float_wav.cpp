#include "float_wav.h"

#include "errors.h"

#include <array>
#include <bit>
#include <cerrno>
#include <cstring>
#include <limits>

namespace tesk::render {

namespace {

// Samples and header fields go out in the machine's own byte order.
static_assert(std::endian::native == std::endian::little, "WAV files are little-endian");

constexpr std::uint16_t kFormatFloat = 0x0003;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
constexpr std::uint16_t kBitsPerSample = 32;
/// The bytes of a float WAV's fmt chunk: the common fields and cbSize (0).
constexpr std::uint32_t kPlainFormatBytes = 18;
/// The bytes of an extensible fmt chunk: the common fields, then cbSize (24)
/// and what it counts: the 22 bytes of valid bits, channel mask and sub-format,
/// and a closing zero. The zero is where sox looks for the extension size of the
/// sub-format, float, once it has read the extensible part; without it sox warns
/// of a missing extension on every such file.
constexpr std::uint32_t kExtensibleFormatBytes = 42;
constexpr std::uint16_t kExtensibleExtensionBytes = kExtensibleFormatBytes - 18;
/// Front left and right: the plug-in's main pair. The pairs after it belong to
/// no speaker, so that no player takes Out 2 and Out 3 for centre and surround.
constexpr std::uint32_t kChannelMask = 0x3;
/// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT as it is stored.
constexpr std::array<std::uint8_t, 16> kFloatSubFormat{
    0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

/// The largest data chunk whose file sizes still fit the header's 32-bit fields.
constexpr std::uint64_t kMostDataBytes = std::numeric_limits<std::uint32_t>::max() - 256;

/// Little-endian header bytes, gathered before one write.
class HeaderBytes {
  public:
    void tag(const char (&name)[5]) { raw(name, 4); }
    void u16(std::uint16_t value) { raw(&value, sizeof value); }
    void u32(std::uint32_t value) { raw(&value, sizeof value); }
    void raw(const void* data, std::size_t size) {
        std::memcpy(bytes_.data() + size_, data, size);
        size_ += size;
    }
    const std::uint8_t* data() const { return bytes_.data(); }
    std::size_t size() const { return size_; }

  private:
    std::array<std::uint8_t, 128> bytes_{}; ///< more than the longest header, 80 bytes
    std::size_t size_ = 0;
};

std::uint32_t formatBytes(std::uint16_t channels) {
    return channels > 2 ? kExtensibleFormatBytes : kPlainFormatBytes;
}

/// Where the header's size fields sit: RIFF's, the fact chunk's frame count, data's.
constexpr long kRiffSizeAt = 4;
long factFramesAt(std::uint16_t channels) {
    return 12 + 8 + static_cast<long>(formatBytes(channels)) + 8;
}
long dataSizeAt(std::uint16_t channels) {
    return factFramesAt(channels) + 4 + 4;
}

} // namespace

FloatWavFile::FloatWavFile(const std::string& path, int channels, double rate)
    : path_(path), channels_(static_cast<std::uint16_t>(channels)),
      rate_(static_cast<std::uint32_t>(rate)) {
    const std::uint64_t bytesPerSecond = std::uint64_t{rate_} * channels_ * (kBitsPerSample / 8);
    if (channels < 1 || channels > 64 || rate < 1.0 ||
        bytesPerSecond > std::numeric_limits<std::uint32_t>::max()) {
        throw RenderError(ExitCode::outputFile, "a WAV file cannot hold " +
                                                    std::to_string(channels) + " channels at " +
                                                    numberText(rate) + " Hz; write .flac instead");
    }
    file_ = std::fopen(path.c_str(), "wb");
    if (file_ == nullptr) {
        throw RenderError(ExitCode::outputFile,
                          "cannot write '" + path + "' (" + std::strerror(errno) +
                              "); check that its folder exists and is writable");
    }
    writeHeader();
}

FloatWavFile::~FloatWavFile() {
    if (file_ == nullptr) return;
    finishHeader();
    std::fclose(file_);
}

void FloatWavFile::writeHeader() {
    const std::uint16_t blockAlign = channels_ * (kBitsPerSample / 8);
    HeaderBytes header;
    header.tag("RIFF");
    header.u32(0); // the sizes are written when the file is complete
    header.tag("WAVE");
    header.tag("fmt ");
    header.u32(formatBytes(channels_));
    header.u16(channels_ > 2 ? kFormatExtensible : kFormatFloat);
    header.u16(channels_);
    header.u32(rate_);
    header.u32(rate_ * blockAlign);
    header.u16(blockAlign);
    header.u16(kBitsPerSample);
    if (channels_ > 2) {
        header.u16(kExtensibleExtensionBytes);
        header.u16(kBitsPerSample);
        header.u32(kChannelMask);
        header.raw(kFloatSubFormat.data(), kFloatSubFormat.size());
        header.u16(0);
    } else {
        header.u16(0);
    }
    header.tag("fact");
    header.u32(4);
    header.u32(0);
    header.tag("data");
    header.u32(0);
    if (std::fwrite(header.data(), 1, header.size(), file_) != header.size()) fail("writing");
}

void FloatWavFile::write(const float* interleaved, std::int64_t frames) {
    const auto samples = static_cast<std::size_t>(frames) * channels_;
    if ((frames_ + static_cast<std::uint64_t>(frames)) * channels_ * sizeof(float) >
        kMostDataBytes) {
        throw RenderError(ExitCode::outputFile,
                          "'" + path_ +
                              "' would pass the 4 GiB a WAV file can hold; write .flac instead, "
                              "or render less of the input");
    }
    if (std::fwrite(interleaved, sizeof(float), samples, file_) != samples) fail("writing");
    frames_ += static_cast<std::uint64_t>(frames);
}

bool FloatWavFile::finishHeader() {
    const auto dataBytes = static_cast<std::uint32_t>(frames_ * channels_ * sizeof(float));
    const std::uint32_t riffBytes =
        static_cast<std::uint32_t>(dataSizeAt(channels_)) + 4 - 8 + dataBytes;
    const auto frames = static_cast<std::uint32_t>(frames_);
    auto put = [this](long at, std::uint32_t value) {
        return std::fseek(file_, at, SEEK_SET) == 0 &&
               std::fwrite(&value, sizeof value, 1, file_) == 1;
    };
    return put(kRiffSizeAt, riffBytes) && put(factFramesAt(channels_), frames) &&
           put(dataSizeAt(channels_), dataBytes);
}

void FloatWavFile::close() {
    const bool finished = finishHeader();
    const int closed = std::fclose(file_);
    file_ = nullptr;
    if (!finished || closed != 0) fail("finishing");
}

void FloatWavFile::fail(const std::string& doing) const {
    throw RenderError(ExitCode::outputFile, doing + " '" + path_ + "' failed (" +
                                                std::strerror(errno) +
                                                "); check the free space on its disk");
}

} // namespace tesk::render
