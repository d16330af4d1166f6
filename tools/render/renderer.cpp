#include "renderer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <thread>
#include <vector>

namespace tesk::render {

namespace {

/// -90 dBFS of the plug-in's own output: below this the tail counts as silent.
constexpr float kSilence = 3.1623e-5f;
/// Longer than TeskDelay's longest delay (just under four seconds): a quiet
/// stretch this long means no echo is still on its way.
constexpr double kQuietToEndSeconds = 5.0;
/// Kept after the last audible sample so that the file does not end abruptly.
constexpr double kEndMarginSeconds = 0.1;

/// Planar buffers and the pointer array the process entries take.
class ChannelSet {
  public:
    ChannelSet(int channels, std::int32_t frames)
        : buffers_(static_cast<std::size_t>(channels),
                   std::vector<float>(static_cast<std::size_t>(frames))) {
        for (auto& buffer : buffers_)
            pointers_.push_back(buffer.data());
    }
    float** pointers() { return pointers_.data(); }
    float* operator[](int channel) { return pointers_[static_cast<std::size_t>(channel)]; }
    int size() const { return static_cast<int>(buffers_.size()); }

  private:
    std::vector<std::vector<float>> buffers_;
    std::vector<float*> pointers_;
};

/// Writes the tail. An open-ended tail holds quiet frames back, so the file ends
/// shortly after the last audible sample; a tail of given length is written whole.
/// Silence is judged before the gain, so that --gain changes a file's level only,
/// never its length.
class TailWriter {
  public:
    TailWriter(SoundFileSink& sink, double rate, bool openEnded, float gain)
        : sink_(sink), openEnded_(openEnded), silence_(kSilence * gain),
          quietToEnd_(static_cast<std::int64_t>(kQuietToEndSeconds * rate)),
          margin_(static_cast<std::int64_t>(kEndMarginSeconds * rate)) {}

    /// Appends frames of the tail, writing everything up to their last audible frame.
    void add(const float* interleaved, std::int64_t frames) {
        std::int64_t audible = openEnded_ ? audibleFrames(interleaved, frames) : frames;
        if (audible > 0) {
            flushHeld();
            write(interleaved, audible);
        }
        int channels = sink_.channels();
        held_.insert(held_.end(), interleaved + audible * channels,
                     interleaved + frames * channels);
    }
    /// True once an open-ended tail has been quiet long enough to end.
    bool diedAway() const { return openEnded_ && heldFrames() >= quietToEnd_; }
    /// Writes the margin of what is held and drops the rest of the silence.
    void finish() {
        held_.resize(static_cast<std::size_t>(std::min(heldFrames(), margin_) * sink_.channels()));
        flushHeld();
    }
    std::int64_t written() const { return written_; }

  private:
    /// Frames up to and including the last one holding an audible sample.
    std::int64_t audibleFrames(const float* interleaved, std::int64_t frames) const {
        std::int64_t samples = frames * sink_.channels();
        while (samples > 0 && !(std::fabs(interleaved[samples - 1]) > silence_))
            --samples;
        return (samples + sink_.channels() - 1) / sink_.channels();
    }
    std::int64_t heldFrames() const {
        return static_cast<std::int64_t>(held_.size()) / sink_.channels();
    }
    void write(const float* interleaved, std::int64_t frames) {
        sink_.write(interleaved, frames);
        written_ += frames;
    }
    void flushHeld() {
        write(held_.data(), heldFrames());
        held_.clear();
    }

    SoundFileSink& sink_;
    bool openEnded_;
    float silence_; ///< kSilence, at the level of the written output
    std::int64_t quietToEnd_;
    std::int64_t margin_;
    std::vector<float> held_;
    std::int64_t written_ = 0;
};

/// One block through the plug-in with the channel adaptation either side of it.
/// The source writes straight into the plug-in's first two input buffers.
class BlockRunner {
  public:
    BlockRunner(Plugin& plugin, OutputMode mode, std::int32_t blockSize, float gain)
        : plugin_(plugin), blockSize_(blockSize), gain_(gain),
          fileChannels_(outputChannels(mode, plugin.outputs())),
          inputs_(std::max(plugin.inputs(), 2), blockSize), outputs_(plugin.outputs(), blockSize),
          mixes_(fileChannels_, blockSize),
          interleaved_(static_cast<std::size_t>(blockSize * fileChannels_)),
          planes_(static_cast<std::size_t>(fileChannels_)),
          sourcesOf_(static_cast<std::size_t>(fileChannels_)) {
        for (int source = 0; source < outputs_.size(); ++source)
            for (int target : targetsOf(mode, source))
                sourcesOf_[static_cast<std::size_t>(target)].push_back(source);
    }

    std::int32_t blockSize() const { return blockSize_; }
    float* left() { return inputs_[0]; }
    float* right() { return inputs_[1]; }
    /// Runs `frames` frames of left() and right() and answers the interleaved output.
    const float* run(std::int32_t frames) {
        feedInputs(frames);
        plugin_.process(inputs_.pointers(), outputs_.pointers(), frames);
        gatherOutputs(frames);
        return interleaved_.data();
    }
    /// Runs `frames` frames of silence and answers the interleaved output. The
    /// silence is laid anew each time: a plug-in may use its inputs as scratch space.
    const float* runSilence(std::int32_t frames) {
        std::fill_n(left(), frames, 0.0f);
        std::fill_n(right(), frames, 0.0f);
        return run(frames);
    }
    /// The plug-in the blocks run through.
    Plugin& plugin() { return plugin_; }

  private:
    void feedInputs(std::int32_t frames) {
        if (plugin_.inputs() == 1) {
            for (std::int32_t k = 0; k < frames; ++k)
                inputs_[0][k] = 0.5f * (inputs_[0][k] + inputs_[1][k]);
            return;
        }
        for (int channel = 2; channel < inputs_.size(); ++channel)
            std::fill_n(inputs_[channel], frames, 0.0f);
    }

    /// Each file channel is 0 plus the plug-in outputs routed to it, in the
    /// order of the outputs; a channel fed by one output reads it in place.
    void gatherOutputs(std::int32_t frames) {
        for (int target = 0; target < fileChannels_; ++target)
            planes_[static_cast<std::size_t>(target)] = mixOf(target, frames);
        if (fileChannels_ == 2) {
            interleavePair(planes_[0], planes_[1], frames);
            return;
        }
        auto channels = static_cast<std::size_t>(fileChannels_);
        for (int target = 0; target < fileChannels_; ++target) {
            const float* plane = planes_[static_cast<std::size_t>(target)];
            float* sample = interleaved_.data() + target;
            for (std::int32_t k = 0; k < frames; ++k, sample += channels)
                *sample = gain_ * plane[k] + 0.0f;
        }
    }

    /// The samples of file channel `target`: the one output routed to it, or the
    /// sum of several (or of none) in a buffer of its own.
    const float* mixOf(int target, std::int32_t frames) {
        const std::vector<int>& sources = sourcesOf_[static_cast<std::size_t>(target)];
        if (sources.size() == 1) return outputs_[sources.front()];
        float* mix = mixes_[target];
        std::fill_n(mix, frames, 0.0f);
        for (int source : sources)
            for (std::int32_t k = 0; k < frames; ++k)
                mix[k] += outputs_[source][k];
        return mix;
    }

    // Adding 0 keeps what accumulating onto a silent frame always gave: a
    // negative zero from the plug-in is written as a positive one. A gain of 1
    // leaves every sample as it is.
    void interleavePair(const float* first, const float* second, std::int32_t frames) {
        float* out = interleaved_.data();
        for (std::int32_t k = 0; k < frames; ++k) {
            out[2 * k] = gain_ * first[k] + 0.0f;
            out[2 * k + 1] = gain_ * second[k] + 0.0f;
        }
    }

    /// The file channels that plug-in output `source` goes to.
    std::vector<int> targetsOf(OutputMode mode, int source) const {
        if (outputs_.size() == 1) return {0, 1}; // a mono plug-in fills both sides
        if (mode == OutputMode::all) return {source};
        if (mode == OutputMode::mix) return {source % 2};
        return source < 2 ? std::vector<int>{source} : std::vector<int>{};
    }

    Plugin& plugin_;
    std::int32_t blockSize_;
    float gain_;
    int fileChannels_;
    ChannelSet inputs_;
    ChannelSet outputs_;
    ChannelSet mixes_; ///< a sum for each file channel fed by more than one output
    std::vector<float> interleaved_;
    std::vector<const float*> planes_;        ///< the samples of each file channel
    std::vector<std::vector<int>> sourcesOf_; ///< the outputs feeding each file channel
};

/// Runs the plug-in on silence in real time and drops the output: some plug-ins
/// finish a parameter change in a background thread that an offline render
/// would outrun. The transport then starts again from zero.
void warmUp(BlockRunner& runner, double seconds, double rate) {
    if (seconds <= 0.0) return;
    auto frames = static_cast<std::int64_t>(seconds * rate);
    auto start = std::chrono::steady_clock::now();
    for (std::int64_t done = 0; done < frames; done += runner.blockSize()) {
        runner.runSilence(runner.blockSize());
        std::this_thread::sleep_until(
            start + std::chrono::duration<double>(static_cast<double>(done) / rate));
    }
    runner.plugin().restartTransport();
}

} // namespace

int outputChannels(OutputMode mode, int pluginOutputs) {
    return mode == OutputMode::all && pluginOutputs > 1 ? pluginOutputs : 2;
}

RenderResult render(Plugin& plugin, AudioSource& source, SoundFileSink& sink,
                    const RenderPlan& plan, ProgressBar& progress) {
    BlockRunner runner(plugin, plan.outputs, plan.blockSize, plan.gain);
    double rate = source.rate();
    warmUp(runner, plan.warmUpSeconds, rate);
    std::int64_t inputFrames = source.frames();
    std::int64_t done = 0;
    while (std::int32_t got = source.read(runner.left(), runner.right(), runner.blockSize())) {
        sink.write(runner.run(got), got);
        done += got;
        progress.update(done, inputFrames, rate);
    }
    auto tailFrames = static_cast<std::int64_t>(
        std::llround(plan.tailSeconds.value_or(kLongestTailSeconds) * rate));
    std::int64_t shownTotal = plan.tailSeconds ? inputFrames + tailFrames : inputFrames;
    TailWriter tail(sink, rate, !plan.tailSeconds, plan.gain);
    for (std::int64_t tailDone = 0; tailDone < tailFrames && !tail.diedAway();) {
        auto frames = static_cast<std::int32_t>(
            std::min<std::int64_t>(runner.blockSize(), tailFrames - tailDone));
        tail.add(runner.runSilence(frames), frames);
        tailDone += frames;
        progress.update(done + tailDone, shownTotal, rate);
    }
    bool capped = !plan.tailSeconds && !tail.diedAway();
    tail.finish();
    progress.finish();
    return {done + tail.written(), capped};
}

} // namespace tesk::render
