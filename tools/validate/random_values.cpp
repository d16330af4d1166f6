#include "random_values.h"

#include <array>
#include <limits>

namespace tesk::validate {

namespace {

/// One of `choices`, picked uniformly.
template <typename T, std::size_t N>
T pick(std::mt19937_64& random, const std::array<T, N>& choices) {
    return choices[std::uniform_int_distribution<std::size_t>(0, N - 1)(random)];
}

int kind(std::mt19937_64& random) {
    return std::uniform_int_distribution<int>(0, 3)(random);
}

} // namespace

std::int32_t randomIndex(std::mt19937_64& random, std::int32_t count) {
    using Limits = std::numeric_limits<std::int32_t>;
    switch (kind(random)) {
    case 0:
    case 1:
        return std::uniform_int_distribution<std::int32_t>(-1, count + 1)(random);
    case 2:
        return pick(random, std::array<std::int32_t, 4>{Limits::min(), Limits::max(), -2, 1 << 16});
    default:
        return static_cast<std::int32_t>(random());
    }
}

VstIntPtr randomValue(std::mt19937_64& random) {
    using Limits = std::numeric_limits<VstIntPtr>;
    switch (kind(random)) {
    case 0:
        return std::uniform_int_distribution<VstIntPtr>(-2, 1024)(random);
    case 1:
        return pick(random, std::array<VstIntPtr, 7>{0, 1, -1, Limits::min(), Limits::max(),
                                                     std::numeric_limits<std::int32_t>::max(),
                                                     std::numeric_limits<std::int32_t>::min()});
    default:
        return static_cast<VstIntPtr>(random());
    }
}

float randomFloat(std::mt19937_64& random) {
    using Limits = std::numeric_limits<float>;
    switch (kind(random)) {
    case 0:
    case 1:
        return std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
    case 2:
        return pick(random, std::array<float, 9>{Limits::quiet_NaN(), Limits::infinity(),
                                                 -Limits::infinity(), -1.0f, 1e30f, -1e30f,
                                                 Limits::max(), Limits::denorm_min(), -0.0f});
    default:
        return std::uniform_real_distribution<float>(-1e6f, 1e6f)(random);
    }
}

} // namespace tesk::validate
