#include "plugin.h"

#include "context.h"

#include <cmath>

namespace tesk::validate {

namespace {

/// The rate the host reports: the plug-in's own if it is one a host could run at.
bool isRealRate(double rate) {
    return std::isfinite(rate) && rate >= 1000.0 && rate <= 1e6;
}

} // namespace

Plugin::Plugin(std::shared_ptr<const vsthost::Module> module,
               std::unique_ptr<vsthost::HostState> host,
               std::unique_ptr<vsthost::Instance> instance)
    : module_(std::move(module)), host_(std::move(host)), instance_(std::move(instance)) {}

std::shared_ptr<const vsthost::Module> Plugin::load(const std::string& path) {
    std::string error;
    std::shared_ptr<const vsthost::Module> module = vsthost::Module::load(path, error);
    if (module == nullptr) fail(error);
    return module;
}

std::unique_ptr<Plugin> Plugin::open(std::shared_ptr<const vsthost::Module> module) {
    auto host = std::make_unique<vsthost::HostState>();
    std::string error;
    std::unique_ptr<vsthost::Instance> instance = vsthost::Instance::create(*module, *host, error);
    if (instance == nullptr) fail(error);
    return std::unique_ptr<Plugin>(
        new Plugin(std::move(module), std::move(host), std::move(instance)));
}

void Plugin::start(double rate, int blockSize) {
    instance_->dispatch(effOpen);
    configure(rate, blockSize);
    switchOn();
}

void Plugin::restart(double rate, int blockSize) {
    switchOff();
    configure(rate, blockSize);
    switchOn();
}

void Plugin::configure(double rate, int blockSize) {
    if (isRealRate(rate)) host_->setTransport(120.0, rate);
    host_->blockSize = blockSize;
    instance_->dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    instance_->dispatch(effSetBlockSize, 0, blockSize);
}

void Plugin::switchOn() {
    instance_->dispatch(effMainsChanged, 0, 1);
    instance_->dispatch(effStartProcess);
}

void Plugin::switchOff() {
    instance_->dispatch(effStopProcess);
    instance_->dispatch(effMainsChanged, 0, 0);
}

void Plugin::process(AudioBuffers& buffers, int frames, Signal signal, std::mt19937_64& random) {
    buffers.prepare(frames, signal, random);
    processPrepared(buffers, frames);
}

void Plugin::processPrepared(AudioBuffers& buffers, int frames) {
    const AEffect& record = effect();
    if ((record.flags & effFlagsCanReplacing) != 0 && record.processReplacing != nullptr) {
        instance_->processReplacing(buffers.inputs(), buffers.outputs(), frames);
    } else if (record.process != nullptr) {
        instance_->process(buffers.inputs(), buffers.outputs(), frames);
    } else {
        fail("the record offers neither processReplacing nor process");
    }
    host_->advance(frames);
}

} // namespace tesk::validate
