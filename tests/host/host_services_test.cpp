// The host services of the base classes: what each sends through the
// callback and how it reads the answer, with and without a callback; and the
// speaker-arrangement helpers.
#include "effect_base_ext.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace tesk {
namespace {

struct Call {
    AEffect* effect;
    std::int32_t opcode;
    std::int32_t index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

std::vector<Call> gCalls;
VstIntPtr gAnswer = 0;

VstIntPtr VSTCALL recordingHost(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                VstIntPtr value, void* ptr, float opt) {
    gCalls.push_back({effect, opcode, index, value, ptr, opt});
    return gAnswer;
}

// The smallest effect: the base classes as they are.
struct PlainEffect : EffectBaseExt {
    using EffectBaseExt::EffectBaseExt;
    void process(float**, float**, std::int32_t) override {}
    void setParameter(std::int32_t index, float value) override { lastSet = {index, value}; }
    std::pair<std::int32_t, float> lastSet{-1, 0.0f};
};

struct Service {
    const char* name;
    std::int32_t opcode;
    std::function<VstIntPtr(PlainEffect&)> call; // returns the converted answer
    std::int32_t index;
    VstIntPtr value;
    bool passesPtr;
    float opt;
    VstIntPtr answerFor7;     // what the operation returns when the host answers 7
    VstIntPtr answerForZero;  // ... when the host answers 0
    VstIntPtr withoutHost;    // ... with no callback at all
};

char gText[64];

const std::vector<Service>& services() {
    using E = PlainEffect;
    auto p = [](auto* x) { return reinterpret_cast<VstIntPtr>(x); };
    static const std::vector<Service> table = {
        {"getHostVersion", 1, [](E& e) { return e.getHostVersion(); }, 0, 0, false, 0, 7, 1, 1},
        {"getHostCurrentId", 2, [](E& e) { return e.getHostCurrentId(); }, 0, 0, false, 0, 7, 0, 0},
        {"isInputConnected", 4, [](E& e) { return e.isInputConnected(3); }, 3, 0, false, 0, 0, 1, 1},
        {"isOutputConnected", 4, [](E& e) { return e.isOutputConnected(5); }, 5, 1, false, 0, 0, 1, 1},
        {"wantEvents", 6, [](E& e) { return e.wantEvents(9); }, 0, 9, false, 0, 7, 0, 0},
        {"getTimeInfo", 7, [p](E& e) { return p(e.getTimeInfo(0x400)); }, 0, 0x400, false, 0, 7, 0, 0},
        {"getHostTempoAt", 10, [](E& e) { return e.getHostTempoAt(1234); }, 0, 1234, false, 0, 7, 0, 0},
        {"getNumAutomatableParameters", 11, [](E& e) { return e.getNumAutomatableParameters(); }, 0, 0, false, 0, 7, 0, 0},
        {"getParameterQuantization", 12, [](E& e) { return e.getParameterQuantization(); }, 0, 0, false, 0, 7, 0, 0},
        {"ioChanged", 13, [](E& e) { return e.ioChanged(); }, 0, 0, false, 0, 1, 0, 0},
        {"needIdle", 14, [](E& e) { return e.needIdle(); }, 0, 0, false, 0, 1, 0, 0},
        {"sizeWindow", 15, [](E& e) { return e.sizeWindow(300, 200); }, 300, 200, false, 0, 1, 0, 0},
        {"getInputLatency", 18, [](E& e) { return e.getInputLatency(); }, 0, 0, false, 0, 7, 0, 0},
        {"getOutputLatency", 19, [](E& e) { return e.getOutputLatency(); }, 0, 0, false, 0, 7, 0, 0},
        {"getPreviousPlug", 20, [p](E& e) { return p(e.getPreviousPlug(4)); }, 0, 0, false, 0, 7, 0, 0},
        {"getNextPlug", 21, [p](E& e) { return p(e.getNextPlug(4)); }, 0, 0, false, 0, 7, 0, 0},
        {"willProcessReplacing", 22, [](E& e) { return e.willProcessReplacing(); }, 0, 0, false, 0, 7, 0, 0},
        {"getCurrentProcessLevel", 23, [](E& e) { return e.getCurrentProcessLevel(); }, 0, 0, false, 0, 7, 0, 0},
        {"getAutomationState", 24, [](E& e) { return e.getAutomationState(); }, 0, 0, false, 0, 7, 0, 0},
        {"offlineStart", 25, [](E& e) { return e.offlineStart(reinterpret_cast<VstAudioFile*>(gText), 3, 2); }, 2, 3, true, 0, 1, 0, 0},
        {"offlineRead", 26, [](E& e) { return e.offlineRead(reinterpret_cast<VstOfflineTask*>(gText), 5, true); }, 1, 5, true, 0, 1, 0, 0},
        {"offlineWrite", 27, [](E& e) { return e.offlineWrite(reinterpret_cast<VstOfflineTask*>(gText), 6); }, 0, 6, true, 0, 1, 0, 0},
        {"offlineGetCurrentPass", 28, [](E& e) { return e.offlineGetCurrentPass(); }, 0, 0, false, 0, 1, 0, 0},
        {"offlineGetCurrentMetaPass", 29, [](E& e) { return e.offlineGetCurrentMetaPass(); }, 0, 0, false, 0, 1, 0, 0},
        {"setOutputSampleRate", 30, [](E& e) { return e.setOutputSampleRate(48000.0f); }, 0, 0, false, 48000.0f, 7, 0, 0},
        {"getOutputSpeakerArrangement", 31, [p](E& e) { return p(e.getOutputSpeakerArrangement()); }, 0, 0, false, 0, 7, 0, 0},
        {"getHostVendorString", 32, [](E& e) { return e.getHostVendorString(gText); }, 0, 0, true, 0, 1, 0, 0},
        {"getHostProductString", 33, [](E& e) { return e.getHostProductString(gText); }, 0, 0, true, 0, 1, 0, 0},
        {"getHostVendorVersion", 34, [](E& e) { return e.getHostVendorVersion(); }, 0, 0, false, 0, 7, 0, 0},
        {"hostVendorSpecific", 35, [](E& e) { return e.hostVendorSpecific(11, 12, gText, 1.5f); }, 11, 12, true, 1.5f, 7, 0, 0},
        {"hostCanDo", 37, [](E& e) { return e.hostCanDo(gText); }, 0, 0, true, 0, 1, 0, 0},
        {"getHostLanguage", 38, [](E& e) { return e.getHostLanguage(); }, 0, 0, false, 0, 7, 0, 0},
        {"openWindow", 39, [p](E& e) { return p(e.openWindow(gText)); }, 0, 0, true, 0, 7, 0, 0},
        {"closeWindow", 40, [](E& e) { return e.closeWindow(gText); }, 0, 0, true, 0, 1, 0, 0},
        {"getDirectory", 41, [p](E& e) { return p(e.getDirectory()); }, 0, 0, false, 0, 7, 0, 0},
        {"updateDisplay", 42, [](E& e) { return e.updateDisplay(); }, 0, 0, false, 0, 1, 0, 0},
        {"beginEdit", 43, [](E& e) { return e.beginEdit(17); }, 17, 0, false, 0, 1, 0, 0},
        {"endEdit", 44, [](E& e) { return e.endEdit(17); }, 17, 0, false, 0, 1, 0, 0},
        {"openFileSelector", 45, [](E& e) { return e.openFileSelector(reinterpret_cast<VstFileSelect*>(gText)); }, 0, 0, true, 0, 1, 0, 0},
        {"getInputSpeakerArrangement", 49, [p](E& e) { return p(e.getInputSpeakerArrangement()); }, 0, 0, false, 0, 7, 0, 0},
    };
    return table;
}

TEST(HostServices, EachRequestCarriesItsArgumentsAndConvertsTheAnswer) {
    for (const Service& s : services()) {
        PlainEffect effect(recordingHost, 1, 1);
        gCalls.clear();
        gAnswer = 7;
        EXPECT_EQ(s.call(effect), s.answerFor7) << s.name;
        ASSERT_EQ(gCalls.size(), 1u) << s.name;
        const Call& c = gCalls[0];
        EXPECT_EQ(c.effect, effect.getAeffect()) << s.name;
        EXPECT_EQ(c.opcode, s.opcode) << s.name;
        EXPECT_EQ(c.index, s.index) << s.name;
        EXPECT_EQ(c.value, s.value) << s.name;
        EXPECT_EQ(c.ptr, s.passesPtr ? static_cast<void*>(gText) : nullptr) << s.name;
        EXPECT_EQ(c.opt, s.opt) << s.name;

        gAnswer = 0;
        EXPECT_EQ(s.call(effect), s.answerForZero) << s.name;

        PlainEffect alone(nullptr, 1, 1);
        EXPECT_EQ(s.call(alone), s.withoutHost) << s.name;
    }
}

TEST(HostServices, AutomationSetsFirstThenTellsTheHost) {
    PlainEffect effect(recordingHost, 1, 4);
    gCalls.clear();
    effect.setParameterAutomated(3, 0.25f);
    EXPECT_EQ(effect.lastSet, std::make_pair(3, 0.25f));
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].opcode, audioMasterAutomate);
    EXPECT_EQ(gCalls[0].index, 3);
    EXPECT_EQ(gCalls[0].opt, 0.25f);

    PlainEffect alone(nullptr, 1, 4);
    alone.setParameterAutomated(2, 0.5f);
    EXPECT_EQ(alone.lastSet, std::make_pair(2, 0.5f));
}

TEST(HostServices, IdleAndSampleRateAndBlockSize) {
    PlainEffect effect(recordingHost, 1, 1);
    gCalls.clear();
    effect.hostIdle();
    ASSERT_EQ(gCalls.size(), 1u);
    EXPECT_EQ(gCalls[0].opcode, audioMasterIdle);

    gAnswer = 96000;
    EXPECT_EQ(effect.updateSampleRate(), 96000.0f);
    gAnswer = 0;
    EXPECT_EQ(effect.updateSampleRate(), 96000.0f);
    gAnswer = -5;
    EXPECT_EQ(effect.updateSampleRate(), 96000.0f);
    gAnswer = 256;
    EXPECT_EQ(effect.updateBlockSize(), 256);
    gAnswer = -1;
    EXPECT_EQ(effect.updateBlockSize(), 256);
    EXPECT_EQ(gCalls.back().opcode, audioMasterGetBlockSize);

    PlainEffect alone(nullptr, 1, 1);
    EXPECT_EQ(alone.updateSampleRate(), 44100.0f);
    EXPECT_EQ(alone.updateBlockSize(), 1024);
    alone.hostIdle();
}

TEST(HostServices, NullFileSelectorSendsNothing) {
    PlainEffect effect(recordingHost, 1, 1);
    gCalls.clear();
    gAnswer = 1;
    EXPECT_FALSE(effect.openFileSelector(nullptr));
    EXPECT_TRUE(gCalls.empty());
}

TEST(BaseDefaults, FlagSettersAndRecordFields) {
    PlainEffect effect(nullptr, 3, 5);
    const AEffect& r = *effect.getAeffect();
    EXPECT_EQ(r.numInputs, 1);
    EXPECT_EQ(r.numOutputs, 2);
    EXPECT_EQ(r.uniqueID, 0x4E6F4566);
    EXPECT_EQ(r.flags, 0);
    struct Flag {
        void (EffectBaseExt::*set)(bool);
        std::int32_t bit;
    };
    const Flag flags[] = {{&EffectBase::setHasVu, 4},          {&EffectBase::setHasClip, 2},
                          {&EffectBase::setCanMono, 8},        {&EffectBase::setCanReplacing, 16},
                          {&EffectBase::setProgramsAreChunks, 32}, {&EffectBaseExt::setIsSynth, 256},
                          {&EffectBaseExt::setNoTail, 512},    {&EffectBaseExt::setWantAsyncOperation, 1024},
                          {&EffectBaseExt::setHasExternalBuffer, 2048}};
    for (const Flag& f : flags) {
        (effect.*f.set)(true);
        EXPECT_EQ(r.flags, f.bit);
        (effect.*f.set)(false);
        EXPECT_EQ(r.flags, 0);
    }
    effect.setIsSynth(true);
    EXPECT_EQ(effect.dispatch(effGetPlugCategory, 0, 0, nullptr, 0), 2);
    effect.setInitialDelay(64);
    effect.setRealtimeQualities(2);
    effect.setOfflineQualities(3);
    effect.setUniqueId(42);
    EXPECT_EQ(r.initialDelay, 64);
    EXPECT_EQ(r.realQualities, 2);
    EXPECT_EQ(r.offQualities, 3);
    EXPECT_EQ(r.uniqueID, 42);

    char text[16] = "x";
    effect.dispatch(effGetProgramName, 0, 0, text, 0);
    EXPECT_STREQ(text, "");
    std::strcpy(text, "x");
    effect.dispatch(effSetProgramName, 0, 0, text, 0);
    EXPECT_STREQ(text, "");
    effect.dispatch(effSetProgram, 0, 2, nullptr, 0);
    EXPECT_EQ(effect.dispatch(effGetProgram, 0, 0, nullptr, 0), 2);
    effect.dispatch(effSetProgram, 0, 3, nullptr, 0);
    EXPECT_EQ(effect.dispatch(effGetProgram, 0, 0, nullptr, 0), 2);
    effect.dispatch(effSetBlockSizeAndSampleRate, 0, 333, nullptr, 22050.0f);
    EXPECT_EQ(effect.getBlockSize(), 333);
    EXPECT_EQ(effect.getSampleRate(), 22050.0f);
    EXPECT_EQ(effect.dispatch(effGetVstVersion, 0, 0, nullptr, 0), 2300);
    EXPECT_EQ(effect.dispatch(effGetVendorVersion, 0, 0, nullptr, 0), 0);
    EXPECT_EQ(effect.dispatch(effGetEffectName, 0, 0, text, 0), 0);
}

TEST(Arrangements, AllocateMatchAndCopy) {
    PlainEffect effect(nullptr, 1, 1);
    VstSpeakerArrangement* from = nullptr;
    ASSERT_TRUE(effect.allocateArrangement(&from, 12));
    EXPECT_EQ(from->numChannels, 12);
    from->type = 7;
    VstSpeakerProperties* speakers = from->speakers;
    for (int i = 0; i < 12; ++i) {
        speakers[i].azimuth = static_cast<float>(i);
        speakers[i].type = 100 + i;
        std::snprintf(speakers[i].name, sizeof speakers[i].name, "speaker %d", i);
        speakers[i].future[27] = static_cast<char>(i);
    }
    VstSpeakerArrangement* to = nullptr;
    EXPECT_FALSE(effect.matchArrangement(&to, nullptr));
    ASSERT_TRUE(effect.matchArrangement(&to, from));
    EXPECT_EQ(to->type, 7);
    EXPECT_EQ(to->numChannels, 12);
    VstSpeakerProperties* copied = to->speakers;
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(copied[i].azimuth, static_cast<float>(i));
        EXPECT_EQ(copied[i].type, 100 + i);
        EXPECT_EQ(std::string(copied[i].name), "speaker " + std::to_string(i));
        EXPECT_EQ(copied[i].future[27], static_cast<char>(i));
    }
    EXPECT_FALSE(effect.copySpeaker(nullptr, copied));
    EXPECT_FALSE(effect.copySpeaker(copied, nullptr));
    EXPECT_TRUE(effect.deallocateArrangement(&to));
    EXPECT_EQ(to, nullptr);
    EXPECT_TRUE(effect.deallocateArrangement(&from));
    EXPECT_FALSE(effect.allocateArrangement(&from, -1));
    EXPECT_EQ(from, nullptr);
}

} // namespace
} // namespace tesk
