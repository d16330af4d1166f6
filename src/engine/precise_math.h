// Arithmetic to about 106 bits in pairs of doubles, with our own sine, cosine
// and tangent, for the numbers that become the engine's float constants:
// filter coefficients, saturation gains and the fade table. Plain IEEE double
// operations only, so every processor and every C library gives the same
// bits, and nothing here calls a software floating-point routine. Rounded to
// float, the results are those of the exact formulas: the same floats that
// x86's 80-bit long double gave before, and no quad-precision library calls
// where long double is 128 bits wide (aarch64).
#pragma once

#include <cstdint>

namespace tesk {

/// The unevaluated sum hi + lo, |lo| at most half an ulp of hi.
struct Precise {
    double hi = 0.0;
    double lo = 0.0;

    Precise() = default;
    /// Exactly `x`.
    Precise(double x) : hi(x) {} // implicit: doubles mix into the formulas as they are
    Precise(double high, double low) : hi(high), lo(low) {}
};

/// Sum, difference, product and quotient, each good to about 2^-104 relative.
Precise operator+(Precise a, Precise b);
Precise operator-(Precise a, Precise b);
Precise operator*(Precise a, Precise b);
Precise operator/(Precise a, Precise b);

/// Sine and cosine of `x`, for 0 <= x <= 4.
struct SineCosine {
    Precise sine;
    Precise cosine;
};
SineCosine sineCosine(Precise x);

/// The float nearest to hi + lo (ties to even), as if rounded once.
float roundToFloat(Precise x);

} // namespace tesk
