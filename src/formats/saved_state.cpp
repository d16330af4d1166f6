#include "saved_state.h"

#include "programs.h"

#include <bit>
#include <cmath>
#include <cstring>

namespace tesk {

namespace {

constexpr std::uint8_t kMagic[4] = {'T', 'K', 'D', 'S'};
constexpr std::uint32_t kVersion = 2;

std::uint32_t crc32(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void putWord(std::vector<std::uint8_t>& out, std::uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(word >> shift));
}

std::uint32_t wordAt(const std::uint8_t* bytes, std::size_t offset) {
    std::uint32_t word = 0;
    for (int k = 3; k >= 0; --k)
        word = (word << 8) | bytes[offset + static_cast<std::size_t>(k)];
    return word;
}

} // namespace

std::vector<std::uint8_t> encodeState(const SavedState& state) {
    std::vector<std::uint8_t> out(std::begin(kMagic), std::end(kMagic));
    putWord(out, kVersion);
    putWord(out, static_cast<std::uint32_t>(state.program));
    putWord(out, kNumParameters);
    for (float v : state.values)
        putWord(out, std::bit_cast<std::uint32_t>(v));
    putWord(out, state.bypassed ? 1 : 0);
    putWord(out, crc32(out.data(), out.size()));
    return out;
}

namespace {

// The size a record of `version` has; 0 for a version we do not know.
std::size_t sizeOfVersion(std::uint32_t version) {
    if (version == 1) return kStateV1Size;
    return version == kVersion ? kStateSize : 0;
}

// Whether `bytes` are a whole record of a version we know, its check sum sound.
bool isWholeRecord(const std::uint8_t* bytes, std::size_t size) {
    if (bytes == nullptr || size < 8 || std::memcmp(bytes, kMagic, sizeof kMagic) != 0)
        return false;
    return size == sizeOfVersion(wordAt(bytes, 4)) &&
           wordAt(bytes, 12) == static_cast<std::uint32_t>(kNumParameters) &&
           wordAt(bytes, size - 4) == crc32(bytes, size - 4);
}

} // namespace

std::optional<SavedState> decodeState(const std::uint8_t* bytes, std::size_t size) {
    if (!isWholeRecord(bytes, size)) return std::nullopt;
    SavedState state;
    if (size == kStateSize) {
        const std::uint32_t bypass = wordAt(bytes, kStateV1Size - 4);
        if (bypass > 1) return std::nullopt;
        state.bypassed = bypass == 1;
    }
    const std::uint32_t program = wordAt(bytes, 8);
    if (program >= static_cast<std::uint32_t>(kNumPrograms)) return std::nullopt;
    state.program = static_cast<std::int32_t>(program);
    for (int i = 0; i < kNumParameters; ++i) {
        const float v = std::bit_cast<float>(wordAt(bytes, 16 + 4 * static_cast<std::size_t>(i)));
        if (!std::isfinite(v)) return std::nullopt;
        state.values[static_cast<std::size_t>(i)] = v;
    }
    return state;
}

} // namespace tesk
