// The vector type answers as SSE does on every back end: min and max with NaN,
// signed zeros and infinities, the masks, the pick and the transpose.
#include "vec4.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <limits>
#include <vector>

namespace tesk {
namespace {

struct Lanes4 {
    float v[4];
};

Lanes4 toLanes(Vec4 x) {
    alignas(16) Lanes4 out{};
    store(out.v, x);
    return out;
}

std::uint32_t bits(float x) {
    return std::bit_cast<std::uint32_t>(x);
}

// The operands min and max meet: NaN of both signs and payloads, zeros of both
// signs, infinities, denormals and ordinary numbers.
std::vector<float> operands() {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    return {nan,    -nan,    std::bit_cast<float>(0x7FC12345u),
            0.0f,   -0.0f,   inf,
            -inf,   1.0f,    -2.5f,
            1e-40f, -1e-40f, 3.0e38f};
}

TEST(Vec4, MinAndMaxAnswerAsSseDoesWithNaNAndSignedZeros) {
    // SSE's definitions: min(a, b) = a < b ? a : b, max(a, b) = a > b ? a : b,
    // so a NaN in either operand gives the second, and so does a tie of zeros.
    const std::vector<float> values = operands();
    for (float a : values) {
        for (float b : values) {
            const Lanes4 low = toLanes(min(splat(a), lanes(b, b, b, b)));
            const Lanes4 high = toLanes(max(lanes(a, a, a, a), splat(b)));
            for (int lane = 0; lane < 4; ++lane) {
                EXPECT_EQ(bits(low.v[lane]), bits(a < b ? a : b))
                    << "min(" << a << ", " << b << ") lane " << lane;
                EXPECT_EQ(bits(high.v[lane]), bits(a > b ? a : b))
                    << "max(" << a << ", " << b << ") lane " << lane;
            }
        }
    }
}

TEST(Vec4, MinAndMaxWorkLaneByLane) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Lanes4 low = toLanes(min(lanes(nan, 1.0f, -0.0f, 5.0f), lanes(2.0f, nan, 0.0f, 4.0f)));
    EXPECT_EQ(bits(low.v[0]), bits(2.0f));
    EXPECT_TRUE(low.v[1] != low.v[1]);
    EXPECT_EQ(bits(low.v[2]), bits(0.0f));
    EXPECT_EQ(low.v[3], 4.0f);
    const Lanes4 high = toLanes(max(lanes(nan, 1.0f, 0.0f, 5.0f), lanes(2.0f, nan, -0.0f, 4.0f)));
    EXPECT_EQ(bits(high.v[0]), bits(2.0f));
    EXPECT_TRUE(high.v[1] != high.v[1]);
    EXPECT_EQ(bits(high.v[2]), bits(-0.0f));
    EXPECT_EQ(high.v[3], 5.0f);
}

TEST(Vec4, MasksAndPicks) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Vec4 a = lanes(1.0f, nan, 0.0f, -3.0f);
    const Vec4 b = lanes(1.0f, nan, -0.0f, 3.0f);
    const Lanes4 equal = toLanes(equalMask(a, b));
    const Lanes4 notEqual = toLanes(notEqualMask(a, b));
    const std::uint32_t all = 0xFFFFFFFFu;
    const std::uint32_t expectedEqual[4] = {all, 0u, all, 0u}; // NaN is unequal, ±0 equal
    for (int lane = 0; lane < 4; ++lane) {
        EXPECT_EQ(bits(equal.v[lane]), expectedEqual[lane]) << lane;
        EXPECT_EQ(bits(notEqual.v[lane]), ~expectedEqual[lane]) << lane;
    }
    const Lanes4 picked =
        toLanes(select(equalMask(a, b), lanes(10, 20, 30, 40), lanes(5, 6, 7, 8)));
    const float expectedPick[4] = {10, 6, 30, 8};
    for (int lane = 0; lane < 4; ++lane)
        EXPECT_EQ(picked.v[lane], expectedPick[lane]) << lane;
    const Lanes4 cleared = toLanes(andNot(equalMask(a, b), lanes(1, 2, 3, 4)));
    EXPECT_EQ(bits(cleared.v[0]), 0u);
    EXPECT_EQ(cleared.v[1], 2.0f);
    EXPECT_EQ(bits(cleared.v[2]), 0u);
    EXPECT_EQ(cleared.v[3], 4.0f);
}

TEST(Vec4, ArithmeticRoundsEveryOperationOnce) {
    // (1 + 2^-12)² = 1 + 2^-11 + 2^-24. Rounded as a product, the last term
    // (half an ulp, a tie) goes to the even neighbour 1 + 2^-11, and the
    // differences below leave zero; a fused multiply-subtract would keep 2^-24.
    const float e = 1.0f + 1.0f / 4096.0f;
    const Lanes4 r = toLanes(splat(e) * splat(e) - splat(1.0f) - splat(1.0f / 2048.0f));
    for (float lane : r.v)
        EXPECT_EQ(lane, 0.0f);
    EXPECT_EQ(firstLane(lanes(7.0f, 1.0f, 2.0f, 3.0f) + splat(1.0f)), 8.0f);
}

TEST(Vec4, TransposeTurnsRowsIntoColumns) {
    Vec4 r[4] = {lanes(0, 1, 2, 3), lanes(10, 11, 12, 13), lanes(20, 21, 22, 23),
                 lanes(30, 31, 32, 33)};
    transpose(r[0], r[1], r[2], r[3]);
    for (int i = 0; i < 4; ++i) {
        const Lanes4 row = toLanes(r[i]);
        for (int j = 0; j < 4; ++j)
            EXPECT_EQ(row.v[j], static_cast<float>(10 * j + i)) << i << ", " << j;
    }
}

TEST(Vec4, LoadsAndStoresOfAnyAlignment) {
    alignas(16) float memory[9] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    const Lanes4 shifted = toLanes(loadUnaligned(memory + 1));
    for (int j = 0; j < 4; ++j)
        EXPECT_EQ(shifted.v[j], static_cast<float>(j + 1));
    storeUnaligned(memory + 3, load(memory));
    const float expected[9] = {0, 1, 2, 0, 1, 2, 3, 7, 8};
    for (int j = 0; j < 9; ++j)
        EXPECT_EQ(memory[j], expected[j]) << j;
}

} // namespace
} // namespace tesk
