// TeskDelay.clap with an audio thread of its own: states loaded on the main
// thread while blocks run reach the engine whole, between two blocks.
#include "block_thread.h"
#include "clap_fixture.h"
#include "clap_params.h"
#include "parameters.h"

namespace tesk::test {
namespace {

clap_id id(ParamKind kind, int line = 0) {
    return static_cast<clap_id>(parameterIndex(kind, line));
}

constexpr std::uint32_t kBlock = 64;
constexpr float kLevel = 0.25f;

/// One main-pair frame.
struct Frame {
    float left;
    float right;
    bool operator==(const Frame&) const = default;
};

// Judges the blocks of a constant input: once the line's memory has filled,
// every frame of every block must be one of the two frames the states give,
// never anything else.
class Judge {
  public:
    Judge(Frame a, Frame b) : a_(a), b_(b) {}

    void block(const std::vector<float>& left, const std::vector<float>& right) {
        int a = 0, b = 0;
        for (std::uint32_t k = 0; k < kBlock; ++k) {
            const Frame frame{left[k], right[k]};
            a += frame == a_;
            b += frame == b_;
            if (frame != a_ && frame != b_ && strangers++ == 0) firstStranger = frame;
        }
        blocksOfA += a == static_cast<int>(kBlock);
        blocksOfB += b == static_cast<int>(kBlock);
    }

    int blocksOfA = 0, blocksOfB = 0, strangers = 0;
    Frame firstStranger{};

  private:
    const Frame a_, b_;
};

// The steady main-pair frame of `state` for a constant input, on its own thread.
Frame steadyFrame(const std::vector<std::uint8_t>& state) {
    ClapPlugin p;
    EXPECT_TRUE(p->loadState(state));
    EXPECT_TRUE(p->start(44100.0, kBlock));
    const std::vector<float> in(20 * kBlock, kLevel);
    const Outputs out = p.render(in, in, kBlock);
    return {out[0].back(), out[1].back()};
}

// Two states of one line whose every steady block tells them apart from each
// other and from any mixture of the two: A plays the dry input alone, B the
// echo alone, panned hard left. Same line, same tempo, so switching moves no
// head and needs no fade.
TEST(ClapThreads, AStateLoadedWhileBlocksRunIsNeverHalfApplied) {
    ClapPlugin setter;
    setter.set({{clapfmt::kProgramParamId, 12.0}});
    setter.set({{id(ParamKind::IsTempoSync, 0), 0.0},
                {id(ParamKind::Tempo, 0), 120.0},
                {id(ParamKind::TempoDen, 0), 8.0}, // a 64th of a beat: 344 frames
                {id(ParamKind::DelayType, 0), 0.0},
                {id(ParamKind::FeedBack, 0), 0.5},
                {id(ParamKind::Pan, 0), 0.0},
                {id(ParamKind::LowPassFrequency, 0), 0.0},
                {id(ParamKind::HighPassFrequency, 0), 1.0},
                {id(ParamKind::Saturation, 0), 0.0},
                {id(ParamKind::VolumeThruInput), 1.0},
                {id(ParamKind::Volume, 0), 0.0}});
    const std::vector<std::uint8_t> a = *setter->saveState();
    setter.set({{id(ParamKind::VolumeThruInput), 0.0}, {id(ParamKind::Volume, 0), 0.5}});
    const std::vector<std::uint8_t> b = *setter->saveState();
    const Frame frameA = steadyFrame(a), frameB = steadyFrame(b);
    ASSERT_EQ(frameA, (Frame{kLevel, kLevel})) << "A: the dry input only";
    ASSERT_NE(frameB.left, 0.0f) << "B: the echo only, on the left";
    ASSERT_EQ(frameB.right, 0.0f);

    ClapPlugin p;
    ASSERT_TRUE(p->loadState(a));
    ASSERT_TRUE(p->start(44100.0, kBlock));
    std::vector<float> in(20 * kBlock, kLevel);
    p.render(in, in, kBlock); // the memory fills before the judging starts
    in.resize(kBlock);
    std::vector<std::vector<float>> out(6, std::vector<float>(kBlock));
    std::vector<float*> outputs;
    for (auto& channel : out)
        outputs.push_back(channel.data());
    const claphost::InputEvents none;
    Judge judge(frameA, frameB);
    {
        BlockThread audio([&] {
            p->process({in.data(), in.data()}, outputs, kBlock, none);
            judge.block(out[0], out[1]);
        });
        for (int load = 0; load < 400; ++load) {
            ASSERT_TRUE(p->loadState(load % 2 == 0 ? b : a)) << load;
            ASSERT_TRUE(audio.waitForBlocks(2)) << "the audio thread stalled at load " << load;
        }
    }
    EXPECT_EQ(judge.strangers, 0) << "first stray frame (" << judge.firstStranger.left << ", "
                                  << judge.firstStranger.right << ")";
    EXPECT_GE(judge.blocksOfA, 200);
    EXPECT_GE(judge.blocksOfB, 200);
}

} // namespace
} // namespace tesk::test
