// lv2apply (lilv-utils) renders a file through the bundle; the result equals
// the VST 2 module's render of the same file with the same values.
#include "plugin_fixture.h"

#include "parameters.h"

#include <sndfile.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace tesk::test {
namespace {

std::vector<float> readInterleaved(const std::string& path, SF_INFO& info) {
    info = SF_INFO{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return {};
    std::vector<float> samples(static_cast<std::size_t>(info.frames * info.channels));
    sf_readf_float(file, samples.data(), info.frames);
    sf_close(file);
    return samples;
}

bool writeStereo(const std::string& path, const std::vector<float>& left,
                 const std::vector<float>& right) {
    SF_INFO info{};
    info.samplerate = 44100;
    info.channels = 2;
    info.format = SF_FORMAT_WAV | SF_FORMAT_FLOAT;
    SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
    if (file == nullptr) return false;
    std::vector<float> frames;
    for (std::size_t k = 0; k < left.size(); ++k)
        frames.insert(frames.end(), {left[k], right[k]});
    sf_writef_float(file, frames.data(), static_cast<sf_count_t>(left.size()));
    return sf_close(file) == 0;
}

TEST(Lv2Apply, RendersAFileThroughTheBundleAsTheVst2ModuleDoes) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tesk-lv2apply-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string in = (dir / "in.wav").string(), out = (dir / "out.wav").string();
    std::vector<float> left(30000, 0.0f), right(30000, 0.0f);
    left[0] = 1.0f;
    right[100] = -0.5f;
    for (std::size_t k = 1000; k < 1400; ++k)
        left[k] = 0.25f * static_cast<float>(k % 7) - 0.7f;
    ASSERT_TRUE(writeStereo(in, left, right));

    const std::string preload = TESK_HOST_PRELOAD;
    const std::string command =
        (preload.empty() ? "" : "LD_PRELOAD='" + preload + "' ASAN_OPTIONS=detect_leaks=0 ") +
        "LV2_PATH='" TESK_LV2_PATH "' lv2apply -i '" + in + "' -o '" + out +
        "' -c Tempo1 300 -c FeedBack1 0.5 -c DelayType1 1 " +
        "-c IsTempoSync1 0 urn:velmora:TeskDelay";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    SF_INFO info;
    const std::vector<float> rendered = readInterleaved(out, info);
    ASSERT_EQ(info.channels, 6);
    ASSERT_EQ(info.frames, 30000);

    Plugin vst([](vsthost::HostState& host) { host.provideTime = false; });
    vst->start(44100.0, 512);
    vst->setParameter(parameterIndex(ParamKind::Tempo, 0), 300.0f);
    vst->setParameter(parameterIndex(ParamKind::FeedBack, 0), 0.5f);
    vst->setParameter(parameterIndex(ParamKind::DelayType, 0), 1.0f);
    vst->setParameter(parameterIndex(ParamKind::IsTempoSync, 0), 0.0f);
    const Outputs expected = vst.render(left, right, 1);
    int differing = 0;
    for (std::size_t k = 0; k < 30000; ++k)
        for (int c = 0; c < 6; ++c)
            if (std::memcmp(&rendered[k * 6 + static_cast<std::size_t>(c)], &expected[c][k],
                            sizeof(float)) != 0)
                ++differing;
    EXPECT_EQ(differing, 0);
    EXPECT_NE(expected[0][8820], 0.0f); // the echo 0.2 s on is there to compare
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace tesk::test
