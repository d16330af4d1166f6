// Cost of teskdelay's JACK callback per block, at 48 kHz: the block routine
// the callback runs (LiveDelay::processBlock), on buffers of the benchmark's
// own. A program change clears the delay memory inside the callback, in the
// block where the crossing reaches the input; the costliest block of a change
// is set beside the period it must fit in (1.33 ms at 64 frames).
#include "bench_buffers.h"
#include "live_delay.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <vector>

namespace tesk::jackfmt {
namespace {

constexpr float kRate = 48000.0f;
const HostTransport kTransport{120.0, true};

using bench::Buffers;

/// The period a block must be done within, in microseconds, beside its time.
void reportPeriod(benchmark::State& state, std::int32_t frames) {
    state.counters["period_us"] = 1e6 * frames / kRate;
}

// A block as the callback runs most of them: program 4 (four lines), a signal
// in, no MIDI.
void BM_CallbackBlock(benchmark::State& state) {
    const auto frames = static_cast<std::int32_t>(state.range(0));
    LiveDelay live;
    if (!live.isUsable() || !live.setSampleRate(kRate)) {
        state.SkipWithError("no engine");
        return;
    }
    live.loadProgram(3);
    Buffers buffers(frames);
    for (int warm = 0; warm < 100; ++warm)
        live.processBlock(buffers.inputs, buffers.outputs, frames, kTransport, {});
    for (auto _ : state) {
        live.processBlock(buffers.inputs, buffers.outputs, frames, kTransport, {});
        benchmark::DoNotOptimize(buffers.outputs[0][0]);
    }
    reportPeriod(state, frames);
}
BENCHMARK(BM_CallbackBlock)->Arg(64)->Arg(256);

// A program change played in, from the block that takes the MIDI to the one
// after the new program is loaded, every block timed alone; the iteration's
// time is the costliest block's, which is the one that clears the delay memory.
void BM_CallbackProgramChangeCostliestBlock(benchmark::State& state) {
    const auto frames = static_cast<std::int32_t>(state.range(0));
    LiveDelay live;
    if (!live.isUsable() || !live.setSampleRate(kRate)) {
        state.SkipWithError("no engine");
        return;
    }
    Buffers buffers(frames);
    // The crossing takes 10 ms; two more blocks see the program loaded and the
    // crossing back begun.
    const int blocks = static_cast<int>(std::ceil(0.01f * kRate / frames)) + 3;
    std::int32_t program = 3;
    for (auto _ : state) {
        program = program == 3 ? 12 : 3; // both programs of four lines
        double costliest = 0.0;
        for (int b = 0; b < blocks; ++b) {
            BlockControls controls;
            if (b == 0) controls.program = program;
            const auto start = std::chrono::steady_clock::now();
            live.processBlock(buffers.inputs, buffers.outputs, frames, kTransport, controls);
            const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
            costliest = std::max(costliest, took.count());
        }
        state.SetIterationTime(costliest);
        if (live.state().program != program) {
            state.SkipWithError("the program was not loaded within the blocks timed");
            return;
        }
    }
    reportPeriod(state, frames);
}
BENCHMARK(BM_CallbackProgramChangeCostliestBlock)->Arg(64)->Arg(256)->UseManualTime();

// The clearing alone: the delay memory of all four lines at 48 kHz, after
// sound has been through it.
void BM_ClearDelayMemoryAt48k(benchmark::State& state) {
    DelayEngine engine;
    if (!engine.isUsable() || !engine.setSampleRate(kRate)) {
        state.SkipWithError("no engine");
        return;
    }
    engine.setProgram(3);
    Buffers buffers(256);
    for (auto _ : state) {
        state.PauseTiming();
        engine.process(buffers.inputs, buffers.outputs, 256, kTransport);
        state.ResumeTiming();
        engine.resume();
    }
}
BENCHMARK(BM_ClearDelayMemoryAt48k);

} // namespace
} // namespace tesk::jackfmt
