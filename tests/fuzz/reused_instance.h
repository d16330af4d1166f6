// One instance of the module, made through its entry by the project's VST 2 host
// (tools/vsthost) and used for every input of the fuzzing process, with the host
// it talks to.
//
// Making an instance costs milliseconds under AddressSanitizer (four seconds of
// delay memory per line at 44.1 kHz, cleared, and the editor's background picture
// decoded): nearly all of an input's time if each input made its own. So the
// instance is made once, and begin() puts back, through the module's own
// operations, everything an input can change:
// - the programs: a parameter or name change writes to the program current at the
//   time, so every program that was current during the input gets its values and
//   name back, and is then checked against the values taken when the instance was
//   new; when the check fails the instance is made anew instead;
// - the current program (0, as a new instance has) and with it every decoded value
//   the engine holds;
// - the delay memory and the heads: the sample rate is set again (the input picks
//   it), which makes the memory anew and silent and puts the heads where a new
//   instance has them; effMainsChanged off and on around it;
// - the block size, the knob mode, and the editor (closed by end());
// - the host's answers (transport at 120 bpm, time given) and its log.
// What stays are the filters' last two samples per line (always finite: the
// engine resets lanes that are not) and the meter level: they colour the audio
// of the next input's first samples, but no call a host makes depends on them.
// An input therefore behaves the same whatever ran before it, and a crash it
// causes reproduces when it is run alone.
#pragma once

#include "fuzz_input.h"
#include "vst_host.h"

#include <memory>
#include <string>
#include <vector>

namespace tesk::fuzz {

/// The module a fuzzer makes its instances from, loaded once for the process and
/// never unloaded (libFuzzer reads its coverage counters to the end). Each fuzzer
/// links one definition: linked_module.cpp, the module's code linked into the
/// fuzzer, or loaded_module.cpp, the built TeskDelay.so as hosts load it.
const vsthost::Module& fuzzedModule();

class ReusedInstance {
  public:
    /// Makes the instance from `module` and notes its programs as they are when new.
    explicit ReusedInstance(const vsthost::Module& module);
    ReusedInstance(const ReusedInstance&) = delete;
    ReusedInstance& operator=(const ReusedInstance&) = delete;

    AEffect* effect() const { return instance_->effect(); }
    /// The host's answers; inputs change its transport, begin() resets it.
    vsthost::HostState& host() { return host_; }
    VstIntPtr dispatch(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f) const {
        return instance_->dispatch(opcode, index, value, ptr, opt);
    }

    /// Puts the instance back as it was when new, then sets the sample rate and
    /// block size `in` chooses and switches it on.
    void begin(FuzzInput& in);
    /// Closes the editor and switches the instance off: what the input made, it
    /// also lets go of, so libFuzzer sees no memory kept from one input to the next.
    void end();
    /// Notes the program now current as one the input may have changed; call after
    /// every call the input makes.
    void noteProgram();

  private:
    struct Program {
        std::vector<float> values;
        std::string name;
        bool operator==(const Program&) const = default;
    };

    void make();
    void resetHost();
    std::string programName() const;
    Program current() const;
    /// Gives the current program `wanted`'s values and name; false when it still
    /// differs afterwards.
    bool restoreCurrent(const Program& wanted);
    /// Gives every program the input made current its values and name back and
    /// loads program 0; false when one of them still differs afterwards.
    bool restorePrograms();

    const vsthost::Module& module_;
    vsthost::HostState host_;
    std::unique_ptr<vsthost::Instance> instance_;
    std::vector<Program> whenNew_;
    std::vector<bool> touched_;
};

} // namespace tesk::fuzz
