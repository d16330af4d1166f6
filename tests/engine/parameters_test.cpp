// Parameter decoding, tempo following and robustness at the host boundary,
// through instances made by the module.
#include "plugin_fixture.h"

#include "parameters.h"

#include <cmath>
#include <limits>
#include <vector>

namespace tesk::test {
namespace {

int idx(ParamKind kind, int line = 0) {
    return parameterIndex(kind, line);
}
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A line's tempo in beats per minute, from the value the host reads.
float bpm(Plugin& p, int line = 0) {
    return tempoFromInterface(p->getParameter(idx(ParamKind::Tempo, line)));
}

// `frames` of white noise in ±0.5, the same every time.
std::vector<float> noise(std::size_t frames) {
    std::vector<float> out(frames);
    unsigned seed = 1;
    for (float& s : out) {
        seed = seed * 1664525u + 1013904223u;
        s = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    }
    return out;
}

vsthost::HostState* noTime(vsthost::HostState& h) {
    h.provideTime = false;
    return &h;
}

TEST(Parameters, InputSourceSelection) {
    Plugin p;
    p->dispatch(effSetProgram, 0, 3); // all four lines on
    for (float v : {0.0f, 0.1f, 0.2f, 0.3f, 1.0f}) {
        p->setParameter(idx(ParamKind::Input, 0), v);
        EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 0)), 0.0f) << "line 1 only hears the input";
    }
    p->setParameter(idx(ParamKind::Input, 3), 0.32f);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 3)), 0.3f);
    p->setParameter(idx(ParamKind::IsDelayOn, 2), 0.0f);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 3)), 0.0f) << "source switched off";
    p->setParameter(idx(ParamKind::Input, 3), 0.32f);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 3)), 0.0f) << "an off line is no source";

    // Independent tests: line 3 with line 1 off and line 2 on takes 0.1 as line 2.
    p->setParameter(idx(ParamKind::IsDelayOn, 0), 0.0f);
    p->setParameter(idx(ParamKind::Input, 2), 0.1f);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.2f);
    p->setParameter(idx(ParamKind::Input, 1), 0.4f);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 1)), 0.0f);
}

TEST(Parameters, SwitchingASourceOffResetsItsListeners) {
    Plugin p;
    p->dispatch(effSetProgram, 0, 3);
    p->setParameter(idx(ParamKind::Input, 2), 0.2f);
    p->setParameter(idx(ParamKind::Input, 3), 0.2f);
    ASSERT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.2f);
    p->setParameter(idx(ParamKind::IsDelayOn, 1), 0.0f);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.0f);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 3)), 0.0f);
}

TEST(Parameters, DecodedValuesReadBack) {
    Plugin p;
    struct Case {
        int index;
        float in;
        float out;
    };
    const Case cases[] = {
        {idx(ParamKind::Output, 1), 0.1f, 0.1f},      {idx(ParamKind::Output, 1), 0.5f, 0.2f},
        {idx(ParamKind::Output, 1), 0.049f, 0.0f},    {idx(ParamKind::Tempo, 0), 0.5f, 0.5f},
        {idx(ParamKind::Tempo, 0), 1200.0f, 1.0f},    {idx(ParamKind::Tempo, 0), 48.0f, 0.0f},
        {idx(ParamKind::Tempo, 0), 20.0f, 0.0f},      {idx(ParamKind::Tempo, 0), 523.5f, 0.5f},
        {idx(ParamKind::IsDelayOn, 0), 0.5f, 0.0f},   {idx(ParamKind::IsDelayOn, 0), 0.5001f, 1.0f},
        {idx(ParamKind::IsTempoSync, 2), 0.7f, 1.0f}, {idx(ParamKind::DelayType, 2), 0.51f, 1.0f},
        {idx(ParamKind::DelayType, 2), 0.5f, 0.0f},   {idx(ParamKind::FeedBack, 3), 0.123f, 0.123f},
        {idx(ParamKind::TempoDen, 0), 0.75f, 0.75f},  {idx(ParamKind::Volume, 2), 0.7f, 0.7f},
    };
    for (const Case& c : cases) {
        p->setParameter(c.index, c.in);
        EXPECT_EQ(p->getParameter(c.index), c.out) << p->parameterName(c.index) << " = " << c.in;
    }
    EXPECT_EQ(p->getParameter(61), 0.0f);
    EXPECT_EQ(p->getParameter(-1), 0.0f);
}

TEST(Parameters, NoteLengthTablesAndTheirEnds) {
    Plugin p;
    struct Case {
        ParamKind kind;
        float in;
        const char* shown;
    };
    const Case cases[] = {
        {ParamKind::TempoDen, 0.75f, "32.00000"}, {ParamKind::TempoDen, 0.6f, "16.00000"},
        {ParamKind::TempoDen, 0.0f, "1.000000"},  {ParamKind::TempoDen, 0.9f, "64.00000"},
        {ParamKind::TempoDen, 5.0f, "64.00000"},  {ParamKind::TempoDen, -0.3f, "1.000000"},
        {ParamKind::TempoNum, 0.25f, "3.000000"}, {ParamKind::TempoNum, 0.3f, "4.000000"},
        {ParamKind::TempoNum, 0.9f, "4.000000"},  {ParamKind::TempoNum, -1.0f, "1.000000"},
    };
    for (const Case& c : cases) {
        p->setParameter(idx(c.kind), c.in);
        EXPECT_EQ(p->parameterDisplay(idx(c.kind)), c.shown) << c.in;
    }
}

TEST(Parameters, NonFiniteValuesChangeNothing) {
    Plugin p;
    for (int index = 0; index < kNumParameters; ++index) {
        const float before = p->getParameter(index);
        for (float bad : {kNaN, kInf, -kInf})
            p->setParameter(index, bad);
        EXPECT_EQ(p->getParameter(index), before) << index;
    }
    p->setParameter(61, 0.7f); // outside the table: nothing happens
    EXPECT_EQ(p->getParameter(61), 0.0f);
}

TEST(Programs, ProgramZeroAfterConstructionWithAndWithoutHostTempo) {
    Plugin withoutTime([](vsthost::HostState& h) { noTime(h); });
    EXPECT_EQ(withoutTime->dispatch(effGetProgram), 0);
    EXPECT_EQ(withoutTime->programName(), "Simple single echo");
    const float expected[4] = {88.0f, 120.0f, 120.0f, 120.0f};
    for (int line = 0; line < 4; ++line)
        EXPECT_EQ(bpm(withoutTime, line), expected[line]);

    Plugin withTime([](vsthost::HostState& h) { h.setTransport(140.0, 44100.0); });
    for (int line = 0; line < 4; ++line)
        EXPECT_EQ(bpm(withTime, line), 140.0f);

    // A host with no usable tempo is treated like one without time information.
    for (double bad : {0.0, std::nan(""), HUGE_VAL}) {
        Plugin odd([bad](vsthost::HostState& h) { h.timeInfo.tempo = bad; });
        EXPECT_EQ(bpm(odd), 88.0f) << bad;
    }
}

// Program 0's line 1 follows the host: 88 bpm stored, host at `bpm`.
float tempoAfterOneBlock(double hostTempo) {
    Plugin p([hostTempo](vsthost::HostState& h) {
        noTime(h);
        h.timeInfo.tempo = hostTempo;
    });
    p.host().provideTime = true;
    p.renderImpulse(64);
    return bpm(p);
}

TEST(TempoSync, SyncedLineFollowsTheHostWithinOneBlock) {
    EXPECT_EQ(tempoAfterOneBlock(100.0), 100.0f);
    EXPECT_EQ(tempoAfterOneBlock(1000.0), 999.0f);
    EXPECT_EQ(tempoAfterOneBlock(40.0), 48.0f);
    EXPECT_EQ(tempoAfterOneBlock(133.3), 133.3f);
    EXPECT_EQ(tempoAfterOneBlock(0.0), 88.0f);
    EXPECT_EQ(tempoAfterOneBlock(std::nan("")), 88.0f);
    EXPECT_EQ(tempoAfterOneBlock(-HUGE_VAL), 88.0f);
}

TEST(TempoSync, UnsyncedLineKeepsItsTempo) {
    Plugin p;
    p->setParameter(idx(ParamKind::IsTempoSync, 0), 0.0f);
    p->setParameter(idx(ParamKind::Tempo, 0), 77.0f);
    p.host().timeInfo.tempo = 150.0;
    p.renderImpulse(2048);
    EXPECT_EQ(bpm(p), 77.0f);
    p->setParameter(idx(ParamKind::IsTempoSync, 0), 1.0f);
    p.renderImpulse(64);
    EXPECT_EQ(bpm(p), 150.0f);
}

// A host tempo a float cannot hold keeps asking for the same value every
// block; the head must not move, so a steady echo of a constant stays steady.
TEST(TempoSync, UnrepresentableHostTempoNeverMovesTheHead) {
    Plugin p;
    isolateLineOne(p);
    p.set({{idx(ParamKind::IsTempoSync, 0), 1.0f},
           {idx(ParamKind::FeedBack, 0), 1.0f},
           {idx(ParamKind::DelayType, 0), 0.0f},
           {idx(ParamKind::TempoDen, 0), 0.1f}});
    p.host().timeInfo.tempo = 133.3;
    const int delay = static_cast<int>(44100 * (60.0 / 133.3f / 2.0));
    std::vector<float> constant(delay + 20 * 256, 0.5f);
    Outputs out = p.render(constant, constant, 256);
    for (std::size_t k = delay + 600; k < constant.size(); ++k)
        ASSERT_EQ(out[0][k], 1.0f) << k;
}

TEST(Robustness, UnusableSampleRatesKeepThePreviousRate) {
    Plugin p;
    isolateLineOne(p);
    p.set({{idx(ParamKind::Tempo), 120.0f},
           {idx(ParamKind::TempoNum), 0.0f},
           {idx(ParamKind::TempoDen), 0.0f}});
    for (float bad : {0.0f, -1.0f, kNaN, kInf, 1e12f, 0.5f}) {
        p->dispatch(effSetSampleRate, 0, 0, nullptr, bad);
        p->dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, bad);
    }
    // Still 44100: the echo of a half-second delay arrives after 22050 frames.
    EXPECT_EQ(nonZeroAt(p.renderImpulse(22100)[0]), (std::vector<int>{22050}));
    p->dispatch(effSetSampleRate, 0, 0, nullptr, 48000.0f);
    EXPECT_EQ(nonZeroAt(p.renderImpulse(24100)[0]), (std::vector<int>{24000}));
}

TEST(Robustness, OutputIsFiniteAgainOnceBadInputHasBeenReadOut) {
    Plugin p;
    p->dispatch(effSetProgram, 0, 11); // four lines, full feedback, chained
    for (int line = 0; line < 4; ++line)
        p->setParameter(idx(ParamKind::Saturation, line), 0.8f);
    p->setParameter(idx(ParamKind::HighPassFrequency, 0), 0.3f);
    p->setParameter(idx(ParamKind::LowPassFrequency, 1), 0.6f);
    std::vector<float> bad(4096);
    for (std::size_t i = 0; i < bad.size(); ++i) {
        const float kinds[] = {kNaN, kInf, -kInf, 1e30f, -1e30f, 1e-40f};
        bad[i] = kinds[i % 6];
    }
    p.render(bad, bad, 256);
    // Four seconds of memory hold the bad stretch at most; after that, and
    // with finite input, every output is finite.
    std::vector<float> music(5 * 44100);
    for (std::size_t i = 0; i < music.size(); ++i)
        music[i] = 0.5f * std::sin(i * 0.05f);
    Outputs out = p.render(music, music, 512);
    for (int c = 0; c < 6; ++c)
        for (std::size_t k = 4 * 44100 + 1024; k < music.size(); ++k)
            ASSERT_TRUE(std::isfinite(out[c][k])) << c << " " << k;
}

TEST(Robustness, NullBuffersAreIgnored) {
    Plugin p;
    std::vector<float> a(64, 0.5f), b(64, 0.5f);
    Outputs out;
    for (auto& c : out)
        c.assign(64, 7.0f);
    float* inputs[2] = {a.data(), nullptr};
    float* outputs[6];
    for (int c = 0; c < 6; ++c)
        outputs[c] = out[c].data();
    p->processReplacing(nullptr, outputs, 64);
    p->processReplacing(inputs, outputs, 64);
    inputs[1] = b.data();
    outputs[5] = nullptr;
    p->process(inputs, outputs, 64);
    p->processReplacing(inputs, nullptr, 64);
    for (auto& c : out)
        EXPECT_EQ(c, std::vector<float>(64, 7.0f));
}

TEST(Robustness, LowPassStaysStableAtLowSampleRates) {
    Plugin p;
    p->dispatch(effSetSampleRate, 0, 0, nullptr, 8000.0f);
    isolateLineOne(p);
    p.set({{idx(ParamKind::HighPassFrequency), 0.99f}, // 21.8 kHz, beyond the 4 kHz limit
           {idx(ParamKind::LowPassFrequency), 0.99f},
           {idx(ParamKind::CrossFrequency), 1.0f}, // 5 kHz crossover, beyond it too
           {idx(ParamKind::FeedBack), 0.9f},
           {idx(ParamKind::DelayType), 1.0f}});
    const std::vector<float> input = noise(8000 * 3);
    Outputs out = p.render(input, input, 256);
    float peak = 0.0f;
    for (float s : out[0])
        peak = std::max(peak, std::fabs(s));
    EXPECT_TRUE(std::isfinite(peak));
    EXPECT_LT(peak, 100.0f);
    EXPECT_GT(peak, 0.01f);
}

// ---- Tempo as hosts keep it: 0..1 at the interface ----------------------------------

TEST(TempoAtTheInterface, EveryTempoSurvivesTheNormalisedValueBitForBit) {
    EXPECT_EQ(tempoToInterface(48.0f), 0.0f);
    EXPECT_EQ(tempoToInterface(999.0f), 1.0f);
    EXPECT_EQ(tempoToInterface(523.5f), 0.5f);
    EXPECT_EQ(tempoFromInterface(0.25f), 285.75f);
    EXPECT_EQ(tempoFromInterface(0.75f), 761.25f);
    // Every float a tempo can be: a host that saves what it read gets it back.
    std::int64_t lost = 0;
    float first = 0.0f;
    for (float b = 48.0f; b <= 999.0f; b = std::nextafter(b, 1000.0f)) {
        if (tempoFromInterface(tempoToInterface(b)) != b && lost++ == 0) first = b;
    }
    EXPECT_EQ(lost, 0) << "first lost tempo " << first;
}

// The echo of line 1 at `tempo`, set in one instance, then restored in a fresh one
// from the value the host read: both at the same sample.
TEST(TempoAtTheInterface, AHostsRoundTripKeepsTheTempoAndTheEcho) {
    for (const float tempo : {48.0f, 120.0f, 133.3f, 999.0f}) {
        Plugin typed;
        isolateLineOne(typed);
        typed.set({{idx(ParamKind::Tempo), tempo}, {idx(ParamKind::TempoDen), 0.0f}});
        const float saved = typed->getParameter(idx(ParamKind::Tempo));
        ASSERT_GE(saved, 0.0f);
        ASSERT_LE(saved, 1.0f);
        Plugin restored;
        isolateLineOne(restored);
        restored.set({{idx(ParamKind::Tempo), saved}, {idx(ParamKind::TempoDen), 0.0f}});
        EXPECT_EQ(bpm(restored), tempo);
        EXPECT_EQ(restored->parameterDisplay(idx(ParamKind::Tempo)),
                  typed->parameterDisplay(idx(ParamKind::Tempo)));
        const Outputs a = typed.renderImpulse(60000);
        const Outputs b = restored.renderImpulse(60000);
        ASSERT_EQ(nonZeroAt(a[0]).size(), 1u) << tempo;
        EXPECT_EQ(nonZeroAt(a[0]), nonZeroAt(b[0])) << tempo;
    }
}

TEST(TempoAtTheInterface, AHostSyncedTempoRoundTripsAtFullPrecision) {
    const double hostTempo = 400.0 / 3.0; // 133.333...
    Plugin synced([hostTempo](vsthost::HostState& h) { h.setTransport(hostTempo, 44100.0); });
    synced.set({{idx(ParamKind::TempoDen), 0.0f}});
    synced.renderImpulse(64);
    const float followed = bpm(synced);
    EXPECT_EQ(followed, static_cast<float>(hostTempo));
    Plugin restored(noTime);
    restored.set({{idx(ParamKind::IsTempoSync), 0.0f},
                  {idx(ParamKind::Tempo), synced->getParameter(idx(ParamKind::Tempo))}});
    EXPECT_EQ(bpm(restored), followed);
}

TEST(TempoAtTheInterface, BeatsPerMinuteFromOldSessionsStillLoad) {
    Plugin p;
    for (const auto& [in, out] :
         {std::pair{140.0f, 140.0f}, std::pair{1.5f, 48.0f}, std::pair{5000.0f, 999.0f},
          std::pair{1.0f, 999.0f}, std::pair{0.0f, 48.0f}, std::pair{-3.0f, 48.0f}}) {
        p->setParameter(idx(ParamKind::Tempo, 2), in);
        EXPECT_EQ(bpm(p, 2), out) << in;
    }
    p->setParameter(idx(ParamKind::Tempo, 2), 140.0f);
    EXPECT_EQ(p->parameterDisplay(idx(ParamKind::Tempo, 2)), "140.0");
    EXPECT_EQ(p->parameterLabel(idx(ParamKind::Tempo, 2)), "bpm");
}

// ---- Values a host may send that the interface does not carry -----------------------

TEST(Robustness, EveryParameterHoldsExtremeValuesInRange) {
    const float extremes[] = {1e30f,
                              -1e30f,
                              1e-30f,
                              -1e-30f,
                              0.0f,
                              -0.0f,
                              std::numeric_limits<float>::max(),
                              -std::numeric_limits<float>::max(),
                              std::numeric_limits<float>::denorm_min(),
                              -std::numeric_limits<float>::denorm_min()};
    for (const float v : extremes) {
        Plugin p;
        p->dispatch(effSetProgram, 0, 3); // every line on, recirculating
        for (int index = 0; index < kNumParameters; ++index) {
            p->setParameter(index, v);
            const float back = p->getParameter(index);
            EXPECT_TRUE(back >= 0.0f && back <= 1.0f)
                << p->parameterName(index) << " = " << v << " reads back " << back;
            const std::string display = p->parameterDisplay(index);
            EXPECT_LT(display.size(), 32u) << p->parameterName(index) << " = " << v;
        }
        const std::vector<float> input = noise(20000);
        const Outputs out = p.render(input, input, 256);
        for (const auto& channel : out) {
            for (const float s : channel) {
                ASSERT_TRUE(std::isfinite(s)) << "value " << v;
            }
        }
    }
}

} // namespace
} // namespace tesk::test
