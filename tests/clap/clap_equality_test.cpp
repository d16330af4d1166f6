// TeskDelay.clap against the VST 2 module, both loaded as built and driven
// through their binary interfaces: the same settings give the same samples,
// bit for bit, on all six outputs, also when parameter events and program
// changes land in the middle of a block.
#include "clap_fixture.h"
#include "clap_params.h"
#include "parameter_info.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numeric>

namespace tesk::test {
namespace {

using clapfmt::kProgramParamId;
using tesk::interfaceValueOfPlain;

constexpr double kHostTempo = 133.0;
constexpr double kRate = 44100.0;

struct Setting {
    clap_id id;
    double plain; ///< the CLAP value
};

clap_id id(ParamKind kind, int line = 0) {
    return static_cast<clap_id>(parameterIndex(kind, line));
}

// Every line on and chained, all three output pairs, both delay types, the
// filters and saturation in use, fixed and host-following tempos.
std::vector<Setting> richSetting() {
    using K = ParamKind;
    const double feedback[] = {0.6, 0.45, 0.8, 0.3};
    const double volume[] = {0.55, 0.5, 0.62, 0.4};
    const double pan[] = {0.2, 0.5, 0.75, 0.9};
    const double output[] = {0, 1, 2, 0};
    const double type[] = {1, 0, 1, 1};
    const double saturation[] = {0.4, 0.0, 0.9, 0.1};
    const double lowPass[] = {0.3, 0.0, 0.5, 0.8};
    const double highPass[] = {0.7, 1.0, 0.2, 0.9};
    const double cross[] = {0.25, 0.6, 0.1, 0.95};
    const double tempo[] = {140.0, 97.5, 200.0, 300.0};
    const double numerator[] = {1, 0, 2, 3};
    const double denominator[] = {3, 2, 5, 8};
    const double sync[] = {0, 1, 0, 1};
    std::vector<Setting> s{{id(K::VolumeThruInput), 0.7}};
    for (int l = 0; l < kNumLines; ++l) {
        for (const Setting& one :
             std::initializer_list<Setting>{{id(K::IsDelayOn, l), 1.0},
                                            {id(K::FeedBack, l), feedback[l]},
                                            {id(K::Volume, l), volume[l]},
                                            {id(K::Pan, l), pan[l]},
                                            {id(K::Input, l), double(l)},
                                            {id(K::Output, l), output[l]},
                                            {id(K::DelayType, l), type[l]},
                                            {id(K::Saturation, l), saturation[l]},
                                            {id(K::LowPassFrequency, l), lowPass[l]},
                                            {id(K::HighPassFrequency, l), highPass[l]},
                                            {id(K::CrossFrequency, l), cross[l]},
                                            {id(K::Tempo, l), tempo[l]},
                                            {id(K::TempoNum, l), numerator[l]},
                                            {id(K::TempoDen, l), denominator[l]},
                                            {id(K::IsTempoSync, l), sync[l]}})
            s.push_back(one);
    }
    return s;
}

/// A change at an absolute frame.
struct TimedChange {
    int frame;
    Setting setting;
};

void applyToVst(const Plugin& vst, const Setting& s) {
    if (s.id == kProgramParamId) {
        vst->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(s.plain));
        return;
    }
    const int index = static_cast<int>(s.id);
    vst->setParameter(index, interfaceValueOfPlain(index, s.plain));
}

// The VST 2 reference: each block split by hand at the changes inside it.
Outputs renderVst(const Plugin& vst, const std::vector<float>& left,
                  const std::vector<float>& right, int block,
                  const std::vector<TimedChange>& changes) {
    const int frames = static_cast<int>(left.size());
    Outputs out;
    for (auto& channel : out)
        channel.assign(left.size(), 0.0f);
    std::vector<float> inL = left, inR = right;
    auto next = changes.begin();
    auto run = [&](int from, int to) {
        if (to <= from) return;
        float* inputs[2] = {inL.data() + from, inR.data() + from};
        float* outputs[6];
        for (int c = 0; c < 6; ++c)
            outputs[c] = out[c].data() + from;
        vst->processReplacing(inputs, outputs, to - from);
    };
    for (int start = 0; start < frames; start += block) {
        const int end = std::min(start + block, frames);
        int done = start;
        for (; next != changes.end() && next->frame < end; ++next) {
            run(done, next->frame);
            done = next->frame;
            applyToVst(vst, next->setting);
        }
        run(done, end);
    }
    return out;
}

Outputs renderClap(const ClapPlugin& clap, const std::vector<float>& left,
                   const std::vector<float>& right, int block,
                   const std::vector<TimedChange>& changes) {
    return clap.render(left, right, block, kHostTempo,
                       [&](int start, int n, claphost::InputEvents& events) {
                           for (const TimedChange& c : changes)
                               if (c.frame >= start && c.frame < start + n)
                                   events.addParam(static_cast<std::uint32_t>(c.frame - start),
                                                   c.setting.id, c.setting.plain);
                       });
}

struct Pair {
    std::unique_ptr<Plugin> vst;
    std::unique_ptr<ClapPlugin> clap;
};

Pair startedPair(int maxBlock) {
    Pair p{
        std::make_unique<Plugin>([](vsthost::HostState& h) { h.setTransport(kHostTempo, kRate); }),
        std::make_unique<ClapPlugin>()};
    (*p.vst)->start(kRate, maxBlock);
    EXPECT_TRUE((*p.clap)->start(kRate, static_cast<std::uint32_t>(maxBlock)));
    for (const Setting& s : richSetting())
        applyToVst(*p.vst, s);
    claphost::InputEvents events;
    for (const Setting& s : richSetting())
        events.addParam(0, s.id, s.plain);
    (*p.clap)->flush(events);
    return p;
}

// The first sample where two channels differ, or -1.
int firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    const auto at = std::mismatch(a.begin(), a.end(), b.begin(), b.end(), [](float x, float y) {
        return std::bit_cast<std::uint32_t>(x) == std::bit_cast<std::uint32_t>(y);
    });
    return at.first == a.end() ? -1 : static_cast<int>(at.first - a.begin());
}

void expectSameSamples(const Outputs& vst, const Outputs& clap) {
    for (int c = 0; c < 6; ++c) {
        EXPECT_EQ(firstDifference(vst[c], clap[c]), -1) << "output channel " << c;
        const double energy = std::inner_product(vst[c].begin(), vst[c].end(), vst[c].begin(), 0.0);
        EXPECT_GT(energy, 1.0) << "output channel " << c << " carries nothing to compare";
    }
}

TEST(ClapEquality, SameSettingsGiveTheSameSamples) {
    const auto left = noise(60000, 1);
    const auto right = noise(60000, 2);
    for (int block : {512, 333, 2000}) {
        Pair p = startedPair(2048);
        expectSameSamples(renderVst(*p.vst, left, right, block, {}),
                          renderClap(*p.clap, left, right, block, {}));
    }
}

TEST(ClapEquality, EventsInsideABlockLandAtTheirOffsets) {
    using K = ParamKind;
    const std::vector<TimedChange> changes = {
        {1024 + 1, {id(K::Output, 0), 1}},          {1024 + 137, {id(K::FeedBack, 1), 0.95}},
        {2048 + 300, {id(K::TempoDen, 0), 5}},      {3072 + 511, {id(K::VolumeThruInput), 0.1}},
        {4096 + 0, {id(K::Volume, 0), 0.3}},        {12288 + 77, {id(K::Pan, 0), 0.05}},
        {12288 + 78, {id(K::Saturation, 0), 0.95}}, {14336 + 250, {id(K::Tempo, 2), 61.25}},
        {20480 + 400, {kProgramParamId, 5}},        {21504 + 19, {id(K::CrossFrequency, 0), 0.8}},
        {22528 + 510, {id(K::IsTempoSync, 0), 1}},  {23552 + 3, {id(K::Input, 3), 1}},
        {30720 + 0, {id(K::IsDelayOn, 2), 0}}};
    const auto left = noise(40000, 3);
    const auto right = noise(40000, 4);
    Pair p = startedPair(512);
    expectSameSamples(renderVst(*p.vst, left, right, 512, changes),
                      renderClap(*p.clap, left, right, 512, changes));
}

// Without the VST 2 module to compare with: the dry path switched on at frame
// 137 of a block is silent up to that frame and the input from it on.
TEST(ClapEquality, AValueChangeStartsAtItsFrame) {
    ClapPlugin clap;
    ASSERT_TRUE(clap->start(kRate, 512));
    claphost::InputEvents silence;
    silence.addParam(0, id(ParamKind::VolumeThruInput), 0.0);
    for (int l = 0; l < kNumLines; ++l)
        silence.addParam(0, id(ParamKind::IsDelayOn, l), 0.0);
    clap->flush(silence);
    const auto left = noise(512, 5);
    const auto out = clap.render(left, left, 512, 0.0, [](int, int, claphost::InputEvents& e) {
        e.addParam(137, id(ParamKind::VolumeThruInput), 1.0);
    });
    for (int k = 0; k < 512; ++k)
        ASSERT_EQ(out[0][static_cast<std::size_t>(k)],
                  k < 137 ? 0.0f : left[static_cast<std::size_t>(k)])
            << k;
}

} // namespace
} // namespace tesk::test
