#include "canary_buffer.h"

#include <algorithm>
#include <cstring>

namespace tesk::validate {

void CanaryBuffer::fillCanaries() {
    std::fill_n(bytes_.begin(), kCanaryBytes, kCanary);
    std::fill(bytes_.begin() + kCanaryBytes + kSize, bytes_.end(), kCanary);
    std::copy_n(bytes_.begin() + kCanaryBytes, kSize, filled_.begin());
}

void CanaryBuffer::fillText(std::mt19937_64& random) {
    std::uniform_int_distribution<int> printable(' ', '~');
    std::size_t length = std::uniform_int_distribution<std::size_t>(0, kSize - 1)(random);
    auto text = bytes_.begin() + kCanaryBytes;
    std::generate_n(text, kSize, [&] { return static_cast<unsigned char>(printable(random)); });
    text[static_cast<std::ptrdiff_t>(length)] = 0;
    fillCanaries();
}

void CanaryBuffer::clear() {
    std::fill_n(bytes_.begin() + kCanaryBytes, kSize, 0);
    fillCanaries();
}

void CanaryBuffer::fillUnterminated() {
    std::fill_n(bytes_.begin() + kCanaryBytes, kSize, static_cast<unsigned char>('#'));
    fillCanaries();
}

std::string CanaryBuffer::damage() const {
    for (std::size_t i = 0; i < kCanaryBytes; ++i) {
        if (bytes_[kCanaryBytes - 1 - i] != kCanary)
            return "wrote before the 512-byte buffer (at byte -" + std::to_string(i + 1) + ")";
    }
    for (std::size_t i = kCanaryBytes; i-- > 0;) {
        if (bytes_[kCanaryBytes + kSize + i] != kCanary)
            return "wrote past the 512-byte buffer, up to byte " + std::to_string(kSize + i) +
                   " counting from 0";
    }
    return {};
}

bool CanaryBuffer::changed() const {
    return !std::equal(filled_.begin(), filled_.end(), bytes_.begin() + kCanaryBytes);
}

std::optional<std::string> CanaryBuffer::text() const {
    auto start = bytes_.begin() + kCanaryBytes;
    auto end = std::find(start, start + kSize, 0);
    if (end == start + kSize) return std::nullopt;
    return std::string(start, end);
}

} // namespace tesk::validate
