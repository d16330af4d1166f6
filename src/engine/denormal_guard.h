// Flushes denormals to zero while a block runs and gives the host back its own
// floating-point modes afterwards. Decaying feedback and filter tails would
// otherwise spend long stretches in denormal arithmetic, which stalls the
// processor many times over and makes hosts drop out. This is the one change
// of the processor's modes the engine makes, on every architecture: SSE's
// flush-to-zero and denormals-are-zero bits, or aarch64's FZ bit, which does
// both for single and double precision alike.
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#elif !defined(__aarch64__)
#error "the denormal guard knows SSE's and aarch64's floating-point modes"
#endif

#include <cstdint>

namespace tesk {

class DenormalGuard {
  public:
    /// Flushes denormals on this thread (the one that processes) until the guard goes.
    DenormalGuard() : saved_(read()) {
        if ((saved_ & kFlush) != kFlush) write(saved_ | kFlush);
    }
    ~DenormalGuard() {
        if ((saved_ & kFlush) != kFlush) write(saved_);
    }
    DenormalGuard(const DenormalGuard&) = delete;
    DenormalGuard& operator=(const DenormalGuard&) = delete;

  private:
#if defined(__aarch64__)
    using Modes = std::uint64_t;
    static constexpr Modes kFlush = Modes{1} << 24; // FPCR.FZ
    static Modes read() {
        Modes modes;
        __asm__ volatile("mrs %0, fpcr" : "=r"(modes) : : "memory");
        return modes;
    }
    static void write(Modes modes) {
        __asm__ volatile("msr fpcr, %0" : : "r"(modes) : "memory");
    }
#else
    using Modes = unsigned;
    static constexpr Modes kFlush = 0x8000 | 0x0040; // MXCSR's FTZ and DAZ
    static Modes read() {
        return _mm_getcsr();
    }
    static void write(Modes modes) {
        _mm_setcsr(modes);
    }
#endif
    Modes saved_;
};

} // namespace tesk
