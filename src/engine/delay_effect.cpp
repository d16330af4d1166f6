// Construction, memory, parameters and programs of the delay effect.
#include "delay_effect.h"

#include "cpu_probe.h"
#include "musical_delay.h"
#include "parameter_info.h"
#include "parameter_texts.h"
#include "precise_math.h"
#include "product.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>

namespace tesk {

namespace {

constexpr std::int32_t kUniqueId = fourCharCode("TKd2");
constexpr std::int32_t kHostTempoMaskAtStart = 0x7E00;

// A host tempo worth taking: NaN, infinity and zero mean "none".
bool isUsableHostTempo(double bpm) {
    return std::isfinite(bpm) && bpm != 0.0;
}

// A host tempo goes to setParameter as beats per minute, which the tempo takes at
// full precision above 1: so it is held to 48..999 first, also to fit a float.
float hostTempoAsFloat(double bpm) {
    return static_cast<float>(bpm > kMaxTempo ? kMaxTempo : (bpm < kMinTempo ? kMinTempo : bpm));
}

} // namespace

DelayEffect::DelayEffect(audioMasterCallback host, EditorFactory makeEditor, const bool* vectorUnit)
    : EffectBaseExt(host, kNumPrograms, kNumParameters) {
    hasVectorUnit = vectorUnit != nullptr ? *vectorUnit : detectVectorUnit();
    useWideVectors(true);
    allocateEngineBuffers();

    programs = std::make_unique<std::array<DelayProgram, kNumPrograms>>();
    makeFactoryPrograms(*programs);

    setNumInputs(2);
    setNumOutputs(6);
    setHasVu(true);
    setCanReplacing(true);
    setCanMono(true);
    setUniqueId(kUniqueId);

    if (makeEditor != nullptr) {
        editor = makeEditor(*this);
        if (editor != nullptr) {
            setFlag(effFlagsHasEditor, true);
            editor->setKnobMode(2);
        }
    }

    setSampleRate(kDefaultSampleRate);
    updateSampleRate();
    setProgram(0);
    applyHostTempoToAllLines();
}

DelayEffect::~DelayEffect() = default;

void DelayEffect::allocateEngineBuffers() {
    for (AlignedBuffer* history : {&hpInHistory, &hpOutHistory, &lpInHistory, &lpOutHistory})
        *history = AlignedBuffer::zeroed(8);
    satInGain = AlignedBuffer::zeroed(16);
    satOutGain = AlignedBuffer::zeroed(16);
    for (AlignedBuffer* block :
         {&hpB0, &hpB1, &hpB2, &hpA1, &hpA2, &lpB0, &lpB1, &lpB2, &lpA1, &lpA2})
        *block = AlignedBuffer::zeroed(4);

    // The fade spans one block of the size the host announced at construction.
    fadeLength = blockSize;
    fadeTable = std::make_unique<float[]>(static_cast<std::size_t>(fadeLength));
    // A raised cosine, in our own arithmetic: the same floats on every processor.
    for (std::int32_t i = 0; i < fadeLength; ++i) {
        const Precise angle = Precise(std::numbers::pi) * i / static_cast<double>(fadeLength);
        fadeTable[i] = roundToFloat((sineCosine(angle).cosine + 1.0) * 0.5);
    }

    // Whole groups of four plus a spare group: the processing reads and
    // writes groups past the block's last frame.
    const std::size_t blockFloats = static_cast<std::size_t>((fadeLength + 3) / 4 + 1) * 4;
    monoBuffer = AlignedBuffer::zeroed(blockFloats);
    for (AlignedBuffer& out : lineOut)
        out = AlignedBuffer::zeroed(blockFloats);
    fadeGain = AlignedBuffer::zeroed(blockFloats);
}

bool DelayEffect::isUsable() const {
    const AlignedBuffer* required[] = {
        &hpInHistory,   &hpOutHistory, &lpInHistory,    &lpOutHistory,   &satInGain,
        &satOutGain,    &hpB0,         &hpB1,           &hpB2,           &hpA1,
        &hpA2,          &lpB0,         &lpB1,           &lpB2,           &lpA1,
        &lpA2,          &monoBuffer,   &lineOut[0],     &lineOut[1],     &lineOut[2],
        &lineOut[3],    &fadeGain,     &delayBuffer[0], &delayBuffer[1], &delayBuffer[2],
        &delayBuffer[3]};
    for (const AlignedBuffer* buffer : required)
        if (buffer->empty()) return false;
    return true;
}

HostTransport DelayEffect::hostTransport(std::int32_t vstMask) {
    const VstTimeInfo* info = getTimeInfo(vstMask);
    if (info == nullptr) return {};
    return {info->tempo, true};
}

void DelayEffect::applyHostTempoToAllLines() {
    const HostTransport host = hostTransport(kHostTempoMaskAtStart);
    if (!host.known || !isUsableHostTempo(host.tempo)) return;
    const float bpm = hostTempoAsFloat(host.tempo);
    for (int line = 0; line < kNumLines; ++line)
        setParameter(parameterIndex(ParamKind::Tempo, line), bpm);
}

// ---------------------------------------------------------------- memory

void DelayEffect::setSampleRate(float rate) {
    if (!isUsableSampleRate(rate) || rate > kMaxSampleRate) return;
    const auto newRateInt = static_cast<std::int32_t>(rate);
    if (!renewDelayMemory(static_cast<std::size_t>(4) * static_cast<std::size_t>(newRateInt)))
        return;
    sampleRateInt = newRateInt;
    sampleRate = rate;

    const std::int32_t bufferLen = bufferLength();
    for (int line = 0; line < kNumLines; ++line) {
        // The exact length at the new rate, as a tempo change computes it: a
        // rate announced again leaves every echo where it was.
        const auto length =
            musicalDelay(sampleRateInt, tempoInUse[line], tempoNum[line], tempoDen[line]);
        const std::int64_t distance = length ? length->samples : 0;
        headMoved[line].store(false, std::memory_order_relaxed);
        writePos[line] = static_cast<std::int32_t>(distance % bufferLen);
        readPos[line] = 0;
        // The old heads pointed into memory that is gone; the new memory is
        // silent, so there is nothing to fade from.
        prevWritePos[line] = writePos[line] - 1;
        coefficientsReady[line] = false; // the filters depend on the rate
    }
}

bool DelayEffect::renewDelayMemory(std::size_t length) {
    // Hosts announce the rate the effect was built for again before they start
    // it: memory of the right length is cleared where it lies, since fresh
    // memory costs the system a page fault and a zeroing for each of its pages.
    const auto hasLength = [&](const AlignedBuffer& buffer) { return buffer.size() == length; };
    if (std::all_of(delayBuffer.begin(), delayBuffer.end(), hasLength)) {
        resume();
        return true;
    }
    std::array<AlignedBuffer, kNumLines> fresh;
    for (AlignedBuffer& buffer : fresh) {
        buffer = AlignedBuffer::zeroed(length);
        if (buffer.empty()) return false; // keep the memory we have rather than none
    }
    delayBuffer.swap(fresh);
    return true;
}

void DelayEffect::resume() {
    for (AlignedBuffer& buffer : delayBuffer)
        buffer.clear();
}

// ---------------------------------------------------------------- delay time

void DelayEffect::updateDelayTime(int line) {
    const auto length = musicalDelay(sampleRateInt, tempoInUse[line], tempoNum[line], tempoDen[line]);
    // Before a program has set all three values there is no length yet.
    if (!length) return;
    delaySeconds[line] = length->seconds;
    const std::int64_t bufferLen = bufferLength();
    if (bufferLen <= 0) return;
    headDistance[line] = static_cast<std::int32_t>(length->samples % bufferLen);
    headMoved[line].store(true, std::memory_order_release);
}

void DelayEffect::applyHeadMove(int line) {
    if (!headMoved[line].exchange(false, std::memory_order_acquire)) return;
    const std::int32_t distance = headDistance[line];
    const std::int32_t bufferLen = bufferLength();
    if (distance < 0 || distance >= bufferLen) return;
    writePos[line] = static_cast<std::int32_t>(
        (static_cast<std::int64_t>(readPos[line]) + distance) % bufferLen);
}

void DelayEffect::setTempoFollowing(TempoFollowing how) {
    following = how;
}

void DelayEffect::followHostTempo(int line) {
    const HostTransport host = hostTransport(kVstTempoValid);
    const bool hostTempo = host.known && isUsableHostTempo(host.tempo);
    if (following == TempoFollowing::InUseOnly) {
        // The line's own tempo, unless it follows a host that gives one.
        hearingHost[line] = tempoSync[line] && hostTempo;
        hearTempo(line, hearingHost[line] ? hostTempoAsFloat(host.tempo) : tempo[line].load());
        return;
    }
    if (!tempoSync[line] || !hostTempo) return;
    const float seen = tempo[line];
    if (host.tempo != static_cast<double>(seen))
        takeHostTempo(line, seen, hostTempoAsFloat(host.tempo));
}

void DelayEffect::takeHostTempo(int line, float seen, float bpm) {
    // Only over the tempo the check saw: the editor ends sync before it sets a
    // typed tempo, and a tempo set on another thread meanwhile must stand.
    if (!tempo[line].compareExchange(seen, bpm)) return;
    float taken = bpm;
    if (!tempoSync[line]) tempo[line].compareExchange(taken, seen); // sync ended meanwhile
    settleTempo(line);
    const int index = parameterIndex(ParamKind::Tempo, line);
    if (editor != nullptr) editor->parameterChanged(index, getParameter(index));
}

void DelayEffect::hearTempo(int line, float bpm) {
    if (tempoInUse[line] == bpm) return;
    tempoInUse[line] = bpm;
    updateDelayTime(line);
    // The editor shows the tempo heard; the parameter did not change.
    const int index = parameterIndex(ParamKind::Tempo, line);
    if (editor != nullptr) editor->parameterChanged(index, getParameter(index));
}

void DelayEffect::setTempo(int line, float v) {
    tempo[line] = tempoFromInterface(v);
    settleTempo(line);
}

void DelayEffect::settleTempo(int line) {
    // Everything follows the line's tempo as it is when read, again until it
    // stands still: the audio thread and the editor may both be setting it,
    // and whichever sets it last, every copy ends up with its value.
    float bpm = 0.0f;
    do {
        bpm = tempo[line];
        // The program keeps beats per minute, so that typed tempos stay exact.
        (*programs)[currentProgram].store(parameterIndex(ParamKind::Tempo, line), bpm);
        if (following == TempoFollowing::IntoParameter) {
            tempoInUse[line] = bpm;
            updateDelayTime(line);
        } else if (!hearingHost[line]) {
            // A line that plays at the host's tempo keeps it until sync ends.
            hearTempo(line, bpm);
        }
    } while (tempo[line] != bpm);
}

void DelayEffect::setTempoSync(int line, bool on) {
    tempoSync[line] = on;
    if (following != TempoFollowing::InUseOnly || on) return;
    hearingHost[line] = false;
    hearTempo(line, tempo[line]);
}

void DelayEffect::updateCrossFrequency(int line) {
    crossHz[line] = crossoverHz(crossFrequency[line]);
}

// ---------------------------------------------------------------- parameters

void DelayEffect::setInputSource(int line, float v) {
    bool on[kNumLines];
    for (int l = 0; l < kNumLines; ++l)
        on[l] = lineOn[l];
    const InputChoice choice = selectInputSource(line, v, on);
    (*programs)[currentProgram].store(parameterIndex(ParamKind::Input, line), choice.value);
    inputSource[line] = choice.source;
}

void DelayEffect::fallBackInputsListeningTo(int line) {
    for (int k = 0; k < kNumLines; ++k) {
        if (inputSource[k] != line + 1) continue;
        const int input = parameterIndex(ParamKind::Input, k);
        setParameter(input, 0.0f);
        ownParameterChange(input);
    }
}

void DelayEffect::setParameter(std::int32_t index, float in) {
    ParamRef ref{};
    // Non-finite values would poison the engine for good; they change nothing.
    if (!splitParameterIndex(index, ref) || !std::isfinite(in)) return;
    DelayProgram& program = (*programs)[currentProgram];
    const int line = ref.line;
    // Out-of-range values are held to the interface's range before anything decodes
    // or keeps them: (2 × 1e30)² would overflow the mix.
    const float v = ref.kind == ParamKind::Tempo ? in : clampToUnit(in);
    float effective = v;

    switch (ref.kind) {
    case ParamKind::Input:
        setInputSource(line, v);
        effective = program.value(index);
        break;
    case ParamKind::Tempo:
        setTempo(line, v);
        effective = tempoToInterface(tempo[line]);
        break;
    default:
        program.store(index, v);
        break;
    }

    switch (ref.kind) {
    case ParamKind::FeedBack:
        feedback[line] = v;
        break;
    case ParamKind::Volume:
        volume[line] = v;
        break;
    case ParamKind::VolumeThruInput:
        volumeThruInput = v;
        break;
    case ParamKind::IsDelayOn:
        lineOn[line] = switchIsOn(v);
        if (!lineOn[line]) fallBackInputsListeningTo(line);
        break;
    case ParamKind::Pan:
        pan[line] = v;
        break;
    case ParamKind::Output:
        outputPair[line] = decodeOutputPair(v);
        break;
    case ParamKind::DelayType:
        delayType[line] = decodeDelayType(v);
        break;
    case ParamKind::Saturation:
        saturation[line] = v;
        break;
    case ParamKind::LowPassFrequency:
        lowPassFrequency[line] = v;
        break;
    case ParamKind::HighPassFrequency:
        highPassFrequency[line] = v;
        break;
    case ParamKind::CrossFrequency:
        crossFrequency[line] = v;
        updateCrossFrequency(line);
        break;
    case ParamKind::TempoNum:
        tempoNum[line] = decodeTempoNumerator(v);
        updateDelayTime(line);
        break;
    case ParamKind::TempoDen:
        tempoDen[line] = decodeTempoDenominator(v);
        updateDelayTime(line);
        break;
    case ParamKind::IsTempoSync:
        setTempoSync(line, switchIsOn(v));
        break;
    case ParamKind::Input:
    case ParamKind::Tempo:
        break; // decoded above
    }

    if (editor != nullptr) editor->parameterChanged(index, effective);
}

float DelayEffect::getParameter(std::int32_t index) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return 0.0f;
    const int line = ref.line;
    switch (ref.kind) {
    case ParamKind::FeedBack:
        return feedback[line];
    case ParamKind::Volume:
        return volume[line];
    case ParamKind::VolumeThruInput:
        return volumeThruInput;
    case ParamKind::IsDelayOn:
        return switchValue(lineOn[line]);
    case ParamKind::Pan:
        return pan[line];
    case ParamKind::Input:
        return sourceOrPairValue(inputSource[line]);
    case ParamKind::Output:
        return sourceOrPairValue(outputPair[line]);
    case ParamKind::DelayType:
        return delayTypeValue(delayType[line]);
    case ParamKind::Saturation:
        return saturation[line];
    case ParamKind::LowPassFrequency:
        return lowPassFrequency[line];
    case ParamKind::HighPassFrequency:
        return highPassFrequency[line];
    case ParamKind::CrossFrequency:
        return crossFrequency[line];
    case ParamKind::Tempo:
        return tempoToInterface(tempo[line]);
    case ParamKind::TempoNum:
    case ParamKind::TempoDen:
        return (*programs)[currentProgram].value(index);
    case ParamKind::IsTempoSync:
        return switchValue(tempoSync[line]);
    }
    return 0.0f;
}

// ---------------------------------------------------------------- texts hosts show

// Names are written whole, up to 18 characters ("HighPassFrequency1"), past
// the eight the interface reserves: hosts hand buffers large enough for them.
void DelayEffect::getParameterName(std::int32_t index, char* text) {
    if (index >= 0 && index < kNumParameters) std::strcpy(text, parameterSymbol(index).c_str());
}

void DelayEffect::getParameterLabel(std::int32_t index, char* label) {
    if (index >= 0 && index < kNumParameters)
        std::strcpy(label, parameterLabel(index, getParameter(index)));
}

void DelayEffect::getParameterDisplay(std::int32_t index, char* text) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return;
    const float crossover = getParameter(parameterIndex(ParamKind::CrossFrequency, ref.line));
    parameterDisplay(index, getParameter(index), crossover, text);
}

// ---------------------------------------------------------------- programs

void DelayEffect::setProgram(std::int32_t program) {
    if (program < 0 || program >= kNumPrograms) return;
    currentProgram = program;
    DelayProgram& loaded = (*programs)[program];
    // Each value goes through setParameter, so the record ends up holding the
    // kept forms and the editor hears of every value.
    for (int line = 0; line < kNumLines; ++line) {
        for (ParamKind kind : kProgramLoadOrder) {
            const int index = parameterIndex(kind, line);
            setParameter(index, loaded.value(index));
        }
    }
    const int thru = parameterIndex(ParamKind::VolumeThruInput, 0);
    setParameter(thru, loaded.value(thru));
}

void DelayEffect::setProgramName(char* name) {
    (*programs)[currentProgram].rename(name);
}

void DelayEffect::getProgramName(char* name) {
    const std::int32_t current = currentProgram;
    const std::string shown = programDisplayName((*programs)[current], current);
    std::snprintf(name, kProgramNameCapacity, "%s", shown.c_str());
}

bool DelayEffect::getProgramNameIndexed(std::int32_t, std::int32_t index, char* text) {
    if (index < 0 || index >= kNumPrograms) return false;
    std::strcpy(text, (*programs)[index].name);
    return true;
}

// ---------------------------------------------------------------- identity and pins

namespace {

void fillPin(VstPinProperties* properties, const char* label) {
    std::snprintf(properties->label, sizeof properties->label, "%s", label);
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
}

} // namespace

bool DelayEffect::getInputProperties(std::int32_t index, VstPinProperties* properties) {
    if (index < 0 || index >= 2) return false;
    char label[16];
    std::snprintf(label, sizeof label, "Main in %d", static_cast<int>(index) + 1);
    fillPin(properties, label);
    return true;
}

bool DelayEffect::getOutputProperties(std::int32_t index, VstPinProperties* properties) {
    static const char* const labels[6] = {"Main LEFT",   "Main RIGHT", "Out 2 LEFT",
                                          "Out 2 RIGHT", "Out 3 LEFT", "OUT 3 RIGHT"};
    if (index < 0 || index >= 6) return false;
    fillPin(properties, labels[index]);
    return true;
}

std::int32_t DelayEffect::getPlugCategory() {
    return 1;
}

// The names fit the interface's 32-character (name) and 64-character
// (vendor, product) limits.
bool DelayEffect::getEffectName(char* name) {
    std::strcpy(name, kProductName);
    return true;
}

bool DelayEffect::getVendorString(char* text) {
    std::strcpy(text, kVendorName);
    return true;
}

bool DelayEffect::getProductString(char* text) {
    return getEffectName(text);
}

std::int32_t DelayEffect::getVendorVersion() {
    return 1000;
}

} // namespace tesk
