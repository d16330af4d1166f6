#include "jack_delay.h"

#include "midi_control.h"

#include <jack/midiport.h>
#include <jack/transport.h>

#include <fcntl.h>
#include <new>
#include <string>
#include <unistd.h>

namespace tesk::jackfmt {

namespace {

void closeDescriptor(int& fd) {
    if (fd >= 0) close(fd);
    fd = -1;
}

// JACK refuses an exact name that is taken with no more than a server error:
// whether it is taken is asked of the server by a client of another name.
bool isClientName(const char* name) {
    jack_client_t* asking = jack_client_open("teskdelay-asking", JackNoStartServer, nullptr);
    if (asking == nullptr) return false;
    char* uuid = jack_get_uuid_for_client_name(asking, name);
    const bool taken = uuid != nullptr;
    if (uuid != nullptr) jack_free(uuid);
    jack_client_close(asking);
    return taken;
}

} // namespace

JackDelay::JackDelay(jack_client_t* client) : client_(client) {}

std::unique_ptr<JackDelay> JackDelay::open(const char* name, bool exactName, std::string& error,
                                           bool& noServer) {
    jack_status_t status{};
    const auto options =
        static_cast<jack_options_t>(JackNoStartServer | (exactName ? JackUseExactName : 0));
    jack_client_t* client = jack_client_open(name, options, &status);
    noServer = client == nullptr && (status & JackServerFailed) != 0;
    if (client == nullptr) {
        if (exactName && !noServer && isClientName(name))
            error = "another JACK client is named " + std::string(name) + " already";
        else if (noServer)
            error = "no JACK server is running: start one (jackd, qjackctl, or PipeWire's "
                    "through pw-jack) and run teskdelay again";
        else
            error = "the JACK server refused a client named " + std::string(name);
        return nullptr;
    }
    std::unique_ptr<JackDelay> self(new (std::nothrow) JackDelay(client));
    if (!self) {
        jack_client_close(client);
        error = "out of memory";
        return nullptr;
    }
    if (!self->live_.isUsable()) {
        error = "out of memory";
        return nullptr;
    }
    self->live_.setListener(self.get());
    if (!self->live_.setSampleRate(static_cast<float>(jack_get_sample_rate(client)))) {
        error = "the JACK server runs at " + std::to_string(jack_get_sample_rate(client)) +
                " Hz, which TeskDelay does not take";
        return nullptr;
    }
    if (pipe2(self->gonePipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "no pipe could be made for the server's news";
        return nullptr;
    }
    if (!self->makePorts(error)) return nullptr;
    jack_set_process_callback(client, &JackDelay::process, self.get());
    jack_on_info_shutdown(client, &JackDelay::serverShutdown, self.get());
    return self;
}

bool JackDelay::makePorts(std::string& error) {
    const auto audio = [&](const char* port, unsigned long flags) {
        jack_port_t* made = jack_port_register(client_, port, JACK_DEFAULT_AUDIO_TYPE, flags, 0);
        if (made == nullptr) error = std::string("JACK refused the port ") + port;
        return made;
    };
    for (std::size_t c = 0; c < inputs_.size(); ++c)
        if ((inputs_[c] = audio(kInputPorts[c], JackPortIsInput)) == nullptr) return false;
    for (std::size_t c = 0; c < outputs_.size(); ++c)
        if ((outputs_[c] = audio(kOutputPorts[c], JackPortIsOutput)) == nullptr) return false;
    midi_ = jack_port_register(client_, kMidiPort, JACK_DEFAULT_MIDI_TYPE, JackPortIsInput, 0);
    if (midi_ == nullptr) error = std::string("JACK refused the port ") + kMidiPort;
    return midi_ != nullptr;
}

JackDelay::~JackDelay() {
    deactivate();
    // Also after the server has gone: the library frees the client's side
    // without waiting for an answer (the test that kills the server holds it to that).
    jack_client_close(client_);
    closeDescriptor(gonePipe_[0]);
    closeDescriptor(gonePipe_[1]);
}

void JackDelay::load(const SavedState& state) {
    live_.load(state);
}

void JackDelay::loadProgram(std::int32_t program) {
    live_.loadProgram(program);
}

bool JackDelay::activate(std::string& error) {
    if (active_) return true;
    if (jack_activate(client_) != 0) {
        error = "the JACK server would not start the client";
        return false;
    }
    active_ = true;
    return true;
}

void JackDelay::deactivate() {
    if (!active_) return;
    if (!serverGone()) jack_deactivate(client_);
    active_ = false;
    live_.finishCrossing();
}

SavedState JackDelay::state() const {
    return live_.state();
}

std::vector<std::string> JackDelay::connectPhysicalPorts() {
    std::vector<std::string> problems;
    const auto connectEach = [&](unsigned long direction, const auto& ours, bool oursAreInputs) {
        const char** physical = jack_get_ports(client_, nullptr, JACK_DEFAULT_AUDIO_TYPE,
                                               JackPortIsPhysical | direction);
        for (std::size_t c = 0; c < 2; ++c) {
            const std::string own = std::string(jack_get_client_name(client_)) + ":" + ours[c];
            if (physical == nullptr || physical[c] == nullptr) {
                problems.push_back("no physical port for " + own);
                continue;
            }
            const char* from = oursAreInputs ? physical[c] : own.c_str();
            const char* to = oursAreInputs ? own.c_str() : physical[c];
            if (jack_connect(client_, from, to) != 0)
                problems.push_back(std::string("could not connect ") + from + " to " + to);
            // A mono interface: its one port feeds both inputs or takes both outputs.
            if (c == 0 && physical[1] == nullptr) physical[1] = physical[0];
        }
        if (physical != nullptr) jack_free(physical);
    };
    connectEach(JackPortIsOutput, kInputPorts, true);
    connectEach(JackPortIsInput, kOutputPorts, false);
    return problems;
}

std::string JackDelay::serverGoneReason() const {
    return std::string(goneReason_.data());
}

void JackDelay::parameterChanged(std::int32_t index, float value) {
    if (editor_ != nullptr) editor_->parameterChanged(index, value);
}

// ---------------------------------------------------------------- the process thread

HostTransport JackDelay::transport() const {
    jack_position_t position;
    jack_transport_query(client_, &position);
    if ((position.valid & JackPositionBBT) != 0 && isUsableHostTempo(position.beats_per_minute))
        return {position.beats_per_minute, true};
    return {fallbackTempo_.load(std::memory_order_relaxed), true};
}

BlockControls JackDelay::takeMidi(jack_nframes_t frames) const {
    BlockControls controls;
    void* buffer = jack_port_get_buffer(midi_, frames);
    const jack_nframes_t count = jack_midi_get_event_count(buffer);
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) == 0)
            controls.take(readMidiControl(event.buffer, event.size));
    }
    return controls;
}

int JackDelay::process(jack_nframes_t frames, void* data) {
    auto* self = static_cast<JackDelay*>(data);
    const BlockControls controls = self->takeMidi(frames);
    float* in[2];
    float* out[6];
    for (std::size_t c = 0; c < 2; ++c)
        in[c] = static_cast<float*>(jack_port_get_buffer(self->inputs_[c], frames));
    for (std::size_t c = 0; c < 6; ++c)
        out[c] = static_cast<float*>(jack_port_get_buffer(self->outputs_[c], frames));
    self->live_.processBlock(in, out, static_cast<std::int32_t>(frames), self->transport(),
                             controls);
    return 0;
}

void JackDelay::serverShutdown(jack_status_t, const char* reason, void* data) {
    // Called as a signal handler would be: a copy, a flag and a byte down the pipe.
    auto* self = static_cast<JackDelay*>(data);
    std::size_t n = 0;
    for (; reason != nullptr && reason[n] != '\0' && n + 1 < self->goneReason_.size(); ++n)
        self->goneReason_[n] = reason[n];
    self->goneReason_[n] = '\0';
    self->gone_.store(true, std::memory_order_release);
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(self->gonePipe_[1], &byte, 1);
}

} // namespace tesk::jackfmt
