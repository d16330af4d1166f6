// Four floats in one vector register: the engine's vector arithmetic, written
// once over SSE (x86, both widths) and NEON (aarch64). Each operation gives
// the same bits on both: plain IEEE single-precision lanes, min and max
// answering as SSE's do when an operand is NaN, and no fused multiply-add
// (every target is built with -ffp-contract=off, so a product is rounded
// before it is added).
#pragma once

#if defined(__SSE2__) || defined(_M_X64)
#include <xmmintrin.h>
#define TESK_VEC4_SSE 1
#elif defined(__aarch64__)
#include <arm_neon.h>
#define TESK_VEC4_NEON 1
#else
#error "the engine's vectors need SSE2 or aarch64's NEON"
#endif

namespace tesk {

#if TESK_VEC4_SSE
using Vec4Native = __m128;
#else
using Vec4Native = float32x4_t;
#endif

/// Four single-precision lanes; lane 0 is the lowest address in memory.
struct Vec4 {
    Vec4Native v;
};

#if TESK_VEC4_SSE

/// Four floats from 16-byte aligned memory.
inline Vec4 load(const float* p) {
    return {_mm_load_ps(p)};
}
/// Four floats from memory of any alignment.
inline Vec4 loadUnaligned(const float* p) {
    return {_mm_loadu_ps(p)};
}
/// Stores four floats to 16-byte aligned memory.
inline void store(float* p, Vec4 a) {
    _mm_store_ps(p, a.v);
}
/// Stores four floats to memory of any alignment.
inline void storeUnaligned(float* p, Vec4 a) {
    _mm_storeu_ps(p, a.v);
}
/// `x` in every lane.
inline Vec4 splat(float x) {
    return {_mm_set1_ps(x)};
}
/// The lanes in memory order: `a` in lane 0.
inline Vec4 lanes(float a, float b, float c, float d) {
    return {_mm_setr_ps(a, b, c, d)};
}
/// Lane 0.
inline float firstLane(Vec4 a) {
    return _mm_cvtss_f32(a.v);
}
/// Lane-wise sum, difference and product, each rounded once.
inline Vec4 operator+(Vec4 a, Vec4 b) {
    return {_mm_add_ps(a.v, b.v)};
}
inline Vec4 operator-(Vec4 a, Vec4 b) {
    return {_mm_sub_ps(a.v, b.v)};
}
inline Vec4 operator*(Vec4 a, Vec4 b) {
    return {_mm_mul_ps(a.v, b.v)};
}
/// a < b ? a : b per lane: `b` where either is NaN, as SSE's minimum answers.
inline Vec4 min(Vec4 a, Vec4 b) {
    return {_mm_min_ps(a.v, b.v)};
}
/// a > b ? a : b per lane: `b` where either is NaN, as SSE's maximum answers.
inline Vec4 max(Vec4 a, Vec4 b) {
    return {_mm_max_ps(a.v, b.v)};
}
/// All bits set in the lanes where a == b (never for NaN), clear elsewhere.
inline Vec4 equalMask(Vec4 a, Vec4 b) {
    return {_mm_cmpeq_ps(a.v, b.v)};
}
/// All bits set in the lanes where a != b (always for NaN), clear elsewhere.
inline Vec4 notEqualMask(Vec4 a, Vec4 b) {
    return {_mm_cmpneq_ps(a.v, b.v)};
}
/// Bitwise a & b, a | b, and ~mask & b.
inline Vec4 operator&(Vec4 a, Vec4 b) {
    return {_mm_and_ps(a.v, b.v)};
}
inline Vec4 operator|(Vec4 a, Vec4 b) {
    return {_mm_or_ps(a.v, b.v)};
}
inline Vec4 andNot(Vec4 mask, Vec4 b) {
    return {_mm_andnot_ps(mask.v, b.v)};
}
/// Rows become columns: lane j of `r[i]` moves to lane i of `r[j]`.
inline void transpose(Vec4& r0, Vec4& r1, Vec4& r2, Vec4& r3) {
    _MM_TRANSPOSE4_PS(r0.v, r1.v, r2.v, r3.v);
}

#else

inline Vec4 load(const float* p) {
    return {vld1q_f32(p)};
}
inline Vec4 loadUnaligned(const float* p) {
    return {vld1q_f32(p)};
}
inline void store(float* p, Vec4 a) {
    vst1q_f32(p, a.v);
}
inline void storeUnaligned(float* p, Vec4 a) {
    vst1q_f32(p, a.v);
}
inline Vec4 splat(float x) {
    return {vdupq_n_f32(x)};
}
inline Vec4 lanes(float a, float b, float c, float d) {
    const float values[4] = {a, b, c, d};
    return {vld1q_f32(values)};
}
inline float firstLane(Vec4 a) {
    return vgetq_lane_f32(a.v, 0);
}
inline Vec4 operator+(Vec4 a, Vec4 b) {
    return {vaddq_f32(a.v, b.v)};
}
inline Vec4 operator-(Vec4 a, Vec4 b) {
    return {vsubq_f32(a.v, b.v)};
}
inline Vec4 operator*(Vec4 a, Vec4 b) {
    return {vmulq_f32(a.v, b.v)};
}
// NEON's own minimum and maximum answer NaN for a NaN operand; SSE's answer
// the second operand. A compare and a pick give SSE's answer, signed zeros
// included.
inline Vec4 min(Vec4 a, Vec4 b) {
    return {vbslq_f32(vcltq_f32(a.v, b.v), a.v, b.v)};
}
inline Vec4 max(Vec4 a, Vec4 b) {
    return {vbslq_f32(vcgtq_f32(a.v, b.v), a.v, b.v)};
}
inline Vec4 equalMask(Vec4 a, Vec4 b) {
    return {vreinterpretq_f32_u32(vceqq_f32(a.v, b.v))};
}
inline Vec4 notEqualMask(Vec4 a, Vec4 b) {
    return {vreinterpretq_f32_u32(vmvnq_u32(vceqq_f32(a.v, b.v)))};
}
inline Vec4 operator&(Vec4 a, Vec4 b) {
    return {
        vreinterpretq_f32_u32(vandq_u32(vreinterpretq_u32_f32(a.v), vreinterpretq_u32_f32(b.v)))};
}
inline Vec4 operator|(Vec4 a, Vec4 b) {
    return {
        vreinterpretq_f32_u32(vorrq_u32(vreinterpretq_u32_f32(a.v), vreinterpretq_u32_f32(b.v)))};
}
inline Vec4 andNot(Vec4 mask, Vec4 b) {
    return {vreinterpretq_f32_u32(
        vbicq_u32(vreinterpretq_u32_f32(b.v), vreinterpretq_u32_f32(mask.v)))};
}
inline void transpose(Vec4& r0, Vec4& r1, Vec4& r2, Vec4& r3) {
    const float32x4x2_t low = vtrnq_f32(r0.v, r1.v);  // r0[0] r1[0] r0[2] r1[2] | r0[1] r1[1] ...
    const float32x4x2_t high = vtrnq_f32(r2.v, r3.v); // the same of r2 and r3
    r0.v = vcombine_f32(vget_low_f32(low.val[0]), vget_low_f32(high.val[0]));
    r1.v = vcombine_f32(vget_low_f32(low.val[1]), vget_low_f32(high.val[1]));
    r2.v = vcombine_f32(vget_high_f32(low.val[0]), vget_high_f32(high.val[0]));
    r3.v = vcombine_f32(vget_high_f32(low.val[1]), vget_high_f32(high.val[1]));
}

#endif

/// Keeps `a` in the lanes of `mask`, `b` elsewhere (bit for bit).
inline Vec4 select(Vec4 mask, Vec4 a, Vec4 b) {
    return (mask & a) | andNot(mask, b);
}

} // namespace tesk
