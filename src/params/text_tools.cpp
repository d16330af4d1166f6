#include "text_tools.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace tesk {

namespace {

constexpr int kDigitBudget = 8;

char digitOf(double value) { return static_cast<char>('0' + static_cast<int>(std::trunc(std::fmod(value, 10.0)))); }

} // namespace

void floatToText(float value, char* text) {
    double v = value;
    const bool negative = v < 0.0;
    if (negative) v = -v;
    if (!(v <= (negative ? 9999999.0 : 99999999.0))) return; // also refuses NaN

    // Integer digits come out least significant first; the budget counts the
    // leading digit, the point and a sign.
    char integerDigits[kDigitBudget];
    int count = 0;
    double i = std::floor(v);
    int used = negative ? 3 : 2;
    integerDigits[count++] = digitOf(i);
    i *= 0.1;
    while (i >= 1.0 && used < kDigitBudget) {
        integerDigits[count++] = digitOf(i);
        i *= 0.1;
        ++used;
    }

    char out[2 * kDigitBudget + 2];
    int n = 0;
    if (negative) out[n++] = '-';
    while (count > 0) out[n++] = integerDigits[--count];
    out[n++] = '.';

    const int fractionDigits = kDigitBudget - used;
    if (fractionDigits > 0) {
        double m = std::fmod(v, 1.0) * std::pow(10.0, fractionDigits);
        for (int d = fractionDigits - 1; d >= 0; --d) {
            if (m <= 0.0) {
                out[n + d] = '0';
            } else {
                out[n + d] = digitOf(m);
                m *= 0.1;
            }
        }
        n += fractionDigits;
    }
    out[n] = '\0';
    std::memcpy(text, out, static_cast<std::size_t>(n) + 1);
}

void integerToText(std::int32_t value, char* text) {
    if (value >= 100000000) {
        std::strcpy(text, "Huge!");
        return;
    }
    char formatted[16];
    std::snprintf(formatted, sizeof formatted, "%7d", static_cast<int>(value));
    formatted[kDigitBudget] = '\0';
    std::strcpy(text, formatted);
}

void decibelsToText(float value, char* text) {
    if (value <= 0.0f) {
        std::strcpy(text, "-oo");
        return;
    }
    floatToText(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void samplesToHertzText(float samples, float sampleRate, char* text) {
    floatToText(samples == 0.0f ? 0.0f : sampleRate / samples, text);
}

void samplesToMillisecondsText(float samples, float sampleRate, char* text) {
    floatToText(samples * 1000.0f / sampleRate, text);
}

} // namespace tesk
