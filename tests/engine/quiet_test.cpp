// A quiet engine skips the work of silent blocks and must give the very samples
// the block routine gives, before, during and after the silence.
#include "delay_engine.h"
#include "denormal_guard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace tesk {
namespace {

constexpr std::int32_t kBlock = 512;
constexpr float kRate = 44100.0f;

struct Signal {
    std::vector<float> left, right;
};

// A phrase of noise, eight seconds of silence (longer than any echo lasts),
// an impulse, and two seconds for its echoes.
Signal phraseSilenceImpulse() {
    const auto frames = static_cast<std::size_t>(kRate * 10.5f);
    Signal s{std::vector<float>(frames, 0.0f), std::vector<float>(frames, 0.0f)};
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-0.5f, 0.5f);
    for (std::size_t k = 0; k < static_cast<std::size_t>(kRate / 2); ++k) {
        s.left[k] = noise(random);
        s.right[k] = noise(random);
    }
    s.left[static_cast<std::size_t>(kRate * 8.5f)] = 1.0f;
    return s;
}

// Runs `engine` over `in` in blocks, through `process` or through the block routine alone.
std::vector<float> render(DelayEngine& engine, const Signal& in, bool throughProcess,
                          bool& wasQuiet) {
    const auto frames = static_cast<std::int32_t>(in.left.size());
    std::vector<float> out(static_cast<std::size_t>(frames) * 6);
    std::vector<float> inL(in.left), inR(in.right);
    const HostTransport transport{120.0, true};
    wasQuiet = false;
    for (std::int32_t done = 0; done < frames; done += kBlock) {
        const std::int32_t n = std::min(kBlock, frames - done);
        float* inputs[2] = {inL.data() + done, inR.data() + done};
        float* outputs[6];
        for (int c = 0; c < 6; ++c)
            outputs[c] = out.data() + static_cast<std::size_t>(c) * frames + done;
        if (throughProcess) {
            engine.process(inputs, outputs, n, transport);
        } else {
            DenormalGuard guard; // as process flushes them
            engine.processBlock(inputs, outputs, n, transport);
        }
        wasQuiet = wasQuiet || engine.isQuiet();
    }
    return out;
}

TEST(QuietEngine, SilentBlocksSkippedGiveTheSamplesOfTheBlockRoutine) {
    const Signal in = phraseSilenceImpulse();
    int quietPrograms = 0;
    for (int program = 0; program < kNumPrograms; ++program) {
        DelayEngine skipping, working;
        for (DelayEngine* engine : {&skipping, &working}) {
            engine->setTempoFollowing(TempoFollowing::InUseOnly);
            engine->setSampleRate(kRate);
            engine->setProgram(program);
        }
        bool quiet = false, unused = false;
        const std::vector<float> skipped = render(skipping, in, true, quiet);
        const std::vector<float> worked = render(working, in, false, unused);
        ASSERT_EQ(0, std::memcmp(skipped.data(), worked.data(), skipped.size() * sizeof(float)))
            << "program " << program + 1;
        quietPrograms += quiet ? 1 : 0;
    }
    // Programs whose echoes die away to nothing within the silence are skipped
    // through the rest of it (those whose feedback keeps the faintest sound
    // circling are not: it is theirs to keep).
    EXPECT_GE(quietPrograms, 8);
}

TEST(QuietEngine, AChangeEndsTheQuiet) {
    DelayEngine engine;
    engine.setSampleRate(kRate);
    const Signal silence{std::vector<float>(static_cast<std::size_t>(kRate * 5), 0.0f),
                         std::vector<float>(static_cast<std::size_t>(kRate * 5), 0.0f)};
    bool quiet = false;
    render(engine, silence, true, quiet);
    ASSERT_TRUE(engine.isQuiet());
    ASSERT_TRUE(quiet);
    engine.setParameter(parameterIndex(ParamKind::Volume, 0), 0.9f);
    EXPECT_FALSE(engine.isQuiet());
}

} // namespace
} // namespace tesk
