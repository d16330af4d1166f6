// Flushes denormals to zero while a block runs and gives the host back its own
// floating-point modes afterwards. Decaying feedback and filter tails would
// otherwise spend long stretches in denormal arithmetic, which stalls the
// processor many times over, and a host handed denormals pays the same.
#pragma once

#include <xmmintrin.h>

namespace tesk {

class DenormalGuard {
  public:
    /// Turns flush-to-zero and denormals-are-zero on for this thread (the thread that processes).
    DenormalGuard() : saved_(_mm_getcsr()) {
        _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
    }
    ~DenormalGuard() { _mm_setcsr(saved_); }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

  private:
    static constexpr unsigned kFlushToZero = 0x8000;
    static constexpr unsigned kDenormalsAreZero = 0x0040;
    unsigned saved_;
};

} // namespace tesk
