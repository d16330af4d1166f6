// TeskDelay.vst3 against the VST 2 module, both loaded as built and driven
// through their binary interfaces: every program, at three rates and five block
// sizes, with and without a host tempo and the aux outputs, gives the same
// samples bit for bit; so do parameter changes at sample offsets inside a
// block against the VST 2 module's calls made between blocks split there.
#include "vst3_fixture.h"

#include "parameter_info.h"
#include "programs.h"

#include <sstream>

namespace tesk::test {
namespace {

constexpr double kHostTempo = 133.0;

ParamID id(ParamKind kind, int line = 0) {
    return static_cast<ParamID>(parameterIndex(kind, line));
}

/// A value at an absolute frame: the program's number, or a parameter's plain value.
struct TimedChange {
    int frame;
    ParamID id;
    double plain;
};

std::unique_ptr<Plugin> startedVst2(double rate, int block, std::optional<double> tempo) {
    auto vst = std::make_unique<Plugin>([&](vsthost::HostState& host) {
        if (tempo)
            host.setTransport(*tempo, rate);
        else
            host.provideTime = false;
        host.sampleRate = rate;
    });
    (*vst)->start(rate, block);
    return vst;
}

void applyToVst2(const Plugin& vst, const TimedChange& c) {
    if (c.id == kProgramId) {
        vst->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(c.plain));
        return;
    }
    const int index = static_cast<int>(c.id);
    vst->setParameter(index, interfaceValueOfPlain(index, c.plain));
}

ParamPoint pointOf(const TimedChange& c, int offset) {
    const double normalized = c.id == kProgramId
                                  ? c.plain / (kNumPrograms - 1)
                                  : normalizedOfPlain(static_cast<int>(c.id), c.plain);
    return {c.id, offset, normalized};
}

// The VST 2 reference: each block split by hand at the changes inside it.
Outputs renderVst2(const Plugin& vst, const std::vector<float>& left,
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
            outputs[c] = out[static_cast<std::size_t>(c)].data() + from;
        vst->processReplacing(inputs, outputs, to - from);
    };
    for (int start = 0; start < frames; start += block) {
        const int end = std::min(start + block, frames);
        int done = start;
        for (; next != changes.end() && next->frame < end; ++next) {
            run(done, next->frame);
            done = next->frame;
            applyToVst2(vst, *next);
        }
        run(done, end);
    }
    return out;
}

Outputs renderVst3(Vst3Plugin& vst3, const std::vector<float>& left,
                   const std::vector<float>& right, int block, std::optional<double> tempo,
                   const std::vector<TimedChange>& changes) {
    return vst3.render(left, right, block, tempo,
                       [&](int start, int n, std::vector<ParamPoint>& points) {
                           for (const TimedChange& c : changes)
                               if (c.frame >= start && c.frame < start + n)
                                   points.push_back(pointOf(c, c.frame - start));
                       });
}

/// "channel c differs from frame k" for every channel that does, of the first `channels`.
std::vector<std::string> differences(const Outputs& vst2, const Outputs& vst3, int channels) {
    std::vector<std::string> found;
    for (int c = 0; c < channels; ++c) {
        const int at =
            firstDifference(vst2[static_cast<std::size_t>(c)], vst3[static_cast<std::size_t>(c)]);
        if (at >= 0)
            found.push_back(
                "channel " + std::to_string(c) + " from frame " + std::to_string(at) + " (" +
                std::to_string(vst2[static_cast<std::size_t>(c)][static_cast<std::size_t>(at)]) +
                " vs " +
                std::to_string(vst3[static_cast<std::size_t>(c)][static_cast<std::size_t>(at)]) +
                ")");
    }
    return found;
}

// Every program at every rate and block size. Across the sweep each program
// meets each mix of host tempo (or none) and aux outputs (active, or inactive
// passed either way a host may pass them); inactive, Main alone is compared.
// The first block is silent: the VST 2 module hears a host tempo at its first
// block and fades there from the program's own tempo, where the VST 3 edition
// hears it before that block, as a VST 2 effect made under that host does.
TEST(Vst3Equality, EveryProgramRendersAsTheVst2Module) {
    const double rates[] = {44100.0, 48000.0, 96000.0};
    const int blocks[] = {1, 7, 64, 1000, 4096};
    std::vector<std::string> failures;
    for (double rate : rates) {
        for (int b = 0; b < 5; ++b) {
            const int frames = static_cast<int>(rate * 1.2);
            const auto left = impulseThenPhrase(frames, rate, blocks[b], 1);
            const auto right = impulseThenPhrase(frames, rate, blocks[b], 2);
            for (int program = 0; program < kNumPrograms; ++program) {
                const int variant = (program + b) % 4;
                const std::optional<double> tempo =
                    (variant & 1) != 0 ? std::optional<double>(kHostTempo) : std::nullopt;
                const bool aux = (variant & 2) == 0;
                const int block = blocks[b];
                auto vst2 = startedVst2(rate, block, tempo);
                Vst3Plugin vst3(rate, block, aux);
                if (program % 2 == 1) vst3->inactiveAux = vst3host::InactiveAux::zeroChannels;
                const std::vector<TimedChange> load{{0, kProgramId, double(program)}};
                const Outputs expected = renderVst2(*vst2, left, right, block, load);
                const Outputs got = renderVst3(vst3, left, right, block, tempo, load);
                std::ostringstream run;
                run << "program " << program << " at " << rate << " Hz, blocks of " << block
                    << (tempo ? ", host tempo" : ", no tempo")
                    << (aux ? ", aux active" : ", aux inactive") << ": ";
                if (energy(expected[0]) + energy(expected[1]) < 1.0)
                    failures.push_back(run.str() + "Main carries nothing to compare");
                for (const auto& d : differences(expected, got, aux ? 6 : 2))
                    failures.push_back(run.str() + d);
            }
        }
    }
    std::string report;
    for (std::size_t i = 0; i < failures.size() && i < 12; ++i)
        report += failures[i] + "\n";
    EXPECT_TRUE(failures.empty()) << failures.size() << " differences, the first:\n" << report;
}

// Every line on and chained, all three output pairs, both delay types, the
// filters and saturation in use, fixed and host-following tempos; echoes
// short enough that every line sounds within half a second.
std::vector<TimedChange> richSetting() {
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
    const double tempo[] = {300.0, 250.0, 200.0, 180.0};
    const double numerator[] = {0, 1, 0, 2};
    const double denominator[] = {3, 4, 2, 5};
    const double sync[] = {0, 0, 0, 1};
    std::vector<TimedChange> s{{0, id(K::VolumeThruInput), 0.7}};
    for (int l = 0; l < kNumLines; ++l) {
        for (const auto& [kind, plain] :
             std::initializer_list<std::pair<K, double>>{{K::IsDelayOn, 1.0},
                                                         {K::FeedBack, feedback[l]},
                                                         {K::Volume, volume[l]},
                                                         {K::Pan, pan[l]},
                                                         {K::Input, double(l)},
                                                         {K::Output, output[l]},
                                                         {K::DelayType, type[l]},
                                                         {K::Saturation, saturation[l]},
                                                         {K::LowPassFrequency, lowPass[l]},
                                                         {K::HighPassFrequency, highPass[l]},
                                                         {K::CrossFrequency, cross[l]},
                                                         {K::Tempo, tempo[l]},
                                                         {K::TempoNum, numerator[l]},
                                                         {K::TempoDen, denominator[l]},
                                                         {K::IsTempoSync, sync[l]}})
            s.push_back({0, id(kind, l), plain});
    }
    return s;
}

// What changes once every line sounds, in blocks of 512 from frame 12800:
// several changes in one block, several points of one parameter in one block,
// changes at a block's first and last frame, a line going off under a line
// that listens to it, and a program change.
std::vector<TimedChange> timeline() {
    using K = ParamKind;
    return {{12800 + 1, id(K::Output, 0), 1},        {13312 + 137, id(K::FeedBack, 1), 0.95},
            {13824 + 300, id(K::TempoDen, 0), 5},    {14336 + 511, id(K::VolumeThruInput), 0.1},
            {14848 + 0, id(K::Volume, 0), 0.3},      {14848 + 200, id(K::Volume, 0), 0.7},
            {14848 + 260, id(K::Volume, 0), 0.2},    {14848 + 450, id(K::Volume, 0), 0.9},
            {15360 + 77, id(K::Pan, 1), 0.05},       {15360 + 78, id(K::Saturation, 2), 0.95},
            {16384 + 250, id(K::Tempo, 2), 61.25},   {16896 + 100, id(K::IsDelayOn, 1), 0},
            {16896 + 300, id(K::IsDelayOn, 1), 1},   {17920 + 19, id(K::CrossFrequency, 0), 0.8},
            {18432 + 510, id(K::IsTempoSync, 0), 1}, {18944 + 3, id(K::Input, 3), 1},
            {19456 + 0, id(K::IsDelayOn, 2), 0},     {19968 + 33, id(K::LowPassFrequency, 3), 0.6},
            {20480 + 222, id(K::DelayType, 1), 1},   {20992 + 400, kProgramId, 5}};
}

// Changes land at their frames: the same samples as the VST 2 module given
// the same values between blocks split there; and every one of them, sent a
// frame late, is heard, so no change passes unnoticed.
TEST(Vst3Equality, ChangesAtSampleOffsetsLandAtTheirFrames) {
    std::vector<TimedChange> changes = richSetting();
    const auto later = timeline();
    changes.insert(changes.end(), later.begin(), later.end());
    const auto left = noise(30000, 3);
    const auto right = noise(30000, 4);
    Outputs expected512;
    for (const auto& [block, aux] : {std::pair{512, true}, std::pair{4096, false}}) {
        SCOPED_TRACE("blocks of " + std::to_string(block));
        auto vst2 = startedVst2(44100.0, block, kHostTempo);
        Vst3Plugin vst3(44100.0, block, aux);
        const Outputs expected = renderVst2(*vst2, left, right, block, changes);
        const Outputs got = renderVst3(vst3, left, right, block, kHostTempo, changes);
        for (int c = 0; c < 6; ++c)
            EXPECT_GT(energy(expected[static_cast<std::size_t>(c)]), 1.0) << "channel " << c;
        for (const auto& d : differences(expected, got, aux ? 6 : 2))
            ADD_FAILURE() << d;
        if (block == 512) expected512 = expected;
    }
    for (std::size_t k = changes.size() - later.size(); k < changes.size(); ++k) {
        auto late = changes;
        late[k].frame += late[k].frame % 512 == 511 ? -1 : 1;
        Vst3Plugin vst3(44100.0, 512);
        const Outputs got = renderVst3(vst3, left, right, 512, kHostTempo, late);
        EXPECT_FALSE(differences(expected512, got, 6).empty())
            << "a frame off, the change of " << changes[k].id << " at frame " << changes[k].frame
            << " goes unheard";
    }
}

} // namespace
} // namespace tesk::test
