#include "clap_host.h"

#include "module_library.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace claphost {

// ---------------------------------------------------------------- Module

Module::Module(void* handle, const clap_plugin_entry_t* entry, const clap_plugin_factory_t* factory)
    : handle_(handle), entry_(entry), factory_(factory) {}

Module::~Module() {
    entry_->deinit();
    hostlib::closeLibrary(handle_);
}

namespace {

// Loads the library and finds its entry; null with a reason otherwise.
void* openModule(const std::string& path, Module::Mapping mapping,
                 const clap_plugin_entry_t*& entry, std::string& error) {
    // Kept mapped, the module's libraries stay too, so that a leak report at exit can name
    // their frames (fontconfig keeps its caches for the life of the process, and the tests
    // suppress just that).
    const bool keep = mapping == Module::Mapping::keptAfterUnload;
    // Our module checks CLAP's thread rules for its test hosts, in every build.
    hostlib::setEnvironmentDefault("TESK_CLAP_THREAD_CHECKS", "1");
    std::string why;
    void* handle = hostlib::openLibrary(path, keep, why);
    if (handle == nullptr) {
        error = "cannot load '" + path + "': " + why;
        return nullptr;
    }
    entry = static_cast<const clap_plugin_entry_t*>(hostlib::findSymbol(handle, "clap_entry"));
    if (entry == nullptr) {
        error = "'" + path + "' is not a CLAP module: it exports no clap_entry";
    } else if (!clap_version_is_compatible(entry->clap_version)) {
        error = "'" + path + "' speaks CLAP " + std::to_string(entry->clap_version.major) + "." +
                std::to_string(entry->clap_version.minor) + ", not 1.x";
    } else {
        return handle;
    }
    hostlib::closeLibrary(handle);
    return nullptr;
}

} // namespace

std::unique_ptr<Module> Module::load(const std::string& path, std::string& error, Mapping mapping) {
    const clap_plugin_entry_t* entry = nullptr;
    void* handle = openModule(path, mapping, entry, error);
    if (handle == nullptr) return nullptr;
    if (!entry->init(path.c_str())) {
        error = "the entry of '" + path + "' refused to initialise";
        hostlib::closeLibrary(handle);
        return nullptr;
    }
    const auto* factory =
        static_cast<const clap_plugin_factory_t*>(entry->get_factory(CLAP_PLUGIN_FACTORY_ID));
    if (factory == nullptr) {
        error = "'" + path + "' has no plug-in factory";
        entry->deinit();
        hostlib::closeLibrary(handle);
        return nullptr;
    }
    return std::unique_ptr<Module>(new Module(handle, entry, factory));
}

const clap_plugin_descriptor_t* Module::descriptor(std::uint32_t index) const {
    if (index >= factory_->get_plugin_count(factory_)) return nullptr;
    return factory_->get_plugin_descriptor(factory_, index);
}

const clap_preset_discovery_factory_t* Module::presetDiscovery() const {
    return static_cast<const clap_preset_discovery_factory_t*>(
        entry_->get_factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
}

// ---------------------------------------------------------------- InputEvents

InputEvents::InputEvents() : list_{this, size, get} {}

std::uint32_t InputEvents::size(const clap_input_events_t* list) {
    return static_cast<std::uint32_t>(static_cast<const InputEvents*>(list->ctx)->events_.size());
}

const clap_event_header_t* InputEvents::get(const clap_input_events_t* list, std::uint32_t index) {
    const auto& events = static_cast<const InputEvents*>(list->ctx)->events_;
    return index < events.size() ? &events[index].header : nullptr;
}

void InputEvents::insert(const Stored& event) {
    auto after =
        std::upper_bound(events_.begin(), events_.end(), event.header.time,
                         [](std::uint32_t time, const Stored& e) { return time < e.header.time; });
    events_.insert(after, event);
}

void InputEvents::addParam(std::uint32_t time, clap_id id, double value) {
    Stored e{};
    e.param.header = {sizeof(clap_event_param_value_t), time, CLAP_CORE_EVENT_SPACE_ID,
                      CLAP_EVENT_PARAM_VALUE, 0};
    e.param.param_id = id;
    e.param.note_id = -1;
    e.param.port_index = -1;
    e.param.channel = -1;
    e.param.key = -1;
    e.param.value = value;
    insert(e);
}

void InputEvents::addTransport(std::uint32_t time, const clap_event_transport_t& transport) {
    Stored e{};
    e.transport = transport;
    e.transport.header = {sizeof(clap_event_transport_t), time, CLAP_CORE_EVENT_SPACE_ID,
                          CLAP_EVENT_TRANSPORT, 0};
    insert(e);
}

void InputEvents::addForeign(std::uint32_t time, std::uint16_t space, std::uint16_t type) {
    Stored e{};
    e.header = {sizeof(clap_event_header_t), time, space, type, 0};
    insert(e);
}

clap_event_transport_t playingTransport(double tempo) {
    clap_event_transport_t t{};
    t.header = {sizeof(clap_event_transport_t), 0, CLAP_CORE_EVENT_SPACE_ID, CLAP_EVENT_TRANSPORT,
                0};
    t.flags = CLAP_TRANSPORT_HAS_TEMPO | CLAP_TRANSPORT_HAS_BEATS_TIMELINE |
              CLAP_TRANSPORT_HAS_TIME_SIGNATURE | CLAP_TRANSPORT_IS_PLAYING;
    t.tempo = tempo;
    t.tsig_num = 4;
    t.tsig_denom = 4;
    return t;
}

// ---------------------------------------------------------------- threads

namespace {
thread_local bool tAudioThread = false;
} // namespace

AudioThreadScope::AudioThreadScope() : previous_(tAudioThread) {
    tAudioThread = true;
}

AudioThreadScope::~AudioThreadScope() {
    tAudioThread = previous_;
}

bool HostState::onMainThread() const {
    return std::this_thread::get_id() == mainThread_ && !tAudioThread;
}

bool HostState::onAudioThread() {
    return tAudioThread;
}

// ---------------------------------------------------------------- HostState

namespace {

std::optional<std::string> optionalText(const char* text) {
    return text != nullptr ? std::optional<std::string>(text) : std::nullopt;
}

} // namespace

struct Extensions {
    static bool isMainThread(const clap_host_t* h) { return HostState::of(h).onMainThread(); }
    static bool isAudioThread(const clap_host_t*) { return HostState::onAudioThread(); }
    static void rescan(const clap_host_t* h, std::uint32_t flags) {
        HostState::of(h).rescans.push_back(flags);
    }
    static void clear(const clap_host_t*, clap_id, std::uint32_t) {}
    static void requestFlush(const clap_host_t* h) { ++HostState::of(h).flushRequests; }
    static bool registerTimer(const clap_host_t* h, std::uint32_t period, clap_id* id) {
        if (id == nullptr) return false;
        HostState& host = HostState::of(h);
        *id = host.nextTimer_++;
        host.timers_.emplace_back(*id, period);
        return true;
    }
    static bool unregisterTimer(const clap_host_t* h, clap_id id) {
        auto& timers = HostState::of(h).timers_;
        auto found = std::find_if(timers.begin(), timers.end(),
                                  [id](const auto& timer) { return timer.first == id; });
        if (found == timers.end()) return false;
        timers.erase(found);
        return true;
    }
    static void resizeHintsChanged(const clap_host_t*) {}
    static bool requestResize(const clap_host_t*, std::uint32_t, std::uint32_t) { return false; }
    static bool requestShowHide(const clap_host_t*) { return false; }
    static void closed(const clap_host_t*, bool) {}
    static void presetLoadFailed(const clap_host_t* h, std::uint32_t kind, const char* location,
                                 const char* key, std::int32_t, const char* message) {
        HostState& host = HostState::of(h);
        host.presetLoadNews.push_back({false, kind, optionalText(location), optionalText(key),
                                       message != nullptr ? message : "", host.onMainThread()});
    }
    static void presetLoaded(const clap_host_t* h, std::uint32_t kind, const char* location,
                             const char* key) {
        HostState& host = HostState::of(h);
        host.presetLoadNews.push_back(
            {true, kind, optionalText(location), optionalText(key), "", host.onMainThread()});
    }

    static constexpr clap_host_thread_check_t threadCheck{isMainThread, isAudioThread};
    static constexpr clap_host_params_t params{rescan, clear, requestFlush};
    static constexpr clap_host_timer_support_t timerSupport{registerTimer, unregisterTimer};
    static constexpr clap_host_gui_t gui{resizeHintsChanged, requestResize, requestShowHide,
                                         requestShowHide, closed};
    static constexpr clap_host_preset_load_t presetLoad{presetLoadFailed, presetLoaded};
};

HostState& HostState::of(const clap_host_t* host) {
    return *static_cast<HostState*>(host->host_data);
}

const void* HostState::getExtension(const clap_host_t* host, const char* id) {
    if (host == nullptr || id == nullptr) return nullptr;
    const HostState& state = of(host);
    if (state.offerThreadCheck && std::strcmp(id, CLAP_EXT_THREAD_CHECK) == 0)
        return &Extensions::threadCheck;
    if (state.offerParams && std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &Extensions::params;
    if (state.offerTimerSupport && std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0)
        return &Extensions::timerSupport;
    if (state.offerGui && std::strcmp(id, CLAP_EXT_GUI) == 0) return &Extensions::gui;
    if (state.offerPresetLoad && std::strcmp(id, state.presetLoadId) == 0)
        return &Extensions::presetLoad;
    return nullptr;
}

HostState::HostState() : mainThread_(std::this_thread::get_id()) {
    host_.clap_version = CLAP_VERSION;
    host_.host_data = this;
    host_.name = "tesk clap host";
    host_.vendor = "TeskDelay project";
    host_.url = "";
    host_.version = "1.0";
    host_.get_extension = getExtension;
    host_.request_restart = [](const clap_host_t* h) { ++of(h).restartRequests; };
    host_.request_process = [](const clap_host_t* h) { ++of(h).processRequests; };
    host_.request_callback = [](const clap_host_t* h) { ++of(h).callbackRequests; };
}

void HostState::fireTimers(const clap_plugin_t* plugin) {
    const auto* timer = static_cast<const clap_plugin_timer_support_t*>(
        plugin->get_extension(plugin, CLAP_EXT_TIMER_SUPPORT));
    if (timer == nullptr) return;
    const auto registered = timers_; // a timer may unregister itself
    for (const auto& entry : registered)
        timer->on_timer(plugin, entry.first);
}

// ---------------------------------------------------------------- Instance

std::unique_ptr<Instance> Instance::create(const Module& module, HostState& host,
                                           const std::string& id, std::string& error) {
    const clap_plugin_descriptor_t* first = module.descriptor(0);
    const std::string wanted = id.empty() && first != nullptr ? first->id : id;
    const clap_plugin_t* plugin =
        module.factory().create_plugin(&module.factory(), host.host(), wanted.c_str());
    if (plugin == nullptr) {
        error = "the factory makes no plug-in '" + wanted + "'";
        return nullptr;
    }
    if (!plugin->init(plugin)) {
        plugin->destroy(plugin);
        error = "plug-in '" + wanted + "' failed to initialise";
        return nullptr;
    }
    auto instance = std::unique_ptr<Instance>(new Instance(plugin, host));
    instance->sent_.reserve(1 << 16);
    return instance;
}

Instance::~Instance() {
    stop();
    plugin_->destroy(plugin_);
}

void Instance::readPorts() {
    const auto* ports = extension<clap_plugin_audio_ports_t>(CLAP_EXT_AUDIO_PORTS);
    for (bool input : {true, false}) {
        auto& channels = input ? inputChannels_ : outputChannels_;
        channels.clear();
        const std::uint32_t count = ports != nullptr ? ports->count(plugin_, input) : 0;
        for (std::uint32_t i = 0; i < count; ++i) {
            clap_audio_port_info_t info{};
            channels.push_back(ports->get(plugin_, i, input, &info) ? info.channel_count : 0);
        }
    }
    for (bool input : {true, false}) {
        auto& records = input ? inputPorts_ : outputPorts_;
        records.clear();
        for (std::uint32_t count : input ? inputChannels_ : outputChannels_)
            records.push_back({nullptr, nullptr, count, 0, 0});
    }
}

bool Instance::start(double sampleRate, std::uint32_t maxFrames) {
    readPorts();
    if (!plugin_->activate(plugin_, sampleRate, 1, maxFrames)) return false;
    active_ = true;
    AudioThreadScope audio;
    processing_ = plugin_->start_processing(plugin_);
    return processing_;
}

void Instance::stop() {
    if (processing_) {
        AudioThreadScope audio;
        plugin_->stop_processing(plugin_);
        processing_ = false;
    }
    if (active_) plugin_->deactivate(plugin_);
    active_ = false;
}

bool Instance::pushEvent(const clap_output_events_t* list, const clap_event_header_t* event) {
    if (list == nullptr || event == nullptr || event->space_id != CLAP_CORE_EVENT_SPACE_ID)
        return false;
    auto& self = *static_cast<Instance*>(list->ctx);
    SentEvent seen{event->type, event->time, CLAP_INVALID_ID, 0.0};
    if (event->type == CLAP_EVENT_PARAM_VALUE) {
        const auto* value = reinterpret_cast<const clap_event_param_value_t*>(event);
        seen.paramId = value->param_id;
        seen.value = value->value;
    } else if (event->type == CLAP_EVENT_PARAM_GESTURE_BEGIN ||
               event->type == CLAP_EVENT_PARAM_GESTURE_END) {
        seen.paramId = reinterpret_cast<const clap_event_param_gesture_t*>(event)->param_id;
    }
    if (self.sentThisCall_ >= self.outputQueueSize) return false;
    ++self.sentThisCall_;
    self.sent_.push_back(seen);
    return true;
}

bool Instance::pointPorts(std::vector<clap_audio_buffer_t>& ports,
                          const std::vector<float*>& flat) {
    std::size_t next = 0;
    for (clap_audio_buffer_t& port : ports) {
        if (next + port.channel_count > flat.size()) return false;
        port.data32 = const_cast<float**>(flat.data()) + next;
        port.constant_mask = 0;
        next += port.channel_count;
    }
    return true;
}

clap_process_status Instance::process(const std::vector<float*>& inputs,
                                      const std::vector<float*>& outputs, std::uint32_t frames,
                                      const InputEvents& events,
                                      const clap_event_transport_t* transport) {
    if (!pointPorts(inputPorts_, inputs) || !pointPorts(outputPorts_, outputs))
        return CLAP_PROCESS_ERROR;
    outEvents_ = {this, pushEvent};
    sentThisCall_ = 0;
    clap_process_t process{};
    process.steady_time = steadyTime_;
    process.frames_count = frames;
    process.transport = transport;
    process.audio_inputs = inputPorts_.data();
    process.audio_outputs = outputPorts_.data();
    process.audio_inputs_count = static_cast<std::uint32_t>(inputPorts_.size());
    process.audio_outputs_count = static_cast<std::uint32_t>(outputPorts_.size());
    process.in_events = events.list();
    process.out_events = &outEvents_;
    steadyTime_ += frames;
    AudioThreadScope audio;
    return plugin_->process(plugin_, &process);
}

std::vector<SentEvent> Instance::takeSent() {
    std::vector<SentEvent> taken = sent_;
    sent_.clear();
    return taken;
}

std::uint32_t Instance::paramCount() const {
    const auto* params = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    return params != nullptr ? params->count(plugin_) : 0;
}

std::optional<clap_param_info_t> Instance::paramInfo(std::uint32_t index) const {
    const auto* params = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    clap_param_info_t info{};
    if (params == nullptr || !params->get_info(plugin_, index, &info)) return std::nullopt;
    return info;
}

std::optional<double> Instance::value(clap_id id) const {
    const auto* params = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    double v = 0.0;
    if (params == nullptr || !params->get_value(plugin_, id, &v)) return std::nullopt;
    return v;
}

std::optional<std::string> Instance::valueText(clap_id id, double value) const {
    const auto* params = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    char text[CLAP_NAME_SIZE] = {};
    if (params == nullptr || !params->value_to_text(plugin_, id, value, text, sizeof text))
        return std::nullopt;
    return std::string(text);
}

std::optional<double> Instance::textValue(clap_id id, const std::string& text) const {
    const auto* params = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    double v = 0.0;
    if (params == nullptr || !params->text_to_value(plugin_, id, text.c_str(), &v))
        return std::nullopt;
    return v;
}

void Instance::flush(const InputEvents& events) {
    const auto* params = extension<clap_plugin_params_t>(CLAP_EXT_PARAMS);
    if (params == nullptr) return;
    outEvents_ = {this, pushEvent};
    sentThisCall_ = 0;
    if (!active_) {
        params->flush(plugin_, events.list(), &outEvents_);
        return;
    }
    // Between two blocks, processing started or not, on the audio thread.
    AudioThreadScope audio;
    params->flush(plugin_, events.list(), &outEvents_);
}

bool Instance::loadPreset(std::uint32_t kind, const char* location, const char* loadKey) const {
    const auto* presetLoad = extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
    return presetLoad != nullptr && presetLoad->from_location(plugin_, kind, location, loadKey);
}

namespace {

struct Buffer {
    std::vector<std::uint8_t> bytes;
    std::size_t position = 0;
    std::size_t chunk = 0;
};

std::int64_t writeBytes(const clap_ostream_t* stream, const void* data, std::uint64_t size) {
    auto& buffer = *static_cast<Buffer*>(stream->ctx);
    const std::size_t n = std::min<std::uint64_t>(size, buffer.chunk);
    const auto* from = static_cast<const std::uint8_t*>(data);
    buffer.bytes.insert(buffer.bytes.end(), from, from + n);
    return static_cast<std::int64_t>(n);
}

std::int64_t readBytes(const clap_istream_t* stream, void* data, std::uint64_t size) {
    auto& buffer = *static_cast<Buffer*>(stream->ctx);
    const std::size_t left = buffer.bytes.size() - buffer.position;
    const std::size_t n = std::min<std::uint64_t>({size, buffer.chunk, left});
    // An empty stream has no storage at all: nothing to copy from.
    if (n == 0) return 0;
    std::memcpy(data, buffer.bytes.data() + buffer.position, n);
    buffer.position += n;
    return static_cast<std::int64_t>(n);
}

} // namespace

std::optional<std::vector<std::uint8_t>> Instance::saveState(std::size_t chunk) const {
    const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    Buffer buffer{{}, 0, std::max<std::size_t>(chunk, 1)};
    const clap_ostream_t stream{&buffer, writeBytes};
    if (state == nullptr || !state->save(plugin_, &stream)) return std::nullopt;
    return buffer.bytes;
}

bool Instance::loadState(const std::vector<std::uint8_t>& bytes, std::size_t chunk) const {
    const auto* state = extension<clap_plugin_state_t>(CLAP_EXT_STATE);
    Buffer buffer{bytes, 0, std::max<std::size_t>(chunk, 1)};
    const clap_istream_t stream{&buffer, readBytes};
    return state != nullptr && state->load(plugin_, &stream);
}

// ---------------------------------------------------------------- PresetIndexer

namespace {

/// What one get_metadata call told the receiver.
struct Crawl {
    std::vector<ListedPreset> presets;
    std::string errors;

    static Crawl& of(const clap_preset_discovery_metadata_receiver_t* receiver) {
        return *static_cast<Crawl*>(receiver->receiver_data);
    }
    /// The preset being described; a call before begin_preset is an error.
    static ListedPreset* current(const clap_preset_discovery_metadata_receiver_t* receiver,
                                 const char* call) {
        Crawl& crawl = of(receiver);
        if (crawl.presets.empty()) {
            crawl.errors += std::string(call) + " before begin_preset; ";
            return nullptr;
        }
        return &crawl.presets.back();
    }
};

struct ReceiverCalls {
    using Receiver = clap_preset_discovery_metadata_receiver_t;
    static void onError(const Receiver* r, std::int32_t, const char* message) {
        Crawl::of(r).errors += std::string(message != nullptr ? message : "(no message)") + "; ";
    }
    static bool beginPreset(const Receiver* r, const char* name, const char* key) {
        Crawl::of(r).presets.push_back({name != nullptr ? name : "", optionalText(key), {}, ""});
        return true;
    }
    static void addPluginId(const Receiver* r, const clap_universal_plugin_id_t* id) {
        if (ListedPreset* preset = Crawl::current(r, "add_plugin_id"))
            preset->pluginIds.push_back(std::string(id->abi) + ":" + id->id);
    }
    static void setDescription(const Receiver* r, const char* description) {
        if (ListedPreset* preset = Crawl::current(r, "set_description"))
            preset->description = description;
    }
    // What the tests do not look at still needs a preset to describe.
    static void setText(const Receiver* r, const char*) { Crawl::current(r, "a setter"); }
    static void setFlags(const Receiver* r, std::uint32_t) { Crawl::current(r, "set_flags"); }
    static void setTimestamps(const Receiver* r, clap_timestamp_t, clap_timestamp_t) {
        Crawl::current(r, "set_timestamps");
    }
    static void addExtraInfo(const Receiver* r, const char*, const char*) {
        Crawl::current(r, "add_extra_info");
    }
};

} // namespace

struct IndexerCalls {
    using Indexer = clap_preset_discovery_indexer_t;
    static bool declareFiletype(const Indexer*, const clap_preset_discovery_filetype_t* type) {
        return type != nullptr;
    }
    static bool declareLocation(const Indexer* indexer,
                                const clap_preset_discovery_location_t* location) {
        if (location == nullptr || location->name == nullptr) return false;
        PresetIndexer::of(indexer).locations_.push_back(
            {location->flags, location->name, location->kind, optionalText(location->location)});
        return true;
    }
    static bool declareSoundpack(const Indexer*, const clap_preset_discovery_soundpack_t* pack) {
        return pack != nullptr;
    }
    static const void* getExtension(const Indexer*, const char*) { return nullptr; }
};

PresetIndexer::PresetIndexer() {
    indexer_ = {CLAP_VERSION,
                "tesk clap host",
                "TeskDelay project",
                "",
                "1.0",
                this,
                IndexerCalls::declareFiletype,
                IndexerCalls::declareLocation,
                IndexerCalls::declareSoundpack,
                IndexerCalls::getExtension};
}

PresetIndexer& PresetIndexer::of(const clap_preset_discovery_indexer_t* indexer) {
    return *static_cast<PresetIndexer*>(indexer->indexer_data);
}

std::unique_ptr<PresetIndexer> PresetIndexer::create(const Module& module, const std::string& id,
                                                     std::string& error) {
    const clap_preset_discovery_factory_t* factory = module.presetDiscovery();
    if (factory == nullptr) {
        error = "the module has no preset-discovery factory";
        return nullptr;
    }
    auto indexer = std::unique_ptr<PresetIndexer>(new PresetIndexer());
    indexer->provider_ = factory->create(factory, &indexer->indexer_, id.c_str());
    if (indexer->provider_ == nullptr) {
        error = "the factory makes no provider '" + id + "'";
        return nullptr;
    }
    if (!indexer->provider_->init(indexer->provider_)) {
        error = "provider '" + id + "' failed to initialise";
        return nullptr;
    }
    return indexer;
}

PresetIndexer::~PresetIndexer() {
    if (provider_ != nullptr) provider_->destroy(provider_);
}

std::optional<std::vector<ListedPreset>> PresetIndexer::crawl(const PresetLocation& location,
                                                              std::string& error) const {
    Crawl crawl;
    using R = ReceiverCalls;
    const clap_preset_discovery_metadata_receiver_t receiver = {
        &crawl,           R::onError,  R::beginPreset, R::addPluginId,
        R::setText,       R::setFlags, R::setText,     R::setDescription,
        R::setTimestamps, R::setText,  R::addExtraInfo};
    const bool listed = provider_->get_metadata(
        provider_, location.kind, location.location ? location.location->c_str() : nullptr,
        &receiver);
    error = crawl.errors;
    if (!listed && error.empty()) error = "get_metadata failed";
    if (!listed || !crawl.errors.empty()) return std::nullopt;
    return crawl.presets;
}

} // namespace claphost
