// TeskDelay as a JACK client: two audio inputs, the three output pairs and a
// MIDI input around a `LiveDelay` (the engine, with a `BypassFade` between it
// and the ports). The engine plays the tempo of the JACK transport where a timebase
// master gives one, else a tempo of the program's choosing; MIDI program
// changes cross over through the input so that no value jumps in what is heard.
//
// Threads. The main thread opens, loads a state, activates, deactivates, reads
// the state back and runs the editor; JACK's process thread drives the engine
// in between. The process callback allocates nothing, locks nothing and makes
// no system call.
#pragma once

#include "editor_interface.h"
#include "live_delay.h"
#include "saved_state.h"

#include <jack/jack.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tesk::jackfmt {

/// The client's name, and its ports in the order the engine takes them.
inline constexpr const char* kClientName = "TeskDelay";
inline constexpr std::array<const char*, 2> kInputPorts{"in_L", "in_R"};
inline constexpr std::array<const char*, 6> kOutputPorts{"main_L", "main_R", "out2_L",
                                                         "out2_R", "out3_L", "out3_R"};
inline constexpr const char* kMidiPort = "midi_in";

class JackDelay final : private EngineListener {
  public:
    /// Opens the client `name` on the JACK server (JACK_DEFAULT_SERVER's, else
    /// the default one) without starting a server, and registers its ports; not
    /// active yet. Where another client has the name, the server names this one
    /// after it, or with `exactName` refuses it. Null, with a sentence for the
    /// user in `error`, when there is no server or no port; `noServer` then
    /// tells whether no server answered. Main thread.
    static std::unique_ptr<JackDelay> open(const char* name, bool exactName, std::string& error,
                                           bool& noServer);
    /// Deactivates and closes the client. Main thread.
    ~JackDelay();
    JackDelay(const JackDelay&) = delete;
    JackDelay& operator=(const JackDelay&) = delete;

    /// Loads `state` (program, every value, bypass) at once. Main thread, before `activate`.
    void load(const SavedState& state);
    /// Loads program `program` (0..15). Main thread, before `activate`.
    void loadProgram(std::int32_t program);
    /// The tempo synced lines play at while no timebase master gives one,
    /// in beats per minute (48..999). Any thread.
    void setFallbackTempo(double bpm) { fallbackTempo_.store(bpm, std::memory_order_relaxed); }
    /// Starts processing; false, with a sentence in `error`, when JACK refuses. Main thread.
    bool activate(std::string& error);
    /// Stops processing; a program change still crossing over is completed. Main thread.
    void deactivate();
    /// The program, every value and the bypass; while active, a program change
    /// played in shows once its crossing has loaded it. Main thread.
    SavedState state() const;

    /// The editor that hears of every parameter change from now on, on the
    /// thread that made it; null for none. Main thread, while not active: the
    /// process thread tells the editor of a program change played in.
    void setEditor(EditorInterface* editor) { editor_ = editor; }
    /// The interface value of parameter `index`, as the next block hears it. Main thread.
    float value(std::int32_t index) const { return live_.value(index); }
    /// Sets parameter `index` from its interface value, heard from the next block on. Main thread.
    void setValue(std::int32_t index, float value) { live_.setValue(index, value); }
    /// The tempo line `line` (0 to 3) plays at, in beats per minute. Main thread.
    float tempoInUse(int line) const { return live_.tempoInUse(line); }

    /// Connects in_L and in_R to the first two physical capture ports, main_L and
    /// main_R to the first two physical playback ports; a sentence for each
    /// connection that could not be made. Main thread, once active.
    std::vector<std::string> connectPhysicalPorts();

    /// The client's name on the server: the one asked for, or the server's
    /// variant of it where another client had it. Main thread.
    std::string name() const { return jack_get_client_name(client_); }

    /// A descriptor that becomes readable when the server has gone away. Any thread.
    int serverGoneDescriptor() const { return gonePipe_[0]; }
    /// Whether the server has gone away; the client is of no use then. Any thread.
    bool serverGone() const { return gone_.load(std::memory_order_acquire); }
    /// What the server said when it went away. Main thread, once `serverGone`.
    std::string serverGoneReason() const;

  private:
    explicit JackDelay(jack_client_t* client);
    bool makePorts(std::string& error);
    static int process(jack_nframes_t frames, void* self);
    static void serverShutdown(jack_status_t code, const char* reason, void* self);
    // EngineListener: the editor hears of every change.
    void parameterChanged(std::int32_t index, float value) override;
    /// The block's tempo: the timebase master's, else the fallback (process thread).
    HostTransport transport() const;
    /// What the block's MIDI messages ask for (process thread).
    BlockControls takeMidi(jack_nframes_t frames) const;

    jack_client_t* client_;
    std::array<jack_port_t*, 2> inputs_{};
    std::array<jack_port_t*, 6> outputs_{};
    jack_port_t* midi_ = nullptr;
    LiveDelay live_;
    EditorInterface* editor_ = nullptr;
    std::atomic<double> fallbackTempo_{120.0};
    bool active_ = false;

    int gonePipe_[2] = {-1, -1};
    std::atomic<bool> gone_{false};
    std::array<char, 256> goneReason_{};
};

} // namespace tesk::jackfmt
