#include "precise_math.h"

#include <cmath>
#include <limits>

namespace tesk {

namespace {

// a + b = s + error exactly (Knuth's two-sum; any magnitudes).
Precise twoSum(double a, double b) {
    const double s = a + b;
    const double bb = s - a;
    return {s, (a - (s - bb)) + (b - bb)};
}

// a + b = s + error exactly, for |a| >= |b|.
Precise quickTwoSum(double a, double b) {
    const double s = a + b;
    return {s, b - (s - a)};
}

// a × b = p + error exactly (Dekker's product: no fused multiply-add, which
// 32-bit x86 lacks and which the build keeps the compiler from making).
Precise twoProduct(double a, double b) {
    const auto split = [](double x) {
        const double c = 134217729.0 * x; // 2^27 + 1
        const double high = c - (c - x);
        return Precise{high, x - high};
    };
    const double p = a * b;
    const Precise x = split(a);
    const Precise y = split(b);
    return {p, ((x.hi * y.hi - p) + x.hi * y.lo + x.lo * y.hi) + x.lo * y.lo};
}

Precise times(Precise a, double b) {
    Precise p = twoProduct(a.hi, b);
    p.lo += a.lo * b;
    return quickTwoSum(p.hi, p.lo);
}

Precise half(Precise a) {
    return {a.hi * 0.5, a.lo * 0.5};
}

// sin and cos of a small angle (|x| <= 0.25) from their Taylor series, to
// beyond 2^-106.
SineCosine smallSineCosine(Precise x) {
    const Precise x2 = x * x;
    Precise sine = x;
    Precise cosine = 1.0;
    Precise odd = x;    // (-1)^n x^(2n+1) / (2n+1)!
    Precise even = 1.0; // (-1)^n x^(2n) / (2n)!
    for (int n = 1; n <= 12; ++n) {
        even = even * x2 / static_cast<double>(-(2 * n - 1) * (2 * n));
        odd = odd * x2 / static_cast<double>(-(2 * n) * (2 * n + 1));
        cosine = cosine + even;
        sine = sine + odd;
    }
    return {sine, cosine};
}

} // namespace

Precise operator+(Precise a, Precise b) {
    Precise s = twoSum(a.hi, b.hi);
    const Precise t = twoSum(a.lo, b.lo);
    s.lo += t.hi;
    s = quickTwoSum(s.hi, s.lo);
    s.lo += t.lo;
    return quickTwoSum(s.hi, s.lo);
}

Precise operator-(Precise a, Precise b) {
    return a + Precise{-b.hi, -b.lo};
}

Precise operator*(Precise a, Precise b) {
    Precise p = twoProduct(a.hi, b.hi);
    p.lo += a.hi * b.lo + a.lo * b.hi;
    return quickTwoSum(p.hi, p.lo);
}

Precise operator/(Precise a, Precise b) {
    const double q1 = a.hi / b.hi;
    Precise r = a - times(b, q1);
    const double q2 = r.hi / b.hi;
    r = r - times(b, q2);
    const double q3 = r.hi / b.hi;
    return quickTwoSum(q1, q2) + q3;
}

SineCosine sineCosine(Precise x) {
    // Four halvings bring 4 below 0.25; four doublings bring the angle back.
    SineCosine result = smallSineCosine(half(half(half(half(x)))));
    for (int i = 0; i < 4; ++i) {
        const Precise& s = result.sine;
        const Precise& c = result.cosine;
        result = {times(s * c, 2.0), (c - s) * (c + s)};
    }
    return result;
}

float roundToFloat(Precise x) {
    const float nearest = static_cast<float>(x.hi);
    // hi rounds to the float nearest hi + lo unless hi lies exactly halfway
    // between two floats, where the sign of lo decides.
    const double gap = x.hi - static_cast<double>(nearest);
    if (gap == 0.0 || x.lo == 0.0) return nearest;
    const float away = std::numeric_limits<float>::infinity();
    const float other = std::nextafter(nearest, gap > 0.0 ? away : -away);
    const double otherGap = static_cast<double>(other) - x.hi;
    const bool halfway = otherGap == gap;
    const bool towardOther = (x.lo > 0.0) == (gap > 0.0);
    return halfway && towardOther ? other : nearest;
}

} // namespace tesk
