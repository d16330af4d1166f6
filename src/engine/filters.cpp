// The shaping of each line's wet output: the saturation stage, and the
// high-pass and low-pass stages on either side of the line's crossover.
#include "delay_engine.h"
#include "precise_math.h"
#include "vec4.h"

#include <algorithm>
#include <cmath>
#include <numbers>

// The pairing of both filter stages in one 8-wide vector is x86's (AVX);
// elsewhere every block takes the 4-wide pass.
#if TESK_VEC4_SSE
#include <immintrin.h>
#define TESK_WIDE_PAIRING 1
#endif

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

// The bilinear transform's angle, π f / rate, and its sine and cosine.
SineCosine prewarped(double cutoff, std::int32_t rate) {
    return sineCosine(Precise(std::numbers::pi) * cutoff / static_cast<double>(rate));
}

// The section with Q = 1 for the tangent term `k` (t for the high-pass, 1/t
// for the low-pass): b1 = 2 `sign` b0 and a1 = -2 `sign` b0 (k² - 1), the
// high-pass taking sign -1 and the low-pass +1. Computed to about 106 bits and
// rounded once to float, so every processor stores the same coefficients,
// those of the exact formulas.
Biquad section(Precise k, double sign) {
    const Precise one = 1.0;
    const Precise b0 = one / (one + k + k * k);
    return {roundToFloat(b0), roundToFloat(Precise(2.0 * sign) * b0), roundToFloat(b0),
            roundToFloat(Precise(-2.0 * sign) * b0 * (k * k - one)),
            roundToFloat(b0 * (one - k + k * k))};
}

Biquad highPass(double cutoff, std::int32_t rate) {
    const SineCosine angle = prewarped(cutoff, rate);
    return section(angle.sine / angle.cosine, -1.0);
}

Biquad lowPass(double cutoff, std::int32_t rate) {
    const SineCosine angle = prewarped(cutoff, rate);
    return section(angle.cosine / angle.sine, 1.0);
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

// Which lanes of a filter stage filter: none (the stage is skipped), some (each
// lane picks its filtered or its held input), or all, where there is nothing to
// pick and the three logic operations of each pick would only cost time.
enum class Lanes { none, some, all };

Lanes lanesOf(const bool (&active)[kNumLines]) {
    const auto count = std::count(std::begin(active), std::end(active), true);
    return count == 0 ? Lanes::none : count == kNumLines ? Lanes::all : Lanes::some;
}

Vec4 laneMask(const bool (&on)[kNumLines]) {
    const auto flag = [&](int l) { return on[l] ? 1.0f : 0.0f; };
    return notEqualMask(lanes(flag(0), flag(1), flag(2), flag(3)), splat(0.0f));
}

// A sine's Taylor polynomial to the fifth power, scaled by the line's gains.
Vec4 saturationCurve(Vec4 s, Vec4 gi, Vec4 go) {
    const Vec4 x = gi * s;
    const Vec4 x2 = x * x;
    const Vec4 x3 = x2 * x;
    const Vec4 x5 = x3 * x2;
    const Vec4 curve = (x - x3 * splat(1.0f / 6.0f)) + x5 * splat(1.0f / 120.0f);
    return go * curve;
}

#if TESK_WIDE_PAIRING
// The 8-wide unit's code is compiled for it function by function and runs only
// where the processor probe found the unit.
#define TESK_WIDE __attribute__((target("avx")))

// The same curve on the 8-wide unit, the same operations in the same order.
TESK_WIDE __m256 saturationCurveWide(__m256 s, __m256 gi, __m256 go) {
    const __m256 x = _mm256_mul_ps(gi, s);
    const __m256 x2 = _mm256_mul_ps(x, x);
    const __m256 x3 = _mm256_mul_ps(x2, x);
    const __m256 x5 = _mm256_mul_ps(x3, x2);
    const __m256 curve =
        _mm256_add_ps(_mm256_sub_ps(x, _mm256_mul_ps(x3, _mm256_set1_ps(1.0f / 6.0f))),
                      _mm256_mul_ps(x5, _mm256_set1_ps(1.0f / 120.0f)));
    return _mm256_mul_ps(go, curve);
}
#endif

// One filter stage over the four lines, one line per lane, direct form I. A
// lane whose stage is off keeps feeding `held` (its line's first input of
// the block) and passes its input on unchanged.
class Stage {
  public:
    Stage(const AlignedBuffer* const (&coefficients)[5], AlignedBuffer& inHistory,
          AlignedBuffer& outHistory, Vec4 active)
        : b0_(load(coefficients[0]->data())), b1_(load(coefficients[1]->data())),
          b2_(load(coefficients[2]->data())), a1_(load(coefficients[3]->data())),
          a2_(load(coefficients[4]->data())), x1_(load(inHistory.data())),
          x2_(load(inHistory.data() + 4)), y1_(load(outHistory.data())),
          y2_(load(outHistory.data() + 4)), active_(active), held_(splat(0.0f)),
          inHistory_(inHistory), outHistory_(outHistory) {}

    void hold(Vec4 firstInput) { held_ = firstInput; }

    // The output for input `x` from the present histories, which stay as they are.
    Vec4 output(Vec4 x) const {
        return ((b0_ * x + b1_ * x1_) + b2_ * x2_) - (a1_ * y1_ + a2_ * y2_);
    }

    template <Lanes Filtering> Vec4 step(Vec4 in) {
        const Vec4 x = Filtering == Lanes::all ? in : select(active_, in, held_);
        const Vec4 y = output(x);
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return Filtering == Lanes::all ? y : select(active_, y, in);
    }

    void finish() {
        store(inHistory_.data(), x1_);
        store(inHistory_.data() + 4, x2_);
        store(outHistory_.data(), y1_);
        store(outHistory_.data() + 4, y2_);
        resetBrokenLanes(inHistory_, outHistory_);
    }

  private:
    friend class PairedStages;

    Vec4 b0_, b1_, b2_, a1_, a2_, x1_, x2_, y1_, y2_, active_, held_;
    AlignedBuffer& inHistory_;
    AlignedBuffer& outHistory_;
};

#if TESK_WIDE_PAIRING
// Both stages in 8-wide vectors: the high-pass stage in the low half, the
// low-pass stage in the high half. A step filters the high-pass of one frame
// and the low-pass of an earlier one, whose high-pass output is already there,
// so the two recursions share one chain of operations. Each lane does its
// stage's arithmetic and picks in the order of `Stage::step`, so the outputs
// are the 4-wide path's bit for bit.
class PairedStages {
  public:
    TESK_WIDE PairedStages(const Stage& hp, const Stage& lp)
        : b0_(pair(hp.b0_, lp.b0_)), b1_(pair(hp.b1_, lp.b1_)), b2_(pair(hp.b2_, lp.b2_)),
          a1_(pair(hp.a1_, lp.a1_)), a2_(pair(hp.a2_, lp.a2_)), x1_(pair(hp.x1_, lp.x1_)),
          x2_(pair(hp.x2_, lp.x2_)), y1_(pair(hp.y1_, lp.y1_)), y2_(pair(hp.y2_, lp.y2_)),
          active_(pair(hp.active_, lp.active_)), held_(pair(hp.held_, lp.held_)) {}

    TESK_WIDE static __m256 pair(Vec4 low, Vec4 high) {
        return _mm256_insertf128_ps(_mm256_castps128_ps256(low.v), high.v, 1);
    }
    TESK_WIDE static Vec4 low(__m256 v) { return {_mm256_castps256_ps128(v)}; }
    TESK_WIDE static Vec4 high(__m256 v) { return {_mm256_extractf128_ps(v, 1)}; }

    // Keeps `a` in the lanes of `mask`, `b` elsewhere, as `select` does.
    TESK_WIDE static __m256 select(__m256 mask, __m256 a, __m256 b) {
        return _mm256_or_ps(_mm256_and_ps(mask, a), _mm256_andnot_ps(mask, b));
    }

    // The high-pass output for `highPassIn` in the low half, the low-pass output
    // for `lowPassIn` in the high half. `Picks` when a stage filters in some
    // lanes only: the others feed their held input and pass theirs on.
    template <bool Picks> TESK_WIDE __m256 step(Vec4 highPassIn, Vec4 lowPassIn) {
        const __m256 in = pair(highPassIn, lowPassIn);
        const __m256 x = Picks ? select(active_, in, held_) : in;
        const __m256 y = _mm256_sub_ps(
            _mm256_add_ps(_mm256_add_ps(_mm256_mul_ps(b0_, x), _mm256_mul_ps(b1_, x1_)),
                          _mm256_mul_ps(b2_, x2_)),
            _mm256_add_ps(_mm256_mul_ps(a1_, y1_), _mm256_mul_ps(a2_, y2_)));
        x2_ = x1_;
        x1_ = x;
        y2_ = y1_;
        y1_ = y;
        return Picks ? select(active_, y, in) : y;
    }

    // High-passes `in` and low-passes the earlier of `waiting`, whose later
    // one moves up to make room for `in`'s high-pass output; answers the
    // low-pass output.
    template <bool Picks> TESK_WIDE Vec4 advance(Vec4 in, Vec4 (&waiting)[2]) {
        const __m256 y = step<Picks>(in, waiting[0]);
        waiting[0] = waiting[1];
        waiting[1] = low(y);
        return high(y);
    }

    // Gives each stage its half of the histories back.
    TESK_WIDE void unpair(Stage& hp, Stage& lp) const {
        hp.x1_ = low(x1_);
        hp.x2_ = low(x2_);
        hp.y1_ = low(y1_);
        hp.y2_ = low(y2_);
        lp.x1_ = high(x1_);
        lp.x2_ = high(x2_);
        lp.y1_ = high(y1_);
        lp.y2_ = high(y2_);
    }

  private:
    __m256 b0_, b1_, b2_, a1_, a2_, x1_, x2_, y1_, y2_, active_, held_;
};
#endif

// Where one running line's wet signal goes, and at what gains.
struct LineMix {
    float* left;
    float* right;
    float gainLeft;
    float gainRight;
};

} // namespace

// The shaping and the mix of one block over all four lines in one pass, four
// frames at a time held as a 4 x 4 block transposed between line order
// (saturation, mix) and frame order (the filters). Both filter stages advance
// in the same frame step, so the high-pass recursion of the next frame runs
// while the low-pass one of this frame still waits on its result; each stage
// keeps its own arithmetic and order exactly.
struct ShapingPass {
    float* lines[kNumLines];
    bool saturating[kNumLines];
    Vec4 satIn[kNumLines];
    Vec4 satOut[kNumLines];
    LineMix mix[kNumLines];
    int mixCount = 0;
    int mixLine[kNumLines];

    // The four lines' samples at `frame`, saturated, in lane order.
    Vec4 firstFrame(std::int32_t frame) const {
        alignas(16) float values[kNumLines];
        for (int l = 0; l < kNumLines; ++l) {
            const Vec4 v = splat(lines[l][frame]);
            values[l] = firstLane(saturating[l] ? saturationCurve(v, satIn[l], satOut[l]) : v);
        }
        return load(values);
    }

    // Line `l`'s group of four at `k`, saturated.
    Vec4 saturated(int l, std::int32_t k) const {
        const Vec4 v = load(lines[l] + k);
        return saturating[l] ? saturationCurve(v, satIn[l], satOut[l]) : v;
    }

    void loadGroup(Vec4 (&v)[kNumLines], std::int32_t k) const {
        for (int l = 0; l < kNumLines; ++l)
            v[l] = load(lines[l] + k);
    }

#if TESK_WIDE_PAIRING
    // Saturates the lines in place over the block's groups, the spare one
    // included, eight frames at a time.
    TESK_WIDE void saturateInPlaceWide(std::int32_t frames) const {
        const std::int32_t groups = (frames + 3) & ~3;
        for (int l = 0; l < kNumLines; ++l) {
            if (!saturating[l]) continue;
            const __m256 gi = _mm256_set_m128(satIn[l].v, satIn[l].v);
            const __m256 go = _mm256_set_m128(satOut[l].v, satOut[l].v);
            std::int32_t k = 0;
            for (; k + 8 <= groups; k += 8)
                _mm256_storeu_ps(lines[l] + k,
                                 saturationCurveWide(_mm256_loadu_ps(lines[l] + k), gi, go));
            if (k < groups) store(lines[l] + k, saturated(l, k));
        }
    }
#endif

    void saturateGroup(Vec4 (&v)[kNumLines], std::int32_t k) const {
        for (int l = 0; l < kNumLines; ++l)
            v[l] = saturated(l, k);
    }

    // Stores mixed line `i`'s shaped group `v` at `k` and adds it onto its pair.
    void storeAndMix(int i, Vec4 v, std::int32_t k) const {
        const LineMix& m = mix[i];
        store(lines[mixLine[i]] + k, v);
        storeUnaligned(m.left + k, loadUnaligned(m.left + k) + v * splat(m.gainLeft));
        storeUnaligned(m.right + k, loadUnaligned(m.right + k) + v * splat(m.gainRight));
    }

    // Adds mixed line `i`'s shaped sample `value` at frame `k` onto its pair.
    void mixFrame(int i, float value, std::int32_t k) const {
        mix[i].left[k] += value * mix[i].gainLeft;
        mix[i].right[k] += value * mix[i].gainRight;
    }

    void storeAndMixGroup(const Vec4 (&v)[kNumLines], std::int32_t k) const {
        for (int i = 0; i < mixCount; ++i)
            storeAndMix(i, v[mixLine[i]], k);
    }

    // Mixed line `i` on its own, when no filter stage joins the lines in one
    // vector: the lines that do not run are not touched. Each output sample
    // still takes the lines' echoes in mix order, as in the joint pass.
    void saturateAndMixAlone(int i, std::int32_t frames) const {
        const int l = mixLine[i];
        const std::int32_t full = frames & ~3;
        for (std::int32_t k = 0; k < full; k += 4)
            storeAndMix(i, saturated(l, k), k);
        if (full == frames) return;
        store(lines[l] + full, saturated(l, full)); // the spare group takes the overhang
        for (std::int32_t k = full; k < frames; ++k)
            mixFrame(i, lines[l][k], k);
    }

    template <Lanes HighPass, Lanes LowPass> Vec4 filterFrame(Stage& hp, Stage& lp, Vec4 x) const {
        if constexpr (HighPass != Lanes::none) x = hp.step<HighPass>(x);
        if constexpr (LowPass != Lanes::none) x = lp.step<LowPass>(x);
        return x;
    }

    template <Lanes HighPass, Lanes LowPass>
    void run(Stage& hp, Stage& lp, std::int32_t frames) const {
        if constexpr (HighPass == Lanes::none && LowPass == Lanes::none) {
            for (int i = 0; i < mixCount; ++i)
                saturateAndMixAlone(i, frames);
            return;
        }
        const std::int32_t full = frames & ~3;
        for (std::int32_t k = 0; k < full; k += 4) {
            Vec4 v[kNumLines];
            saturateGroup(v, k);
            transpose(v[0], v[1], v[2], v[3]);
            for (Vec4& frame : v)
                frame = filterFrame<HighPass, LowPass>(hp, lp, frame);
            transpose(v[0], v[1], v[2], v[3]);
            storeAndMixGroup(v, k);
        }
        if (full < frames) runTail<HighPass, LowPass>(hp, lp, full, frames);
    }

#if TESK_WIDE_PAIRING
    // Both stages filtering, on the 8-wide unit, for four frames or more. The
    // lines are saturated first, in place. The low-pass half runs
    // two frames behind the high-pass half: one frame behind, each step would
    // wait on the step before for its input as well as for its histories, a
    // longer chain. The high-pass of the first two frames runs alone, the
    // low-pass of the last two after the pairing, and a group is stored and
    // mixed within the next, once its low-pass outputs are in.
    template <Lanes HighPass, Lanes LowPass>
    TESK_WIDE void runPaired(Stage& hp, Stage& lp, std::int32_t frames) const {
        static_assert(HighPass != Lanes::none && LowPass != Lanes::none);
        constexpr bool picks = HighPass == Lanes::some || LowPass == Lanes::some;
        const std::int32_t full = frames & ~3;
        saturateInPlaceWide(frames);
        Vec4 in[kNumLines];
        loadGroup(in, 0);
        transpose(in[0], in[1], in[2], in[3]);
        // The high-pass outputs still to be low-passed, the earlier first.
        Vec4 waiting[2] = {hp.step<HighPass>(in[0]), hp.step<HighPass>(in[1])};
        PairedStages both(hp, lp);
        Vec4 out[kNumLines];
        for (std::int32_t k = 0;; k += 4) {
            for (int j = 2; j < kNumLines; ++j)
                out[j - 2] = both.advance<picks>(in[j], waiting);
            if (k + 4 == full) break;
            loadGroup(in, k + 4);
            transpose(in[0], in[1], in[2], in[3]);
            for (int j = 0; j < 2; ++j)
                out[j + 2] = both.advance<picks>(in[j], waiting);
            transpose(out[0], out[1], out[2], out[3]);
            storeAndMixGroup(out, k);
        }
        both.unpair(hp, lp);
        out[2] = lp.step<LowPass>(waiting[0]);
        out[3] = lp.step<LowPass>(waiting[1]);
        transpose(out[0], out[1], out[2], out[3]);
        storeAndMixGroup(out, full - 4);
        if (full < frames) filterTail<HighPass, LowPass>(hp, lp, full, frames);
    }
#endif

    // The last partial group: saturated whole (the spare group takes the
    // overhang), then filtered and mixed frame by frame.
    template <Lanes HighPass, Lanes LowPass>
    void runTail(Stage& hp, Stage& lp, std::int32_t full, std::int32_t frames) const {
        Vec4 v[kNumLines];
        saturateGroup(v, full);
        for (int l = 0; l < kNumLines; ++l)
            store(lines[l] + full, v[l]);
        filterTail<HighPass, LowPass>(hp, lp, full, frames);
    }

    // The frames from `full` on, saturated already, filtered and mixed one by one.
    template <Lanes HighPass, Lanes LowPass>
    void filterTail(Stage& hp, Stage& lp, std::int32_t full, std::int32_t frames) const {
        for (std::int32_t k = full; k < frames; ++k) {
            alignas(16) float values[kNumLines];
            for (int l = 0; l < kNumLines; ++l)
                values[l] = lines[l][k];
            store(values, filterFrame<HighPass, LowPass>(hp, lp, load(values)));
            for (int i = 0; i < mixCount; ++i) {
                const int l = mixLine[i];
                lines[l][k] = values[l];
                mixFrame(i, values[l], k);
            }
        }
    }
};

void DelayEngine::updateFilterCoefficients(int line) {
    const float lowPassValue = lowPassFrequency[line];
    const float highPassValue = highPassFrequency[line];
    const float crossValue = crossFrequency[line];
    const double cross = crossoverHz(crossValue);
    const bool fresh = !coefficientsReady[line];
    AlignedBuffer* const hp[5] = {&hpB0, &hpB1, &hpB2, &hpA1, &hpA2};
    AlignedBuffer* const lp[5] = {&lpB0, &lpB1, &lpB2, &lpA1, &lpA2};

    if (fresh || lowPassValue != lowPassUsed[line] || crossValue != crossUsed[line]) {
        lowPassUsed[line] = lowPassValue;
        storeLane(hp, line,
                  highPass(stableCutoff(lowPassValue * cross, sampleRateInt), sampleRateInt));
    }
    if (fresh || highPassValue != highPassUsed[line] || crossValue != crossUsed[line]) {
        crossUsed[line] = crossValue;
        highPassUsed[line] = highPassValue;
        const double cutoff = cross + highPassValue * (22000.0 - cross);
        storeLane(lp, line, lowPass(stableCutoff(cutoff, sampleRateInt), sampleRateInt));
    }
    coefficientsReady[line] = true;
}

namespace {

template <Lanes HighPass>
void runPassWithHighPass(const ShapingPass& pass, Stage& hp, Stage& lp, Lanes lowPass,
                         std::int32_t frames) {
    switch (lowPass) {
    case Lanes::none:
        return pass.run<HighPass, Lanes::none>(hp, lp, frames);
    case Lanes::some:
        return pass.run<HighPass, Lanes::some>(hp, lp, frames);
    case Lanes::all:
        return pass.run<HighPass, Lanes::all>(hp, lp, frames);
    }
}

// The pass made for the lanes each stage filters.
void runPass(const ShapingPass& pass, Stage& hp, Stage& lp, Lanes highPass, Lanes lowPass,
             std::int32_t frames) {
    switch (highPass) {
    case Lanes::none:
        return runPassWithHighPass<Lanes::none>(pass, hp, lp, lowPass, frames);
    case Lanes::some:
        return runPassWithHighPass<Lanes::some>(pass, hp, lp, lowPass, frames);
    case Lanes::all:
        return runPassWithHighPass<Lanes::all>(pass, hp, lp, lowPass, frames);
    }
}

#if TESK_WIDE_PAIRING
template <Lanes HighPass>
void runPairedWithHighPass(const ShapingPass& pass, Stage& hp, Stage& lp, Lanes lowPass,
                           std::int32_t frames) {
    if (lowPass == Lanes::some)
        pass.runPaired<HighPass, Lanes::some>(hp, lp, frames);
    else
        pass.runPaired<HighPass, Lanes::all>(hp, lp, frames);
}

// Both stages on the 8-wide unit, for blocks where both filter in some lane.
void runPairedPass(const ShapingPass& pass, Stage& hp, Stage& lp, Lanes highPass, Lanes lowPass,
                   std::int32_t frames) {
    if (highPass == Lanes::some)
        runPairedWithHighPass<Lanes::some>(pass, hp, lp, lowPass, frames);
    else
        runPairedWithHighPass<Lanes::all>(pass, hp, lp, lowPass, frames);
}
#endif

} // namespace

void DelayEngine::shapeAndMixLines(float** outputs, std::int32_t frames) {
    bool highPassActive[kNumLines];
    bool lowPassActive[kNumLines];
    for (int line = 0; line < kNumLines; ++line) {
        highPassActive[line] = running[line] && lowPassFrequency[line] > 0.0f;
        lowPassActive[line] = running[line] && highPassFrequency[line] < 1.0f;
        if (running[line]) updateFilterCoefficients(line);
    }
    // Filled by preparePass: zeroing its 300 bytes first would cost more than a short block.
    ShapingPass pass;
    preparePass(pass, outputs);
    if (pass.mixCount == 0) return; // no line runs: nothing to shape, filter or mix
    const AlignedBuffer* const hpBlocks[5] = {&hpB0, &hpB1, &hpB2, &hpA1, &hpA2};
    const AlignedBuffer* const lpBlocks[5] = {&lpB0, &lpB1, &lpB2, &lpA1, &lpA2};
    Stage hp(hpBlocks, hpInHistory, hpOutHistory, laneMask(highPassActive));
    Stage lp(lpBlocks, lpInHistory, lpOutHistory, laneMask(lowPassActive));

    // Stages whose lane is off hold the line's first sample of the block as
    // that stage sees it: after saturation, and after the high-pass stage.
    const Vec4 first = pass.firstFrame(0);
    hp.hold(first);
    const Lanes highPass = lanesOf(highPassActive);
    const Lanes lowPass = lanesOf(lowPassActive);
    lp.hold(highPass != Lanes::none ? select(laneMask(highPassActive), hp.output(first), first)
                                    : first);

#if TESK_WIDE_PAIRING
    if (wideVectors && highPass != Lanes::none && lowPass != Lanes::none && frames >= 4)
        runPairedPass(pass, hp, lp, highPass, lowPass, frames);
    else
#endif
        runPass(pass, hp, lp, highPass, lowPass, frames);
    if (highPass != Lanes::none) hp.finish();
    if (lowPass != Lanes::none) lp.finish();
}

void DelayEngine::preparePass(ShapingPass& pass, float** outputs) {
    for (int line = 0; line < kNumLines; ++line) {
        pass.lines[line] = lineOut[line].data();
        pass.saturating[line] = running[line] && prepareSaturation(line);
        pass.satIn[line] = load(satInGain.data() + 4 * line);
        pass.satOut[line] = load(satOutGain.data() + 4 * line);
        if (!running[line]) continue;
        const float v = volume[line];
        const float p = pan[line];
        const float g = (2.0f * v) * (2.0f * v);
        const std::int32_t pair = std::clamp<std::int32_t>(outputPair[line], 0, 2);
        pass.mixLine[pass.mixCount] = line;
        pass.mix[pass.mixCount++] = {outputs[2 * pair], outputs[2 * pair + 1], g * (1.0f - p),
                                     g * p};
    }
}

bool DelayEngine::prepareSaturation(int line) {
    // Settings beyond the range would put the curve's scale through a zero of the sine.
    const float a = std::min(static_cast<float>(saturation[line]), 1.0f) * 0.98f;
    if (!(a > 0.0f)) return false;
    if (a != saturationUsed[line]) {
        saturationUsed[line] = a;
        const double angle = a * std::numbers::pi;
        const auto gi = static_cast<float>(angle);
        // Our own sine, to the bit the same on every processor and C library.
        const float go = roundToFloat(Precise(1.0) / sineCosine(angle).sine);
        std::fill(satInGain.data() + 4 * line, satInGain.data() + 4 * line + 4, gi);
        std::fill(satOutGain.data() + 4 * line, satOutGain.data() + 4 * line + 4, go);
    }
    return true;
}

} // namespace tesk
