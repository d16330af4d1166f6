// teskdelay as users run it: the built program on a JACK server of the test's
// own (the dummy back end, synchronous, in real time),
// fed and heard by a JACK client of the test's own. Every program sounds as the
// VST 2 module renders it, block for block and bit for bit; a timebase
// master's tempo is followed; a MIDI program change does not click; the
// bypass controller; the state kept, restored, set aside when broken and not
// overwritten by a failing write; the server missing and going away; the
// editor in its window under Xvfb.
#include "jack_delay.h"
#include "parameters.h"
#include "plugin_fixture.h"
#include "saved_state.h"

// GoogleTest comes before Xlib, whose None and Bool macros clash with its names.
#include <gtest/gtest.h>

#include "x11_test_support.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <jack/jack.h>
#include <jack/midiport.h>
#include <lo/lo.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tesk::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr int kRate = 44100;
constexpr int kPeriod = 256;

/// Polls `done` until it holds or `limit` has passed; whether it held.
bool waitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 20s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(1ms);
    }
    return true;
}

bool installed(const std::string& program) {
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "";
    for (std::size_t start = 0; start <= folders.size();) {
        const std::size_t end = std::min(folders.find(':', start), folders.size());
        if (access((folders.substr(start, end - start) + "/" + program).c_str(), X_OK) == 0)
            return true;
        start = end + 1;
    }
    return false;
}

std::string textOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

/// A child process, its standard error in a file; killed when it goes.
class Child {
  public:
    Child(std::vector<std::string> argv, const fs::path& errors, rlim_t fileSizeLimit = 0) {
        pid_ = fork();
        if (pid_ != 0) return;
        const int fd = ::open(errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(fd, 2);
        const int null = ::open("/dev/null", O_WRONLY);
        dup2(null, 1);
        if (fileSizeLimit != 0) {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{fileSizeLimit, fileSizeLimit};
            setrlimit(RLIMIT_FSIZE, &limit);
        }
        std::vector<char*> args;
        for (std::string& a : argv)
            args.push_back(a.data());
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    ~Child() {
        if (pid_ > 0 && !status_) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    bool running() { return !ended(); }
    /// Whether it has ended (reaping it).
    bool ended() {
        int status = 0;
        if (!status_ && waitpid(pid_, &status, WNOHANG) == pid_) status_ = status;
        return status_.has_value();
    }
    /// Its exit code once it ends within the deadline; -1 for no end, -2 for a signal.
    int exitCode(std::chrono::milliseconds limit = 20s) {
        if (!waitUntil([&] { return ended(); }, limit)) return -1;
        return WIFEXITED(*status_) ? WEXITSTATUS(*status_) : -2;
    }

  private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

/// A JACK client of the test's own: it plays a signal into TeskDelay's inputs
/// from the start of a cycle, records all six outputs, sends MIDI at set frames
/// of the signal and, when asked, is the transport's timebase master.
class Probe {
  public:
    struct MidiAt {
        int frame;
        std::vector<std::uint8_t> bytes;
    };

    Probe() {
        client_ = jack_client_open("tesk-probe", JackNoStartServer, nullptr);
        if (client_ == nullptr) return;
        for (int c = 0; c < 2; ++c)
            out_[c] = jack_port_register(client_, c == 0 ? "out_L" : "out_R",
                                         JACK_DEFAULT_AUDIO_TYPE, JackPortIsOutput, 0);
        for (int c = 0; c < 6; ++c)
            in_[c] = jack_port_register(client_, ("in_" + std::to_string(c)).c_str(),
                                        JACK_DEFAULT_AUDIO_TYPE, JackPortIsInput, 0);
        midi_ =
            jack_port_register(client_, "midi_out", JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
        jack_set_process_callback(client_, &Probe::process, this);
        jack_set_freewheel_callback(
            client_, [](int on, void* self) { static_cast<Probe*>(self)->freewheeling_ = on != 0; },
            this);
        jack_activate(client_);
    }
    ~Probe() {
        if (client_ != nullptr) jack_client_close(client_);
    }
    Probe(const Probe&) = delete;
    Probe& operator=(const Probe&) = delete;

    bool usable() const { return client_ != nullptr; }
    /// The JACK client name TeskDelay is looked for under.
    void setTeskDelayName(const std::string& name) { name_ = name; }
    /// Whether TeskDelay's ports are there.
    bool teskDelayThere() const {
        return client_ != nullptr &&
               jack_port_by_name(client_, (name_ + ":midi_in").c_str()) != nullptr;
    }
    /// Wires the probe to TeskDelay: its outputs into in_L/in_R, every output of
    /// TeskDelay into the probe, the MIDI into midi_in.
    bool connect() {
        bool ok = jack_connect(client_, "tesk-probe:out_L", (name_ + ":in_L").c_str()) == 0 &&
                  jack_connect(client_, "tesk-probe:out_R", (name_ + ":in_R").c_str()) == 0 &&
                  jack_connect(client_, "tesk-probe:midi_out", (name_ + ":midi_in").c_str()) == 0;
        for (int c = 0; c < 6; ++c)
            ok = ok && jack_connect(client_, (name_ + ":" + jackfmt::kOutputPorts[c]).c_str(),
                                    ("tesk-probe:in_" + std::to_string(c)).c_str()) == 0;
        return ok;
    }
    /// Makes the transport roll at `bpm`, given by the probe as timebase master.
    bool giveTempo(double bpm) {
        bpm_ = bpm;
        if (jack_set_timebase_callback(client_, 0, &Probe::timebase, this) != 0) return false;
        jack_transport_start(client_);
        // TeskDelay reads the tempo the cycle after the master gave it: a few
        // cycles later every block it runs has it.
        const unsigned from = cycles_.load();
        return waitUntil([&] { return cycles_.load() > from + 8; });
    }
    /// Plays `input` (both channels) and records `frames` of the outputs; true once done.
    bool play(const std::vector<float>& input, int frames, std::vector<MidiAt> midi = {}) {
        input_ = input;
        midiAt_ = std::move(midi);
        for (auto& channel : recorded_)
            channel.assign(static_cast<std::size_t>(frames), 0.0f);
        position_ = 0;
        done_ = false;
        // Freewheeling, the server runs the cycles one after the other as fast
        // as its clients go, waiting for each of them: no deadline to miss on a
        // busy machine, and the play done in less than its own time. The play
        // begins once the server is well into it (the cycles around the switch
        // may reach one client and not the other), and ends before it stops.
        jack_set_freewheel(client_, 1);
        if (!waitUntil([&] { return freewheeling_.load(); })) return false;
        const unsigned from = cycles_.load();
        if (!waitUntil([&] { return cycles_.load() > from + 8; })) return false;
        armed_.store(true, std::memory_order_release);
        const bool finished = waitUntil([&] { return done_.load(std::memory_order_acquire); });
        armed_.store(false);
        jack_set_freewheel(client_, 0);
        waitUntil([&] { return !freewheeling_.load(); });
        return finished;
    }
    const Outputs& recorded() const { return recorded_; }

  private:
    static int process(jack_nframes_t frames, void* data) {
        auto* self = static_cast<Probe*>(data);
        ++self->cycles_;
        float* out[2];
        for (int c = 0; c < 2; ++c) {
            out[c] = static_cast<float*>(jack_port_get_buffer(self->out_[c], frames));
            std::memset(out[c], 0, sizeof(float) * frames);
        }
        void* midi = jack_port_get_buffer(self->midi_, frames);
        jack_midi_clear_buffer(midi);
        if (!self->armed_.load(std::memory_order_acquire) || self->done_.load()) return 0;
        const int from = self->position_;
        const auto length = static_cast<int>(self->recorded_[0].size());
        for (int c = 0; c < 6; ++c) {
            const auto* in = static_cast<const float*>(jack_port_get_buffer(self->in_[c], frames));
            for (int k = 0; k < static_cast<int>(frames) && from + k < length; ++k)
                self->recorded_[c][from + k] = in[k];
        }
        for (int k = 0; k < static_cast<int>(frames); ++k)
            if (from + k < std::ssize(self->input_)) out[0][k] = out[1][k] = self->input_[from + k];
        for (const MidiAt& m : self->midiAt_)
            if (m.frame >= from && m.frame < from + static_cast<int>(frames))
                jack_midi_event_write(midi, m.frame - from, m.bytes.data(), m.bytes.size());
        self->position_ = from + static_cast<int>(frames);
        if (self->position_ >= length) self->done_.store(true, std::memory_order_release);
        return 0;
    }
    static void timebase(jack_transport_state_t, jack_nframes_t, jack_position_t* pos, int,
                         void* data) {
        pos->valid = JackPositionBBT;
        pos->bar = 1;
        pos->beat = 1;
        pos->tick = 0;
        pos->beats_per_bar = 4.0f;
        pos->beat_type = 4.0f;
        pos->ticks_per_beat = 1920.0;
        pos->beats_per_minute = static_cast<Probe*>(data)->bpm_;
    }

    jack_client_t* client_ = nullptr;
    jack_port_t* out_[2] = {};
    jack_port_t* in_[6] = {};
    jack_port_t* midi_ = nullptr;
    std::vector<float> input_;
    std::vector<MidiAt> midiAt_;
    Outputs recorded_;
    int position_ = 0;
    std::atomic<bool> armed_{false};
    std::atomic<bool> done_{false};
    std::atomic<unsigned> cycles_{0};
    std::atomic<bool> freewheeling_{false};
    double bpm_ = 120.0;
    std::string name_ = jackfmt::kClientName;
};

/// A JACK server of the test's own: synchronous, so that every client's block
/// is in before the cycle ends, and patient (10 s for a client's answer, not
/// half a second), since a busy machine running sanitizer builds is slow to
/// answer; the dummy back end runs in real time. It is
/// named after the test: JACK keeps a table of eight servers for the whole
/// machine, and the entry of one that was killed is taken back only by a server
/// of the same name.
class JackServer {
  public:
    JackServer(const std::string& name, const fs::path& log) {
        setenv("JACK_DEFAULT_SERVER", name.c_str(), 1);
        process_ = std::make_unique<Child>(
            std::vector<std::string>{"jackd", "--no-realtime", "-S", "-t", "10000", "-n", name,
                                     "-d", "dummy", "-r", std::to_string(kRate), "-p",
                                     std::to_string(kPeriod)},
            log);
        jack_set_error_function([](const char*) {});
        up_ = waitUntil([&] {
                  if (!process_->running()) return true;
                  jack_client_t* c = jack_client_open("tesk-ping", JackNoStartServer, nullptr);
                  if (c != nullptr) jack_client_close(c);
                  return c != nullptr;
              }) &&
              process_->running();
    }
    /// Stops the server as its users do, so that it leaves nothing behind.
    ~JackServer() {
        if (process_->running()) kill(process_->pid(), SIGTERM);
        process_->exitCode(5s);
    }
    bool up() const { return up_; }
    Child& process() { return *process_; }

  private:
    std::unique_ptr<Child> process_;
    bool up_ = false;
};

class TeskdelayTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(installed("jackd")) << "jackd was not found: install Debian's jackd2 "
                                           "(scripts/setup test installs it)";
        folder = fs::temp_directory_path() /
                 ("tesk-teskdelay-" + std::to_string(getpid()) + "-" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        stateFile = folder / "state.tkds";
        serverName =
            std::string("tesk-") + ::testing::UnitTest::GetInstance()->current_test_info()->name();
        server = std::make_unique<JackServer>(serverName, folder / "jackd.log");
        ASSERT_TRUE(server->up()) << "jackd did not start: " << textOf(folder / "jackd.log");
        probe = std::make_unique<Probe>();
        ASSERT_TRUE(probe->usable());
    }
    void TearDown() override {
        probe.reset();
        teskdelay.reset();
        // A server that was killed is started and stopped again, which clears its entry.
        if (server && !server->process().running())
            server = std::make_unique<JackServer>(serverName, folder / "jackd.log");
        server.reset();
        fs::remove_all(folder);
    }

    /// Starts teskdelay --state <stateFile> with `args` (and --no-gui unless
    /// `withEditor`), and waits for its ports.
    ::testing::AssertionResult start(std::vector<std::string> args, rlim_t fileSizeLimit = 0) {
        args.insert(args.begin(), {TESK_TESKDELAY, "--state", stateFile.string()});
        if (!withEditor) args.insert(args.begin() + 1, "--no-gui");
        teskdelay = std::make_unique<Child>(args, folder / "stderr", fileSizeLimit);
        if (!waitUntil([&] { return probe->teskDelayThere() || teskdelay->ended(); }) ||
            teskdelay->ended())
            return ::testing::AssertionFailure()
                   << "teskdelay did not come up: " << textOf(folder / "stderr");
        // The ports are there before the client is active, and only then take connections.
        if (!waitUntil([&] { return probe->connect(); }))
            return ::testing::AssertionFailure() << "ports not connected";
        return ::testing::AssertionSuccess();
    }
    /// Starts teskdelay with `args` and plays `input` (`frames` recorded), giving
    /// the transport `bpm` first where given.
    ::testing::AssertionResult startAndPlay(const std::vector<std::string>& args,
                                            const std::vector<float>& input, int frames,
                                            const std::vector<Probe::MidiAt>& midi = {},
                                            double bpm = 0.0) {
        if (auto started = start(args); !started) return started;
        if (bpm > 0.0 && !probe->giveTempo(bpm))
            return ::testing::AssertionFailure() << "the probe could not give the tempo";
        if (!probe->play(input, frames, midi))
            return ::testing::AssertionFailure() << "the play did not end";
        return ::testing::AssertionSuccess();
    }
    /// Ends teskdelay with `signal`; its exit code.
    int quit(int signal = SIGTERM) {
        kill(teskdelay->pid(), signal);
        return teskdelay->exitCode();
    }
    std::string errors() const { return textOf(folder / "stderr"); }
    std::optional<SavedState> savedState() const { return savedStateIn(stateFile); }
    static std::optional<SavedState> savedStateIn(const fs::path& file) {
        const std::string bytes = textOf(file);
        return decodeState(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }

    fs::path folder, stateFile;
    bool withEditor = false;
    std::string serverName;
    std::unique_ptr<JackServer> server;
    std::unique_ptr<Probe> probe;
    std::unique_ptr<Child> teskdelay;
};

/// An impulse, then a phrase: three short decaying notes and a burst of noise,
/// 0.6 s in all (the dummy back end plays it in real time, sixteen times over).
std::vector<float> impulseAndPhrase() {
    std::vector<float> s(static_cast<std::size_t>(kRate * 6 / 10), 0.0f);
    s[0] = 1.0f;
    const double notes[] = {220.0, 330.0, 495.0};
    for (int n = 0; n < 3; ++n)
        for (int k = 0; k < 3000; ++k)
            s[static_cast<std::size_t>(4000 + 4000 * n + k)] = static_cast<float>(
                0.5 * std::exp(-k / 1000.0) * std::sin(2.0 * M_PI * notes[n] * k / kRate));
    unsigned noise = 12345;
    for (int k = 17000; k < 19000; ++k) {
        noise = noise * 1664525u + 1013904223u;
        s[static_cast<std::size_t>(k)] = static_cast<float>(noise >> 8) / 16777216.0f - 0.5f;
    }
    return s;
}

constexpr int kLead = 4; ///< silent blocks the reference runs before the signal

/// The VST 2 module's rendering of `input` in blocks of the server's period,
/// after silent blocks as TeskDelay ran before the probe played.
Outputs reference(const std::function<void(Plugin&)>& setUp, const std::vector<float>& input,
                  int frames, double bpm = 120.0) {
    Plugin p([&](vsthost::HostState& h) { h.setTransport(bpm, kRate); });
    setUp(p);
    p->start(kRate, kPeriod);
    std::vector<float> in(static_cast<std::size_t>(kLead * kPeriod + frames), 0.0f);
    std::copy(input.begin(), input.end(), in.begin() + kLead * kPeriod);
    Outputs out = p.render(in, in, kPeriod);
    for (auto& c : out)
        c.erase(c.begin(), c.begin() + kLead * kPeriod);
    return out;
}

/// How many whole blocks later `recorded` holds `expected`, bit for bit on
/// every output (the probe hears TeskDelay a cycle late, as clients in a loop
/// do); none when at no delay of up to three blocks.
std::optional<int> blocksLate(const Outputs& recorded, const Outputs& expected, int frames) {
    for (int late = 0; late <= 3; ++late) {
        bool same = true;
        for (int c = 0; c < 6 && same; ++c)
            same = std::memcmp(recorded[c].data() + late * kPeriod, expected[c].data(),
                               sizeof(float) * static_cast<std::size_t>(frames)) == 0;
        if (same) return late;
    }
    return std::nullopt;
}

TEST_F(TeskdelayTest, EveryProgramSoundsAsTheVst2ModuleRendersIt) {
    const std::vector<float> input = impulseAndPhrase();
    const int frames = static_cast<int>(input.size());
    for (int program = 0; program < 16; ++program) {
        ASSERT_TRUE(
            startAndPlay({"--program", std::to_string(program + 1)}, input, frames + 4 * kPeriod));
        const Outputs expected =
            reference([&](Plugin& p) { p->dispatch(effSetProgram, 0, program); }, input, frames);
        ASSERT_NE(firstSound(expected[0]), -1);
        const auto late = blocksLate(probe->recorded(), expected, frames);
        EXPECT_TRUE(late) << "program " << program + 1 << ", first difference at one block late: "
                          << firstDifference(
                                 std::vector<float>(probe->recorded()[0].begin() + kPeriod,
                                                    probe->recorded()[0].end()),
                                 expected[0]);
        EXPECT_EQ(quit(), 0) << errors();
        ASSERT_EQ(savedState()->program, program);
    }
}

// Program 1's first line is synced: a timebase master at 100 bpm moves its
// echoes to where the module puts them at 100, and away from 120's.
TEST_F(TeskdelayTest, SyncedLinesFollowTheTimebaseMastersTempo) {
    const std::vector<float> input = impulseAndPhrase();
    const int frames = static_cast<int>(input.size());
    const auto programOne = [](Plugin& p) { p->dispatch(effSetProgram, 0, 0); };
    const Outputs at100 = reference(programOne, input, frames, 100.0);
    ASSERT_NE(firstDifference(at100[0], reference(programOne, input, frames, 120.0)[0]), -1);
    ASSERT_TRUE(
        startAndPlay({"--program", "1", "--tempo", "120"}, input, frames + 4 * kPeriod, {}, 100.0));
    EXPECT_TRUE(blocksLate(probe->recorded(), at100, frames));
    EXPECT_EQ(quit(), 0);
}

// Without a timebase master the lines play at --tempo.
TEST_F(TeskdelayTest, WithoutATimebaseMasterSyncedLinesPlayAtTheTempoGiven) {
    const std::vector<float> input = impulseAndPhrase();
    const int frames = static_cast<int>(input.size());
    ASSERT_TRUE(startAndPlay({"--program", "1", "--tempo", "90"}, input, frames + 4 * kPeriod));
    const Outputs at90 =
        reference([](Plugin& p) { p->dispatch(effSetProgram, 0, 0); }, input, frames, 90.0);
    EXPECT_TRUE(blocksLate(probe->recorded(), at90, frames));
    EXPECT_EQ(quit(), 0);
}

// A -6 dBFS sine through program 1, then a Program Change to the program
// whose sound differs most from it there, and later CC 80 on and off. No step
// around the change is more than twice the largest step either program makes
// of the sine on its own, while switching hard from one program's rendering
// to the other's would be; the change lands in a block whose output is the
// input itself, and it is saved.
TEST_F(TeskdelayTest, AProgramChangeDoesNotClickAndTheBypassControllerWorks) {
    const int frames = 400 * kPeriod, change = 100 * kPeriod;
    const int bypassOn = 250 * kPeriod, bypassOff = 320 * kPeriod;
    std::vector<float> sine(static_cast<std::size_t>(frames));
    for (int k = 0; k < frames; ++k)
        sine[static_cast<std::size_t>(k)] =
            static_cast<float>(0.501 * std::sin(2.0 * M_PI * 440.0 * k / kRate));
    const auto render = [&](int n) {
        return reference([n](Plugin& p) { p->dispatch(effSetProgram, 0, n); }, sine, frames);
    };
    const Outputs before = render(0);
    const auto spliced = [&](const Outputs& after) {
        Outputs hard = before;
        for (int c = 0; c < 6; ++c)
            std::copy(after[c].begin() + change, after[c].end(), hard[c].begin() + change);
        return largestStep(hard, change - 2048, change + 2048);
    };
    int target = 1;
    Outputs after = render(1);
    for (int n = 2; n < 16; ++n)
        if (Outputs other = render(n); spliced(other) > spliced(after)) {
            target = n;
            after = std::move(other);
        }
    const float ownStep = std::max(largestStep(before, 0, frames), largestStep(after, 0, frames));
    ASSERT_GT(spliced(after), 2.0f * ownStep);

    ASSERT_TRUE(startAndPlay({"--program", "1"}, sine, frames,
                             {{change, {0xc4, static_cast<std::uint8_t>(target)}},
                              {bypassOn, {0xb0, 80, 100}},
                              {bypassOff, {0xb0, 80, 10}}}));
    const Outputs& heard = probe->recorded();
    EXPECT_LE(largestStep(heard, change - 2048, change + 4096), 2.0f * ownStep);
    // The crossing passes through the input itself: the program is loaded
    // between two blocks while the output is all input, which it stays for the
    // rest of the block the crossing ended in (the probe hears it a block late
    // or not, as the server ordered the clients).
    int allInput = 0, longest = 0;
    for (int k = change; k < change + 8 * kPeriod; ++k) {
        const bool input = heard[0][k] == heard[1][k] && heard[2][k] == 0.0f &&
                           heard[4][k] == 0.0f &&
                           (heard[0][k] == sine[k] || heard[0][k] == sine[k - kPeriod]);
        allInput = input ? allInput + 1 : 0;
        longest = std::max(longest, allInput);
    }
    EXPECT_GE(longest, 32);
    // Bypassed: the main pair is the input (as the probe hears it, a block late
    // or not), the others silent, from shortly after the controller to it again.
    for (int k = bypassOn + 8 * kPeriod; k < bypassOff; ++k) {
        ASSERT_TRUE(heard[0][k] == sine[k] || heard[0][k] == sine[k - kPeriod]) << k;
        ASSERT_EQ(heard[3][k], 0.0f) << k;
    }
    EXPECT_NE(heard[0][bypassOff + 8 * kPeriod], sine[bypassOff + 8 * kPeriod]);
    EXPECT_LE(largestStep(heard, bypassOn - 2048, bypassOff + 4096), 2.0f * ownStep);
    EXPECT_EQ(quit(), 0) << errors();
    ASSERT_TRUE(savedState());
    EXPECT_EQ(savedState()->program, target);
    EXPECT_FALSE(savedState()->bypassed);
}

// A state of the test's making, every value away from its program's: quitting
// writes back the very state started from, and starting again reads it; the
// second run ends as a closed terminal ends it (SIGHUP).
TEST_F(TeskdelayTest, QuitAndStartAgainKeepsEveryValueAndTheBypass) {
    SavedState state;
    {
        Plugin p;
        p->dispatch(effSetProgram, 0, 4);
        for (int i = 0; i < kNumParameters; ++i)
            p->setParameter(
                i, std::fmod(p->getParameter(i) + 0.37f * static_cast<float>(i % 5 + 1), 1.0f));
        state.program = 4;
        for (int i = 0; i < kNumParameters; ++i)
            state.values[static_cast<std::size_t>(i)] = p->getParameter(i);
        state.bypassed = true;
    }
    const std::vector<std::uint8_t> record = encodeState(state);
    std::ofstream(stateFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(record.data()), std::ssize(record));
    for (int run = 0; run < 2; ++run) {
        ASSERT_TRUE(start({}));
        EXPECT_EQ(quit(run == 0 ? SIGTERM : SIGHUP), 0) << errors();
        const auto saved = savedState();
        ASSERT_TRUE(saved);
        EXPECT_EQ(saved->program, 4);
        EXPECT_EQ(saved->values, state.values);
        EXPECT_TRUE(saved->bypassed);
    }
}

TEST_F(TeskdelayTest, ABrokenStateIsReportedSetAsideAndTheProgramStillStarts) {
    const std::vector<std::uint8_t> good = encodeState(SavedState{});
    for (const std::string& broken :
         {std::string(good.begin(), good.begin() + 30), std::string(good.size(), '\x5a')}) {
        std::ofstream(stateFile, std::ios::binary) << broken;
        ASSERT_TRUE(start({}));
        EXPECT_NE(errors().find("the state in " + stateFile.string() + " is broken"),
                  std::string::npos)
            << errors();
        EXPECT_EQ(textOf(stateFile.string() + ".broken"), broken);
        EXPECT_EQ(quit(), 0);
        ASSERT_TRUE(savedState());
        EXPECT_EQ(savedState()->program, 0);
    }
}

// The save at the end fails half way (the file size limit standing for a full
// disk): exit code 5, a sentence, and the file saved before as it was. The
// limit holds for the file standard error goes to as well, which keeps the
// sentence's start.
TEST_F(TeskdelayTest, AStateThatCannotBeSavedKeepsTheOldFileAndSaysSo) {
    SavedState old;
    old.program = 2;
    const std::vector<std::uint8_t> record = encodeState(old);
    std::ofstream(stateFile, std::ios::binary)
        .write(reinterpret_cast<const char*>(record.data()), std::ssize(record));
    const std::string before = textOf(stateFile);
    ASSERT_TRUE(start({"--program", "8"}, 100));
    EXPECT_EQ(quit(), 5) << errors();
    EXPECT_TRUE(errors().starts_with("teskdelay: cannot write the state to /")) << errors();
    EXPECT_EQ(textOf(stateFile), before);
    EXPECT_EQ(std::distance(fs::directory_iterator(folder), {}), 3); // state, stderr, jackd.log
}

/// An Xvfb of the test's own (DISPLAY names it meanwhile), and a connection
/// to it for looking at teskdelay's window as a window manager would.
class Screen {
  public:
    Screen() {
        if (xvfb_.running()) display_ = XOpenDisplay(nullptr);
        if (display_ != nullptr) x11test::tolerateWindowsInPassing();
    }
    ~Screen() {
        if (display_ != nullptr) XCloseDisplay(display_);
    }
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    /// The connection; null when Xvfb did not start.
    Display* display() const { return display_; }
    /// teskdelay's top-level window (its class is TeskDelay), or 0.
    ::Window window() const {
        ::Window root = 0, parent = 0, *children = nullptr, found = 0;
        unsigned count = 0;
        if (XQueryTree(display_, DefaultRootWindow(display_), &root, &parent, &children, &count) ==
            0)
            return 0;
        for (unsigned i = 0; i < count && found == 0; ++i) {
            XClassHint hint{};
            if (XGetClassHint(display_, children[i], &hint) == 0) continue;
            if (std::strcmp(hint.res_class, "TeskDelay") == 0) found = children[i];
            XFree(hint.res_name);
            XFree(hint.res_class);
        }
        if (children != nullptr) XFree(children);
        return found;
    }
    /// The editor's window in teskdelay's, once both are there; 0 when they never came.
    ::Window waitForEditor() const {
        ::Window editor = 0;
        x11test::waitUntil(
            [&] {
                const ::Window top = window();
                editor = top != 0 ? x11test::firstChild(display_, top) : 0;
                return editor != 0;
            },
            [] {});
        return editor;
    }
    /// The title of `window`.
    std::string title(::Window window) const {
        char* name = nullptr;
        if (XFetchName(display_, window, &name) == 0) return {};
        const std::string title = name;
        XFree(name);
        return title;
    }
    /// Whether `window` comes to show exactly `rgb` (width × height packed RGB rows).
    bool comesToShow(::Window window, int width, int height,
                     const std::vector<std::uint8_t>& rgb) const {
        return x11test::waitUntil(
            [&] { return x11test::captureRgb(display_, window, width, height) == rgb; }, [] {});
    }
    /// Asks `window` to close, as a window manager does when the user closes it.
    void askToClose(::Window window) const {
        XEvent close{};
        close.xclient.type = ClientMessage;
        close.xclient.window = window;
        close.xclient.message_type = XInternAtom(display_, "WM_PROTOCOLS", False);
        close.xclient.format = 32;
        close.xclient.data.l[0] =
            static_cast<long>(XInternAtom(display_, "WM_DELETE_WINDOW", False));
        close.xclient.data.l[1] = CurrentTime;
        XSendEvent(display_, window, False, NoEventMask, &close);
        XFlush(display_);
    }

  private:
    x11test::Xvfb xvfb_;
    Display* display_ = nullptr;
};

// The editor in its window, as a user has it under a desktop without a window
// manager: titled after the client, it shows what the headless snapshot of
// the program shows at the timebase master's tempo (line 1 is synced); a
// click on line 1's lamp switches the line off, and the audio is then the
// module's rendering with the line off; closing the window as a window
// manager asks it to ends teskdelay with the change saved. Without a display
// it says what to do, and ends before it plays.
TEST_F(TeskdelayTest, TheEditorWindowShowsPlaysWhatIsClickedAndClosingItQuits) {
    ASSERT_TRUE(x11test::installed("Xvfb")) << x11test::notInstalled("Xvfb", "xvfb");
    unsetenv("DISPLAY");
    Child noDisplay({TESK_TESKDELAY, "--state", stateFile.string()}, folder / "stderr");
    EXPECT_EQ(noDisplay.exitCode(), 7);
    EXPECT_NE(errors().find("DISPLAY is not set); run teskdelay --no-gui"), std::string::npos)
        << errors();
    EXPECT_FALSE(fs::exists(stateFile));

    const Screen screen;
    ASSERT_NE(screen.display(), nullptr) << "Xvfb did not start";
    constexpr int kWidth = 384, kHeight = 530;
    const std::vector<std::uint8_t> expected =
        x11test::snapshotRgb(TESK_SNAPSHOT, "--program 0 --tempo 100");
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kWidth * kHeight * 3));
    ASSERT_NE(expected, x11test::snapshotRgb(TESK_SNAPSHOT, "--program 0 --tempo 120"));

    withEditor = true;
    ASSERT_TRUE(start({"--program", "1"}));
    ASSERT_TRUE(probe->giveTempo(100.0));
    const ::Window editor = screen.waitForEditor();
    ASSERT_NE(editor, 0u) << errors();
    EXPECT_EQ(screen.title(screen.window()), "TeskDelay");
    EXPECT_TRUE(screen.comesToShow(editor, kWidth, kHeight, expected))
        << "the window differs from tesk-snapshot --program 0 --tempo 100";

    Display* display = screen.display();
    const std::vector<std::uint8_t> before = x11test::captureRgb(display, editor, kWidth, kHeight);
    x11test::movePointer(display, 26, 108);
    x11test::setButton(display, 1, true);
    x11test::setButton(display, 1, false);
    ASSERT_TRUE(x11test::waitUntil(
        [&] { return x11test::captureRgb(display, editor, kWidth, kHeight) != before; }, [] {}))
        << "the lamp did not change";
    const int lineOneOn = parameterIndex(ParamKind::IsDelayOn, 0);
    const std::vector<float> input = impulseAndPhrase();
    const int frames = static_cast<int>(input.size());
    ASSERT_TRUE(probe->play(input, frames + 4 * kPeriod));
    const Outputs lineOff = reference(
        [&](Plugin& p) {
            p->dispatch(effSetProgram, 0, 0);
            p->setParameter(lineOneOn, 0.0f);
        },
        input, frames, 100.0);
    EXPECT_TRUE(blocksLate(probe->recorded(), lineOff, frames));

    screen.askToClose(screen.window());
    EXPECT_EQ(teskdelay->exitCode(), 0) << errors();
    ASSERT_TRUE(savedState());
    EXPECT_EQ(savedState()->values[static_cast<std::size_t>(lineOneOn)], 0.0f);
}

// On a desktop at 200 % (Xft.dpi 192, as xrdb publishes it) the window is the
// editor drawn twice as large, as the plug-ins show it there. Program 1: the
// window opens before the first block, whose tempo reaching a synced line
// shows that line in the info panel, and program 1's synced line is line 1.
TEST_F(TeskdelayTest, OnADesktopAtTwoHundredPercentTheWindowIsTheEditorAtScaleTwo) {
    ASSERT_TRUE(x11test::installed("Xvfb")) << x11test::notInstalled("Xvfb", "xvfb");
    const Screen screen;
    ASSERT_NE(screen.display(), nullptr) << "Xvfb did not start";
    const char resources[] = "Xft.dpi:\t192\n";
    XChangeProperty(screen.display(), DefaultRootWindow(screen.display()), XA_RESOURCE_MANAGER,
                    XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources), sizeof resources - 1);
    XSync(screen.display(), False);
    constexpr int kWidth = 2 * 384, kHeight = 2 * 530;
    const std::vector<std::uint8_t> expected =
        x11test::snapshotRgb(TESK_SNAPSHOT, "--program 0 --scale 2");
    ASSERT_EQ(expected.size(), static_cast<std::size_t>(kWidth * kHeight * 3));

    withEditor = true;
    ASSERT_TRUE(start({"--program", "1"}));
    const ::Window editor = screen.waitForEditor();
    ASSERT_NE(editor, 0u) << errors();
    XWindowAttributes attributes{};
    XGetWindowAttributes(screen.display(), screen.window(), &attributes);
    EXPECT_EQ(attributes.width, kWidth);
    EXPECT_EQ(attributes.height, kHeight);
    EXPECT_TRUE(screen.comesToShow(editor, kWidth, kHeight, expected))
        << "the window differs from tesk-snapshot --program 0 --scale 2";
    EXPECT_EQ(quit(), 0) << errors();
}

TEST_F(TeskdelayTest, AServerThatGoesAwayEndsItWithCodeFourAndTheStateSaved) {
    ASSERT_TRUE(start({"--program", "7"}));
    probe.reset();
    kill(server->process().pid(), SIGKILL);
    EXPECT_EQ(teskdelay->exitCode(), 4) << errors();
    EXPECT_NE(errors().find("teskdelay: the JACK server went away"), std::string::npos) << errors();
    ASSERT_TRUE(savedState());
    EXPECT_EQ(savedState()->program, 6);
}

/// A session manager's side of the conversation, over UDP on localhost with
/// liblo: it keeps what teskdelay sends, in order, and answers from the socket
/// teskdelay announced itself to.
class ManagerStandIn {
  public:
    struct Message {
        std::string path;
        std::string types;
        std::vector<std::string> strings;
        std::vector<int> numbers;
    };

    /// A manager that welcomes an announce as managers do, or with `silent`
    /// one that has gone, its address left over.
    explicit ManagerStandIn(bool silent = false)
        : server_(lo_server_new_with_proto(nullptr, LO_UDP, nullptr)), silent_(silent) {
        lo_server_add_method(server_, nullptr, nullptr, &ManagerStandIn::take, this);
    }
    ~ManagerStandIn() {
        if (client_ != nullptr) lo_address_free(client_);
        lo_server_free(server_);
    }
    ManagerStandIn(const ManagerStandIn&) = delete;
    ManagerStandIn& operator=(const ManagerStandIn&) = delete;

    std::string url() const {
        return "osc.udp://127.0.0.1:" + std::to_string(lo_server_get_port(server_)) + "/";
    }
    /// The first message to `path` not taken yet, once it has come.
    std::optional<Message> await(const std::string& path) {
        std::optional<Message> found;
        waitUntil([&] {
            while (lo_server_recv_noblock(server_, 1) > 0) {
            }
            for (auto m = received_.begin(); m != received_.end(); ++m)
                if (m->path == path) {
                    found = *m;
                    received_.erase(m);
                    return true;
                }
            return false;
        });
        return found;
    }
    /// Whether a message to `path` has come and is not taken yet (no waiting).
    bool holds(const std::string& path) {
        while (lo_server_recv_noblock(server_, 0) > 0) {
        }
        return std::any_of(received_.begin(), received_.end(),
                           [&](const Message& m) { return m.path == path; });
    }
    /// Sends `path` with string arguments to the client that announced itself last.
    void send(const char* path, const std::vector<std::string>& strings = {}) {
        lo_message message = lo_message_new();
        for (const std::string& s : strings)
            lo_message_add_string(message, s.c_str());
        lo_send_message_from(client_, server_, path, message);
        lo_message_free(message);
    }

  private:
    static int take(const char* path, const char* types, lo_arg** argv, int argc, lo_message msg,
                    void* data) {
        auto* self = static_cast<ManagerStandIn*>(data);
        Message m{path, types, {}, {}};
        // Read as bytes: liblo's arguments lie off its union's alignment.
        for (int i = 0; i < argc; ++i)
            if (types[i] == 's') {
                m.strings.emplace_back(reinterpret_cast<const char*>(argv[i]));
            } else if (types[i] == 'i') {
                std::int32_t number = 0;
                std::memcpy(&number, argv[i], sizeof number);
                m.numbers.push_back(number);
            }
        if (m.path == "/nsm/server/announce") {
            lo_address source = lo_message_get_source(msg);
            if (self->client_ != nullptr) lo_address_free(self->client_);
            self->client_ =
                lo_address_new(lo_address_get_hostname(source), lo_address_get_port(source));
            if (!self->silent_)
                self->send("/reply", {"/nsm/server/announce", "Welcome", "stand-in", ":"});
        }
        self->received_.push_back(std::move(m));
        return 0;
    }

    lo_server server_;
    bool silent_;
    lo_address client_ = nullptr;
    std::deque<Message> received_;
};

// teskdelay as a session manager's client: it announces itself, opens its
// JACK client only when the session opens, named with the client ID; a
// program played in makes it dirty, a save writes the state and makes it
// clean, a change not saved is not written when it is ended, the session
// reopens as saved (--program giving way to it), and a save that cannot be
// written is an error for the manager.
TEST_F(TeskdelayTest, UnderASessionManagerTheStateIsTheSessions) {
    ManagerStandIn manager;
    const fs::path prefix = folder / "session" / "TeskDelay.nTESK";
    const fs::path file = prefix.string() + ".tkds";
    const std::string clientId = "nTESK";
    const std::vector<float> silence(static_cast<std::size_t>(16 * kPeriod), 0.0f);
    const auto startUnderManager = [&] {
        setenv("NSM_URL", manager.url().c_str(), 1);
        teskdelay = std::make_unique<Child>(
            std::vector<std::string>{TESK_TESKDELAY, "--no-gui", "--program", "3"},
            folder / "stderr");
        unsetenv("NSM_URL");
        const auto announce = manager.await("/nsm/server/announce");
        ASSERT_TRUE(announce) << errors();
        EXPECT_EQ(announce->types, "sssiii");
        EXPECT_EQ(announce->strings[0], "TeskDelay");
        EXPECT_NE(announce->strings[1].find(":dirty:"), std::string::npos);
        EXPECT_EQ(announce->strings[2], "teskdelay");
        EXPECT_EQ(announce->numbers, (std::vector<int>{1, 2, teskdelay->pid()}));
        EXPECT_FALSE(probe->teskDelayThere());
        manager.send("/nsm/client/open", {prefix.string(), "TeskDelay", clientId});
        const auto reply = manager.await("/reply");
        ASSERT_TRUE(reply) << errors();
        EXPECT_EQ(reply->strings.at(0), "/nsm/client/open");
        ASSERT_TRUE(waitUntil([&] { return probe->connect(); })) << errors();
    };
    probe->setTeskDelayName(clientId);

    startUnderManager();
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_FALSE(fs::exists(file));
    ASSERT_TRUE(probe->play(silence, static_cast<int>(silence.size()), {{0, {0xc0, 9}}}));
    ASSERT_TRUE(manager.await("/nsm/client/is_dirty"));
    manager.send("/nsm/client/save");
    const auto saved = manager.await("/reply");
    ASSERT_TRUE(saved) << errors();
    EXPECT_EQ(saved->strings.at(0), "/nsm/client/save");
    ASSERT_TRUE(manager.await("/nsm/client/is_clean"));
    const auto state = savedStateIn(file);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->program, 9);
    EXPECT_FALSE(state->bypassed);
    Plugin module;
    module->dispatch(effSetProgram, 0, 9);
    for (int i = 0; i < kNumParameters; ++i)
        EXPECT_EQ(state->values[static_cast<std::size_t>(i)], module->getParameter(i)) << i;
    const std::string savedBytes = textOf(file);

    ASSERT_TRUE(probe->play(silence, static_cast<int>(silence.size()), {{0, {0xb0, 80, 100}}}));
    ASSERT_TRUE(manager.await("/nsm/client/is_dirty"));
    EXPECT_EQ(quit(), 0) << errors();
    EXPECT_EQ(textOf(file), savedBytes);

    startUnderManager();
    ASSERT_FALSE(HasFatalFailure());
    manager.send("/nsm/client/save");
    ASSERT_TRUE(manager.await("/reply")) << errors();
    EXPECT_EQ(textOf(file), savedBytes);
    EXPECT_FALSE(manager.holds("/nsm/client/is_dirty"));

    // A folder where the file belongs: the write fails, and the manager hears it.
    fs::remove(file);
    fs::create_directory(file);
    manager.send("/nsm/client/save");
    const auto refused = manager.await("/error");
    ASSERT_TRUE(refused) << errors();
    EXPECT_EQ(refused->strings.at(0), "/nsm/client/save");
    EXPECT_EQ(refused->numbers.at(0), -1);
    EXPECT_NE(refused->strings.at(1).find("cannot write the state"), std::string::npos);
    EXPECT_EQ(quit(), 0) << errors();
}

TEST(Teskdelay, NoServerHelpAndBadOptionsGiveTheirCodes) {
    const fs::path errors =
        fs::temp_directory_path() / ("tesk-noserver-" + std::to_string(getpid()));
    setenv("JACK_DEFAULT_SERVER", "tesk-no-such-server", 1);
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), TESK_TESKDELAY);
        Child child(args, errors);
        return child.exitCode();
    };
    EXPECT_EQ(run({"--no-gui", "--state", (errors.string() + ".tkds")}), 3) << textOf(errors);
    EXPECT_NE(textOf(errors).find("teskdelay: no JACK server is running: start one"),
              std::string::npos)
        << textOf(errors);
    EXPECT_FALSE(fs::exists(errors.string() + ".tkds"));
    EXPECT_EQ(run({"--help"}), 0);
    EXPECT_EQ(run({"--program", "0"}), 2);
    EXPECT_EQ(textOf(errors),
              "teskdelay: --program takes a program number from 1 to 16, not '0'\n");
    fs::remove(errors);
}

// Under a session manager the window is the manager's to show and hide, and
// the user's closing it hides it: the session's client goes on, titled and
// named after its client ID.
TEST_F(TeskdelayTest, UnderASessionManagerTheWindowIsShownAndHiddenAndClosingItHidesIt) {
    ASSERT_TRUE(x11test::installed("Xvfb")) << x11test::notInstalled("Xvfb", "xvfb");
    const Screen screen;
    ASSERT_NE(screen.display(), nullptr) << "Xvfb did not start";
    const auto window = [&] { return screen.window(); };

    ManagerStandIn manager;
    setenv("NSM_URL", manager.url().c_str(), 1);
    teskdelay =
        std::make_unique<Child>(std::vector<std::string>{TESK_TESKDELAY}, folder / "stderr");
    unsetenv("NSM_URL");
    const auto announce = manager.await("/nsm/server/announce");
    ASSERT_TRUE(announce) << errors();
    EXPECT_EQ(announce->strings.at(1), ":dirty:optional-gui:");
    manager.send("/nsm/client/open", {(folder / "TeskDelay.nGUI").string(), "TeskDelay", "nGUI"});
    ASSERT_TRUE(manager.await("/nsm/client/gui_is_shown")) << errors();
    ASSERT_TRUE(manager.await("/reply")) << errors();
    ASSERT_NE(screen.waitForEditor(), 0u) << errors();
    EXPECT_EQ(screen.title(window()), "nGUI");

    screen.askToClose(window());
    ASSERT_TRUE(manager.await("/nsm/client/gui_is_hidden")) << errors();
    EXPECT_TRUE(x11test::waitUntil([&] { return window() == 0; }, [] {}));
    probe->setTeskDelayName("nGUI");
    EXPECT_TRUE(teskdelay->running());
    EXPECT_TRUE(probe->teskDelayThere());
    manager.send("/nsm/client/show_optional_gui");
    ASSERT_TRUE(manager.await("/nsm/client/gui_is_shown")) << errors();
    EXPECT_TRUE(x11test::waitUntil([&] { return window() != 0; }, [] {}));
    manager.send("/nsm/client/hide_optional_gui");
    ASSERT_TRUE(manager.await("/nsm/client/gui_is_hidden")) << errors();
    EXPECT_TRUE(x11test::waitUntil([&] { return window() == 0; }, [] {}));
    EXPECT_EQ(quit(), 0) << errors();
}

// NSM_URL left over from a manager that has gone: nothing answers the
// announce, and teskdelay says so and ends rather than wait for ever. A client
// ID another JACK client has taken is refused to the manager: under another
// name the session's saved connections would find the other client.
TEST_F(TeskdelayTest, AManagerThatIsGoneOrAClientIdTakenEndsIt) {
    ManagerStandIn gone(true);
    setenv("NSM_URL", gone.url().c_str(), 1);
    Child alone({TESK_TESKDELAY, "--no-gui"}, folder / "stderr");
    unsetenv("NSM_URL");
    ASSERT_TRUE(gone.await("/nsm/server/announce"));
    EXPECT_EQ(alone.exitCode(30s), 6) << errors();
    EXPECT_NE(errors().find("no session manager answered at " + gone.url()), std::string::npos)
        << errors();
    EXPECT_FALSE(probe->teskDelayThere());

    jack_client_t* other = jack_client_open("nTAKEN", JackNoStartServer, nullptr);
    ASSERT_NE(other, nullptr);
    ManagerStandIn manager;
    setenv("NSM_URL", manager.url().c_str(), 1);
    Child taken({TESK_TESKDELAY, "--no-gui"}, folder / "stderr");
    unsetenv("NSM_URL");
    ASSERT_TRUE(manager.await("/nsm/server/announce"));
    manager.send("/nsm/client/open",
                 {(folder / "TeskDelay.nTAKEN").string(), "TeskDelay", "nTAKEN"});
    const auto refused = manager.await("/error");
    ASSERT_TRUE(refused) << errors();
    EXPECT_EQ(refused->strings,
              (std::vector<std::string>{"/nsm/client/open",
                                        "another JACK client is named nTAKEN already"}));
    EXPECT_EQ(taken.exitCode(), 1) << errors();
    jack_client_close(other);
}

} // namespace
} // namespace tesk::test
