// What a VST 2 host reads back through getParameter after the engine changed
// values on its own (a followed tempo, an input falling back), and a fresh
// instance restored from nothing but that: hosts save sessions this way.
#include "plugin_fixture.h"

#include "parameters.h"

#include <vector>

namespace tesk::test {
namespace {

int idx(ParamKind kind, int line = 0) {
    return parameterIndex(kind, line);
}

Plugin atHostTempo(double bpm) {
    Plugin p([bpm](vsthost::HostState& host) { host.setTransport(bpm, 44100.0); });
    p->start(44100.0, 512);
    return p;
}

// Four lines on, chained, filtered, saturated, two of them synced.
void chainedSetting(const Plugin& p) {
    p->dispatch(effSetProgram, 0, 3);
    p.set({{idx(ParamKind::IsTempoSync, 0), 1.0f},
           {idx(ParamKind::IsTempoSync, 1), 0.0f},
           {idx(ParamKind::Tempo, 1), 133.3f},
           {idx(ParamKind::IsTempoSync, 2), 1.0f},
           {idx(ParamKind::IsTempoSync, 3), 0.0f},
           {idx(ParamKind::Tempo, 3), 71.0f},
           {idx(ParamKind::Input, 2), 0.2f},
           {idx(ParamKind::Input, 3), 0.1f},
           {idx(ParamKind::TempoDen, 0), 0.37f},
           {idx(ParamKind::TempoNum, 2), 0.2f},
           {idx(ParamKind::DelayType, 2), 1.0f},
           {idx(ParamKind::FeedBack, 2), 0.61f},
           {idx(ParamKind::LowPassFrequency, 1), 0.3f},
           {idx(ParamKind::HighPassFrequency, 2), 0.4f},
           {idx(ParamKind::Saturation, 3), 0.7f},
           {idx(ParamKind::Output, 3), 0.2f},
           {idx(ParamKind::VolumeThruInput), 0.3f}});
}

TEST(HostView, AHostRestoringWhatItReadSoundsAsTheOriginalFollowedTempoIncluded) {
    Plugin original = atHostTempo(100.0);
    chainedSetting(original);
    const auto played = clickThenNoise(2 * 44100, 1);
    original.render(played, played);
    // The synced lines took the host's tempo into the value the host reads.
    EXPECT_EQ(original->getParameter(idx(ParamKind::Tempo, 0)), tempoToInterface(100.0f));
    EXPECT_EQ(original->getParameter(idx(ParamKind::Tempo, 2)), tempoToInterface(100.0f));
    EXPECT_EQ(original->getParameter(idx(ParamKind::Tempo, 1)), tempoToInterface(133.3f));
    // Line 3 listened to line 2: switching line 2 off sends it back to the main input.
    ASSERT_EQ(original->getParameter(idx(ParamKind::Input, 2)), 0.2f);
    original->setParameter(idx(ParamKind::IsDelayOn, 1), 0.0f);
    EXPECT_EQ(original->getParameter(idx(ParamKind::Input, 2)), 0.0f);
    EXPECT_EQ(original->getParameter(idx(ParamKind::Input, 3)), 0.1f);
    original.render(played, played);

    // What a host saves: the program and every value it reads, restored in index order.
    const auto program = static_cast<std::int32_t>(original->dispatch(effGetProgram));
    std::vector<float> saved;
    for (int i = 0; i < kNumParameters; ++i)
        saved.push_back(original->getParameter(i));
    Plugin restored = atHostTempo(100.0);
    restored->dispatch(effSetProgram, 0, program);
    for (int i = 0; i < kNumParameters; ++i)
        restored->setParameter(i, saved[static_cast<std::size_t>(i)]);
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_EQ(restored->getParameter(i), saved[static_cast<std::size_t>(i)])
            << restored->parameterName(i);

    // Both start from silence: the host stops and starts the original, which
    // clears its delay memory, and lets its filters ring out.
    original->stop();
    original->dispatch(effMainsChanged, 0, 1);
    original.render(std::vector<float>(2 * 44100), std::vector<float>(2 * 44100));
    const auto heard = clickThenNoise(3 * 44100, 2);
    const Outputs a = original.render(heard, heard);
    const Outputs b = restored.render(heard, heard);
    for (int c = 0; c < 6; ++c)
        EXPECT_EQ(firstDifference(a[c], b[c]), -1) << "channel " << c;
    ASSERT_FALSE(nonZeroAt(a[5]).empty()) << "line 4 plays on the right of the third pair";
}

} // namespace
} // namespace tesk::test
