// The bypass of TeskDelay.clap: a parameter after the program choice that a host
// merges with its own bypass button, a crossing that does not click, and a state
// that keeps it (a version 1 state, saved before it existed, loads with it off).
#include "clap_fixture.h"
#include "clap_params.h"
#include "clap_state.h"
#include "parameter_info.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

namespace tesk::test {
namespace {

using clapfmt::kBypassParamId;

constexpr double kRate = 44100.0;

clap_id id(ParamKind kind, int line = 0) {
    return static_cast<clap_id>(parameterIndex(kind, line));
}

TEST(ClapBypass, TheBypassIsASteppedParameterAfterTheProgramChoice) {
    ClapPlugin p;
    const auto info = p->paramInfo(clapfmt::kBypassPosition);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->id, kBypassParamId);
    EXPECT_EQ(info->flags, std::uint32_t{CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED |
                                         CLAP_PARAM_IS_BYPASS});
    EXPECT_STREQ(info->name, "Bypass");
    EXPECT_EQ(info->min_value, 0.0);
    EXPECT_EQ(info->max_value, 1.0);
    EXPECT_EQ(info->default_value, 0.0);
    EXPECT_EQ(p->paramInfo(clapfmt::kProgramPosition)->id, clapfmt::kProgramParamId);
    EXPECT_EQ(p->paramCount(), clapfmt::kNumClapParams);
    EXPECT_FALSE(p->paramInfo(clapfmt::kNumClapParams));
    EXPECT_EQ(*p->value(kBypassParamId), 0.0);
}

TEST(ClapBypass, ItsTextsReadBackExactly) {
    ClapPlugin p;
    EXPECT_EQ(*p->valueText(kBypassParamId, 0.0), "Off");
    EXPECT_EQ(*p->valueText(kBypassParamId, 1.0), "On");
    EXPECT_EQ(*p->valueText(kBypassParamId, 0.7), "Off"); // a stepped value counts whole
    EXPECT_EQ(*p->textValue(kBypassParamId, "On"), 1.0);
    EXPECT_EQ(*p->textValue(kBypassParamId, "Off"), 0.0);
    EXPECT_FALSE(p->textValue(kBypassParamId, "Bypassed"));
    EXPECT_FALSE(p->textValue(kBypassParamId, ""));
}

TEST(ClapBypass, HostEventsSetItThroughFlushAndProcess) {
    ClapPlugin p;
    p.set({{kBypassParamId, 1.0}});
    EXPECT_EQ(*p->value(kBypassParamId), 1.0);
    ASSERT_TRUE(p->start(kRate, 256));
    const std::vector<float> silence(256, 0.0f);
    p.render(silence, silence, 256, 0.0,
             [](int, int, claphost::InputEvents& e) { e.addParam(17, kBypassParamId, 0.0); });
    EXPECT_EQ(*p->value(kBypassParamId), 0.0);
    p.set({{kBypassParamId, 0.99}});
    EXPECT_EQ(*p->value(kBypassParamId), 0.0);
}

std::vector<float> sine(int frames, double amplitude) {
    std::vector<float> s(static_cast<std::size_t>(frames));
    for (std::size_t k = 0; k < s.size(); ++k)
        s[k] = static_cast<float>(amplitude * std::sin(2.0 * M_PI * 440.0 * k / kRate));
    return s;
}

// Line 1 recirculating onto the main pair and line 2 onto Out 2: echoes
// sounding on both when the switch comes.
void echoOnMainAndOut2(const ClapPlugin& p) {
    p.set({{id(ParamKind::DelayType, 0), 1.0},
           {id(ParamKind::IsDelayOn, 1), 1.0},
           {id(ParamKind::Output, 1), 1.0},
           {id(ParamKind::DelayType, 1), 1.0}});
}

// A host's bypass on a -6 dBFS sine with the delay's echoes sounding: no step
// around either switch is more than twice the largest step without switching,
// while switching hard between the two signals would be.
TEST(ClapBypass, TheBypassCrossesOverWithoutAClick) {
    const int block = 256, on = 80, off = 150; // after the first echo (15034)
    const auto input = sine(2 * static_cast<int>(kRate), 0.501);
    const auto render = [&](bool toggle) {
        ClapPlugin p;
        echoOnMainAndOut2(p);
        EXPECT_TRUE(p->start(kRate, block));
        return p.render(input, input, block, 0.0, [&](int start, int, claphost::InputEvents& e) {
            if (toggle && start == on * block) e.addParam(0, kBypassParamId, 1.0);
            if (toggle && start == off * block) e.addParam(0, kBypassParamId, 0.0);
        });
    };
    const Outputs steady = render(false);
    const Outputs toggled = render(true);
    const float ownStep = largestStep(steady, 0, static_cast<int>(input.size()));
    for (int k : {on, off})
        EXPECT_LE(largestStep(toggled, k * block - 2048, k * block + 2048), 2.0f * ownStep) << k;
    // Bypassed, the main pair is the input itself and the other pairs are silent.
    for (int k = (on + 4) * block; k < off * block; ++k) {
        for (int c = 0; c < 2; ++c)
            ASSERT_EQ(toggled[c][k], input[k]) << k;
        for (int c = 2; c < 6; ++c)
            ASSERT_EQ(toggled[c][k], 0.0f) << k;
    }
    // Out 2 carried echoes before, so its silence is the bypass's doing.
    EXPECT_NE(steady[2][(on + 4) * block], 0.0f);
    // Switching hard from the delay's output to the input at the same frame:
    // the comparison above would catch it.
    Outputs hard = steady;
    for (int c = 0; c < 2; ++c)
        for (int k = on * block; k < off * block; ++k)
            hard[c][k] = input[k];
    EXPECT_GT(largestStep(hard, on * block - 2048, on * block + 2048), 2.0f * ownStep);
}

// The crossing scales signals towards nothing; a host must not be handed the
// denormals that come of a very quiet signal scaled down. The switch comes
// once both lines' echoes sound (line 2's after 7350 frames, line 1's after 15034).
TEST(ClapBypass, NoDenormalComesOfTheCrossing) {
    const int block = 256, on = 70, off = 90;
    const auto input = sine(110 * block, 1e-35);
    ClapPlugin p;
    echoOnMainAndOut2(p);
    ASSERT_TRUE(p->start(kRate, block));
    const Outputs out =
        p.render(input, input, block, 0.0, [&](int start, int, claphost::InputEvents& e) {
            if (start == on * block) e.addParam(0, kBypassParamId, 1.0);
            if (start == off * block) e.addParam(0, kBypassParamId, 0.0);
        });
    EXPECT_NE(out[2][on * block], 0.0f); // Out 2 carries echoes when the switch comes
    for (int c = 0; c < 6; ++c)
        for (std::size_t k = 0; k < out[c].size(); ++k)
            ASSERT_NE(std::fpclassify(out[c][k]), FP_SUBNORMAL) << c << " " << k;
}

std::vector<double> allValues(const ClapPlugin& p) {
    std::vector<double> values;
    for (std::uint32_t i = 0; i < p->paramCount(); ++i)
        values.push_back(*p->value(p->paramInfo(i)->id));
    return values;
}

std::uint32_t versionOf(const std::vector<std::uint8_t>& record) {
    return record[4] | record[5] << 8 | record[6] << 16 |
           static_cast<std::uint32_t>(record[7]) << 24;
}

TEST(ClapBypass, TheStateKeepsTheBypassAndASessionSavedBypassedStartsBypassed) {
    ClapPlugin first;
    first.set({{kBypassParamId, 1.0}, {id(ParamKind::FeedBack, 0), 0.3}});
    const auto saved = first->saveState();
    ASSERT_TRUE(saved);
    EXPECT_EQ(versionOf(*saved), 2u);
    ClapPlugin second;
    ASSERT_TRUE(second->loadState(*saved));
    EXPECT_EQ(*second->value(kBypassParamId), 1.0);
    EXPECT_EQ(allValues(second), allValues(first));
    EXPECT_EQ(*second->saveState(), *saved);
    // From its first frame on, without crossing over.
    ASSERT_TRUE(second->start(kRate, 256));
    const auto input = noise(256, 21);
    const Outputs out = second.render(input, input, 256);
    for (std::size_t k = 0; k < input.size(); ++k)
        ASSERT_EQ(out[0][k], input[k]) << k;
}

TEST(ClapBypass, AStateLoadedWhileRunningSetsTheBypassBetweenBlocks) {
    ClapPlugin source;
    source.set({{kBypassParamId, 1.0}});
    const auto saved = *source->saveState();
    ClapPlugin p;
    ASSERT_TRUE(p->start(kRate, 256));
    ASSERT_TRUE(p->loadState(saved));
    EXPECT_EQ(*p->value(kBypassParamId), 1.0); // what the main thread asked for
    EXPECT_EQ(*p->saveState(), saved);
    const auto input = noise(2048, 22);
    const Outputs out = p.render(input, input, 256);
    EXPECT_EQ(*p->value(kBypassParamId), 1.0);
    for (std::size_t k = 1024; k < input.size(); ++k) // crossed over after 10 ms
        ASSERT_EQ(out[0][k], input[k]) << k;
}

std::vector<std::uint8_t> versionOneRecord() {
    std::ifstream in(TESK_CLAP_DATA_DIR "/state-v1.tkds", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The record in tests/clap/data was saved by the module before the bypass
// existed, from an instance set as `asRecorded` sets one.
void asRecorded(const ClapPlugin& p) {
    p.set({{clapfmt::kProgramParamId, 8.0}});
    p.set({{id(ParamKind::FeedBack, 0), 0.625},
           {id(ParamKind::Tempo, 1), 137.5},
           {id(ParamKind::Output, 2), 2.0},
           {id(ParamKind::VolumeThruInput), 0.25}});
}

TEST(ClapBypass, AVersionOneStateLoadsWithTheBypassOff) {
    const auto record = versionOneRecord();
    ASSERT_EQ(record.size(), clapfmt::kStateV1Size);
    ASSERT_EQ(versionOf(record), 1u);
    ClapPlugin expected;
    asRecorded(expected);
    ClapPlugin p;
    p.set({{kBypassParamId, 1.0}});
    ASSERT_TRUE(p->loadState(record));
    EXPECT_EQ(*p->value(kBypassParamId), 0.0);
    EXPECT_EQ(allValues(p), allValues(expected));
    EXPECT_EQ(*p->value(id(ParamKind::Tempo, 1)), 137.5);
    // Saved again, it is the version 2 record of the same settings.
    const auto again = *p->saveState();
    EXPECT_EQ(versionOf(again), 2u);
    EXPECT_EQ(again, *expected->saveState());
}

} // namespace
} // namespace tesk::test
