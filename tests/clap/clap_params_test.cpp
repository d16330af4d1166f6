// The CLAP parameter table: ids, names, ranges, flags and defaults, the mapping
// onto the values the engine keeps, and texts that read back to themselves.
#include "clap_params.h"
#include "parameter_info.h"
#include "plugin_fixture.h"

#include <cmath>
#include <set>

namespace tesk::clapfmt {
namespace {

clap_param_info_t infoAt(std::uint32_t position) {
    clap_param_info_t info{};
    EXPECT_TRUE(describe(position, info)) << position;
    return info;
}

TEST(ClapParams, IdsNamesModulesRangesAndDefaults) {
    std::set<clap_id> ids;
    for (std::uint32_t p = 0; p < kNumClapParams; ++p) {
        const clap_param_info_t info = infoAt(p);
        ids.insert(info.id);
        EXPECT_EQ(positionOf(info.id), static_cast<int>(p));
        EXPECT_LE(info.min_value, info.default_value);
        EXPECT_LE(info.default_value, info.max_value);
    }
    EXPECT_EQ(ids.size(), kNumClapParams);
    clap_param_info_t none{};
    EXPECT_FALSE(describe(kNumClapParams, none));
    EXPECT_EQ(positionOf(61), -1);
    EXPECT_EQ(positionOf(CLAP_INVALID_ID), -1);

    // HighPassFrequency sets the low-pass stage, and says so.
    const auto lowPass = infoAt(parameterIndex(ParamKind::HighPassFrequency, 0));
    EXPECT_STREQ(lowPass.name, "Delay 1 Low-pass");
    EXPECT_STREQ(lowPass.module, "Delay 1");
    EXPECT_EQ(lowPass.flags, CLAP_PARAM_IS_AUTOMATABLE);
    EXPECT_EQ(lowPass.max_value, 1.0);
    EXPECT_EQ(lowPass.default_value, 1.0);
    const auto dry = infoAt(parameterIndex(ParamKind::VolumeThruInput, 0));
    EXPECT_STREQ(dry.name, "Dry level");
    EXPECT_STREQ(dry.module, "Mix");
    const auto tempo = infoAt(parameterIndex(ParamKind::Tempo, 3));
    EXPECT_STREQ(tempo.name, "Delay 4 Tempo");
    EXPECT_STREQ(tempo.module, "Delay 4");
    EXPECT_EQ(tempo.min_value, 48.0);
    EXPECT_EQ(tempo.max_value, 999.0);
    EXPECT_EQ(tempo.default_value, 120.0);
    // A fresh instance holds program 0, whose first line runs at 88.
    EXPECT_EQ(infoAt(parameterIndex(ParamKind::Tempo, 0)).default_value, 88.0);
    const auto sync = infoAt(parameterIndex(ParamKind::IsTempoSync, 2));
    EXPECT_STREQ(sync.name, "Delay 3 Sync");
    EXPECT_EQ(sync.flags, CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED);
    EXPECT_EQ(sync.max_value, 1.0);
    EXPECT_EQ(sync.default_value, 1.0);
    const auto den = infoAt(parameterIndex(ParamKind::TempoDen, 1));
    EXPECT_STREQ(den.name, "Delay 2 Note length denominator");
    EXPECT_EQ(den.flags, CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM);
    EXPECT_EQ(den.max_value, 8.0);
    EXPECT_EQ(den.default_value, 2.0);
    EXPECT_EQ(infoAt(parameterIndex(ParamKind::Output, 0)).max_value, 2.0);
    EXPECT_EQ(infoAt(parameterIndex(ParamKind::Input, 0)).max_value, 3.0);
    EXPECT_EQ(infoAt(parameterIndex(ParamKind::Pan, 2)).default_value, 0.666f);
    const auto program = infoAt(kProgramPosition);
    EXPECT_EQ(program.id, kProgramParamId);
    EXPECT_EQ(program.max_value, 15.0);
}

// Every position of every stepped parameter selects that position in the
// engine and reads back as itself.
TEST(ClapParams, SteppedPositionsReachTheEngineAndReadBack) {
    test::Plugin p;
    p->setParameter(parameterIndex(ParamKind::IsDelayOn, 0), 1.0f);
    p->setParameter(parameterIndex(ParamKind::IsDelayOn, 1), 1.0f);
    p->setParameter(parameterIndex(ParamKind::IsDelayOn, 2), 1.0f);
    for (std::uint32_t pos = 0; pos < static_cast<std::uint32_t>(kNumParameters); ++pos) {
        const clap_param_info_t info = infoAt(pos);
        if ((info.flags & CLAP_PARAM_IS_STEPPED) == 0) continue;
        const int index = static_cast<int>(pos);
        for (double plain = info.min_value; plain <= info.max_value; plain += 1.0) {
            if (index == parameterIndex(ParamKind::IsDelayOn, 0) && plain == 0.0) continue;
            p->setParameter(index, interfaceValueOfPlain(index, plain));
            // A line listens only to a lower-numbered line; any other choice means the input.
            const int line = (index - firstIndexOf(ParamKind::Input)) % 4;
            const bool isInput =
                index >= firstIndexOf(ParamKind::Input) && index < firstIndexOf(ParamKind::Output);
            const double expected = isInput && plain > line ? 0.0 : plain;
            EXPECT_EQ(plainValue(index, p->getParameter(index)), expected) << index;
        }
    }
    // Input4 at position 3 listens to line 3: "3" as the VST 2 module shows it.
    p->setParameter(parameterIndex(ParamKind::Input, 3),
                    interfaceValueOfPlain(parameterIndex(ParamKind::Input, 3), 3.0));
    EXPECT_EQ(p->parameterDisplay(parameterIndex(ParamKind::Input, 3)), "      3");
}

TEST(ClapParams, TextsAsHostsShowThem) {
    const float cross = 0.3f; // 1850 Hz
    const auto text = [&](ParamKind kind, int line, double plain) {
        return valueText(parameterIndex(kind, line), plain, cross);
    };
    EXPECT_EQ(text(ParamKind::FeedBack, 0, 0.5), "0.500000 amount");
    EXPECT_EQ(text(ParamKind::FeedBack, 0, 0.01), "0.009999 amount");
    EXPECT_EQ(text(ParamKind::Volume, 1, 0.5), "0.500000 db");
    EXPECT_EQ(text(ParamKind::Pan, 0, 0.25), "25 Left");
    EXPECT_EQ(text(ParamKind::Pan, 0, 0.5), "0 Center");
    EXPECT_EQ(text(ParamKind::Pan, 3, 1.0), "50 Right");
    EXPECT_EQ(text(ParamKind::LowPassFrequency, 0, 0.5), "925.0000 Hz");
    EXPECT_EQ(text(ParamKind::HighPassFrequency, 0, 1.0), "22000.00 Hz");
    EXPECT_EQ(text(ParamKind::CrossFrequency, 2, 0.3), "1850.000 Hz");
    EXPECT_EQ(text(ParamKind::Tempo, 0, 120.0), "120.0 bpm");
    EXPECT_EQ(text(ParamKind::Input, 3, 2.0), "D2");
    EXPECT_EQ(text(ParamKind::Input, 1, 0.0), "Main");
    EXPECT_EQ(text(ParamKind::Output, 1, 1.0), "2");
    EXPECT_EQ(text(ParamKind::DelayType, 0, 1.0), "Recirculating");
    EXPECT_EQ(text(ParamKind::TempoNum, 0, 0.0), "1");
    EXPECT_EQ(text(ParamKind::TempoDen, 2, 4.0), "6");
    EXPECT_EQ(text(ParamKind::IsDelayOn, 0, 1.0), "On");
    EXPECT_EQ(text(ParamKind::IsTempoSync, 0, 0.0), "Off");
}

// What a host does when it shows a value and the user types the text back:
// the value read from a text shows that very text, for every parameter, over
// its whole range (the values between positions of stepped parameters too).
TEST(ClapParams, EveryTextReadsBackToItself) {
    for (int index = 0; index < kNumParameters; ++index) {
        const clap_param_info_t info = infoAt(static_cast<std::uint32_t>(index));
        for (int k = 0; k <= 100; ++k) {
            const double plain = info.min_value + (info.max_value - info.min_value) * k / 100.0;
            for (float cross : {0.0f, 0.3f, 1.0f}) {
                const std::string text = valueText(index, plain, cross);
                const auto back = textValue(index, text.c_str(), cross);
                ASSERT_TRUE(back) << index << " '" << text << "'";
                EXPECT_EQ(valueText(index, *back, cross), text) << index << " " << plain;
                EXPECT_EQ(textValue(index, text.c_str(), cross), back)
                    << index << " '" << text << "'";
            }
        }
    }
    // The cases hosts met: truncated digits, whole pan percents.
    const int feedback = parameterIndex(ParamKind::FeedBack, 0);
    const int pan = parameterIndex(ParamKind::Pan, 0);
    EXPECT_EQ(valueText(feedback, *textValue(feedback, "0.109211 amount", 0.3f), 0.3f),
              "0.109211 amount");
    EXPECT_EQ(valueText(pan, *textValue(pan, "45 Left", 0.3f), 0.3f), "45 Left");
}

TEST(ClapParams, TextsThatNameNoValueAreRefusedAndBareNumbersAreRead) {
    const float cross = 0.0f;
    EXPECT_FALSE(textValue(0, "", cross));
    EXPECT_FALSE(textValue(0, "amount", cross));
    EXPECT_FALSE(textValue(0, nullptr, cross));
    EXPECT_FALSE(textValue(parameterIndex(ParamKind::Tempo, 0), "nan bpm", cross));
    EXPECT_FALSE(textValue(parameterIndex(ParamKind::Input, 2), "D7", cross));
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::IsDelayOn, 0), " on", cross), 1.0);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::IsDelayOn, 0), "0", cross), 0.0);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::Pan, 0), "25 Left", cross), 0.25);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::FeedBack, 0), "0.5", cross), 0.5);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::Tempo, 0), "4000", cross), 999.0);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::Tempo, 0), "97.5 bpm", cross), 97.5);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::TempoDen, 0), "32", cross), 7.0);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::Input, 3), "d1", cross), 1.0);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::Output, 3), "3", cross), 2.0);
    EXPECT_EQ(programOf(15.9), 15);
    EXPECT_EQ(programOf(-2.0), 0);
    EXPECT_EQ(programOf(std::nan("")), 0);
}

} // namespace
} // namespace tesk::clapfmt
