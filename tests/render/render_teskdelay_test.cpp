// tesk-render driving our own module: echoes must land on the exact samples the
// programs and parameters imply.
#include "render_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <map>

namespace tesk::render::test {
namespace {

constexpr int kRate = 44100;
constexpr std::size_t kInputFrames = 2 * kRate;
// Past the first block: a line whose tempo changes as playback starts (tempo
// following, or a --set after the program) cross-fades its write head during
// that block, which would split an impulse between the old and new delay.
constexpr std::size_t kImpulseAt = 3000;
constexpr float kTolerance = 1e-6f;

// The mono impulse of 1.0 reaches both inputs, so every line is fed their sum, 2.0.
constexpr float kMonoSum = 2.0f;
// Program 0 "Simple single echo": line 1 alone, one echo at FeedBack 0.5, Pan 0,
// unity Volume, half a beat (TempoNum 1, TempoDen 2), dry input at unity.
constexpr float kProgram0FeedBack = 0.5f;
// Program 1 "Simple multiple echo": program 0 recirculating at FeedBack 0.445.
constexpr float kProgram1FeedBack = 0.445f;
// A tempo that the line takes exactly, with a delay far from a whole-sample edge.
constexpr double kTempo = 88.0;

/// Expects `channel` silent except for the frames of `expected`, which carry its values.
/// Expected frames past the end of the file are not checked.
void expectOnlyAt(const std::vector<float>& channel, const std::map<std::size_t, float>& expected) {
    for (std::size_t frame = 0; frame < channel.size(); ++frame) {
        auto found = expected.find(frame);
        float want = found == expected.end() ? 0.0f : found->second;
        ASSERT_NEAR(channel[frame], want, kTolerance * std::max(1.0f, std::fabs(want)))
            << "at frame " << frame;
    }
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

class TeskDelayRender : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef TESK_DELAY_PATH
        GTEST_SKIP() << "the TeskDelay module is not part of this build yet";
#endif
        Audio input = silence(1, kInputFrames);
        input.channels[0][kImpulseAt] = 1.0f;
        writeAudio(folder_.file("impulse.wav"), input);
    }

    /// Renders the mono impulse with `args` into `output` and reads the result back.
    Audio renderImpulse(std::vector<std::string> args, const std::string& output = "out.wav") {
        args.insert(args.end(), {"--quiet", folder_.file("impulse.wav"), folder_.file(output)});
        RunResult run = runRender(args, folder_.path());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        return readAudio(folder_.file(output));
    }

    TempFolder folder_;
};

TEST_F(TeskDelayRender, ProgramZeroEchoesOnceAfterHalfABeatOnTheLeft) {
    Audio out = renderImpulse({"--program", "0", "--tempo", "88"});
    std::int64_t delay = delaySamples(kRate, kTempo, 1, 2);
    ASSERT_EQ(out.channels.size(), 2u);
    ASSERT_GT(out.frames(), kImpulseAt + static_cast<std::size_t>(delay));
    expectOnlyAt(out.channels[0],
                 {{kImpulseAt, 1.0f}, {kImpulseAt + delay, kProgram0FeedBack * kMonoSum}});
    expectOnlyAt(out.channels[1], {{kImpulseAt, 1.0f}});
}

TEST_F(TeskDelayRender, ProgramByNameRecirculatesAtEveryMultipleOfTheDelay) {
    Audio out = renderImpulse({"--program", "simple MULTIPLE echo", "--tempo", "88"});
    ASSERT_EQ(out.channels.size(), 2u);
    auto delay = static_cast<std::size_t>(delaySamples(kRate, kTempo, 1, 2));
    ASSERT_GT(out.frames(), kImpulseAt + 3 * delay) << "the tail ended before the third echo";
    std::map<std::size_t, float> echoes{{kImpulseAt, 1.0f}};
    float level = kMonoSum;
    for (std::size_t at = kImpulseAt + delay; at < out.frames(); at += delay) {
        level *= kProgram1FeedBack;
        echoes[at] = level;
    }
    expectOnlyAt(out.channels[0], echoes);
    expectOnlyAt(out.channels[1], {{kImpulseAt, 1.0f}});
}

TEST_F(TeskDelayRender, ProgramByNumberAndByShownNameRenderAlike) {
    EXPECT_EQ(renderImpulse({"--program", "1"}, "number.wav").channels,
              renderImpulse({"--program", "Simple multiple echo"}, "name.wav").channels);
    // The neutral programs show their number: "Init 14" is program 13.
    EXPECT_EQ(renderImpulse({"--program", "13"}, "init-number.wav").channels,
              renderImpulse({"--program", "init 14"}, "init-name.wav").channels);
}

TEST_F(TeskDelayRender, SetByNameMovesTheEchoAndSetsItsLevelAndSide) {
    Audio out = renderImpulse({"--program", "0", "--set", "IsTempoSync1=0", "--set", "Tempo1=97",
                               "--set", "TempoNum1=0.2", "--set", "TempoDen1=0.3", "--set",
                               "FeedBack1=0.25", "--set", "Pan1=1", "--set", "VolumeThruInput=0"});
    // TempoNum index 2 is 3, TempoDen index 3 is 4: three quarters of a beat at 97.
    std::int64_t delay = delaySamples(kRate, 97.0, 3, 4);
    ASSERT_EQ(out.channels.size(), 2u);
    ASSERT_GT(out.frames(), kImpulseAt + static_cast<std::size_t>(delay));
    expectOnlyAt(out.channels[0], {});
    expectOnlyAt(out.channels[1], {{kImpulseAt + delay, 0.25f * kMonoSum}});
}

TEST_F(TeskDelayRender, SetByIndexMatchesSetByName) {
    Audio byName = renderImpulse({"--program", "0", "--set", "IsTempoSync1=0", "--set", "Tempo1=97",
                                  "--set", "TempoDen1=0.3", "--set", "Pan1=1"},
                                 "name.wav");
    Audio byIndex = renderImpulse(
        {"--program", "0", "--set", "57=0", "--set", "45=97", "--set", "53=0.3", "--set", "13=1"},
        "index.wav");
    EXPECT_EQ(byName.channels, byIndex.channels);
    ASSERT_EQ(byIndex.channels.size(), 2u);
    EXPECT_GT(peak(byIndex.channels[1]), 0.5f);
}

TEST_F(TeskDelayRender, BlockSizeDoesNotMoveTheEchoes) {
    EXPECT_EQ(renderImpulse({"--program", "1", "--block", "100"}, "small.wav").channels,
              renderImpulse({"--program", "1", "--block", "4096"}, "large.wav").channels);
}

// Line 2 on pair 1 ("Out 2") panned right, line 3 on pair 2 ("Out 3") panned left;
// program 0 gives lines 1, 2 and 3 a half, a third and a quarter of a beat.
const std::vector<std::string> kRoutedLines{
    "--program", "0",           "--tempo", "88",     "--set", "IsDelayOn2=1",
    "--set",     "Output2=0.1", "--set",   "Pan2=1", "--set", "IsDelayOn3=1",
    "--set",     "Output3=0.5", "--set",   "Pan3=0"};

TEST_F(TeskDelayRender, OutputsAllPutsEveryLineOnTheChannelItIsRoutedTo) {
    std::vector<std::string> args = kRoutedLines;
    args.insert(args.end(), {"--outputs", "all"});
    Audio out = renderImpulse(args);
    ASSERT_EQ(out.channels.size(), 6u);
    std::size_t half = kImpulseAt + delaySamples(kRate, kTempo, 1, 2);
    std::size_t third = kImpulseAt + delaySamples(kRate, kTempo, 1, 3);
    std::size_t quarter = kImpulseAt + delaySamples(kRate, kTempo, 1, 4);
    ASSERT_GT(out.frames(), half);
    float echo = kProgram0FeedBack * kMonoSum;
    expectOnlyAt(out.channels[0], {{kImpulseAt, 1.0f}, {half, echo}});
    expectOnlyAt(out.channels[1], {{kImpulseAt, 1.0f}});
    expectOnlyAt(out.channels[2], {});
    expectOnlyAt(out.channels[3], {{third, echo}});
    expectOnlyAt(out.channels[4], {{quarter, echo}});
    expectOnlyAt(out.channels[5], {});
}

TEST_F(TeskDelayRender, OutputsMixSumsThePairsIntoStereo) {
    std::vector<std::string> args = kRoutedLines;
    args.insert(args.end(), {"--outputs", "mix"});
    Audio out = renderImpulse(args);
    ASSERT_EQ(out.channels.size(), 2u);
    float echo = kProgram0FeedBack * kMonoSum;
    expectOnlyAt(out.channels[0], {{kImpulseAt, 1.0f},
                                   {kImpulseAt + delaySamples(kRate, kTempo, 1, 2), echo},
                                   {kImpulseAt + delaySamples(kRate, kTempo, 1, 4), echo}});
    expectOnlyAt(out.channels[1],
                 {{kImpulseAt, 1.0f}, {kImpulseAt + delaySamples(kRate, kTempo, 1, 3), echo}});
}

TEST_F(TeskDelayRender, HostTempoReachesASyncedLineButNotAFreeOne) {
    // Both set line 1 to 88 after the program; only the synced line then follows the host.
    Audio synced =
        renderImpulse({"--tempo", "137", "--program", "0", "--set", "Tempo1=88"}, "synced.wav");
    Audio free = renderImpulse(
        {"--tempo", "137", "--program", "0", "--set", "IsTempoSync1=0", "--set", "Tempo1=88"},
        "free.wav");
    ASSERT_EQ(synced.channels.size(), 2u);
    ASSERT_EQ(free.channels.size(), 2u);
    float echo = kProgram0FeedBack * kMonoSum;
    expectOnlyAt(synced.channels[0],
                 {{kImpulseAt, 1.0f}, {kImpulseAt + delaySamples(kRate, 137.0, 1, 2), echo}});
    expectOnlyAt(free.channels[0],
                 {{kImpulseAt, 1.0f}, {kImpulseAt + delaySamples(kRate, 88.0, 1, 2), echo}});
}

TEST_F(TeskDelayRender, PicksTheChannelsOfAWideFile) {
    Audio wide = silence(4, kInputFrames);
    wide.channels[2][kImpulseAt] = 0.5f;
    wide.channels[3][kImpulseAt + 7] = 0.25f;
    writeAudio(folder_.file("wide.wav"), wide);
    RunResult run = runRender({"--quiet", "--channels", "3,4", "--program", "0", "--set",
                               "IsDelayOn1=0", folder_.file("wide.wav"), folder_.file("out.wav")},
                              folder_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Audio out = readAudio(folder_.file("out.wav"));
    ASSERT_EQ(out.channels.size(), 2u);
    expectOnlyAt(out.channels[0], {{kImpulseAt, 0.5f}});
    expectOnlyAt(out.channels[1], {{kImpulseAt + 7, 0.25f}});
}

TEST_F(TeskDelayRender, DemoRendersAudibleFiniteAudioIntoDemoWav) {
    RunResult run = runRender({}, folder_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find((folder_.path() / "demo.wav").string()), std::string::npos)
        << "the tool should say where the file is: " << run.err;
    Audio demo = readAudio(folder_.file("demo.wav"));
    ASSERT_EQ(demo.channels.size(), 2u);
    EXPECT_GT(demo.frames(), static_cast<std::size_t>(kRate));
    EXPECT_TRUE(allFinite(demo));
    EXPECT_GT(peak(demo.channels[0]), 0.01f);
    EXPECT_GT(peak(demo.channels[1]), 0.01f);

    // The same render again gives the same bytes: no time of writing in the file.
    const std::string first = fileBytes(folder_.file("demo.wav"));
    ASSERT_EQ(runRender({"--quiet", "-o", "again.wav"}, folder_.path()).exitCode, 0);
    EXPECT_EQ(fileBytes(folder_.file("again.wav")), first);
    EXPECT_EQ(first.find("PEAK"), std::string::npos);
}

TEST_F(TeskDelayRender, DemoGoesToTheGivenOutputAsFlac) {
    RunResult run = runRender({"--quiet", "-o", "phrase.flac"}, folder_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "demo.wav"));
    Audio demo = readAudio(folder_.file("phrase.flac"));
    ASSERT_EQ(demo.channels.size(), 2u);
    EXPECT_GT(peak(demo.channels[0]), 0.01f);
}

TEST_F(TeskDelayRender, ListShowsEveryParameterAndTheProgramNames) {
    RunResult run = runRender({"--list"}, folder_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    for (const char* program : {"Simple single echo", "Ping pong", "Init 13", "Init 16"}) {
        EXPECT_NE(run.out.find(program), std::string::npos) << program;
    }
    std::vector<std::string> names{"VolumeThruInput"};
    for (const char* base : {"FeedBack", "Volume", "IsDelayOn", "Pan", "Input", "Output",
                             "DelayType", "Saturation", "LowPassFrequency", "HighPassFrequency",
                             "CrossFrequency", "Tempo", "TempoNum", "TempoDen", "IsTempoSync"}) {
        for (int line = 1; line <= 4; ++line)
            names.push_back(base + std::to_string(line));
    }
    for (const std::string& name : names) {
        EXPECT_NE(run.out.find(" " + name + " "), std::string::npos) << name;
    }
}

} // namespace
} // namespace tesk::render::test
