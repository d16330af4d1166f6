// TeskDelay.clap as a host meets it: the entry and factory, the ports, the
// parameters and their texts, the program choice, the host tempo, the state,
// and bad input at the boundary.
#include "clap_fixture.h"
#include "clap_params.h"
#include "clap_state.h"
#include "parameter_info.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

namespace tesk::test {
namespace {

clap_id id(ParamKind kind, int line = 0) {
    return static_cast<clap_id>(parameterIndex(kind, line));
}

TEST(ClapModule, EntryAndFactoryOfferOneDelay) {
    const claphost::Module& m = clapModule();
    EXPECT_GE(m.entry().clap_version.major, 1u);
    EXPECT_EQ(m.factory().get_plugin_count(&m.factory()), 1u);
    EXPECT_EQ(m.entry().get_factory("clap.no-such-factory"), nullptr);
    EXPECT_EQ(m.entry().get_factory(nullptr), nullptr);
    const clap_plugin_descriptor_t* d = m.descriptor(0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->name, "TeskDelay");
    std::vector<std::string> features;
    for (const char* const* f = d->features; *f != nullptr; ++f)
        features.emplace_back(*f);
    EXPECT_EQ(features, (std::vector<std::string>{"audio-effect", "delay", "stereo"}));
    EXPECT_EQ(m.descriptor(1), nullptr);

    claphost::HostState host;
    std::string error;
    EXPECT_FALSE(claphost::Instance::create(m, host, "org.example.other", error));
    EXPECT_EQ(m.factory().create_plugin(&m.factory(), nullptr, d->id), nullptr);
    EXPECT_EQ(m.factory().create_plugin(&m.factory(), host.host(), nullptr), nullptr);
}

TEST(ClapModule, OneStereoInputAndThreeStereoOutputs) {
    ClapPlugin p;
    const auto* ports = p->extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
    ASSERT_NE(ports, nullptr);
    ASSERT_EQ(ports->count(p->plugin(), true), 1u);
    ASSERT_EQ(ports->count(p->plugin(), false), 3u);
    const char* names[] = {"Main", "Out 2", "Out 3"};
    for (std::uint32_t i = 0; i < 3; ++i) {
        clap_audio_port_info_t info{};
        ASSERT_TRUE(ports->get(p->plugin(), i, false, &info));
        EXPECT_STREQ(info.name, names[i]);
        EXPECT_EQ(info.channel_count, 2u);
        EXPECT_STREQ(info.port_type, CLAP_PORT_STEREO);
        EXPECT_EQ(info.flags, i == 0 ? std::uint32_t{CLAP_AUDIO_PORT_IS_MAIN} : 0u);
        EXPECT_EQ(info.in_place_pair, CLAP_INVALID_ID);
    }
    clap_audio_port_info_t info{};
    ASSERT_TRUE(ports->get(p->plugin(), 0, true, &info));
    EXPECT_EQ(info.flags, std::uint32_t{CLAP_AUDIO_PORT_IS_MAIN});
    EXPECT_FALSE(ports->get(p->plugin(), 1, true, &info));
    EXPECT_FALSE(ports->get(p->plugin(), 3, false, &info));
    EXPECT_FALSE(ports->get(p->plugin(), 0, false, nullptr));
}

TEST(ClapModule, ParametersReadAndShowAsTheEngineHoldsThem) {
    ClapPlugin p;
    EXPECT_EQ(p->paramCount(), clapfmt::kNumClapParams);
    p.set({{id(ParamKind::CrossFrequency, 0), 0.3},
           {id(ParamKind::LowPassFrequency, 0), 0.5},
           {id(ParamKind::Tempo, 1), 88.0},
           {id(ParamKind::Pan, 2), 0.75},
           {id(ParamKind::DelayType, 2), 1.0}});
    EXPECT_EQ(*p->value(id(ParamKind::Tempo, 1)), 88.0);
    EXPECT_EQ(*p->valueText(id(ParamKind::Tempo, 1), 88.0), "88.0 bpm");
    EXPECT_EQ(*p->valueText(id(ParamKind::CrossFrequency, 0), 0.3), "1850.000 Hz");
    EXPECT_EQ(*p->valueText(id(ParamKind::LowPassFrequency, 0), 0.5), "925.0000 Hz");
    EXPECT_EQ(*p->valueText(id(ParamKind::Pan, 2), 0.75), "25 Right");
    EXPECT_EQ(*p->valueText(id(ParamKind::DelayType, 2), 1.0), "Recirculating");
    EXPECT_EQ(*p->valueText(id(ParamKind::IsDelayOn, 0), 1.0), "On");
    EXPECT_EQ(*p->textValue(id(ParamKind::LowPassFrequency, 0), "462.5 Hz"), 0.25);
    EXPECT_EQ(*p->valueText(clapfmt::kProgramParamId, 12.0), "Init");
    EXPECT_FALSE(p->value(61));
    EXPECT_FALSE(p->valueText(9999, 0.0));
    EXPECT_FALSE(p->valueText(0, std::nan("")));
    EXPECT_FALSE(p->textValue(0, "nothing"));
}

TEST(ClapModule, TextsFitTheHostsBuffer) {
    ClapPlugin p;
    const auto* params = p->extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    char tiny[4] = {'x', 'x', 'x', 'x'};
    ASSERT_TRUE(params->value_to_text(p->plugin(), id(ParamKind::Tempo), 120.0, tiny, 4));
    EXPECT_STREQ(tiny, "120");
    EXPECT_FALSE(params->value_to_text(p->plugin(), id(ParamKind::Tempo), 120.0, tiny, 0));
    EXPECT_FALSE(params->value_to_text(p->plugin(), id(ParamKind::Tempo), 120.0, nullptr, 8));
}

TEST(ClapModule, TheProgramChoiceLoadsAProgramAndAsksForARescan) {
    ClapPlugin p;
    ASSERT_TRUE(p->start(44100.0, 256));
    const auto left = noise(256, 9);
    p.render(left, left, 256, 0.0, [](int, int, claphost::InputEvents& e) {
        e.addParam(10, clapfmt::kProgramParamId, 3.0);
    });
    EXPECT_EQ(*p->value(clapfmt::kProgramParamId), 3.0);
    Plugin vst;
    vst->dispatch(effSetProgram, 0, 3);
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_EQ(*p->value(static_cast<clap_id>(i)), plainValue(i, vst->getParameter(i))) << i;
    EXPECT_EQ(p.host().callbackRequests, 1);
    p->plugin()->on_main_thread(p->plugin());
    EXPECT_EQ(p.host().rescans, std::vector<std::uint32_t>{CLAP_PARAM_RESCAN_VALUES});
}

std::vector<double> allValues(const ClapPlugin& p) {
    std::vector<double> values;
    for (std::uint32_t i = 0; i < p->paramCount(); ++i)
        values.push_back(*p->value(p->paramInfo(i)->id));
    return values;
}

// A synced line plays at the transport's tempo; the parameters the host keeps
// stay as the host set them, so nothing changes under the host and nothing
// needs telling. The echo of a click shows the tempo heard.
TEST(ClapModule, SyncedLinesPlayAtTheTransportTempoWithoutChangingTheHostsValues) {
    // Half a beat at the transport's tempo, a single echo of the click's mono sum,
    // at the exact length cut to whole frames.
    for (const auto& [bpm, echoAt] : {std::pair{100.0, 13230}, std::pair{141.5, 9349}}) {
        ClapPlugin p;
        ASSERT_TRUE(p->start(44100.0, 256));
        p.set({{id(ParamKind::VolumeThruInput), 0.0},
               {id(ParamKind::Tempo, 0), 96.0},
               {id(ParamKind::IsTempoSync, 0), 1.0},
               {id(ParamKind::TempoDen, 0), 1.0}}); // half a beat
        (void)p->takeSent();
        const std::vector<double> before = allValues(p);
        std::vector<float> click(44100, 0.0f);
        click[0] = 1.0f;
        const std::vector<float> silence(256, 0.0f);
        // A silent block first: the line's write head moves to the new tempo over it.
        p.render(silence, silence, 256, bpm);
        const Outputs heard = p.render(click, click, 256, bpm);
        EXPECT_EQ(allValues(p), before) << bpm;
        for (const claphost::SentEvent& e : p->takeSent())
            EXPECT_NE(e.type, CLAP_EVENT_PARAM_VALUE) << "nothing changed, nothing to tell";
        ASSERT_FALSE(nonZeroAt(heard[0]).empty());
        EXPECT_EQ(nonZeroAt(heard[0]).front(), echoAt) << bpm;
        // A free-running host (no transport) leaves the line at its own tempo.
        p.render(silence, silence, 256, 0.0);
        const Outputs own = p.render(click, click, 256, 0.0);
        ASSERT_FALSE(nonZeroAt(own[0]).empty());
        EXPECT_EQ(nonZeroAt(own[0]).front(), 13781); // 0.3125 s at 96 bpm
    }
}

TEST(ClapModule, StateLoadedIntoAFreshInstanceGivesTheSameOutput) {
    ClapPlugin first;
    first.set({{clapfmt::kProgramParamId, 4.0}});
    first.set({{id(ParamKind::FeedBack, 0), 0.77},
               {id(ParamKind::Tempo, 0), 171.3},
               {id(ParamKind::TempoDen, 0), 4.0},
               {id(ParamKind::IsDelayOn, 2), 1.0},
               {id(ParamKind::Input, 2), 1.0},
               {id(ParamKind::Output, 2), 2.0}});
    const auto saved = first->saveState(13); // a host that takes the bytes in small pieces
    ASSERT_TRUE(saved);
    ClapPlugin second;
    ASSERT_TRUE(second->loadState(*saved, 7));
    EXPECT_EQ(allValues(second), allValues(first));
    EXPECT_EQ(second.host().rescans, std::vector<std::uint32_t>{CLAP_PARAM_RESCAN_VALUES});

    ASSERT_TRUE(first->start(44100.0, 512));
    ASSERT_TRUE(second->start(44100.0, 512));
    const auto left = noise(30000, 11);
    const auto right = noise(30000, 12);
    const Outputs a = first.render(left, right, 512, 120.0);
    const Outputs b = second.render(left, right, 512, 120.0);
    for (int c = 0; c < 6; ++c)
        EXPECT_TRUE(a[c] == b[c]) << c;
}

TEST(ClapModule, ACorruptTruncatedOrEmptyStateIsRefusedAndChangesNothing) {
    ClapPlugin source;
    source.set({{id(ParamKind::Volume, 1), 0.9}, {clapfmt::kProgramParamId, 2.0}});
    const auto good = *source->saveState();

    ClapPlugin p;
    p.set({{id(ParamKind::Pan, 0), 0.1}});
    const auto before = allValues(p);
    const auto bytesBefore = *p->saveState();
    std::vector<std::vector<std::uint8_t>> bad{
        {}, {good.begin(), good.begin() + 10}, {good.begin(), good.end() - 1}};
    auto flipped = good;
    flipped[40] ^= 0x10;
    bad.push_back(flipped);
    auto longer = good;
    longer.push_back(0);
    bad.push_back(longer);
    for (const auto& bytes : bad) {
        EXPECT_FALSE(p->loadState(bytes)) << bytes.size();
        EXPECT_EQ(allValues(p), before);
        EXPECT_EQ(*p->saveState(), bytesBefore);
    }
    EXPECT_TRUE(p.host().rescans.empty());
}

TEST(ClapModule, BadCallsGetHarmlessAnswers) {
    ClapPlugin p;
    const clap_plugin_t* plugin = p->plugin();
    EXPECT_FALSE(plugin->init(plugin)); // once is enough
    EXPECT_FALSE(plugin->activate(plugin, 0.0, 1, 512));
    EXPECT_FALSE(plugin->activate(plugin, std::nan(""), 1, 512));
    EXPECT_FALSE(plugin->activate(plugin, 44100.0, 1, 0));
    EXPECT_EQ(plugin->process(plugin, nullptr), CLAP_PROCESS_ERROR); // not active
    EXPECT_EQ(plugin->get_extension(plugin, "clap.unknown"), nullptr);
    EXPECT_EQ(plugin->get_extension(plugin, nullptr), nullptr);
    const auto* state = p->extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    EXPECT_FALSE(state->load(plugin, nullptr));
    EXPECT_FALSE(state->save(plugin, nullptr));

    ASSERT_TRUE(p->start(44100.0, 256));
    std::vector<float> buffer(256, 0.25f);
    std::vector<float*> two{buffer.data(), buffer.data()};
    std::vector<float*> six(6, buffer.data());
    claphost::InputEvents events;
    // Too few output channels for the three ports: refused, nothing written.
    EXPECT_EQ(p->process(two, {buffer.data(), nullptr}, 256, events), CLAP_PROCESS_ERROR);
    // Events of other spaces, unknown ids, absurd values and times past the block pass harmlessly.
    events.addForeign(3, 7, CLAP_EVENT_PARAM_VALUE);
    events.addParam(5, 4242, 0.5);
    events.addParam(6, id(ParamKind::FeedBack), std::nan(""));
    events.addParam(9000, id(ParamKind::FeedBack), 0.25);
    std::vector<std::vector<float>> outs(6, std::vector<float>(256));
    std::vector<float*> outPointers;
    for (auto& o : outs)
        outPointers.push_back(o.data());
    EXPECT_EQ(p->process(two, outPointers, 256, events), CLAP_PROCESS_CONTINUE);
    EXPECT_EQ(*p->value(id(ParamKind::FeedBack)), 0.25);
}

TEST(ClapModule, OnceItsEchoesHaveDiedAwayASilentInstanceMaySleep) {
    ClapPlugin plugin;
    ASSERT_TRUE(plugin->start(44100.0, 1024));
    std::vector<float> silence(1024, 0.0f), sound(1024, 0.25f);
    std::vector<std::vector<float>> outs(6, std::vector<float>(1024));
    std::vector<float*> outPointers;
    for (auto& o : outs)
        outPointers.push_back(o.data());
    const claphost::InputEvents none;
    const auto block = [&](std::vector<float>& in) {
        return plugin->process({in.data(), in.data()}, outPointers, 1024, none);
    };
    EXPECT_EQ(block(sound), CLAP_PROCESS_CONTINUE);
    // Program 1's echo is gone after its delay; the memory is known silent a
    // buffer length (four seconds) later.
    int blocks = 0;
    while (block(silence) == CLAP_PROCESS_CONTINUE && blocks < 400)
        ++blocks;
    EXPECT_GE(blocks, 4 * 44100 / 1024);
    EXPECT_LT(blocks, 400) << "never quiet";
    for (const auto& o : outs)
        EXPECT_EQ(std::count(o.begin(), o.end(), 0.0f), 1024);
    EXPECT_EQ(block(sound), CLAP_PROCESS_CONTINUE);
}

} // namespace
} // namespace tesk::test

namespace tesk::test {
namespace {

// Under our test hosts (and in debug builds) the module stops the process when
// the host breaks CLAP's thread rules; hosts' own runs of a release build trust
// the host.
TEST(ClapThreadRules, CallsOnTheWrongThreadStopTheModule) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ClapPlugin p;
    const clap_plugin_t* plugin = p->plugin();
    EXPECT_DEATH(
        {
            claphost::AudioThreadScope audio;
            plugin->activate(plugin, 44100.0, 1, 512);
        },
        "activate called off the main thread");
    ASSERT_TRUE(p->start(44100.0, 512));
    const clap_process_t block{};
    EXPECT_DEATH(plugin->process(plugin, &block), "process called off the audio thread");
    EXPECT_DEATH(
        {
            claphost::AudioThreadScope audio;
            p->saveState();
        },
        "state.save called off the main thread");
}

} // namespace
} // namespace tesk::test
