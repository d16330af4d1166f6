// A module and an instance of it, driven the way hosts drive plug-ins.
#pragma once

#include "audio.h"

#include "vst_host.h"

#include <memory>
#include <string>

namespace tesk::validate {

/// The sample rate and block size tests run at, unless they vary them.
inline constexpr double kRate = 44100.0;
inline constexpr int kBlock = 512;

/// One instance, its host answers and the module it came from.
class Plugin {
  public:
    /// Loads the module at `path`; throws Failure saying why it cannot.
    static std::shared_ptr<const vsthost::Module> load(const std::string& path);
    /// Loads the module at `path` and makes an instance; throws Failure saying why not.
    static std::unique_ptr<Plugin> open(const std::string& path) { return open(load(path)); }
    /// Makes another instance of a module already loaded; throws Failure saying why not.
    static std::unique_ptr<Plugin> open(std::shared_ptr<const vsthost::Module> module);
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    /// The loaded module, for further instances.
    std::shared_ptr<const vsthost::Module> module() const { return module_; }
    const vsthost::Instance& instance() const { return *instance_; }
    const AEffect& effect() const { return *instance_->effect(); }
    int inputs() const { return effect().numInputs; }
    int outputs() const { return effect().numOutputs; }
    int parameters() const { return effect().numParams; }
    int programs() const { return effect().numPrograms; }

    /// effOpen, then the rate, the block size, effMainsChanged 1 and effStartProcess.
    void start(double rate, int blockSize);
    /// Switches off, sets the rate and block size, and switches on again.
    void restart(double rate, int blockSize);
    /// Prepares `buffers` for `frames` frames of `signal` and makes one process
    /// call: processReplacing when the plug-in offers it, else the accumulating one.
    void process(AudioBuffers& buffers, int frames, Signal signal, std::mt19937_64& random);
    /// Makes the process call on buffers the caller prepared.
    void processPrepared(AudioBuffers& buffers, int frames);

  private:
    Plugin(std::shared_ptr<const vsthost::Module> module, std::unique_ptr<vsthost::HostState> host,
           std::unique_ptr<vsthost::Instance> instance);
    void configure(double rate, int blockSize);
    void switchOn();
    void switchOff();

    std::shared_ptr<const vsthost::Module> module_;
    std::unique_ptr<vsthost::HostState> host_;
    std::unique_ptr<vsthost::Instance> instance_; ///< closed before the module unloads
};

} // namespace tesk::validate
