// Number-to-text tools for the value texts hosts show. Each writes at most
// eight characters and a terminator.
#pragma once

#include <cstdint>

namespace tesk {

/// Eight characters with every digit truncated: 0.5 gives "0.500000",
/// 1850 gives "1850.000", -3.5 gives "-3.50000". A value beyond 99999999
/// (9999999 when negative) leaves `text` untouched.
void floatToText(float value, char* text);

/// "%7d" cut to eight characters; "Huge!" from 100000000 on.
void integerToText(std::int32_t value, char* text);

/// 20 log10(value) through `floatToText`; "-oo" for 0 and below.
void decibelsToText(float value, char* text);

/// The frequency of a period of `samples` at `sampleRate`; 0 for no samples.
void samplesToHertzText(float samples, float sampleRate, char* text);

/// The duration of `samples` at `sampleRate` in milliseconds.
void samplesToMillisecondsText(float samples, float sampleRate, char* text);

} // namespace tesk
