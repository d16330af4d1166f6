// Processing under the conditions hosts create: any sample rate they offer (and
// the bad ones a broken host sends), any block size up to the announced
// maximum, and inputs that share memory with the outputs.
#include "plugin.h"
#include "tests.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

namespace tesk::validate {

namespace {

constexpr int kLargestBlock = 8192;

/// Processes `blocks` blocks of `frames` frames and fails on the first fault.
void processClean(Plugin& plugin, AudioBuffers& buffers, int blocks, int frames,
                  const std::string& when, Context& context) {
    context.doing("processing " + when + ", blocks of " + std::to_string(frames) + " frames");
    for (int block = 0; block < blocks; ++block) {
        plugin.process(buffers, frames, Signal::quietNoise, context.random());
        std::string fault = buffers.fault(true);
        if (!fault.empty())
            fail(when + ", block " + std::to_string(block) + " of " + std::to_string(frames) +
                 " frames: " + fault);
    }
}

std::string rateText(double rate) {
    char text[32];
    std::snprintf(text, sizeof text, "%g Hz", rate);
    return text;
}

/// A block size: often an edge (0, 1, a power of two and its neighbours,
/// `most`), otherwise anything up to `most`.
int randomBlockSize(Context& context, int most) {
    if (context.between(0, 1) == 0) return static_cast<int>(context.between(0, most));
    int power = 1 << context.between(0, 13);
    std::array<int, 6> edges = {0, 1, most, power - 1, power, power + 1};
    return std::clamp(edges[static_cast<std::size_t>(context.between(0, 5))], 0, most);
}

/// Where two outputs first differ by more than rounding, or empty.
std::string firstDifference(const AudioBuffers& a, const AudioBuffers& b, int frames) {
    for (int c = 0; c < a.outputCount(); ++c) {
        for (int f = 0; f < frames; ++f) {
            float x = a.output(c, f), y = b.output(c, f);
            bool same = (std::isnan(x) && std::isnan(y)) ||
                        std::fabs(x - y) <= 1e-5f * std::max(1.0f, std::fabs(x));
            if (!same)
                return "output " + std::to_string(c) + " frame " + std::to_string(f) + " is " +
                       std::to_string(y) + " in place, " + std::to_string(x) + " apart";
        }
    }
    return {};
}

} // namespace

std::string sampleRates(Context& context) {
    static constexpr std::array<double, 13> kRates = {8000,   11025,  16000, 22050, 32000,
                                                      44100,  48000,  88200, 96000, 176400,
                                                      192000, 352800, 384000};
    static constexpr std::array<double, 4> kBadRates = {
        0.0, -1.0, std::numeric_limits<double>::quiet_NaN(), 1e12};
    std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
    plugin->start(kRate, kBlock);
    AudioBuffers buffers(plugin->inputs(), plugin->outputs(), kBlock);
    double seconds = context.scaledSeconds(0.5);
    for (double rate : kRates) {
        plugin->restart(rate, kBlock);
        int blocks = static_cast<int>(std::ceil(seconds * rate / kBlock));
        processClean(*plugin, buffers, blocks, kBlock, "at " + rateText(rate), context);
    }
    int blocks = context.scaled(20);
    for (double rate : kBadRates) {
        context.doing("setting the sample rate to " + rateText(rate));
        plugin->restart(rate, kBlock);
        processClean(*plugin, buffers, blocks, kBlock, "after the rate " + rateText(rate), context);
        plugin->restart(kRate, kBlock);
        processClean(*plugin, buffers, blocks, kBlock,
                     "at 44100 Hz after the rate " + rateText(rate), context);
    }
    char seen[64];
    std::snprintf(seen, sizeof seen, "%.2f s", seconds);
    return std::string("8000 to 384000 Hz (13 rates), ") + seen +
           " each; 0, -1, NaN and 1e12 Hz, " + std::to_string(blocks) +
           " blocks each and as many at 44100 Hz after: guards intact, " + "output finite";
}

std::string blockSizes(Context& context) {
    std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
    plugin->start(kRate, kLargestBlock);
    AudioBuffers buffers(plugin->inputs(), plugin->outputs(), kLargestBlock);
    int calls = context.scaled(200);
    for (int call = 0; call < calls; ++call) {
        int frames = randomBlockSize(context, kLargestBlock);
        processClean(*plugin, buffers, 1, frames, "call " + std::to_string(call + 1), context);
    }
    int restarts = context.scaled(20);
    for (int restart = 0; restart < restarts; ++restart) {
        // No host announces a largest block of 0 frames, though it may send one.
        int most = std::max(1, randomBlockSize(context, kLargestBlock));
        context.doing("announcing " + std::to_string(most) + " frames as the largest block");
        plugin->restart(kRate, most);
        for (int call = 0; call < 10; ++call)
            processClean(*plugin, buffers, 1, randomBlockSize(context, most),
                         "with at most " + std::to_string(most) + " frames announced", context);
    }
    return std::to_string(calls) + " calls of 0 to 8192 frames, changing every call, and " +
           std::to_string(restarts) + " restarts announcing other maxima with 10 calls each: " +
           "guards intact, output finite";
}

std::string inPlace(Context& context) {
    std::shared_ptr<const vsthost::Module> module = Plugin::load(context.path());
    std::unique_ptr<Plugin> apart = Plugin::open(module);
    std::unique_ptr<Plugin> shared = Plugin::open(module);
    apart->start(kRate, kBlock);
    shared->start(kRate, kBlock);
    AudioBuffers separate(apart->inputs(), apart->outputs(), kBlock);
    AudioBuffers same(shared->inputs(), shared->outputs(), kBlock, true);
    std::uint64_t seed = context.random()();
    std::mt19937_64 inputA(seed), inputB(seed);
    int blocks = context.scaled(100);
    for (int block = 0; block < blocks; ++block) {
        int frames = randomBlockSize(context, kBlock);
        context.doing("processing block " + std::to_string(block) + " in place");
        apart->process(separate, frames, Signal::noise, inputA);
        shared->process(same, frames, Signal::noise, inputB);
        std::string fault = same.fault(true);
        if (fault.empty()) fault = firstDifference(separate, same, frames);
        if (!fault.empty())
            fail("block " + std::to_string(block) + " of " + std::to_string(frames) +
                 " frames in place: " + fault);
    }
    return std::to_string(blocks) + " blocks of noise with outputs in the inputs' memory: guards " +
           "intact, output finite and equal to processing into separate buffers";
}

} // namespace tesk::validate
