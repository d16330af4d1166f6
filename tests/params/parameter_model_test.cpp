// The parameter model against the engine it describes: the values a
// ParameterState keeps are the values the VST 2 module reports, whatever a host
// throws at both; the defaults are a fresh instance's; the names and labels
// hosts show are the ones users know; and every value text reads back.
#include "parameter_info.h"
#include "parameter_state.h"
#include "parameter_texts.h"
#include "plugin_fixture.h"
#include "programs.h"

#include <limits>
#include <random>

namespace tesk::test {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A fresh instance without a host tempo: the state a fresh ParameterState stands for.
Plugin freshWithoutTempo() {
    return Plugin([](vsthost::HostState& host) { host.provideTime = false; });
}

// The values a host sends, weighted towards the places where decoding turns:
// table positions and their neighbouring floats, the switch threshold, the
// ends of the range and far beyond, tempos in beats per minute, and values
// that are no number at all.
class HostValues {
  public:
    explicit HostValues(unsigned seed) : random_(seed) {}

    float next() {
        switch (pick(10)) {
        case 0:
            return nudged(tablePositionValue(pick(10)));
        case 1:
            return nudged(0.05f + 0.1f * static_cast<float>(pick(4)));
        case 2:
            return nudged(0.5f);
        case 3: {
            constexpr float odd[] = {0.0f, -0.0f, 1.0f,  -0.2f,  1.7f,  -1e30f, 1e30f,
                                     kNaN, kInf,  -kInf, 1e-40f, 48.0f, 999.0f, 2000.0f};
            return odd[pick(std::size(odd))];
        }
        case 4:
            return std::uniform_real_distribution<float>(1.0f, 1100.0f)(random_);
        default:
            return std::uniform_real_distribution<float>(0.0f, 1.0f)(random_);
        }
    }
    int pick(std::size_t count) {
        return static_cast<int>(std::uniform_int_distribution<std::size_t>(0, count - 1)(random_));
    }

  private:
    float nudged(float v) {
        const int steps = pick(3) - 1;
        return steps == 0 ? v : std::nextafter(v, steps < 0 ? -1.0f : 2.0f);
    }
    std::mt19937 random_;
};

// The model's copy of the programs a VST 2 instance keeps: what the current
// program holds is what the instance reports, so leaving a program keeps the
// model's values in it (tempos in beats per minute, as programs keep them).
class ProgramMirror {
  public:
    ProgramMirror() { makeFactoryPrograms(programs_); }

    void load(ParameterState& state, int program) {
        for (int i = 0; i < kNumParameters; ++i)
            programs_[current_].store(i, programValue(i, state.value(i)));
        current_ = program;
        state.loadProgram(programs_[program]);
    }

  private:
    static float programValue(int index, float v) {
        ParamRef ref{};
        splitParameterIndex(index, ref);
        return ref.kind == ParamKind::Tempo ? tempoFromInterface(v) : v;
    }
    std::array<DelayProgram, kNumPrograms> programs_;
    int current_ = 0;
};

TEST(ParameterModel, KeepsEveryValueAsTheEngineKeepsItThroughThousandsOfHostCalls) {
    for (unsigned seed : {1u, 2u, 3u}) {
        Plugin vst = freshWithoutTempo();
        ParameterState model;
        ProgramMirror programs;
        HostValues host(seed);
        for (int step = 0; step < 4000; ++step) {
            if (host.pick(50) == 0) {
                const int program = host.pick(18) - 1; // -1 and 16 are no program
                vst->dispatch(effSetProgram, 0, program);
                if (program >= 0 && program < kNumPrograms) programs.load(model, program);
            } else {
                const int index = host.pick(64) - 1; // -1, 61 and 62 are no parameter
                const float v = host.next();
                vst->setParameter(index, v);
                model.set(index, v);
            }
            for (int i = 0; i < kNumParameters; ++i)
                ASSERT_EQ(vst->getParameter(i), model.value(i))
                    << "seed " << seed << ", step " << step << ": " << parameterSymbol(i);
        }
    }
}

// Line 3 still listens to line 2 when a program that switches line 2 off
// loads: the effect sends it to the main input and keeps that in the program
// it loads, so line 3 loads Main whatever the program held. The model, which
// keeps no programs, must come to the same values.
TEST(ParameterModel, AProgramLoadSendsAStaleListenerToTheMainInputAsTheEngineDoes) {
    std::array<DelayProgram, kNumPrograms> programs;
    makeFactoryPrograms(programs);
    const int input3 = parameterIndex(ParamKind::Input, 2);
    programs[12].store(input3, 0.1f); // line 2 off, line 3 listening to line 1
    ParameterState model;
    model.loadProgram(programs[12]);
    EXPECT_EQ(model.value(input3), 0.1f);
    model.loadProgram(programs[4]);
    ASSERT_EQ(model.value(input3), 0.2f) << "program 4: line 3 listens to line 2";
    model.loadProgram(programs[12]);
    EXPECT_EQ(model.value(input3), 0.0f);

    Plugin vst = freshWithoutTempo();
    vst->dispatch(effSetProgram, 0, 12);
    vst->setParameter(input3, 0.1f);
    vst->dispatch(effSetProgram, 0, 4);
    vst->dispatch(effSetProgram, 0, 12);
    EXPECT_EQ(vst->getParameter(input3), model.value(input3));
}

TEST(ParameterModel, TellsWhichValuesChangedTheOneSetFirst) {
    ParameterState model;
    const int on2 = parameterIndex(ParamKind::IsDelayOn, 1);
    const int input3 = parameterIndex(ParamKind::Input, 2);
    const int input4 = parameterIndex(ParamKind::Input, 3);
    model.set(on2, 1.0f);
    model.set(input3, 0.2f);
    model.set(input4, 0.2f);
    std::vector<int> heard;
    model.set(on2, 0.0f, [&](int i) { heard.push_back(i); });
    EXPECT_EQ(heard, (std::vector<int>{on2, input3, input4}));
    heard.clear();
    model.set(on2, 0.3f, [&](int i) { heard.push_back(i); }); // still off: nothing changed
    model.set(input4, kNaN, [&](int i) { heard.push_back(i); });
    model.set(kNumParameters, 0.5f, [&](int i) { heard.push_back(i); });
    EXPECT_TRUE(heard.empty());
    EXPECT_EQ(model.value(input4), 0.0f);
    EXPECT_EQ(model.value(kNumParameters), 0.0f);
}

TEST(ParameterModel, DefaultsAreWhatAFreshInstanceHolds) {
    Plugin vst = freshWithoutTempo();
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_EQ(defaultValue(i), vst->getParameter(i)) << parameterSymbol(i);
    EXPECT_EQ(tempoFromInterface(defaultValue(parameterIndex(ParamKind::Tempo, 0))), 88.0f);
    EXPECT_EQ(plainValue(parameterIndex(ParamKind::TempoDen, 1),
                         defaultValue(parameterIndex(ParamKind::TempoDen, 1))),
              2.0);
}

TEST(ParameterModel, NamesGroupsAndLabelsAsHostsShowThem) {
    const int highPass2 = parameterIndex(ParamKind::HighPassFrequency, 1);
    const int numerator3 = parameterIndex(ParamKind::TempoNum, 2);
    const int dry = parameterIndex(ParamKind::VolumeThruInput, 0);
    const int input4 = parameterIndex(ParamKind::Input, 3);
    EXPECT_EQ(parameterSymbol(0), "FeedBack1");
    EXPECT_EQ(parameterSymbol(highPass2), "HighPassFrequency2");
    EXPECT_EQ(parameterSymbol(dry), "VolumeThruInput");
    EXPECT_EQ(parameterSymbol(60), "IsTempoSync4");
    EXPECT_EQ(parameterSymbol(61), "");
    EXPECT_EQ(parameterName(0), "Delay 1 Feedback");
    EXPECT_EQ(parameterName(highPass2), "Delay 2 Low-pass");
    EXPECT_EQ(parameterName(numerator3), "Delay 3 Note length numerator");
    EXPECT_EQ(parameterName(dry), "Dry level");
    EXPECT_EQ(parameterShortName(numerator3), "D3 Numerator");
    EXPECT_EQ(parameterShortName(parameterIndex(ParamKind::LowPassFrequency, 3)), "D4 High-pass");
    EXPECT_EQ(parameterShortName(dry), "Dry level");
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_LE(parameterShortName(i).size(), 16u) << parameterShortName(i);
    EXPECT_EQ(groupOf(highPass2), 1);
    EXPECT_EQ(groupOf(dry), kMixGroup);
    EXPECT_EQ(groupName(0), "Delay 1");
    EXPECT_EQ(groupName(kMixGroup), "Mix");
    EXPECT_EQ(groupSymbol(3), "delay4");
    EXPECT_EQ(groupSymbol(kMixGroup), "mix");

    EXPECT_STREQ(choiceLabel(input4, 0), "Main");
    EXPECT_STREQ(choiceLabel(input4, 3), "D3");
    EXPECT_STREQ(choiceLabel(input4, 4), "");
    EXPECT_STREQ(choiceLabel(parameterIndex(ParamKind::TempoDen, 0), 6), "16");
    EXPECT_STREQ(choiceLabel(parameterIndex(ParamKind::DelayType, 2), 1), "Recirculating");
    EXPECT_STREQ(choiceLabel(parameterIndex(ParamKind::Output, 1), 2), "3");
    EXPECT_STREQ(choiceLabel(parameterIndex(ParamKind::IsTempoSync, 1), 0), "Off");
    EXPECT_FALSE(choiceOffered(parameterIndex(ParamKind::Input, 0), 1)) << "line 1 hears no line";
    EXPECT_TRUE(choiceOffered(input4, 3));
    EXPECT_EQ(styleOf(input4), ValueStyle::Choice);
    EXPECT_EQ(styleOf(parameterIndex(ParamKind::IsDelayOn, 0)), ValueStyle::Switch);
    EXPECT_EQ(unitOf(parameterIndex(ParamKind::Tempo, 2)), Unit::BeatsPerMinute);
}

// Whatever value text a host shows, typing it back gives a value that shows
// that very text. The CLAP module's test walks 101 values of every parameter
// through the module; here random values, over the crossovers the filter texts
// depend on.
TEST(ParameterModel, EveryValueTextReadsBackToAValueShowingIt) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    for (int i = 0; i < kNumParameters; ++i) {
        for (float cross : {0.0f, 0.3f, 0.77f, 1.0f}) {
            for (int k = 0; k < 200; ++k) {
                const float v = unit(random);
                const std::string text = valueText(i, v, cross);
                const std::optional<float> back = readValueText(i, text, cross);
                ASSERT_TRUE(back) << parameterSymbol(i) << " '" << text << "'";
                EXPECT_EQ(valueText(i, *back, cross), text) << parameterSymbol(i) << " at " << v;
            }
        }
    }
    const int pan = parameterIndex(ParamKind::Pan, 0);
    EXPECT_EQ(valueText(pan, 0.25f, 0.3f), "25 Left");
    EXPECT_EQ(valueText(parameterIndex(ParamKind::Tempo, 0), tempoToInterface(133.3f), 0.3f),
              "133.3 bpm");
    EXPECT_FALSE(readValueText(pan, "far away", 0.3f));
}

} // namespace
} // namespace tesk::test
