// The LV2 plug-in as lilv loads it: its exact port list, the same audio as the
// VST 2 module sample for sample, the host's tempo through time:Position, the
// presets, and harmless answers to bad input.
#include "factory_presets.h"
#include "lv2_test_host.h"
#include "plugin_fixture.h"

#include "lv2_ports.h"
#include "parameters.h"
#include "programs.h"

#include <lv2/core/lv2.h>
#include <lv2/port-groups/port-groups.h>
#include <lv2/presets/presets.h>
#include <lv2/units/units.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tesk::test {
namespace {

int idx(ParamKind kind, int line = 0) {
    return parameterIndex(kind, line);
}

std::string nodeText(const LilvNode* node) {
    return node != nullptr ? lilv_node_as_string(node) : "";
}

// A deterministic test signal: a few impulses of different heights over a quiet noise.
std::vector<float> signal(int frames, unsigned seed) {
    std::vector<float> s(static_cast<std::size_t>(frames));
    unsigned x = seed;
    for (float& v : s) {
        x = x * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int>(x >> 9) - (1 << 22)) / static_cast<float>(1 << 26);
    }
    for (int k = 0; k < frames; k += 9001)
        s[static_cast<std::size_t>(k)] = 0.9f;
    return s;
}

// The VST 2 module's parameter values become the LV2 instance's control ports.
void copyControls(const Plugin& vst, Lv2Instance& lv2) {
    for (int i = 0; i < kNumParameters; ++i)
        lv2.control(i) = lv2::portValueOf(i, vst->getParameter(i));
}

bool sameSamples(const std::vector<float>& a, const std::vector<float>& b, int& firstDifference) {
    for (std::size_t k = 0; k < a.size(); ++k)
        if (std::memcmp(&a[k], &b[k], sizeof(float)) != 0) {
            firstDifference = static_cast<int>(k);
            return false;
        }
    return true;
}

void expectSameOutputs(const Outputs& vst, const Lv2Outputs& lv2, const std::string& what) {
    for (int c = 0; c < 6; ++c) {
        int at = -1;
        EXPECT_TRUE(sameSamples(vst[c], lv2[c], at))
            << what << ": channel " << c << " differs first at frame " << at;
    }
}

/// One worked example: a program and the values set on top of it.
struct Scenario {
    const char* name;
    int program;
    std::vector<std::pair<int, float>> values;
};

std::vector<Scenario> scenarios() {
    return {
        {"recirculating line 1",
         12,
         {{idx(ParamKind::Tempo), 120.0f},
          {idx(ParamKind::FeedBack), 0.5f},
          {idx(ParamKind::DelayType), 1.0f},
          {idx(ParamKind::VolumeThruInput), 0.0f}}},
        {"single echo", 12, {{idx(ParamKind::FeedBack), 0.5f}, {idx(ParamKind::DelayType), 0.0f}}},
        {"all four lines, chained, routed to the three pairs",
         12,
         {{idx(ParamKind::IsDelayOn, 1), 1.0f},
          {idx(ParamKind::IsDelayOn, 2), 1.0f},
          {idx(ParamKind::IsDelayOn, 3), 1.0f},
          {idx(ParamKind::Input, 1), 0.1f},
          {idx(ParamKind::Input, 2), 0.2f},
          {idx(ParamKind::Input, 3), 0.1f},
          {idx(ParamKind::Output, 1), 0.1f},
          {idx(ParamKind::Output, 2), 0.2f},
          {idx(ParamKind::Output, 3), 0.1f},
          {idx(ParamKind::Pan, 2), 0.2f},
          {idx(ParamKind::Tempo, 1), 133.0f},
          {idx(ParamKind::TempoDen, 2), 0.3f},
          {idx(ParamKind::TempoNum, 3), 0.2f},
          {idx(ParamKind::FeedBack, 1), 0.7f}}},
        {"filters and saturation",
         12,
         {{idx(ParamKind::IsDelayOn, 1), 1.0f},
          {idx(ParamKind::LowPassFrequency), 0.3f},
          {idx(ParamKind::HighPassFrequency), 0.4f},
          {idx(ParamKind::CrossFrequency), 0.6f},
          {idx(ParamKind::Saturation), 0.8f},
          {idx(ParamKind::Saturation, 1), 0.35f},
          {idx(ParamKind::LowPassFrequency, 1), 0.1f},
          {idx(ParamKind::FeedBack), 0.9f}}},
        {"factory ping pong", 8, {}},
        {"factory low fi echo", 10, {}},
    };
}

class Lv2PluginTest : public ::testing::Test {
  protected:
    static Lv2World& world() {
        static Lv2World shared;
        return shared;
    }
};

// The first value lilv knows of `property` on port `p`, as text; empty when there is none.
std::string portValue(LilvWorld* w, const LilvPlugin* plugin, std::uint32_t p,
                      const char* property) {
    LilvNode* predicate = lilv_new_uri(w, property);
    LilvNodes* values =
        lilv_port_get_value(plugin, lilv_plugin_get_port_by_index(plugin, p), predicate);
    std::string text = values != nullptr && lilv_nodes_size(values) > 0
                           ? lilv_node_as_string(lilv_nodes_get_first(values))
                           : "";
    lilv_nodes_free(values);
    lilv_node_free(predicate);
    return text;
}

TEST_F(Lv2PluginTest, EveryPortIsNamedExplainedAndGrouped) {
    const LilvPlugin* plugin = world().plugin();
    ASSERT_NE(plugin, nullptr);
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), 75u);
    ASSERT_EQ(lilv_plugin_get_num_ports(plugin), lv2::kNumPorts);
    for (std::uint32_t p = 0; p < lv2::kNumPorts; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        LilvNode* name = lilv_port_get_name(plugin, port);
        const std::string symbol = nodeText(lilv_port_get_symbol(plugin, port));
        // Readable: not the symbol (a host shows the name in its controls).
        EXPECT_NE(nodeText(name), symbol) << p;
        lilv_node_free(name);
        EXPECT_GT(portValue(world().world(), plugin, p, LILV_NS_RDFS "comment").size(), 20u)
            << symbol;
        EXPECT_NE(portValue(world().world(), plugin, p, LV2_PORT_GROUPS__group), "") << symbol;
    }
    const auto nameOf = [&](std::uint32_t p) {
        LilvNode* name = lilv_port_get_name(plugin, lilv_plugin_get_port_by_index(plugin, p));
        const std::string text = nodeText(name);
        lilv_node_free(name);
        return text;
    };
    const std::string audio[] = {"Input left", "Input right", "Main left",  "Main right",
                                 "Out 2 left", "Out 2 right", "Out 3 left", "Out 3 right"};
    for (std::uint32_t p = 0; p < 8; ++p)
        EXPECT_EQ(nameOf(p), audio[p]);
    EXPECT_EQ(nameOf(lv2::controlPortOf(idx(ParamKind::FeedBack))), "Delay 1 Feedback");
    // LowPassFrequency sets the high-pass stage: its name says so; its symbol, which
    // saved sessions name, stays.
    EXPECT_EQ(nameOf(lv2::controlPortOf(idx(ParamKind::LowPassFrequency, 2))), "Delay 3 High-pass");
    EXPECT_EQ(portValue(world().world(), plugin,
                        lv2::controlPortOf(idx(ParamKind::LowPassFrequency, 2)), LV2_CORE__symbol),
              "LowPassFrequency3");
    EXPECT_EQ(nameOf(lv2::controlPortOf(idx(ParamKind::VolumeThruInput))), "Dry level");
    EXPECT_EQ(nameOf(lv2::controlPortOf(idx(ParamKind::TempoDen, 3))),
              "Delay 4 Note length denominator");
    EXPECT_EQ(nameOf(lv2::tempoInUsePortOf(1)), "Delay 2 Tempo in use");
    EXPECT_EQ(nameOf(lv2::kEnabledPort), "Enabled");
    EXPECT_EQ(portValue(world().world(), plugin, lv2::kEnabledPort, LV2_CORE__designation),
              LV2_CORE__enabled);
    EXPECT_EQ(portValue(world().world(), plugin, lv2::controlPortOf(idx(ParamKind::Volume, 1)),
                        LV2_UNITS__unit),
              LV2_UNITS__coef);
    EXPECT_EQ(portValue(world().world(), plugin, lv2::controlPortOf(idx(ParamKind::Tempo, 1)),
                        LV2_UNITS__unit),
              LV2_UNITS__bpm);
    EXPECT_EQ(portValue(world().world(), plugin, lv2::tempoInUsePortOf(3), LV2_UNITS__unit),
              LV2_UNITS__bpm);
    // The lines' controls sit in one group each, the dry level in the mix.
    EXPECT_EQ(portValue(world().world(), plugin, lv2::controlPortOf(idx(ParamKind::Pan, 2)),
                        LV2_PORT_GROUPS__group),
              std::string(lv2::kPluginUri) + "#delay3");
    EXPECT_EQ(portValue(world().world(), plugin,
                        lv2::controlPortOf(idx(ParamKind::VolumeThruInput)),
                        LV2_PORT_GROUPS__group),
              std::string(lv2::kPluginUri) + "#mix");
}

TEST_F(Lv2PluginTest, TheMainPairIsTheMainOutputAndTheOthersAreExtraPairs) {
    const LilvPlugin* plugin = world().plugin();
    ASSERT_NE(plugin, nullptr);
    LilvNode* mainOutput = lilv_new_uri(world().world(), LV2_PORT_GROUPS__mainOutput);
    LilvNodes* main = lilv_plugin_get_value(plugin, mainOutput);
    ASSERT_EQ(lilv_nodes_size(main), 1u);
    const std::string mainGroup = lilv_node_as_string(lilv_nodes_get_first(main));
    lilv_nodes_free(main);
    lilv_node_free(mainOutput);
    EXPECT_EQ(mainGroup, std::string(lv2::kPluginUri) + "#main");
    const std::pair<const char*, const char*> roles[] = {
        {"#main", LV2_PORT_GROUPS__left}, {"#main", LV2_PORT_GROUPS__right},
        {"#out2", LV2_PORT_GROUPS__left}, {"#out2", LV2_PORT_GROUPS__right},
        {"#out3", LV2_PORT_GROUPS__left}, {"#out3", LV2_PORT_GROUPS__right}};
    for (std::uint32_t c = 0; c < 6; ++c) {
        const std::uint32_t p = lv2::kFirstOutputPort + c;
        EXPECT_EQ(portValue(world().world(), plugin, p, LV2_PORT_GROUPS__group),
                  std::string(lv2::kPluginUri) + roles[c].first);
        EXPECT_EQ(portValue(world().world(), plugin, p, LV2_CORE__designation), roles[c].second);
    }
}

TEST_F(Lv2PluginTest, ControlsHoldTheEnginesRangesDefaultsAndKinds) {
    const LilvPlugin* plugin = world().plugin();
    ASSERT_NE(plugin, nullptr);
    Plugin vst;
    LilvWorld* w = world().world();
    LilvNode* control = lilv_new_uri(w, LV2_CORE__ControlPort);
    LilvNode* input = lilv_new_uri(w, LV2_CORE__InputPort);
    LilvNode* toggled = lilv_new_uri(w, LV2_CORE__toggled);
    LilvNode* enumeration = lilv_new_uri(w, LV2_CORE__enumeration);
    std::vector<float> minimum(lv2::kNumPorts), maximum(lv2::kNumPorts), defaults(lv2::kNumPorts);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
    for (int i = 0; i < kNumParameters; ++i) {
        const std::uint32_t p = lv2::controlPortOf(i);
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        EXPECT_TRUE(lilv_port_is_a(plugin, port, control) && lilv_port_is_a(plugin, port, input));
        EXPECT_EQ(nodeText(lilv_port_get_symbol(plugin, port)), vst->parameterName(i));
        ParamRef ref{};
        splitParameterIndex(i, ref);
        const bool tempo = ref.kind == ParamKind::Tempo;
        EXPECT_EQ(minimum[p], tempo ? 48.0f : 0.0f) << i;
        EXPECT_EQ(maximum[p], tempo ? 999.0f : 1.0f) << i;
        const bool isSwitch =
            ref.kind == ParamKind::IsDelayOn || ref.kind == ParamKind::IsTempoSync;
        EXPECT_EQ(lilv_port_has_property(plugin, port, toggled), isSwitch) << i;
        const bool enumerated = ref.kind == ParamKind::Input || ref.kind == ParamKind::Output ||
                                ref.kind == ParamKind::DelayType ||
                                ref.kind == ParamKind::TempoNum || ref.kind == ParamKind::TempoDen;
        EXPECT_EQ(lilv_port_has_property(plugin, port, enumeration), enumerated) << i;
    }
    EXPECT_TRUE(lilv_port_has_property(
        plugin, lilv_plugin_get_port_by_index(plugin, lv2::kEnabledPort), toggled));
    EXPECT_EQ(defaults[lv2::kEnabledPort], 1.0f);
    // Defaults are program 0, as the VST 2 module starts (before any host tempo).
    Plugin noTempo([](vsthost::HostState& host) { host.provideTime = false; });
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_EQ(defaults[lv2::controlPortOf(i)], lv2::portValueOf(i, noTempo->getParameter(i)))
            << vst->parameterName(i);
    for (LilvNode* node : {control, input, toggled, enumeration})
        lilv_node_free(node);
}

// Choices read as the editor shows them, each at the value that selects it.
TEST_F(Lv2PluginTest, ScalePointsAreTheEditorsLabels) {
    const LilvPlugin* plugin = world().plugin();
    ASSERT_NE(plugin, nullptr);
    const std::pair<int, std::vector<std::string>> expected[] = {
        {idx(ParamKind::TempoDen, 0), {"1", "2", "3", "4", "6", "8", "16", "32", "64"}},
        {idx(ParamKind::TempoNum, 1), {"1", "2", "3", "4"}},
        {idx(ParamKind::Output, 2), {"1", "2", "3"}},
        {idx(ParamKind::DelayType, 3), {"Single", "Recirculating"}},
        {idx(ParamKind::Input, 3), {"Main", "D1", "D2", "D3"}},
        // A line hears only lower-numbered lines.
        {idx(ParamKind::Input, 1), {"Main", "D1"}},
        {idx(ParamKind::Input, 0), {"Main"}}};
    Plugin vst;
    vst->dispatch(effSetProgram, 0, 3); // every line on, so that every source can be chosen
    for (const auto& [index, labels] : expected) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, lv2::controlPortOf(index));
        LilvScalePoints* points = lilv_port_get_scale_points(plugin, port);
        std::map<float, std::string> byValue;
        LILV_FOREACH(scale_points, i, points) {
            const LilvScalePoint* point = lilv_scale_points_get(points, i);
            byValue[lilv_node_as_float(lilv_scale_point_get_value(point))] =
                lilv_node_as_string(lilv_scale_point_get_label(point));
        }
        lilv_scale_points_free(points);
        std::vector<std::string> seen;
        int position = 0;
        for (const auto& [value, label] : byValue) {
            seen.push_back(label);
            // The point's value selects that position in the engine, whose VST 2
            // text counts sources from 0, pairs from 0, types from 1 and shows
            // the note length's number itself.
            vst->setParameter(index, value);
            const double shown = std::stod(vst->parameterDisplay(index));
            ParamRef ref{};
            splitParameterIndex(index, ref);
            const double expectedShown =
                ref.kind == ParamKind::TempoNum || ref.kind == ParamKind::TempoDen
                    ? std::stod(label)
                    : position + (ref.kind == ParamKind::DelayType ? 1 : 0);
            EXPECT_EQ(shown, expectedShown) << vst->parameterName(index) << " " << label;
            ++position;
        }
        EXPECT_EQ(seen, labels) << vst->parameterName(index);
    }
}

TEST_F(Lv2PluginTest, RendersSampleForSampleAsTheVst2Module) {
    const std::vector<float> left = signal(3 * 44100, 1), right = signal(3 * 44100, 2);
    for (const Scenario& s : scenarios()) {
        for (int block : {1, 5, 1023, 4096}) {
            Plugin vst;
            vst->start(44100.0, block);
            vst->dispatch(effSetProgram, 0, s.program);
            for (auto [index, value] : s.values)
                vst->setParameter(index, value);
            auto lv2 = Lv2Instance::create(world(), 44100.0);
            ASSERT_NE(lv2, nullptr);
            copyControls(vst, *lv2);
            lv2->sendTempo(static_cast<float>(vst.host().timeInfo.tempo));
            // A block of silence first: a VST 2 line that a program took off the host's
            // tempo moves back to it during its first block, an LV2 line hears it at once.
            const std::vector<float> silence(static_cast<std::size_t>(block), 0.0f);
            vst.render(silence, silence, block);
            lv2->render(silence, silence, block);
            const Outputs expected = vst.render(left, right, block);
            expectSameOutputs(expected, lv2->render(left, right, block),
                              std::string(s.name) + ", blocks of " + std::to_string(block));
        }
    }
}

TEST_F(Lv2PluginTest, SyncedLinesFollowTheHostTempoAsInTheVst2Module) {
    const std::vector<float> left = signal(2 * 44100, 3), right = signal(2 * 44100, 4);
    const int block = 512;
    const auto tempoAt = [](int k) { return k < 40 ? 140.0f : 97.5f; };
    Plugin vst([&](vsthost::HostState& host) { host.timeInfo.tempo = tempoAt(0); });
    vst->start(44100.0, block);
    vst->dispatch(effSetProgram, 0, 12);
    vst->setParameter(idx(ParamKind::IsTempoSync), 1.0f);
    vst->setParameter(idx(ParamKind::FeedBack), 0.6f);
    auto lv2 = Lv2Instance::create(world(), 44100.0);
    ASSERT_NE(lv2, nullptr);
    copyControls(vst, *lv2);
    lv2->control(idx(ParamKind::Tempo)) = 60.0f; // the host tempo must win on a synced line
    vst->setParameter(idx(ParamKind::Tempo), 60.0f);
    // A block of silence first: the VST 2 line moves from 60 to the host's 140
    // during its first block, the LV2 line hears 140 at once.
    const std::vector<float> silence(block, 0.0f);
    vst.render(silence, silence, block);
    lv2->sendTempo(tempoAt(0));
    lv2->render(silence, silence, block);

    Outputs expected;
    for (auto& channel : expected)
        channel.assign(left.size(), 0.0f);
    std::vector<float> inL = left, inR = right;
    for (int start = 0, k = 0; start < static_cast<int>(left.size()); start += block, ++k) {
        vst.host().timeInfo.tempo = tempoAt(k);
        float* inputs[2] = {inL.data() + start, inR.data() + start};
        float* outputs[6];
        for (int c = 0; c < 6; ++c)
            outputs[c] = expected[c].data() + start;
        vst->processReplacing(inputs, outputs,
                              std::min(block, static_cast<int>(left.size()) - start));
    }
    int sent = -1;
    const Lv2Outputs got = lv2->render(left, right, block, [&](int k) {
        // Hosts send a position when the transport changes, not every block.
        if (sent < 0 || tempoAt(k) != tempoAt(sent)) lv2->sendTempo(tempoAt(k)), sent = k;
    });
    expectSameOutputs(expected, got, "tempo 140 then 97.5");
    EXPECT_FLOAT_EQ(vst->getParameter(idx(ParamKind::Tempo)), tempoToInterface(97.5f));
}

// The tempo each line plays at goes out on its own port after every run: the
// host's for a synced line that runs, the line's own otherwise; the Tempo
// ports the host keeps are not the plug-in's to change.
TEST_F(Lv2PluginTest, EachLineReportsTheTempoItPlaysAt) {
    auto lv2 = Lv2Instance::create(world(), 44100.0);
    ASSERT_NE(lv2, nullptr);
    lv2->control(idx(ParamKind::IsDelayOn, 1)) = 1.0f;
    lv2->control(idx(ParamKind::IsTempoSync, 1)) = 0.0f;
    lv2->control(idx(ParamKind::Tempo, 1)) = 77.0f;
    const std::vector<float> silence(512, 0.0f);
    lv2->render(silence, silence, 256);
    EXPECT_EQ(lv2->tempoInUse(0), 88.0f) << "no transport yet: its own";
    lv2->sendTempo(100.0f);
    lv2->render(silence, silence, 256);
    EXPECT_EQ(lv2->tempoInUse(0), 100.0f) << "synced";
    EXPECT_EQ(lv2->tempoInUse(1), 77.0f) << "not synced";
    EXPECT_EQ(lv2->tempoInUse(2), 120.0f) << "synced, but switched off";
    EXPECT_EQ(lv2->control(idx(ParamKind::Tempo, 0)), 88.0f);
    lv2->control(idx(ParamKind::IsTempoSync, 0)) = 0.0f;
    lv2->render(silence, silence, 256);
    EXPECT_EQ(lv2->tempoInUse(0), 88.0f) << "sync ended: back to its own";
}

// jalv 1.6.6 (Debian 12's) hands the transport over 4 bytes off the 64-bit
// alignment atoms must have; its tempo is still heard, and under UBSan the
// plug-in must not read its events in place.
TEST_F(Lv2PluginTest, TheTempoIsHeardFromATransportBufferOffItsAlignment) {
    auto lv2 = Lv2Instance::create(world(), 44100.0);
    ASSERT_NE(lv2, nullptr);
    lv2->offsetTransport(4);
    const std::vector<float> silence(512, 0.0f);
    lv2->sendTempo(100.0f);
    lv2->render(silence, silence, 256);
    EXPECT_EQ(lv2->tempoInUse(0), 100.0f);
    lv2->sendTempo(131.0f);
    lv2->render(silence, silence, 256);
    EXPECT_EQ(lv2->tempoInUse(0), 131.0f);
}

// A session saved after sync was turned off at the host's tempo holds nothing
// but the port values; reopened, it must sound as it did when it was saved.
TEST_F(Lv2PluginTest, ASessionSavedAfterSyncEndedReopensSoundingTheSame) {
    auto original = Lv2Instance::create(world(), 44100.0);
    ASSERT_NE(original, nullptr);
    original->control(idx(ParamKind::VolumeThruInput)) = 0.0f;
    const std::vector<float> silence(8 * 256, 0.0f);
    original->sendTempo(100.0f);
    original->render(silence, silence, 256);
    ASSERT_EQ(original->tempoInUse(0), 100.0f);
    original->control(idx(ParamKind::IsTempoSync, 0)) = 0.0f;
    original->render(silence, silence, 256);

    LilvState* saved = original->saveState();
    ASSERT_NE(saved, nullptr);
    auto reopened = Lv2Instance::create(world(), 44100.0);
    ASSERT_NE(reopened, nullptr);
    reopened->restoreState(saved);
    lilv_state_free(saved);
    EXPECT_EQ(reopened->restored().size(), static_cast<std::size_t>(kNumParameters));

    std::vector<float> click(44100, 0.0f);
    click[0] = 1.0f;
    const Lv2Outputs before = original->render(click, click, 256);
    reopened->sendTempo(100.0f); // the host's transport has not moved
    const Lv2Outputs after = reopened->render(click, click, 256);
    ASSERT_FALSE(nonZeroAt(before[0]).empty());
    EXPECT_EQ(nonZeroAt(before[0]).front(), 15034) << "half a beat at the line's own 88 bpm";
    EXPECT_EQ(nonZeroAt(after[0]), nonZeroAt(before[0]));
    for (int c = 0; c < 6; ++c)
        EXPECT_TRUE(after[c] == before[c]) << c;
}

// The twelve factory programs and the neutral one, once: hosts list presets by
// label, so the labels carry the programs' numbers.
TEST_F(Lv2PluginTest, PresetsAreTheFactoryProgramsInTheirOrderAndSoundAsTheProgram) {
    const std::vector<std::string> uris = world().presetUris();
    ASSERT_EQ(uris.size(), 13u);
    std::array<DelayProgram, kNumPrograms> programs;
    makeFactoryPrograms(programs);
    const std::vector<float> left = signal(44100, 5), right = signal(44100, 6);
    for (int program = 0; program < 13; ++program) {
        const std::string uri = lv2::kPresetUriPrefix + std::to_string(program + 1);
        auto lv2 = Lv2Instance::create(world(), 44100.0);
        ASSERT_NE(lv2, nullptr);
        ASSERT_TRUE(lv2->loadPreset(uri)) << uri;
        EXPECT_EQ(lv2->restored().size(), static_cast<std::size_t>(kNumParameters)) << uri;
        // Without a host tempo: the VST 2 module would store it into program 0 as it starts.
        Plugin vst([](vsthost::HostState& host) { host.provideTime = false; });
        vst->start(44100.0, 512);
        vst->dispatch(effSetProgram, 0, program);
        for (int i = 0; i < kNumParameters; ++i)
            EXPECT_EQ(lv2->control(i), lv2::portValueOf(i, vst->getParameter(i)))
                << uri << " parameter " << i;
        expectSameOutputs(vst.render(left, right, 512), lv2->render(left, right, 512), uri);
    }
    LilvNode* label = lilv_new_uri(world().world(), LILV_NS_RDFS "label");
    LilvNode* comment = lilv_new_uri(world().world(), LILV_NS_RDFS "comment");
    LilvNode* bank = lilv_new_uri(world().world(), LV2_PRESETS__bank);
    std::map<std::string, int> programOfLabel; // sorted as a host sorts the list
    for (int program = 0; program < 13; ++program) {
        LilvNode* preset = lilv_new_uri(
            world().world(), (lv2::kPresetUriPrefix + std::to_string(program + 1)).c_str());
        LilvNode* name = lilv_world_get(world().world(), preset, label, nullptr);
        programOfLabel[nodeText(name)] = program;
        LilvNode* about = lilv_world_get(world().world(), preset, comment, nullptr);
        EXPECT_GT(nodeText(about).size(), 20u) << nodeText(name);
        LilvNode* inBank = lilv_world_get(world().world(), preset, bank, nullptr);
        EXPECT_EQ(nodeText(inBank), std::string(lv2::kPluginUri) + "#factory");
        for (LilvNode* node : {name, about, inBank, preset})
            lilv_node_free(node);
    }
    for (LilvNode* node : {label, comment, bank})
        lilv_node_free(node);
    int order = 0;
    for (const auto& [name, program] : programOfLabel) {
        EXPECT_EQ(name, kPresetLabels[static_cast<std::size_t>(order)]);
        EXPECT_EQ(program, order++);
    }
}

// The largest step between neighbouring samples of the main pair in [from, to).
float largestStep(const Lv2Outputs& out, int from, int to) {
    float largest = 0.0f;
    for (int c = 0; c < 2; ++c)
        for (int k = std::max(1, from); k < to; ++k)
            largest = std::max(largest, std::fabs(out[c][k] - out[c][k - 1]));
    return largest;
}

// A host's bypass (lv2:enabled) on a -6 dBFS sine through a line that echoes
// it: no step around either switch is more than twice the sine's own largest
// step, while switching hard between the two signals would be.
TEST_F(Lv2PluginTest, TheEnabledPortBypassesWithoutAClick) {
    const int rate = 44100, block = 256, off = 80, on = 150; // after the first echo (15034)
    std::vector<float> sine(2 * rate);
    for (std::size_t k = 0; k < sine.size(); ++k)
        sine[k] = 0.501f * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * k / rate));
    const auto render = [&](bool toggle) {
        auto lv2 = Lv2Instance::create(world(), rate);
        float enabled = 1.0f;
        lilv_instance_connect_port(lv2->instance(), lv2::kEnabledPort, &enabled);
        lv2->control(idx(ParamKind::DelayType)) = 1.0f; // recirculating: echoes all along
        return lv2->render(sine, sine, block, [&](int k) {
            if (toggle && k == off) enabled = 0.0f;
            if (toggle && k == on) enabled = 1.0f;
        });
    };
    const Lv2Outputs steady = render(false);
    const Lv2Outputs toggled = render(true);
    const float ownStep = largestStep(steady, 0, static_cast<int>(sine.size()));
    for (int k : {off, on})
        EXPECT_LE(largestStep(toggled, k * block - 2048, k * block + 2048), 2.0f * ownStep) << k;
    // Bypassed, the main pair is the input itself and the other pairs are silent.
    for (int k = (off + 4) * block; k < on * block; ++k) {
        ASSERT_EQ(toggled[0][k], sine[k]) << k;
        ASSERT_EQ(toggled[2][k], 0.0f) << k;
    }
    // Switching hard from the delay's output to the input at the same frame:
    // the comparison above would catch it.
    Lv2Outputs hard = steady;
    for (int c = 0; c < 2; ++c)
        for (int k = off * block; k < on * block; ++k)
            hard[c][k] = sine[k];
    EXPECT_GT(largestStep(hard, off * block - 2048, off * block + 2048), 2.0f * ownStep);
}

// A session saved bypassed starts bypassed: the main pair is the input from the
// first frame, with no crossing from the delay's sound.
TEST_F(Lv2PluginTest, ASessionSavedBypassedStartsBypassed) {
    std::vector<float> sine(8192);
    for (std::size_t k = 0; k < sine.size(); ++k)
        sine[k] = 0.5f * static_cast<float>(std::sin(2.0 * M_PI * 440.0 * k / 44100.0));
    auto lv2 = Lv2Instance::create(world(), 44100);
    float enabled = 0.0f;
    lilv_instance_connect_port(lv2->instance(), lv2::kEnabledPort, &enabled);
    lv2->control(idx(ParamKind::VolumeThruInput)) = 0.25f; // unmistakable when not bypassed
    const Lv2Outputs out = lv2->render(sine, sine, 256);
    for (std::size_t k = 0; k < sine.size(); ++k) {
        ASSERT_EQ(out[0][k], sine[k]) << k;
        ASSERT_EQ(out[2][k], 0.0f) << k;
    }
}

TEST_F(Lv2PluginTest, BadInputGetsAHarmlessAnswer) {
    for (double rate : {0.0, -44100.0, 0.5, 2e6, 1e300, std::nan("")})
        EXPECT_EQ(Lv2Instance::create(world(), rate), nullptr) << rate;
    auto lv2 = Lv2Instance::create(world(), 8000.0);
    ASSERT_NE(lv2, nullptr);
    LilvInstance* instance = lv2->instance();
    lv2->run(0); // audio ports not connected yet
    lv2->run(4096);
    lilv_instance_connect_port(instance, 9999, nullptr);
    lilv_instance_connect_port(instance, lv2::kTimePort, nullptr);
    std::vector<float> in(2048, 0.25f), out(2048, -7.0f);
    lilv_instance_connect_port(instance, 0, in.data());
    lilv_instance_connect_port(instance, 1, in.data());
    for (std::uint32_t c = 0; c < 6; ++c)
        lilv_instance_connect_port(instance, 2 + c, out.data());
    lv2->control(idx(ParamKind::Tempo)) = NAN;      // ignored
    lv2->control(idx(ParamKind::FeedBack)) = 1e30f; // held to 1
    lilv_instance_run(instance, 0);
    EXPECT_EQ(out[0], -7.0f); // zero frames write nothing
    lilv_instance_run(instance, 2048);
    for (float v : out)
        ASSERT_TRUE(std::isfinite(v));
}

} // namespace
} // namespace tesk::test
