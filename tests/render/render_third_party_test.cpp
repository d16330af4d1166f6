// tesk-render driving modules nobody here wrote: Debian's LSP Artistic Delay
// (stereo, exports VSTPluginMain) and ZamDelay (mono, exports main).
#include "render_support.h"

#include <gtest/gtest.h>

namespace tesk::render::test {
namespace {

constexpr int kRate = 44100;
// The LSP plug-in finishes a parameter change in a background thread: the tests
// give it a warm-up in real time, and the impulse comes a little later still.
constexpr std::size_t kImpulseAt = kRate / 2;

class ThirdPartyRender : public ::testing::Test {
  protected:
    void SetUp() override {
        Audio input = silence(2, 2 * kRate);
        input.channels[0][kImpulseAt] = 1.0f;
        input.channels[1][kImpulseAt] = 1.0f;
        writeAudio(folder_.file("impulse.wav"), input);
    }

    TempFolder folder_;
};

TEST_F(ThirdPartyRender, LspArtisticDelayRendersFiniteWetAudio) {
#ifndef TESK_LSP_ART_DELAY
    FAIL() << moduleMissing("art-delay-stereo.so", "lsp-plugins-vst");
#else
    // One tap 64 ms after the dry signal (dadd spans 0 to 256 s).
    RunResult run = runRenderThirdParty(
        {"--quiet", "--warm-up", "0.25", "--plugin", TESK_LSP_ART_DELAY, "--set", "on0=1", "--set",
         "dadd0=0.00025", folder_.file("impulse.wav"), folder_.file("out.flac")},
        folder_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Audio out = readAudio(folder_.file("out.flac"));
    ASSERT_EQ(out.channels.size(), 2u);
    EXPECT_TRUE(allFinite(out));
    std::vector<std::size_t> heard = framesAbove(out.channels[0], 0.01f);
    ASSERT_FALSE(heard.empty()) << "the plug-in gave silence";
    EXPECT_EQ(heard.front(), kImpulseAt) << "the dry impulse moved";
    EXPECT_GT(heard.back(), kImpulseAt + kRate / 20) << "no echo: the output is dry";
#endif
}

TEST_F(ThirdPartyRender, LspListNamesThePluginAndItsParameters) {
#ifndef TESK_LSP_ART_DELAY
    FAIL() << moduleMissing("art-delay-stereo.so", "lsp-plugins-vst");
#else
    RunResult run = runRenderThirdParty({"--plugin", TESK_LSP_ART_DELAY, "--list"}, folder_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Artistic Delay"), std::string::npos) << run.out.substr(0, 200);
    EXPECT_NE(run.out.find(" dadd0 "), std::string::npos);
#endif
}

TEST_F(ThirdPartyRender, ZamDelayIsFedAMonoMixAndFillsBothChannels) {
#ifndef TESK_ZAM_DELAY
    FAIL() << moduleMissing("ZamDelay-vst.so", "zam-plugins");
#else
    RunResult run = runRenderThirdParty(
        {"--plugin", TESK_ZAM_DELAY, folder_.file("impulse.wav"), folder_.file("out.wav")},
        folder_.path());
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("mono"), std::string::npos) << run.err;
    Audio out = readAudio(folder_.file("out.wav"));
    ASSERT_EQ(out.channels.size(), 2u);
    EXPECT_TRUE(allFinite(out));
    EXPECT_GT(peak(out.channels[0]), 0.01f);
    EXPECT_EQ(out.channels[0], out.channels[1]);
#endif
}

} // namespace
} // namespace tesk::render::test
