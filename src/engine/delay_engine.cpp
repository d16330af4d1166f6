// Construction, memory, parameters and programs of the delay engine.
#include "delay_engine.h"

#include "cpu_probe.h"
#include "musical_delay.h"
#include "parameter_info.h"
#include "precise_math.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>

namespace tesk {

namespace {

// A raised cosine over one block, in our own arithmetic: the same floats on
// every processor. Computed once for the process, not for every instance.
const std::array<float, DelayEngine::kMaxFrames>& raisedCosine() {
    static const std::array<float, DelayEngine::kMaxFrames> table = [] {
        std::array<float, DelayEngine::kMaxFrames> fade{};
        for (std::size_t i = 0; i < fade.size(); ++i) {
            const Precise angle = Precise(std::numbers::pi) * static_cast<double>(i) /
                                  static_cast<double>(fade.size());
            fade[i] = roundToFloat((sineCosine(angle).cosine + 1.0) * 0.5);
        }
        return fade;
    }();
    return table;
}

} // namespace

DelayEngine::DelayEngine(const bool* vectorUnit) {
    hasVectorUnit = vectorUnit != nullptr ? *vectorUnit : detectVectorUnit();
    useWideVectors(true);
    allocateEngineBuffers();

    programs = std::make_unique<std::array<DelayProgram, kNumPrograms>>();
    makeFactoryPrograms(*programs);

    setSampleRate(kDefaultSampleRate);
    setProgram(0);
}

void DelayEngine::allocateEngineBuffers() {
    for (AlignedBuffer* history : {&hpInHistory, &hpOutHistory, &lpInHistory, &lpOutHistory})
        *history = AlignedBuffer::zeroed(8);
    satInGain = AlignedBuffer::zeroed(16);
    satOutGain = AlignedBuffer::zeroed(16);
    for (AlignedBuffer* block :
         {&hpB0, &hpB1, &hpB2, &hpA1, &hpA2, &lpB0, &lpB1, &lpB2, &lpA1, &lpA2})
        *block = AlignedBuffer::zeroed(4);

    // The fade spans one block of the largest size processed in one go.
    fadeLength = kMaxFrames;
    fadeTable = std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(fadeLength));
    const std::array<float, kMaxFrames>& fade = raisedCosine();
    std::copy(fade.begin(), fade.end(), fadeTable.get());

    // Whole groups of four plus a spare group: the processing reads and
    // writes groups past the block's last frame.
    const std::size_t blockFloats = static_cast<std::size_t>((fadeLength + 3) / 4 + 1) * 4;
    monoBuffer = AlignedBuffer::zeroed(blockFloats);
    for (AlignedBuffer& out : lineOut)
        out = AlignedBuffer::zeroed(blockFloats);
    fadeGain = AlignedBuffer::zeroed(blockFloats);
}

bool DelayEngine::isUsable() const {
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

// ---------------------------------------------------------------- memory

bool DelayEngine::setSampleRate(float rate) {
    if (!(std::isfinite(rate) && rate >= 1.0f) || rate > kMaxSampleRate) return false;
    const auto newRateInt = static_cast<std::int32_t>(rate);
    if (!renewDelayMemory(static_cast<std::size_t>(4) * static_cast<std::size_t>(newRateInt)))
        return false;
    sampleRateInt = newRateInt;

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
    return true;
}

bool DelayEngine::renewDelayMemory(std::size_t length) {
    // Hosts announce the rate the effect was built for again before they start
    // it: memory of the right length is kept, and cleared where it lies if
    // anything was written to it.
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
    memorySilent_ = true;
    return true;
}

void DelayEngine::resume() {
    changeCount_.fetch_add(1, std::memory_order_relaxed);
    // Memory nothing has written to since it was made is silent already; the
    // system has not even handed out its pages yet.
    if (memorySilent_) return;
    for (AlignedBuffer& buffer : delayBuffer)
        buffer.clear();
    memorySilent_ = true;
}

// ---------------------------------------------------------------- delay time

void DelayEngine::updateDelayTime(int line) {
    const auto length =
        musicalDelay(sampleRateInt, tempoInUse[line], tempoNum[line], tempoDen[line]);
    // Before a program has set all three values there is no length yet.
    if (!length) return;
    delaySeconds[line] = length->seconds;
    const std::int64_t bufferLen = bufferLength();
    if (bufferLen <= 0) return;
    headDistance[line] = static_cast<std::int32_t>(length->samples % bufferLen);
    headMoved[line].store(true, std::memory_order_release);
}

void DelayEngine::applyHeadMove(int line) {
    if (!headMoved[line].exchange(false, std::memory_order_acquire)) return;
    const std::int32_t distance = headDistance[line];
    const std::int32_t bufferLen = bufferLength();
    if (distance < 0 || distance >= bufferLen) return;
    writePos[line] = static_cast<std::int32_t>(
        (static_cast<std::int64_t>(readPos[line]) + distance) % bufferLen);
}

void DelayEngine::setTempoFollowing(TempoFollowing how) {
    following = how;
}

void DelayEngine::followHostTempo(int line, const HostTransport& host) {
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

void DelayEngine::takeHostTempo(int line, float seen, float bpm) {
    // Only over the tempo the check saw: the editor ends sync before it sets a
    // typed tempo, and a tempo set on another thread meanwhile must stand.
    if (!tempo[line].compareExchange(seen, bpm)) return;
    float taken = bpm;
    if (!tempoSync[line]) tempo[line].compareExchange(taken, seen); // sync ended meanwhile
    settleTempo(line);
    const int index = parameterIndex(ParamKind::Tempo, line);
    notify(index, getParameter(index));
}

void DelayEngine::hearTempo(int line, float bpm) {
    if (tempoInUse[line] == bpm) return;
    tempoInUse[line] = bpm;
    updateDelayTime(line);
    // The editor shows the tempo heard; the parameter did not change.
    const int index = parameterIndex(ParamKind::Tempo, line);
    notify(index, getParameter(index));
}

void DelayEngine::setTempo(int line, float v) {
    tempo[line] = tempoFromInterface(v);
    settleTempo(line);
}

void DelayEngine::settleTempo(int line) {
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

void DelayEngine::setTempoSync(int line, bool on) {
    tempoSync[line] = on;
    if (following != TempoFollowing::InUseOnly || on) return;
    hearingHost[line] = false;
    hearTempo(line, tempo[line]);
}

void DelayEngine::updateCrossFrequency(int line) {
    crossHz[line] = crossoverHz(crossFrequency[line]);
}

// ---------------------------------------------------------------- parameters

void DelayEngine::setInputSource(int line, float v) {
    bool on[kNumLines];
    for (int l = 0; l < kNumLines; ++l)
        on[l] = lineOn[l];
    const InputChoice choice = selectInputSource(line, v, on);
    (*programs)[currentProgram].store(parameterIndex(ParamKind::Input, line), choice.value);
    inputSource[line] = choice.source;
}

void DelayEngine::fallBackInputsListeningTo(int line) {
    for (int k = 0; k < kNumLines; ++k) {
        if (inputSource[k] != line + 1) continue;
        const int input = parameterIndex(ParamKind::Input, k);
        setParameter(input, 0.0f);
        if (listener_ != nullptr) listener_->ownParameterChange(input);
    }
}

void DelayEngine::setParameter(std::int32_t index, float in) {
    changeCount_.fetch_add(1, std::memory_order_relaxed);
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

    notify(index, effective);
}

float DelayEngine::getParameter(std::int32_t index) const {
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

// ---------------------------------------------------------------- programs

void DelayEngine::setProgram(std::int32_t program) {
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

void DelayEngine::setProgramName(const char* name) {
    (*programs)[currentProgram].rename(name);
}

const char* DelayEngine::programName(std::int32_t index) const {
    return index >= 0 && index < kNumPrograms ? (*programs)[index].name : "";
}

} // namespace tesk
