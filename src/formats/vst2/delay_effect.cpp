// The VST 2 edition: construction, the host's transport, and the effect's
// answers to the dispatcher over the engine.
#include "delay_effect.h"

#include "parameter_info.h"
#include "parameter_texts.h"
#include "product.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace tesk {

namespace {

constexpr std::int32_t kUniqueId = fourCharCode("TKd2");
constexpr std::int32_t kHostTempoMaskAtStart = 0x7E00;

} // namespace

DelayEffect::DelayEffect(audioMasterCallback host, EditorFactory makeEditor, const bool* vectorUnit)
    : EffectBaseExt(host, kNumPrograms, kNumParameters), DelayEngine(vectorUnit) {
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
    setListener(this);

    sampleRate = kDefaultSampleRate;
    updateSampleRate();
    // Program 1 once more, now that the editor hears it.
    setProgram(0);
    applyHostTempoToAllLines();
}

DelayEffect::~DelayEffect() = default;

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

void DelayEffect::parameterChanged(std::int32_t index, float value) {
    if (editor != nullptr) editor->parameterChanged(index, value);
}

// ---------------------------------------------------------------- engine

void DelayEffect::setParameter(std::int32_t index, float value) {
    DelayEngine::setParameter(index, value);
}

float DelayEffect::getParameter(std::int32_t index) {
    return DelayEngine::getParameter(index);
}

void DelayEffect::setSampleRate(float rate) {
    if (DelayEngine::setSampleRate(rate)) sampleRate = rate;
}

void DelayEffect::resume() {
    DelayEngine::resume();
}

// ---------------------------------------------------------------- processing

void DelayEffect::process(float** inputs, float** outputs, std::int32_t frames) {
    processReplacing(inputs, outputs, frames);
}

void DelayEffect::processReplacing(float** inputs, float** outputs, std::int32_t frames) {
    // Each piece of a long host block at the tempo the host answers for it.
    inPieces(inputs, outputs, frames,
             [this](float** in, float** out, std::int32_t count) { processBlock(in, out, count); });
}

void DelayEffect::processBlock(float** inputs, float** outputs, std::int32_t frames) {
    // VST 2 hosts have always been asked for the transport once a block for
    // every line that is on, whether it follows the host or not.
    HostTransport host;
    if (hasVectorUnit.load(std::memory_order_relaxed))
        for (int line = 0; line < kNumLines; ++line)
            if (lineOn[line]) host = hostTransport(kVstTempoValid);
    DelayEngine::processBlock(inputs, outputs, frames, host);
}

// ---------------------------------------------------------------- programs

std::int32_t DelayEffect::getProgram() {
    return DelayEngine::getProgram();
}

void DelayEffect::setProgram(std::int32_t program) {
    DelayEngine::setProgram(program);
}

void DelayEffect::setProgramName(char* name) {
    DelayEngine::setProgramName(name);
}

void DelayEffect::getProgramName(char* name) {
    const std::int32_t current = currentProgram;
    const std::string shown = programDisplayName((*programs)[current], current);
    std::snprintf(name, kProgramNameCapacity, "%s", shown.c_str());
}

bool DelayEffect::getProgramNameIndexed(std::int32_t, std::int32_t index, char* text) {
    if (index < 0 || index >= kNumPrograms) return false;
    std::strcpy(text, programName(index));
    return true;
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
