#include "programs.h"

#include <cstdio>
#include <cstring>
#include <initializer_list>

namespace tesk {

DelayProgram::DelayProgram() {
    static constexpr float neutralPan[kNumLines] = {0.0f, 0.333f, 0.666f, 1.0f};
    static constexpr float neutralDen[kNumLines] = {0.1f, 0.2f, 0.3f, 0.4f};
    for (int l = 0; l < kNumLines; ++l) {
        feedback[l] = 0.5f;
        volume[l] = 0.5f;
        pan[l] = neutralPan[l];
        input[l] = 0.0f;
        output[l] = 0.0f;
        lineOn[l] = l == 0 ? 1 : 0;
        delayType[l] = 0.0f;
        saturation[l] = 0.0f;
        lowPassFrequency[l] = 0.0f;
        highPassFrequency[l] = 1.0f;
        crossFrequency[l] = 0.3f;
        tempo[l] = 120.0f;
        tempoNum[l] = 0.0f;
        tempoDen[l] = neutralDen[l];
        tempoSync[l] = 1;
    }
    volumeThruInput = 1.0f;
    std::memset(name, 0, sizeof name);
    std::strcpy(name, "Init");
}

namespace {

DelayProgram::Lines& linesOf(DelayProgram& p, ParamKind kind) {
    switch (kind) {
    case ParamKind::FeedBack:
        return p.feedback;
    case ParamKind::Volume:
        return p.volume;
    case ParamKind::Pan:
        return p.pan;
    case ParamKind::Input:
        return p.input;
    case ParamKind::Output:
        return p.output;
    case ParamKind::DelayType:
        return p.delayType;
    case ParamKind::Saturation:
        return p.saturation;
    case ParamKind::LowPassFrequency:
        return p.lowPassFrequency;
    case ParamKind::HighPassFrequency:
        return p.highPassFrequency;
    case ParamKind::CrossFrequency:
        return p.crossFrequency;
    case ParamKind::Tempo:
        return p.tempo;
    case ParamKind::TempoNum:
        return p.tempoNum;
    default:
        return p.tempoDen;
    }
}

bool isFlag(ParamKind kind) {
    return kind == ParamKind::IsDelayOn || kind == ParamKind::IsTempoSync;
}

DelayProgram::Flags& flagsOf(DelayProgram& p, ParamKind kind) {
    return kind == ParamKind::IsDelayOn ? p.lineOn : p.tempoSync;
}

} // namespace

float DelayProgram::value(int index) const {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return 0.0f;
    auto& self = const_cast<DelayProgram&>(*this);
    if (ref.kind == ParamKind::VolumeThruInput) return volumeThruInput;
    if (isFlag(ref.kind)) return flagsOf(self, ref.kind)[ref.line] != 0 ? 1.0f : 0.0f;
    return linesOf(self, ref.kind)[ref.line];
}

void DelayProgram::store(int index, float v) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return;
    if (ref.kind == ParamKind::VolumeThruInput) {
        volumeThruInput = v;
    } else if (isFlag(ref.kind)) {
        flagsOf(*this, ref.kind)[ref.line] = switchIsOn(v) ? 1 : 0;
    } else {
        linesOf(*this, ref.kind)[ref.line] = v;
    }
}

std::string programDisplayName(const DelayProgram& program, int number) {
    if (std::strcmp(program.name, "Init") != 0) return program.name;
    char name[kProgramNameCapacity];
    std::snprintf(name, sizeof name, "Init %d", number + 1);
    return name;
}

std::string presetLabel(const DelayProgram& program, int number) {
    char label[64];
    std::snprintf(label, sizeof label, "%02d %s", number + 1, program.name);
    return label;
}

void DelayProgram::rename(const char* text) {
    std::strncpy(name, text, kProgramNameCapacity - 1);
    name[kProgramNameCapacity - 1] = '\0';
}

namespace {

// A factory preset is the neutral setting with a few groups changed.
struct PresetRow {
    ParamKind kind;
    float values[kNumLines];
};

void setPreset(DelayProgram& p, const char* name, std::initializer_list<PresetRow> rows,
               float volumeThruInput = 1.0f) {
    p.rename(name);
    for (const PresetRow& row : rows) {
        for (int l = 0; l < kNumLines; ++l)
            p.store(parameterIndex(row.kind, l), row.values[l]);
    }
    p.volumeThruInput = volumeThruInput;
}

using K = ParamKind;
constexpr float on = 1.0f, off = 0.0f;

} // namespace

const char* factoryProgramDescription(int program) {
    static const char* const descriptions[kNumFactoryPrograms + 1] = {
        "One echo an eighth note later, on the left.",
        "Eighth-note repeats on the left, each about 7 dB quieter than the one before.",
        "Dark eighth-note repeats on the left against thin eighth-note triplets on the right: "
        "a cross-rhythm.",
        "Four short single echoes spread from left to right: a wider, doubled sound.",
        "Four chained lines of very short, differently filtered echoes walking from left to "
        "right over a lowered dry sound: wide and roomy.",
        "A rhythm of single echoes over two beats, spread across the stereo picture.",
        "The rhythm of Simple rythm with three repeating lines: the pattern keeps going and "
        "thickens.",
        "Two very short, saturated, recirculating delays at a fixed tempo: a ringing, metallic "
        "resonance, without the dry sound.",
        "Echoes bouncing between left and right, one and two beats after the note.",
        "Eighth-note repeats in the centre with thin, saturated, bright echoes at the sides: a "
        "glassy sparkle.",
        "Saturated, thinned quarter-note repeats with a dulled, distorted copy on the right: a "
        "worn, lo-fi echo.",
        "Four chained sixteenth-note echoes that grow louder one after the other over a quiet "
        "dry sound: every note swells. Up to 8 dB louder than the input: watch the level.",
        "A starting point: line 1 on with a single eighth-note echo on the left; lines 2 to 4 "
        "off, ready to switch on.",
    };
    return descriptions[program < 0 || program > kNumFactoryPrograms ? kNumFactoryPrograms
                                                                     : program];
}

void makeFactoryPrograms(std::array<DelayProgram, kNumPrograms>& programs) {
    setPreset(programs[0], "Simple single echo", {{K::Tempo, {88, 120, 120, 120}}});
    setPreset(programs[1], "Simple multiple echo",
              {{K::FeedBack, {0.445f, 0.5f, 0.5f, 0.5f}},
               {K::DelayType, {1, 0, 0, 0}},
               {K::Tempo, {88, 120, 120, 120}}});
    setPreset(programs[2], "Multiple with EQ",
              {{K::Pan, {0, 1, 0.666f, 1}},
               {K::IsDelayOn, {on, on, off, off}},
               {K::DelayType, {1, 1, 0, 0}},
               {K::LowPassFrequency, {0, 0.5f, 0, 0}},
               {K::HighPassFrequency, {0.185f, 1, 1, 1}},
               {K::CrossFrequency, {0.225f, 0.385f, 0.3f, 0.3f}},
               {K::Tempo, {88, 88, 120, 120}}});
    setPreset(programs[3], "Stereo spread",
              {{K::IsDelayOn, {on, on, on, on}},
               {K::Tempo, {88, 88, 88, 88}},
               {K::TempoDen, {0.3f, 0.4f, 0.5f, 0.6f}}});
    setPreset(programs[4], "Stereo spread 2",
              {{K::FeedBack, {1, 1, 1, 0.53f}},
               {K::Input, {0, 0.1f, 0.2f, 0.3f}},
               {K::IsDelayOn, {on, on, on, on}},
               {K::DelayType, {0, 0, 0, 1}},
               {K::LowPassFrequency, {0, 0, 0.43f, 0.32f}},
               {K::HighPassFrequency, {0.205f, 0.42f, 1, 1}},
               {K::CrossFrequency, {0.195f, 0.3f, 0.3f, 0.3f}},
               {K::Tempo, {88, 88, 88, 88}},
               {K::TempoDen, {0.6f, 0.6f, 0.6f, 0.5f}}},
              0.288f);
    setPreset(programs[5], "Simple rythm",
              {{K::FeedBack, {0.5f, 1, 0.5f, 0.5f}},
               {K::Volume, {0.5f, 0.46f, 0.5f, 0.5f}},
               {K::Pan, {1, 0.736842f, 0.421053f, 0.105263f}},
               {K::Input, {0, 0.1f, 0.2f, 0}},
               {K::IsDelayOn, {on, on, on, on}},
               {K::Tempo, {88, 88, 88, 88}},
               {K::TempoNum, {0, 0, 0, 0.1f}},
               {K::TempoDen, {0, 0.1f, 0.1f, 0}}},
              0.56f);
    setPreset(programs[6], "Long rythm",
              {{K::FeedBack, {0.5f, 1, 0.61f, 0.34f}},
               {K::Volume, {0.5f, 0.46f, 0.5f, 0.5f}},
               {K::Pan, {1, 0.736842f, 0.421053f, 0.105263f}},
               {K::Input, {0, 0.1f, 0.2f, 0}},
               {K::IsDelayOn, {on, on, on, on}},
               {K::DelayType, {1, 0, 1, 1}},
               {K::Tempo, {88, 88, 88, 88}},
               {K::TempoNum, {0, 0, 0, 0.1f}},
               {K::TempoDen, {0, 0.1f, 0.3f, 0}}},
              0.56f);
    setPreset(programs[7], "Metalic sound",
              {{K::FeedBack, {0.9f, 0.915f, 0.5f, 0.5f}},
               {K::Volume, {0.28f, 0.28f, 0.5f, 0.5f}},
               {K::Pan, {0, 1, 0.666f, 1}},
               {K::IsDelayOn, {on, on, off, off}},
               {K::DelayType, {1, 1, 0, 0}},
               {K::Saturation, {0.285f, 0.285f, 0, 0}},
               {K::LowPassFrequency, {0, 0.445f, 0, 0}},
               {K::HighPassFrequency, {0.46f, 1, 1, 1}},
               {K::CrossFrequency, {0.3f, 0.12f, 0.3f, 0.3f}},
               {K::Tempo, {350, 350, 120, 120}},
               {K::TempoDen, {0.8f, 0.8f, 0.3f, 0.4f}},
               {K::IsTempoSync, {off, off, on, on}}},
              0.0f);
    setPreset(programs[8], "Ping pong",
              {{K::Pan, {0.231579f, 0.242105f, 0.768421f, 0.768421f}},
               {K::Input, {0, 0.1f, 0, 0}},
               {K::IsDelayOn, {on, on, on, off}},
               {K::DelayType, {0, 1, 0, 0}},
               {K::Tempo, {88, 88, 88, 120}},
               {K::TempoNum, {0, 0.1f, 0.1f, 0}},
               {K::TempoDen, {0, 0, 0, 0.4f}}},
              0.464f);
    setPreset(programs[9], "Ice echo",
              {{K::FeedBack, {0.5f, 0.5f, 0.5f, 0.38f}},
               {K::Volume, {0.5f, 0.5f, 0.1f, 0.14f}},
               {K::Pan, {0.494737f, 0.610526f, 0, 1}},
               {K::Input, {0, 0.1f, 0, 0.3f}},
               {K::IsDelayOn, {on, on, on, on}},
               {K::DelayType, {1, 0, 0, 1}},
               {K::Saturation, {0, 0, 1, 1}},
               {K::LowPassFrequency, {0, 0, 1, 1}},
               {K::Tempo, {88, 88, 88, 88}},
               {K::TempoNum, {0, 0.1f, 0, 0}},
               {K::TempoDen, {0.1f, 0, 0.3f, 0}}});
    setPreset(programs[10], "Low fi echo",
              {{K::Volume, {0.15f, 0.5f, 0.5f, 0.5f}},
               {K::Pan, {0.315789f, 1, 0.666f, 1}},
               {K::Input, {0, 0.1f, 0, 0}},
               {K::IsDelayOn, {on, on, off, off}},
               {K::DelayType, {1, 0, 0, 0}},
               {K::Saturation, {1, 0.71f, 0, 0}},
               {K::LowPassFrequency, {1, 0, 0, 0}},
               {K::HighPassFrequency, {1, 0.145f, 1, 1}},
               {K::CrossFrequency, {0.3f, 1, 0.3f, 0.3f}},
               {K::Tempo, {88, 500, 88, 88}},
               {K::TempoDen, {0, 0.8f, 0.3f, 0.4f}},
               {K::IsTempoSync, {on, off, on, on}}});
    setPreset(programs[11], "Crescendo echo",
              {{K::FeedBack, {1, 1, 1, 1}},
               {K::Volume, {0.08f, 0.205f, 0.5f, 0.685f}},
               {K::Pan, {0, 1, 0.231579f, 0.705263f}},
               {K::Input, {0, 0.1f, 0.2f, 0.3f}},
               {K::IsDelayOn, {on, on, on, on}},
               {K::Tempo, {88, 88, 88, 88}},
               {K::TempoDen, {0.3f, 0.3f, 0.3f, 0.3f}}},
              0.152f);
}

} // namespace tesk
