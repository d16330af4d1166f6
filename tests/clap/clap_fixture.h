// Test support: TeskDelay.clap loaded through our CLAP host, instances made
// and run as a host runs them, and renders comparable with the VST 2 module's.
#pragma once

#include "clap_host.h"
#include "plugin_fixture.h"

#include <functional>
#include <memory>
#include <vector>

namespace tesk::test {

/// The built CLAP module, loaded once for the whole test program.
const claphost::Module& clapModule();

/// One initialised instance with its own host.
class ClapPlugin {
  public:
    /// Makes an instance; `configure` may change what the host offers first.
    explicit ClapPlugin(const std::function<void(claphost::HostState&)>& configure = {});
    claphost::Instance& operator*() const { return *instance_; }
    claphost::Instance* operator->() const { return instance_.get(); }
    claphost::HostState& host() { return *host_; }

    /// Sets parameters by CLAP id through flush, as a host does outside processing.
    void set(std::initializer_list<std::pair<clap_id, double>> values) const;

    /// Events for the block starting at frame `start`.
    using EventsFor = std::function<void(int start, int frames, claphost::InputEvents&)>;
    /// Runs `left`/`right` through process in blocks of `block` frames, with
    /// the transport at `tempo` (none when 0) and the events `eventsFor` adds.
    Outputs render(const std::vector<float>& left, const std::vector<float>& right, int block,
                   double tempo = 0.0, const EventsFor& eventsFor = {}) const;

  private:
    std::unique_ptr<claphost::HostState> host_;
    std::unique_ptr<claphost::Instance> instance_;
};

} // namespace tesk::test
