#include "effect_base.h"

#include "text_tools.h"

#include <cmath>
#include <cstdint>
#include <cstring>

namespace tesk {

namespace {

// The record's entries. The host calls them with the record it was given;
// `object` leads back to the instance.

VstIntPtr VSTCALL dispatcherEntry(AEffect* effect, std::int32_t opcode, std::int32_t index,
                                  VstIntPtr value, void* ptr, float opt) {
    EffectBase* object = EffectBase::fromRecord(effect);
    if (object == nullptr) return 0;
    VstIntPtr answer = object->dispatch(opcode, index, value, ptr, opt);
    if (opcode == effClose) {
        delete object; // the record lives inside the object and is gone now
        return 1;
    }
    return answer;
}

void VSTCALL processEntry(AEffect* effect, float** inputs, float** outputs, std::int32_t frames) {
    if (EffectBase* object = EffectBase::fromRecord(effect)) object->process(inputs, outputs, frames);
}

void VSTCALL processReplacingEntry(AEffect* effect, float** inputs, float** outputs,
                                   std::int32_t frames) {
    if (EffectBase* object = EffectBase::fromRecord(effect))
        object->processReplacing(inputs, outputs, frames);
}

void VSTCALL setParameterEntry(AEffect* effect, std::int32_t index, float value) {
    if (EffectBase* object = EffectBase::fromRecord(effect)) object->setParameter(index, value);
}

float VSTCALL getParameterEntry(AEffect* effect, std::int32_t index) {
    EffectBase* object = EffectBase::fromRecord(effect);
    return object != nullptr ? object->getParameter(index) : 0.0f;
}

void writeEmpty(char* text) {
    if (text != nullptr) text[0] = '\0';
}

} // namespace

bool isUsableSampleRate(float rate) { return std::isfinite(rate) && rate >= 1.0f; }

// A size that does not fit the field becomes 0, which every setter refuses.
std::int32_t blockSizeOf(VstIntPtr value) {
    return value > 0 && value <= INT32_MAX ? static_cast<std::int32_t>(value) : 0;
}


EffectBase* EffectBase::fromRecord(AEffect* effect) {
    if (effect == nullptr || effect->magic != kEffectMagic) return nullptr;
    return static_cast<EffectBase*>(effect->object);
}

EffectBase::EffectBase(audioMasterCallback hostCallback, std::int32_t numPrograms,
                       std::int32_t numParams)
    : hostCallback(hostCallback), numPrograms(numPrograms), numParams(numParams) {
    std::memset(&effectRecord, 0, sizeof effectRecord);
    effectRecord.numParams = numParams;
    effectRecord.numPrograms = numPrograms;
    effectRecord.magic = kEffectMagic;
    effectRecord.numInputs = 1;
    effectRecord.version = 1;
    effectRecord.dispatcher = dispatcherEntry;
    effectRecord.process = processEntry;
    effectRecord.setParameter = setParameterEntry;
    effectRecord.getParameter = getParameterEntry;
    effectRecord.numOutputs = 2;
    effectRecord.ioRatio = 1.0f;
    effectRecord.object = this;
    effectRecord.uniqueID = kDefaultUniqueId;
    effectRecord.processReplacing = processReplacingEntry;
}

EffectBase::~EffectBase() {
    delete editor;
    // A record that outlives us by mistake must not lead back to freed memory.
    effectRecord.object = nullptr;
    effectRecord.magic = 0;
}

VstIntPtr EffectBase::callHost(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                               float opt, VstIntPtr fallback) {
    if (hostCallback == nullptr) return fallback;
    return hostCallback(&effectRecord, opcode, index, value, ptr, opt);
}

void EffectBase::setFlag(std::int32_t bit, bool state) {
    if (state)
        effectRecord.flags |= bit;
    else
        effectRecord.flags &= ~bit;
}

namespace {

// Opcodes whose `ptr` is a text or record the operation reads or writes: a
// null one is answered with "nothing done" instead of being handed on.
bool needsPointer(std::int32_t opcode) {
    switch (opcode) {
    case effSetProgramName:
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effEditGetRect:
    case effGetChunk:
    case effSetChunk:
        return true;
    default:
        return false;
    }
}

} // namespace

VstIntPtr EffectBase::dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                               float opt) {
    if (ptr == nullptr && needsPointer(opcode)) return 0;
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(static_cast<std::int32_t>(value));
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName: setProgramName(text); return 0;
    case effGetProgramName: getProgramName(text); return 0;
    case effGetParamLabel: getParameterLabel(index, text); return 0;
    case effGetParamDisplay: getParameterDisplay(index, text); return 0;
    case effGetParamName: getParameterName(index, text); return 0;
    case effGetVu: return static_cast<VstIntPtr>(getVu() * 32767.0f);
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(blockSizeOf(value)); return 0;
    case effMainsChanged:
        if (value == 0)
            suspend();
        else
            resume();
        return 0;
    case effEditGetRect: return editorRect(static_cast<ERect**>(ptr));
    case effEditOpen: return editor != nullptr ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor != nullptr) editor->close();
        return 0;
    case effEditIdle:
        if (editor != nullptr) editor->idle();
        return 0;
    case effIdentify: return kIdentifyAnswer;
    case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk: return setChunk(ptr, static_cast<std::int32_t>(value), index != 0);
    default: return 0;
    }
}

void EffectBase::setParameter(std::int32_t, float) {}
float EffectBase::getParameter(std::int32_t) { return 0.0f; }

void EffectBase::setParameterAutomated(std::int32_t index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

void EffectBase::processReplacing(float**, float**, std::int32_t) {}
void EffectBase::open() {}
void EffectBase::close() {}
std::int32_t EffectBase::getProgram() { return currentProgram; }
void EffectBase::setProgram(std::int32_t program) { currentProgram = program; }
void EffectBase::setProgramName(char* name) { writeEmpty(name); }
void EffectBase::getProgramName(char* name) { writeEmpty(name); }
void EffectBase::getParameterLabel(std::int32_t, char* label) { writeEmpty(label); }
void EffectBase::getParameterDisplay(std::int32_t, char* text) { writeEmpty(text); }
void EffectBase::getParameterName(std::int32_t, char* text) { writeEmpty(text); }
float EffectBase::getVu() { return 0.0f; }
std::int32_t EffectBase::getChunk(void**, bool) { return 0; }
std::int32_t EffectBase::setChunk(void*, std::int32_t, bool) { return 0; }
void EffectBase::setSampleRate(float rate) {
    if (isUsableSampleRate(rate)) sampleRate = rate;
}
void EffectBase::setBlockSize(std::int32_t size) {
    if (size > 0) blockSize = size;
}
void EffectBase::suspend() {}
void EffectBase::resume() {}

void EffectBase::setUniqueId(std::int32_t id) { effectRecord.uniqueID = id; }
void EffectBase::setNumInputs(std::int32_t inputs) { effectRecord.numInputs = inputs; }
void EffectBase::setNumOutputs(std::int32_t outputs) { effectRecord.numOutputs = outputs; }
void EffectBase::setHasVu(bool state) { setFlag(effFlagsHasVu, state); }
void EffectBase::setHasClip(bool state) { setFlag(effFlagsHasClip, state); }
void EffectBase::setCanMono(bool state) { setFlag(effFlagsCanMono, state); }
void EffectBase::setCanReplacing(bool state) { setFlag(effFlagsCanReplacing, state); }
void EffectBase::setProgramsAreChunks(bool state) { setFlag(effFlagsProgramChunks, state); }
void EffectBase::setRealtimeQualities(std::int32_t q) { effectRecord.realQualities = q; }
void EffectBase::setOfflineQualities(std::int32_t q) { effectRecord.offQualities = q; }
void EffectBase::setInitialDelay(std::int32_t delay) { effectRecord.initialDelay = delay; }
std::int32_t EffectBase::editorRect(ERect** rect) {
    EditorRect* area = nullptr;
    if (rect == nullptr) return 0;
    if (editor == nullptr || editor->getRect(&area) == 0) return 0;
    if (area == nullptr) {
        *rect = nullptr;
        return 1;
    }
    editorArea = {area->top, area->left, area->bottom, area->right};
    *rect = &editorArea;
    return 1;
}

float EffectBase::getSampleRate() { return sampleRate; }
std::int32_t EffectBase::getBlockSize() { return blockSize; }

std::int32_t EffectBase::getHostVersion() {
    auto answer = static_cast<std::int32_t>(callHost(audioMasterVersion, 0, 0, nullptr, 0.0f, 1));
    return answer == 0 ? 1 : answer;
}

std::int32_t EffectBase::getHostCurrentId() {
    return static_cast<std::int32_t>(callHost(audioMasterCurrentId));
}

void EffectBase::hostIdle() { callHost(audioMasterIdle); }

bool EffectBase::isInputConnected(std::int32_t input) {
    return callHost(audioMasterPinConnected, input, 0) == 0;
}

bool EffectBase::isOutputConnected(std::int32_t output) {
    return callHost(audioMasterPinConnected, output, 1) == 0;
}

void EffectBase::decibelsToText(float value, char* text) { tesk::decibelsToText(value, text); }
void EffectBase::samplesToHertzText(float samples, char* text) {
    tesk::samplesToHertzText(samples, sampleRate, text);
}
void EffectBase::samplesToMillisecondsText(float samples, char* text) {
    tesk::samplesToMillisecondsText(samples, sampleRate, text);
}
void EffectBase::floatToText(float value, char* text) { tesk::floatToText(value, text); }
void EffectBase::integerToText(std::int32_t value, char* text) { tesk::integerToText(value, text); }

} // namespace tesk
