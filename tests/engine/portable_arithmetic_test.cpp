// The arithmetic that must give the same bits on every processor: delay
// lengths (exact), filter coefficients, saturation gains and the fade table
// (our own 106-bit arithmetic, rounded once), and the flushing of denormals.
#include "delay_effect.h"
#include "denormal_guard.h"
#include "engine_test_host.h"
#include "musical_delay.h"
#include "precise_math.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

namespace tesk {
namespace {

int idx(ParamKind kind, int line = 0) {
    return parameterIndex(kind, line);
}

using enginetest::silentHost;

struct Block {
    std::vector<float> channel[8];
    float* inputs[2];
    float* outputs[6];
    explicit Block(std::int32_t frames) {
        for (auto& c : channel)
            c.assign(static_cast<std::size_t>(frames), 0.0f);
        for (int c = 0; c < 2; ++c)
            inputs[c] = channel[c].data();
        for (int c = 0; c < 6; ++c)
            outputs[c] = channel[2 + c].data();
    }
};

// ---- delay lengths -------------------------------------------------------------------------

// Where the write head stands ahead of the read head once the line has run.
std::int32_t headDistance(DelayEffect& effect) {
    Block block(4);
    effect.processBlock(block.inputs, block.outputs, 4);
    const std::int32_t length = 4 * effect.sampleRateInt;
    return ((effect.writePos[0] - effect.readPos[0]) % length + length) % length;
}

TEST(DelayLength, EveryNoteLengthAtCommonTemposIsTheExactOne) {
    // trunc(rate × 60 num / (bpm den)) in integers: what every processor must give.
    for (const std::int32_t rate : {44100, 48000, 96000}) {
        DelayEffect effect(silentHost);
        effect.setSampleRate(static_cast<float>(rate));
        effect.setParameter(idx(ParamKind::IsTempoSync), 0.0f);
        for (const std::int32_t bpm : {90, 100, 140, 150, 180}) {
            effect.setParameter(idx(ParamKind::Tempo), static_cast<float>(bpm));
            for (int n = 0; n < kNumNumerators; ++n) {
                effect.setParameter(idx(ParamKind::TempoNum), tablePositionValue(n));
                for (int d = 0; d < kNumDenominators; ++d) {
                    effect.setParameter(idx(ParamKind::TempoDen), tablePositionValue(d));
                    const auto num = static_cast<std::int64_t>(kTempoNumerators[n]);
                    const auto den = static_cast<std::int64_t>(kTempoDenominators[d]);
                    const std::int64_t exact = std::int64_t{rate} * 60 * num / (bpm * den);
                    ASSERT_EQ(headDistance(effect), exact % (4 * rate))
                        << bpm << " bpm, " << num << "/" << den << " at " << rate;
                }
            }
        }
    }
}

TEST(DelayLength, WholeLengthsAreNeverOneShort) {
    // The lengths extended precision gave one sample short on one processor
    // and not on another.
    struct Case {
        float bpm, num, den;
        std::int32_t rate;
        std::int64_t samples;
    };
    const Case cases[] = {{90, 1, 2, 44100, 14700},  {90, 1, 2, 48000, 16000},
                          {100, 1, 3, 44100, 8820},  {140, 1, 2, 44100, 9450},
                          {150, 3, 4, 96000, 28800}, {180, 1, 64, 96000, 500},
                          {120, 1, 4, 48000, 6000},  {48, 4, 1, 44100, 220500}};
    for (const Case& c : cases) {
        const auto length = musicalDelay(c.rate, c.bpm, c.num, c.den);
        ASSERT_TRUE(length.has_value());
        EXPECT_EQ(length->samples, c.samples) << c.bpm << " bpm " << c.num << "/" << c.den;
        EXPECT_EQ(length->seconds, static_cast<float>(60.0 * c.num / (c.bpm * c.den)));
    }
    // A tempo or a note length not yet set is no length.
    EXPECT_FALSE(musicalDelay(44100, 0.0f, 1, 2).has_value());
    EXPECT_FALSE(musicalDelay(44100, 120.0f, 1, 0).has_value());
    EXPECT_EQ(musicalDelay(44100, 120.0f, 0, 2)->samples, 0);
}

TEST(DelayLength, ProgramZeroAt90BpmEchoesOnTheHalfBeat) {
    // 60 / 90 / 2 s at 44.1 kHz is 14,700 samples exactly.
    DelayEffect effect(silentHost);
    effect.setParameter(idx(ParamKind::IsTempoSync), 0.0f);
    effect.setParameter(idx(ParamKind::Tempo), 90.0f);
    Block block(1024);
    std::int64_t echo = -1;
    for (std::int64_t start = 0; start < 20 * 1024 && echo < 0; start += 1024) {
        block.channel[0][0] = block.channel[1][0] = start == 0 ? 0.5f : 0.0f;
        effect.processReplacing(block.inputs, block.outputs, 1024);
        for (std::int32_t k = 0; k < 1024 && echo < 0; ++k)
            if (block.outputs[0][k] != 0.0f && start + k > 0) echo = start + k;
    }
    EXPECT_EQ(echo, 14700);
}

// ---- coefficients, gains and fades -------------------------------------------------------

// The formulas as they were written, in the widest float the compiler has
// (80-bit on x86, 128-bit in software on aarch64: a test may be slow).
struct Extended {
    float b0, b1, a1, a2;
};

Extended highPassExtended(double cutoff, std::int32_t rate) {
    const long double t = std::tan(static_cast<long double>(std::numbers::pi) * cutoff / rate);
    const long double b0 = 1.0L / (1.0L + t + t * t);
    return {static_cast<float>(b0), static_cast<float>(-2.0L * b0),
            static_cast<float>(2.0L * b0 * (t * t - 1.0L)),
            static_cast<float>(b0 * (1.0L - t + t * t))};
}

Extended lowPassExtended(double cutoff, std::int32_t rate) {
    const long double c =
        1.0L / std::tan(static_cast<long double>(std::numbers::pi) * cutoff / rate);
    const long double b0 = 1.0L / (1.0L + c + c * c);
    return {static_cast<float>(b0), static_cast<float>(2.0L * b0),
            static_cast<float>(2.0L * b0 * (1.0L - c * c)),
            static_cast<float>(b0 * (1.0L - c + c * c))};
}

TEST(Coefficients, AreTheExactFormulasRoundedOnceToFloat) {
    // Sweeps of both stages at three rates: every coefficient is the float
    // that the formulas in extended precision round to, bit for bit.
    for (const float rate : {22050.0f, 44100.0f, 96000.0f}) {
        DelayEffect effect(silentHost);
        effect.setSampleRate(rate);
        const auto rateInt = static_cast<std::int32_t>(rate);
        Block block(4);
        for (int step = 0; step <= 200; ++step) {
            const float value = static_cast<float>(step) / 200.0f;
            const float cross = static_cast<float>(step % 7) / 6.0f;
            effect.setParameter(idx(ParamKind::CrossFrequency), cross);
            effect.setParameter(idx(ParamKind::LowPassFrequency), value);
            effect.setParameter(idx(ParamKind::HighPassFrequency), 1.0f - value);
            effect.processBlock(block.inputs, block.outputs, 4);
            const double crossHz = crossoverHz(cross);
            const double half = 0.4995 * rateInt;
            const double highPassHz = std::clamp(value * crossHz, 0.1, half);
            const double lowPassHz =
                std::clamp(crossHz + (1.0f - value) * (22000.0 - crossHz), 0.1, half);
            const Extended hp = highPassExtended(highPassHz, rateInt);
            const Extended lp = lowPassExtended(lowPassHz, rateInt);
            const auto where = [&] {
                return "step " + std::to_string(step) + " at " + std::to_string(rateInt);
            };
            ASSERT_EQ(effect.hpB0[0], hp.b0) << where();
            ASSERT_EQ(effect.hpB1[0], hp.b1) << where();
            ASSERT_EQ(effect.hpB2[0], hp.b0) << where();
            ASSERT_EQ(effect.hpA1[0], hp.a1) << where();
            ASSERT_EQ(effect.hpA2[0], hp.a2) << where();
            ASSERT_EQ(effect.lpB0[0], lp.b0) << where();
            ASSERT_EQ(effect.lpB1[0], lp.b1) << where();
            ASSERT_EQ(effect.lpB2[0], lp.b0) << where();
            ASSERT_EQ(effect.lpA1[0], lp.a1) << where();
            ASSERT_EQ(effect.lpA2[0], lp.a2) << where();
        }
    }
}

TEST(Coefficients, SaturationGainsAndTheFadeTableAreTheExactValues) {
    DelayEffect effect(silentHost);
    Block block(4);
    for (int step = 1; step <= 100; ++step) {
        effect.setParameter(idx(ParamKind::Saturation), static_cast<float>(step) / 100.0f);
        effect.processBlock(block.inputs, block.outputs, 4);
        const float a = static_cast<float>(step) / 100.0f * 0.98f;
        const long double angle = static_cast<long double>(a * std::numbers::pi);
        ASSERT_EQ(effect.satOutGain[0], static_cast<float>(1.0L / std::sin(angle))) << step;
        ASSERT_EQ(effect.satInGain[0], static_cast<float>(a * std::numbers::pi)) << step;
    }
    ASSERT_EQ(effect.fadeLength, 1024);
    for (std::int32_t i = 0; i < effect.fadeLength; ++i) {
        const long double x = i * std::numbers::pi_v<long double> / effect.fadeLength;
        ASSERT_EQ(effect.fadeTable[i], static_cast<float>((std::cos(x) + 1.0L) / 2.0L)) << i;
    }
}

TEST(PreciseMath, KnownValuesAndRoundingOfTies) {
    const SineCosine zero = sineCosine(0.0);
    EXPECT_EQ(zero.sine.hi, 0.0);
    EXPECT_EQ(zero.cosine.hi, 1.0);
    // sin(π/6) = 1/2 and cos(π/3) = 1/2, to far below a double's ulp.
    const Precise third = Precise(std::numbers::pi) / 3.0;
    EXPECT_NEAR(sineCosine(third * 0.5).sine.hi, 0.5, 1e-15);
    EXPECT_NEAR(sineCosine(third).cosine.hi, 0.5, 1e-15);
    // 1 + 2^-24 lies halfway between two floats: the low part decides.
    const double tie = 1.0 + 1.0 / 16777216.0;
    EXPECT_EQ(roundToFloat(Precise(tie, 0.0)), 1.0f);
    EXPECT_EQ(roundToFloat(Precise(tie, 1e-30)), 1.0f + 1.0f / 8388608.0f);
    EXPECT_EQ(roundToFloat(Precise(tie, -1e-30)), 1.0f);
    EXPECT_EQ(roundToFloat(Precise(-tie, -1e-30)), -(1.0f + 1.0f / 8388608.0f));
}

// ---- denormals -------------------------------------------------------------------------------

bool isDenormal(float x) {
    return x != 0.0f && std::fabs(x) < std::numeric_limits<float>::min();
}

TEST(Denormals, ADecayingLineCarriesNoneIntoTheOutput) {
    // A short recirculating line at half feedback, with saturation and both
    // filters, after one impulse: its echoes fall by 6 dB each time, through
    // the smallest normal floats within a second, and the filters' tails with
    // them. The block must flush what would become denormal to zero.
    DelayEffect effect(silentHost);
    effect.setProgram(12);
    effect.setParameter(idx(ParamKind::IsTempoSync), 0.0f);
    effect.setParameter(idx(ParamKind::DelayType), 1.0f); // recirculating
    effect.setParameter(idx(ParamKind::FeedBack), 0.5f);
    effect.setParameter(idx(ParamKind::Saturation), 0.2f);
    effect.setParameter(idx(ParamKind::LowPassFrequency), 0.2f);
    effect.setParameter(idx(ParamKind::HighPassFrequency), 0.3f);
    effect.setParameter(idx(ParamKind::Tempo), 999.0f);
    effect.setParameter(idx(ParamKind::TempoDen), 0.8f); // 1/64 beat: 41 samples
    Block block(256);
    float smallest = 1.0f;
    for (int b = 0; b < 2 * 44100 / 256; ++b) {
        block.channel[0][0] = block.channel[1][0] = b == 0 ? 1.0f : 0.0f;
        effect.processReplacing(block.inputs, block.outputs, 256);
        for (int c = 0; c < 6; ++c)
            for (float x : block.channel[2 + c]) {
                ASSERT_FALSE(isDenormal(x)) << "block " << b << ", output " << c << ": " << x;
                if (x != 0.0f) smallest = std::min(smallest, std::fabs(x));
            }
    }
    EXPECT_LT(smallest, 1e-35f) << "the echoes did not decay to the edge of the denormals";
    for (const AlignedBuffer& memory : effect.delayBuffer)
        for (std::size_t i = 0; i < memory.size(); ++i)
            ASSERT_FALSE(isDenormal(memory[i])) << i;
}

TEST(Denormals, TheHostsModesAreGivenBack) {
    // Outside a block the host's arithmetic keeps its denormals.
    DelayEffect effect(silentHost);
    Block block(64);
    effect.processReplacing(block.inputs, block.outputs, 64);
    volatile float tiny = std::numeric_limits<float>::min();
    EXPECT_TRUE(isDenormal(tiny * 0.5f));
    {
        DenormalGuard guard;
        EXPECT_EQ(tiny * 0.5f, 0.0f);
    }
    EXPECT_TRUE(isDenormal(tiny * 0.5f));
}

} // namespace
} // namespace tesk
