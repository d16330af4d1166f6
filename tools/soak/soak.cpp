// tesk-soak: many instances of a VST 2 module worked hard for a long time, the
// way a busy session treats them. Audio threads each own a share of the
// instances and process them in blocks of random length, with random
// automation, program changes, transport jumps and restarts at other sample
// rates and block sizes; the main thread plays the host's user interface,
// opening editors on random instances, idling them and closing them again
// while it moves parameters too. At the end every output must have been
// finite and the heap in use must not have grown after the first minute.
#include "vst_host.h"
#include "version.h"

#include <X11/Xlib.h>
#include <malloc.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
// The sanitizers' runtime answers this; GCC ships no header that declares it.
extern "C" std::size_t __sanitizer_get_current_allocated_bytes();
#endif

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kUsage =
    "usage: tesk-soak [options] [MODULE]\n"
    "\n"
    "Loads the VST 2 module MODULE (default: the TeskDelay.so built alongside) and\n"
    "works many instances of it at once until the time is up: audio threads process\n"
    "blocks of random length with random automation, program changes and restarts\n"
    "at other sample rates and block sizes, while the main thread opens, idles and\n"
    "closes editors in X windows (DISPLAY must name an X server; Xvfb will do).\n"
    "Prints a line of figures every minute and a verdict at the end.\n"
    "\n"
    "options:\n"
    "  --minutes N     run for N minutes (default 1)\n"
    "  --seconds N     run for N seconds instead\n"
    "  --instances N   instances in all (default 32)\n"
    "  --threads N     audio threads sharing them (default 4)\n"
    "  --seed N        seed of the random choices (default 1)\n"
    "  --no-editor     leave the editors closed (no X server needed)\n"
    "  -h, --help      this text\n"
    "  --version       the version\n"
    "\n"
    "exit status: 0 every output finite and memory flat, 1 a non-finite output\n"
    "or a heap that kept growing, 2 a bad argument, 3 the module or the X display\n"
    "could not be opened\n";

constexpr int kMaxBlock = 8192;
constexpr double kRates[] = {8000, 22050, 44100, 48000, 88200, 96000, 192000, 384000};
constexpr double kTempos[] = {48, 60, 90, 120, 133.3, 174, 240, 999};
// A heap in use that grows by more than this share, plus a little for the
// libraries' own caches, between the first minute and the end counts as a leak.
constexpr double kGrowthAllowed = 0.01;
constexpr long kSlackKilobytes = 1024;

struct Options {
    double seconds = 60;
    int instances = 32;
    int threads = 4;
    unsigned seed = 1;
    bool editor = true;
    std::string module;
};

struct UsageError {
    std::string message;
};

long parseCount(const std::string& option, const char* text, long least) {
    char* end = nullptr;
    long value = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || value < least || value > 1000000)
        throw UsageError{option + " takes a whole number of at least " + std::to_string(least) +
                         ", not '" + text + "'"};
    return value;
}

Options parseOptions(int argc, char** argv) {
    Options o;
#ifdef TESK_BUILT_PLUGIN
    o.module = TESK_BUILT_PLUGIN;
#endif
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&]() -> const char* {
            if (i + 1 >= argc) throw UsageError{arg + " needs a value; see --help"};
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            std::exit(0);
        } else if (arg == "--version") {
            tesk::printVersion("tesk-soak");
            std::exit(0);
        } else if (arg == "--minutes") {
            o.seconds = 60.0 * static_cast<double>(parseCount(arg, value(), 1));
        } else if (arg == "--seconds") {
            o.seconds = static_cast<double>(parseCount(arg, value(), 1));
        } else if (arg == "--instances") {
            o.instances = static_cast<int>(parseCount(arg, value(), 1));
        } else if (arg == "--threads") {
            o.threads = static_cast<int>(parseCount(arg, value(), 1));
        } else if (arg == "--seed") {
            o.seed = static_cast<unsigned>(parseCount(arg, value(), 0));
        } else if (arg == "--no-editor") {
            o.editor = false;
        } else if (!arg.empty() && arg[0] == '-') {
            throw UsageError{"unknown option '" + arg + "'; see --help"};
        } else {
            o.module = arg;
        }
    }
    if (o.module.empty()) throw UsageError{"name the module to soak; see --help"};
    o.threads = std::min(o.threads, o.instances);
    return o;
}

/// The heap the program and the module hold, and the resident and peak resident
/// memory of this process, in kilobytes.
struct Memory {
    long heap = 0;
    long resident = 0;
    long peak = 0;
};

/// Bytes allocated and not yet freed. Resident memory is no measure of a leak:
/// glibc keeps freed delay memory in its arenas once its mmap threshold has risen
/// past a line's size, and AddressSanitizer holds freed blocks in its quarantine,
/// so the resident size after the same settled state wanders by tens of
/// megabytes from one reading to the next.
long heapInUseKilobytes() {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return static_cast<long>(__sanitizer_get_current_allocated_bytes() / 1024);
#else
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
#endif
}

Memory memoryNow() {
    Memory m;
    m.heap = heapInUseKilobytes();
    std::ifstream statm("/proc/self/statm");
    long size = 0, pages = 0;
    if (statm >> size >> pages) m.resident = pages * (sysconf(_SC_PAGESIZE) / 1024);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    m.peak = usage.ru_maxrss;
    return m;
}

/// What the threads have done so far; read by the main thread for its reports.
struct Counters {
    std::atomic<long> blocks{0};
    std::atomic<long> frames{0};
    std::atomic<long> programChanges{0};
    std::atomic<long> restarts{0};
    std::atomic<long> editorOpenings{0};
    std::atomic<long> nonFinite{0};
};

/// One instance with its own host state and transport.
struct Slot {
    vsthost::HostState host;
    std::unique_ptr<vsthost::Instance> instance;
    std::int32_t blockSize = 512;
};

/// Switches the instance off, gives it a new rate and block size and switches it
/// on again, as a host does when the session's audio settings change.
void restartAt(Slot& slot, double tempo, double rate, std::int32_t blockSize) {
    const vsthost::Instance& instance = *slot.instance;
    instance.stop();
    slot.host.setTransport(tempo, rate);
    slot.blockSize = blockSize;
    instance.dispatch(effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    instance.dispatch(effSetBlockSize, 0, blockSize);
    instance.dispatch(effMainsChanged, 0, 1);
}

/// An input block: noise, silence, a denormal floor or full-scale clicks.
void fillInput(std::mt19937& random, std::vector<float>& left, std::vector<float>& right,
               int frames) {
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    const unsigned kind = random() % 8;
    for (int i = 0; i < frames; ++i) {
        float sample = 0.0f;
        if (kind < 5) sample = noise(random);
        else if (kind == 5) sample = 1e-38f;
        else if (kind == 6) sample = (i % 97 == 0) ? 1.0f : 0.0f;
        left[static_cast<std::size_t>(i)] = sample;
        right[static_cast<std::size_t>(i)] = kind == 6 ? -sample : sample * 0.5f;
    }
}

/// A value as automation sends it: mostly inside 0-1, now and then far outside or NaN.
float automationValue(std::mt19937& random) {
    const unsigned kind = random() % 64;
    if (kind == 0) return 1e30f;
    if (kind == 1) return -1e30f;
    if (kind == 2) return std::nanf("");
    return std::uniform_real_distribution<float>(0.0f, 1.0f)(random);
}

void randomParameters(std::mt19937& random, const vsthost::Instance& instance, int count) {
    const int parameters = std::max(1, instance.effect()->numParams);
    for (int i = 0; i < count; ++i)
        instance.setParameter(static_cast<std::int32_t>(random() % static_cast<unsigned>(parameters)),
                              automationValue(random));
}

/// The audio thread's share of the instances and its buffers.
class AudioThread {
  public:
    AudioThread(std::vector<Slot*> slots, unsigned seed, Counters& counters)
        : slots_(std::move(slots)), random_(seed), counters_(counters),
          inputs_(2, std::vector<float>(kMaxBlock)) {}

    void run(const std::atomic<bool>& stop) {
        while (!stop.load(std::memory_order_relaxed))
            for (Slot* slot : slots_) work(*slot);
    }

  private:
    void work(Slot& slot) {
        const unsigned choice = random_() % 100;
        if (choice < 2) restart(slot);
        else if (choice < 10) changeProgram(slot);
        else if (choice < 12) slot.host.setTransport(kTempos[random_() % std::size(kTempos)],
                                                     slot.host.sampleRate);
        for (int block = 0; block < 8; ++block) processBlock(slot);
    }

    void restart(Slot& slot) {
        const double rate = kRates[random_() % std::size(kRates)];
        const auto blockSize = static_cast<std::int32_t>(1 + random_() % kMaxBlock);
        restartAt(slot, slot.host.timeInfo.tempo, rate, blockSize);
        ++counters_.restarts;
    }

    void changeProgram(Slot& slot) {
        const int programs = std::max(1, slot.instance->effect()->numPrograms);
        slot.instance->dispatch(effSetProgram, 0, static_cast<VstIntPtr>(random_() %
                                                                         static_cast<unsigned>(programs)));
        ++counters_.programChanges;
    }

    void processBlock(Slot& slot) {
        const vsthost::Instance& instance = *slot.instance;
        const int frames = 1 + static_cast<int>(random_() % static_cast<unsigned>(slot.blockSize));
        const int outputCount = std::max(0, instance.effect()->numOutputs);
        outputs_.resize(static_cast<std::size_t>(outputCount), std::vector<float>(kMaxBlock));
        fillInput(random_, inputs_[0], inputs_[1], frames);
        randomParameters(random_, instance, static_cast<int>(random_() % 4));
        float* in[2] = {inputs_[0].data(), inputs_[1].data()};
        std::vector<float*>& out = outputPointers();
        instance.processReplacing(in, out.data(), frames);
        slot.host.advance(frames);
        if (!allFinite(frames)) ++counters_.nonFinite;
        ++counters_.blocks;
        counters_.frames += frames;
    }

    std::vector<float*>& outputPointers() {
        pointers_.clear();
        for (auto& channel : outputs_) pointers_.push_back(channel.data());
        return pointers_;
    }

    bool allFinite(int frames) const {
        for (const auto& channel : outputs_)
            for (int i = 0; i < frames; ++i)
                if (!std::isfinite(channel[static_cast<std::size_t>(i)])) return false;
        return true;
    }

    std::vector<Slot*> slots_;
    std::mt19937 random_;
    Counters& counters_;
    std::vector<std::vector<float>> inputs_;
    std::vector<std::vector<float>> outputs_;
    std::vector<float*> pointers_;
};

/// The host's user interface: editors opened on random instances in windows of
/// their own, idled a few dozen times a second, closed after a random while.
class EditorCycler {
  public:
    EditorCycler(Display* display, std::vector<Slot>& slots, unsigned seed, Counters& counters)
        : display_(display), slots_(slots), random_(seed), counters_(counters) {}
    ~EditorCycler() {
        for (Open& open : open_) close(open);
    }
    EditorCycler(const EditorCycler&) = delete;
    EditorCycler& operator=(const EditorCycler&) = delete;

    /// One round of the interface: maybe open or close an editor, idle the open ones.
    void step() {
        if (open_.size() < kMaxOpen && random_() % 8 == 0) openOne();
        for (Open& open : open_) {
            const vsthost::Instance& instance = *slots_[open.slot].instance;
            instance.dispatch(effEditIdle);
            randomParameters(random_, instance, 2);
            --open.idlesLeft;
        }
        drainEvents();
        auto done = std::partition(open_.begin(), open_.end(),
                                   [](const Open& open) { return open.idlesLeft > 0; });
        for (auto it = done; it != open_.end(); ++it) close(*it);
        open_.erase(done, open_.end());
    }

    /// Opens, draws and closes every instance's editor once. An editor decodes its
    /// bitmaps at its first draw and keeps them while its instance lives, so
    /// memory read before every editor was seen would count them as growth.
    void showEachOnce() {
        for (std::size_t slot = 0; slot < slots_.size(); ++slot) {
            const Open open = openAt(slot, 0);
            for (int idle = 0; idle < 3; ++idle) {
                XSync(display_, False);
                slots_[slot].instance->dispatch(effEditIdle);
                drainEvents();
            }
            close(open);
        }
    }

  private:
    static constexpr std::size_t kMaxOpen = 4;
    struct Open {
        std::size_t slot;
        ::Window window;
        int idlesLeft;
    };

    void openOne() {
        const std::size_t slot = random_() % slots_.size();
        for (const Open& open : open_)
            if (open.slot == slot) return;
        open_.push_back(openAt(slot, 5 + static_cast<int>(random_() % 60)));
    }

    Open openAt(std::size_t slot, int idles) {
        const vsthost::Instance& instance = *slots_[slot].instance;
        int width = 400, height = 300;
        ERect* rect = nullptr;
        if (instance.dispatch(effEditGetRect, 0, 0, &rect) != 0 && rect != nullptr &&
            rect->right > rect->left && rect->bottom > rect->top) {
            width = rect->right - rect->left;
            height = rect->bottom - rect->top;
        }
        ::Window window = XCreateSimpleWindow(display_, DefaultRootWindow(display_), 0, 0,
                                              static_cast<unsigned>(width),
                                              static_cast<unsigned>(height), 0, 0, 0);
        XMapWindow(display_, window);
        XSync(display_, False);
        instance.dispatch(effEditOpen, 0, 0, reinterpret_cast<void*>(window));
        ++counters_.editorOpenings;
        return {slot, window, idles};
    }

    void close(const Open& open) {
        slots_[open.slot].instance->dispatch(effEditClose);
        XDestroyWindow(display_, open.window);
        XSync(display_, False);
    }

    void drainEvents() {
        while (XPending(display_) > 0) {
            XEvent event;
            XNextEvent(display_, &event);
        }
    }

    Display* display_;
    std::vector<Slot>& slots_;
    std::mt19937 random_;
    Counters& counters_;
    std::vector<Open> open_;
};

void report(const char* when, const Counters& c, const Memory& m) {
    std::printf("%s: %ld blocks (%ld frames), %ld program changes, %ld restarts, "
                "%ld editor openings, heap %.1f MB, resident %ld MB, peak %ld MB\n",
                when, c.blocks.load(), c.frames.load(), c.programChanges.load(),
                c.restarts.load(), c.editorOpenings.load(), m.heap / 1024.0, m.resident / 1024,
                m.peak / 1024);
    std::fflush(stdout);
}

std::vector<Slot> makeInstances(const vsthost::Module& module, int count) {
    std::vector<Slot> slots(static_cast<std::size_t>(count));
    for (Slot& slot : slots) {
        std::string error;
        slot.instance = vsthost::Instance::create(module, slot.host, error);
        if (!slot.instance) throw std::runtime_error(error);
        slot.instance->start(slot.host.sampleRate, slot.blockSize);
    }
    return slots;
}

/// Brings every instance to one state, 44.1 kHz and 512 frames, so that memory
/// readings taken at different times compare: delay memory follows the rate.
void settle(std::vector<Slot>& slots) {
    for (Slot& slot : slots) restartAt(slot, 120.0, 44100.0, 512);
}

/// One stretch of the soak: the audio threads and the interface run for `seconds`,
/// then the editors close and the threads end.
void runStretch(const Options& options, std::vector<Slot>& slots, Display* display,
                double seconds, unsigned seed, Counters& counters) {
    std::atomic<bool> stop{false};
    std::vector<std::unique_ptr<AudioThread>> audio;
    for (int t = 0; t < options.threads; ++t) {
        std::vector<Slot*> share;
        for (std::size_t i = static_cast<std::size_t>(t); i < slots.size();
             i += static_cast<std::size_t>(options.threads))
            share.push_back(&slots[i]);
        audio.push_back(std::make_unique<AudioThread>(
            std::move(share), seed * 131u + static_cast<unsigned>(t), counters));
    }
    std::vector<std::thread> threads;
    for (auto& thread : audio) threads.emplace_back([&stop, &thread] { thread->run(stop); });
    {
        std::unique_ptr<EditorCycler> editors;
        if (display != nullptr)
            editors = std::make_unique<EditorCycler>(display, slots, seed, counters);
        const auto end = Clock::now() + std::chrono::duration<double>(seconds);
        while (Clock::now() < end) {
            if (editors) editors->step();
            std::this_thread::sleep_for(std::chrono::milliseconds(30));
        }
    }
    stop = true;
    for (std::thread& thread : threads) thread.join();
}

/// Runs the soak in stretches of a minute (a third of a shorter run), reading the
/// memory after each with every instance settled. Returns the first reading.
Memory soak(const Options& options, std::vector<Slot>& slots, Display* display,
            Counters& counters) {
    const double stretch = std::min(60.0, options.seconds / 3);
    if (display != nullptr) EditorCycler(display, slots, options.seed, counters).showEachOnce();
    Memory first;
    double elapsed = 0;
    for (unsigned round = 0; elapsed < options.seconds; ++round) {
        const double seconds = std::min(stretch, options.seconds - elapsed);
        runStretch(options, slots, display, seconds, options.seed + round * 7919u, counters);
        elapsed += seconds;
        settle(slots);
        const Memory now = memoryNow();
        if (round == 0) first = now;
        report(("after " + std::to_string(static_cast<long>(std::lround(elapsed))) + " s").c_str(),
               counters, now);
    }
    return first;
}

int verdict(const Counters& counters, const Memory& first, const Memory& last) {
    int status = 0;
    if (counters.nonFinite.load() > 0) {
        std::printf("FAIL: %ld blocks had a non-finite output\n", counters.nonFinite.load());
        status = 1;
    } else {
        std::printf("every output finite\n");
    }
    const long allowed =
        first.heap + static_cast<long>(first.heap * kGrowthAllowed) + kSlackKilobytes;
    std::printf("memory: heap in use %.1f MB after the first stretch, %.1f MB at the end; "
                "resident %ld MB, %ld MB; peak %ld MB, %ld MB\n",
                first.heap / 1024.0, last.heap / 1024.0, first.resident / 1024,
                last.resident / 1024, first.peak / 1024, last.peak / 1024);
    if (last.heap > allowed) {
        std::printf("FAIL: the heap in use grew by %.1f MB after the first stretch\n",
                    (last.heap - first.heap) / 1024.0);
        status = 1;
    } else {
        std::printf("memory flat\n");
    }
    return status;
}

} // namespace

int main(int argc, char** argv) {
    Options options;
    try {
        options = parseOptions(argc, argv);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "tesk-soak: %s\n", e.message.c_str());
        return 2;
    }
    std::string error;
    std::unique_ptr<vsthost::Module> module = vsthost::Module::load(options.module, error);
    if (!module) {
        std::fprintf(stderr, "tesk-soak: %s\n", error.c_str());
        return 3;
    }
    Display* display = nullptr;
    if (options.editor) {
        XInitThreads();
        display = XOpenDisplay(nullptr);
        if (display == nullptr) {
            std::fprintf(stderr, "tesk-soak: cannot open the X display '%s'; start an Xvfb and set "
                                 "DISPLAY, or pass --no-editor\n",
                         std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "");
            return 3;
        }
    }
    int status = 0;
    try {
        Counters counters;
        std::vector<Slot> slots = makeInstances(*module, options.instances);
        std::printf("soaking %d instances of %s on %d audio threads for %g s%s\n",
                    options.instances, options.module.c_str(), options.threads, options.seconds,
                    display ? ", editors cycling" : "");
        std::fflush(stdout);
        const Memory first = soak(options, slots, display, counters);
        const Memory last = memoryNow();
        status = verdict(counters, first, last);
        for (Slot& slot : slots) slot.instance->stop();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tesk-soak: %s\n", e.what());
        status = 3;
    }
    if (display != nullptr) XCloseDisplay(display);
    return status;
}
