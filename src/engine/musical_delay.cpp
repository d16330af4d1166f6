#include "musical_delay.h"

#include "parameters.h"
#include "precise_math.h"

#include <cmath>

namespace tesk {

std::optional<MusicalDelay> musicalDelay(std::int32_t rate, float bpm, float num, float den) {
    if (!(bpm >= kMinTempo && bpm <= kMaxTempo) || !(num >= 0.0f) || !(den >= 1.0f))
        return std::nullopt;
    // The note lengths are small whole numbers (the tables of TempoNum and
    // TempoDen), the tempo a float: bpm = mantissa × 2^(exponent - 24) exactly.
    const auto numerator = static_cast<std::int64_t>(num);
    const auto denominator = static_cast<std::int64_t>(den);
    int exponent = 0;
    const auto mantissa = static_cast<std::int64_t>(std::ldexp(std::frexp(bpm, &exponent), 24));
    // 48 to 999 bpm puts 24 - exponent between 14 and 18, and rates stay below
    // 2^21: the shifted product stays below 2^48.
    const std::int64_t beats = (std::int64_t{rate} * 60 * numerator) << (24 - exponent);
    const double perMinute = static_cast<double>(bpm) * den; // exact: 24 bits by 7
    return MusicalDelay{beats / (mantissa * denominator),
                        roundToFloat(Precise(60.0 * num) / perMinute)};
}

} // namespace tesk
