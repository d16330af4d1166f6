// The stored programs: one complete set of parameter values and a name each,
// with the factory presets the plug-in ships.
#pragma once

#include "parameters.h"
#include "relaxed.h"

#include <array>
#include <cstdint>
#include <string>

namespace tesk {

constexpr int kNumPrograms = 16;
constexpr int kProgramNameCapacity = 24; ///< 23 characters and a terminator

/// One program. Values are kept in the form `setParameter` stores them: as
/// handed in, with `Input` quantised, `Tempo` clamped and the switches as bytes.
/// Any thread may read or write a value while another does.
struct DelayProgram {
    using Lines = std::array<Relaxed<float>, kNumLines>;
    using Flags = std::array<Relaxed<std::uint8_t>, kNumLines>;

    Lines feedback;
    Lines pan;
    Lines input;
    Lines output;
    Flags lineOn;
    Lines delayType;
    Lines saturation;
    Lines lowPassFrequency;
    Lines highPassFrequency;
    Lines crossFrequency;
    Lines tempo;
    Lines tempoNum;
    Lines tempoDen;
    Flags tempoSync;
    char name[kProgramNameCapacity];
    Lines volume;
    Relaxed<float> volumeThruInput;

    /// The neutral setting, named "Init".
    DelayProgram();

    /// The stored value of parameter `index` (0 to 60) as `setProgram` hands it
    /// back to `setParameter`: switches as 0.0 or 1.0.
    float value(int index) const;
    /// Stores `v`, already in its kept form, at parameter `index` (0 to 60).
    void store(int index, float v);
    /// Renames; text beyond 23 characters is cut.
    void rename(const char* text);
};

/// The name hosts see for program `number` (0 to 15) holding `program`: a
/// neutral program ("Init") is told apart by its number ("Init 13").
std::string programDisplayName(const DelayProgram& program, int number);

/// The factory programs: 0 to 11 named and set, 12 to 15 neutral.
constexpr int kNumFactoryPrograms = 12;

/// What factory program `program` (0 to 12, 12 standing for the neutral ones)
/// sounds like, for hosts that show a preset's description.
const char* factoryProgramDescription(int program);

/// The programs hosts list as presets: the factory programs, then the neutral
/// one once.
constexpr int kNumPresets = kNumFactoryPrograms + 1;

/// The label hosts list program `number` (0 to 12) holding `program` under:
/// "01 Simple single echo", "13 Init". Hosts sort presets by their label, so the
/// number in front keeps the programs' own order. Any thread.
std::string presetLabel(const DelayProgram& program, int number);

/// Fills `programs` with the factory presets: 0 to 11 named and set, 12 to 15 neutral.
void makeFactoryPrograms(std::array<DelayProgram, kNumPrograms>& programs);

/// Order in which a program load applies each line's values.
inline constexpr std::array<ParamKind, 15> kProgramLoadOrder = {ParamKind::FeedBack,
                                                                ParamKind::Pan,
                                                                ParamKind::Input,
                                                                ParamKind::Output,
                                                                ParamKind::IsDelayOn,
                                                                ParamKind::DelayType,
                                                                ParamKind::LowPassFrequency,
                                                                ParamKind::HighPassFrequency,
                                                                ParamKind::CrossFrequency,
                                                                ParamKind::Saturation,
                                                                ParamKind::Tempo,
                                                                ParamKind::TempoNum,
                                                                ParamKind::TempoDen,
                                                                ParamKind::IsTempoSync,
                                                                ParamKind::Volume};

} // namespace tesk
