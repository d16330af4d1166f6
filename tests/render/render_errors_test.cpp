// Every way tesk-render refuses to run: the message names the problem and the
// exit code tells scripts which one it was.
#include "render_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tesk::render::test {
namespace {

// The exit codes --help documents.
constexpr int kUsage = 2;
constexpr int kInputFile = 3;
constexpr int kOutputFile = 4;
constexpr int kPlugin = 5;
constexpr int kUnknownParameter = 6;
constexpr int kValueOutOfRange = 7;
constexpr int kUnknownProgram = 8;
constexpr int kChannels = 9;

class RenderErrors : public ::testing::Test {
  protected:
    void SetUp() override {
        Audio input = silence(2, 4410);
        input.channels[0][100] = 1.0f;
        writeAudio(folder_.file("in.wav"), input);
    }

    /// Runs the tool and expects `code` and a message holding each of `phrases`;
    /// `thirdParty` marks a run that loads a module nobody here wrote.
    void expectFailure(const std::vector<std::string>& args, int code,
                       const std::vector<std::string>& phrases, bool thirdParty = false) {
        RunResult run = thirdParty ? runRenderThirdParty(args, folder_.path())
                                   : runRender(args, folder_.path());
        EXPECT_EQ(run.exitCode, code) << run.err;
        EXPECT_NE(run.err.find("tesk-render: "), std::string::npos) << run.err;
        for (const std::string& phrase : phrases) {
            EXPECT_NE(run.err.find(phrase), std::string::npos)
                << "no '" << phrase << "' in: " << run.err;
        }
    }

    /// Arguments that render in.wav through `plugin` with `more` options.
    std::vector<std::string> through(const std::string& plugin,
                                     std::vector<std::string> more) const {
        more.insert(more.begin(), {"--plugin", plugin});
        more.insert(more.end(), {folder_.file("in.wav"), folder_.file("out.wav")});
        return more;
    }

    TempFolder folder_;
};

TEST_F(RenderErrors, MissingInputFile) {
    expectFailure({folder_.file("nowhere.wav")}, kInputFile, {"nowhere.wav", "does not exist"});
}

TEST_F(RenderErrors, UnreadableInputSaysPermissionDenied) {
    std::filesystem::permissions(folder_.file("in.wav"), std::filesystem::perms::none);
    RunResult run = runRenderWithinPermissions({folder_.file("in.wav"), folder_.file("out.wav")},
                                               folder_.path());
    EXPECT_EQ(run.exitCode, kInputFile) << run.err;
    for (const std::string phrase : {"in.wav", "permission denied", "read access"})
        EXPECT_NE(run.err.find(phrase), std::string::npos)
            << "no '" << phrase << "' in " << run.err;
    EXPECT_EQ(run.err.find("System error"), std::string::npos) << run.err;
}

TEST_F(RenderErrors, EmptyFileNamesAreNotTakenForNone) {
    // An empty INPUT would otherwise render the demo: a script's unset variable.
    expectFailure({""}, kUsage, {"empty name", "INPUT"});
    expectFailure({folder_.file("in.wav"), ""}, kUsage, {"empty name", "OUTPUT"});
    expectFailure({"-o", ""}, kUsage, {"empty name", "-o"});
    expectFailure({"--plugin", ""}, kUsage, {"empty name", "--plugin"});
    EXPECT_FALSE(std::filesystem::exists(folder_.path() / "demo.wav"));
}

TEST_F(RenderErrors, InputThatIsNotAudio) {
    std::ofstream(folder_.file("text.wav")) << "not audio at all";
    expectFailure({folder_.file("text.wav"), folder_.file("out.wav")}, kInputFile,
                  {"cannot read", "text.wav"});
}

TEST_F(RenderErrors, SharedObjectThatIsNotAPlugin) {
    expectFailure(through(NOT_A_PLUGIN_PATH, {}), kPlugin, {"not a VST 2 module", "--plugin"});
}

TEST_F(RenderErrors, MissingPluginModule) {
    expectFailure(through(folder_.file("absent.so"), {}), kPlugin, {"absent.so", "does not exist"});
}

TEST_F(RenderErrors, BadOptionsAndOutputNames) {
    expectFailure({"--frobnicate"}, kUsage, {"unknown option '--frobnicate'", "--help"});
    expectFailure({"--tempo", "fast"}, kUsage, {"--tempo takes a number"});
    expectFailure({"--set", "FeedBack1"}, kUsage, {"NAME=VALUE"});
    expectFailure({folder_.file("in.wav"), folder_.file("out.mp3")}, kUsage, {".wav or .flac"});
    for (const char* gain : {"loud", "-101", "41", "", "nan"})
        expectFailure({"--gain", gain}, kUsage, {"--gain takes decibels from -100 to 40"});
}

TEST_F(RenderErrors, ASettingsFileLineIsNamedByFileAndLine) {
#ifndef TESK_DELAY_PATH
    GTEST_SKIP() << "the TeskDelay module is not part of this build yet";
#else
    const std::string file = folder_.file("session.txt");
    std::ofstream(file) << "# a session\nFeedBack1=0.5\n\nFeedBack2\n";
    expectFailure({"--settings", file}, kUsage,
                  {file + ":4: 'FeedBack2' is not NAME=VALUE", "# comment"});
    std::ofstream(file) << "FeedBack1=0.5\nFeedBack2=much\n";
    expectFailure({"--settings", file}, kUsage, {file + ":2: FeedBack2 needs a number"});
    std::ofstream(file) << "FeedBack1=0.5\nFeedBak2=0.5\n";
    expectFailure(through(TESK_DELAY_PATH, {"--settings", file}), kUnknownParameter,
                  {file + ":2: 'TeskDelay' has no parameter 'FeedBak2'"});
    std::ofstream(file) << "\n\nTempo3=1200\n";
    expectFailure(through(TESK_DELAY_PATH, {"--settings", file}), kValueOutOfRange,
                  {file + ":3: Tempo3 takes"});
#endif
}

TEST_F(RenderErrors, OutputInAMissingFolder) {
#ifndef TESK_LSP_ART_DELAY
    FAIL() << moduleMissing("art-delay-stereo.so", "lsp-plugins-vst");
#else
    expectFailure({"--plugin", TESK_LSP_ART_DELAY, folder_.file("in.wav"),
                   folder_.file("no/such/folder/out.wav")},
                  kOutputFile, {"cannot write", "folder"}, true);
#endif
}

TEST_F(RenderErrors, TooManyInputChannels) {
    writeAudio(folder_.file("quad.wav"), silence(4, 100));
    expectFailure({folder_.file("quad.wav"), folder_.file("out.wav")}, kChannels,
                  {"4 channels", "--channels"});
    expectFailure({"--channels", "5,6", folder_.file("quad.wav"), folder_.file("out.wav")},
                  kChannels, {"1 to 4"});
}

TEST_F(RenderErrors, UnknownParameterOfAThirdPartyPlugin) {
#ifndef TESK_LSP_ART_DELAY
    FAIL() << moduleMissing("art-delay-stereo.so", "lsp-plugins-vst");
#else
    expectFailure(through(TESK_LSP_ART_DELAY, {"--set", "dry_onn=1"}), kUnknownParameter,
                  {"no parameter 'dry_onn'", "'dry_on'"}, true);
    expectFailure(through(TESK_LSP_ART_DELAY, {"--set", "wet=1.5"}), kValueOutOfRange,
                  {"wet", "0 to 1"}, true);
    expectFailure(through(TESK_LSP_ART_DELAY, {"--program", "1"}), kUnknownProgram, {"no programs"},
                  true);
#endif
}

TEST_F(RenderErrors, UnknownNamesAndRangesOfTeskDelay) {
#ifndef TESK_DELAY_PATH
    GTEST_SKIP() << "the TeskDelay module is not part of this build yet";
#else
    expectFailure(through(TESK_DELAY_PATH, {"--set", "FeedBak1=0.5"}), kUnknownParameter,
                  {"no parameter 'FeedBak1'", "'FeedBack1'"});
    expectFailure(through(TESK_DELAY_PATH, {"--set", "FeedBack1=1.5"}), kValueOutOfRange,
                  {"FeedBack1", "0 to 1"});
    // The tempos also take beats per minute: the message says so, and what they show.
    expectFailure(through(TESK_DELAY_PATH, {"--set", "Tempo1=1200"}), kValueOutOfRange,
                  {"Tempo1 takes values from 0 to 1, or from 48 to 999 bpm as the plug-in "
                   "shows them; not 1200",
                   "shows 999.0 bpm"});
    // A pan shows "50" at both ends: 50 is no value of a unit of its own.
    expectFailure(through(TESK_DELAY_PATH, {"--set", "Pan1=50"}), kValueOutOfRange,
                  {"Pan1 takes values from 0 to 1; not 50"});
    expectFailure(through(TESK_DELAY_PATH, {"--program", "Ping pang"}), kUnknownProgram,
                  {"no program 'Ping pang'", "'Ping pong'"});
    expectFailure(through(TESK_DELAY_PATH, {"--program", "16"}), kUnknownProgram, {"0 to 15"});
    expectFailure(through(TESK_DELAY_PATH, {"--program", "Init"}), kUnknownProgram,
                  {"12, 13, 14, 15"});
#endif
}

TEST_F(RenderErrors, HelpDocumentsTheExitCodes) {
    RunResult run = runRender({"--help"}, folder_.path());
    EXPECT_EQ(run.exitCode, 0);
    for (int code : {kUsage, kInputFile, kOutputFile, kPlugin, kUnknownParameter, kValueOutOfRange,
                     kUnknownProgram, kChannels}) {
        EXPECT_NE(run.out.find("\n  " + std::to_string(code) + "  "), std::string::npos) << code;
    }
}

} // namespace
} // namespace tesk::render::test
