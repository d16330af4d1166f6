// The fuzzer's bytes read as the values host calls take: small numbers, mostly
// ordinary floats with the worst ones mixed in, and sample rates and block
// sizes that are mostly small, so most inputs cost little memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>

namespace tesk::fuzz {

/// Reads the input front to back; past its end every read answers 0.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    /// Whether every byte has been read.
    bool empty() const { return pos_ >= size_; }
    /// How many bytes are left unread.
    std::size_t remaining() const { return empty() ? 0 : size_ - pos_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    /// Four bytes, most significant first.
    std::int32_t int32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i)
            v = (v << 8) | byte();
        return static_cast<std::int32_t>(v);
    }
    /// Mostly a value in [0, 2], sometimes NaN, infinity, -1e30 or any bits.
    float value() {
        switch (byte() % 8) {
        case 0:
            return std::numeric_limits<float>::quiet_NaN();
        case 1:
            return std::numeric_limits<float>::infinity();
        case 2:
            return -1e30f;
        case 3: {
            const auto bits = static_cast<std::uint32_t>(int32());
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        default:
            return static_cast<float>(byte()) / 127.0f;
        }
    }
    /// A sample rate: mostly one of usableRate(), sometimes one the module must refuse.
    float sampleRate() {
        const std::uint8_t kind = byte();
        if (kind < 252) return usableRate(kind);
        constexpr float kBad[] = {0.0f, -1.0f,  std::numeric_limits<float>::quiet_NaN(), 1e12f,
                                  0.5f, 1.6e6f, std::numeric_limits<float>::infinity(),  96000.0f};
        return kBad[byte() % 8];
    }
    /// A rate the module takes: mostly 1 Hz to 1 kHz, sometimes up to 4 kHz, now and
    /// then a usual studio rate (megabytes of delay memory to clear).
    float usableRate() { return usableRate(byte()); }
    /// A number of frames for a process call: mostly under 64, sometimes up to
    /// kMaxFrames, sometimes 0 or negative.
    std::int32_t frames() {
        const std::uint8_t kind = byte();
        if (kind < 200) return byte() % 64;
        if (kind < 248)
            return static_cast<std::int32_t>((static_cast<unsigned>(byte()) << 8 | byte()) %
                                             (kMaxFrames + 1));
        return -static_cast<std::int32_t>(byte());
    }
    /// A text of up to `longest` bytes, not always printable.
    std::string text(std::size_t longest) {
        std::string out(byte() % (longest + 1), '\0');
        for (char& c : out)
            c = static_cast<char>(byte());
        return out;
    }

    /// The most frames frames() asks for.
    static constexpr std::int32_t kMaxFrames = 4200;

  private:
    float usableRate(std::uint8_t kind) {
        if (kind < 224) return 1.0f + static_cast<float>(byte()) * 4.0f;
        if (kind < 252) return 1.0f + static_cast<float>(byte()) * 16.0f;
        constexpr float kUsual[] = {8000.0f, 22050.0f, 44100.0f, 48000.0f};
        return kUsual[byte() % 4];
    }

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

} // namespace tesk::fuzz
