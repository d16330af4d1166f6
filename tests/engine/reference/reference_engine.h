// A frozen copy of the engine's block routine as it was before the
// contiguous-run and fused-filter rewrite, kept only as the test reference:
// it drives the same state of a DelayEffect (through references to its
// fields), so one effect can be run by either routine and the outputs compared
// bit for bit. Nothing here may change with the engine.
#pragma once

#include "delay_effect.h"

namespace tesk {

class ReferenceEngine {
  public:
    explicit ReferenceEngine(DelayEffect& effect) : e(effect) {}

    void process(float** inputs, float** outputs, std::int32_t frames);
    void processReplacing(float** inputs, float** outputs, std::int32_t frames);
    void processBlock(float** inputs, float** outputs, std::int32_t frames);

  private:
    static constexpr std::int32_t kMaxFrames = DelayEffect::kMaxFrames;
    DelayEffect& e;

    std::int32_t& sampleRateInt = e.sampleRateInt;
    std::array<AlignedBuffer, kNumLines>& delayBuffer = e.delayBuffer;
    AlignedBuffer& monoBuffer = e.monoBuffer;
    std::array<AlignedBuffer, kNumLines>& lineOut = e.lineOut;
    std::unique_ptr<float[]>& fadeTable = e.fadeTable;
    std::int32_t& fadeLength = e.fadeLength;
    DelayEffect::PerLine<float>& feedback = e.feedback;
    DelayEffect::PerLine<float>& pan = e.pan;
    DelayEffect::PerLine<float>& lowPassFrequency = e.lowPassFrequency;
    DelayEffect::PerLine<float>& highPassFrequency = e.highPassFrequency;
    DelayEffect::PerLine<float>& crossFrequency = e.crossFrequency;
    DelayEffect::PerLine<float>& saturation = e.saturation;
    DelayEffect::PerLine<std::int32_t>& inputSource = e.inputSource;
    DelayEffect::PerLine<std::int32_t>& outputPair = e.outputPair;
    DelayEffect::PerLine<bool>& lineOn = e.lineOn;
    DelayEffect::PerLine<std::int32_t>& delayType = e.delayType;
    DelayEffect::PerLine<float>& volume = e.volume;
    Relaxed<float>& volumeThruInput = e.volumeThruInput;
    std::array<std::int32_t, kNumLines>& writePos = e.writePos;
    std::array<std::int32_t, kNumLines>& readPos = e.readPos;
    std::array<std::int32_t, kNumLines>& prevWritePos = e.prevWritePos;
    bool& prevWritePosReady = e.prevWritePosReady;
    AlignedBuffer &hpInHistory = e.hpInHistory, &hpOutHistory = e.hpOutHistory;
    AlignedBuffer &lpInHistory = e.lpInHistory, &lpOutHistory = e.lpOutHistory;
    AlignedBuffer &hpB0 = e.hpB0, &hpB1 = e.hpB1, &hpB2 = e.hpB2, &hpA1 = e.hpA1, &hpA2 = e.hpA2;
    AlignedBuffer &lpB0 = e.lpB0, &lpB1 = e.lpB1, &lpB2 = e.lpB2, &lpA1 = e.lpA1, &lpA2 = e.lpA2;
    AlignedBuffer &satInGain = e.satInGain, &satOutGain = e.satOutGain;
    std::array<float, kNumLines>& lowPassUsed = e.lowPassUsed;
    std::array<float, kNumLines>& highPassUsed = e.highPassUsed;
    std::array<float, kNumLines>& crossUsed = e.crossUsed;
    std::array<float, kNumLines>& saturationUsed = e.saturationUsed;
    std::array<bool, kNumLines>& coefficientsReady = e.coefficientsReady;
    std::array<bool, kNumLines>& running = e.running;
    bool& memorySilent = e.memorySilent_;

    void applyHeadMove(int line) { e.applyHeadMove(line); }
    void followHostTempo(int line) { e.followHostTempo(line, e.hostTransport(kVstTempoValid)); }
    std::int32_t bufferLength() const { return e.bufferLength(); }
    void mixToMono(const float* left, const float* right, std::int32_t frames);
    void writeDryPath(float** inputs, float** outputs, std::int32_t frames);
    void processLine(int line, std::int32_t frames);
    void saturateLine(int line, std::int32_t frames);
    void filterLines(std::int32_t frames);
    void runFilterStage(const AlignedBuffer* const (&coefficients)[5], AlignedBuffer& inHistory,
                        AlignedBuffer& outHistory, const bool (&active)[kNumLines],
                        std::int32_t frames);
    void updateFilterCoefficients(int line);
    void mixLines(float** outputs, std::int32_t frames);
    void clearConsumedMemory(std::int32_t frames);
};

} // namespace tesk
