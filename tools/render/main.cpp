// tesk-render: runs a VST 2 plug-in over an audio file offline, through the
// plug-in's binary interface, as a host in a studio would.
#include "audio_io.h"
#include "demo_phrase.h"
#include "errors.h"
#include "listing.h"
#include "options.h"
#include "plugin.h"
#include "progress.h"
#include "renderer.h"
#include "version.h"

#include <cmath>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <memory>
#include <string>

namespace tesk::render {

namespace {

/// The program the demo phrase is heard through when no other is asked for.
constexpr const char* kDemoProgram = "8";
constexpr const char* kDemoOutput = "demo.wav";

std::unique_ptr<AudioSource> openSource(const Options& options) {
    if (options.input.empty()) return demoPhrase(options.tempo, options.rate.value_or(kDemoRate));
    return std::make_unique<SoundFileSource>(options.input, options.channels);
}

std::string outputPath(const Options& options) {
    if (!options.output.empty()) return options.output;
    if (options.input.empty()) return kDemoOutput;
    std::filesystem::path input(options.input);
    return (input.parent_path() / (input.stem().string() + "-tesk.wav")).string();
}

void checkDistinctFiles(const Options& options, const std::string& output) {
    std::error_code error;
    if (!options.input.empty() && std::filesystem::equivalent(options.input, output, error)) {
        throw RenderError(ExitCode::usage, "the output would overwrite the input '" +
                                               options.input + "'; give another OUTPUT");
    }
}

/// The program to select: the one asked for, else the demo's own when our
/// plug-in renders the demo phrase, else the plug-in's current one.
std::optional<std::string> programFor(const Options& options) {
    if (options.program) return options.program;
    if (options.input.empty() && options.plugin.empty()) return kDemoProgram;
    return std::nullopt;
}

/// Loads and starts the plug-in, then selects `program` and applies --set, in that order.
std::unique_ptr<Plugin> startPlugin(const Options& options, double rate,
                                    const std::optional<std::string>& program) {
    std::string path = options.plugin.empty() ? defaultPluginPath() : options.plugin;
    auto plugin = Plugin::load(path, {options.tempo, rate, options.blockSize, options.verbose});
    plugin->start();
    if (program) plugin->selectProgram(*program);
    for (const Setting& setting : options.settings)
        plugin->apply(setting);
    return plugin;
}

void noteMono(const Plugin& plugin, const Options& options) {
    if (options.quiet || (plugin.inputs() != 1 && plugin.outputs() != 1)) return;
    std::fprintf(stderr,
                 "note: '%s' is mono: it gets the input mixed down to one channel, and its "
                 "output is copied to both channels of the file\n",
                 plugin.name().c_str());
}

void report(const Options& options, const SoundFileSink& sink, const RenderResult& result,
            double rate) {
    if (options.quiet) return;
    if (result.tailCapped) {
        std::fprintf(stderr,
                     "note: the output still sounded after a %.0f s tail; give --tail "
                     "SECONDS for a longer one\n",
                     kLongestTailSeconds);
    }
    std::error_code error;
    std::filesystem::path written = std::filesystem::absolute(sink.path(), error);
    std::fprintf(stderr, "wrote %s (%d channels, %.0f Hz, %.2f s)\n", written.string().c_str(),
                 sink.channels(), rate, static_cast<double>(result.frames) / rate);
}

/// The peak a render should keep to, in dBFS: a little headroom below full scale.
constexpr double kTargetPeakDb = -0.1;

/// The --gain that brings a render whose peak was `peakDb` at `gainDb` to
/// kTargetPeakDb or just below it, in tenths of a decibel.
double gainForPeak(double gainDb, double peakDb) {
    return std::floor((gainDb + kTargetPeakDb - peakDb) * 10.0) / 10.0;
}

/// Says on stderr how many samples went past full scale, how loud the peak was
/// and what to do: a FLAC file has clipped them, a float WAV will when converted.
void warnOfClipping(const Options& options, const SoundFileSink& sink) {
    const OutputLevel& level = sink.level();
    if (options.quiet || level.overFullScale == 0) return;
    const double peakDb = 20.0 * std::log10(static_cast<double>(level.peak));
    const bool one = level.overFullScale == 1;
    const std::string count = std::to_string(level.overFullScale) + (one ? " sample" : " samples");
    char peak[32];
    std::snprintf(peak, sizeof peak, "%+.1f dBFS", peakDb);
    if (sink.holdsIntegers()) {
        std::fprintf(stderr,
                     "warning: %s clipped in %s: the output peaks at %s, above full scale\n",
                     count.c_str(), sink.path().c_str(), peak);
    } else {
        std::fprintf(stderr,
                     "warning: %s %s 0 dBFS (the peak is %s): the float WAV %s keeps %s, but "
                     "%s when it is converted to FLAC or integer WAV, or played\n",
                     count.c_str(), one ? "exceeds" : "exceed", peak, sink.path().c_str(),
                     one ? "it" : "them", one ? "it clips" : "they clip");
    }
    if (std::isfinite(peakDb)) {
        std::fprintf(stderr,
                     "warning: render again with --gain %.1f to bring the peak to %.1f dBFS\n",
                     gainForPeak(options.gainDb, peakDb), kTargetPeakDb);
    } else {
        std::fprintf(stderr,
                     "warning: the output holds infinite samples, which no --gain brings back\n");
    }
}

int renderFile(const Options& options) {
    std::unique_ptr<AudioSource> source = openSource(options);
    std::string output = outputPath(options);
    checkOutputName(output);
    checkDistinctFiles(options, output);
    std::unique_ptr<Plugin> plugin = startPlugin(options, source->rate(), programFor(options));
    noteMono(*plugin, options);
    SoundFileSink sink(output, outputChannels(options.outputs, plugin->outputs()), source->rate());
    ProgressBar progress(!options.quiet);
    RenderResult result =
        render(*plugin, *source, sink,
               {options.outputs, options.tailSeconds, options.blockSize, options.warmUpSeconds,
                static_cast<float>(std::pow(10.0, options.gainDb / 20.0))},
               progress);
    plugin->finish();
    sink.close();
    report(options, sink, result, source->rate());
    warnOfClipping(options, sink);
    return 0;
}

int run(const Options& options) {
    if (options.help) {
        std::fputs(helpText().c_str(), stdout);
        return 0;
    }
    if (options.list) {
        std::unique_ptr<Plugin> plugin =
            startPlugin(options, options.rate.value_or(kDemoRate), options.program);
        printListing(*plugin, stdout);
        plugin->finish();
        return 0;
    }
    return renderFile(options);
}

} // namespace

} // namespace tesk::render

int main(int argc, char** argv) {
    using namespace tesk::render;
    if (tesk::askedForVersion(argc, argv)) {
        tesk::printVersion("tesk-render");
        return 0;
    }
    try {
        return run(parseOptions({argv + 1, argv + argc}));
    } catch (const RenderError& error) {
        std::fprintf(stderr, "tesk-render: %s\n", error.what());
        return static_cast<int>(error.code());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tesk-render: unexpected failure: %s\n", error.what());
        return static_cast<int>(ExitCode::internal);
    }
}
