// The LV2 entry in a real host's use (lilv): after the first block, run makes
// no heap call and takes no lock, whatever the block length, the control
// changes between blocks or the tempo the transport brings.
#include "allocation_counter.h"
#include "lv2_ports.h"
#include "lv2_test_host.h"

#include "parameters.h"

#include <gtest/gtest.h>

#include <cmath>

namespace tesk::test {
namespace {

TEST(RealTime, Lv2RunAllocatesNothingAndTakesNoLock) {
    Lv2World world;
    auto lv2 = Lv2Instance::create(world, 48000.0);
    ASSERT_NE(lv2, nullptr);
    std::vector<float> channels[8];
    for (int c = 0; c < 8; ++c) {
        channels[c].resize(8192);
        for (int k = 0; k < 8192; ++k)
            channels[c][k] = 0.5f * std::sin(0.02f * k + c);
    }
    for (std::uint32_t p = 0; p < 8; ++p)
        lilv_instance_connect_port(lv2->instance(), p, channels[p].data());
    lv2->run(512); // the first block may set up

    CallCounts total;
    for (int round = 0; round < 16; ++round) {
        lv2->sendTempo(90.0f + round * 7.3f); // synced lines follow
        for (std::uint32_t frames : {0u, 1u, 5u, 64u, 1023u, 4096u, 8192u}) {
            startCounting();
            lv2->run(frames);
            const CallCounts seen = stopCounting();
            total.allocations += seen.allocations;
            total.releases += seen.releases;
            total.locks += seen.locks;
            lv2->control(parameterIndex(ParamKind::Tempo, round % 4)) = 60.0f + frames % 200;
            lv2->control(parameterIndex(ParamKind::IsDelayOn, round % 4)) = round % 2;
            lv2->control(parameterIndex(ParamKind::Input, 3)) = 0.1f * (round % 4);
        }
    }
    EXPECT_EQ(total.allocations, 0u);
    EXPECT_EQ(total.releases, 0u);
    EXPECT_EQ(total.locks, 0u);
}

} // namespace
} // namespace tesk::test
