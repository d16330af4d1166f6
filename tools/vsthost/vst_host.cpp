#include "vst_host.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iterator>

namespace vsthost {

namespace {

// The plug-in's constructor calls back before the host has seen its record,
// so the host making an instance is found through this while `main` runs.
thread_local HostState* tCreatingHost = nullptr;

HostState* hostOf(AEffect* effect) {
    if (effect != nullptr && effect->user != nullptr) return static_cast<HostState*>(effect->user);
    return tCreatingHost;
}

} // namespace

// ---------------------------------------------------------------- Module

Module::Module(void* handle, VstPluginMainProc entry, std::string entryName, std::string path)
    : handle_(handle), entry_(entry), entryName_(std::move(entryName)), path_(std::move(path)) {}

namespace {

// The system's loader, behind three calls.
#if defined(_WIN32)
void* openLibrary(const std::string& path, std::string& why) {
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) why = "system error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(handle);
}
void* findSymbol(void* handle, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeLibrary(void* handle) {
    FreeLibrary(static_cast<HMODULE>(handle));
}
#else
void* openLibrary(const std::string& path, std::string& why) {
    // A bare file name would make dlopen search the library path instead.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* message = dlerror();
        why = message != nullptr ? message : "unknown error";
    }
    return handle;
}
void* findSymbol(void* handle, const char* name) {
    return dlsym(handle, name);
}
void closeLibrary(void* handle) {
    dlclose(handle);
}
#endif

} // namespace

std::unique_ptr<Module> Module::linked(VstPluginMainProc entry, std::string description) {
    return std::unique_ptr<Module>(
        new Module(nullptr, entry, "VSTPluginMain", std::move(description)));
}

Module::~Module() {
    if (handle_ != nullptr) closeLibrary(handle_);
}

std::unique_ptr<Module> Module::load(const std::string& path, std::string& error) {
    std::string why;
    void* handle = openLibrary(path, why);
    if (handle == nullptr) {
        error = "cannot load '" + path + "': " + why;
        return nullptr;
    }
    for (const char* name : {"VSTPluginMain", "main"}) {
        if (void* symbol = findSymbol(handle, name)) {
            return std::unique_ptr<Module>(
                new Module(handle, reinterpret_cast<VstPluginMainProc>(symbol), name, path));
        }
    }
    closeLibrary(handle);
    error = "'" + path + "' is not a VST 2 module: it exports neither VSTPluginMain nor main";
    return nullptr;
}

// ---------------------------------------------------------------- HostState

HostState::HostState() {
    setTransport(120.0, 44100.0);
}

void HostState::setTransport(double tempo, double rate) {
    sampleRate = rate;
    timeInfo = VstTimeInfo{};
    timeInfo.sampleRate = rate;
    timeInfo.tempo = tempo;
    timeInfo.timeSigNumerator = 4;
    timeInfo.timeSigDenominator = 4;
    timeInfo.flags = kVstTransportPlaying | kVstPpqPosValid | kVstTempoValid | kVstBarsValid |
                     kVstTimeSigValid | kVstNanosValid;
}

void HostState::advance(std::int32_t frames) {
    timeInfo.samplePos += frames;
    if (timeInfo.sampleRate > 0.0 && std::isfinite(timeInfo.tempo)) {
        double seconds = timeInfo.samplePos / timeInfo.sampleRate;
        timeInfo.nanoSeconds = seconds * 1e9;
        timeInfo.ppqPos = seconds * timeInfo.tempo / 60.0;
        double beatsPerBar = timeInfo.timeSigDenominator > 0
                                 ? timeInfo.timeSigNumerator * 4.0 / timeInfo.timeSigDenominator
                                 : 4.0;
        timeInfo.barStartPos = std::floor(timeInfo.ppqPos / beatsPerBar) * beatsPerBar;
    }
}

std::vector<AutomationEvent> HostState::automation() const {
    std::lock_guard lock(logMutex_);
    std::vector<AutomationEvent> values;
    std::copy_if(automation_.begin(), automation_.end(), std::back_inserter(values),
                 [](const AutomationEvent& e) { return e.kind == AutomationEvent::Kind::value; });
    return values;
}

std::vector<AutomationEvent> HostState::gestures() const {
    std::lock_guard lock(logMutex_);
    return automation_;
}

std::vector<CallbackCall> HostState::calls() const {
    std::lock_guard lock(logMutex_);
    return calls_;
}

void HostState::clearLog() {
    std::lock_guard lock(logMutex_);
    automation_.clear();
    calls_.clear();
}

VstIntPtr HostState::answer(AEffect* effect, std::int32_t opcode, std::int32_t index,
                            VstIntPtr value, void* ptr, float opt) {
    if (recordCalls) {
        std::lock_guard lock(logMutex_);
        calls_.push_back({opcode, index, value, ptr != nullptr, opt});
    }
    if (override) {
        if (auto answer = override(effect, opcode, index, value, ptr, opt)) return *answer;
    }
    switch (opcode) {
    case audioMasterAutomate: {
        std::lock_guard lock(logMutex_);
        automation_.push_back({index, opt});
        if (verbose) std::fprintf(stderr, "automation: parameter %d = %g\n", index, opt);
        return 0;
    }
    case audioMasterVersion:
        return versionAnswer;
    case audioMasterIdle:
        return 0;
    case audioMasterGetTime:
        return provideTime ? reinterpret_cast<VstIntPtr>(&timeInfo) : 0;
    case audioMasterGetSampleRate:
        return static_cast<VstIntPtr>(sampleRate);
    case audioMasterGetBlockSize:
        return blockSize;
    case audioMasterGetCurrentProcessLevel:
        return 4; // offline processing
    case audioMasterGetAutomationState:
        return 1; // automation off
    case audioMasterGetVendorString:
        if (ptr != nullptr) std::strcpy(static_cast<char*>(ptr), "TeskDelay project");
        return 1;
    case audioMasterGetProductString:
        if (ptr != nullptr) std::strcpy(static_cast<char*>(ptr), "tesk host");
        return 1;
    case audioMasterGetVendorVersion:
        return 1100;
    case audioMasterCanDo: {
        if (ptr == nullptr) return 0;
        const char* asked = static_cast<const char*>(ptr);
        return std::any_of(canDo.begin(), canDo.end(),
                           [asked](const std::string& c) { return c == asked; })
                   ? 1
                   : 0;
    }
    case audioMasterGetLanguage:
        return 1; // English
    case audioMasterBeginEdit:
    case audioMasterEndEdit: {
        std::lock_guard lock(logMutex_);
        automation_.push_back({index, 0.0f,
                               opcode == audioMasterBeginEdit ? AutomationEvent::Kind::begin
                                                              : AutomationEvent::Kind::end});
        return 1;
    }
    case audioMasterUpdateDisplay:
    case audioMasterIOChanged:
    case audioMasterSizeWindow:
        return 1;
    default:
        if (verbose) std::fprintf(stderr, "host: unanswered request %d\n", opcode);
        return 0;
    }
}

VstIntPtr VSTCALL hostCallback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                               VstIntPtr value, void* ptr, float opt) {
    HostState* host = hostOf(effect);
    if (host == nullptr) return opcode == audioMasterVersion ? 2400 : 0;
    return host->answer(effect, opcode, index, value, ptr, opt);
}

// ---------------------------------------------------------------- Instance

std::unique_ptr<Instance> Instance::create(const Module& module, HostState& host,
                                           std::string& error) {
    tCreatingHost = &host;
    AEffect* effect = module.entry()(hostCallback);
    tCreatingHost = nullptr;
    if (effect == nullptr) {
        error = "the plug-in '" + module.path() + "' made no instance";
        return nullptr;
    }
    if (effect->magic != kEffectMagic) {
        error = "'" + module.path() + "' returned a record without the VST 2 magic";
        return nullptr;
    }
    effect->user = &host;
    return std::unique_ptr<Instance>(new Instance(effect, host));
}

Instance::~Instance() {
    close();
}

VstIntPtr Instance::close() {
    if (effect_ == nullptr) return 0;
    AEffect* closing = effect_;
    effect_ = nullptr;
    return closing->dispatcher(closing, effClose, 0, 0, nullptr, 0.0f);
}

VstIntPtr Instance::dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                             float opt) const {
    return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

void Instance::process(float** inputs, float** outputs, std::int32_t frames) const {
    effect_->process(effect_, inputs, outputs, frames);
}

void Instance::processReplacing(float** inputs, float** outputs, std::int32_t frames) const {
    effect_->processReplacing(effect_, inputs, outputs, frames);
}

void Instance::setParameter(std::int32_t index, float value) const {
    effect_->setParameter(effect_, index, value);
}

float Instance::getParameter(std::int32_t index) const {
    return effect_->getParameter(effect_, index);
}

std::string Instance::text(std::int32_t opcode, std::int32_t index, VstIntPtr value) const {
    // Far larger than any text the interface allows: plug-ins write past the
    // documented limits (parameter names are often longer than eight).
    char buffer[512] = {};
    dispatch(opcode, index, value, buffer, 0.0f);
    buffer[sizeof buffer - 1] = '\0';
    return buffer;
}

void Instance::start(double sampleRate, std::int32_t blockSize) const {
    dispatch(effOpen);
    dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(sampleRate));
    dispatch(effSetBlockSize, 0, blockSize);
    dispatch(effMainsChanged, 0, 1);
}

void Instance::stop() const {
    dispatch(effMainsChanged, 0, 0);
}

} // namespace vsthost
