// Every dispatcher opcode through the record, as a host sends it.
#include "plugin_fixture.h"

#include "parameters.h"

#if !defined(_WIN32)
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <limits>
#include <map>

namespace tesk::test {
namespace {

int idx(ParamKind kind, int line = 0) { return parameterIndex(kind, line); }

// What each opcode answers to a plain call (index 0, value 0, a zeroed text
// buffer, opt 0) on an instance without an editor. Anything not listed, up to
// 80, answers 0.
const std::map<std::int32_t, VstIntPtr> kPlainAnswers = {
    {effGetProgram, 0},
    {effIdentify, 0x4E764566},
    {effCanBeAutomated, 1},
    {effGetNumProgramCategories, 1},
    {effGetProgramNameIndexed, 1},
    {effConnectInput, 1},
    {effConnectOutput, 1},
    {effGetInputProperties, 1},
    {effGetOutputProperties, 1},
    {effGetPlugCategory, 1},
    {effSetBlockSizeAndSampleRate, 1},
    {effGetEffectName, 1},
    {effGetVendorString, 1},
    {effGetProductString, 1},
    {effGetVendorVersion, 1000},
    {effKeysRequired, 1},
    {effGetVstVersion, 2300},
    {effGetCurrentMidiProgram, -1},
};

TEST(Dispatcher, EveryOpcodeAnswersAsTheTablesSay) {
    Plugin p;
    for (std::int32_t opcode = 0; opcode <= 80; ++opcode) {
        if (opcode == effEditGetRect || opcode == effEditOpen || opcode == effEditClose ||
            opcode == effEditIdle || opcode == effEditKeyDown || opcode == effEditKeyUp ||
            opcode == effSetEditKnobMode)
            continue; // the editor's opcodes have a test of their own
        if (opcode == effClose || opcode == effSetProgram || opcode == effSetSampleRate ||
            opcode == effSetBlockSize || opcode == effMainsChanged ||
            opcode == effSetBlockSizeAndSampleRate || opcode == effSetProgramName)
            continue; // these change state; their own tests follow
        alignas(8) char buffer[512] = {};
        const auto found = kPlainAnswers.find(opcode);
        const VstIntPtr expected = found != kPlainAnswers.end() ? found->second : 0;
        EXPECT_EQ(p->dispatch(opcode, 0, 0, buffer, 0.0f), expected) << "opcode " << opcode;
    }
    for (std::int32_t odd : {-1, -100, 77, 200, 100000}) EXPECT_EQ(p->dispatch(odd, 5, 9, nullptr, 1.0f), 0);
    EXPECT_EQ(p->dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 96000.0f), 1);
}

TEST(Dispatcher, NullPointersAreAnsweredWithNothingDone) {
    Plugin p;
    for (std::int32_t opcode = 0; opcode <= 80; ++opcode) {
        if (opcode == effClose) continue;
        const VstIntPtr answer = p->dispatch(opcode, 0, 0, nullptr, 0.0f);
        const bool textOrRecord = opcode == effGetProgramNameIndexed || opcode == effGetInputProperties ||
                                  opcode == effGetOutputProperties || opcode == effGetEffectName ||
                                  opcode == effGetVendorString || opcode == effGetProductString;
        if (textOrRecord) {
            EXPECT_EQ(answer, 0) << "opcode " << opcode;
        }
    }
    // Answers that need no pointer are unchanged by a null one.
    EXPECT_EQ(p->dispatch(effGetVendorVersion, 0, 0, nullptr), 1000);
    EXPECT_EQ(p->dispatch(effIdentify, 0, 0, nullptr), 0x4E764566);
}

TEST(Dispatcher, ProgramRangeIsSignedAndBounded) {
    Plugin p;
    EXPECT_EQ(p->dispatch(effSetProgram, 0, 16), 0);
    EXPECT_EQ(p->dispatch(effGetProgram), 0);
    EXPECT_EQ(p->dispatch(effSetProgram, 0, -1), 0);
    EXPECT_EQ(p->dispatch(effSetProgram, 0, std::numeric_limits<VstIntPtr>::max()), 0);
    EXPECT_EQ(p->dispatch(effGetProgram), 0);
    EXPECT_EQ(p->dispatch(effSetProgram, 0, 15), 0);
    EXPECT_EQ(p->dispatch(effGetProgram), 15);
    EXPECT_EQ(p->programName(), "Init 16");
}

TEST(Dispatcher, MainsOnClearsEchoesInFlightAndKeepsDelayTimes) {
    Plugin p;
    isolateLineOne(p);
    p.set({{idx(ParamKind::Tempo), 120.0f}, {idx(ParamKind::TempoNum), 0.0f}, {idx(ParamKind::TempoDen), 0.0f}});
    p.renderImpulse(1000); // an echo is on its way
    EXPECT_EQ(p->dispatch(effMainsChanged, 0, 0), 0);
    EXPECT_EQ(p->dispatch(effMainsChanged, 0, 1), 0);
    EXPECT_TRUE(nonZeroAt(p.render(std::vector<float>(22000), std::vector<float>(22000))[0]).empty());
    EXPECT_EQ(nonZeroAt(p.renderImpulse(22100)[0]), (std::vector<int>{22050}));
}

TEST(Dispatcher, BlockSizeAndRateAnnouncementsLeaveTheDelayMemoryAlone) {
    Plugin p;
    isolateLineOne(p);
    p.set({{idx(ParamKind::Tempo), 120.0f}, {idx(ParamKind::TempoNum), 0.0f}, {idx(ParamKind::TempoDen), 0.0f}});
    EXPECT_EQ(p->dispatch(effSetBlockSizeAndSampleRate, 0, 512, nullptr, 96000.0f), 1);
    EXPECT_EQ(p->dispatch(effSetBlockSize, 0, 0), 0);
    EXPECT_EQ(p->dispatch(effSetBlockSize, 0, -5), 0);
    EXPECT_EQ(p->dispatch(effSetBlockSize, 0, std::numeric_limits<VstIntPtr>::max()), 0);
    EXPECT_EQ(p->dispatch(effSetBlockSizeAndSampleRate, 0, -1, nullptr, -1.0f), 1);
    // Still sized for 44.1 kHz, and long blocks still work.
    EXPECT_EQ(nonZeroAt(p.renderImpulse(22100, 1.0f, 8192)[0]), (std::vector<int>{22050}));
}

TEST(Dispatcher, ChunksAreNotOffered) {
    Plugin p;
    void* chunk = reinterpret_cast<void*>(0x1234);
    EXPECT_EQ(p->dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(p->dispatch(effGetChunk, 1, 0, &chunk), 0);
    EXPECT_EQ(chunk, reinterpret_cast<void*>(0x1234));
    char data[16] = {};
    EXPECT_EQ(p->dispatch(effSetChunk, 0, sizeof data, data), 0);
}

TEST(Dispatcher, CapabilitiesAndAutomationAnswers) {
    Plugin p;
    for (const char* text : {"sendVstEvents", "receiveVstTimeInfo", "plugAsChannelInsert", "bypass", ""}) {
        std::string copy = text;
        EXPECT_EQ(p->dispatch(effCanDo, 0, 0, copy.data()), 0) << text;
    }
    for (int index : {0, 60, 61, 1000, -3}) EXPECT_EQ(p->dispatch(effCanBeAutomated, index), 1);
    EXPECT_EQ(p->dispatch(effSetTotalSampleToProcess, 0, 48000), 48000);
    EXPECT_EQ(p->dispatch(effGetVu), 0);
}

TEST(Dispatcher, EditorOpcodesReachTheEditor) {
    Plugin p;
    ERect* rect = nullptr;
    EXPECT_EQ(p->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 530);
    EXPECT_EQ(rect->right, 384);
    // Closed: keys are not handled; the knob mode is taken all the same.
    EXPECT_EQ(p->dispatch(effEditKeyDown, 'a', 65, nullptr, 1.0f), -1);
    EXPECT_EQ(p->dispatch(effEditKeyUp, 'a', 65, nullptr, 1.0f), -1);
    EXPECT_EQ(p->dispatch(effSetEditKnobMode, 0, 2), 1);
    EXPECT_EQ(p->dispatch(effEditIdle), 0);
    EXPECT_EQ(p->dispatch(effEditClose), 0);
}

TEST(Dispatcher, SpeakerArrangementQueryStoresNulls) {
    Plugin p;
    VstSpeakerArrangement dummy{};
    VstSpeakerArrangement* input = &dummy;
    VstSpeakerArrangement* output = &dummy;
    EXPECT_EQ(p->dispatch(effGetSpeakerArrangement, 0, reinterpret_cast<VstIntPtr>(&input), &output), 0);
    EXPECT_EQ(input, nullptr);
    EXPECT_EQ(output, nullptr);
}

TEST(Dispatcher, CloseAnswersOneAndEndsTheInstance) {
    Plugin p;
    EXPECT_EQ(p->close(), 1);
    EXPECT_EQ(p->close(), 0); // the wrapper knows it is gone
}

TEST(Record, FieldsAsHostsReadThem) {
    Plugin p;
    const AEffect& e = *p->effect();
    EXPECT_EQ(e.magic, 0x56737450);
    EXPECT_EQ(e.numPrograms, 16);
    EXPECT_EQ(e.numParams, 61);
    EXPECT_EQ(e.numInputs, 2);
    EXPECT_EQ(e.numOutputs, 6);
    EXPECT_EQ(e.flags, effFlagsHasEditor | effFlagsHasVu | effFlagsCanMono | effFlagsCanReplacing);
    EXPECT_EQ(e.initialDelay, 0);
    EXPECT_EQ(e.realQualities, 0);
    EXPECT_EQ(e.offQualities, 0);
    EXPECT_EQ(e.ioRatio, 1.0f);
    EXPECT_EQ(e.uniqueID, 0x544B6432);
    EXPECT_EQ(e.version, 1);
    EXPECT_NE(e.object, nullptr);
    EXPECT_EQ(e.resvd1, 0);
    EXPECT_EQ(e.resvd2, 0);
    for (char c : e.future) EXPECT_EQ(c, 0);
    EXPECT_NE(e.dispatcher, nullptr);
    EXPECT_NE(e.process, nullptr);
    EXPECT_NE(e.processReplacing, nullptr);
    EXPECT_NE(e.setParameter, nullptr);
    EXPECT_NE(e.getParameter, nullptr);
}

TEST(Entry, HostThatAnswersNoVersionGetsNoInstance) {
    vsthost::HostState host;
    host.versionAnswer = 0;
    std::string error;
    EXPECT_EQ(vsthost::Instance::create(module(), host, error), nullptr);
    EXPECT_EQ(module().entry()(nullptr), nullptr);
}

#if !defined(_WIN32) // the Windows build checks its exports with objdump
TEST(Entry, ModuleExportsOnlyItsTwoEntries) {
    const std::string command = "nm -D --defined-only '" + modulePath() + "'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text = line;
        symbols.push_back(text.substr(text.find_last_of(' ') + 1, text.find_last_not_of("\n") - text.find_last_of(' ')));
    }
    ASSERT_EQ(pclose(pipe), 0);
    std::sort(symbols.begin(), symbols.end());
    EXPECT_EQ(symbols, (std::vector<std::string>{"VSTPluginMain", "main"}));
}

TEST(Entry, BothEntriesMakeWorkingInstances) {
    void* handle = dlopen(modulePath().c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr);
    for (const char* name : {"VSTPluginMain", "main"}) {
        auto entry = reinterpret_cast<VstPluginMainProc>(dlsym(handle, name));
        ASSERT_NE(entry, nullptr) << name;
        AEffect* effect = entry(vsthost::hostCallback);
        ASSERT_NE(effect, nullptr) << name;
        EXPECT_EQ(effect->uniqueID, 0x544B6432);
        EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);
    }
    dlclose(handle);
}

#endif

} // namespace
} // namespace tesk::test
