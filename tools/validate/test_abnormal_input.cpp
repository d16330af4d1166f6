// Abnormal input: whatever comes in, the output must be finite again once the
// input is (after the plug-in's memory has cleared), and no block may stall,
// as denormal numbers make unprepared arithmetic do.
#include "plugin.h"
#include "tests.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdio>

namespace tesk::validate {

namespace {

/// Identical instances processing every block: a block's time is the least of
/// theirs, so a stall counts only when the plug-in's state causes it, not when
/// the scheduler or a virtual machine interrupted one call.
constexpr std::size_t kTwins = 3;
/// Blocks at the start not timed: caches and first allocations warm up there.
constexpr std::size_t kWarmUpBlocks = 8;
/// A block slower than this many medians of ordinary blocks (noise in) stalls.
/// Ordinary blocks are the measure because many plug-ins rush through silence.
constexpr double kStallFactor = 10.0;
/// ...and slower than the median by this much, a hundredth of a 512-frame
/// block at 44100 Hz: less no host would notice.
constexpr double kStallFloorSeconds = 100e-6;

constexpr std::array<Signal, 8> kSignals = {
    Signal::silence,       Signal::noise,    Signal::nan,      Signal::plusInfinity,
    Signal::minusInfinity, Signal::denormal, Signal::plusHuge, Signal::minusHuge};

/// How long one block took, and what it was.
struct BlockTime {
    double seconds;
    bool ordinary; ///< noise in
    std::string where;
};

int blocksFor(double seconds) {
    return static_cast<int>(std::ceil(seconds * kRate / kBlock));
}

std::string secondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.2f s", seconds);
    return text;
}

std::string microseconds(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%.0f us", seconds * 1e6);
    return text;
}

/// One of the identical instances, with its own buffers and an identical
/// random sequence, so every twin gets the same input.
struct Twin {
    std::unique_ptr<Plugin> plugin;
    AudioBuffers buffers;
    std::mt19937_64 random;
};

/// Feeds abnormal input and then silence to identical instances, timing every block.
class Feeder {
  public:
    Feeder(const std::string& path, Context& context);

    /// Feeds noise at -12 dBFS for the ordinary blocks the median needs.
    void feedOrdinary();
    /// Feeds `signal`, then silence; returns the seconds of silence before the
    /// output was finite for good. Fails when it took longer than allowed.
    double feed(Signal signal);
    /// The slowest block that stalled, or empty.
    std::string stall() const;
    /// The median time of ordinary blocks.
    double median() const;

  private:
    /// One block through every twin; returns the first fault of its output
    /// (non-finite included), or empty. Fails on a damaged guard.
    std::string block(Signal signal, const std::string& where);

    Context& context_;
    std::vector<Twin> twins_;
    std::vector<BlockTime> times_;
};

Feeder::Feeder(const std::string& path, Context& context) : context_(context) {
    std::shared_ptr<const vsthost::Module> module = Plugin::load(path);
    std::uint64_t seed = context.random()();
    for (std::size_t i = 0; i < kTwins; ++i) {
        std::unique_ptr<Plugin> plugin = Plugin::open(module);
        plugin->start(kRate, kBlock);
        AudioBuffers buffers(plugin->inputs(), plugin->outputs(), kBlock);
        twins_.push_back({std::move(plugin), std::move(buffers), std::mt19937_64(seed)});
    }
}

std::string Feeder::block(Signal signal, const std::string& where) {
    context_.doing("processing " + where);
    double least = 0.0;
    for (Twin& twin : twins_) {
        twin.buffers.prepare(kBlock, signal, twin.random);
        auto start = std::chrono::steady_clock::now();
        twin.plugin->processPrepared(twin.buffers, kBlock);
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        least = &twin == &twins_.front() ? took.count() : std::min(least, took.count());
        std::string guard = twin.buffers.damagedGuard();
        if (!guard.empty()) fail(where + ": " + guard);
    }
    bool ordinary = signal == Signal::noise || signal == Signal::quietNoise;
    times_.push_back({least, ordinary, where});
    return twins_.front().buffers.fault(true);
}

void Feeder::feedOrdinary() {
    int blocks = blocksFor(context_.scaledSeconds(1.0));
    for (int b = 0; b < blocks; ++b) {
        std::string where = "ordinary block " + std::to_string(b);
        std::string fault = block(Signal::quietNoise, where);
        if (!fault.empty()) fail(where + ": " + fault);
    }
}

double Feeder::feed(Signal signal) {
    std::string name = signalName(signal);
    int blocks = blocksFor(context_.scaledSeconds(1.0));
    for (int b = 0; b < blocks; ++b) {
        std::string where = name + " block " + std::to_string(b);
        std::string fault = block(signal, where);
        if (!fault.empty() && isFinite(signal)) fail(where + ": " + fault);
    }
    int allowed = blocksFor(context_.recoverySeconds()) + 1;
    int checked = allowed + blocksFor(context_.scaledSeconds(0.5));
    int lastBad = -1;
    for (int b = 0; b < checked; ++b) {
        std::string where = "silence block " + std::to_string(b) + " after " + name;
        std::string fault = block(Signal::silence, where);
        if (fault.empty()) continue;
        if (isFinite(signal) || b >= allowed)
            fail(where + " (" + secondsText(b * kBlock / kRate) + " after the input became " +
                 "finite; --recovery allows " + secondsText(context_.recoverySeconds()) +
                 "): " + fault);
        lastBad = b;
    }
    return (lastBad + 1) * kBlock / kRate;
}

double Feeder::median() const {
    std::vector<double> ordinary;
    for (std::size_t i = kWarmUpBlocks; i < times_.size(); ++i)
        if (times_[i].ordinary) ordinary.push_back(times_[i].seconds);
    if (ordinary.empty()) return 0.0;
    auto middle = ordinary.begin() + static_cast<std::ptrdiff_t>(ordinary.size() / 2);
    std::nth_element(ordinary.begin(), middle, ordinary.end());
    return *middle;
}

std::string Feeder::stall() const {
    double typical = median();
    double limit = std::max(kStallFactor * typical, typical + kStallFloorSeconds);
    if (times_.size() <= kWarmUpBlocks) return {};
    auto slowest = std::max_element(
        times_.begin() + kWarmUpBlocks, times_.end(),
        [](const BlockTime& a, const BlockTime& b) { return a.seconds < b.seconds; });
    if (slowest->seconds <= limit) return {};
    return slowest->where + " took " + microseconds(slowest->seconds) + ", over " +
           std::to_string(static_cast<int>(kStallFactor)) + " times the median block of noise (" +
           microseconds(typical) + ")";
}

} // namespace

std::string abnormalInput(Context& context) {
    Feeder feeder(context.path(), context);
    feeder.feedOrdinary();
    std::string recovered;
    for (Signal signal : kSignals) {
        double seconds = feeder.feed(signal);
        if (!isFinite(signal))
            recovered += (recovered.empty() ? "" : ", ") + std::string(signalName(signal)) + " " +
                         secondsText(seconds);
    }
    std::string stall = feeder.stall();
    if (!stall.empty()) fail(stall);
    return "silence, full-scale noise, NaN, +-infinity, denormals, +-1e30 in, each followed by "
           "silence: guards intact, output finite again after " +
           recovered + "; no block over " + std::to_string(static_cast<int>(kStallFactor)) +
           " times the median block of noise (" + microseconds(feeder.median()) + ")";
}

} // namespace tesk::validate
