// The buffers the engine benchmarks hand a block: a stereo signal in, six outputs.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tesk::bench {

/// Two input channels of a quiet two-tone signal and six output channels, each
/// `frames` long, with the pointer arrays a block routine takes.
struct Buffers {
    std::vector<float> in[2], out[6];
    float* inputs[2];
    float* outputs[6];
    explicit Buffers(std::int32_t frames) {
        for (int c = 0; c < 2; ++c) {
            in[c].resize(static_cast<std::size_t>(frames));
            for (std::int32_t k = 0; k < frames; ++k)
                in[c][static_cast<std::size_t>(k)] = 0.5f * std::sin(0.01f * k + c);
            inputs[c] = in[c].data();
        }
        for (int c = 0; c < 6; ++c) {
            out[c].resize(static_cast<std::size_t>(frames));
            outputs[c] = out[c].data();
        }
    }
};

} // namespace tesk::bench
