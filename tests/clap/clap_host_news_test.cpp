// What a CLAP host is told of the values the engine keeps: the inputs that
// fall back when their source line goes off and values held otherwise than
// sent come back as output events, from process and from flush, one call after
// another when the host's queue is short; flush works between two blocks; a
// host that keeps what it was told restores an instance that sounds the same;
// every text the module shows reads back to itself.
#include "clap_fixture.h"
#include "clap_params.h"
#include "parameter_info.h"

#include <map>
#include <string>

namespace tesk::test {
namespace {

clap_id id(ParamKind kind, int line = 0) {
    return static_cast<clap_id>(parameterIndex(kind, line));
}

// The parameter values of the events a call sent, in order; other events are
// not expected here.
using Values = std::vector<std::pair<clap_id, double>>;
Values valuesSent(claphost::Instance& p) {
    Values values;
    for (const claphost::SentEvent& e : p.takeSent()) {
        EXPECT_EQ(e.type, CLAP_EVENT_PARAM_VALUE);
        values.emplace_back(e.paramId, e.value);
    }
    return values;
}

// One block of `frames` silent frames with `events`; a transport at `tempo` when not 0.
void silentBlock(const ClapPlugin& p, std::uint32_t frames, const claphost::InputEvents& events,
                 double tempo = 0.0) {
    std::vector<float> in(frames, 0.0f);
    std::vector<std::vector<float>> out(6, std::vector<float>(frames));
    std::vector<float*> outputs;
    for (auto& channel : out)
        outputs.push_back(channel.data());
    const clap_event_transport_t transport = claphost::playingTransport(tempo);
    ASSERT_EQ(p->process({in.data(), in.data()}, outputs, frames, events,
                         tempo > 0.0 ? &transport : nullptr),
              CLAP_PROCESS_CONTINUE);
}

// Lines 2, 3 and 4 on, each listening to line `source` (0 or 1).
void listenTo(const ClapPlugin& p, int source) {
    p.set({{id(ParamKind::IsDelayOn, 1), 1.0},
           {id(ParamKind::IsDelayOn, 2), 1.0},
           {id(ParamKind::IsDelayOn, 3), 1.0}});
    for (int line = source + 1; line < kNumLines; ++line)
        p.set({{id(ParamKind::Input, line), source + 1.0}});
    for (int line = source + 1; line < kNumLines; ++line)
        ASSERT_EQ(*p->value(id(ParamKind::Input, line)), source + 1.0) << line;
}

TEST(ClapHostNews, InputsFallingBackAreSentInOrderFromProcessAndFromFlush) {
    const Values fellBack{{id(ParamKind::Input, 2), 0.0}, {id(ParamKind::Input, 3), 0.0}};
    {
        ClapPlugin p;
        listenTo(p, 1);
        ASSERT_TRUE(p->start(44100.0, 256));
        (void)p->takeSent();
        claphost::InputEvents events;
        events.addParam(10, id(ParamKind::IsDelayOn, 1), 0.0);
        silentBlock(p, 256, events);
        EXPECT_EQ(valuesSent(*p), fellBack) << "from process";
        EXPECT_EQ(*p->value(id(ParamKind::Input, 2)), 0.0);
    }
    {
        ClapPlugin p;
        listenTo(p, 1);
        (void)p->takeSent();
        p.set({{id(ParamKind::IsDelayOn, 1), 0.0}});
        EXPECT_EQ(valuesSent(*p), fellBack) << "from flush, inactive";
    }
}

// The host hears what the engine keeps when it is not what the host sent.
TEST(ClapHostNews, ValuesKeptOtherwiseThanSentAreSentBack) {
    ClapPlugin p;
    p.set({{id(ParamKind::IsDelayOn, 1), 1.0}, {id(ParamKind::IsDelayOn, 2), 0.0}});
    (void)p->takeSent();
    p.set({{id(ParamKind::Input, 3), 3.0}}); // line 3 is off: Main
    EXPECT_EQ(valuesSent(*p), (Values{{id(ParamKind::Input, 3), 0.0}}));
    p.set({{id(ParamKind::Input, 3), 2.0}}); // line 2 is on: kept as sent, nothing to say
    EXPECT_EQ(valuesSent(*p), Values{});
    ASSERT_TRUE(p->start(44100.0, 256));
    claphost::InputEvents events;
    events.addParam(0, id(ParamKind::FeedBack, 1), 1.5);
    events.addParam(1, id(ParamKind::Tempo, 2), 2000.0);
    events.addParam(2, id(ParamKind::TempoDen, 0), 3.7);
    silentBlock(p, 64, events);
    EXPECT_EQ(valuesSent(*p), (Values{{id(ParamKind::FeedBack, 1), 1.0},
                                      {id(ParamKind::Tempo, 2), 999.0},
                                      {id(ParamKind::TempoDen, 0), 3.0}}));
}

// A host whose queue takes one event per call: the engine's three changes of
// one block arrive over the following calls, one each, in the order they arose.
TEST(ClapHostNews, AFullHostQueueDelaysTheNewsButLosesNone) {
    const Values expected{{id(ParamKind::Input, 1), 0.0},
                          {id(ParamKind::Input, 2), 0.0},
                          {id(ParamKind::Input, 3), 0.0}};
    enum class Next { Process, FlushWhileProcessing, FlushInactive };
    for (Next next : {Next::Process, Next::FlushWhileProcessing, Next::FlushInactive}) {
        ClapPlugin p;
        listenTo(p, 0);
        (void)p->takeSent();
        p->outputQueueSize = 1;
        const claphost::InputEvents none;
        claphost::InputEvents lineOneOff;
        lineOneOff.addParam(0, id(ParamKind::IsDelayOn, 0), 0.0);
        if (next == Next::FlushInactive) {
            p->flush(lineOneOff);
        } else {
            ASSERT_TRUE(p->start(44100.0, 256));
            silentBlock(p, 256, lineOneOff);
        }
        Values arrived = valuesSent(*p);
        ASSERT_EQ(arrived.size(), 1u);
        for (int call = 0; call < 4; ++call) {
            if (next == Next::Process)
                silentBlock(p, 256, none);
            else
                p->flush(none);
            const Values got = valuesSent(*p);
            EXPECT_LE(got.size(), 1u) << "the host's queue takes one";
            arrived.insert(arrived.end(), got.begin(), got.end());
        }
        EXPECT_EQ(arrived, expected) << static_cast<int>(next);
    }
}

// A host may flush between two blocks while processing is started: the values
// take effect before the next block, and get_value shows them at once.
TEST(ClapHostNews, FlushBetweenTwoBlocksAppliesItsEvents) {
    ClapPlugin p;
    p.set({{clapfmt::kProgramParamId,
            12.0}}); // one line, half a beat at 120: no echo for 11025 frames
    ASSERT_TRUE(p->start(44100.0, 256));
    const auto in = noise(256, 5);
    const Outputs before = p.render(in, in, 256);
    EXPECT_TRUE(before[0] == in) << "the dry input at unity";
    claphost::InputEvents events;
    events.addParam(0, id(ParamKind::VolumeThruInput), 0.25);
    events.addParam(0, id(ParamKind::FeedBack, 2), 0.625);
    p->flush(events);
    EXPECT_EQ(*p->value(id(ParamKind::VolumeThruInput)), 0.25);
    EXPECT_EQ(*p->value(id(ParamKind::FeedBack, 2)), 0.625);
    const Outputs after = p.render(in, in, 256);
    for (std::size_t k = 0; k < in.size(); ++k)
        ASSERT_EQ(after[0][k], in[k] * 0.25f) << k;
}

// Every parameter's text at 101 values of its range, typed back through the
// module as a host does, shows the same text again; the filter texts at three
// crossovers.
TEST(ClapHostNews, EveryTextTheModuleShowsReadsBackToItself) {
    ClapPlugin p;
    for (double cross : {0.0, 0.3, 1.0}) {
        for (int line = 0; line < kNumLines; ++line)
            p.set({{id(ParamKind::CrossFrequency, line), cross}});
        for (std::uint32_t position = 0; position < p->paramCount(); ++position) {
            const clap_param_info_t info = *p->paramInfo(position);
            for (int k = 0; k <= 100; ++k) {
                const double v = info.min_value + (info.max_value - info.min_value) * k / 100.0;
                const std::optional<std::string> text = p->valueText(info.id, v);
                ASSERT_TRUE(text) << info.name << " at " << v;
                const std::optional<double> back = p->textValue(info.id, *text);
                ASSERT_TRUE(back) << info.name << " '" << *text << "'";
                EXPECT_EQ(p->valueText(info.id, *back), text)
                    << info.name << " at " << v << ", crossover " << cross;
            }
        }
    }
}

// The host's copy of the values: what it read once, what it sent since and
// every value the module sent back.
class HostCopy {
  public:
    explicit HostCopy(const ClapPlugin& p) {
        for (std::uint32_t i = 0; i < p->paramCount(); ++i)
            values_[p->paramInfo(i)->id] = *p->value(p->paramInfo(i)->id);
    }
    void sent(clap_id param, double value) { values_[param] = value; }
    void heard(claphost::Instance& p) {
        for (const auto& [param, value] : valuesSent(p))
            values_[param] = value;
    }
    const std::map<clap_id, double>& values() const { return values_; }

  private:
    std::map<clap_id, double> values_;
};

// Four lines chained and filtered, two synced, running at the transport's
// tempo; the host switches line 2 off while line 3 listens to it. A fresh
// instance given only what the host was told sounds bit for bit the same.
TEST(ClapHostNews, AHostRestoringWhatItWasToldSoundsAsTheOriginal) {
    ClapPlugin original;
    original.set({{clapfmt::kProgramParamId, 3.0}});
    original.set({{id(ParamKind::IsTempoSync, 1), 0.0},
                  {id(ParamKind::Tempo, 1), 133.3},
                  {id(ParamKind::IsTempoSync, 3), 0.0},
                  {id(ParamKind::Input, 2), 2.0},
                  {id(ParamKind::Input, 3), 1.0},
                  {id(ParamKind::TempoDen, 0), 3.0},
                  {id(ParamKind::DelayType, 2), 1.0},
                  {id(ParamKind::LowPassFrequency, 1), 0.3},
                  {id(ParamKind::HighPassFrequency, 2), 0.4},
                  {id(ParamKind::Saturation, 3), 0.7},
                  {id(ParamKind::Output, 3), 2.0},
                  {id(ParamKind::VolumeThruInput), 0.3}});
    (void)original->takeSent();
    HostCopy host(original);
    ASSERT_TRUE(original->start(44100.0, 256));
    const auto played = noise(44100, 21);
    const clap_id line2On = id(ParamKind::IsDelayOn, 1);
    original.render(played, played, 256, 100.0, [&](int start, int, claphost::InputEvents& e) {
        if (start != 256 * 40) return;
        e.addParam(17, line2On, 0.0);
        host.sent(line2On, 0.0);
    });
    host.heard(*original);
    EXPECT_EQ(host.values().at(id(ParamKind::Input, 2)), 0.0) << "the host heard the fall-back";
    for (const auto& [param, value] : host.values())
        EXPECT_EQ(*original->value(param), value) << "the host's copy of " << param;

    ClapPlugin restored;
    claphost::InputEvents all;
    all.addParam(0, clapfmt::kProgramParamId, host.values().at(clapfmt::kProgramParamId));
    for (const auto& [param, value] : host.values())
        if (param != clapfmt::kProgramParamId) all.addParam(0, param, value);
    restored->flush(all);
    EXPECT_TRUE(valuesSent(*restored).empty()) << "every value kept as the host gave it";

    // Both from silence: the host resets the original, which clears its delay
    // memory, and lets its filters ring out.
    {
        claphost::AudioThreadScope audio;
        original->plugin()->reset(original->plugin());
    }
    original.render(std::vector<float>(2 * 44100), std::vector<float>(2 * 44100), 256, 100.0);
    ASSERT_TRUE(restored->start(44100.0, 256));
    const auto heard = noise(2 * 44100, 22);
    const Outputs a = original.render(heard, heard, 256, 100.0);
    const Outputs b = restored.render(heard, heard, 256, 100.0);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(firstDifference(a[c], b[c]), -1) << "channel " << c;
    EXPECT_FALSE(nonZeroAt(a[5]).empty()) << "line 4 plays on the right of the third pair";
}

// A fresh instance (a session reopened, a state loaded) whose synced line has
// its own tempo apart from the transport's plays its first block at the
// transport's: a click there echoes at 100 bpm (13230), not at the line's own
// 120 (11025) as if the tempo had changed during the block.
TEST(ClapHostNews, AFreshInstanceHearsTheTransportTempoFromItsFirstBlock) {
    ClapPlugin p;
    p.set({{clapfmt::kProgramParamId, 12.0}}); // line 1 alone, half a beat at its own 120 bpm
    p.set({{id(ParamKind::VolumeThruInput), 0.0}, {id(ParamKind::IsTempoSync, 0), 1.0}});
    ASSERT_TRUE(p->start(44100.0, 256));
    std::vector<float> click(44100, 0.0f);
    click[0] = 1.0f;
    const Outputs heard = p.render(click, click, 256, 100.0);
    EXPECT_EQ(nonZeroAt(heard[0]), std::vector<int>{13230});
}

} // namespace
} // namespace tesk::test
