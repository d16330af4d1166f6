// The three editions of one build side by side, on Linux and on Windows: every
// program sounds the same, bit for bit, through the VST 2 module, TeskDelay.clap
// and TeskDelay.vst3 at the same block size, and its fingerprint is the one
// below, which the Linux build gave; states the Linux modules saved load and
// sound as they did there. The same program runs in the native build and
// under Wine, so a Windows module that drifts from Linux by one bit fails.
#include "clap_fixture.h"
#include "clap_params.h"
#include "programs.h"
#include "vst3_fixture.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>

namespace tesk::test {
namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;
constexpr double kHostTempo = 133.0;

// What each program gave through the Linux modules (x86-64, release build):
// `editionsInput` in blocks of 256 at 44.1 kHz, odd programs at a host tempo
// (programs 13 to 16 are alike, "Init").
constexpr std::array<std::uint64_t, kNumPrograms> kProgramFingerprints = {
#include "program_fingerprints.inc"
};

/// Odd programs hear a host tempo, even ones their own.
std::optional<double> tempoFor(int program) {
    return program % 2 == 1 ? std::optional<double>(kHostTempo) : std::nullopt;
}

/// A silent first block (the VST 2 module hears a host tempo only at its first
/// block), then an impulse and a phrase of noise.
std::vector<float> editionsInput(unsigned seed) {
    return impulseThenPhrase(static_cast<int>(kRate * 1.2), kRate, kBlock, seed);
}

Outputs renderVst2(int program, const std::vector<float>& left, const std::vector<float>& right) {
    const std::optional<double> tempo = tempoFor(program);
    Plugin vst([&](vsthost::HostState& host) {
        if (tempo)
            host.setTransport(*tempo, kRate);
        else
            host.provideTime = false;
        host.sampleRate = kRate;
    });
    vst->start(kRate, kBlock);
    vst->dispatch(effSetProgram, 0, program);
    return vst.render(left, right, kBlock);
}

Outputs renderClap(int program, const std::vector<float>& left, const std::vector<float>& right) {
    ClapPlugin clap;
    if (!clap->start(kRate, kBlock)) throw std::runtime_error("the CLAP instance did not start");
    return clap.render(left, right, kBlock, tempoFor(program).value_or(0.0),
                       [&](int start, int, claphost::InputEvents& events) {
                           if (start == 0) events.addParam(0, clapfmt::kProgramParamId, program);
                       });
}

Outputs renderVst3(int program, const std::vector<float>& left, const std::vector<float>& right) {
    Vst3Plugin vst3(kRate, kBlock);
    return vst3.render(
        left, right, kBlock, tempoFor(program),
        [&](int start, int, std::vector<ParamPoint>& points) {
            if (start == 0) points.push_back({kProgramId, 0, double(program) / (kNumPrograms - 1)});
        });
}

/// "<edition>: channel c from frame k" for each channel where `got` leaves `expected`.
std::string differences(const char* edition, const Outputs& expected, const Outputs& got) {
    std::string found;
    for (std::size_t c = 0; c < expected.size(); ++c) {
        const int at = firstDifference(expected[c], got[c]);
        if (at >= 0)
            found += std::string(edition) + ": channel " + std::to_string(c) + " from frame " +
                     std::to_string(at) + "; ";
    }
    return found;
}

std::string hex(std::uint64_t value) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%016llx", static_cast<unsigned long long>(value));
    return text;
}

TEST(Editions, EveryProgramSoundsAlikeInEveryEditionAndAsOnLinux) {
    const auto left = editionsInput(1);
    const auto right = editionsInput(2);
    std::string fingerprints;
    for (int program = 0; program < kNumPrograms; ++program) {
        SCOPED_TRACE("program " + std::to_string(program));
        const Outputs vst2 = renderVst2(program, left, right);
        ASSERT_GT(energy(vst2[0]) + energy(vst2[1]), 1.0) << "Main carries nothing to compare";
        EXPECT_EQ(differences("CLAP", vst2, renderClap(program, left, right)) +
                      differences("VST 3", vst2, renderVst3(program, left, right)),
                  "");
        const std::uint64_t got = fingerprint(vst2);
        EXPECT_EQ(hex(got), hex(kProgramFingerprints[static_cast<std::size_t>(program)]));
        fingerprints += "    " + hex(got) + ",\n";
    }
    if (HasFailure()) std::printf("The fingerprints of this build:\n%s", fingerprints.c_str());
}

std::vector<std::uint8_t> dataFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// tests/clap/data/state-155dd48.tkds, saved by the Linux TeskDelay.clap of
// commit 155dd48, and the fingerprint that build rendered after loading it
// (tests/clap/clap_compat_test.cpp tells the settings and the render).
TEST(Editions, AStateTheLinuxClapModuleSavedSoundsAsItDidThere) {
    const auto saved = dataFile(TESK_CLAP_DATA_DIR "/state-155dd48.tkds");
    ASSERT_FALSE(saved.empty()) << "the test data is missing";
    ClapPlugin clap;
    ASSERT_TRUE(clap->loadState(saved));
    ASSERT_TRUE(clap->start(kRate, 256));
    const auto in = clickThenNoise(3 * 44100, 7);
    EXPECT_EQ(hex(fingerprint(clap.render(in, in, 256, 100.0))), hex(0xd717474b85453bca));
}

// tests/vst3/data/state-v1.bin, saved bypassed by the Linux TeskDelay.vst3's
// first version (tests/vst3/vst3_state_test.cpp tells the settings): loaded,
// the bypass taken off, rendered; the fingerprint is the Linux build's.
TEST(Editions, AStateTheLinuxVst3ModuleSavedSoundsAsItDoesThere) {
    const auto saved = dataFile(TESK_VST3_DATA_DIR "/state-v1.bin");
    ASSERT_FALSE(saved.empty()) << "the test data is missing";
    Vst3Plugin vst3(kRate, kBlock);
    ASSERT_EQ(vst3->loadState(saved), vst3host::kResultOk);
    const auto left = editionsInput(3);
    const auto right = editionsInput(4);
    const Outputs out = vst3.render(left, right, kBlock, kHostTempo,
                                    [](int start, int, std::vector<ParamPoint>& points) {
                                        if (start == 0) points.push_back({kBypassId, 0, 0.0});
                                    });
    EXPECT_GT(energy(out[4]), 1.0) << "line 3 on Out 3 carries nothing to compare";
    EXPECT_EQ(hex(fingerprint(out)), hex(0x3376fed63eee8890));
}

} // namespace
} // namespace tesk::test
