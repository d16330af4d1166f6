// One TeskDelay instance as a CLAP plug-in: the plug-in record and its
// extensions (audio ports, params, state, gui, timer support) around one
// `DelayEffect`, the same engine, programs and editor the VST 2 module runs.
#pragma once

#include "clap_api.h"
#include "delay_effect.h"
#include "host_event_queue.h"

#include <atomic>
#include <cstdint>
#include <memory>

namespace tesk::clapfmt {

class ClapDelay;

/// The engine as a CLAP instance runs it: no VST 2 host behind it, and the
/// host tempo of each block taken from the block's transport.
class ClapEffect final : public DelayEffect {
  public:
    ClapEffect(ClapDelay& owner, EditorFactory makeEditor);
    /// The transport of the block being processed; none outside processing.
    HostTransport hostTransport(std::int32_t vstMask) override;

    ClapDelay& owner;
};

class ClapDelay {
  public:
    /// What the factory lists.
    static const clap_plugin_descriptor_t kDescriptor;

    /// A new instance for `host`, not yet initialised; null when `host` is unusable.
    static const clap_plugin_t* create(const clap_host_t* host);

    ClapDelay(const ClapDelay&) = delete;
    ClapDelay& operator=(const ClapDelay&) = delete;

    /// The tempo the block being processed carries (audio thread).
    HostTransport blockTransport() const;
    /// Tells the host of a gesture on parameter `index`, or of its new value
    /// (CLAP_EVENT_PARAM_VALUE): from process when called inside it, else
    /// through the queue and flush.
    void tellHost(std::uint16_t type, std::int32_t index);

  private:
    explicit ClapDelay(const clap_host_t* host);
    static ClapDelay* of(const clap_plugin_t* plugin);

    // clap_plugin_t
    static bool init(const clap_plugin_t* plugin);
    static void destroy(const clap_plugin_t* plugin);
    static bool activate(const clap_plugin_t* plugin, double rate, std::uint32_t minFrames,
                         std::uint32_t maxFrames);
    static void deactivate(const clap_plugin_t* plugin);
    static bool startProcessing(const clap_plugin_t* plugin);
    static void stopProcessing(const clap_plugin_t* plugin);
    static void reset(const clap_plugin_t* plugin);
    static clap_process_status process(const clap_plugin_t* plugin, const clap_process_t* p);
    static const void* getExtension(const clap_plugin_t* plugin, const char* id);
    static void onMainThread(const clap_plugin_t* plugin);

    // processing
    clap_process_status run(const clap_process_t& p);
    void runFrames(const clap_process_t& p, std::uint32_t from, std::uint32_t to);
    /// Applies one incoming event (parameter value or transport); others pass.
    void apply(const clap_event_header_t& event);
    void applyParamValue(clap_id id, double value);
    void takeTransport(const clap_event_transport_t* transport);
    /// Hands the editor's queued news to the host.
    void sendQueued(const clap_output_events_t* out);

    // thread rules, checked in debug builds
    void requireMainThread(const char* call) const;
    void requireAudioThread(const char* call) const;

    friend struct ParamsExtension;
    friend struct StateExtension;
    friend struct GuiExtension;
    friend struct GuiCalls;
    friend struct PortsExtension;

    clap_plugin_t plugin_;
    const clap_host_t* host_;
    const clap_host_thread_check_t* threadCheck_ = nullptr;
    const clap_host_params_t* hostParams_ = nullptr;
    const clap_host_timer_support_t* hostTimer_ = nullptr;
    std::unique_ptr<ClapEffect> effect_;

    // audio thread: the tempo the engine reads while a block runs
    double blockTempo_ = 0.0;
    bool haveTempo_ = false;
    const clap_output_events_t* blockOut_ = nullptr;

    HostEventQueue toHost_;
    std::atomic<bool> valuesChanged_{false}; ///< a program load the host must rescan
    bool active_ = false;
    std::atomic<bool> processing_{false};

    // gui: open between create and destroy
    bool guiCreated_ = false;
    clap_id timerId_ = CLAP_INVALID_ID;
};

} // namespace tesk::clapfmt
