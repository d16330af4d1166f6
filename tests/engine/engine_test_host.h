// What the engine's tests share: hosts that answer little or a tempo the test sets,
// and a random sequence that is the same on every processor.
#pragma once

#include "delay_effect.h"

#include <cstdint>

namespace tesk::enginetest {

/// A host that answers its version and nothing else.
inline VstIntPtr VSTCALL silentHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*,
                                    float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

/// The tempo tempoHost reports; a test changes it between blocks.
inline double hostTempo = 120.0;

/// A host that answers its version and a transport at hostTempo, and nothing else.
inline VstIntPtr VSTCALL tempoHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*,
                                   float) {
    static VstTimeInfo time{};
    time.tempo = hostTempo;
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetTime) return reinterpret_cast<VstIntPtr>(&time);
    return 0;
}

/// Xorshift: integers only, then one exact scaling, so every processor draws alike.
class Random {
  public:
    explicit Random(std::uint32_t seed) : state_(seed) {}

    std::uint32_t next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 17;
        state_ ^= state_ << 5;
        return state_;
    }
    /// A value in [0, 1).
    float unit() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }
    /// True `inThousand` times in a thousand.
    bool chance(std::uint32_t inThousand) { return next() % 1000 < inThousand; }
    /// A whole number below `n`.
    std::uint32_t below(std::uint32_t n) { return next() % n; }

  private:
    std::uint32_t state_;
};

} // namespace tesk::enginetest
