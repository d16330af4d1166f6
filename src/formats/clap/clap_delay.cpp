#include "clap_delay.h"

#include "clap_extensions.h"
#include "clap_params.h"

#if TESK_HAS_EDITOR
#include "clap_editor.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

namespace tesk::clapfmt {

namespace {

constexpr std::uint32_t kInputPorts = 1;
constexpr std::uint32_t kOutputPorts = 3;
constexpr std::uint32_t kChannelsPerPort = 2;

const char* const kFeatures[] = {"audio-effect", "delay", "stereo", nullptr};

#if TESK_HAS_EDITOR
constexpr EditorFactory kEditor = makeClapEditor;
#else
constexpr EditorFactory kEditor = nullptr;
#endif

// Set while this thread runs a block: news for the host then go straight into
// the block's output events, and the engine's tempo questions have an answer.
thread_local bool tInProcess = false;

template <typename T> const T* hostExtension(const clap_host_t* host, const char* id) {
    return host->get_extension != nullptr ? static_cast<const T*>(host->get_extension(host, id))
                                          : nullptr;
}

} // namespace

const clap_plugin_descriptor_t ClapDelay::kDescriptor = {
    CLAP_VERSION,
    "org.teskdelay.TeskDelay",
    "TeskDelay",
    "TeskDelay project",
    "",
    "",
    "",
    "1.1.0",
    "Four tempo-synchronised delay lines with feedback, saturation and filters",
    kFeatures};

ClapDelay::ClapDelay(const clap_host_t* host) : plugin_{}, host_(host) {
    plugin_.desc = &kDescriptor;
    plugin_.plugin_data = this;
    plugin_.init = init;
    plugin_.destroy = destroy;
    plugin_.activate = activate;
    plugin_.deactivate = deactivate;
    plugin_.start_processing = startProcessing;
    plugin_.stop_processing = stopProcessing;
    plugin_.reset = reset;
    plugin_.process = process;
    plugin_.get_extension = getExtension;
    plugin_.on_main_thread = onMainThread;
}

const clap_plugin_t* ClapDelay::create(const clap_host_t* host) {
    if (host == nullptr || !clap_version_is_compatible(host->clap_version)) return nullptr;
    auto* instance = new (std::nothrow) ClapDelay(host);
    return instance != nullptr ? &instance->plugin_ : nullptr;
}

ClapDelay* ClapDelay::of(const clap_plugin_t* plugin) {
    return plugin != nullptr ? static_cast<ClapDelay*>(plugin->plugin_data) : nullptr;
}

// ---------------------------------------------------------------- thread rules

void ClapDelay::requireMainThread([[maybe_unused]] const char* call) const {
#ifdef TESK_CLAP_THREAD_CHECKS
    if (threadCheck_ != nullptr && !threadCheck_->is_main_thread(host_)) {
        std::fprintf(stderr, "TeskDelay.clap: %s called off the main thread\n", call);
        std::abort();
    }
#endif
}

void ClapDelay::requireAudioThread([[maybe_unused]] const char* call) const {
#ifdef TESK_CLAP_THREAD_CHECKS
    if (threadCheck_ != nullptr && !threadCheck_->is_audio_thread(host_)) {
        std::fprintf(stderr, "TeskDelay.clap: %s called off the audio thread\n", call);
        std::abort();
    }
#endif
}

// ---------------------------------------------------------------- life cycle

bool ClapDelay::init(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || self->effect_) return false;
    self->threadCheck_ =
        hostExtension<clap_host_thread_check_t>(self->host_, CLAP_EXT_THREAD_CHECK);
    self->requireMainThread("init");
    self->hostParams_ = hostExtension<clap_host_params_t>(self->host_, CLAP_EXT_PARAMS);
    self->hostTimer_ =
        hostExtension<clap_host_timer_support_t>(self->host_, CLAP_EXT_TIMER_SUPPORT);
    try {
        self->effect_.reset(new (std::nothrow) ClapEffect(*self, kEditor));
    } catch (...) {
        self->effect_.reset();
    }
    return self->effect_ && self->effect_->isUsable();
}

void ClapDelay::destroy(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr) return;
    self->requireMainThread("destroy");
    if (self->guiCreated_) GuiExtension::destroy(plugin);
    delete self;
}

bool ClapDelay::activate(const clap_plugin_t* plugin, double rate, std::uint32_t,
                         std::uint32_t maxFrames) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || !self->effect_ || self->active_) return false;
    self->requireMainThread("activate");
    if (!(rate >= 1.0 && rate <= DelayEffect::kMaxSampleRate) || maxFrames == 0) return false;
    self->effect_->setSampleRate(static_cast<float>(rate));
    if (self->effect_->getSampleRate() != static_cast<float>(rate)) return false;
    self->effect_->setBlockSize(
        static_cast<std::int32_t>(std::min<std::uint32_t>(maxFrames, INT32_MAX)));
    self->effect_->resume();
    self->active_ = true;
    return true;
}

void ClapDelay::deactivate(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || !self->active_) return;
    self->requireMainThread("deactivate");
    self->effect_->suspend();
    self->active_ = false;
}

bool ClapDelay::startProcessing(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || !self->active_) return false;
    self->requireAudioThread("start_processing");
    self->processing_ = true;
    return true;
}

void ClapDelay::stopProcessing(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr) return;
    self->requireAudioThread("stop_processing");
    self->processing_ = false;
}

void ClapDelay::reset(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || !self->active_) return;
    self->requireAudioThread("reset");
    self->effect_->resume(); // clears the delay memory, keeps the settings
}

void ClapDelay::onMainThread(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr) return;
    self->requireMainThread("on_main_thread");
    if (self->valuesChanged_.exchange(false) && self->hostParams_ != nullptr)
        self->hostParams_->rescan(self->host_, CLAP_PARAM_RESCAN_VALUES);
}

// ---------------------------------------------------------------- processing

clap_process_status ClapDelay::process(const clap_plugin_t* plugin, const clap_process_t* p) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || p == nullptr || !self->active_) return CLAP_PROCESS_ERROR;
    self->requireAudioThread("process");
    tInProcess = true;
    const clap_process_status status = self->run(*p);
    tInProcess = false;
    return status;
}

namespace {

bool isStereo(const clap_audio_buffer_t* buffers, std::uint32_t count, std::uint32_t need) {
    if (buffers == nullptr || count < need) return false;
    for (std::uint32_t i = 0; i < need; ++i) {
        const clap_audio_buffer_t& b = buffers[i];
        if (b.data32 == nullptr || b.channel_count < kChannelsPerPort || b.data32[0] == nullptr ||
            b.data32[1] == nullptr)
            return false;
    }
    return true;
}

} // namespace

clap_process_status ClapDelay::run(const clap_process_t& p) {
    if (!isStereo(p.audio_inputs, p.audio_inputs_count, kInputPorts) ||
        !isStereo(p.audio_outputs, p.audio_outputs_count, kOutputPorts))
        return CLAP_PROCESS_ERROR;
    takeTransport(p.transport);
    blockOut_ = p.out_events;
    sendQueued(p.out_events);
    // Each event lands at its sample offset: the block is split there.
    std::uint32_t done = 0;
    const clap_input_events_t* in = p.in_events;
    const std::uint32_t count = in != nullptr && in->size != nullptr ? in->size(in) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_event_header_t* event = in->get(in, i);
        if (event == nullptr) continue;
        const std::uint32_t at = std::min(event->time, p.frames_count);
        if (at > done) {
            runFrames(p, done, at);
            done = at;
        }
        apply(*event);
    }
    runFrames(p, done, p.frames_count);
    blockOut_ = nullptr;
    return CLAP_PROCESS_CONTINUE;
}

void ClapDelay::runFrames(const clap_process_t& p, std::uint32_t from, std::uint32_t to) {
    if (to <= from) return;
    const clap_audio_buffer_t& in = p.audio_inputs[0];
    float* inputs[2] = {in.data32[0] + from, in.data32[1] + from};
    float* outputs[kOutputPorts * kChannelsPerPort];
    for (std::uint32_t port = 0; port < kOutputPorts; ++port) {
        clap_audio_buffer_t& out = p.audio_outputs[port];
        out.constant_mask = 0;
        for (std::uint32_t c = 0; c < kChannelsPerPort; ++c)
            outputs[port * kChannelsPerPort + c] = out.data32[c] + from;
    }
    effect_->processReplacing(inputs, outputs, static_cast<std::int32_t>(to - from));
}

void ClapDelay::apply(const clap_event_header_t& event) {
    if (event.space_id != CLAP_CORE_EVENT_SPACE_ID) return;
    if (event.type == CLAP_EVENT_PARAM_VALUE && event.size >= sizeof(clap_event_param_value_t)) {
        const auto& value = reinterpret_cast<const clap_event_param_value_t&>(event);
        applyParamValue(value.param_id, value.value);
    } else if (event.type == CLAP_EVENT_TRANSPORT && event.size >= sizeof(clap_event_transport_t)) {
        takeTransport(reinterpret_cast<const clap_event_transport_t*>(&event));
    }
}

void ClapDelay::applyParamValue(clap_id id, double value) {
    const int position = positionOf(id);
    if (position == kProgramPosition) {
        if (!std::isfinite(value)) return;
        effect_->setProgram(programOf(value));
        valuesChanged_ = true;
        if (host_->request_callback != nullptr) host_->request_callback(host_);
        return;
    }
    if (position < 0) return;
    if (const auto v = interfaceValue(position, value)) effect_->setParameter(position, *v);
}

void ClapDelay::takeTransport(const clap_event_transport_t* transport) {
    haveTempo_ = transport != nullptr && (transport->flags & CLAP_TRANSPORT_HAS_TEMPO) != 0;
    blockTempo_ = haveTempo_ ? transport->tempo : 0.0;
}

namespace {

bool pushToHost(const clap_output_events_t* out, const HostEvent& e) {
    if (out == nullptr || out->try_push == nullptr) return false;
    if (e.type == CLAP_EVENT_PARAM_VALUE) {
        clap_event_param_value_t value{};
        value.header = {sizeof value, 0, CLAP_CORE_EVENT_SPACE_ID, e.type, 0};
        value.param_id = e.id;
        value.note_id = -1;
        value.port_index = -1;
        value.channel = -1;
        value.key = -1;
        value.value = e.value;
        return out->try_push(out, &value.header);
    }
    clap_event_param_gesture_t gesture{};
    gesture.header = {sizeof gesture, 0, CLAP_CORE_EVENT_SPACE_ID, e.type, 0};
    gesture.param_id = e.id;
    return out->try_push(out, &gesture.header);
}

} // namespace

void ClapDelay::sendQueued(const clap_output_events_t* out) {
    HostEvent event{};
    while (toHost_.pop(event))
        pushToHost(out, event);
}

// ---------------------------------------------------------------- the engine's host

// No VST 2 host stands behind the engine: every host request it makes gets the
// base's answer for a missing host.
ClapEffect::ClapEffect(ClapDelay& owner, EditorFactory makeEditor)
    : DelayEffect(nullptr, makeEditor), owner(owner) {}

HostTransport ClapEffect::hostTransport(std::int32_t) {
    return owner.blockTransport();
}

HostTransport ClapDelay::blockTransport() const {
    if (!tInProcess || !haveTempo_) return {};
    return {blockTempo_, true};
}

void ClapDelay::tellHost(std::uint16_t type, std::int32_t index) {
    if (index < 0 || index >= kNumParameters) return;
    const double value =
        type == CLAP_EVENT_PARAM_VALUE ? plainValue(index, effect_->getParameter(index)) : 0.0;
    const HostEvent event{type, idAt(index), value};
    if (tInProcess) {
        pushToHost(blockOut_, event);
        return;
    }
    toHost_.push(event);
    // Outside processing the host fetches the news through flush.
    if (hostParams_ != nullptr && !processing_) hostParams_->request_flush(host_);
}

} // namespace tesk::clapfmt
