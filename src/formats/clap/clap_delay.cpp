#include "clap_delay.h"

#include "clap_extensions.h"
#include "clap_params.h"
#include "parameter_info.h"
#include "parameter_state.h"
#include "product.h"

#if TESK_HAS_EDITOR
#include "clap_editor.h"
#endif

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

namespace tesk::clapfmt {

namespace {

constexpr std::uint32_t kInputPorts = 1;
constexpr std::uint32_t kOutputPorts = 3;
constexpr std::uint32_t kChannelsPerPort = 2;

const char* const kFeatures[] = {"audio-effect", "delay", "stereo", nullptr};


template <typename T> const T* hostExtension(const clap_host_t* host, const char* id) {
    return host->get_extension != nullptr ? static_cast<const T*>(host->get_extension(host, id))
                                          : nullptr;
}

// Whether `later` comes after `earlier` in the count of engine commands.
bool isAfter(std::uint32_t later, std::uint32_t earlier) {
    return static_cast<std::int32_t>(later - earlier) > 0;
}

// The value the engine will keep for `value`, as far as the main thread can tell.
float keptEstimate(int index, float value) {
    ParamRef ref{};
    float kept = value;
    splitParameterIndex(index, ref);
    keptValue(ref.kind, value, kept);
    return kept;
}

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

const clap_plugin_descriptor_t ClapDelay::kDescriptor = {
    CLAP_VERSION,
    "org.teskdelay.TeskDelay",
    kProductName,
    kVendorName,
    "",
    "",
    "",
    TESK_VERSION,
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

namespace {

// Debug builds check the thread rules always; others when the environment asks,
// as our test hosts do, so that every test build learns of a call on the wrong
// thread. Hosts' own runs pay a branch a call for it.
bool threadRulesChecked() {
#ifdef TESK_CLAP_THREAD_CHECKS
    return true;
#else
    const char* asked = std::getenv("TESK_CLAP_THREAD_CHECKS");
    return asked != nullptr && std::strcmp(asked, "1") == 0;
#endif
}

} // namespace

void ClapDelay::requireMainThread(const char* call) const {
    if (checkThreads_ && !threadCheck_->is_main_thread(host_)) {
        std::fprintf(stderr, "TeskDelay.clap: %s called off the main thread\n", call);
        std::abort();
    }
}

void ClapDelay::requireAudioThread(const char* call) const {
    if (checkThreads_ && !threadCheck_->is_audio_thread(host_)) {
        std::fprintf(stderr, "TeskDelay.clap: %s called off the audio thread\n", call);
        std::abort();
    }
}

// ---------------------------------------------------------------- life cycle

bool ClapDelay::init(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || self->engine_) return false;
    self->threadCheck_ =
        hostExtension<clap_host_thread_check_t>(self->host_, CLAP_EXT_THREAD_CHECK);
    self->checkThreads_ = self->threadCheck_ != nullptr && threadRulesChecked();
    self->requireMainThread("init");
    self->hostParams_ = hostExtension<clap_host_params_t>(self->host_, CLAP_EXT_PARAMS);
    self->hostTimer_ =
        hostExtension<clap_host_timer_support_t>(self->host_, CLAP_EXT_TIMER_SUPPORT);
    self->hostPresetLoad_ =
        hostExtension<clap_host_preset_load_t>(self->host_, CLAP_EXT_PRESET_LOAD);
    if (self->hostPresetLoad_ == nullptr)
        self->hostPresetLoad_ =
            hostExtension<clap_host_preset_load_t>(self->host_, CLAP_EXT_PRESET_LOAD_COMPAT);
    try {
        self->engine_.reset(new (std::nothrow) DelayEngine);
        if (!self->engine_ || !self->engine_->isUsable()) return false;
        // The host keeps the values it set: a followed tempo is heard, not written.
        self->engine_->setTempoFollowing(TempoFollowing::InUseOnly);
#if TESK_HAS_EDITOR
        self->editor_.reset(makeClapEditor(*self));
        if (self->editor_) self->editor_->setKnobMode(2);
#endif
        self->engine_->setListener(self);
    } catch (...) {
        return false; // out of memory: no instance, and nothing thrown into the host
    }
    return self->bypass_.isUsable();
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
    if (self == nullptr || !self->engine_ || self->active()) return false;
    self->requireMainThread("activate");
    if (!(rate >= 1.0 && rate <= DelayEngine::kMaxSampleRate) || maxFrames == 0) return false;
    if (!self->engine_->setSampleRate(static_cast<float>(rate))) return false;
    self->bypass_.setSampleRate(static_cast<float>(rate));
    // A session saved bypassed starts bypassed, without crossing over first.
    self->bypass_.settle();
    self->active_.store(true, std::memory_order_release);
    return true;
}

void ClapDelay::deactivate(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || !self->active()) return;
    self->requireMainThread("deactivate");
    self->active_.store(false, std::memory_order_release);
    // No block runs any more: what is still on its way is applied here.
    self->applyEngineCommands();
}

bool ClapDelay::startProcessing(const clap_plugin_t* plugin) {
    ClapDelay* self = of(plugin);
    if (self == nullptr || !self->active()) return false;
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
    if (self == nullptr || !self->active()) return;
    self->requireAudioThread("reset");
    self->engine_->resume(); // clears the delay memory, keeps the settings
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
    if (self == nullptr || p == nullptr || !self->active()) return CLAP_PROCESS_ERROR;
    self->requireAudioThread("process");
    return self->run(*p);
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
    beginServing(p.out_events);
    takeTransport(p.transport);
    applyEngineCommands();
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
    endServing();
    // Silence in and nothing left to echo: the host may let the instance sleep.
    return engine_->isQuiet() ? CLAP_PROCESS_SLEEP : CLAP_PROCESS_CONTINUE;
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
    bypass_.process(*engine_, inputs, outputs, static_cast<std::int32_t>(to - from), transport_);
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
    if (position < 0 || !std::isfinite(value)) return;
    if (position == kProgramPosition) {
        loadProgram(programOf(value));
        return;
    }
    if (position == kBypassPosition) {
        bypass_.setBypassed(bypassOf(value));
        return;
    }
    engine_->setParameter(position, interfaceValueOfPlain(position, value));
    // A value the engine keeps otherwise (held to its range, an input whose
    // source is off) goes back, so that the host shows what is heard.
    const double kept = plainValue(position, engine_->getParameter(position));
    if (static_cast<float>(kept) != static_cast<float>(value)) reportEngineValue(position);
}

void ClapDelay::loadProgram(int program) {
    quiet_ = true;
    engine_->setProgram(program);
    quiet_ = false;
    valuesChanged_ = true;
    if (host_->request_callback != nullptr) host_->request_callback(host_);
}

void ClapDelay::takeTransport(const clap_event_transport_t* transport) {
    const bool known = transport != nullptr && (transport->flags & CLAP_TRANSPORT_HAS_TEMPO) != 0;
    transport_ = known ? HostTransport{transport->tempo, true} : HostTransport{};
}

// ---------------------------------------------------------------- news for the host

void ClapDelay::beginServing(const clap_output_events_t* out) {
    out_ = out;
    serving_.store(true, std::memory_order_relaxed);
    // What the main thread told meanwhile goes after what already waits: the
    // order everything arose in.
    HostEvent event{};
    while (toHost_.pop(event))
        if (!outbox_.add(event)) outboxOverflowed_ = true;
    flushOutbox();
}

void ClapDelay::endServing() {
    flushOutbox();
    out_ = nullptr;
    serving_.store(false, std::memory_order_relaxed);
}

void ClapDelay::flushOutbox() {
    if (out_ == nullptr) return;
    outbox_.sendWhile([this](const HostEvent& e) { return pushToHost(out_, e); });
    if (!outboxOverflowed_ || !outbox_.empty()) return;
    // News was lost for want of room: the host hears every value once more.
    outboxOverflowed_ = false;
    for (int index = 0; index < kNumParameters; ++index)
        outbox_.add(
            {CLAP_EVENT_PARAM_VALUE, idAt(index), plainValue(index, engine_->getParameter(index))});
    outbox_.sendWhile([this](const HostEvent& e) { return pushToHost(out_, e); });
}

void ClapDelay::sendToHost(const HostEvent& event) {
    if (serving_.load(std::memory_order_relaxed)) {
        if (!outbox_.add(event)) outboxOverflowed_ = true;
        flushOutbox();
        return;
    }
    // The main thread: the host fetches the news through flush, or with the next block.
    if (!toHost_.push(event))
        std::fprintf(stderr, "TeskDelay.clap: the host has not fetched parameter news for a "
                             "long time; some of it is lost\n");
    if (hostParams_ != nullptr && !processing_) hostParams_->request_flush(host_);
}

void ClapDelay::reportEngineValue(std::int32_t index) {
    if (quiet_ || index < 0 || index >= kNumParameters) return;
    sendToHost(
        {CLAP_EVENT_PARAM_VALUE, idAt(index), plainValue(index, engine_->getParameter(index))});
}

void ClapDelay::tellHost(std::uint16_t type, std::int32_t index) {
    if (index < 0 || index >= kNumParameters) return;
    const double value = type == CLAP_EVENT_PARAM_VALUE ? plainValue(index, mainValue(index)) : 0.0;
    sendToHost({type, idAt(index), value});
}

// ---------------------------------------------------------------- the main thread's changes

float ClapDelay::mainValue(int index) const {
    if (index < 0 || index >= kNumParameters) return 0.0f;
    const auto i = static_cast<std::size_t>(index);
    if (isAfter(pendingSequence_[i], appliedSequence_.load(std::memory_order_acquire)))
        return pendingValue_[i];
    return engine_->getParameter(index);
}

bool ClapDelay::mainBypassed() const {
    if (isAfter(pendingBypassSequence_, appliedSequence_.load(std::memory_order_acquire)))
        return pendingBypassed_;
    return bypass_.bypassed();
}

int ClapDelay::mainProgram() const {
    if (isAfter(pendingProgramSequence_, appliedSequence_.load(std::memory_order_acquire)))
        return pendingProgram_;
    return engine_->getProgram();
}

void ClapDelay::setFromMain(int index, float value) {
    if (index < 0 || index >= kNumParameters) return;
    if (!active()) {
        engine_->setParameter(index, value);
        return;
    }
    EngineCommand command{EngineCommand::SetValue, index, value, queuedSequence_ + 1};
    if (!queueForEngine(&command, 1)) return;
    pendingSequence_[static_cast<std::size_t>(index)] = command.sequence;
    pendingValue_[static_cast<std::size_t>(index)] = keptEstimate(index, value);
}

bool ClapDelay::loadState(const SavedState& state) {
    if (!active()) {
        quiet_ = true;
        engine_->setProgram(state.program);
        for (int i = 0; i < kNumParameters; ++i)
            engine_->setParameter(i, state.values[static_cast<std::size_t>(i)]);
        bypass_.setBypassed(state.bypassed);
        quiet_ = false;
        if (hostParams_ != nullptr) hostParams_->rescan(host_, CLAP_PARAM_RESCAN_VALUES);
        return true;
    }
    // The program first, then every value over it, in index order (a line's
    // switch comes before the inputs that listen to it), then the bypass, all
    // in one piece.
    constexpr std::size_t kBypassCommand = kNumParameters + 1;
    std::array<EngineCommand, kNumParameters + 3> commands{};
    std::uint32_t sequence = queuedSequence_;
    commands[0] = {EngineCommand::LoadProgram, state.program, 0.0f, ++sequence};
    for (int i = 0; i < kNumParameters; ++i)
        commands[static_cast<std::size_t>(i) + 1] = {
            EngineCommand::SetValue, i, state.values[static_cast<std::size_t>(i)], ++sequence};
    commands[kBypassCommand] = {EngineCommand::SetBypass, state.bypassed ? 1 : 0, 0.0f, ++sequence};
    commands.back() = {EngineCommand::StateApplied, 0, 0.0f, ++sequence};
    if (!queueForEngine(commands.data(), static_cast<std::uint32_t>(commands.size()))) return false;
    pendingProgram_ = state.program;
    pendingProgramSequence_ = commands[0].sequence;
    for (std::size_t i = 0; i < state.values.size(); ++i) {
        pendingSequence_[i] = commands[i + 1].sequence;
        pendingValue_[i] = keptEstimate(static_cast<int>(i), state.values[i]);
    }
    pendingBypassed_ = state.bypassed;
    pendingBypassSequence_ = commands[kBypassCommand].sequence;
    return true;
}

bool ClapDelay::queueForEngine(EngineCommand* commands, std::uint32_t count) {
    // A host that neither processes nor flushes for a second while active has
    // stopped listening; until then the queue drains with every block.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(1);
    while (!toEngine_.push(commands, count)) {
        if (hostParams_ != nullptr) hostParams_->request_flush(host_);
        if (std::chrono::steady_clock::now() > deadline) {
            std::fprintf(stderr, "TeskDelay.clap: the host runs no block and no flush; a change "
                                 "made in the editor or a loaded state is not applied\n");
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    queuedSequence_ = commands[count - 1].sequence;
    if (hostParams_ != nullptr && !processing_) hostParams_->request_flush(host_);
    return true;
}

void ClapDelay::applyEngineCommands() {
    EngineCommand command{};
    while (toEngine_.pop(command)) {
        applyEngineCommand(command);
        appliedSequence_.store(command.sequence, std::memory_order_release);
    }
}

void ClapDelay::applyEngineCommand(const EngineCommand& command) {
    switch (command.kind) {
    case EngineCommand::SetValue:
        engine_->setParameter(command.index, command.value);
        // The main thread told the host what it asked for; what the engine kept
        // instead goes after it.
        if (static_cast<float>(plainValue(command.index, engine_->getParameter(command.index))) !=
            static_cast<float>(
                plainValue(command.index, keptEstimate(command.index, command.value))))
            reportEngineValue(command.index);
        break;
    case EngineCommand::LoadProgram:
        quiet_ = true; // until the state is applied
        engine_->setProgram(command.index);
        break;
    case EngineCommand::SetBypass:
        bypass_.setBypassed(command.index != 0);
        break;
    case EngineCommand::StateApplied:
        quiet_ = false;
        valuesChanged_ = true;
        if (host_->request_callback != nullptr) host_->request_callback(host_);
        break;
    }
}

// ---------------------------------------------------------------- the engine's news

void ClapDelay::parameterChanged(std::int32_t index, float value) {
    if (editor_) editor_->parameterChanged(index, value);
}

} // namespace tesk::clapfmt
