// The factory programs as CLAP presets, the way a host's preset browser meets
// them: the preset-discovery factory lists them with their labels, load keys and
// descriptions, and each loads through the preset-load extension with the
// location and key the listing gave, sounding as the VST 2 module's program,
// while the host hears what happened.
#include "clap_fixture.h"
#include "clap_params.h"
#include "factory_presets.h"
#include "parameter_info.h"
#include "programs.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <numeric>

namespace tesk::test {
namespace {

using clapfmt::kProgramParamId;
using claphost::ListedPreset;
using claphost::PresetIndexer;

constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

std::unique_ptr<PresetIndexer> theProvider() {
    const clap_preset_discovery_factory_t* factory = clapModule().presetDiscovery();
    EXPECT_NE(factory, nullptr);
    std::string error;
    auto indexer = PresetIndexer::create(
        clapModule(), factory != nullptr ? factory->get_descriptor(factory, 0)->id : "", error);
    EXPECT_TRUE(indexer) << error;
    return indexer;
}

std::vector<ListedPreset> listedPresets() {
    const auto indexer = theProvider();
    if (!indexer || indexer->locations().size() != 1) return {};
    std::string error;
    const auto presets = indexer->crawl(indexer->locations().front(), error);
    EXPECT_TRUE(presets) << error;
    return presets.value_or(std::vector<ListedPreset>{});
}

TEST(ClapPresets, OneProviderListsTheFactoryProgramsInsideThePlugin) {
    const claphost::Module& m = clapModule();
    const clap_preset_discovery_factory_t* factory = m.presetDiscovery();
    ASSERT_NE(factory, nullptr);
    // Hosts of CLAP 1.1 ask by the draft's id.
    EXPECT_EQ(m.entry().get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT), factory);
    ASSERT_EQ(factory->count(factory), 1u);
    const clap_preset_discovery_provider_descriptor_t* d = factory->get_descriptor(factory, 0);
    ASSERT_NE(d, nullptr);
    EXPECT_STREQ(d->id, "org.teskdelay.TeskDelay.factory-programs");
    EXPECT_STREQ(d->name, "TeskDelay factory programs");
    EXPECT_STREQ(d->vendor, "Velmora");
    EXPECT_EQ(factory->get_descriptor(factory, 1), nullptr);
    std::string error;
    EXPECT_FALSE(PresetIndexer::create(m, "org.example.other", error));

    const auto indexer = theProvider();
    ASSERT_TRUE(indexer);
    EXPECT_EQ(indexer->provider().desc, d);
    ASSERT_EQ(indexer->locations().size(), 1u);
    const claphost::PresetLocation& where = indexer->locations().front();
    EXPECT_EQ(where.flags, std::uint32_t{CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT});
    EXPECT_EQ(where.name, "TeskDelay factory programs");
    EXPECT_EQ(where.kind, std::uint32_t{CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN});
    EXPECT_FALSE(where.location);
    // No files hold them.
    const claphost::PresetLocation file{0, "a folder", CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp"};
    EXPECT_FALSE(indexer->crawl(file, error));
}

TEST(ClapPresets, TheListingNamesEachProgramAsTheLv2EditionDoes) {
    // A preset loads by the name its program goes by: the neutral one as "Init 13".
    std::vector<std::string> keys(kFactoryProgramNames.begin(), kFactoryProgramNames.end());
    keys.push_back("Init 13");
    const auto presets = listedPresets();
    ASSERT_EQ(presets.size(), kPresetLabels.size());
    for (std::size_t n = 0; n < presets.size(); ++n) {
        EXPECT_EQ(presets[n].name, kPresetLabels[n]);
        EXPECT_EQ(presets[n].loadKey, keys[n]);
        EXPECT_EQ(presets[n].pluginIds, std::vector<std::string>{"clap:org.teskdelay.TeskDelay"});
        EXPECT_EQ(presets[n].description, factoryProgramDescription(static_cast<int>(n)));
    }
    EXPECT_EQ(presets[8].description,
              "Echoes bouncing between left and right, one and two beats after the note.");
}

// The VST 2 module as the reference, with a host that has no transport, as
// our CLAP host gives none: synced lines keep their own tempos in both.
std::unique_ptr<Plugin> vstWithoutTempo() {
    return std::make_unique<Plugin>([](vsthost::HostState& h) { h.provideTime = false; });
}

// The VST 2 module's render with program `program`.
Outputs renderVst(int program, const std::vector<float>& left, const std::vector<float>& right) {
    const auto reference = vstWithoutTempo();
    const Plugin& vst = *reference;
    vst->dispatch(effSetProgram, 0, program);
    vst->start(kRate, kBlock);
    return vst.render(left, right, kBlock);
}

// The first sample where two channels differ, or -1.
int firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end(), [](float x, float y) {
        return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y);
    });
    return at.first == a.end() ? -1 : static_cast<int>(at.first - a.begin());
}

void expectSameSamples(const Outputs& vst, const Outputs& clap, const std::string& preset) {
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(firstDifference(vst[c], clap[c]), -1) << preset << ", channel " << c;
    const double energy = std::inner_product(clap[0].begin(), clap[0].end(), clap[0].begin(), 0.0);
    EXPECT_GT(energy, 1.0) << preset << ": the main pair carries nothing to compare";
}

// Every preset the listing gives loads with its own location and key (the
// host's road) and sounds as the program does, bit for bit; the program choice
// then reads it, the host rescans and hears that it loaded.
TEST(ClapPresets, EachListedPresetLoadsAndSoundsAsTheProgram) {
    const auto presets = listedPresets();
    ASSERT_EQ(presets.size(), static_cast<std::size_t>(kNumPresets));
    const auto left = noise(70000, 31);
    const auto right = noise(70000, 32);
    for (int n = 0; n < kNumPresets; ++n) {
        const ListedPreset& preset = presets[static_cast<std::size_t>(n)];
        ClapPlugin p;
        ASSERT_TRUE(
            p->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, preset.loadKey->c_str()))
            << preset.name;
        EXPECT_EQ(*p->value(kProgramParamId), n) << preset.name;
        EXPECT_EQ(p.host().rescans, std::vector<std::uint32_t>{CLAP_PARAM_RESCAN_VALUES});
        ASSERT_EQ(p.host().presetLoadNews.size(), 1u);
        const claphost::PresetLoadNews& news = p.host().presetLoadNews.front();
        EXPECT_TRUE(news.loaded);
        EXPECT_EQ(news.kind, std::uint32_t{CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN});
        EXPECT_FALSE(news.location);
        EXPECT_EQ(news.loadKey, preset.loadKey);
        EXPECT_TRUE(news.onMainThread);
        ASSERT_TRUE(p->start(kRate, kBlock));
        expectSameSamples(renderVst(n, left, right), p.render(left, right, kBlock), preset.name);
    }
}

// While the instance runs, a preset reaches the engine between two blocks, as
// a loaded state does: the main thread reads the program at once, and the host
// is asked to rescan once the engine has it.
TEST(ClapPresets, APresetLoadedWhileRunningReachesTheEngineBetweenBlocks) {
    const auto left = noise(60000, 33);
    const auto right = noise(60000, 34);
    const int at = 20 * kBlock;
    const std::vector<float> firstLeft(left.begin(), left.begin() + at);
    const std::vector<float> firstRight(right.begin(), right.begin() + at);
    const std::vector<float> restLeft(left.begin() + at, left.end());
    const std::vector<float> restRight(right.begin() + at, right.end());

    const auto reference = vstWithoutTempo();
    const Plugin& vst = *reference;
    vst->start(kRate, kBlock);
    Outputs expected = vst.render(firstLeft, firstRight, kBlock);
    vst->dispatch(effSetProgram, 0, 8);
    const Outputs expectedRest = vst.render(restLeft, restRight, kBlock);

    ClapPlugin p;
    ASSERT_TRUE(p->start(kRate, kBlock));
    Outputs heard = p.render(firstLeft, firstRight, kBlock);
    ASSERT_TRUE(p->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "Ping pong"));
    EXPECT_EQ(*p->value(kProgramParamId), 8.0);
    EXPECT_EQ(p.host().callbackRequests, 0);
    const Outputs heardRest = p.render(restLeft, restRight, kBlock);
    EXPECT_EQ(p.host().callbackRequests, 1);
    EXPECT_TRUE(p.host().rescans.empty());
    p->plugin()->on_main_thread(p->plugin());
    EXPECT_EQ(p.host().rescans, std::vector<std::uint32_t>{CLAP_PARAM_RESCAN_VALUES});
    EXPECT_EQ(*p->value(kProgramParamId), 8.0);

    for (int c = 0; c < 6; ++c) {
        expected[c].insert(expected[c].end(), expectedRest[c].begin(), expectedRest[c].end());
        heard[c].insert(heard[c].end(), heardRest[c].begin(), heardRest[c].end());
    }
    expectSameSamples(expected, heard, "Ping pong");
}

std::vector<double> allValues(const ClapPlugin& p) {
    std::vector<double> values;
    for (std::uint32_t i = 0; i < p->paramCount(); ++i)
        values.push_back(*p->value(p->paramInfo(i)->id));
    return values;
}

TEST(ClapPresets, AKeyThatNamesNoPresetFailsAndTheHostHearsWhy) {
    ClapPlugin p;
    p.set({{kProgramParamId, 2.0}});
    const auto before = allValues(p);
    EXPECT_FALSE(p->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "Reverse echo"));
    EXPECT_FALSE(
        p->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/Ping pong.preset", "Ping pong"));
    EXPECT_FALSE(p->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, nullptr));
    EXPECT_EQ(allValues(p), before);
    EXPECT_TRUE(p.host().rescans.empty());
    const auto& news = p.host().presetLoadNews;
    ASSERT_EQ(news.size(), 3u);
    for (const claphost::PresetLoadNews& n : news) {
        EXPECT_FALSE(n.loaded);
        EXPECT_NE(n.message, "");
        EXPECT_TRUE(n.onMainThread);
    }
    EXPECT_EQ(news[0].loadKey, "Reverse echo");
    EXPECT_EQ(news[1].kind, std::uint32_t{CLAP_PRESET_DISCOVERY_LOCATION_FILE});
    EXPECT_EQ(news[1].location, "/tmp/Ping pong.preset");
    EXPECT_FALSE(news[2].loadKey);
}

TEST(ClapPresets, APresetLeavesTheBypassAsItIs) {
    ClapPlugin p;
    p.set({{clapfmt::kBypassParamId, 1.0}});
    ASSERT_TRUE(p->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "Ice echo"));
    EXPECT_EQ(*p->value(clapfmt::kBypassParamId), 1.0);
    EXPECT_EQ(*p->value(kProgramParamId), 9.0);
}

// The plug-in answers by either id, and tells a host that offers the draft's
// id, or loads without telling a host that offers none.
TEST(ClapPresets, PresetLoadSpeaksToHostsOfEitherVersionAndToNone) {
    ClapPlugin p;
    EXPECT_EQ(p->extension<void>(CLAP_EXT_PRESET_LOAD_COMPAT),
              p->extension<void>(CLAP_EXT_PRESET_LOAD));
    ClapPlugin draft([](claphost::HostState& h) { h.presetLoadId = CLAP_EXT_PRESET_LOAD_COMPAT; });
    ASSERT_TRUE(draft->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "Init 13"));
    ASSERT_EQ(draft.host().presetLoadNews.size(), 1u);
    EXPECT_EQ(draft.host().presetLoadNews.front().loadKey, "Init 13");
    ClapPlugin none([](claphost::HostState& h) { h.offerPresetLoad = false; });
    ASSERT_TRUE(none->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "Init 13"));
    EXPECT_EQ(*none->value(kProgramParamId), 12.0);
    EXPECT_FALSE(none->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "Init 14"));
}

} // namespace
} // namespace tesk::test
