// The bundle as a host meets it: the factory and its one class, one object
// answering as component, processor and controller, the buses and sample
// sizes it takes, every host object given back; and blocks no host should
// send, which must neither crash it nor change what it plays.
#include "vst3_fixture.h"

#include "parameter_info.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

namespace tesk::test {
namespace {

using namespace vst3host;

const Uid kClassId = make_uid(0x254309E7, 0xCE884E27, 0xBE62290F, 0xA63E3999);

TEST(Vst3Module, TheFactoryOffersOneDelayEffect) {
    const Module& module = vst3Module();
    IPluginFactory3* factory = module.factory3();
    ASSERT_NE(factory, nullptr) << "no IPluginFactory3";
    PFactoryInfo info{};
    ASSERT_EQ(factory->getFactoryInfo(&info), kResultOk);
    EXPECT_STREQ(info.vendor, "Velmora");
    EXPECT_NE(info.flags & PFactoryInfo::kUnicode, 0);
    ASSERT_EQ(factory->countClasses(), 1);

    PClassInfo2 second{};
    ASSERT_EQ(factory->getClassInfo2(0, &second), kResultOk);
    EXPECT_TRUE(uid_equal(second.cid, kClassId));
    EXPECT_STREQ(second.category, kVstAudioEffectClass);
    EXPECT_STREQ(second.name, "TeskDelay");
    EXPECT_STREQ(second.subCategories, "Fx|Delay");
    EXPECT_STREQ(second.vendor, "Velmora");
    PClassInfoW wide{};
    ASSERT_EQ(factory->getClassInfoUnicode(0, &wide), kResultOk);
    EXPECT_TRUE(uid_equal(wide.cid, kClassId));
    EXPECT_EQ(toUtf8(wide.name, PClassInfo::kNameSize), "TeskDelay");
    EXPECT_EQ(toUtf8(wide.vendor, PClassInfoW::kVendorSize), "Velmora");
    PClassInfo first{};
    EXPECT_NE(factory->getClassInfo(1, &first), kResultOk);

    // Another class, or an interface the class lacks, makes nothing.
    void* made = &made;
    EXPECT_NE(factory->createInstance(make_uid(1, 2, 3, 4), IComponent::iid, &made), kResultOk);
    EXPECT_EQ(made, nullptr);
    made = &made;
    EXPECT_NE(factory->createInstance(kClassId, make_uid(1, 2, 3, 4), &made), kResultOk);
    EXPECT_EQ(made, nullptr);
}

TEST(Vst3Module, TheModuleExportsOnlyItsThreeEntries) {
    std::string module;
    for (const auto& entry :
         std::filesystem::directory_iterator(std::string(vst3BundlePath()) + "/Contents"))
        if (entry.path().filename().string().ends_with("-linux"))
            module = (entry.path() / "TeskDelay.so").string();
    ASSERT_FALSE(module.empty()) << "no module for a Linux processor in the bundle";
    FILE* pipe = popen(("nm -D --defined-only '" + module + "'").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::vector<std::string> symbols;
    char line[512];
    while (std::fgets(line, sizeof line, pipe) != nullptr) {
        std::string text = line;
        text.erase(text.find_last_not_of('\n') + 1);
        symbols.push_back(text.substr(text.find_last_of(' ') + 1));
    }
    ASSERT_EQ(pclose(pipe), 0);
    std::sort(symbols.begin(), symbols.end());
    EXPECT_EQ(symbols, (std::vector<std::string>{"GetPluginFactory", "ModuleEntry", "ModuleExit"}));
}

TEST(Vst3Module, OneObjectAnswersAsComponentProcessorAndController) {
    Vst3Plugin plugin;
    TUID controllerClass{};
    EXPECT_EQ(plugin->component()->getControllerClassId(controllerClass), kResultFalse);
    const auto identity = queryAs<FUnknown>(plugin->component());
    ASSERT_TRUE(identity);
    EXPECT_EQ(queryAs<FUnknown>(plugin->processor()).get(), identity.get());
    EXPECT_EQ(queryAs<FUnknown>(plugin->controller()).get(), identity.get());
    EXPECT_EQ(queryAs<FUnknown>(plugin->units()).get(), identity.get());
    void* none = &none;
    EXPECT_EQ(plugin->component()->queryInterface(make_uid(1, 2, 3, 4), &none), kNoInterface);
    EXPECT_EQ(none, nullptr);
}

TEST(Vst3Module, StereoBusesWithTwoAuxOutputsIn32BitFloat) {
    Vst3Plugin plugin;
    IComponent* component = plugin->component();
    IAudioProcessor* processor = plugin->processor();
    ASSERT_EQ(component->getBusCount(kAudio, kInput), 1);
    ASSERT_EQ(component->getBusCount(kAudio, kOutput), 3);
    EXPECT_EQ(component->getBusCount(kEvent, kInput), 0);
    EXPECT_EQ(component->getBusCount(kEvent, kOutput), 0);
    struct Expected {
        BusDirection direction;
        int32 index;
        const char* name;
        BusType type;
        bool defaultActive;
    };
    for (const Expected& e :
         {Expected{kInput, 0, "Input", kMain, true}, Expected{kOutput, 0, "Main", kMain, true},
          Expected{kOutput, 1, "Out 2", kAux, false}, Expected{kOutput, 2, "Out 3", kAux, false}}) {
        BusInfo bus{};
        ASSERT_EQ(component->getBusInfo(kAudio, e.direction, e.index, bus), kResultOk) << e.name;
        EXPECT_EQ(toUtf8(bus.name), e.name);
        EXPECT_EQ(bus.mediaType, kAudio);
        EXPECT_EQ(bus.direction, e.direction);
        EXPECT_EQ(bus.channelCount, 2) << e.name;
        EXPECT_EQ(bus.busType, e.type) << e.name;
        EXPECT_EQ((bus.flags & BusInfo::kDefaultActive) != 0, e.defaultActive) << e.name;
    }
    BusInfo past{};
    EXPECT_NE(component->getBusInfo(kAudio, kOutput, 3, past), kResultOk);

    SpeakerArrangement mono[1] = {SpeakerArr::kMono};
    SpeakerArrangement stereo[3] = {SpeakerArr::kStereo, SpeakerArr::kStereo, SpeakerArr::kStereo};
    EXPECT_NE(processor->setBusArrangements(mono, 1, stereo, 3), kResultOk);
    EXPECT_NE(processor->setBusArrangements(stereo, 1, mono, 1), kResultOk);
    EXPECT_EQ(processor->setBusArrangements(stereo, 1, stereo, 3), kResultOk);
    for (int32 bus = 0; bus < 3; ++bus) {
        SpeakerArrangement arrangement = 0;
        ASSERT_EQ(processor->getBusArrangement(kOutput, bus, arrangement), kResultOk);
        EXPECT_EQ(arrangement, SpeakerArr::kStereo);
    }

    EXPECT_EQ(processor->canProcessSampleSize(kSample32), kResultOk);
    EXPECT_EQ(processor->canProcessSampleSize(kSample64), kResultFalse);
    std::string error;
    EXPECT_FALSE(plugin->start(44100.0, 512, true, error, kSample64)) << "64-bit accepted";
}

// Whatever the plug-in took of the host's objects it gives back: the
// context, the handler, a state stream and a block's parameter changes.
TEST(Vst3Module, EveryHostObjectIsGivenBack) {
    Ref<HostApplication> context;
    Ref<ComponentHandler> handler;
    auto stream = MemoryStream::make();
    {
        Vst3Plugin plugin(44100.0, 64);
        context = Ref<HostApplication>::share(&plugin->application());
        handler = Ref<ComponentHandler>::share(&plugin->handler());
        plugin.apply({{kProgramId, 3, 0.5}, {0, 7, 0.25}});
        ASSERT_EQ(plugin->component()->getState(stream.get()), kResultOk);
        EXPECT_EQ(stream->references(), 1u);
        auto again = MemoryStream::make(stream->bytes());
        ASSERT_EQ(plugin->component()->setState(again.get()), kResultOk);
        EXPECT_EQ(again->references(), 1u);
    }
    EXPECT_EQ(context->references(), 1u);
    EXPECT_EQ(handler->references(), 1u);
}

// Calls that must change nothing: no buffers, no samples, a negative count,
// and changes of ids we lack, of the read-only tempos, non-finite values and
// empty queues. Afterwards the abused instance plays what a clean one plays.
TEST(Vst3Process, BadBlocksChangeNothing) {
    Vst3Plugin abused(44100.0, 512);
    Vst3Plugin clean(44100.0, 512);
    IAudioProcessor* processor = abused->processor();

    auto changes = ParameterChanges::make();
    std::vector<ParamPoint> absurd{{61, 0, 0.5},   {999, 0, 0.5},        {1006, 0, 0.5},
                                   {4242, 0, 1.0}, {kNoParamId, 0, 0.5}, {kMaxParamId, 0, 0.5}};
    for (ParamID line = 0; line < kNumLines; ++line)
        absurd.push_back({kTempoInUseId + line, 0, 0.75});
    for (ParamID pid = 0; pid < kNumParameters; ++pid)
        absurd.push_back({pid, 0, pid % 2 == 0 ? std::nan("") : INFINITY});
    absurd.push_back({kProgramId, 0, std::nan("")});
    absurd.push_back({kBypassId, 0, -INFINITY});
    changes->set(absurd);
    auto empty = ParameterChanges::make();
    int32 index = 0;
    empty->addParameterData(parameterIndex(ParamKind::Pan, 0), index); // a queue with no point

    std::vector<float> buffer(512, 0.25f);
    float* channels[2] = {buffer.data(), buffer.data()};
    float* noChannels[2] = {nullptr, nullptr};
    auto block = [&](int32 frames, int32 inputs, int32 outputs, bool withBuffers, float** chans,
                     IParameterChanges* in) {
        AudioBusBuffers inBus{2, 0, {chans}};
        AudioBusBuffers outBus[3] = {{2, 0, {chans}}, {2, 0, {chans}}, {2, 0, {chans}}};
        ProcessData data{};
        data.processMode = kRealtime;
        data.symbolicSampleSize = kSample32;
        data.numSamples = frames;
        data.numInputs = inputs;
        data.numOutputs = outputs;
        data.inputs = withBuffers ? &inBus : nullptr;
        data.outputs = withBuffers ? outBus : nullptr;
        data.inputParameterChanges = in;
        processor->process(data);
    };
    block(0, 0, 0, false, nullptr, nullptr);
    block(0, 0, 0, false, nullptr, changes.get());
    block(0, 1, 3, true, channels, changes.get());
    block(0, 1, 3, true, channels, empty.get());
    block(64, 0, 0, false, nullptr, nullptr);
    block(64, 1, 3, false, nullptr, nullptr);
    block(64, 1, 3, true, nullptr, nullptr);
    block(64, 1, 3, true, noChannels, nullptr);
    block(-64, 1, 3, true, channels, nullptr);

    const auto left = impulseThenPhrase(30000, 44100.0, 0, 7);
    const auto right = impulseThenPhrase(30000, 44100.0, 0, 8);
    const Outputs expected = clean.render(left, right, 512, 120.0);
    const Outputs got = abused.render(left, right, 512, 120.0);
    EXPECT_GT(energy(expected[0]), 1.0);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(firstDifference(expected[static_cast<std::size_t>(c)],
                                  got[static_cast<std::size_t>(c)]),
                  -1)
            << "channel " << c;
    for (int position = 0; position < kNumVst3Params; ++position) {
        const ParamID pid = clean->parameterInfo(position)->id;
        EXPECT_EQ(abused->normalized(pid), clean->normalized(pid)) << "id " << pid;
    }
}

// Values past either end, offsets outside the block or out of order, a
// queue full of points, a block longer than the set-up maximum, a 64-bit
// block: all taken or refused, none heard as anything but finite samples, and
// every value stays normalized.
TEST(Vst3Process, AbsurdChangesAndBlocksAreSurvived) {
    Vst3Plugin plugin(44100.0, 512);
    std::vector<ParamPoint> wild;
    for (ParamID pid = 0; pid < kNumParameters; ++pid) {
        wild.push_back({pid, 300, pid % 3 == 0 ? -1.0 : 2.0});
        wild.push_back({pid, -5, 1e30});
        wild.push_back({pid, 100000, 0.5});
    }
    wild.push_back({kProgramId, 10, 7.5});
    wild.push_back({kProgramId, 0, -3.0});
    wild.push_back({kBypassId, 20, 0.75});
    for (int32 k = 0; k < ParamValueQueue::kCapacity - 2; ++k)
        wild.push_back(
            {static_cast<ParamID>(parameterIndex(ParamKind::Pan, 0)), k % 600, (k % 11) / 10.0});
    const auto phrase = noise(4096, 9);
    const Outputs out =
        plugin.render(phrase, phrase, 512, 120.0, [&](int start, int, auto& points) {
            if (start == 0 || start == 1024) points = wild;
        });
    for (const auto& channel : out)
        for (float s : channel)
            ASSERT_TRUE(std::isfinite(s));
    for (int position = 0; position < kNumVst3Params; ++position) {
        const ParamID pid = plugin->parameterInfo(position)->id;
        const double v = plugin->normalized(pid);
        EXPECT_TRUE(v >= 0.0 && v <= 1.0) << "id " << pid << " holds " << v;
    }

    // A block past the maximum set up, and a block of doubles.
    std::vector<float> longBuffer(4096, 0.1f);
    float* channels[2] = {longBuffer.data(), longBuffer.data()};
    AudioBusBuffers inBus{2, 0, {channels}};
    AudioBusBuffers outBus[3] = {{2, 0, {channels}}, {2, 0, {channels}}, {2, 0, {channels}}};
    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = 4096;
    data.numInputs = 1;
    data.numOutputs = 3;
    data.inputs = &inBus;
    data.outputs = outBus;
    plugin->processor()->process(data);
    data.numSamples = 256;
    data.symbolicSampleSize = kSample64;
    EXPECT_NE(plugin->processor()->process(data), kResultOk) << "a block of doubles taken";
    for (float s : longBuffer)
        ASSERT_TRUE(std::isfinite(s));
}

} // namespace
} // namespace tesk::test
