// Random arguments for the plug-in's entry points: mostly ordinary, often the
// extremes careless hosts and corrupt files produce.
#pragma once

#include "vst2.h"

#include <cstdint>
#include <random>

namespace tesk::validate {

/// An index: within or just outside [0, count), or any 32-bit number.
std::int32_t randomIndex(std::mt19937_64& random, std::int32_t count);
/// A pointer-sized value: small, an extreme, or any bits.
VstIntPtr randomValue(std::mt19937_64& random);
/// A float: within [0, 1], negative, huge, a denormal, NaN or an infinity.
float randomFloat(std::mt19937_64& random);

} // namespace tesk::validate
