// What tesk-render writes: how loud (--gain, and the warning when samples go past
// full scale) and in what files (WAV headers other tools read without a murmur).
#include "render_support.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>
#include <regex>

namespace tesk::render::test {
namespace {

constexpr int kRate = 44100;
/// The loud phrase peaks at -5.7 dBFS, as the phrase that program 11 lifted past
/// full scale did.
constexpr float kPhrasePeak = 0.519f;

/// Four plucked notes, decaying, the loudest at kPhrasePeak.
Audio loudPhrase() {
    Audio audio = silence(2, 2 * kRate);
    const double pitches[] = {220.0, 277.2, 329.6, 440.0};
    for (int note = 0; note < 4; ++note) {
        const std::size_t start = static_cast<std::size_t>(note) * kRate / 4;
        for (std::size_t k = 0; k < static_cast<std::size_t>(kRate / 4); ++k) {
            const double t = static_cast<double>(k) / kRate;
            const auto sample =
                static_cast<float>(kPhrasePeak * std::exp(-6.0 * t) *
                                   std::sin(2.0 * std::numbers::pi * pitches[note] * t));
            audio.channels[0][start + k] = sample;
            audio.channels[1][start + k] = 0.8f * sample;
        }
    }
    return audio;
}

/// Samples of every channel whose magnitude is above full scale.
std::int64_t countOverFullScale(const Audio& audio) {
    std::int64_t count = 0;
    for (const auto& channel : audio.channels)
        count += static_cast<std::int64_t>(framesAbove(channel, 1.0f).size());
    return count;
}

float largestMagnitude(const Audio& audio) {
    float largest = 0.0f;
    for (const auto& channel : audio.channels)
        largest = std::max(largest, peak(channel));
    return largest;
}

std::string fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

template <typename T> T fieldAt(const std::string& bytes, std::size_t at) {
    T value{};
    if (at + sizeof value <= bytes.size()) std::memcpy(&value, bytes.data() + at, sizeof value);
    return value;
}

class RenderOutput : public ::testing::Test {
  protected:
    void SetUp() override {
#ifndef TESK_DELAY_PATH
        GTEST_SKIP() << "the TeskDelay module is not part of this build yet";
#endif
        writeAudio(folder_.file("phrase.wav"), loudPhrase());
    }

    /// Renders the loud phrase through `program` (by default 11, which lifts it past
    /// full scale) with `more` options into `output`.
    RunResult renderPhrase(const std::string& output, std::vector<std::string> more = {},
                           const std::string& program = "11") {
        more.insert(more.end(),
                    {"--program", program, folder_.file("phrase.wav"), folder_.file(output)});
        return runRender(more, folder_.path());
    }

    TempFolder folder_;
};

TEST_F(RenderOutput, AClippingRenderSaysHowManySamplesTheirPeakAndTheGainThatHelps) {
    // The samples as the plug-in made them, from a float WAV, which keeps them all.
    ASSERT_EQ(renderPhrase("float.wav", {"--quiet"}).exitCode, 0);
    const Audio rendered = readAudio(folder_.file("float.wav"));
    const std::int64_t over = countOverFullScale(rendered);
    ASSERT_GT(over, 100) << "the phrase no longer clips through program 11";
    char peakText[32];
    std::snprintf(peakText, sizeof peakText, "%+.1f dBFS",
                  20.0 * std::log10(static_cast<double>(largestMagnitude(rendered))));

    const RunResult flac = renderPhrase("out.flac");
    ASSERT_EQ(flac.exitCode, 0) << flac.err;
    EXPECT_NE(flac.err.find("warning: " + std::to_string(over) + " samples clipped in"),
              std::string::npos)
        << flac.err;
    EXPECT_NE(flac.err.find(std::string("peaks at ") + peakText), std::string::npos) << flac.err;
    const Audio clipped = readAudio(folder_.file("out.flac"));
    EXPECT_LE(largestMagnitude(clipped), 1.0f);

    const RunResult wav = renderPhrase("out.wav");
    ASSERT_EQ(wav.exitCode, 0) << wav.err;
    EXPECT_NE(wav.err.find("warning: " + std::to_string(over) + " samples exceed 0 dBFS"),
              std::string::npos)
        << wav.err;
    EXPECT_NE(wav.err.find("clip when it is converted"), std::string::npos) << wav.err;

    // The gain the warning names brings the peak to just below full scale, quietly.
    std::smatch suggested;
    ASSERT_TRUE(std::regex_search(flac.err, suggested, std::regex("--gain (-?[0-9.]+) ")))
        << flac.err;
    const RunResult again = renderPhrase("again.flac", {"--gain", suggested[1].str()});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(again.err.find("warning"), std::string::npos) << again.err;
    const double peakDb =
        20.0 *
        std::log10(static_cast<double>(largestMagnitude(readAudio(folder_.file("again.flac")))));
    EXPECT_LE(peakDb, -0.1);
    EXPECT_GE(peakDb, -0.3);

    const RunResult quiet = renderPhrase("quiet.flac", {"--quiet"});
    EXPECT_EQ(quiet.exitCode, 0);
    EXPECT_EQ(quiet.err, "") << "--quiet silences the warning too";
}

TEST_F(RenderOutput, GainScalesEverySampleByExactlyItsFactor) {
    // Program 1 recirculates: its echoes decay for seconds after the phrase, and
    // the tail ends where it ends without a gain, so the files are as long.
    ASSERT_EQ(renderPhrase("plain.wav", {"--quiet"}, "1").exitCode, 0);
    const Audio plain = readAudio(folder_.file("plain.wav"));
    ASSERT_EQ(plain.channels.size(), 2u);
    ASSERT_GT(plain.frames(), static_cast<std::size_t>(3 * kRate)) << "no tail to speak of";
    for (const char* decibels : {"-6.020599913279624", "-3", "2.5", "-60"}) {
        SCOPED_TRACE(decibels);
        ASSERT_EQ(renderPhrase("gained.wav", {"--quiet", "--gain", decibels}, "1").exitCode, 0);
        const Audio gained = readAudio(folder_.file("gained.wav"));
        ASSERT_EQ(gained.channels.size(), 2u);
        ASSERT_EQ(gained.frames(), plain.frames());
        const auto factor = static_cast<float>(std::pow(10.0, std::stod(decibels) / 20.0));
        std::size_t differing = 0;
        for (std::size_t c = 0; c < 2; ++c)
            for (std::size_t k = 0; k < plain.frames(); ++k)
                differing += gained.channels[c][k] != factor * plain.channels[c][k] ? 1 : 0;
        EXPECT_EQ(differing, 0u);
    }
    // -6.0206 dB is a factor of one half: exact in floating point, sample for sample.
    ASSERT_EQ(renderPhrase("half.wav", {"--quiet", "--gain", "-6.020599913279624"}, "1").exitCode,
              0);
    const Audio half = readAudio(folder_.file("half.wav"));
    ASSERT_EQ(half.channels.size(), 2u);
    EXPECT_EQ(half.channels[0][kRate / 8], 0.5f * plain.channels[0][kRate / 8]);
    EXPECT_NE(half.channels[0][kRate / 8], 0.0f);
}

TEST_F(RenderOutput, SoxReadsStereoAndSixChannelWavsWithoutAWarning) {
    const std::string sox = runCommand("command -v sox");
    ASSERT_NE(sox.find("sox"), std::string::npos)
        << "sox is not installed (scripts/setup installs it); this test needs it";
    for (const char* outputs : {"main", "all"}) {
        SCOPED_TRACE(outputs);
        const std::string path = folder_.file(std::string(outputs) + ".wav");
        RunResult run = runRender({"--quiet", "--outputs", outputs, "-o", path}, folder_.path());
        ASSERT_EQ(run.exitCode, 0) << run.err;
        const std::string info = runCommand("sox --i '" + path + "'");
        const std::string stat = runCommand("sox '" + path + "' -n stat");
        for (const std::string& said : {info, stat}) {
            EXPECT_EQ(said.find("WARN"), std::string::npos) << said;
            EXPECT_EQ(said.find("failed"), std::string::npos) << said;
        }
        EXPECT_NE(info.find("32-bit Floating Point PCM"), std::string::npos) << info;
        const Audio read = readAudio(path);
        EXPECT_EQ(read.channels.size(), std::string(outputs) == "all" ? 6u : 2u);
        EXPECT_GT(read.frames(), static_cast<std::size_t>(kRate));
    }
}

TEST_F(RenderOutput, WavHeadersAreCompleteForTwoAndSixChannels) {
    ASSERT_EQ(runRender({"--quiet", "-o", "two.wav"}, folder_.path()).exitCode, 0);
    const std::string two = fileBytes(folder_.file("two.wav"));
    ASSERT_GT(two.size(), 64u);
    EXPECT_EQ(two.substr(12, 4), "fmt ");
    EXPECT_EQ(fieldAt<std::uint32_t>(two, 16), 18u) << "fmt holds cbSize";
    EXPECT_EQ(fieldAt<std::uint16_t>(two, 20), 3u) << "IEEE float";
    EXPECT_EQ(fieldAt<std::uint16_t>(two, 36), 0u) << "cbSize";
    EXPECT_EQ(two.substr(38, 4), "fact");
    EXPECT_EQ(two.substr(50, 4), "data");
    EXPECT_EQ(fieldAt<std::uint32_t>(two, 4), two.size() - 8) << "RIFF size";
    EXPECT_EQ(fieldAt<std::uint32_t>(two, 54), two.size() - 58) << "data size";
    EXPECT_EQ(fieldAt<std::uint32_t>(two, 46), (two.size() - 58) / 8) << "fact: frames";

    ASSERT_EQ(runRender({"--quiet", "--outputs", "all", "-o", "six.wav"}, folder_.path()).exitCode,
              0);
    const std::string six = fileBytes(folder_.file("six.wav"));
    ASSERT_GT(six.size(), 96u);
    EXPECT_EQ(fieldAt<std::uint32_t>(six, 16), 42u);
    EXPECT_EQ(fieldAt<std::uint16_t>(six, 20), 0xFFFEu) << "WAVE_FORMAT_EXTENSIBLE";
    EXPECT_EQ(fieldAt<std::uint16_t>(six, 22), 6u);
    EXPECT_EQ(fieldAt<std::uint16_t>(six, 32), 24u) << "block align";
    EXPECT_EQ(fieldAt<std::uint16_t>(six, 36), 24u) << "cbSize";
    EXPECT_EQ(fieldAt<std::uint16_t>(six, 38), 32u) << "valid bits";
    EXPECT_EQ(fieldAt<std::uint32_t>(six, 40), 0x3u) << "the main pair is front left and right";
    const std::string floatGuid("\x03\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71",
                                16);
    EXPECT_EQ(six.substr(44, 16), floatGuid);
    EXPECT_EQ(six.substr(62, 4), "fact");
    EXPECT_EQ(six.substr(74, 4), "data");
    EXPECT_EQ(fieldAt<std::uint32_t>(six, 4), six.size() - 8);
    EXPECT_EQ(fieldAt<std::uint32_t>(six, 78), six.size() - 82);
    EXPECT_EQ(fieldAt<std::uint32_t>(six, 70), (six.size() - 82) / 24);
}

} // namespace
} // namespace tesk::render::test
