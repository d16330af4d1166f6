// The engine's arithmetic and internal state: fade table, buffer sizes,
// filter coefficients, saturation, the probe, and what the editor is told.
#include "cpu_probe.h"
#include "delay_effect.h"
#include "engine_test_host.h"
#include "fault_guard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <numbers>
#include <vector>

namespace tesk {
namespace {

int idx(ParamKind kind, int line = 0) {
    return parameterIndex(kind, line);
}

using enginetest::silentHost;

// Records what the effect tells its editor.
struct RecordingEditor : EditorInterface {
    ~RecordingEditor() override { ++destroyed; }
    std::int32_t setKnobMode(std::int32_t mode) override {
        knobMode = mode;
        return 1;
    }
    void parameterChanged(std::int32_t index, float value) override {
        changes.push_back({index, value});
    }
    std::vector<std::pair<std::int32_t, float>> changes;
    std::int32_t knobMode = -1;
    static inline int destroyed = 0;
};

EditorInterface* makeRecordingEditor(DelayEffect&) {
    return new RecordingEditor;
}

struct Block {
    std::vector<float> in[2];
    std::vector<float> out[6];
    float* inputs[2];
    float* outputs[6];
    explicit Block(int frames, float value = 0.0f) {
        for (int c = 0; c < 2; ++c) {
            in[c].assign(static_cast<std::size_t>(frames), value);
            inputs[c] = in[c].data();
        }
        for (int c = 0; c < 6; ++c) {
            out[c].assign(static_cast<std::size_t>(frames), 0.0f);
            outputs[c] = out[c].data();
        }
    }
};

TEST(EngineState, FadeTableAndBlockBuffers) {
    DelayEffect effect(silentHost);
    ASSERT_EQ(effect.fadeLength, 1024);
    EXPECT_EQ(effect.fadeTable[0], 1.0f);
    EXPECT_NEAR(effect.fadeTable[1023], 2.35e-6, 0.01e-6);
    EXPECT_NEAR(effect.fadeTable[512], 0.5f, 1e-7);
    EXPECT_EQ(effect.monoBuffer.size(), 1028u);
    for (const AlignedBuffer& buffer : effect.lineOut)
        EXPECT_EQ(buffer.size(), 1028u);
    EXPECT_EQ(effect.sampleRateInt, 44100);
    for (const AlignedBuffer& buffer : effect.delayBuffer) {
        EXPECT_EQ(buffer.size(), 176400u);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % 16, 0u);
    }
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(effect.monoBuffer.data()) % 16, 0u);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(effect.hpInHistory.data()) % 16, 0u);
}

TEST(EngineState, SampleRateSizesTheMemoryAndPlacesTheHeads) {
    DelayEffect effect(silentHost);
    effect.setSampleRate(48000.0f);
    EXPECT_EQ(effect.delayBuffer[0].size(), 192000u);
    effect.setSampleRate(44100.9f);
    EXPECT_EQ(effect.sampleRateInt, 44100);

    // Five seconds of delay wraps to one second in four seconds of memory.
    effect.setParameter(idx(ParamKind::Tempo), 48.0f);
    effect.setParameter(idx(ParamKind::TempoNum), 0.3f);
    effect.setParameter(idx(ParamKind::TempoDen), 0.0f);
    EXPECT_FLOAT_EQ(effect.delaySeconds[0], 5.0f);
    effect.setSampleRate(44100.0f);
    EXPECT_EQ(effect.writePos[0] - effect.readPos[0], 44100);

    // 120 bpm, a quarter of a beat, at 48 kHz: 6000 samples ahead.
    effect.setSampleRate(48000.0f);
    effect.setParameter(idx(ParamKind::Tempo), 120.0f);
    effect.setParameter(idx(ParamKind::TempoNum), 0.0f);
    effect.setParameter(idx(ParamKind::TempoDen), 0.3f);
    EXPECT_FLOAT_EQ(effect.delaySeconds[0], 0.125f);
    Block block(4);
    effect.processBlock(block.inputs, block.outputs, 4);
    EXPECT_EQ(effect.writePos[0] - effect.readPos[0], 6000);
}

TEST(EngineState, TheSameRateAgainSilencesTheMemoryAndRestartsTheHeads) {
    // An effect with echoes in flight, given its own rate again, must sound
    // from then on exactly as one that never ran.
    DelayEffect played(silentHost);
    DelayEffect fresh(silentHost);
    for (DelayEffect* effect : {&played, &fresh}) {
        effect->setProgram(3);
        effect->setParameter(idx(ParamKind::FeedBack, 2), 0.9f);
    }
    Block loud(512, 0.7f);
    for (int block = 0; block < 200; ++block)
        played.processBlock(loud.inputs, loud.outputs, 512);
    played.setSampleRate(44100.0f);
    fresh.setSampleRate(44100.0f);
    for (int line = 0; line < kNumLines; ++line) {
        EXPECT_EQ(played.readPos[line], fresh.readPos[line]);
        EXPECT_EQ(played.writePos[line], fresh.writePos[line]);
        const AlignedBuffer& memory = played.delayBuffer[line];
        EXPECT_EQ(memory.size(), 176400u);
        EXPECT_EQ(std::count(memory.data(), memory.data() + memory.size(), 0.0f), 176400);
    }
    Block a(512, 0.25f), b(512, 0.25f);
    for (int block = 0; block < 100; ++block) {
        played.processBlock(a.inputs, a.outputs, 512);
        fresh.processBlock(b.inputs, b.outputs, 512);
        for (int c = 0; c < 6; ++c)
            ASSERT_EQ(a.out[c], b.out[c]) << "block " << block << ", output " << c;
    }
}

TEST(EngineState, ProgramKeepsTheValueAsHandedIn) {
    DelayEffect effect(silentHost);
    effect.setParameter(idx(ParamKind::Output, 1), 0.5f);
    EXPECT_EQ((*effect.programs)[0].output[1], 0.5f);
    EXPECT_EQ(effect.outputPair[1], 2);
    effect.setParameter(idx(ParamKind::Tempo, 2), 5000.0f);
    EXPECT_EQ((*effect.programs)[0].tempo[2], 999.0f);
    effect.setParameter(idx(ParamKind::IsDelayOn, 3), 0.8f);
    EXPECT_EQ((*effect.programs)[0].lineOn[3], 1);
}

TEST(Filters, CoefficientsFollowTheBilinearFormulas) {
    DelayEffect effect(silentHost);
    effect.setParameter(idx(ParamKind::CrossFrequency), 0.3f);    // 1850 Hz
    effect.setParameter(idx(ParamKind::LowPassFrequency), 0.5f);  // high-pass at 925 Hz
    effect.setParameter(idx(ParamKind::HighPassFrequency), 0.5f); // low-pass at 11925 Hz
    EXPECT_FLOAT_EQ(effect.crossHz[0], 1850.0f);
    Block block(16);
    effect.processBlock(block.inputs, block.outputs, 16);

    const long double pi = std::numbers::pi;
    const long double t = std::tan(pi * 925.0L / 44100.0L);
    const long double hb0 = 1.0L / (1.0L + t + t * t);
    EXPECT_FLOAT_EQ(effect.hpB0[0], static_cast<float>(hb0));
    EXPECT_FLOAT_EQ(effect.hpB1[0], static_cast<float>(-2.0L * hb0));
    EXPECT_FLOAT_EQ(effect.hpB2[0], static_cast<float>(hb0));
    EXPECT_FLOAT_EQ(effect.hpA1[0], static_cast<float>(2.0L * hb0 * (t * t - 1.0L)));
    EXPECT_FLOAT_EQ(effect.hpA2[0], static_cast<float>(hb0 * (1.0L - t + t * t)));

    const long double c = 1.0L / std::tan(pi * 11925.0L / 44100.0L);
    const long double lb0 = 1.0L / (1.0L + c + c * c);
    EXPECT_FLOAT_EQ(effect.lpB0[0], static_cast<float>(lb0));
    EXPECT_FLOAT_EQ(effect.lpB1[0], static_cast<float>(2.0L * lb0));
    EXPECT_FLOAT_EQ(effect.lpA1[0], static_cast<float>(2.0L * lb0 * (1.0L - c * c)));
    EXPECT_FLOAT_EQ(effect.lpA2[0], static_cast<float>(lb0 * (1.0L - c + c * c)));

    // The crossover alone moves both stages.
    const float hpBefore = effect.hpB0[0], lpBefore = effect.lpB0[0];
    effect.setParameter(idx(ParamKind::CrossFrequency), 0.6f);
    effect.processBlock(block.inputs, block.outputs, 16);
    EXPECT_NE(effect.hpB0[0], hpBefore);
    EXPECT_NE(effect.lpB0[0], lpBefore);
    EXPECT_EQ(effect.crossUsed[0], 0.6f);
}

TEST(Filters, LowPassAt500HzIsReadyFromTheFirstBlock) {
    DelayEffect effect(silentHost);
    effect.setParameter(idx(ParamKind::HighPassFrequency), 0.0f);
    effect.setParameter(idx(ParamKind::CrossFrequency), 0.0f);
    Block block(8);
    effect.processBlock(block.inputs, block.outputs, 8);
    const long double c = 1.0L / std::tan(std::numbers::pi_v<long double> * 500.0L / 44100.0L);
    EXPECT_FLOAT_EQ(effect.lpB0[0], static_cast<float>(1.0L / (1.0L + c + c * c)));
}

TEST(Filters, StagesPassOrBlockSteadySignalsAsTheirKindSays) {
    // A steady signal through the line: the low-pass keeps it, the high-pass removes it.
    auto steadyEcho = [](float lowPassValue, float highPassValue) {
        DelayEffect effect(silentHost);
        effect.setProgram(12);
        effect.setParameter(idx(ParamKind::IsTempoSync), 0.0f);
        effect.setParameter(idx(ParamKind::VolumeThruInput), 0.0f);
        effect.setParameter(idx(ParamKind::Pan), 0.0f);
        effect.setParameter(idx(ParamKind::FeedBack), 1.0f);
        effect.setParameter(idx(ParamKind::LowPassFrequency), lowPassValue);
        effect.setParameter(idx(ParamKind::HighPassFrequency), highPassValue);
        Block block(1024, 0.5f);
        for (int i = 0; i < 60; ++i)
            effect.processBlock(block.inputs, block.outputs, 1024);
        return block.out[0][1000];
    };
    EXPECT_NEAR(steadyEcho(0.0f, 0.2f), 1.0f, 1e-3);
    EXPECT_NEAR(steadyEcho(0.5f, 1.0f), 0.0f, 1e-3);
    EXPECT_EQ(steadyEcho(0.0f, 1.0f), 1.0f);
}

TEST(Saturation, CurveAndGains) {
    DelayEffect effect(silentHost);
    effect.setProgram(12);
    effect.setParameter(idx(ParamKind::IsTempoSync), 0.0f);
    effect.setParameter(idx(ParamKind::VolumeThruInput), 0.0f);
    effect.setParameter(idx(ParamKind::Pan), 0.0f);
    effect.setParameter(idx(ParamKind::FeedBack), 0.5f);
    effect.setParameter(idx(ParamKind::Saturation), 0.1f);
    effect.setParameter(idx(ParamKind::Tempo), 120.0f);
    effect.setParameter(idx(ParamKind::TempoDen), 0.8f); // 1/64 beat: 344 samples

    Block block(1024);
    block.in[0][0] = block.in[1][0] = 1.0f; // the memory holds 1.0
    effect.processBlock(block.inputs, block.outputs, 1024);
    const float a = 0.1f * 0.98f;
    EXPECT_FLOAT_EQ(effect.satInGain[0], static_cast<float>(a * std::numbers::pi));
    EXPECT_FLOAT_EQ(effect.satOutGain[3], static_cast<float>(1.0 / std::sin(a * std::numbers::pi)));
    // A full-scale sample at a small setting comes out near 1.
    EXPECT_NEAR(block.out[0][344], 1.0f, 0.005f);
    EXPECT_GT(block.out[0][344], 0.99f);

    // Small signals gain about a pi / sin(a pi): 1.5 at 0.5.
    effect.setParameter(idx(ParamKind::Saturation), 0.5f);
    Block quiet(1024);
    quiet.in[0][0] = quiet.in[1][0] = 0.001f;
    effect.processBlock(quiet.inputs, quiet.outputs, 1024);
    EXPECT_NEAR(quiet.out[0][344] / 0.001f,
                0.49 * std::numbers::pi / std::sin(0.49 * std::numbers::pi), 1e-3);
}

TEST(VectorUnit, WithoutItTheInputPassesThroughUnchanged) {
    const bool absent = false;
    DelayEffect effect(silentHost, nullptr, &absent);
    EXPECT_FALSE(hasVectorUnit);
    effect.setParameter(idx(ParamKind::VolumeThruInput), 0.3f);
    Block block(37, 0.25f);
    block.in[1].assign(37, -0.5f);
    for (int c = 2; c < 6; ++c)
        block.out[c].assign(37, 9.0f);
    const std::int32_t readBefore = effect.readPos[0];
    effect.processReplacing(block.inputs, block.outputs, 37);
    EXPECT_EQ(block.out[0], block.in[0]);
    EXPECT_EQ(block.out[1], block.in[1]);
    for (int c = 2; c < 6; ++c)
        EXPECT_EQ(block.out[c], std::vector<float>(37, 0.0f));
    EXPECT_EQ(effect.readPos[0], readBefore);
    hasVectorUnit = true;
}

TEST(Construction, EffectAndEditorWiring) {
    RecordingEditor::destroyed = 0;
    auto* effect = new DelayEffect(silentHost, makeRecordingEditor);
    auto* editor = static_cast<RecordingEditor*>(effect->editor);
    ASSERT_NE(editor, nullptr);
    EXPECT_EQ(editor->knobMode, 2);
    EXPECT_EQ(effect->getAeffect()->flags, 0x1D);
    // The program load told the editor of every parameter, Tempo clamped.
    EXPECT_GE(editor->changes.size(), 61u);

    // effClose answers 1 and takes the editor with the instance.
    AEffect* record = effect->getAeffect();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(RecordingEditor::destroyed, 1);
}

TEST(Construction, WithoutEditorTheFlagStaysClear) {
    DelayEffect effect(silentHost);
    EXPECT_EQ(effect.getAeffect()->flags, 0x1C);
    EXPECT_EQ(effect.editor, nullptr);
}

// Host time information for the tempo-following tests.
VstTimeInfo gTime{};
VstIntPtr VSTCALL timedHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&gTime);
    return 0;
}

TEST(TempoSync, TheEditorHearsEveryBlockWhileTheTempoCannotBeMatched) {
    gTime = VstTimeInfo{};
    gTime.tempo = 40.0; // below the range: stored as 48, never equal
    DelayEffect effect(timedHost, makeRecordingEditor);
    auto* editor = static_cast<RecordingEditor*>(effect.editor);
    Block block(64);
    effect.processBlock(block.inputs, block.outputs, 64);
    const std::int32_t distance = effect.writePos[0] - effect.readPos[0];
    editor->changes.clear();
    for (int i = 0; i < 5; ++i)
        effect.processBlock(block.inputs, block.outputs, 64);
    ASSERT_EQ(editor->changes.size(), 5u);
    for (auto [index, value] : editor->changes) {
        EXPECT_EQ(index, idx(ParamKind::Tempo));
        EXPECT_EQ(value, 0.0f) << "48 bpm, as the interface carries it";
    }
    EXPECT_EQ(effect.writePos[0] - effect.readPos[0], distance);

    gTime.tempo = 120.0; // exactly representable: one change, then quiet
    editor->changes.clear();
    for (int i = 0; i < 5; ++i)
        effect.processBlock(block.inputs, block.outputs, 64);
    EXPECT_EQ(editor->changes.size(), 1u);
}

} // namespace
} // namespace tesk

namespace tesk {
namespace {

// One instruction the processor refuses, and one it runs, on each architecture.
#if defined(__aarch64__)
void illegalInstruction() {
    __asm__ volatile("udf #0");
}
void harmlessInstruction() {
    __asm__ volatile("movi v0.16b, #0" ::: "v0");
}
constexpr std::int32_t kVectorFeature = kCpuNeon;
#else
void illegalInstruction() {
    __asm__ volatile("ud2");
}
void harmlessInstruction() {
    __asm__ volatile("xorps %%xmm0, %%xmm0" ::: "xmm0");
}
constexpr std::int32_t kVectorFeature = kCpuSse;
#endif

TEST(CpuProbe, FaultingInstructionIsCaughtAndReportedUnusable) {
    EXPECT_FALSE(runFaultGuarded(illegalInstruction));
    EXPECT_TRUE(runFaultGuarded(harmlessInstruction));
    EXPECT_FALSE(runFaultGuarded(illegalInstruction)); // and again: the guard was restored
}

TEST(CpuProbe, ThisProcessorHasTheVectorUnit) {
    CpuInfo info{};
    const std::int32_t reported = probeCpu(&info);
    EXPECT_EQ(reported, info.reportedFeatures);
    EXPECT_NE(reported & kVectorFeature, 0);
    EXPECT_NE(info.usableFeatures & kVectorFeature, 0);
    EXPECT_EQ(info.usableFeatures & ~info.reportedFeatures, 0);
    EXPECT_EQ(info.lastWord, 15);
#if !defined(__aarch64__)
    EXPECT_NE(info.usableFeatures & kCpuSse2, 0);
    EXPECT_EQ(std::strlen(info.vendor), 12u);
#endif
    EXPECT_TRUE(detectVectorUnit());
}

// The compiler's own reading of the processor and the system, an independent
// answer to the same question; the Windows build never uses the 8-wide unit.
TEST(CpuProbe, TheWideUnitIsFoundExactlyWhereTheCompilerFindsIt) {
#if defined(__x86_64__) && !defined(_WIN32)
    EXPECT_EQ(detectWideVectorUnit(), __builtin_cpu_supports("avx") != 0);
#else
    EXPECT_FALSE(detectWideVectorUnit());
#endif
}

} // namespace
} // namespace tesk
