// The requests an effect makes of its host, one operation each, so that no
// other code builds a callback call by hand. Without a host callback each
// answers what a host that knows nothing would.
#include "effect_base_ext.h"

namespace tesk {

namespace {

bool nonZero(VstIntPtr answer) { return answer != 0; }

} // namespace

std::int32_t EffectBaseExt::wantEvents(std::int32_t filter) {
    return static_cast<std::int32_t>(callHost(audioMasterWantMidi, 0, filter));
}

VstTimeInfo* EffectBaseExt::getTimeInfo(std::int32_t mask) {
    return reinterpret_cast<VstTimeInfo*>(callHost(audioMasterGetTime, 0, mask));
}

std::int32_t EffectBaseExt::getHostTempoAt(std::int32_t position) {
    return static_cast<std::int32_t>(callHost(audioMasterTempoAt, 0, position));
}

std::int32_t EffectBaseExt::getNumAutomatableParameters() {
    return static_cast<std::int32_t>(callHost(audioMasterGetNumAutomatableParameters));
}

std::int32_t EffectBaseExt::getParameterQuantization() {
    return static_cast<std::int32_t>(callHost(audioMasterGetParameterQuantization));
}

bool EffectBaseExt::ioChanged() { return nonZero(callHost(audioMasterIOChanged)); }
bool EffectBaseExt::needIdle() { return nonZero(callHost(audioMasterNeedIdle)); }

bool EffectBaseExt::sizeWindow(std::int32_t width, std::int32_t height) {
    return nonZero(callHost(audioMasterSizeWindow, width, height));
}

float EffectBaseExt::updateSampleRate() {
    VstIntPtr answer = callHost(audioMasterGetSampleRate);
    if (answer > 0) sampleRate = static_cast<float>(answer);
    return sampleRate;
}

std::int32_t EffectBaseExt::updateBlockSize() {
    VstIntPtr answer = callHost(audioMasterGetBlockSize);
    if (answer > 0 && answer <= INT32_MAX) blockSize = static_cast<std::int32_t>(answer);
    return blockSize;
}

std::int32_t EffectBaseExt::getInputLatency() {
    return static_cast<std::int32_t>(callHost(audioMasterGetInputLatency));
}

std::int32_t EffectBaseExt::getOutputLatency() {
    return static_cast<std::int32_t>(callHost(audioMasterGetOutputLatency));
}

AEffect* EffectBaseExt::getPreviousPlug(std::int32_t) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug));
}

AEffect* EffectBaseExt::getNextPlug(std::int32_t) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug));
}

std::int32_t EffectBaseExt::willProcessReplacing() {
    return static_cast<std::int32_t>(callHost(audioMasterWillReplaceOrAccumulate));
}

std::int32_t EffectBaseExt::getCurrentProcessLevel() {
    return static_cast<std::int32_t>(callHost(audioMasterGetCurrentProcessLevel));
}

std::int32_t EffectBaseExt::getAutomationState() {
    return static_cast<std::int32_t>(callHost(audioMasterGetAutomationState));
}

bool EffectBaseExt::offlineStart(VstAudioFile* files, std::int32_t count, std::int32_t newCount) {
    return nonZero(callHost(audioMasterOfflineStart, newCount, count, files));
}

bool EffectBaseExt::offlineRead(VstOfflineTask* offline, std::int32_t option, bool readSource) {
    return nonZero(callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, offline));
}

bool EffectBaseExt::offlineWrite(VstOfflineTask* offline, std::int32_t option) {
    return nonZero(callHost(audioMasterOfflineWrite, 0, option, offline));
}

bool EffectBaseExt::offlineGetCurrentPass() {
    return nonZero(callHost(audioMasterOfflineGetCurrentPass));
}

bool EffectBaseExt::offlineGetCurrentMetaPass() {
    return nonZero(callHost(audioMasterOfflineGetCurrentMetaPass));
}

std::int32_t EffectBaseExt::setOutputSampleRate(float rate) {
    return static_cast<std::int32_t>(callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate));
}

VstSpeakerArrangement* EffectBaseExt::getInputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetInputSpeakerArrangement));
}

VstSpeakerArrangement* EffectBaseExt::getOutputSpeakerArrangement() {
    return reinterpret_cast<VstSpeakerArrangement*>(
        callHost(audioMasterGetOutputSpeakerArrangement));
}

bool EffectBaseExt::getHostVendorString(char* text) {
    return nonZero(callHost(audioMasterGetVendorString, 0, 0, text));
}

bool EffectBaseExt::getHostProductString(char* text) {
    return nonZero(callHost(audioMasterGetProductString, 0, 0, text));
}

std::int32_t EffectBaseExt::getHostVendorVersion() {
    return static_cast<std::int32_t>(callHost(audioMasterGetVendorVersion));
}

VstIntPtr EffectBaseExt::hostVendorSpecific(std::int32_t index, VstIntPtr value, void* ptr,
                                            float opt) {
    return callHost(audioMasterVendorSpecific, index, value, ptr, opt);
}

bool EffectBaseExt::hostCanDo(char* text) {
    return nonZero(callHost(audioMasterCanDo, 0, 0, text));
}

std::int32_t EffectBaseExt::getHostLanguage() {
    return static_cast<std::int32_t>(callHost(audioMasterGetLanguage));
}

void* EffectBaseExt::openWindow(void* window) {
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window));
}

bool EffectBaseExt::closeWindow(void* window) {
    return nonZero(callHost(audioMasterCloseWindow, 0, 0, window));
}

void* EffectBaseExt::getDirectory() {
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory));
}

bool EffectBaseExt::updateDisplay() { return nonZero(callHost(audioMasterUpdateDisplay)); }

bool EffectBaseExt::beginEdit(std::int32_t index) {
    return nonZero(callHost(audioMasterBeginEdit, index));
}

bool EffectBaseExt::endEdit(std::int32_t index) {
    return nonZero(callHost(audioMasterEndEdit, index));
}

bool EffectBaseExt::openFileSelector(VstFileSelect* selector) {
    if (selector == nullptr) return false;
    return nonZero(callHost(audioMasterOpenFileSelector, 0, 0, selector));
}

} // namespace tesk
