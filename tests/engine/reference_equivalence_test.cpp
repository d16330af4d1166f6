// The block routine against the frozen earlier one: minutes of noise with
// every parameter, program, host tempo, sample rate and block size swept, the
// six outputs and the heads compared bit for bit after every block.
#include "engine_test_host.h"
#include "reference/reference_engine.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace tesk {
namespace {

using enginetest::hostTempo;
using enginetest::Random;
using enginetest::tempoHost;

// A parameter value: mostly anywhere in range, often on the edges where the
// decoding switches, sometimes a tempo in beats per minute.
float parameterValue(Random& random, int index) {
    ParamRef ref{};
    splitParameterIndex(index, ref);
    if (ref.kind == ParamKind::Tempo) return 48.0f + random.unit() * 951.0f;
    const float edges[] = {0.0f, 0.1f, 0.5f, 1.0f};
    return random.chance(200) ? edges[random.below(4)] : random.unit();
}

template <typename Change> void both(DelayEffect& a, DelayEffect& b, Change&& change) {
    change(a);
    change(b);
}

// Every line on, one filter stage set alike in all of them: on in every lane,
// or now and then off in every lane, which random values alone hardly give.
void setOneStageInEveryLine(Random& random, DelayEffect& a, DelayEffect& b) {
    const bool highPass = random.chance(500);
    const float off = highPass ? 0.0f : 1.0f;
    const float value = random.chance(300) ? off : random.unit();
    const ParamKind kind = highPass ? ParamKind::LowPassFrequency : ParamKind::HighPassFrequency;
    both(a, b, [&](DelayEffect& e) {
        for (int line = 0; line < kNumLines; ++line) {
            e.setParameter(parameterIndex(ParamKind::IsDelayOn, line), 1.0f);
            e.setParameter(parameterIndex(kind, line), value);
        }
    });
}

void sweepEverything(Random& random, DelayEffect& a, DelayEffect& b) {
    const std::uint32_t changes = random.below(4);
    for (std::uint32_t i = 0; i < changes; ++i) {
        const auto index = static_cast<std::int32_t>(random.below(kNumParameters));
        const float value = parameterValue(random, index);
        both(a, b, [&](DelayEffect& e) { e.setParameter(index, value); });
    }
    if (random.chance(5)) {
        const auto program = static_cast<std::int32_t>(random.below(kNumPrograms));
        both(a, b, [&](DelayEffect& e) { e.setProgram(program); });
    }
    if (random.chance(2)) {
        // Low rates put the heads a few samples apart, where the order of
        // reads and writes within a group shows.
        const float rates[] = {1000.0f, 2000.0f, 8000.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f};
        const float rate = rates[random.below(7)];
        both(a, b, [&](DelayEffect& e) { e.setSampleRate(rate); });
    }
    if (random.chance(3)) both(a, b, [](DelayEffect& e) { e.resume(); });
    if (random.chance(20)) setOneStageInEveryLine(random, a, b);
    if (random.chance(20)) hostTempo = 60.0 + random.below(2000) * 0.1;
}

struct Channels {
    std::vector<float> data[8];
    float* inputs[2];
    float* outputs[6];
    explicit Channels(std::size_t frames) {
        for (auto& channel : data)
            channel.resize(frames);
        for (int c = 0; c < 2; ++c)
            inputs[c] = data[c].data();
        for (int c = 0; c < 6; ++c)
            outputs[c] = data[2 + c].data();
    }
};

void fillNoise(Random& random, Channels& io, std::int32_t frames) {
    const float level = random.chance(100) ? 0.0f : (random.chance(100) ? 1000.0f : 1.0f);
    for (int c = 0; c < 2; ++c)
        for (std::int32_t k = 0; k < frames; ++k)
            io.data[c][k] = level * (2.0f * random.unit() - 1.0f);
    if (random.chance(10))
        io.data[random.below(2)][random.below(static_cast<std::uint32_t>(frames))] =
            std::numeric_limits<float>::infinity();
}

std::int32_t blockSize(Random& random) {
    if (random.chance(300)) return static_cast<std::int32_t>(1 + random.below(2048));
    const std::int32_t usual[] = {1, 3, 5, 64, 127, 256, 512, 1024};
    return usual[random.below(8)];
}

bool hasEcho(const Channels& io, std::int32_t frames) {
    for (int c = 2; c < 6; ++c)
        for (std::int32_t k = 0; k < frames; ++k)
            if (io.outputs[c][k] != 0.0f) return true;
    return false;
}

using Sweep = void (*)(Random&, DelayEffect&, DelayEffect&);

// Runs both routines on two equal effects for `seconds` of 44.1 kHz noise,
// `sweep` changing both alike before every block. `wide` lets the routine
// under test pair the filter stages on the 8-wide unit where there is one.
void runAgainstReference(Sweep sweep, std::int64_t seconds, bool wide = true) {
    const bool vectorUnit = true;
    DelayEffect now(tempoHost, nullptr, &vectorUnit);
    DelayEffect before(tempoHost, nullptr, &vectorUnit);
    now.useWideVectors(wide);
    ASSERT_EQ(now.wideVectors, wide && detectWideVectorUnit());
    ReferenceEngine reference(before);
    Random random(0x9E3779B9u);
    Channels a(2048), b(2048);
    const std::int64_t total = seconds * 44100;
    std::int64_t done = 0;
    int block = 0;
    int wetBlocks = 0; // blocks with echoes on pairs 1 and 2: the lines really ran
    for (; done < total; ++block) {
        sweep(random, now, before);
        const std::int32_t frames = blockSize(random);
        fillNoise(random, a, frames);
        for (int c = 0; c < 2; ++c)
            b.data[c] = a.data[c];
        // Sometimes the host hands the input memory as the main output pair.
        const bool inPlace = random.chance(100);
        for (int c = 0; c < 2; ++c) {
            a.outputs[c] = inPlace ? a.inputs[c] : a.data[2 + c].data();
            b.outputs[c] = inPlace ? b.inputs[c] : b.data[2 + c].data();
        }
        now.processReplacing(a.inputs, a.outputs, frames);
        reference.processReplacing(b.inputs, b.outputs, frames);
        for (int c = 0; c < 6; ++c)
            ASSERT_EQ(std::memcmp(a.outputs[c], b.outputs[c], sizeof(float) * frames), 0)
                << "block " << block << " (" << frames << " frames), output " << c;
        ASSERT_EQ(now.readPos, before.readPos) << "block " << block;
        ASSERT_EQ(now.writePos, before.writePos) << "block " << block;
        wetBlocks += hasEcho(a, frames) ? 1 : 0;
        done += frames;
    }
    EXPECT_GT(wetBlocks, block / 4);
    for (int line = 0; line < kNumLines; ++line) {
        const AlignedBuffer& x = now.delayBuffer[line];
        const AlignedBuffer& y = before.delayBuffer[line];
        ASSERT_EQ(x.size(), y.size());
        EXPECT_EQ(std::memcmp(x.data(), y.data(), sizeof(float) * x.size()), 0)
            << "memory of line " << line + 1;
    }
}

// Tiny rates and the shortest notes put the read and write heads zero to a
// few entries apart, and even inside one block's length.
void sweepCloseHeads(Random& random, DelayEffect& a, DelayEffect& b) {
    if (random.chance(50)) {
        const float rates[] = {4.0f, 9.0f, 300.0f, 1000.0f, 2000.0f, 3000.0f};
        const float rate = rates[random.below(6)];
        both(a, b, [&](DelayEffect& e) { e.setSampleRate(rate); });
    }
    const std::uint32_t changes = random.below(3);
    for (std::uint32_t i = 0; i < changes; ++i) {
        const int line = static_cast<int>(random.below(kNumLines));
        const ParamKind kinds[] = {ParamKind::TempoNum,  ParamKind::Tempo,     ParamKind::FeedBack,
                                   ParamKind::DelayType, ParamKind::IsDelayOn, ParamKind::Input};
        const ParamKind kind = kinds[random.below(6)];
        const float value = kind == ParamKind::Tempo       ? 900.0f + random.unit() * 99.0f
                            : kind == ParamKind::IsDelayOn ? (random.chance(800) ? 1.0f : 0.0f)
                                                           : random.unit();
        both(a, b, [&](DelayEffect& e) {
            e.setParameter(parameterIndex(ParamKind::TempoDen, line), 0.9f); // 1/64
            e.setParameter(parameterIndex(ParamKind::IsTempoSync, line), 0.0f);
            e.setParameter(parameterIndex(ParamKind::Output, line), 0.1f + 0.8f * (line & 1));
            e.setParameter(parameterIndex(kind, line), value);
        });
    }
}

TEST(ReferenceEquivalence, MinutesOfSweptNoiseMatchBitForBit) {
    runAgainstReference(sweepEverything, 5 * 60);
}

TEST(ReferenceEquivalence, HeadsAFewEntriesApartMatchBitForBit) {
    runAgainstReference(sweepCloseHeads, 60);
}

// Where the processor has the 8-wide unit the sweeps above run on it; the
// 4-wide path, which the others take, must give the same output.
TEST(ReferenceEquivalence, TheFourWidePathMatchesBitForBitToo) {
    if (!detectWideVectorUnit()) GTEST_SKIP() << "no 8-wide unit: the sweeps above took this path";
    runAgainstReference(sweepEverything, 2 * 60, false);
}

} // namespace
} // namespace tesk
