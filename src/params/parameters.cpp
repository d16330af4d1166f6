#include "parameters.h"

#include <cmath>

namespace tesk {

const char* baseNameOf(ParamKind kind) {
    static const char* const names[kNumParamKinds] = {"FeedBack",
                                                      "Volume",
                                                      "VolumeThruInput",
                                                      "IsDelayOn",
                                                      "Pan",
                                                      "Input",
                                                      "Output",
                                                      "DelayType",
                                                      "Saturation",
                                                      "LowPassFrequency",
                                                      "HighPassFrequency",
                                                      "CrossFrequency",
                                                      "Tempo",
                                                      "TempoNum",
                                                      "TempoDen",
                                                      "IsTempoSync"};
    return names[static_cast<int>(kind)];
}

int noteTableIndex(float v, int count) {
    double index = std::trunc(10.0 * static_cast<double>(v));
    if (!(index >= 0.0)) return 0;
    return index >= count ? count - 1 : static_cast<int>(index);
}

float decodeTempoNumerator(float v) {
    return kTempoNumerators[noteTableIndex(v, kNumNumerators)];
}

float decodeTempoDenominator(float v) {
    return kTempoDenominators[noteTableIndex(v, kNumDenominators)];
}

float tablePositionValue(int k) {
    float v = static_cast<float>(k) * 0.1f;
    while (std::trunc(10.0 * static_cast<double>(v)) < k)
        v = std::nextafter(v, 1.0f);
    return v;
}

int requestedInputSource(float v) {
    const double x = v;
    if (x < 0.05) return 0;
    if (x < 0.15) return 1;
    if (x < 0.25) return 2;
    if (x < 0.35) return 3;
    return 0;
}

InputChoice selectInputSource(int line, float v, const bool (&lineOn)[kNumLines]) {
    // A line listens only to a lower-numbered line that is on; each test
    // stands alone, so a value that misses one source may still meet the next.
    const double x = v;
    const int number = line + 1;
    if (x < 0.05) return {0, 0.0f};
    if (x < 0.15 && lineOn[0] && number >= 2) return {1, 0.1f};
    if (x < 0.25 && lineOn[1] && number >= 3) return {2, 0.2f};
    if (x < 0.35 && lineOn[2] && number >= 4) return {3, 0.3f};
    return {0, 0.0f};
}

} // namespace tesk
