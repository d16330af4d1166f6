// Cost of processBlock per frame, by scenario and block size.
#include "delay_effect.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

namespace tesk {
namespace {

VstIntPtr VSTCALL benchHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
    static VstTimeInfo time{};
    time.tempo = 120.0;
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&time);
    return 0;
}

enum Scenario { kAllOff, kProgramZero, kEverything };

void configure(DelayEffect& effect, Scenario scenario) {
    auto set = [&](ParamKind kind, int line, float v) { effect.setParameter(parameterIndex(kind, line), v); };
    switch (scenario) {
    case kAllOff:
        for (int line = 0; line < kNumLines; ++line) set(ParamKind::IsDelayOn, line, 0.0f);
        break;
    case kProgramZero:
        effect.setProgram(0);
        break;
    case kEverything:
        effect.setProgram(3); // four lines
        for (int line = 0; line < kNumLines; ++line) {
            set(ParamKind::DelayType, line, 1.0f);
            set(ParamKind::FeedBack, line, 0.6f);
            set(ParamKind::Saturation, line, 0.4f);
            set(ParamKind::LowPassFrequency, line, 0.3f);
            set(ParamKind::HighPassFrequency, line, 0.4f);
        }
        break;
    }
}

void processBlock(benchmark::State& state, Scenario scenario) {
    const auto frames = static_cast<std::int32_t>(state.range(0));
    DelayEffect effect(benchHost);
    configure(effect, scenario);
    std::vector<float> in[2], out[6];
    float* inputs[2];
    float* outputs[6];
    for (int c = 0; c < 2; ++c) {
        in[c].resize(static_cast<std::size_t>(frames));
        for (std::int32_t k = 0; k < frames; ++k) in[c][k] = 0.5f * std::sin(0.01f * k + c);
        inputs[c] = in[c].data();
    }
    for (int c = 0; c < 6; ++c) {
        out[c].resize(static_cast<std::size_t>(frames));
        outputs[c] = out[c].data();
    }
    for (auto _ : state) {
        effect.processReplacing(inputs, outputs, frames);
        benchmark::DoNotOptimize(out[0].data());
    }
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["ns/frame"] = benchmark::Counter(static_cast<double>(state.iterations()) * frames,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void BM_AllLinesOff(benchmark::State& state) { processBlock(state, kAllOff); }
void BM_ProgramZero(benchmark::State& state) { processBlock(state, kProgramZero); }
void BM_FourLinesFiltersSaturation(benchmark::State& state) { processBlock(state, kEverything); }

BENCHMARK(BM_AllLinesOff)->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(BM_ProgramZero)->Arg(64)->Arg(256)->Arg(1024);
BENCHMARK(BM_FourLinesFiltersSaturation)->Arg(64)->Arg(256)->Arg(1024);

} // namespace
} // namespace tesk

BENCHMARK_MAIN();
