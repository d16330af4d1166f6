// Block processing: the mono feed, the dry path, the four delay lines with
// their cross-fading write heads, and the mix onto the output pairs.
#include "denormal_guard.h"
#include "reference_engine.h"
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
    const Vec4 finite = equalMask(x - x, splat(0.0f));
    return x & finite;
}

float finiteOrZero(float x) { return x - x == 0.0f ? x : 0.0f; }

Vec4 limitForMemory(Vec4 w) {
    return min(max(w, splat(-kMemoryLimit)), splat(kMemoryLimit));
}

float limitForMemory(float w) { return std::min(std::max(w, -kMemoryLimit), kMemoryLimit); }

// Writes four consecutive entries at `pos` in a circular buffer and advances it.
void writeGroup(float* buffer, std::int32_t& pos, std::int32_t length, Vec4 values) {
    if (pos + 4 <= length) {
        storeUnaligned(buffer + pos, values);
        pos += 4;
        if (pos == length) pos = 0;
        return;
    }
    alignas(16) float lanes[4];
    store(lanes, values);
    for (float value : lanes) {
        buffer[pos] = value;
        if (++pos == length) pos = 0;
    }
}

void writeOne(float* buffer, std::int32_t& pos, std::int32_t length, float value) {
    buffer[pos] = value;
    if (++pos == length) pos = 0;
}

// A circular (or, for the mono feed, straight) source the line reads sample by sample.
struct LineInput {
    const float* data;
    std::int32_t pos;
    std::int32_t length;

    float next() {
        float value = data[pos];
        if (++pos == length) pos = 0;
        return value;
    }
};

} // namespace

// ---------------------------------------------------------------- entries

void ReferenceEngine::process(float** inputs, float** outputs, std::int32_t frames) {
    processReplacing(inputs, outputs, frames);
}

void ReferenceEngine::processReplacing(float** inputs, float** outputs, std::int32_t frames) {
    if (frames <= 0 || inputs == nullptr || outputs == nullptr) return;
    for (int c = 0; c < 2; ++c)
        if (inputs[c] == nullptr) return;
    for (int c = 0; c < 6; ++c)
        if (outputs[c] == nullptr) return;

    DenormalGuard denormalGuard;
    // Our block buffers hold kMaxFrames; a longer host block runs in pieces.
    for (std::int32_t done = 0; done < frames;) {
        const std::int32_t count = std::min(kMaxFrames, frames - done);
        float* in[2] = {inputs[0] + done, inputs[1] + done};
        float* out[6];
        for (int c = 0; c < 6; ++c) out[c] = outputs[c] + done;
        processBlock(in, out, count);
        done += count;
    }
}

void ReferenceEngine::processBlock(float** inputs, float** outputs, std::int32_t frames) {
    if (frames <= 0 || frames > kMaxFrames) return;
    if (!hasVectorUnit.load(std::memory_order_relaxed)) {
        // Without the vector unit the effect only passes the input through.
        for (std::int32_t k = 0; k < frames; ++k) {
            const float left = inputs[0][k], right = inputs[1][k];
            outputs[0][k] = left;
            outputs[1][k] = right;
        }
        for (int c = 2; c < 6; ++c) std::memset(outputs[c], 0, sizeof(float) * frames);
        return;
    }

    memorySilent = false; // the engine's own bookkeeping, which clearing relies on
    for (int line = 0; line < kNumLines; ++line) running[line] = lineOn[line];
    mixToMono(inputs[0], inputs[1], frames);
    writeDryPath(inputs, outputs, frames);
    for (int c = 2; c < 6; ++c) std::memset(outputs[c], 0, sizeof(float) * frames);
    for (int line = 0; line < kNumLines; ++line)
        if (running[line]) processLine(line, frames);
    filterLines(frames);
    mixLines(outputs, frames);
    clearConsumedMemory(frames);
}

// ---------------------------------------------------------------- block steps

void ReferenceEngine::mixToMono(const float* left, const float* right, std::int32_t frames) {
    // The lines are fed only finite values: a bad input sample must not stay
    // in the delay memory and come back for ever.
    float* mono = monoBuffer.data();
    const std::int32_t full = frames & ~3;
    for (std::int32_t k = 0; k < full; k += 4)
        store(mono + k, finiteOrZero(loadUnaligned(left + k) + loadUnaligned(right + k)));
    for (std::int32_t k = full; k < frames; ++k) mono[k] = finiteOrZero(left[k] + right[k]);
}

void ReferenceEngine::writeDryPath(float** inputs, float** outputs, std::int32_t frames) {
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

void ReferenceEngine::processLine(int line, std::int32_t frames) {
    if (!prevWritePosReady) {
        for (int l = 0; l < kNumLines; ++l) {
            applyHeadMove(l);
            prevWritePos[l] = writePos[l] - 1;
        }
        prevWritePosReady = true;
    }
    followHostTempo(line);
    applyHeadMove(line);

    const std::int32_t length = bufferLength();
    float* memory = delayBuffer[line].data();
    float* out = lineOut[line].data();

    LineInput input{monoBuffer.data(), 0, frames};
    const std::int32_t source = inputSource[line];
    if (source >= 1 && source <= 3) {
        // Exactly the span the source line read during this block, before its
        // saturation and filters.
        input = {delayBuffer[source - 1].data(),
                 wrapIndex(static_cast<std::int64_t>(readPos[source - 1]) - frames, length), length};
    }

    const bool fading = prevWritePos[line] != writePos[line] - 1;
    std::int32_t oldHead = 0;
    if (fading) {
        prevWritePos[line] += 1;
        oldHead = wrapIndex(prevWritePos[line], length);
    }

    const float fb = feedback[line];
    const bool recirculating = delayType[line] == 2;
    const Vec4 vfb = splat(fb);
    const Vec4 one = splat(1.0f);
    std::int32_t rp = readPos[line];
    std::int32_t wp = writePos[line];
    alignas(16) float delayed[4];
    alignas(16) float incoming[4];

    const std::int32_t full = frames & ~3;
    for (std::int32_t k = 0; k < full; k += 4) {
        for (int j = 0; j < 4; ++j) {
            delayed[j] = memory[rp];
            if (++rp == length) rp = 0;
            incoming[j] = input.next();
        }
        const Vec4 d = load(delayed);
        const Vec4 x = load(incoming);
        store(out + k, d);
        Vec4 w = limitForMemory(vfb * (recirculating ? x + d : x));
        if (fading) {
            const Vec4 c = splat(fadeTable[fadeLength * (k + 3) / frames]);
            writeGroup(memory, oldHead, length, w * c);
            w = w * (one - c);
        }
        writeGroup(memory, wp, length, w);
    }
    for (std::int32_t k = full; k < frames; ++k) {
        const float d = memory[rp];
        if (++rp == length) rp = 0;
        const float x = input.next();
        out[k] = d;
        float w = limitForMemory(fb * (recirculating ? x + d : x));
        if (fading) {
            const float c = fadeTable[fadeLength * k / frames];
            writeOne(memory, oldHead, length, w * c);
            w *= 1.0f - c;
        }
        writeOne(memory, wp, length, w);
    }
    // The saturation stage works on whole groups; what lies past the block in
    // the last one is silence, not an old value it would shape again and again.
    std::fill(out + frames, out + ((frames + 3) & ~3), 0.0f);
    readPos[line] = rp;
    writePos[line] = wp;

    saturateLine(line, frames);
    prevWritePos[line] = writePos[line] - 1;
}

void ReferenceEngine::mixLines(float** outputs, std::int32_t frames) {
    const std::int32_t full = frames & ~3;
    for (int line = 0; line < kNumLines; ++line) {
        if (!running[line]) continue;
        const float v = volume[line];
        const float p = pan[line];
        const float g = (2.0f * v) * (2.0f * v);
        const float gainLeft = g * (1.0f - p);
        const float gainRight = g * p;
        const std::int32_t pair = std::clamp<std::int32_t>(outputPair[line], 0, 2);
        float* outLeft = outputs[2 * pair];
        float* outRight = outputs[2 * pair + 1];
        const float* wet = lineOut[line].data();
        const Vec4 gl = splat(gainLeft);
        const Vec4 gr = splat(gainRight);
        for (std::int32_t k = 0; k < full; k += 4) {
            const Vec4 s = load(wet + k);
            storeUnaligned(outLeft + k, loadUnaligned(outLeft + k) + s * gl);
            storeUnaligned(outRight + k, loadUnaligned(outRight + k) + s * gr);
        }
        for (std::int32_t k = full; k < frames; ++k) {
            outLeft[k] += wet[k] * gainLeft;
            outRight[k] += wet[k] * gainRight;
        }
    }
}

void ReferenceEngine::clearConsumedMemory(std::int32_t frames) {
    // Memory a line has read is silent afterwards, so a head that moves never
    // finds stale echoes between its old and new place.
    const std::int32_t length = bufferLength();
    const std::int32_t count = std::min(frames, length);
    for (int line = 0; line < kNumLines; ++line) {
        float* memory = delayBuffer[line].data();
        const std::int32_t start = wrapIndex(static_cast<std::int64_t>(readPos[line]) - count, length);
        const std::int32_t firstPart = std::min(count, length - start);
        std::memset(memory + start, 0, sizeof(float) * firstPart);
        std::memset(memory, 0, sizeof(float) * (count - firstPart));
    }
}

} // namespace tesk
