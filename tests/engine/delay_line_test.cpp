// Echo positions, gains, fades, chaining and routing, measured at the outputs
// of instances made through the module.
#include "plugin_fixture.h"

#include "parameters.h"

#include <cmath>
#include <numbers>

namespace tesk::test {
namespace {

constexpr int kRate = 44100;
int idx(ParamKind kind, int line = 0) { return parameterIndex(kind, line); }

// 0.5 s at 120 bpm: one beat (numerator 1, denominator 1).
void halfSecondDelay(const Plugin& p, int line = 0) {
    p.set({{idx(ParamKind::Tempo, line), 120.0f},
           {idx(ParamKind::TempoNum, line), 0.0f},
           {idx(ParamKind::TempoDen, line), 0.0f}});
}

TEST(DelayLine, RecirculatingEchoesHalveAtExactPositions) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p);
    p.set({{idx(ParamKind::FeedBack), 0.5f}, {idx(ParamKind::DelayType), 1.0f}});

    Outputs out = p.renderImpulse(3 * 22050 + 100);
    EXPECT_EQ(nonZeroAt(out[0]), (std::vector<int>{22050, 44100, 66150}));
    EXPECT_EQ(out[0][22050], 1.0f);
    EXPECT_EQ(out[0][44100], 0.5f);
    EXPECT_EQ(out[0][66150], 0.25f);
    EXPECT_TRUE(nonZeroAt(out[1]).empty()); // pan 0: left only
}

// A host announces the sample rate again (VST 2 hosts do before they start an
// effect, CLAP hosts on every activation): the heads are placed from the same
// exact length a tempo change uses, so the echo stays where it was (a quarter of
// a beat at 100 bpm, 6615 frames exactly; the delay kept as a float once gave 6614).
TEST(DelayLine, AnnouncingTheSameRateAgainKeepsTheEchoWhereItWas) {
    Plugin p;
    isolateLineOne(p);
    p.set({{idx(ParamKind::Tempo), 100.0f}, {idx(ParamKind::TempoDen), 0.3f}});
    EXPECT_EQ(nonZeroAt(p.renderImpulse(kRate)[0]), std::vector<int>{6615});
    p->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(kRate));
    EXPECT_EQ(nonZeroAt(p.renderImpulse(kRate)[0]), std::vector<int>{6615});
}

TEST(DelayLine, SingleEchoReturnsOnceAtTheFeedbackLevel) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p);
    p.set({{idx(ParamKind::FeedBack), 0.5f}, {idx(ParamKind::DelayType), 0.0f}});

    Outputs out = p.renderImpulse(3 * 22050 + 100);
    EXPECT_EQ(nonZeroAt(out[0]), (std::vector<int>{22050}));
    EXPECT_EQ(out[0][22050], 1.0f);
}

TEST(DelayLine, ConsumedMemoryIsClearedSoNoEchoReturnsAfterTheBufferWraps) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p);
    p.set({{idx(ParamKind::FeedBack), 1.0f}, {idx(ParamKind::DelayType), 0.0f}});
    // Four seconds of memory: an uncleared slot would come back 4 s later.
    Outputs out = p.renderImpulse(4 * kRate + 22050 + 1000);
    EXPECT_EQ(nonZeroAt(out[0]), (std::vector<int>{22050}));
}

TEST(DelayLine, ZeroFeedbackLineFallsSilentOnceReadOut) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p);
    p.set({{idx(ParamKind::FeedBack), 0.0f}, {idx(ParamKind::DelayType), 1.0f}});
    EXPECT_TRUE(nonZeroAt(p.renderImpulse(2 * kRate)[0]).empty());
}

TEST(DelayLine, BlockSizeDoesNotMoveEchoesIncludingPartialGroups) {
    auto renderWith = [](int block) {
        Plugin p;
        isolateLineOne(p);
        p.set({{idx(ParamKind::Tempo), 133.0f},
               {idx(ParamKind::TempoDen), 0.5f},
               {idx(ParamKind::FeedBack), 0.7f},
               {idx(ParamKind::DelayType), 1.0f}});
        return p.renderImpulse(kRate, 1.0f, block)[0];
    };
    const std::vector<float> reference = renderWith(512);
    ASSERT_FALSE(nonZeroAt(reference).empty());
    for (int block : {5, 1, 3, 1023, 1024}) EXPECT_EQ(renderWith(block), reference) << block;
}

TEST(DelayLine, LongHostBlocksAreProcessedInPiecesWithoutOverrun) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p);
    p.set({{idx(ParamKind::FeedBack), 0.5f}, {idx(ParamKind::DelayType), 1.0f}});
    // One call of 30000 frames, far beyond the 1024 the block buffers hold;
    // the output buffers carry guard samples past their end.
    const int frames = 30000;
    std::vector<float> in(frames + 8, 0.0f);
    in[0] = 1.0f;
    std::vector<float> inR = in;
    Outputs out;
    for (auto& c : out) c.assign(frames + 8, 7.0f);
    float* inputs[2] = {in.data(), inR.data()};
    float* outputs[6];
    for (int c = 0; c < 6; ++c) outputs[c] = out[c].data();
    p->processReplacing(inputs, outputs, frames);
    for (int c = 0; c < 6; ++c)
        for (int g = 0; g < 8; ++g) EXPECT_EQ(out[c][frames + g], 7.0f);
    out[0].resize(frames);
    EXPECT_EQ(nonZeroAt(out[0]), (std::vector<int>{22050}));
}

TEST(DelayLine, ZeroAndNegativeFrameCountsTouchNothing) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p);
    p.set({{idx(ParamKind::FeedBack), 1.0f}});
    std::vector<float> in(64, 1.0f), inR(64, 1.0f);
    Outputs out;
    for (auto& c : out) c.assign(64, 7.0f);
    float* inputs[2] = {in.data(), inR.data()};
    float* outputs[6];
    for (int c = 0; c < 6; ++c) outputs[c] = out[c].data();
    p->processReplacing(inputs, outputs, 0);
    p->processReplacing(inputs, outputs, -5);
    p->process(inputs, outputs, -100000);
    for (auto& c : out) EXPECT_EQ(c, std::vector<float>(64, 7.0f));
    // No head moved either: an impulse now still echoes 0.5 s later.
    EXPECT_EQ(nonZeroAt(p.renderImpulse(22100)[0]), (std::vector<int>{22050}));
}

TEST(DelayLine, BothProcessEntriesAgreeAlsoInPlace) {
    std::vector<float> left(4000), right(4000);
    for (int i = 0; i < 4000; ++i) {
        left[i] = std::sin(i * 0.01f);
        right[i] = std::cos(i * 0.013f);
    }
    auto run = [&](bool accumulatingEntry, bool inPlace) {
        Plugin p;
        p->dispatch(effSetProgram, 0, 3); // four lines
        Outputs out;
        for (auto& c : out) c.assign(left.size(), 0.0f);
        out[0] = left;
        out[1] = right;
        std::vector<float> inL = left, inR = right;
        for (int start = 0; start < 4000; start += 500) {
            float* inputs[2] = {(inPlace ? out[0] : inL).data() + start,
                                (inPlace ? out[1] : inR).data() + start};
            float* outputs[6];
            for (int c = 0; c < 6; ++c) outputs[c] = out[c].data() + start;
            if (accumulatingEntry)
                p->process(inputs, outputs, 500);
            else
                p->processReplacing(inputs, outputs, 500);
        }
        return out;
    };
    const Outputs reference = run(false, false);
    EXPECT_EQ(run(true, false), reference);
    EXPECT_EQ(run(false, true), reference);
    EXPECT_EQ(run(true, true), reference);
}

TEST(DelayLine, ChainedLineHearsTheUnshapedEchoOfItsSource) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p, 0);
    // Line 1: heavy saturation and both filters, sent to pair 1.
    p.set({{idx(ParamKind::FeedBack, 0), 0.5f},
           {idx(ParamKind::Saturation, 0), 1.0f},
           {idx(ParamKind::LowPassFrequency, 0), 0.5f},
           {idx(ParamKind::HighPassFrequency, 0), 0.2f},
           {idx(ParamKind::Output, 0), 0.1f}});
    // Line 2: 0.25 s, fed from line 1, plain, on pair 0, left.
    p.set({{idx(ParamKind::IsDelayOn, 1), 1.0f},
           {idx(ParamKind::IsTempoSync, 1), 0.0f},
           {idx(ParamKind::Input, 1), 0.1f},
           {idx(ParamKind::Pan, 1), 0.0f},
           {idx(ParamKind::Volume, 1), 0.5f},
           {idx(ParamKind::FeedBack, 1), 0.5f},
           {idx(ParamKind::Tempo, 1), 120.0f},
           {idx(ParamKind::TempoNum, 1), 0.0f},
           {idx(ParamKind::TempoDen, 1), 0.1f},
           {idx(ParamKind::LowPassFrequency, 1), 0.0f},
           {idx(ParamKind::HighPassFrequency, 1), 1.0f}});
    ASSERT_EQ(p->getParameter(idx(ParamKind::Input, 1)), 0.1f);

    Outputs out = p.renderImpulse(22050 + 11025 + 100);
    // Line 1's memory holds 0.5 * 2.0 = 1.0; line 2 writes 0.5 of it.
    EXPECT_EQ(nonZeroAt(out[0]), (std::vector<int>{22050 + 11025}));
    EXPECT_EQ(out[0][22050 + 11025], 0.5f);
    // Line 1's own echo, shaped, went to pair 1 only.
    EXPECT_NE(out[2][22050], 0.0f);
    EXPECT_EQ(out[0][22050], 0.0f);
}

TEST(DelayLine, PanVolumeAndOutputPairRouting) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p, 0);
    p.set({{idx(ParamKind::FeedBack, 0), 0.5f},
           {idx(ParamKind::Pan, 0), 0.25f},
           {idx(ParamKind::Volume, 0), 1.0f}, // (2 * 1)^2 = 4
           {idx(ParamKind::Output, 0), 0.5f}}); // pair 2
    // Line 2 on the same pair, fully right, unity.
    halfSecondDelay(p, 1);
    p.set({{idx(ParamKind::IsDelayOn, 1), 1.0f},
           {idx(ParamKind::IsTempoSync, 1), 0.0f},
           {idx(ParamKind::FeedBack, 1), 0.25f},
           {idx(ParamKind::Pan, 1), 1.0f},
           {idx(ParamKind::Volume, 1), 0.5f},
           {idx(ParamKind::Output, 1), 0.9f}});
    Outputs out = p.renderImpulse(22100);
    for (int c : {0, 1, 2, 3}) EXPECT_TRUE(nonZeroAt(out[c]).empty()) << c;
    EXPECT_FLOAT_EQ(out[4][22050], 1.0f * 4.0f * 0.75f);
    EXPECT_FLOAT_EQ(out[5][22050], 1.0f * 4.0f * 0.25f + 0.5f); // both lines add up
}

TEST(DelayLine, DryPathScalesTheInputOntoTheMainPairOnly) {
    Plugin p;
    p->dispatch(effSetProgram, 0, 12);
    p.set({{idx(ParamKind::IsDelayOn, 0), 0.0f}, {idx(ParamKind::VolumeThruInput), 0.25f}});
    std::vector<float> left{1.0f, -0.5f, 0.25f, 2.0f, 3.0f}, right{0.5f, 0.0f, -1.0f, 4.0f, 8.0f};
    Outputs out = p.render(left, right, 5);
    for (int k = 0; k < 5; ++k) {
        EXPECT_EQ(out[0][k], left[k] * 0.25f);
        EXPECT_EQ(out[1][k], right[k] * 0.25f);
    }
    for (int c = 2; c < 6; ++c) EXPECT_TRUE(nonZeroAt(out[c]).empty());
}

// A steady echo of a constant input, then a tempo change: over the next block
// the old head fades out and the new one in along the raised cosine.
TEST(DelayLine, TempoChangeCrossFadesOverOneBlock) {
    Plugin p;
    isolateLineOne(p);
    halfSecondDelay(p);
    p.set({{idx(ParamKind::FeedBack), 1.0f}, {idx(ParamKind::DelayType), 0.0f}});
    constexpr int kBlock = 1024;
    constexpr int kOld = 22050;     // 120 bpm
    constexpr int kNew = 44100;     // 60 bpm
    constexpr int kChangeBlock = 30; // well after the first echoes arrived
    const int n0 = kChangeBlock * kBlock;
    std::vector<float> constant(static_cast<std::size_t>(n0 + kNew + 2 * kBlock), 0.5f);

    std::vector<float> first(constant.begin(), constant.begin() + n0);
    Outputs before = p.render(first, first, kBlock);
    EXPECT_EQ(before[0][n0 - 1], 1.0f);
    p.set({{idx(ParamKind::Tempo), 60.0f}});
    std::vector<float> rest(constant.begin() + n0, constant.end());
    Outputs after = p.render(rest, rest, kBlock);

    auto fade = [](int k) {
        const int i = (k | 3); // each group of four uses its last frame's gain
        return static_cast<float>((std::cos(i * std::numbers::pi / 1024) + 1.0) / 2.0);
    };
    // Until the old head's last writes arrive, the echo stays at 1.0.
    EXPECT_EQ(after[0][kOld - 1], 1.0f);
    for (int k = 0; k < kBlock; ++k) {
        ASSERT_NEAR(after[0][kOld + k], fade(k), 1e-6) << k;
        ASSERT_NEAR(after[0][kNew + k], 1.0f - fade(k), 1e-6) << k;
    }
    // Between the two, the memory holds silence; after the fade, full level.
    EXPECT_EQ(after[0][kOld + kBlock + 10], 0.0f);
    EXPECT_EQ(after[0][kNew - 1], 0.0f);
    EXPECT_EQ(after[0][kNew + kBlock + 10], 1.0f);
}

TEST(DelayLine, WithoutAnyLineTheMainPairIsTheScaledInput) {
    Plugin p;
    p->dispatch(effSetProgram, 0, 12);
    p.set({{idx(ParamKind::IsDelayOn, 0), 0.0f}, {idx(ParamKind::VolumeThruInput), 1.0f}});
    std::vector<float> left(1000), right(1000);
    for (int i = 0; i < 1000; ++i) {
        left[i] = std::sin(i * 0.1f);
        right[i] = -left[i];
    }
    Outputs out = p.render(left, right, 256);
    EXPECT_EQ(out[0], left);
    EXPECT_EQ(out[1], right);
}

} // namespace
} // namespace tesk::test
