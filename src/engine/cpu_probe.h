// What the processor offers: the 4-wide float vector unit the processing
// needs (SSE on x86, NEON on aarch64), found by asking the processor and by
// running one instruction.
#pragma once

#include <atomic>
#include <cstdint>

namespace tesk {

enum CpuFeature : std::int32_t {
    kCpuMmx = 1,
    kCpuSse = 2,
    kCpuSse2 = 4,
    kCpu3DNow = 8,
    kCpuNeon = 16, ///< aarch64's vector unit, the one feature its probe reports
};

/// What `probeCpu` learns of the processor.
struct CpuInfo {
    char vendor[13];
    char name[32];
    std::int32_t family;
    std::int32_t model;
    std::int32_t stepping;
    std::int32_t reportedFeatures;
    std::int32_t usableFeatures;
    std::int32_t lastWord; ///< always 15
};

/// The features the processor reports (0 when it cannot be asked), filling
/// `info` when given. Each reported feature also runs one of its instructions
/// under a fault guard, which decides whether it is usable. On aarch64 the
/// answer is NEON, which the architecture always has.
std::int32_t probeCpu(CpuInfo* info = nullptr);

/// Whether the processor's 4-wide float unit may be used. Set by every
/// construction of a `DelayEngine`, and by an editor made apart from one.
extern std::atomic<bool> hasVectorUnit;

/// True when the processor both reports the vector unit and runs its instructions.
/// Asks once per process; later calls give the same answer.
bool detectVectorUnit();

/// True when the processing may also use the 8-wide float unit (AVX): the
/// processor reports it, the system saves its registers across task switches,
/// and one of its instructions runs. Asks once per process. Always false on
/// Windows, whose GCC cannot align the stack for 32-byte spills, and off x86-64.
bool detectWideVectorUnit();

} // namespace tesk
