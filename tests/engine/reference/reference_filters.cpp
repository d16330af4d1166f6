// The shaping of each line's wet output: the saturation stage, and the
// high-pass and low-pass stages on either side of the line's crossover.
#include "reference_engine.h"
#include "vec4.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tesk {

namespace {

// The coefficient formulas hold for cutoffs below half the sample rate; past
// it a stage would turn unstable (low rates, or values beyond the ranges).
double stableCutoff(double hz, std::int32_t rate) {
    return std::clamp(hz, 0.1, 0.4995 * rate);
}

struct Biquad {
    float b0, b1, b2, a1, a2;
};

// Bilinear-transform sections with Q = 1, computed in extended precision.
Biquad highPass(double cutoff, std::int32_t rate) {
    const long double t = std::tan(static_cast<long double>(std::numbers::pi) * cutoff / rate);
    const long double b0 = 1.0L / (1.0L + t + t * t);
    return {static_cast<float>(b0), static_cast<float>(-2.0L * b0), static_cast<float>(b0),
            static_cast<float>(2.0L * b0 * (t * t - 1.0L)),
            static_cast<float>(b0 * (1.0L - t + t * t))};
}

Biquad lowPass(double cutoff, std::int32_t rate) {
    const long double c = 1.0L / std::tan(static_cast<long double>(std::numbers::pi) * cutoff / rate);
    const long double b0 = 1.0L / (1.0L + c + c * c);
    return {static_cast<float>(b0), static_cast<float>(2.0L * b0), static_cast<float>(b0),
            static_cast<float>(2.0L * b0 * (1.0L - c * c)),
            static_cast<float>(b0 * (1.0L - c + c * c))};
}

void storeLane(AlignedBuffer* const (&blocks)[5], int line, const Biquad& q) {
    (*blocks[0])[line] = q.b0;
    (*blocks[1])[line] = q.b1;
    (*blocks[2])[line] = q.b2;
    (*blocks[3])[line] = q.a1;
    (*blocks[4])[line] = q.a2;
}

// A lane whose history went non-finite would stay so for ever: start it anew.
void resetBrokenLanes(AlignedBuffer& inHistory, AlignedBuffer& outHistory) {
    for (int lane = 0; lane < kNumLines; ++lane) {
        const bool finite = std::isfinite(inHistory[lane]) && std::isfinite(inHistory[lane + 4]) &&
                            std::isfinite(outHistory[lane]) && std::isfinite(outHistory[lane + 4]);
        if (finite) continue;
        inHistory[lane] = inHistory[lane + 4] = 0.0f;
        outHistory[lane] = outHistory[lane + 4] = 0.0f;
    }
}

} // namespace

void ReferenceEngine::updateFilterCoefficients(int line) {
    const float lowPassValue = lowPassFrequency[line];
    const float highPassValue = highPassFrequency[line];
    const float crossValue = crossFrequency[line];
    const double cross = crossoverHz(crossValue);
    const bool fresh = !coefficientsReady[line];
    AlignedBuffer* const hp[5] = {&hpB0, &hpB1, &hpB2, &hpA1, &hpA2};
    AlignedBuffer* const lp[5] = {&lpB0, &lpB1, &lpB2, &lpA1, &lpA2};

    if (fresh || lowPassValue != lowPassUsed[line] || crossValue != crossUsed[line]) {
        lowPassUsed[line] = lowPassValue;
        storeLane(hp, line, highPass(stableCutoff(lowPassValue * cross, sampleRateInt), sampleRateInt));
    }
    if (fresh || highPassValue != highPassUsed[line] || crossValue != crossUsed[line]) {
        crossUsed[line] = crossValue;
        highPassUsed[line] = highPassValue;
        const double cutoff = cross + highPassValue * (22000.0 - cross);
        storeLane(lp, line, lowPass(stableCutoff(cutoff, sampleRateInt), sampleRateInt));
    }
    coefficientsReady[line] = true;
}

void ReferenceEngine::filterLines(std::int32_t frames) {
    bool highPassActive[kNumLines];
    bool lowPassActive[kNumLines];
    bool anyHighPass = false;
    bool anyLowPass = false;
    for (int line = 0; line < kNumLines; ++line) {
        highPassActive[line] = running[line] && lowPassFrequency[line] > 0.0f;
        lowPassActive[line] = running[line] && highPassFrequency[line] < 1.0f;
        if (running[line]) updateFilterCoefficients(line);
        anyHighPass = anyHighPass || highPassActive[line];
        anyLowPass = anyLowPass || lowPassActive[line];
    }
    const AlignedBuffer* const hp[5] = {&hpB0, &hpB1, &hpB2, &hpA1, &hpA2};
    const AlignedBuffer* const lp[5] = {&lpB0, &lpB1, &lpB2, &lpA1, &lpA2};
    if (anyHighPass) runFilterStage(hp, hpInHistory, hpOutHistory, highPassActive, frames);
    if (anyLowPass) runFilterStage(lp, lpInHistory, lpOutHistory, lowPassActive, frames);
}

void ReferenceEngine::runFilterStage(const AlignedBuffer* const (&coefficients)[5],
                                 AlignedBuffer& inHistory, AlignedBuffer& outHistory,
                                 const bool (&active)[kNumLines], std::int32_t frames) {
    const Vec4 b0 = load(coefficients[0]->data());
    const Vec4 b1 = load(coefficients[1]->data());
    const Vec4 b2 = load(coefficients[2]->data());
    const Vec4 a1 = load(coefficients[3]->data());
    const Vec4 a2 = load(coefficients[4]->data());
    Vec4 x1 = load(inHistory.data());
    Vec4 x2 = load(inHistory.data() + 4);
    Vec4 y1 = load(outHistory.data());
    Vec4 y2 = load(outHistory.data() + 4);

    // One line per lane. A lane whose stage is off keeps feeding its line's
    // first sample of the block, and its output goes nowhere.
    float* lane[kNumLines];
    std::int32_t step[kNumLines];
    float held[kNumLines];
    float discard[kNumLines];
    for (int l = 0; l < kNumLines; ++l) {
        if (active[l]) {
            lane[l] = lineOut[l].data();
            step[l] = 1;
        } else {
            held[l] = lineOut[l][0];
            lane[l] = &held[l];
            step[l] = 0;
        }
    }
    alignas(16) float y[4];
    for (std::int32_t k = 0; k < frames; ++k) {
        const Vec4 x = lanes(lane[0][k * step[0]], lane[1][k * step[1]],
                             lane[2][k * step[2]], lane[3][k * step[3]]);
        const Vec4 out = ((b0 * x + b1 * x1) + b2 * x2) - (a1 * y1 + a2 * y2);
        x2 = x1;
        x1 = x;
        y2 = y1;
        y1 = out;
        store(y, out);
        for (int l = 0; l < kNumLines; ++l) (active[l] ? lane[l][k] : discard[l]) = y[l];
    }
    store(inHistory.data(), x1);
    store(inHistory.data() + 4, x2);
    store(outHistory.data(), y1);
    store(outHistory.data() + 4, y2);
    resetBrokenLanes(inHistory, outHistory);
}

void ReferenceEngine::saturateLine(int line, std::int32_t frames) {
    // Settings beyond the range would put the curve's scale through a zero of the sine.
    const float a = std::min(static_cast<float>(saturation[line]), 1.0f) * 0.98f;
    if (!(a > 0.0f)) return;
    float* inGain = satInGain.data() + 4 * line;
    float* outGain = satOutGain.data() + 4 * line;
    if (a != saturationUsed[line]) {
        saturationUsed[line] = a;
        const auto gi = static_cast<float>(a * std::numbers::pi);
        const auto go = static_cast<float>(1.0 / std::sin(a * std::numbers::pi));
        std::fill(inGain, inGain + 4, gi);
        std::fill(outGain, outGain + 4, go);
    }
    // A sine's Taylor polynomial to the fifth power. Whole groups: the block
    // buffers' spare group takes the overhang.
    const Vec4 gi = load(inGain);
    const Vec4 go = load(outGain);
    const Vec4 sixth = splat(1.0f / 6.0f);
    const Vec4 oneTwentieth = splat(1.0f / 120.0f);
    float* samples = lineOut[line].data();
    for (std::int32_t k = 0; k < frames; k += 4) {
        const Vec4 x = gi * load(samples + k);
        const Vec4 x2 = x * x;
        const Vec4 x3 = x2 * x;
        const Vec4 x5 = x3 * x2;
        const Vec4 curve = (x - x3 * sixth) + x5 * oneTwentieth;
        store(samples + k, go * curve);
    }
}

} // namespace tesk
