// The audio path in a real host's use: after the first block, processing
// makes no heap call and takes no lock, whatever the program, the block size,
// tempo following or parameter changes between blocks.
#include "allocation_counter.h"
#include "plugin_fixture.h"

#include "parameters.h"

#include <cmath>
#include <mutex>

namespace tesk::test {
namespace {

struct Buffers {
    std::vector<float> channels[8];
    float* inputs[2];
    float* outputs[6];
    explicit Buffers(int frames) {
        for (int c = 0; c < 8; ++c) {
            channels[c].resize(static_cast<std::size_t>(frames));
            for (int k = 0; k < frames; ++k) channels[c][k] = 0.5f * std::sin(0.02f * k + c);
        }
        for (int c = 0; c < 2; ++c) inputs[c] = channels[c].data();
        for (int c = 0; c < 6; ++c) outputs[c] = channels[2 + c].data();
    }
};

TEST(RealTime, ProcessingAllocatesNothingAndTakesNoLock) {
    Plugin p;
    p->start(44100.0, 1024);
    Buffers buffers(4096);
    p->processReplacing(buffers.inputs, buffers.outputs, 512); // the first block may set up

    CallCounts total;
    for (int program = 0; program < 16; ++program) {
        p->dispatch(effSetProgram, 0, program);
        p.host().timeInfo.tempo = 90.0 + program * 7.3; // synced lines follow every block
        for (int frames : {1, 5, 64, 333, 1024, 4096}) {
            startCounting();
            p->processReplacing(buffers.inputs, buffers.outputs, frames);
            p->process(buffers.inputs, buffers.outputs, frames);
            const CallCounts seen = stopCounting();
            total.allocations += seen.allocations;
            total.releases += seen.releases;
            total.locks += seen.locks;
            p->setParameter(parameterIndex(ParamKind::Tempo, program % 4), 60.0f + frames % 200);
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
    {
        Plugin p;
    }
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
