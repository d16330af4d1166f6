// Cost of processBlock per frame, by scenario and block size, beside a bare
// four-line recirculating delay that moves the same bytes. The bare kernel is
// the least any such delay must do; the ratio of the two, taken in one run, is
// the figure to compare, since the absolute times drift with the machine.
#include "bench_buffers.h"
#include "delay_effect.h"
#include "denormal_guard.h"
#include "vec4.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <string>
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

enum Scenario { kAllOff, kProgramZero, kProgramTwo, kEverything, kCompareSettings };

// Every line on and delaying, with feedback, saturation and both filter stages.
void loadEveryLine(DelayEffect& effect, float feedback, float saturation, float lowPass,
                   float highPass) {
    for (int line = 0; line < kNumLines; ++line) {
        auto set = [&](ParamKind kind, float v) {
            effect.setParameter(parameterIndex(kind, line), v);
        };
        set(ParamKind::IsDelayOn, 1.0f);
        set(ParamKind::DelayType, 1.0f);
        set(ParamKind::FeedBack, feedback);
        set(ParamKind::Saturation, saturation);
        set(ParamKind::LowPassFrequency, lowPass);
        set(ParamKind::HighPassFrequency, highPass);
    }
}

void configure(DelayEffect& effect, Scenario scenario) {
    switch (scenario) {
    case kAllOff:
        for (int line = 0; line < kNumLines; ++line)
            effect.setParameter(parameterIndex(ParamKind::IsDelayOn, line), 0.0f);
        break;
    case kProgramZero:
        effect.setProgram(0);
        break;
    case kProgramTwo:
        // Two lines, each filtered by one of the two stages: both stages pick lane by lane.
        effect.setProgram(2);
        break;
    case kEverything:
        effect.setProgram(3); // four lines
        loadEveryLine(effect, 0.6f, 0.4f, 0.3f, 0.4f);
        break;
    case kCompareSettings:
        // What bench/compare has tesk-render run, so that its whole-process time
        // can be set beside the engine's own.
        effect.setProgram(12);
        loadEveryLine(effect, 0.4f, 0.3f, 0.3f, 0.5f);
        break;
    }
}

using bench::Buffers;

void reportPerFrame(benchmark::State& state, std::int32_t frames) {
    state.SetItemsProcessed(state.iterations() * frames);
    state.counters["ns/frame"] =
        benchmark::Counter(static_cast<double>(state.iterations()) * frames,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

// ---------------------------------------------------------------- bare kernel

// Four (or fewer) recirculating lines with nothing but the memory traffic:
// read the input and mix it to mono; per line read its memory, clear what was
// read, write feedback × (input + delayed) at the write head, and add the echo
// onto an output pair. Contiguous runs between wrap points, four at a time.
class BareKernel {
  public:
    BareKernel(int lines, const std::int32_t* distances, std::int32_t length)
        : lines_(lines), length_(length) {
        for (int line = 0; line < lines_; ++line) {
            memory_[line].assign(static_cast<std::size_t>(length_), 0.0f);
            writePos_[line] = distances[line];
        }
    }

    void process(float** inputs, float** outputs, std::int32_t frames) {
        const std::int32_t full = frames & ~3;
        for (std::int32_t k = 0; k < full; k += 4)
            store(mono_ + k, loadUnaligned(inputs[0] + k) + loadUnaligned(inputs[1] + k));
        for (std::int32_t k = full; k < frames; ++k)
            mono_[k] = inputs[0][k] + inputs[1][k];
        for (int c = 0; c < 6; ++c)
            std::fill(outputs[c], outputs[c] + frames, 0.0f);
        for (int line = 0; line < lines_; ++line) {
            float* left = outputs[2 * (line % 3)];
            float* right = outputs[2 * (line % 3) + 1];
            for (std::int32_t k = 0; k < frames;) {
                const std::int32_t run =
                    std::min({frames - k, length_ - readPos_[line], length_ - writePos_[line]});
                runLine(line, mono_ + k, left + k, right + k, run);
                k += run;
            }
        }
    }

  private:
    void runLine(int line, const float* x, float* left, float* right, std::int32_t count) {
        float* memory = memory_[line].data();
        float* read = memory + readPos_[line];
        float* write = memory + writePos_[line];
        const Vec4 fb = splat(0.6f), gl = splat(0.5f), gr = splat(0.5f);
        std::int32_t k = 0;
        for (; k + 4 <= count; k += 4) {
            const Vec4 d = loadUnaligned(read + k);
            storeUnaligned(read + k, splat(0.0f));
            storeUnaligned(write + k, fb * (loadUnaligned(x + k) + d));
            storeUnaligned(left + k, loadUnaligned(left + k) + d * gl);
            storeUnaligned(right + k, loadUnaligned(right + k) + d * gr);
        }
        for (; k < count; ++k) {
            const float d = read[k];
            read[k] = 0.0f;
            write[k] = 0.6f * (x[k] + d);
            left[k] += 0.5f * d;
            right[k] += 0.5f * d;
        }
        readPos_[line] = advance(readPos_[line], count);
        writePos_[line] = advance(writePos_[line], count);
    }

    std::int32_t advance(std::int32_t pos, std::int32_t count) const {
        return pos + count == length_ ? 0 : pos + count;
    }

    int lines_;
    std::int32_t length_;
    std::vector<float> memory_[kNumLines];
    std::int32_t readPos_[kNumLines] = {};
    std::int32_t writePos_[kNumLines] = {};
    alignas(16) float mono_[DelayEffect::kMaxFrames + 4] = {};
};

// ---------------------------------------------------------------- cases

// `wide` false keeps the filters on the 4-wide unit where the 8-wide one is there.
void pluginCase(benchmark::State& state, Scenario scenario, bool wide = true) {
    const auto frames = static_cast<std::int32_t>(state.range(0));
    DelayEffect effect(benchHost);
    effect.useWideVectors(wide);
    configure(effect, scenario);
    Buffers io(frames);
    for (auto _ : state) {
        effect.processReplacing(io.inputs, io.outputs, frames);
        benchmark::DoNotOptimize(io.out[0].data());
    }
    reportPerFrame(state, frames);
}

// The kernel gets the head distances the full-load case really runs with.
void kernelCase(benchmark::State& state, int lines) {
    const auto frames = static_cast<std::int32_t>(state.range(0));
    DelayEffect effect(benchHost);
    configure(effect, kEverything);
    Buffers io(frames);
    effect.processReplacing(io.inputs, io.outputs, frames);
    const std::int32_t length = 4 * effect.sampleRateInt;
    std::int32_t distances[kNumLines];
    for (int line = 0; line < kNumLines; ++line)
        distances[line] = (effect.writePos[line] - effect.readPos[line] + length) % length;
    BareKernel kernel(lines, distances, length);
    for (auto _ : state) {
        kernel.process(io.inputs, io.outputs, frames);
        benchmark::DoNotOptimize(io.out[0].data());
    }
    reportPerFrame(state, frames);
}

void BM_AllLinesOff(benchmark::State& state) {
    pluginCase(state, kAllOff);
}
void BM_ProgramZero(benchmark::State& state) {
    pluginCase(state, kProgramZero);
}
void BM_ProgramTwo(benchmark::State& state) {
    pluginCase(state, kProgramTwo);
}
void BM_ProgramTwoSse(benchmark::State& state) {
    pluginCase(state, kProgramTwo, false);
}
void BM_FourLinesFiltersSaturation(benchmark::State& state) {
    pluginCase(state, kEverything);
}
void BM_FourLinesFiltersSaturationSse(benchmark::State& state) {
    pluginCase(state, kEverything, false);
}
void BM_CompareSettings(benchmark::State& state) {
    pluginCase(state, kCompareSettings);
}
void BM_BareKernelOneLine(benchmark::State& state) {
    kernelCase(state, 1);
}
void BM_BareKernelFourLines(benchmark::State& state) {
    kernelCase(state, 4);
}

// Many instances of program 1 (what a fresh instance holds) left idle in a
// session after their echoes died away: through the engine's entry, which
// skips silent blocks once quiet, against the block routine alone, which works
// through every block as the VST 2 edition does. Per instance and frame.
void idleInstances(benchmark::State& state, bool throughProcess) {
    constexpr int kInstances = 32;
    const auto frames = static_cast<std::int32_t>(state.range(0));
    std::vector<std::unique_ptr<DelayEngine>> engines;
    std::vector<float> silence(static_cast<std::size_t>(frames), 0.0f);
    std::vector<float> out(static_cast<std::size_t>(frames) * 6);
    float* in[2] = {silence.data(), silence.data()};
    float* outs[6];
    for (int c = 0; c < 6; ++c)
        outs[c] = out.data() + static_cast<std::size_t>(c) * frames;
    const HostTransport transport{120.0, true};
    for (int i = 0; i < kInstances; ++i) {
        engines.push_back(std::make_unique<DelayEngine>());
        engines.back()->setTempoFollowing(TempoFollowing::InUseOnly);
        engines.back()->setProgram(0);
        // A note, then long enough for its echoes to die away and the quiet to be known.
        std::vector<float> note(static_cast<std::size_t>(frames), 0.5f);
        float* played[2] = {note.data(), note.data()};
        engines.back()->process(played, outs, frames, transport);
        for (int k = 0; k < 60 * 44100 / frames; ++k)
            engines.back()->process(in, outs, frames, transport);
    }
    DenormalGuard guard;
    for (auto _ : state)
        for (auto& engine : engines) {
            if (throughProcess)
                engine->process(in, outs, frames, transport);
            else
                engine->processBlock(in, outs, frames, transport);
            benchmark::DoNotOptimize(out.data());
        }
    state.counters["ns/frame"] = benchmark::Counter(
        static_cast<double>(frames) * kInstances,
        benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
void BM_IdleInstancesQuiet(benchmark::State& state) {
    idleInstances(state, true);
}
void BM_IdleInstancesWorking(benchmark::State& state) {
    idleInstances(state, false);
}
BENCHMARK(BM_IdleInstancesQuiet)->Arg(256);
BENCHMARK(BM_IdleInstancesWorking)->Arg(256);

// What a host pays for each instance before it sounds: the VST 2 edition made,
// the host's rate announced (48 kHz, not the 44.1 kHz it is made at), and the
// first block processed.
void BM_Instantiation(benchmark::State& state) {
    std::vector<float> in(256, 0.0f), out(256 * 6);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[6];
    for (int c = 0; c < 6; ++c)
        outputs[c] = out.data() + 256 * c;
    for (auto _ : state) {
        DelayEffect effect(benchHost);
        effect.setSampleRate(48000.0f);
        effect.resume();
        effect.processReplacing(inputs, outputs, 256);
        benchmark::DoNotOptimize(out.data());
    }
}
BENCHMARK(BM_Instantiation)->Unit(benchmark::kMicrosecond);

#define TESK_BLOCKS Arg(64)->Arg(256)->Arg(512)->Arg(1024)
BENCHMARK(BM_BareKernelOneLine)->TESK_BLOCKS;
BENCHMARK(BM_BareKernelFourLines)->TESK_BLOCKS;
BENCHMARK(BM_AllLinesOff)->TESK_BLOCKS;
BENCHMARK(BM_ProgramZero)->TESK_BLOCKS;
BENCHMARK(BM_ProgramTwo)->TESK_BLOCKS;
BENCHMARK(BM_ProgramTwoSse)->TESK_BLOCKS;
BENCHMARK(BM_FourLinesFiltersSaturation)->TESK_BLOCKS;
BENCHMARK(BM_FourLinesFiltersSaturationSse)->TESK_BLOCKS;
BENCHMARK(BM_CompareSettings)->Arg(512);

// ---------------------------------------------------------------- ratios

// Prints, after the usual table, each plug-in case beside the bare kernel of
// as many lines at the same block size.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            const auto found = run.counters.find("ns/frame");
            if (run.run_type == Run::RT_Iteration && found != run.counters.end())
                nsPerFrame_[run.benchmark_name()] = found->second.value * 1e9; // seconds per frame
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\n%-40s %12s %12s %8s\n", "case", "plug-in ns", "kernel ns", "ratio");
        const std::pair<const char*, const char*> pairs[] = {
            {"BM_AllLinesOff", "BM_BareKernelOneLine"},
            {"BM_ProgramZero", "BM_BareKernelOneLine"},
            {"BM_FourLinesFiltersSaturation", "BM_BareKernelFourLines"},
            {"BM_FourLinesFiltersSaturationSse", "BM_BareKernelFourLines"}};
        for (const auto& [plugin, kernel] : pairs)
            for (const char* block : {"/64", "/256", "/512", "/1024"})
                printRatio(plugin, kernel, block);
    }

  private:
    void printRatio(const std::string& plugin, const std::string& kernel,
                    const std::string& block) {
        const auto p = nsPerFrame_.find(plugin + block);
        const auto k = nsPerFrame_.find(kernel + block);
        if (p == nsPerFrame_.end() || k == nsPerFrame_.end()) return;
        std::printf("%-40s %12.3f %12.3f %8.2f\n", (plugin + block).c_str(), p->second, k->second,
                    p->second / k->second);
    }

    std::map<std::string, double> nsPerFrame_;
};

} // namespace
} // namespace tesk

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    tesk::RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
