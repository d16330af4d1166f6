// A small VST 2 host: loads a module, answers the plug-in's callback the way a
// real host does (or as a test scripts it), and drives an instance through its
// effect record. Used by tesk-render, the validator and the test suite.
#pragma once

#include "vst2.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vsthost {

/// A loaded module and its entry point. Unloads the module on destruction.
class Module {
  public:
    /// Loads `path` and finds `VSTPluginMain` (else `main`). On failure returns
    /// null and puts a sentence for the user into `error`.
    static std::unique_ptr<Module> load(const std::string& path, std::string& error);
    /// A module whose code is linked into this program, reached through `entry`.
    static std::unique_ptr<Module> linked(VstPluginMainProc entry, std::string description);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    VstPluginMainProc entry() const { return entry_; }
    const std::string& entryName() const { return entryName_; }
    const std::string& path() const { return path_; }

  private:
    Module(void* handle, VstPluginMainProc entry, std::string entryName, std::string path);
    void* handle_;
    VstPluginMainProc entry_;
    std::string entryName_;
    std::string path_;
};

/// One audioMasterAutomate (value), audioMasterBeginEdit (begin) or
/// audioMasterEndEdit (end) call as the host saw it, in the order they came.
struct AutomationEvent {
    enum class Kind { value, begin, end };
    std::int32_t index;
    float value;
    Kind kind = Kind::value;
};

/// One call of the host callback, recorded when `HostState::recordCalls` is set.
struct CallbackCall {
    std::int32_t opcode;
    std::int32_t index;
    VstIntPtr value;
    bool hadPtr;
    float opt;
};

/// What the host answers, and what it has seen. A test sets the answers before
/// creating the instance; the render tool sets the transport.
struct HostState {
    std::int32_t versionAnswer = 2400;
    /// Answer audioMasterGetTime with `timeInfo`; without it the answer is null.
    bool provideTime = true;
    VstTimeInfo timeInfo{};
    double sampleRate = 44100.0;
    std::int32_t blockSize = 512;
    bool verbose = false;     ///< log automation and unusual requests to stderr
    bool recordCalls = false; ///< keep every callback call in `calls`
    /// Answers to audioMasterCanDo, in addition to the built-in ones.
    std::vector<std::string> canDo{"sendVstEvents",    "sendVstMidiEvent",    "sendVstTimeInfo",
                                   "receiveVstEvents", "receiveVstMidiEvent", "supplyIdle",
                                   "sizeWindow",       "startStopProcess"};
    /// A test may take over any opcode; returning nullopt falls back to the default answer.
    std::function<std::optional<VstIntPtr>(AEffect*, std::int32_t, std::int32_t, VstIntPtr, void*,
                                           float)>
        override;

    HostState();
    /// Sets tempo, sample rate and a playing transport at sample position 0, 4/4.
    void setTransport(double tempo, double rate);
    /// Moves the transport on by `frames` samples, keeping PPQ and bar positions in step.
    void advance(std::int32_t frames);

    /// The automated values, without the gesture brackets.
    std::vector<AutomationEvent> automation() const;
    /// The automated values with the gesture brackets around them.
    std::vector<AutomationEvent> gestures() const;
    std::vector<CallbackCall> calls() const;
    void clearLog();

    // Called from the static callback; any thread.
    VstIntPtr answer(AEffect* effect, std::int32_t opcode, std::int32_t index, VstIntPtr value,
                     void* ptr, float opt);

  private:
    mutable std::mutex logMutex_;
    std::vector<AutomationEvent> automation_;
    std::vector<CallbackCall> calls_;
};

/// One plug-in instance made through the module's entry. Closes it with
/// effClose on destruction.
class Instance {
  public:
    /// Calls the entry with our callback. Returns null when the entry gives no record
    /// or the record does not carry the VST 2 magic; `error` then says why.
    static std::unique_ptr<Instance> create(const Module& module, HostState& host,
                                            std::string& error);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    AEffect* effect() const { return effect_; }
    HostState& host() const { return host_; }

    VstIntPtr dispatch(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) const;
    void process(float** inputs, float** outputs, std::int32_t frames) const;
    void processReplacing(float** inputs, float** outputs, std::int32_t frames) const;
    void setParameter(std::int32_t index, float value) const;
    float getParameter(std::int32_t index) const;

    /// Text answers of the dispatcher, read into a generous zeroed buffer.
    std::string text(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0) const;
    std::string parameterName(std::int32_t index) const { return text(effGetParamName, index); }
    std::string parameterLabel(std::int32_t index) const { return text(effGetParamLabel, index); }
    std::string parameterDisplay(std::int32_t index) const {
        return text(effGetParamDisplay, index);
    }
    std::string programName() const { return text(effGetProgramName); }

    /// effOpen, sample rate, block size and effMainsChanged 1, as hosts start a plug-in.
    void start(double sampleRate, std::int32_t blockSize) const;
    /// effMainsChanged 0.
    void stop() const;

    /// Closes now (effClose) and returns the dispatcher's answer; the
    /// destructor then does nothing. 0 when already closed.
    VstIntPtr close();

  private:
    Instance(AEffect* effect, HostState& host) : effect_(effect), host_(host) {}
    AEffect* effect_;
    HostState& host_;
};

/// The callback every instance made here receives.
VstIntPtr VSTCALL hostCallback(AEffect* effect, std::int32_t opcode, std::int32_t index,
                               VstIntPtr value, void* ptr, float opt);

} // namespace vsthost
