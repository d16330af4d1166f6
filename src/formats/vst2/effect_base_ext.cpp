#include "effect_base_ext.h"

#include <cmath>
#include <cstddef>
#include <cstdlib>
#include <cstring>

namespace tesk {

namespace {

// As in the base: opcodes whose `ptr` is a text or record to read or write.
bool needsPointer(std::int32_t opcode) {
    switch (opcode) {
    case effString2Parameter:
    case effGetProgramNameIndexed:
    case effGetInputProperties:
    case effGetOutputProperties:
    case effGetEffectName:
    case effGetErrorText:
    case effGetVendorString:
    case effGetProductString:
    case effCanDo:
    case effGetParameterProperties:
    case effGetMidiProgramName:
    case effGetMidiProgramCategory:
    case effGetMidiKeyName:
    case effGetSpeakerArrangement:
    case effShellGetNextPlugin:
    case effBeginLoadBank:
    case effBeginLoadProgram:
        return true;
    default:
        return false;
    }
}

// The key record the editor's key operations take, from the opcode's arguments.
gui::VstKeyCode keyCodeOf(std::int32_t index, VstIntPtr value, float opt) {
    gui::VstKeyCode key{};
    key.character = index;
    key.virt = static_cast<std::uint8_t>(value & 0xFF);
    const bool usable = std::isfinite(opt) && std::fabs(opt) < 2147483647.0f;
    key.modifier = usable ? static_cast<std::uint8_t>(static_cast<std::int32_t>(opt) & 0xFF) : 0;
    return key;
}

std::size_t arrangementBytes(std::int32_t channels) {
    std::size_t wanted = offsetof(VstSpeakerArrangement, speakers) +
                         static_cast<std::size_t>(channels) * sizeof(VstSpeakerProperties);
    return wanted < sizeof(VstSpeakerArrangement) ? sizeof(VstSpeakerArrangement) : wanted;
}

} // namespace

EffectBaseExt::EffectBaseExt(audioMasterCallback hostCallback, std::int32_t numPrograms,
                             std::int32_t numParams)
    : EffectBase(hostCallback, numPrograms, numParams) {}

VstIntPtr EffectBaseExt::dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value,
                                  void* ptr, float opt) {
    if (opcode < effProcessEvents || opcode > effBeginLoadProgram)
        return EffectBase::dispatch(opcode, index, value, ptr, opt);
    if (ptr == nullptr && needsPointer(opcode)) return 0;

    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effProcessEvents: processEvents(static_cast<VstEvents*>(ptr)); return 0;
    case effCanBeAutomated: return canBeAutomated(index) ? 1 : 0;
    case effString2Parameter: return textToParameter(index, text) ? 1 : 0;
    case effGetNumProgramCategories: return getNumCategories();
    case effGetProgramNameIndexed:
        return getProgramNameIndexed(static_cast<std::int32_t>(value), index, text) ? 1 : 0;
    case effCopyProgram: return copyProgram(index) ? 1 : 0;
    case effConnectInput: inputConnected(index, value != 0); return 1;
    case effConnectOutput: outputConnected(index, value != 0); return 1;
    case effGetInputProperties:
        return getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effGetCurrentPosition: reportCurrentPosition(); return 0;
    case effGetDestinationBuffer: reportDestinationBuffer(); return 0;
    case effOfflineNotify:
        offlineNotify(static_cast<VstAudioFile*>(ptr), static_cast<std::int32_t>(value), index != 0);
        return 0;
    case effOfflinePrepare:
        offlinePrepare(static_cast<VstOfflineTask*>(ptr), static_cast<std::int32_t>(value));
        return 0;
    case effOfflineRun:
        offlineRun(static_cast<VstOfflineTask*>(ptr), static_cast<std::int32_t>(value));
        return 0;
    case effProcessVarIo: processVariableIo(static_cast<VstVariableIo*>(ptr)); return 0;
    case effSetSpeakerArrangement:
        setSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement*>(value),
                              static_cast<VstSpeakerArrangement*>(ptr));
        return 0;
    case effSetBlockSizeAndSampleRate:
        setBlockSizeAndSampleRate(blockSizeOf(value), opt);
        return 1;
    case effSetBypass: setBypass(value != 0); return 0;
    case effGetEffectName: return getEffectName(text) ? 1 : 0;
    case effGetErrorText: getErrorText(text); return 0;
    case effGetVendorString: return getVendorString(text) ? 1 : 0;
    case effGetProductString: return getProductString(text) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: vendorSpecific(index, value, ptr, opt); return 0;
    case effCanDo: canDo(text); return 0;
    case effGetTailSize: getTailSize(); return 0;
    case effIdle: effectIdle(); return 0;
    case effGetIcon: getIcon(); return 0;
    case effSetViewPosition: setViewPosition(index, static_cast<std::int32_t>(value)); return 0;
    case effGetParameterProperties:
        getParameterProperties(index, static_cast<VstParameterProperties*>(ptr));
        return 0;
    case effKeysRequired: return keysRequired() ? 0 : 1;
    case effGetVstVersion: return getVstVersion();
    case effEditKeyDown:
    case effEditKeyUp: {
        if (editor == nullptr) return 0;
        gui::VstKeyCode key = keyCodeOf(index, value, opt);
        return opcode == effEditKeyDown ? editor->onKeyDown(key) : editor->onKeyUp(key);
    }
    case effSetEditKnobMode:
        return editor != nullptr ? editor->setKnobMode(static_cast<std::int32_t>(value)) : 0;
    case effGetMidiProgramName:
        getMidiProgramName(index, static_cast<MidiProgramName*>(ptr));
        return 0;
    case effGetCurrentMidiProgram:
        return getCurrentMidiProgram(index, static_cast<MidiProgramName*>(ptr));
    case effGetMidiProgramCategory:
        getMidiProgramCategory(index, static_cast<MidiProgramCategory*>(ptr));
        return 0;
    case effHasMidiProgramsChanged: hasMidiProgramsChanged(index); return 0;
    case effGetMidiKeyName: getMidiKeyName(index, static_cast<MidiKeyName*>(ptr)); return 0;
    case effBeginSetProgram: beginSetProgram(); return 0;
    case effEndSetProgram: endSetProgram(); return 0;
    case effGetSpeakerArrangement:
        getSpeakerArrangement(reinterpret_cast<VstSpeakerArrangement**>(value),
                              static_cast<VstSpeakerArrangement**>(ptr));
        return 0;
    case effShellGetNextPlugin: getNextShellPlugin(text); return 0;
    case effStartProcess: startProcess(); return 0;
    case effStopProcess: stopProcess(); return 0;
    case effSetTotalSampleToProcess:
        return setTotalSampleToProcess(static_cast<std::int32_t>(value));
    case effSetPanLaw: setPanLaw(static_cast<std::int32_t>(value), opt); return 0;
    case effBeginLoadBank: beginLoadBank(static_cast<VstPatchChunkInfo*>(ptr)); return 0;
    case effBeginLoadProgram: beginLoadProgram(static_cast<VstPatchChunkInfo*>(ptr)); return 0;
    default: return 0;
    }
}

// ---- defaults of the effect-side operations

EditorInterface* EffectBaseExt::getEditor() { return editor; }
std::int32_t EffectBaseExt::processEvents(VstEvents*) { return 0; }
bool EffectBaseExt::canBeAutomated(std::int32_t) { return true; }
bool EffectBaseExt::textToParameter(std::int32_t, char*) { return false; }
float EffectBaseExt::getChannelParameter(std::int32_t, std::int32_t) { return 0.0f; }
std::int32_t EffectBaseExt::getNumCategories() { return 1; }
bool EffectBaseExt::getProgramNameIndexed(std::int32_t, std::int32_t, char*) { return false; }
bool EffectBaseExt::copyProgram(std::int32_t) { return false; }
void EffectBaseExt::inputConnected(std::int32_t, bool) {}
void EffectBaseExt::outputConnected(std::int32_t, bool) {}
bool EffectBaseExt::getInputProperties(std::int32_t, VstPinProperties*) { return false; }
bool EffectBaseExt::getOutputProperties(std::int32_t, VstPinProperties*) { return false; }
std::int32_t EffectBaseExt::getPlugCategory() {
    return (effectRecord.flags & effFlagsIsSynth) != 0 ? 2 : 0;
}
void EffectBaseExt::setWantAsyncOperation(bool state) { setFlag(effFlagsExtIsAsync, state); }
void EffectBaseExt::setHasExternalBuffer(bool state) { setFlag(effFlagsExtHasBuffer, state); }
std::int32_t EffectBaseExt::reportCurrentPosition() { return 0; }
float* EffectBaseExt::reportDestinationBuffer() { return nullptr; }
bool EffectBaseExt::offlineNotify(VstAudioFile*, std::int32_t, bool) { return false; }
bool EffectBaseExt::offlinePrepare(VstOfflineTask*, std::int32_t) { return false; }
bool EffectBaseExt::offlineRun(VstOfflineTask*, std::int32_t) { return false; }
std::int32_t EffectBaseExt::offlineGetNumPasses() { return 0; }
std::int32_t EffectBaseExt::offlineGetNumMetaPasses() { return 0; }
void EffectBaseExt::setIsSynth(bool state) { setFlag(effFlagsIsSynth, state); }
void EffectBaseExt::setNoTail(bool state) { setFlag(effFlagsNoSoundInStop, state); }
bool EffectBaseExt::processVariableIo(VstVariableIo*) { return false; }
bool EffectBaseExt::setSpeakerArrangement(VstSpeakerArrangement*, VstSpeakerArrangement*) {
    return false;
}
bool EffectBaseExt::getSpeakerArrangement(VstSpeakerArrangement** input,
                                          VstSpeakerArrangement** output) {
    if (input != nullptr) *input = nullptr;
    if (output != nullptr) *output = nullptr;
    return false;
}
void EffectBaseExt::setBlockSizeAndSampleRate(std::int32_t size, float rate) {
    // Only the announced values; the effect's buffers follow effSetSampleRate alone.
    if (size > 0) blockSize = size;
    if (isUsableSampleRate(rate)) sampleRate = rate;
}
bool EffectBaseExt::setBypass(bool) { return false; }
bool EffectBaseExt::getEffectName(char*) { return false; }
bool EffectBaseExt::getErrorText(char*) { return false; }
bool EffectBaseExt::getVendorString(char*) { return false; }
bool EffectBaseExt::getProductString(char*) { return false; }
std::int32_t EffectBaseExt::getVendorVersion() { return 0; }
VstIntPtr EffectBaseExt::vendorSpecific(std::int32_t, VstIntPtr, void*, float) { return 0; }
std::int32_t EffectBaseExt::canDo(char*) { return 0; }
void* EffectBaseExt::getIcon() { return nullptr; }
bool EffectBaseExt::setViewPosition(std::int32_t, std::int32_t) { return false; }
std::int32_t EffectBaseExt::getTailSize() { return 0; }
std::int32_t EffectBaseExt::effectIdle() { return 0; }
bool EffectBaseExt::getParameterProperties(std::int32_t, VstParameterProperties*) { return false; }
bool EffectBaseExt::keysRequired() { return false; }
std::int32_t EffectBaseExt::getVstVersion() { return 2300; }
std::int32_t EffectBaseExt::getMidiProgramName(std::int32_t, MidiProgramName*) { return 0; }
std::int32_t EffectBaseExt::getCurrentMidiProgram(std::int32_t, MidiProgramName*) { return -1; }
std::int32_t EffectBaseExt::getMidiProgramCategory(std::int32_t, MidiProgramCategory*) {
    return 0;
}
bool EffectBaseExt::hasMidiProgramsChanged(std::int32_t) { return false; }
bool EffectBaseExt::getMidiKeyName(std::int32_t, MidiKeyName*) { return false; }
bool EffectBaseExt::beginSetProgram() { return false; }
bool EffectBaseExt::endSetProgram() { return false; }
std::int32_t EffectBaseExt::setTotalSampleToProcess(std::int32_t value) { return value; }
std::int32_t EffectBaseExt::getNextShellPlugin(char*) { return 0; }
std::int32_t EffectBaseExt::startProcess() { return 0; }
std::int32_t EffectBaseExt::stopProcess() { return 0; }
bool EffectBaseExt::setPanLaw(std::int32_t, float) { return false; }
std::int32_t EffectBaseExt::beginLoadBank(VstPatchChunkInfo*) { return 0; }
std::int32_t EffectBaseExt::beginLoadProgram(VstPatchChunkInfo*) { return 0; }

// ---- speaker arrangements

bool EffectBaseExt::allocateArrangement(VstSpeakerArrangement** arrangement,
                                        std::int32_t channels) {
    if (arrangement == nullptr || channels < 0) return false;
    std::free(*arrangement);
    *arrangement = static_cast<VstSpeakerArrangement*>(std::calloc(1, arrangementBytes(channels)));
    if (*arrangement == nullptr) return false;
    (*arrangement)->numChannels = channels;
    return true;
}

bool EffectBaseExt::deallocateArrangement(VstSpeakerArrangement** arrangement) {
    if (arrangement == nullptr) return false;
    std::free(*arrangement);
    *arrangement = nullptr;
    return true;
}

bool EffectBaseExt::copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from) {
    if (to == nullptr || from == nullptr) return false;
    std::memcpy(to->name, from->name, sizeof to->name);
    to->type = from->type;
    to->azimuth = from->azimuth;
    to->elevation = from->elevation;
    to->radius = from->radius;
    to->reserved = from->reserved;
    std::memcpy(to->future, from->future, sizeof to->future);
    return true;
}

bool EffectBaseExt::matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from) {
    if (from == nullptr) return false;
    if (!deallocateArrangement(to) || !allocateArrangement(to, from->numChannels)) return false;
    (*to)->type = from->type;
    // Arrangements run past their declared eight speakers: walk them by pointer.
    VstSpeakerProperties* target = (*to)->speakers;
    VstSpeakerProperties* source = from->speakers;
    for (std::int32_t i = 0; i < from->numChannels; ++i) {
        if (!copySpeaker(target + i, source + i)) return false;
    }
    return true;
}

} // namespace tesk
