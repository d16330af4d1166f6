// A small CLAP host for our tests: loads a module through clap_entry, makes an
// instance from its factory, answers the host extensions a plug-in asks for
// (thread check, params, state, gui, timer support, preset load) and drives the
// instance: activation, blocks with events at sample offsets, parameter calls,
// state streams, preset loads and the editor. It also indexes the presets of a
// module's preset-discovery factory, as a host's preset browser does. Thread roles are tracked the
// way CLAP names them, so a plug-in checking them sees a main thread and an audio thread.
#pragma once

#include "clap_api.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace claphost {

/// A loaded module: its entry initialised, its plug-in factory found. Calls the
/// entry's deinit and unloads the module on destruction.
class Module {
  public:
    /// What becomes of the module's file when it is unloaded.
    enum class Mapping {
        /// It stays mapped, and so do the libraries it pulled in: a sanitizer's leak
        /// report at exit can still name their frames.
        keptAfterUnload,
        /// It goes as a host's unloading makes it go (unless something pins it).
        releasedOnUnload,
    };
    /// Loads `path`, checks the entry's CLAP version and calls its init. On
    /// failure returns null and puts a sentence for the user into `error`.
    static std::unique_ptr<Module> load(const std::string& path, std::string& error,
                                        Mapping mapping = Mapping::keptAfterUnload);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    const clap_plugin_entry_t& entry() const { return *entry_; }
    const clap_plugin_factory_t& factory() const { return *factory_; }
    /// The descriptor at `index` of the factory, null past its end.
    const clap_plugin_descriptor_t* descriptor(std::uint32_t index) const;
    /// The module's preset-discovery factory, null when it has none.
    const clap_preset_discovery_factory_t* presetDiscovery() const;

  private:
    Module(void* handle, const clap_plugin_entry_t* entry, const clap_plugin_factory_t* factory);
    void* handle_;
    const clap_plugin_entry_t* entry_;
    const clap_plugin_factory_t* factory_;
};

/// One event the plug-in sent to the host (from process or flush).
struct SentEvent {
    std::uint16_t type;
    std::uint32_t time;
    clap_id paramId;
    double value; ///< the value of a CLAP_EVENT_PARAM_VALUE, else 0
};

/// Events a host hands to process or flush, kept in time order (events of the
/// same time keep the order they were added in).
class InputEvents {
  public:
    InputEvents();
    InputEvents(const InputEvents&) = delete;
    InputEvents& operator=(const InputEvents&) = delete;
    void addParam(std::uint32_t time, clap_id id, double value);
    void addTransport(std::uint32_t time, const clap_event_transport_t& transport);
    /// An event of an unknown space or type, which the plug-in must pass over.
    void addForeign(std::uint32_t time, std::uint16_t space, std::uint16_t type);
    void clear() { events_.clear(); }
    const clap_input_events_t* list() const { return &list_; }

  private:
    union Stored {
        clap_event_header_t header;
        clap_event_param_value_t param;
        clap_event_transport_t transport;
    };
    void insert(const Stored& event);
    static std::uint32_t size(const clap_input_events_t* list);
    static const clap_event_header_t* get(const clap_input_events_t* list, std::uint32_t index);
    std::vector<Stored> events_;
    clap_input_events_t list_;
};

/// A transport record as a host sends it: tempo, a playing transport at 4/4.
clap_event_transport_t playingTransport(double tempo);

/// What a plug-in told the host through its preset-load extension.
struct PresetLoadNews {
    bool loaded; ///< `loaded`, else `on_error`
    std::uint32_t kind;
    std::optional<std::string> location;
    std::optional<std::string> loadKey;
    std::string message; ///< the error message
    bool onMainThread;
};

/// What the host offers and what it has seen. Made on the thread that is to be
/// the main thread.
class HostState {
  public:
    HostState();
    HostState(const HostState&) = delete;
    HostState& operator=(const HostState&) = delete;

    const clap_host_t* host() const { return &host_; }

    // Which extensions the host offers; a test may take some away.
    bool offerThreadCheck = true;
    bool offerParams = true;
    bool offerTimerSupport = true;
    bool offerGui = true;
    bool offerPresetLoad = true;
    /// The id the preset-load extension is offered under: CLAP 1.2's, or the draft's.
    const char* presetLoadId = CLAP_EXT_PRESET_LOAD;

    /// Runs every registered timer once, as the host's event loop does.
    void fireTimers(const clap_plugin_t* plugin);
    std::size_t timerCount() const { return timers_.size(); }

    std::atomic<int> flushRequests{0};
    std::atomic<int> callbackRequests{0};
    std::atomic<int> processRequests{0};
    std::atomic<int> restartRequests{0};
    std::vector<std::uint32_t> rescans;
    std::vector<PresetLoadNews> presetLoadNews;

    /// True on the main thread outside a process call.
    bool onMainThread() const;
    /// True inside process, or inside flush of an active instance.
    static bool onAudioThread();

  private:
    static const void* getExtension(const clap_host_t* host, const char* id);
    static HostState& of(const clap_host_t* host);

    clap_host_t host_;
    std::thread::id mainThread_;
    std::vector<std::pair<clap_id, std::uint32_t>> timers_;
    clap_id nextTimer_ = 1;

    friend struct Extensions;
};

/// Marks the calling thread as the audio thread while it lives.
class AudioThreadScope {
  public:
    AudioThreadScope();
    ~AudioThreadScope();
    AudioThreadScope(const AudioThreadScope&) = delete;
    AudioThreadScope& operator=(const AudioThreadScope&) = delete;

  private:
    bool previous_;
};

/// One plug-in instance made through the factory and initialised. Destroys it
/// (after stopping and deactivating it) on destruction.
class Instance {
  public:
    /// Creates the factory's plug-in `id` (its first plug-in when empty) and calls init.
    static std::unique_ptr<Instance> create(const Module& module, HostState& host,
                                            const std::string& id, std::string& error);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    const clap_plugin_t* plugin() const { return plugin_; }
    HostState& host() const { return host_; }
    /// The plug-in's extension `id`, null when it has none.
    template <typename T> const T* extension(const char* id) const {
        return static_cast<const T*>(plugin_->get_extension(plugin_, id));
    }

    /// Activates and starts processing; reads the audio ports first, as a host must.
    bool start(double sampleRate, std::uint32_t maxFrames);
    /// Stops processing and deactivates.
    void stop();

    /// One block. `inputs` and `outputs` hold every channel of every port in port
    /// order; `transport` may be null (a free-running host).
    clap_process_status process(const std::vector<float*>& inputs,
                                const std::vector<float*>& outputs, std::uint32_t frames,
                                const InputEvents& events,
                                const clap_event_transport_t* transport = nullptr);

    /// Events the plug-in sent since the last `takeSent` (between calls into the plug-in).
    std::vector<SentEvent> takeSent();
    /// How many events the host's output queue takes in one process or flush
    /// call; the plug-in's try_push fails past it, as with a host whose queue is full.
    std::uint32_t outputQueueSize = 4096;

    // Parameters through the params extension.
    std::uint32_t paramCount() const;
    std::optional<clap_param_info_t> paramInfo(std::uint32_t index) const;
    std::optional<double> value(clap_id id) const;
    std::optional<std::string> valueText(clap_id id, double value) const;
    std::optional<double> textValue(clap_id id, const std::string& text) const;
    /// Flush with `events`: on the main thread when inactive; as the audio thread
    /// between two blocks when active, whether processing is started or not.
    void flush(const InputEvents& events);

    /// Loads a preset through the preset-load extension; false when it has none or fails.
    bool loadPreset(std::uint32_t kind, const char* location, const char* loadKey) const;

    // State through the state extension; `chunk` limits each read and write.
    std::optional<std::vector<std::uint8_t>> saveState(std::size_t chunk = 1 << 20) const;
    bool loadState(const std::vector<std::uint8_t>& bytes, std::size_t chunk = 1 << 20) const;

  private:
    Instance(const clap_plugin_t* plugin, HostState& host) : plugin_(plugin), host_(host) {}
    void readPorts();
    /// Points the port records at `flat` channels, in port order; false when too few.
    static bool pointPorts(std::vector<clap_audio_buffer_t>& ports,
                           const std::vector<float*>& flat);
    static bool pushEvent(const clap_output_events_t* list, const clap_event_header_t* event);

    const clap_plugin_t* plugin_;
    HostState& host_;
    bool active_ = false;
    bool processing_ = false;
    std::vector<std::uint32_t> inputChannels_;
    std::vector<std::uint32_t> outputChannels_;
    // Made at `start`, so that a block allocates nothing on the host's side.
    std::vector<clap_audio_buffer_t> inputPorts_;
    std::vector<clap_audio_buffer_t> outputPorts_;
    // Room for the events of many calls, made at `create`, so that taking them
    // allocates nothing on the audio thread, as in a host.
    std::vector<SentEvent> sent_;
    std::uint32_t sentThisCall_ = 0;
    clap_output_events_t outEvents_{};
    std::int64_t steadyTime_ = 0;
};

/// A place a preset provider declared.
struct PresetLocation {
    std::uint32_t flags;
    std::string name;
    std::uint32_t kind;
    std::optional<std::string> location; ///< none for presets inside the plug-in
};

/// One preset a provider listed, with what it told of it.
struct ListedPreset {
    std::string name;
    std::optional<std::string> loadKey;
    std::vector<std::string> pluginIds; ///< "abi:id"
    std::string description;
};

/// A host's indexer for one provider of a module's preset-discovery factory:
/// it creates and initialises the provider, keeps the locations it declares,
/// and crawls them. Destroys the provider on destruction.
class PresetIndexer {
  public:
    /// Creates provider `id` and calls its init; null with a reason otherwise.
    static std::unique_ptr<PresetIndexer> create(const Module& module, const std::string& id,
                                                 std::string& error);
    ~PresetIndexer();
    PresetIndexer(const PresetIndexer&) = delete;
    PresetIndexer& operator=(const PresetIndexer&) = delete;

    const clap_preset_discovery_provider_t& provider() const { return *provider_; }
    const std::vector<PresetLocation>& locations() const { return locations_; }
    /// The presets at `location`; none, with the provider's errors in
    /// `error`, when get_metadata fails or the provider reports an error.
    std::optional<std::vector<ListedPreset>> crawl(const PresetLocation& location,
                                                   std::string& error) const;

  private:
    PresetIndexer();
    static PresetIndexer& of(const clap_preset_discovery_indexer_t* indexer);

    clap_preset_discovery_indexer_t indexer_{};
    const clap_preset_discovery_provider_t* provider_ = nullptr;
    std::vector<PresetLocation> locations_;

    friend struct IndexerCalls;
};

} // namespace claphost
