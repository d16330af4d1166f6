// The state record's versions: version 2 carries the bypass; a version 1
// record, as sessions saved before the bypass hold it, reads with the bypass
// off; a record whose size is not its version's is refused.
#include "clap_state.h"
#include "parameter_info.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

namespace tesk::clapfmt {
namespace {

std::vector<std::uint8_t> versionOneRecord() {
    std::ifstream in(TESK_CLAP_DATA_DIR "/state-v1.tkds", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::uint32_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

void putWord(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint32_t word) {
    ASSERT_LE(at + 4, bytes.size());
    for (int k = 0; k < 4; ++k)
        bytes.at(at + static_cast<std::size_t>(k)) = static_cast<std::uint8_t>(word >> (8 * k));
}

// The check sum the record ends with (CRC-32, as zlib computes it).
std::uint32_t crc32(const std::uint8_t* bytes, std::size_t size) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1u) != 0 ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
    }
    return ~crc;
}

// `bytes` with its check sum made right again.
std::vector<std::uint8_t> resealed(std::vector<std::uint8_t> bytes) {
    putWord(bytes, bytes.size() - 4, crc32(bytes.data(), bytes.size() - 4));
    return bytes;
}

TEST(ClapStateVersions, AVersionOneRecordReadsWithTheBypassOff) {
    const auto record = versionOneRecord();
    ASSERT_EQ(record.size(), kStateV1Size);
    ASSERT_EQ(wordAt(record, 4), 1u);
    const auto state = decodeState(record.data(), record.size());
    ASSERT_TRUE(state);
    EXPECT_EQ(state->program, 8);
    EXPECT_FALSE(state->bypassed);
    EXPECT_EQ(state->values[parameterIndex(ParamKind::FeedBack, 0)], 0.625f);
    EXPECT_EQ(state->values[parameterIndex(ParamKind::VolumeThruInput, 0)], 0.25f);
    EXPECT_EQ(state->values[parameterIndex(ParamKind::Output, 2)],
              interfaceValueOfPlain(parameterIndex(ParamKind::Output, 2), 2.0));
    EXPECT_EQ(plainValue(parameterIndex(ParamKind::Tempo, 1),
                         state->values[parameterIndex(ParamKind::Tempo, 1)]),
              137.5);
}

TEST(ClapStateVersions, VersionTwoCarriesTheBypassAfterTheValues) {
    for (bool bypassed : {false, true}) {
        SavedState state;
        state.program = 3;
        state.values.fill(0.25f);
        state.bypassed = bypassed;
        const auto bytes = encodeState(state);
        ASSERT_EQ(bytes.size(), kStateSize);
        EXPECT_EQ(kStateSize, kStateV1Size + 4);
        EXPECT_EQ(wordAt(bytes, 4), 2u);
        EXPECT_EQ(wordAt(bytes, kStateV1Size - 4), bypassed ? 1u : 0u);
        const auto back = decodeState(bytes.data(), bytes.size());
        ASSERT_TRUE(back);
        EXPECT_EQ(back->bypassed, bypassed);
        EXPECT_EQ(back->program, 3);
        EXPECT_EQ(back->values, state.values);
    }
}

TEST(ClapStateVersions, ARecordWhoseSizeIsNotItsVersionsIsRefused) {
    const auto one = versionOneRecord();
    SavedState state;
    state.bypassed = true;
    const auto two = encodeState(state);
    ASSERT_TRUE(decodeState(one.data(), one.size()));
    ASSERT_TRUE(decodeState(two.data(), two.size()));
    auto oneCalledTwo = one;
    putWord(oneCalledTwo, 4, 2);
    oneCalledTwo = resealed(oneCalledTwo);
    EXPECT_FALSE(decodeState(oneCalledTwo.data(), oneCalledTwo.size()));
    auto twoCalledOne = two;
    putWord(twoCalledOne, 4, 1);
    twoCalledOne = resealed(twoCalledOne);
    EXPECT_FALSE(decodeState(twoCalledOne.data(), twoCalledOne.size()));
    auto three = two;
    putWord(three, 4, 3);
    three = resealed(three);
    EXPECT_FALSE(decodeState(three.data(), three.size()));
    auto badBypass = two;
    putWord(badBypass, kStateV1Size - 4, 2);
    badBypass = resealed(badBypass);
    EXPECT_FALSE(decodeState(badBypass.data(), badBypass.size()));
    // The reseal itself is sound: the untouched record resealed still reads.
    EXPECT_TRUE(decodeState(resealed(two).data(), two.size()));
}

} // namespace
} // namespace tesk::clapfmt
