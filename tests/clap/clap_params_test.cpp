// The CLAP parameter table: ids, ranges and flags, the mapping onto the values
// our interface carries, and value texts equal to what the VST 2 module shows.
#include "clap_params.h"
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

TEST(ClapParams, IdsNamesModulesAndRanges) {
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

    const auto highPass = infoAt(parameterIndex(ParamKind::HighPassFrequency, 0));
    EXPECT_STREQ(highPass.name, "HighPassFrequency1");
    EXPECT_STREQ(highPass.module, "Delay 1");
    EXPECT_EQ(highPass.flags, CLAP_PARAM_IS_AUTOMATABLE);
    EXPECT_EQ(highPass.max_value, 1.0);
    const auto dry = infoAt(parameterIndex(ParamKind::VolumeThruInput, 0));
    EXPECT_STREQ(dry.name, "VolumeThruInput");
    EXPECT_STREQ(dry.module, "");
    const auto tempo = infoAt(parameterIndex(ParamKind::Tempo, 3));
    EXPECT_STREQ(tempo.module, "Delay 4");
    EXPECT_EQ(tempo.min_value, 48.0);
    EXPECT_EQ(tempo.max_value, 999.0);
    const auto sync = infoAt(parameterIndex(ParamKind::IsTempoSync, 2));
    EXPECT_EQ(sync.flags, CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED);
    EXPECT_EQ(sync.max_value, 1.0);
    const auto den = infoAt(parameterIndex(ParamKind::TempoDen, 1));
    EXPECT_EQ(den.flags, CLAP_PARAM_IS_AUTOMATABLE | CLAP_PARAM_IS_STEPPED | CLAP_PARAM_IS_ENUM);
    EXPECT_EQ(den.max_value, 8.0);
    EXPECT_EQ(infoAt(parameterIndex(ParamKind::Output, 0)).max_value, 2.0);
    EXPECT_EQ(infoAt(parameterIndex(ParamKind::Input, 0)).max_value, 3.0);
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
            p->setParameter(index, *interfaceValue(index, plain));
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
                    *interfaceValue(parameterIndex(ParamKind::Input, 3), 3.0));
    EXPECT_EQ(p->parameterDisplay(parameterIndex(ParamKind::Input, 3)), "      3");
}

TEST(ClapParams, ValuesAreHeldToTheirRanges) {
    const int feedback = parameterIndex(ParamKind::FeedBack, 0);
    const int tempo = parameterIndex(ParamKind::Tempo, 0);
    const int den = parameterIndex(ParamKind::TempoDen, 0);
    EXPECT_EQ(*interfaceValue(feedback, 7.0), 1.0f);
    EXPECT_EQ(*interfaceValue(feedback, -3.0), 0.0f);
    EXPECT_EQ(*interfaceValue(tempo, 0.5), 48.0f);
    EXPECT_EQ(*interfaceValue(tempo, 1e300), 999.0f);
    EXPECT_EQ(*interfaceValue(tempo, 133.25), 133.25f);
    EXPECT_EQ(decodeTempoDenominator(*interfaceValue(den, 99.0)), 64.0f);
    EXPECT_FALSE(interfaceValue(feedback, std::nan("")));
    EXPECT_FALSE(interfaceValue(tempo, INFINITY));
    EXPECT_EQ(programOf(15.9), 15);
    EXPECT_EQ(programOf(-2.0), 0);
    EXPECT_EQ(programOf(std::nan("")), 0);
}

TextContext contextOf(const test::Plugin& p, int line) {
    TextContext context{
        crossoverHz(p->getParameter(parameterIndex(ParamKind::CrossFrequency, line))), {}};
    for (int k = 0; k < kNumLines; ++k)
        context.lineOn[k] = p->getParameter(parameterIndex(ParamKind::IsDelayOn, k)) > 0.5f;
    return context;
}

std::string trimmed(const std::string& text) {
    return text.substr(std::min(text.find_first_not_of(' '), text.size()));
}

// For values across every range, the text is the module's own value text and
// label once the module holds that value, and the text reads back to it.
TEST(ClapParams, TextsAreTheVst2TextsAndReadBack) {
    test::Plugin p;
    p->setParameter(parameterIndex(ParamKind::CrossFrequency, 1), 0.3f);
    p->setParameter(parameterIndex(ParamKind::IsDelayOn, 0), 1.0f);
    for (int index = 0; index < kNumParameters; ++index) {
        const clap_param_info_t info = infoAt(static_cast<std::uint32_t>(index));
        const ParamKind kind =
            [&] {
                ParamRef ref{};
                splitParameterIndex(index, ref);
                return ref;
            }()
                .kind;
        const double span = info.max_value - info.min_value;
        const double step = (info.flags & CLAP_PARAM_IS_STEPPED) ? 1.0 : span / 8.0;
        for (double plain = info.min_value; plain <= info.max_value + 1e-9; plain += step) {
            const int line = index == 8 ? 0 : (index - firstIndexOf(kind)) % 4;
            const std::string text = valueText(index, plain, contextOf(p, line));
            p->setParameter(index, *interfaceValue(index, plain));
            const std::string display = trimmed(p->parameterDisplay(index));
            if (kind == ParamKind::IsDelayOn || kind == ParamKind::IsTempoSync) {
                EXPECT_EQ(text, plain >= 1.0 ? "On" : "Off");
            } else {
                EXPECT_EQ(text, display + " " + p->parameterLabel(index)) << index << " " << plain;
            }
            const auto back = textValue(index, text.c_str(), contextOf(p, line));
            ASSERT_TRUE(back) << text;
            // Texts are as fine as their last digit: whole percents, tenths of a beat.
            const double resolution = kind == ParamKind::Pan     ? 0.0051
                                      : kind == ParamKind::Tempo ? 0.051
                                                                 : 2e-5 * span;
            EXPECT_NEAR(*back, plainValue(index, p->getParameter(index)), resolution)
                << index << " '" << text << "'";
        }
    }
}

TEST(ClapParams, TextsWithoutANumberAreRefused) {
    const TextContext context{500.0f, {}};
    EXPECT_FALSE(textValue(0, "", context));
    EXPECT_FALSE(textValue(0, "amount", context));
    EXPECT_FALSE(textValue(0, nullptr, context));
    EXPECT_FALSE(textValue(parameterIndex(ParamKind::Tempo, 0), "nan bpm", context));
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::IsDelayOn, 0), " on", context), 1.0);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::Pan, 0), "25 Left", context), 0.25);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::Tempo, 0), "4000", context), 999.0);
    EXPECT_EQ(*textValue(parameterIndex(ParamKind::TempoDen, 0), "30 Beat", context), 7.0);
}

} // namespace
} // namespace tesk::clapfmt
