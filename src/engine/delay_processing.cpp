// Block processing: the mono feed, the dry path, the four delay lines with
// their cross-fading write heads, and the mix onto the output pairs.
#include "delay_engine.h"
#include "denormal_guard.h"
#include "vec4.h"

#include <algorithm>
#include <cstring>

namespace tesk {

namespace {

// What the delay memory may hold: far above any real signal (+120 dB), low
// enough that feedback of absurd settings can never overflow to infinity.
constexpr float kMemoryLimit = 1.0e6f;

std::int32_t wrapIndex(std::int64_t index, std::int32_t length) {
    std::int64_t wrapped = index % length;
    return static_cast<std::int32_t>(wrapped < 0 ? wrapped + length : wrapped);
}

// Keeps finite values, replaces infinities and NaN by silence.
Vec4 finiteOrZero(Vec4 x) {
    return x & equalMask(x - x, splat(0.0f));
}

float finiteOrZero(float x) {
    return x - x == 0.0f ? x : 0.0f;
}

Vec4 limitForMemory(Vec4 w) {
    return min(max(w, splat(-kMemoryLimit)), splat(kMemoryLimit));
}

float limitForMemory(float w) {
    return std::min(std::max(w, -kMemoryLimit), kMemoryLimit);
}

// An input silent to the bit: -0.0 would come out of the dry path as -0.0.
bool isSilent(const float* samples, std::int32_t frames) {
    std::uint32_t any = 0;
    for (std::int32_t k = 0; k < frames; ++k) {
        std::uint32_t bits;
        std::memcpy(&bits, samples + k, sizeof bits);
        any |= bits;
    }
    return any == 0;
}

template <typename T> bool sameBits(const T& a, const T& b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

// The engine's own signals may settle on -0.0 as well as on 0.0: a zero of
// either sign mixes onto outputs that start at 0.0 as 0.0, and adds nothing to
// a value that is not zero, so either is silence here.
bool isZero(const float* samples, std::int32_t frames) {
    bool zero = true;
    for (std::int32_t k = 0; k < frames; ++k)
        zero &= samples[k] == 0.0f;
    return zero;
}

std::int32_t advance(std::int32_t pos, std::int32_t count, std::int32_t length) {
    pos += count;
    return pos >= length ? pos - length : pos;
}

std::int32_t forwardDistance(std::int32_t from, std::int32_t to, std::int32_t length) {
    return to >= from ? to - from : to - from + length;
}

// What one line writes for its input x and the delayed value d.
struct Echo {
    float feedback;
    bool recirculating;

    float operator()(float x, float d) const {
        return limitForMemory(feedback * (recirculating ? x + d : x));
    }
    Vec4 operator()(Vec4 x, Vec4 d) const {
        return limitForMemory(splat(feedback) * (recirculating ? x + d : x));
    }
};

// The heads of one line during a block. `input` is the mono feed (which never
// wraps within a block) or a lower line's memory; `oldHead` is written only
// while the line fades, with the gains `fade` per frame.
struct LineHeads {
    float* memory;
    std::int32_t length;
    std::int32_t read;
    std::int32_t write;
    std::int32_t oldHead;
    const float* input;
    std::int32_t inputPos;
    std::int32_t inputLength;
    const float* fade;
};

// One contiguous stretch: no head wraps inside it. Everything is elementwise,
// so the grouping does not change a value; reads of four entries come before
// their writes, which is what every head at least four entries ahead of the
// read head needs.
void echoRun(const LineHeads& h, const Echo& echo, float* out, const float* fade, std::int32_t n) {
    const float* read = h.memory + h.read;
    const float* x = h.input + h.inputPos;
    float* write = h.memory + h.write;
    float* old = h.memory + h.oldHead;
    std::int32_t i = 0;
    for (; i + 4 <= n; i += 4) {
        const Vec4 d = loadUnaligned(read + i);
        storeUnaligned(out + i, d);
        Vec4 w = echo(loadUnaligned(x + i), d);
        if (fade != nullptr) {
            const Vec4 c = loadUnaligned(fade + i);
            storeUnaligned(old + i, w * c);
            w = w * (splat(1.0f) - c);
        }
        storeUnaligned(write + i, w);
    }
    for (; i < n; ++i) {
        const float d = read[i];
        out[i] = d;
        float w = echo(x[i], d);
        if (fade != nullptr) {
            old[i] = w * fade[i];
            w *= 1.0f - fade[i];
        }
        write[i] = w;
    }
}

void advanceHeads(LineHeads& h, std::int32_t n) {
    h.read = advance(h.read, n, h.length);
    h.write = advance(h.write, n, h.length);
    h.oldHead = advance(h.oldHead, n, h.length);
    h.inputPos = advance(h.inputPos, n, h.inputLength);
}

// The block in stretches between the wrap points of all heads.
void echoRuns(LineHeads& h, const Echo& echo, float* out, std::int32_t frames) {
    for (std::int32_t k = 0; k < frames;) {
        std::int32_t n = std::min(
            {frames - k, h.length - h.read, h.length - h.write, h.inputLength - h.inputPos});
        if (h.fade != nullptr) n = std::min(n, h.length - h.oldHead);
        echoRun(h, echo, out + k, h.fade != nullptr ? h.fade + k : nullptr, n);
        advanceHeads(h, n);
        k += n;
    }
}

// Heads one to three entries apart see each other's values within a group of
// four, so there the block keeps its groups of four from its first frame (the
// last partial group member by member), each group read whole before it is
// written, entry by entry with wrap.
void echoGroups(LineHeads& h, const Echo& echo, float* out, std::int32_t frames) {
    for (std::int32_t k = 0; k < frames;) {
        const std::int32_t n = k + 4 <= frames ? 4 : 1;
        float w[4];
        for (std::int32_t j = 0; j < n; ++j) {
            const float d = h.memory[advance(h.read, j, h.length)];
            out[k + j] = d;
            w[j] = echo(h.input[advance(h.inputPos, j, h.inputLength)], d);
        }
        if (h.fade != nullptr)
            for (std::int32_t j = 0; j < n; ++j) {
                h.memory[advance(h.oldHead, j, h.length)] = w[j] * h.fade[k + j];
                w[j] *= 1.0f - h.fade[k + j];
            }
        for (std::int32_t j = 0; j < n; ++j)
            h.memory[advance(h.write, j, h.length)] = w[j];
        advanceHeads(h, n);
        k += n;
    }
}

// True when two heads sit one to three entries apart, in either order where
// both write, ahead of the read head where one reads.
bool headsInterleave(const LineHeads& h) {
    const auto close = [&](std::int32_t from, std::int32_t to) {
        const std::int32_t distance = forwardDistance(from, to, h.length);
        return distance >= 1 && distance < 4;
    };
    if (close(h.read, h.write)) return true;
    if (h.fade == nullptr) return false;
    return close(h.read, h.oldHead) || close(h.write, h.oldHead) || close(h.oldHead, h.write);
}

} // namespace

// ---------------------------------------------------------------- entries

void DelayEngine::process(float** inputs, float** outputs, std::int32_t frames,
                          const HostTransport& host) {
    inPieces(inputs, outputs, frames, [&](float** in, float** out, std::int32_t count) {
        if (canSkipSilence(in, count, host)) {
            skipSilence(out, count);
            return;
        }
        // A quiet block that leaves the filters as it found them shows that
        // silence has become a fixed point: the blocks after it may be skipped.
        const bool watch = echoesDiedAway() && isSilent(in[0], count) && isSilent(in[1], count);
        const FilterHistories before = watch ? filterHistories() : FilterHistories{};
        processBlock(in, out, count, host);
        noteSilence(in, count);
        settled_ = watch && sameBits(before, filterHistories());
    });
}

void DelayEngine::processBlock(float** inputs, float** outputs, std::int32_t frames,
                               const HostTransport& host) {
    if (frames <= 0 || frames > kMaxFrames) return;
    if (!hasVectorUnit.load(std::memory_order_relaxed)) {
        // Without the vector unit the effect only passes the input through.
        for (std::int32_t k = 0; k < frames; ++k) {
            const float left = inputs[0][k], right = inputs[1][k];
            outputs[0][k] = left;
            outputs[1][k] = right;
        }
        for (int c = 2; c < 6; ++c)
            std::memset(outputs[c], 0, sizeof(float) * frames);
        return;
    }

    memorySilent_ = false;
    for (int line = 0; line < kNumLines; ++line)
        running[line] = lineOn[line];
    mixToMono(inputs[0], inputs[1], frames);
    writeDryPath(inputs, outputs, frames);
    for (int c = 2; c < 6; ++c)
        std::memset(outputs[c], 0, sizeof(float) * frames);
    for (int line = 0; line < kNumLines; ++line)
        if (running[line]) processLine(line, frames, host);
    shapeAndMixLines(outputs, frames);
    clearConsumedMemory(frames);
}

// ---------------------------------------------------------------- quiet

bool DelayEngine::echoesDiedAway() const {
    // Every place of a running line's memory is read within one buffer length,
    // and cleared once read: a buffer length and a block of silence read back
    // means the memory holds nothing but silence.
    return changeCount_.load(std::memory_order_relaxed) == quietSince_ &&
           quietFrames_ >= static_cast<std::int64_t>(bufferLength()) + kMaxFrames;
}

void DelayEngine::noteSilence(float** inputs, std::int32_t frames) {
    const std::uint32_t changes = changeCount_.load(std::memory_order_relaxed);
    bool silent =
        changes == quietSince_ && isSilent(inputs[0], frames) && isSilent(inputs[1], frames);
    for (int line = 0; line < kNumLines && silent; ++line)
        silent = !running[line] || isZero(lineOut[line].data(), frames);
    quietSince_ = changes;
    quietFrames_ = silent ? quietFrames_ + frames : 0;
}

DelayEngine::FilterHistories DelayEngine::filterHistories() const {
    FilterHistories histories{};
    std::size_t at = 0;
    for (const AlignedBuffer* history : {&hpInHistory, &hpOutHistory, &lpInHistory, &lpOutHistory})
        for (std::size_t k = 0; k < kHistoryFloats; ++k)
            histories[at++] = history->data()[k];
    return histories;
}

bool DelayEngine::canSkipSilence(float** inputs, std::int32_t frames, const HostTransport& host) {
    if (!isQuiet() || !hasVectorUnit.load(std::memory_order_relaxed) || !prevWritePosReady ||
        !isSilent(inputs[0], frames) || !isSilent(inputs[1], frames))
        return false;
    for (int line = 0; line < kNumLines; ++line) {
        running[line] = lineOn[line];
        if (!running[line]) continue;
        // A host tempo that moves a head, or a fade under way, takes the block routine.
        followHostTempo(line, host);
        if (headMoved[line].load(std::memory_order_relaxed) ||
            prevWritePos[line] != writePos[line] - 1)
            return false;
    }
    return true;
}

void DelayEngine::skipSilence(float** outputs, std::int32_t frames) {
    for (int c = 0; c < 6; ++c)
        std::memset(outputs[c], 0, sizeof(float) * static_cast<std::size_t>(frames));
    const std::int32_t length = bufferLength();
    for (int line = 0; line < kNumLines; ++line) {
        if (!running[line]) continue;
        readPos[line] = advance(readPos[line], frames % length, length);
        writePos[line] = advance(writePos[line], frames % length, length);
        prevWritePos[line] = writePos[line] - 1;
        silentBehindRead[line] = std::min(frames, length);
    }
    quietFrames_ += frames;
}

// ---------------------------------------------------------------- block steps

void DelayEngine::mixToMono(const float* left, const float* right, std::int32_t frames) {
    // The lines are fed only finite values: a bad input sample must not stay
    // in the delay memory and come back for ever.
    float* mono = monoBuffer.data();
    const std::int32_t full = frames & ~3;
    for (std::int32_t k = 0; k < full; k += 4)
        store(mono + k, finiteOrZero(loadUnaligned(left + k) + loadUnaligned(right + k)));
    for (std::int32_t k = full; k < frames; ++k)
        mono[k] = finiteOrZero(left[k] + right[k]);
}

void DelayEngine::writeDryPath(float** inputs, float** outputs, std::int32_t frames) {
    const float gain = volumeThruInput;
    const float* left = inputs[0];
    const float* right = inputs[1];
    float* outLeft = outputs[0];
    float* outRight = outputs[1];
    if (gain == 0.0f) {
        std::memset(outLeft, 0, sizeof(float) * frames);
        std::memset(outRight, 0, sizeof(float) * frames);
        return;
    }
    // Both channels of a group are loaded before either is stored, so hosts
    // that hand the same memory for input and output get the right result.
    const Vec4 g = splat(gain);
    const std::int32_t full = frames & ~3;
    for (std::int32_t k = 0; k < full; k += 4) {
        const Vec4 l = loadUnaligned(left + k);
        const Vec4 r = loadUnaligned(right + k);
        storeUnaligned(outLeft + k, gain == 1.0f ? l : l * g);
        storeUnaligned(outRight + k, gain == 1.0f ? r : r * g);
    }
    for (std::int32_t k = full; k < frames; ++k) {
        const float l = left[k], r = right[k];
        outLeft[k] = gain == 1.0f ? l : l * gain;
        outRight[k] = gain == 1.0f ? r : r * gain;
    }
}

void DelayEngine::processLine(int line, std::int32_t frames, const HostTransport& host) {
    if (!prevWritePosReady) {
        // Where the host's tempo is heard apart from the lines' own Tempo, the
        // first block hears it before anything sounds, as a VST 2 effect takes it
        // when it is made: a reopened session starts at the host's tempo rather
        // than fading to it from the lines' own during its first block.
        if (following == TempoFollowing::InUseOnly)
            for (int l = 0; l < kNumLines; ++l)
                if (running[l]) followHostTempo(l, host);
        for (int l = 0; l < kNumLines; ++l) {
            applyHeadMove(l);
            prevWritePos[l] = writePos[l] - 1;
        }
        prevWritePosReady = true;
    }
    followHostTempo(line, host);
    applyHeadMove(line);

    const std::int32_t length = bufferLength();
    LineHeads heads{delayBuffer[line].data(), length, readPos[line], writePos[line], 0,
                    monoBuffer.data(),        0,      frames,        nullptr};
    const std::int32_t source = inputSource[line];
    if (source >= 1 && source <= 3) {
        // Exactly the span the source line read during this block, before its
        // saturation and filters.
        heads.input = delayBuffer[source - 1].data();
        heads.inputPos = wrapIndex(static_cast<std::int64_t>(readPos[source - 1]) - frames, length);
        heads.inputLength = length;
    }
    if (prevWritePos[line] != writePos[line] - 1) {
        prevWritePos[line] += 1;
        heads.oldHead = wrapIndex(prevWritePos[line], length);
        heads.fade = fillFadeGains(frames);
    }

    float* out = lineOut[line].data();
    const Echo echo{feedback[line], delayType[line] == 2};
    if (headsInterleave(heads))
        echoGroups(heads, echo, out, frames);
    else
        echoRuns(heads, echo, out, frames);
    // The saturation stage works on whole groups; what lies past the block in
    // the last one is silence, not an old value it would shape again and again.
    std::fill(out + frames, out + ((frames + 3) & ~3), 0.0f);
    readPos[line] = heads.read;
    writePos[line] = heads.write;
    prevWritePos[line] = writePos[line] - 1;
}

const float* DelayEngine::fillFadeGains(std::int32_t frames) {
    // One gain per group of four, taken at the group's last frame; the last
    // partial group's members each take their own.
    float* gains = fadeGain.data();
    const std::int32_t full = frames & ~3;
    for (std::int32_t k = 0; k < frames; ++k)
        gains[k] = fadeTable[fadeLength * (k < full ? (k | 3) : k) / frames];
    return gains;
}

void DelayEngine::clearConsumedMemory(std::int32_t frames) {
    // Memory a line has read is silent afterwards, so a head that moves never
    // finds stale echoes between its old and new place.
    const std::int32_t length = bufferLength();
    const std::int32_t count = std::min(frames, length);
    for (int line = 0; line < kNumLines; ++line) {
        // A line that is off has frozen heads and memory nothing writes to:
        // what it cleared before is silent still.
        if (running[line]) silentBehindRead[line] = 0;
        if (count <= silentBehindRead[line]) continue;
        silentBehindRead[line] = count;
        float* memory = delayBuffer[line].data();
        const std::int32_t start =
            wrapIndex(static_cast<std::int64_t>(readPos[line]) - count, length);
        const std::int32_t firstPart = std::min(count, length - start);
        std::memset(memory + start, 0, sizeof(float) * firstPart);
        std::memset(memory, 0, sizeof(float) * (count - firstPart));
    }
}

} // namespace tesk
