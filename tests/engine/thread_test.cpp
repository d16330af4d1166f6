// The host's threads at once: processing on one, parameter and program
// changes on others. Run under ThreadSanitizer by the tsan preset.
#include "plugin_fixture.h"

#include "parameters.h"

#include <atomic>
#include <cmath>
#include <thread>

namespace tesk::test {
namespace {

int idx(ParamKind kind, int line = 0) { return parameterIndex(kind, line); }

TEST(Threads, DelayChangesMadeWhileProcessingAreNeverLost) {
    for (int round = 0; round < 20; ++round) {
        Plugin p;
        isolateLineOne(p);
        p.set({{idx(ParamKind::FeedBack), 1.0f}, {idx(ParamKind::TempoNum), 0.0f}, {idx(ParamKind::TempoDen), 0.0f}});
        std::atomic<bool> stop{false};
        std::thread audio([&] {
            std::vector<float> in(64, 0.25f), inR(64, 0.25f);
            std::vector<std::vector<float>> out(6, std::vector<float>(64));
            float* inputs[2] = {in.data(), inR.data()};
            float* outputs[6];
            for (int c = 0; c < 6; ++c) outputs[c] = out[c].data();
            while (!stop.load()) p->processReplacing(inputs, outputs, 64);
        });
        for (int i = 0; i < 200; ++i) p->setParameter(idx(ParamKind::Tempo), 60.0f + (i * 7 + round) % 300);
        p->setParameter(idx(ParamKind::Tempo), 120.0f); // the last word: 22050 samples
        stop = true;
        audio.join();

        // Let the memory clear, then measure the delay the line really has.
        p.render(std::vector<float>(4 * 44100 + 1024), std::vector<float>(4 * 44100 + 1024), 512);
        Outputs echo = p.renderImpulse(22100);
        ASSERT_EQ(nonZeroAt(echo[0]), (std::vector<int>{22050})) << "round " << round;
    }
}

TEST(Threads, ParametersProgramsAndTextsFromSeveralThreadsWhileProcessing) {
    Plugin p;
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::vector<float> in(256), inR(256);
        for (int i = 0; i < 256; ++i) in[i] = inR[i] = 0.3f * static_cast<float>(i % 17) / 17.0f;
        std::vector<std::vector<float>> out(6, std::vector<float>(256));
        float* inputs[2] = {in.data(), inR.data()};
        float* outputs[6];
        for (int c = 0; c < 6; ++c) outputs[c] = out[c].data();
        while (!stop.load()) {
            p->processReplacing(inputs, outputs, 256);
        }
    });
    std::thread writer([&] {
        unsigned seed = 7;
        for (int i = 0; i < 3000; ++i) {
            seed = seed * 1664525u + 1013904223u;
            const int index = static_cast<int>(seed % 61);
            const float value = static_cast<float>(seed >> 8) / 16777216.0f;
            p->setParameter(index, index >= 45 && index <= 48 ? 48.0f + value * 900.0f : value);
            if (i % 500 == 0) p->dispatch(effSetProgram, 0, (i / 500) % 16);
        }
    });
    std::thread reader([&] {
        for (int i = 0; i < 3000; ++i) {
            const int index = i % 61;
            volatile float v = p->getParameter(index);
            (void)v;
            EXPECT_LE(p->parameterDisplay(index).size(), 8u);
        }
    });
    writer.join();
    reader.join();
    stop = true;
    audio.join();
    for (int index = 0; index < 61; ++index) EXPECT_TRUE(std::isfinite(p->getParameter(index)));
}

} // namespace
} // namespace tesk::test
