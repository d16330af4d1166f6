// The memory a dispatcher call may write: 512 bytes between canary bytes that
// must come back untouched.
#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <random>
#include <string>

namespace tesk::validate {

/// A writable 512-byte buffer inside a larger one whose edges are canaries.
class CanaryBuffer {
  public:
    static constexpr std::size_t kSize = 512;

    /// A buffer of zeros between canaries.
    CanaryBuffer() { clear(); }

    /// Fills the buffer with random printable text ended within it, for
    /// opcodes that read a text from the pointer.
    void fillText(std::mt19937_64& random);
    /// Fills the buffer with zeros, for opcodes that store a pointer into it.
    void clear();
    /// Fills the buffer with bytes that are not zero, so a text the plug-in
    /// writes shows whether it ended it.
    void fillUnterminated();

    /// The 512 bytes handed to the plug-in.
    char* data() { return reinterpret_cast<char*>(bytes_.data() + kCanaryBytes); }
    /// What the plug-in wrote outside the 512 bytes, or empty when nothing.
    std::string damage() const;
    /// Whether the 512 bytes differ from what the last fill left.
    bool changed() const;
    /// The text at the start of the buffer, when a zero ends it within the 512 bytes.
    std::optional<std::string> text() const;

  private:
    static constexpr std::size_t kCanaryBytes = 256;
    static constexpr unsigned char kCanary = 0xA5;

    void fillCanaries();

    alignas(16) std::array<unsigned char, kSize + 2 * kCanaryBytes> bytes_{};
    std::array<unsigned char, kSize> filled_{}; ///< what the last fill left
};

} // namespace tesk::validate
