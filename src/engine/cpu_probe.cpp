#include "cpu_probe.h"

#include "fault_guard.h"

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#define TESK_PROBE_X86 1
#elif !defined(__aarch64__)
#error "the processor probe knows x86 and aarch64"
#endif

#include <cstring>

namespace tesk {

std::atomic<bool> hasVectorUnit{false};

namespace {

#if TESK_PROBE_X86
constexpr std::int32_t kVectorFeature = kCpuSse;

// One instruction of each feature; a processor (or system) without it faults.
void runMmx() {
    __asm__ volatile("pxor %%mm0, %%mm0\n\temms" ::: "mm0");
}
void runSse() {
    __asm__ volatile("xorps %%xmm0, %%xmm0" ::: "xmm0");
}
void runSse2() {
    __asm__ volatile("xorpd %%xmm0, %%xmm0" ::: "xmm0");
}
void run3DNow() {
    __asm__ volatile("pfrcp %%mm0, %%mm0\n\temms" ::: "mm0");
}

struct Registers {
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
};

Registers leaf(unsigned number) {
    Registers r;
    __cpuid(number, r.eax, r.ebx, r.ecx, r.edx);
    return r;
}

// The name is informational only: nothing in the plug-in reads it.
const char* processorName(const char* vendor, int family, int model) {
    if (std::strcmp(vendor, "GenuineIntel") == 0) {
        if (family == 4) return "INTEL 486DX2";
        if (family == 5) return "INTEL Pentium";
        if (family == 6) return model < 7 ? "INTEL Pentium-II" : "INTEL Pentium-III";
        if (family >= 15) return "INTEL Pentium-4";
        return "INTEL";
    }
    if (std::strcmp(vendor, "AuthenticAMD") == 0) {
        if (family == 5) return model == 8 ? "AMD K6-2" : (model == 9 ? "AMD K6-III" : "AMD K6");
        if (family >= 6) return "AMD ATHLON";
        return "AMD";
    }
    if (std::strcmp(vendor, "CyrixInstead") == 0) return "CYRIX";
    if (std::strcmp(vendor, "CentaurHauls") == 0) return "CENTAUR";
    return "Unknown";
}

#if defined(__x86_64__) && !defined(_WIN32)
#define TESK_PROBE_WIDE 1
void runAvx() {
    __asm__ volatile("vxorps %%ymm0, %%ymm0, %%ymm0" ::: "xmm0");
}

// The register state the system saves on a task switch (XCR0): bit 1 the
// 16-byte registers, bit 2 the upper halves of the 32-byte ones.
bool systemSavesWideRegisters() {
    unsigned low = 0, high = 0;
    __asm__ volatile("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (low & 6u) == 6u;
}
#endif

#else
constexpr std::int32_t kVectorFeature = kCpuNeon;

// NEON is part of aarch64 (the system's calling convention passes floats in
// its registers); its instruction still runs under the guard, as every
// feature's does, so that the answer comes from the processor.
void runNeon() {
    __asm__ volatile("movi v0.16b, #0" ::: "v0");
}
#endif

} // namespace

#if TESK_PROBE_X86

std::int32_t probeCpu(CpuInfo* info) {
    if (__get_cpuid_max(0, nullptr) == 0) return 0;

    Registers leaf0 = leaf(0);
    char vendor[13] = {};
    std::memcpy(vendor, &leaf0.ebx, 4);
    std::memcpy(vendor + 4, &leaf0.edx, 4);
    std::memcpy(vendor + 8, &leaf0.ecx, 4);

    Registers leaf1 = leaf0.eax >= 1 ? leaf(1) : Registers{};
    unsigned extendedEdx = 0;
    if (leaf(0x80000000u).eax >= 0x80000001u) extendedEdx = leaf(0x80000001u).edx;

    struct Test {
        std::int32_t bit;
        bool reported;
        void (*run)();
    };
    const Test tests[] = {{kCpuMmx, (leaf1.edx & (1u << 23)) != 0, runMmx},
                          {kCpu3DNow, (extendedEdx & (1u << 31)) != 0, run3DNow},
                          {kCpuSse, (leaf1.edx & (1u << 25)) != 0, runSse},
                          {kCpuSse2, (leaf1.edx & (1u << 26)) != 0, runSse2}};
    std::int32_t reported = 0;
    std::int32_t usable = 0;
    for (const Test& test : tests) {
        if (!test.reported) continue;
        reported |= test.bit;
        if (runFaultGuarded(test.run)) usable |= test.bit;
    }

    if (info != nullptr) {
        std::memset(info, 0, sizeof *info);
        int family = static_cast<int>((leaf1.eax >> 8) & 0xF);
        if (family == 15) family += static_cast<int>((leaf1.eax >> 20) & 0xFF);
        info->family = family;
        info->model = static_cast<int>((leaf1.eax >> 4) & 0xF);
        info->stepping = static_cast<int>(leaf1.eax & 0xF);
        info->reportedFeatures = reported;
        info->usableFeatures = usable;
        info->lastWord = 15;
        std::memcpy(info->vendor, vendor, sizeof vendor);
        std::strncpy(info->name, processorName(vendor, family, info->model), sizeof info->name - 1);
    }
    return reported;
}
#else
std::int32_t probeCpu(CpuInfo* info) {
    const std::int32_t usable = runFaultGuarded(runNeon) ? kCpuNeon : 0;
    if (info != nullptr) {
        std::memset(info, 0, sizeof *info);
        std::strcpy(info->vendor, "ARM");
        std::strcpy(info->name, "ARM aarch64");
        info->reportedFeatures = kCpuNeon;
        info->usableFeatures = usable;
        info->lastWord = 15;
    }
    return kCpuNeon;
}
#endif

bool detectVectorUnit() {
    // The answer cannot change while the process runs, and asking installs a
    // process-wide signal handler for a moment: ask once. (A static made once
    // rather than std::call_once, whose thread-local state would tie the module
    // to the dynamic loader.)
    static const bool present = [] {
        CpuInfo info{};
        probeCpu(&info);
        return (info.usableFeatures & kVectorFeature) != 0 &&
               (info.reportedFeatures & kVectorFeature) != 0;
    }();
    return present;
}

bool detectWideVectorUnit() {
#if TESK_PROBE_WIDE
    static const bool present = [] {
        if (__get_cpuid_max(0, nullptr) < 1) return false;
        const unsigned ecx = leaf(1).ecx;
        const bool avx = (ecx & (1u << 28)) != 0;
        const bool osSaves = (ecx & (1u << 27)) != 0; // XGETBV may be asked
        return avx && osSaves && systemSavesWideRegisters() && runFaultGuarded(runAvx);
    }();
    return present;
#else
    return false;
#endif
}

} // namespace tesk
