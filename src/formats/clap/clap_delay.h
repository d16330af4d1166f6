// One TeskDelay instance as a CLAP plug-in: the plug-in record and its
// extensions (audio ports, params, state, preset load, gui, timer support)
// around one `DelayEngine`, the same engine, programs and editor every format
// runs, with a `BypassFade` between it and the host's buffers. The engine plays
// a followed host tempo without writing it into the lines' `Tempo`, which the
// host keeps.
//
// Threads. While the instance is inactive its main thread drives the engine.
// Once it is active, only process and flush do (on the audio thread): whatever
// the main thread changes (the editor, a loaded state or preset) goes to them as
// engine commands, applied between two blocks, so that no block runs on half a
// change.
// Every change the engine makes itself goes back to the host as a
// CLAP_EVENT_PARAM_VALUE from process or flush; news the host's queue cannot
// take waits in an outbox and goes out, in order, with the next call.
#pragma once

#include "bypass_fade.h"
#include "clap_api.h"
#include "clap_state.h"
#include "delay_engine.h"
#include "editor_interface.h"
#include "host_event_queue.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace tesk::clapfmt {

class ClapDelay final : private EngineListener {
  public:
    /// What the factory lists.
    static const clap_plugin_descriptor_t kDescriptor;

    /// A new instance for `host`, not yet initialised; null when `host` is unusable.
    static const clap_plugin_t* create(const clap_host_t* host);

    ClapDelay(const ClapDelay&) = delete;
    ClapDelay& operator=(const ClapDelay&) = delete;

    /// The tempo line `line` plays at now, in beats per minute (any thread).
    float tempoInUse(int line) const { return engine_->tempoInUse[static_cast<std::size_t>(line)]; }

    /// The value of parameter `index` as the main thread sees it: what it last
    /// asked the engine for while that is on its way, else the engine's (main thread).
    float mainValue(int index) const;
    /// Whether the bypass is on as the main thread sees it, like `mainValue` (main thread).
    bool mainBypassed() const;
    /// Sets parameter `index` from the main thread: in the engine at once while
    /// the instance is inactive, else between the next two blocks (main thread).
    void setFromMain(int index, float value);
    /// Tells the host of a gesture on parameter `index`, or of its value as the
    /// main thread sees it (main thread).
    void tellHost(std::uint16_t type, std::int32_t index);
    /// The engine changed parameter `index` on its own: the host hears its value
    /// (the thread that drives the engine).
    void reportEngineValue(std::int32_t index);

    // EngineListener: the editor hears of every change, the host of the engine's own.
    void parameterChanged(std::int32_t index, float value) override;
    void ownParameterChange(std::int32_t index) override { reportEngineValue(index); }

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

    // driving the engine (inside process or flush, or on the main thread while inactive)
    clap_process_status run(const clap_process_t& p);
    void runFrames(const clap_process_t& p, std::uint32_t from, std::uint32_t to);
    /// Starts a call that drives the engine: news goes straight to `out`.
    void beginServing(const clap_output_events_t* out);
    void endServing();
    /// Applies one incoming event (parameter value or transport); others pass.
    void apply(const clap_event_header_t& event);
    void applyParamValue(clap_id id, double value);
    void takeTransport(const clap_event_transport_t* transport);
    /// Applies what the main thread asked for, in order.
    void applyEngineCommands();
    void applyEngineCommand(const EngineCommand& command);
    /// Loads program `program` and has the host rescan the values.
    void loadProgram(int program);
    /// Hands `event` to the host now if a call is serving it, else at its next call.
    void sendToHost(const HostEvent& event);
    /// Sends what waits in the outbox, as far as the host takes it.
    void flushOutbox();

    // the main thread's side of the engine commands
    bool active() const { return active_.load(std::memory_order_acquire); }
    /// Queues `count` commands for the engine, waiting a little when the queue is full.
    bool queueForEngine(EngineCommand* commands, std::uint32_t count);
    /// Loads `state` into the engine as one change, the host rescanning the
    /// values after it; false when it cannot reach the engine.
    bool loadState(const SavedState& state);
    int mainProgram() const;

    // thread rules, checked in debug builds and where the environment asks
    // (TESK_CLAP_THREAD_CHECKS=1, as in our test hosts)
    void requireMainThread(const char* call) const;
    void requireAudioThread(const char* call) const;

    friend struct ParamsExtension;
    friend struct StateExtension;
    friend struct GuiExtension;
    friend struct GuiCalls;
    friend struct PortsExtension;
    friend struct PresetLoadExtension;

    clap_plugin_t plugin_;
    const clap_host_t* host_;
    const clap_host_thread_check_t* threadCheck_ = nullptr;
    bool checkThreads_ = false; ///< the host can tell its threads apart and the rules are checked
    const clap_host_params_t* hostParams_ = nullptr;
    const clap_host_timer_support_t* hostTimer_ = nullptr;
    const clap_host_preset_load_t* hostPresetLoad_ = nullptr;
    std::unique_ptr<DelayEngine> engine_;
    std::unique_ptr<EditorInterface> editor_;
    BypassFade bypass_;

    // the call driving the engine: the host's transport of the block, and
    // where news for the host goes
    HostTransport transport_;
    std::atomic<bool> serving_{false};
    const clap_output_events_t* out_ = nullptr;
    Outbox outbox_;
    bool outboxOverflowed_ = false;
    /// While a program or a state loads: the host rescans every value afterwards.
    bool quiet_ = false;

    HostEventQueue toHost_;
    EngineCommandQueue toEngine_;
    std::atomic<std::uint32_t> appliedSequence_{0};
    std::atomic<bool> valuesChanged_{false}; ///< a program or state load the host must rescan

    // main thread: what it asked the engine for and has not seen applied yet
    std::uint32_t queuedSequence_ = 0;
    std::array<std::uint32_t, kNumParameters> pendingSequence_{};
    std::array<float, kNumParameters> pendingValue_{};
    std::uint32_t pendingProgramSequence_ = 0;
    int pendingProgram_ = 0;
    std::uint32_t pendingBypassSequence_ = 0;
    bool pendingBypassed_ = false;

    std::atomic<bool> active_{false};
    std::atomic<bool> processing_{false};

    // gui: open between create and destroy
    bool guiCreated_ = false;
    clap_id timerId_ = CLAP_INVALID_ID;
};

} // namespace tesk::clapfmt
