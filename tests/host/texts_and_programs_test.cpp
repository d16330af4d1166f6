// Names, labels, value texts, pins and programs as a host reads them.
#include "factory_presets.h"
#include "plugin_fixture.h"

#include "parameters.h"

#include <cstring>

namespace tesk::test {
namespace {

int idx(ParamKind kind, int line = 0) {
    return parameterIndex(kind, line);
}

TEST(ParameterTexts, AllNamesAndLabels) {
    Plugin p;
    const char* bases[] = {"FeedBack",
                           "Volume",
                           "IsDelayOn",
                           "Pan",
                           "Input",
                           "Output",
                           "DelayType",
                           "Saturation",
                           "LowPassFrequency",
                           "HighPassFrequency",
                           "CrossFrequency",
                           "Tempo",
                           "TempoNum",
                           "TempoDen",
                           "IsTempoSync"};
    const int firsts[] = {0, 4, 9, 13, 17, 21, 25, 29, 33, 37, 41, 45, 49, 53, 57};
    const char* labels[] = {"amount", "db", "Active", nullptr, "input", "output", "Type",  "Amount",
                            "Hz",     "Hz", "Hz",     "bpm",   "Beat",  "Beat",   "Active"};
    for (int g = 0; g < 15; ++g) {
        for (int line = 0; line < 4; ++line) {
            const int index = firsts[g] + line;
            EXPECT_EQ(p->parameterName(index), std::string(bases[g]) + std::to_string(line + 1));
            if (labels[g] != nullptr) {
                EXPECT_EQ(p->parameterLabel(index), labels[g]) << index;
            }
        }
    }
    EXPECT_EQ(p->parameterName(8), "VolumeThruInput");
    EXPECT_EQ(p->parameterLabel(8), "db");
    EXPECT_EQ(p->parameterName(37), "HighPassFrequency1"); // 18 characters, written whole
    for (int bad : {61, -1, 1000}) {
        EXPECT_EQ(p->parameterName(bad), "");
        EXPECT_EQ(p->parameterLabel(bad), "");
        EXPECT_EQ(p->parameterDisplay(bad), "");
    }
}

TEST(ParameterTexts, DisplayExamples) {
    Plugin p;
    struct Case {
        int index;
        float value;
        const char* label;
        const char* display;
    };
    const Case cases[] = {
        {idx(ParamKind::Pan, 0), 0.0f, "Left", "     50"},
        {idx(ParamKind::Pan, 1), 0.5f, "Center", "      0"},
        {idx(ParamKind::Pan, 3), 1.0f, "Right", "     50"},
        {idx(ParamKind::Pan, 2), 0.75f, "Right", "     25"},
        {idx(ParamKind::CrossFrequency, 0), 0.3f, "Hz", "1850.000"},
        {idx(ParamKind::LowPassFrequency, 0), 0.5f, "Hz", "925.0000"},
        {idx(ParamKind::HighPassFrequency, 0), 1.0f, "Hz", "22000.00"},
        {idx(ParamKind::HighPassFrequency, 1), 0.5f, "Hz", "11925.00"},
        {idx(ParamKind::Tempo, 1), 88.0f, "bpm", "88.0"},
        {idx(ParamKind::Tempo, 2), 133.3f, "bpm", "133.3"},
        {idx(ParamKind::DelayType, 2), 1.0f, "Type", "      2"},
        {idx(ParamKind::DelayType, 3), 0.0f, "Type", "      1"},
        {idx(ParamKind::Volume, 0), 0.5f, "db", "0.500000"},
        {idx(ParamKind::FeedBack, 0), 0.7f, "amount", "0.699999"},
        {idx(ParamKind::FeedBack, 1), 0.445f, "amount", "0.444999"},
        {idx(ParamKind::VolumeThruInput), 1.0f, "db", "1.000000"},
        {idx(ParamKind::Output, 1), 0.5f, "output", "      2"},
        {idx(ParamKind::TempoNum, 0), 0.25f, "Beat", "3.000000"},
        {idx(ParamKind::Saturation, 0), 0.25f, "Amount", "0.250000"},
    };
    for (const Case& c : cases) {
        p->setParameter(c.index, c.value);
        EXPECT_EQ(p->parameterLabel(c.index), c.label) << c.index;
        EXPECT_EQ(p->parameterDisplay(c.index), c.display) << c.index;
    }
    p->dispatch(effSetProgram, 0, 3);
    p->setParameter(idx(ParamKind::Input, 3), 0.3f);
    EXPECT_EQ(p->parameterDisplay(idx(ParamKind::Input, 3)), "      3");
}

TEST(ParameterTexts, SwitchesLeaveTheValueBufferAlone) {
    Plugin p;
    for (int index : {idx(ParamKind::IsDelayOn, 0), idx(ParamKind::IsTempoSync, 0)}) {
        char buffer[32];
        std::strcpy(buffer, "untouched");
        p->dispatch(effGetParamDisplay, index, 0, buffer);
        EXPECT_STREQ(buffer, "untouched");
        EXPECT_EQ(p->parameterLabel(index), "Active");
    }
}

TEST(Identity, NamesVendorAndPins) {
    Plugin p;
    EXPECT_EQ(p->text(effGetEffectName), "TeskDelay");
    EXPECT_EQ(p->text(effGetProductString), "TeskDelay");
    EXPECT_EQ(p->text(effGetVendorString), "Velmora");

    const char* outputs[] = {"Main LEFT",   "Main RIGHT", "Out 2 LEFT",
                             "Out 2 RIGHT", "Out 3 LEFT", "OUT 3 RIGHT"};
    for (int i = 0; i < 6; ++i) {
        VstPinProperties pin{};
        EXPECT_EQ(p->dispatch(effGetOutputProperties, i, 0, &pin), 1);
        EXPECT_STREQ(pin.label, outputs[i]);
        EXPECT_EQ(pin.flags, 3);
    }
    for (int i = 0; i < 2; ++i) {
        VstPinProperties pin{};
        EXPECT_EQ(p->dispatch(effGetInputProperties, i, 0, &pin), 1);
        EXPECT_EQ(std::string(pin.label), "Main in " + std::to_string(i + 1));
        EXPECT_EQ(pin.flags, 3);
    }
    VstPinProperties untouched{};
    std::memset(&untouched, 0x5A, sizeof untouched);
    VstPinProperties pin = untouched;
    EXPECT_EQ(p->dispatch(effGetInputProperties, 2, 0, &pin), 0);
    EXPECT_EQ(p->dispatch(effGetOutputProperties, 6, 0, &pin), 0);
    EXPECT_EQ(p->dispatch(effGetOutputProperties, -1, 0, &pin), 0);
    EXPECT_EQ(std::memcmp(&pin, &untouched, sizeof pin), 0);
}

TEST(Programs, FactoryNamesAndNeutralNumbering) {
    Plugin p;
    // By index the four neutral programs are all "Init".
    std::vector<std::string> names(kFactoryProgramNames.begin(), kFactoryProgramNames.end());
    names.resize(16, "Init");
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(p->text(effGetProgramNameIndexed, i), names[static_cast<std::size_t>(i)]);
    EXPECT_EQ(p->dispatch(effGetProgramNameIndexed, 16, 0, std::string(32, 'x').data()), 0);
    EXPECT_EQ(p->dispatch(effGetProgramNameIndexed, -1, 0, std::string(32, 'x').data()), 0);
    p->dispatch(effSetProgram, 0, 12);
    EXPECT_EQ(p->programName(), "Init 13");
    EXPECT_EQ(p->text(effGetProgramNameIndexed, 12), "Init");
}

TEST(Programs, LoadingSetsEveryParameter) {
    Plugin p([](vsthost::HostState& h) { h.provideTime = false; });
    p->dispatch(effSetProgram, 0, 3);
    for (int line = 0; line < 4; ++line)
        EXPECT_EQ(p->getParameter(idx(ParamKind::IsDelayOn, line)), 1.0f);
    p->dispatch(effSetProgram, 0, 7);
    EXPECT_EQ(p->programName(), "Metalic sound");
    EXPECT_EQ(p->getParameter(57), 0.0f);
    EXPECT_EQ(p->getParameter(58), 0.0f);
    EXPECT_EQ(p->getParameter(45), tempoToInterface(350.0f));
    EXPECT_EQ(p->parameterDisplay(45), "350.0");
    EXPECT_EQ(p->getParameter(idx(ParamKind::Saturation, 1)), 0.285f);
    EXPECT_EQ(p->getParameter(idx(ParamKind::VolumeThruInput)), 0.0f);
    EXPECT_EQ(p->parameterDisplay(idx(ParamKind::TempoDen, 0)), "64.00000"); // trunc(10 * 0.8f) = 8
}

TEST(Programs, RenamingCutsAt23AndKeepsTheNumberedFormOnlyForInit) {
    Plugin p;
    p->dispatch(effSetProgram, 0, 12);
    std::string name = "Init";
    p->dispatch(effSetProgramName, 0, 0, name.data());
    EXPECT_EQ(p->programName(), "Init 13");
    name = "Init 2";
    p->dispatch(effSetProgramName, 0, 0, name.data());
    EXPECT_EQ(p->programName(), "Init 2");
    name = "abcdefghijklmnopqrstuvwxyz0123";
    p->dispatch(effSetProgramName, 0, 0, name.data());
    EXPECT_EQ(p->programName(), "abcdefghijklmnopqrstuvw");
    EXPECT_EQ(p->text(effGetProgramNameIndexed, 12), "abcdefghijklmnopqrstuvw");
}

TEST(Programs, EditsAreRememberedAcrossProgramSwitches) {
    Plugin p;
    p->setParameter(idx(ParamKind::FeedBack, 0), 0.123f);
    p->dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(p->getParameter(idx(ParamKind::FeedBack, 0)), 0.5f);
    p->dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(p->getParameter(idx(ParamKind::FeedBack, 0)), 0.123f);
}

// Line 3 listens to line 2 when a program with line 2 off is loaded: the
// side effect of switching line 2 off rewrites that very program's Input3.
TEST(Programs, LoadingCanChangeTheLoadedProgramItself) {
    Plugin p;
    p->dispatch(effSetProgram, 0, 12); // lines 2 to 4 off
    p->setParameter(idx(ParamKind::Input, 2), 0.1f);
    ASSERT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.1f); // program 12 keeps 0.1
    p->dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.0f);
    p->dispatch(effSetProgram, 0, 12);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.1f); // as stored

    p->dispatch(effSetProgram, 0, 4); // line 3 listens to line 2
    ASSERT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.2f);
    p->dispatch(effSetProgram, 0, 12);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.0f);
    p->dispatch(effSetProgram, 0, 0);
    p->dispatch(effSetProgram, 0, 12);
    EXPECT_EQ(p->getParameter(idx(ParamKind::Input, 2)), 0.0f); // the record itself changed
}

} // namespace
} // namespace tesk::test
