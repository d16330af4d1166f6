// The state record: a round trip keeps every bit, and any damage is refused.
#include "clap_state.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tesk::clapfmt {
namespace {

SavedState sample() {
    SavedState state;
    state.program = 7;
    for (int i = 0; i < kNumParameters; ++i)
        state.values[static_cast<std::size_t>(i)] = 0.013f * static_cast<float>(i) - 0.1f;
    state.values[45] = 0.7312f;
    return state;
}

TEST(ClapState, RoundTripKeepsEveryBit) {
    const SavedState state = sample();
    const auto bytes = encodeState(state);
    ASSERT_EQ(bytes.size(), kStateSize);
    const auto back = decodeState(bytes.data(), bytes.size());
    ASSERT_TRUE(back);
    EXPECT_EQ(back->program, 7);
    for (std::size_t i = 0; i < state.values.size(); ++i)
        EXPECT_EQ(std::bit_cast<std::uint32_t>(back->values[i]),
                  std::bit_cast<std::uint32_t>(state.values[i]));
}

TEST(ClapState, EveryDamageIsRefused) {
    const auto bytes = encodeState(sample());
    EXPECT_FALSE(decodeState(nullptr, kStateSize));
    EXPECT_FALSE(decodeState(bytes.data(), 0));
    for (std::size_t size = 0; size < bytes.size(); ++size)
        EXPECT_FALSE(decodeState(bytes.data(), size)) << size;
    auto longer = bytes;
    longer.push_back(0);
    EXPECT_FALSE(decodeState(longer.data(), longer.size()));
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        for (std::uint8_t flip : {0x01, 0x80}) {
            auto damaged = bytes;
            damaged[at] ^= flip;
            EXPECT_FALSE(decodeState(damaged.data(), damaged.size())) << at;
        }
    }
}

TEST(ClapState, SoundRecordsOfBadValuesAreRefused) {
    SavedState state = sample();
    state.values[3] = NAN;
    auto bytes = encodeState(state);
    EXPECT_FALSE(decodeState(bytes.data(), bytes.size()));
    state = sample();
    state.program = 16;
    bytes = encodeState(state);
    EXPECT_FALSE(decodeState(bytes.data(), bytes.size()));
}

} // namespace
} // namespace tesk::clapfmt
