// The audio path in a real host's use: after the first block, processing
// makes no heap call and takes no lock, whatever the program, the block size,
// tempo following or parameter changes between blocks.
#include "allocation_counter.h"
#include "clap_fixture.h"
#include "clap_params.h"
#include "plugin_fixture.h"

#ifdef TESK_HAS_JACK_FORMAT
#include "live_delay.h"
#endif
#include "parameters.h"

#include <cmath>
#include <mutex>
#include <utility>

namespace tesk::test {
namespace {

struct Buffers {
    std::vector<float> channels[8];
    float* inputs[2];
    float* outputs[6];
    explicit Buffers(int frames) {
        for (int c = 0; c < 8; ++c) {
            channels[c].resize(static_cast<std::size_t>(frames));
            for (int k = 0; k < frames; ++k)
                channels[c][k] = 0.5f * std::sin(0.02f * k + c);
        }
        for (int c = 0; c < 2; ++c)
            inputs[c] = channels[c].data();
        for (int c = 0; c < 6; ++c)
            outputs[c] = channels[2 + c].data();
    }
};

TEST(RealTime, ProcessingAllocatesNothingAndTakesNoLock) {
    Plugin p;
    p->start(44100.0, 1024);
    Buffers buffers(4096);
    p->processReplacing(buffers.inputs, buffers.outputs, 512); // the first block may set up

    CallCounts total;
    const auto processCounted = [&](int frames) {
        startCounting();
        p->processReplacing(buffers.inputs, buffers.outputs, frames);
        p->process(buffers.inputs, buffers.outputs, frames);
        const CallCounts seen = stopCounting();
        total.allocations += seen.allocations;
        total.releases += seen.releases;
        total.locks += seen.locks;
    };
    const int blockSizes[] = {1, 5, 64, 333, 1024, 4096};
    for (int program = 0; program < 16; ++program) {
        p->dispatch(effSetProgram, 0, program);
        p.host().timeInfo.tempo = 90.0 + program * 7.3; // synced lines follow every block
        for (int frames : blockSizes) {
            processCounted(frames);
            p->setParameter(parameterIndex(ParamKind::Tempo, program % 4), 60.0f + frames % 200);
        }
    }
    // Every line on with saturation and both filter stages: the blocks that run
    // on the 8-wide unit where the processor has one.
    for (int line = 0; line < kNumLines; ++line)
        for (const auto& [kind, value] : {std::pair{ParamKind::IsDelayOn, 1.0f},
                                          {ParamKind::Saturation, 0.4f},
                                          {ParamKind::LowPassFrequency, 0.3f},
                                          {ParamKind::HighPassFrequency, 0.4f}})
            p->setParameter(parameterIndex(kind, line), value);
    for (int frames : blockSizes)
        processCounted(frames);
    EXPECT_EQ(total.allocations, 0u);
    EXPECT_EQ(total.releases, 0u);
    EXPECT_EQ(total.locks, 0u);
}

#ifdef TESK_HAS_JACK_FORMAT
// The program changes teskdelay takes in its JACK callback, through the block
// routine the callback runs: the output held at the input, the program loaded
// once it is all input, the delay memory cleared, the hold let go; none of it
// on the heap or under a lock.
TEST(RealTime, AProgramChangeThroughTheCrossingAllocatesNothing) {
    jackfmt::LiveDelay live;
    ASSERT_TRUE(live.isUsable());
    ASSERT_TRUE(live.setSampleRate(44100.0f));
    Buffers buffers(256);
    const HostTransport transport{120.0, true};
    live.processBlock(buffers.inputs, buffers.outputs, 256, transport, {});
    startCounting();
    for (int program = 1; program < 16; ++program) {
        live.processBlock(buffers.inputs, buffers.outputs, 256, transport, {program, -1});
        for (int block = 0; block < 8; ++block)
            live.processBlock(buffers.inputs, buffers.outputs, 256, transport, {});
    }
    const CallCounts seen = stopCounting();
    EXPECT_EQ(live.state().program, 15);
    EXPECT_EQ(seen.allocations, 0u);
    EXPECT_EQ(seen.locks, 0u);
}
#endif

// The same for TeskDelay.clap: blocks carrying parameter events at offsets,
// program changes, bypass switches and transport tempos, and the blocks that
// take a preset the main thread loaded, allocate nothing and lock nothing.
TEST(RealTime, ClapProcessingAllocatesNothingAndTakesNoLock) {
    ClapPlugin p;
    ASSERT_TRUE(p->start(44100.0, 4096));
    Buffers buffers(4096);
    const std::vector<float*> inputs(buffers.inputs, buffers.inputs + 2);
    const std::vector<float*> outputs(buffers.outputs, buffers.outputs + 6);
    claphost::InputEvents events;
    p->process(inputs, outputs, 512, events); // the first block may set up

    CallCounts total;
    for (int program = 0; program < 16; ++program) {
        const clap_event_transport_t transport = claphost::playingTransport(90.0 + program * 7.3);
        ASSERT_TRUE(p->loadPreset(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr, "Ping pong"));
        for (std::uint32_t frames : {1u, 5u, 64u, 333u, 1024u, 4096u}) {
            events.clear();
            events.addParam(0, clapfmt::kProgramParamId, program);
            events.addParam(frames / 4, clapfmt::kBypassParamId, (frames + program) % 2);
            events.addParam(frames / 2,
                            static_cast<clap_id>(parameterIndex(ParamKind::Tempo, program % 4)),
                            60.0 + frames % 200);
            events.addParam(frames - 1,
                            static_cast<clap_id>(parameterIndex(ParamKind::IsTempoSync, 1)), 1.0);
            events.addTransport(frames / 3, transport);
            startCounting();
            p->process(inputs, outputs, frames, events, &transport);
            const CallCounts seen = stopCounting();
            total.allocations += seen.allocations;
            total.releases += seen.releases;
            total.locks += seen.locks;
        }
    }
    EXPECT_EQ(total.allocations, 0u);
    EXPECT_EQ(total.releases, 0u);
    EXPECT_EQ(total.locks, 0u);
}

// Without this the test above could pass by counting nothing: making and
// closing an instance allocates inside the module, and a mutex locks.
TEST(RealTime, TheCounterSeesTheModulesHeapCallsAndLocks) {
    startCounting();
    { Plugin p; }
    std::mutex mutex;
    mutex.lock();
    mutex.unlock();
    const CallCounts seen = stopCounting();
    EXPECT_GT(seen.allocations, 20u);
    EXPECT_GT(seen.releases, 20u);
    EXPECT_GE(seen.locks, 1u);
}

} // namespace
} // namespace tesk::test
