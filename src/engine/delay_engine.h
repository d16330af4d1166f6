// The delay engine: four tempo-synchronised delay lines with feedback,
// chaining, saturation and a filter pair each, panned onto three stereo output
// pairs, with the sixteen programs. It knows no plug-in format: each block is
// handed what it needs (the samples and the host's transport), and what the
// engine changes is told to its listener. Every format drives one of these.
#pragma once

#include "aligned_buffer.h"
#include "cpu_probe.h"
#include "denormal_guard.h"
#include "host_transport.h"
#include "parameters.h"
#include "programs.h"
#include "relaxed.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace tesk {

struct ShapingPass;

/// Who hears of the engine's parameter changes: the format that drives it,
/// which passes them on to its editor and, where its host must be told, to the host.
class EngineListener {
  public:
    /// Parameter `index` now holds `value` (or the tempo a line plays at moved),
    /// on whatever thread changed it.
    virtual void parameterChanged(std::int32_t index, float value) = 0;
    /// The engine changed parameter `index` on its own, on the thread that drives
    /// it: an input fell back to the main input because its source line went off.
    virtual void ownParameterChange(std::int32_t /*index*/) {}

  protected:
    ~EngineListener() = default;
};

/// Where a line that follows the host's tempo takes it.
enum class TempoFollowing : std::uint8_t {
    /// Into the line's `Tempo` parameter, through setParameter, so that the
    /// parameter always holds the tempo heard and ending sync keeps it. For hosts
    /// that read parameters back whenever they like (VST 2).
    IntoParameter,
    /// Into the line's tempo in use alone: `Tempo` stays the line's own tempo,
    /// which it plays at whenever sync is off. For hosts that keep the values
    /// they set and must not see one change under them (LV2, CLAP).
    InUseOnly,
};

class DelayEngine {
  public:
    /// The largest block processed in one go; longer host blocks run in pieces.
    static constexpr std::int32_t kMaxFrames = 1024;
    static constexpr float kDefaultSampleRate = 44100.0f;
    /// Rates above this are refused: four seconds of memory per line would
    /// no longer be a sensible allocation for a host thread to make.
    static constexpr float kMaxSampleRate = 1536000.0f;

    /// Builds the engine at the default rate with program 1 loaded; `vectorUnit`
    /// overrides the processor probe (tests use it). Not the audio thread.
    explicit DelayEngine(const bool* vectorUnit = nullptr);
    DelayEngine(const DelayEngine&) = delete;
    DelayEngine& operator=(const DelayEngine&) = delete;

    /// False when construction could not get the memory the engine needs.
    bool isUsable() const;
    /// Who hears of parameter changes from now on; null for nobody. Set it
    /// before any other thread uses the engine.
    void setListener(EngineListener* listener) { listener_ = listener; }

    /// Sets parameter `index` from its interface value (0..1; beats per minute
    /// above 1 for a tempo); bad indices and non-finite values change nothing. Any thread.
    void setParameter(std::int32_t index, float value);
    /// The interface value of parameter `index`; 0 for a bad index. Any thread.
    float getParameter(std::int32_t index) const;

    /// Runs a block of any length, replacing the outputs (two inputs, six
    /// outputs), with the host's transport of this block; denormals are flushed
    /// meanwhile. Null buffers or no frames do nothing. Once the engine is quiet
    /// a silent block costs next to nothing and gives the very samples the block
    /// routine would. Audio thread.
    void process(float** inputs, float** outputs, std::int32_t frames, const HostTransport& host);
    /// Whether nothing sounds any more and nothing will until the input or a
    /// parameter changes: the echoes have died away and a silent block leaves
    /// the engine as it found it. Silent blocks then cost next to nothing. Audio thread.
    bool isQuiet() const { return settled_ && echoesDiedAway(); }
    /// Hands `block` a host block of any length (two inputs, six outputs) in
    /// pieces of at most `kMaxFrames` frames, with denormals flushed meanwhile;
    /// null buffers or no frames hand it nothing. The thread that processes.
    template <typename Block>
    static void inPieces(float** inputs, float** outputs, std::int32_t frames, Block&& block) {
        if (frames <= 0 || inputs == nullptr || outputs == nullptr) return;
        for (int c = 0; c < 2; ++c)
            if (inputs[c] == nullptr) return;
        for (int c = 0; c < 6; ++c)
            if (outputs[c] == nullptr) return;
        DenormalGuard denormalGuard;
        for (std::int32_t done = 0; done < frames;) {
            const std::int32_t count = std::min(kMaxFrames, frames - done);
            float* in[2] = {inputs[0] + done, inputs[1] + done};
            float* out[6];
            for (int c = 0; c < 6; ++c)
                out[c] = outputs[c] + done;
            block(in, out, count);
            done += count;
        }
    }
    /// The block routine behind `process`; at most `kMaxFrames` frames. Audio thread.
    void processBlock(float** inputs, float** outputs, std::int32_t frames,
                      const HostTransport& host);

    /// Loads program `program` (0..15) through setParameter; others change nothing.
    void setProgram(std::int32_t program);
    /// The program loaded last. Any thread.
    std::int32_t getProgram() const { return currentProgram; }
    /// Renames the current program (at most 23 characters are kept).
    void setProgramName(const char* name);
    /// The stored name of program `index`; empty for a bad index.
    const char* programName(std::int32_t index) const;

    /// Gives every line silent delay memory for `rate` (memory of that length
    /// already in hand is cleared, other lengths reallocated) and restarts the
    /// heads; an unusable rate, or one whose memory cannot be had, keeps the
    /// previous rate and memory: false then. Not while a block runs.
    bool setSampleRate(float rate);
    /// Clears the delay memory, keeping delay times. Not while a block runs.
    void resume();

    /// Chooses where followed host tempos go; `IntoParameter` unless a format
    /// says otherwise, before the first block.
    void setTempoFollowing(TempoFollowing following);

    /// Recomputes the delay of `line` from its tempo in use and note length.
    void updateDelayTime(int line);
    /// Recomputes the crossover of `line`.
    void updateCrossFrequency(int line);

    /// Whether both filter stages may run in one 8-wide vector where the
    /// processor has the unit (the default). The 4-wide path gives the same
    /// output bit for bit; tests and benchmarks turn this off to compare.
    void useWideVectors(bool on) { wideVectors = on && detectWideVectorUnit(); }

    template <typename T> using PerLine = std::array<Relaxed<T>, kNumLines>;

    // ---- engine state; decoded parameters are written by any thread and read
    // by the audio thread once per block.
    std::int32_t sampleRateInt = 0;
    /// The program loaded last; written by program changes, read by any thread.
    Relaxed<std::int32_t> currentProgram{0};
    PerLine<float> crossHz;
    std::unique_ptr<std::array<DelayProgram, kNumPrograms>> programs;
    std::array<AlignedBuffer, kNumLines> delayBuffer;
    AlignedBuffer monoBuffer;
    std::array<AlignedBuffer, kNumLines> lineOut;
    std::unique_ptr<float[]> fadeTable;
    std::int32_t fadeLength = 0;
    PerLine<float> delaySeconds;
    PerLine<float> feedback;
    PerLine<float> pan;
    PerLine<float> lowPassFrequency;
    PerLine<float> highPassFrequency;
    PerLine<float> crossFrequency;
    PerLine<float> saturation;
    PerLine<std::int32_t> inputSource;
    PerLine<std::int32_t> outputPair;
    PerLine<bool> lineOn;
    PerLine<std::int32_t> delayType;
    PerLine<float> tempo;
    /// The tempo each line plays at, in beats per minute: its `tempo`, or the
    /// host's while it follows the host with `TempoFollowing::InUseOnly`.
    PerLine<float> tempoInUse;
    /// Per line, whether it plays at the host's tempo now (`InUseOnly`).
    PerLine<bool> hearingHost;
    PerLine<float> tempoNum;
    PerLine<float> tempoDen;
    PerLine<bool> tempoSync;
    PerLine<float> volume;
    Relaxed<float> volumeThruInput{1.0f};

    // ---- audio-thread state
    std::array<std::int32_t, kNumLines> writePos{};
    std::array<std::int32_t, kNumLines> readPos{};
    /// Per line, the write head at the end of the previous block minus one;
    /// meaningful once `prevWritePosReady` is set by the first processed line.
    std::array<std::int32_t, kNumLines> prevWritePos{};
    bool prevWritePosReady = false;
    AlignedBuffer hpInHistory, hpOutHistory, lpInHistory, lpOutHistory;
    AlignedBuffer hpB0, hpB1, hpB2, hpA1, hpA2;
    AlignedBuffer lpB0, lpB1, lpB2, lpA1, lpA2;
    AlignedBuffer satInGain, satOutGain;
    AlignedBuffer fadeGain;
    std::array<float, kNumLines> lowPassUsed{};
    std::array<float, kNumLines> highPassUsed{};
    std::array<float, kNumLines> crossUsed{};
    std::array<float, kNumLines> saturationUsed{};
    /// False until a line's filter coefficients have been computed for the
    /// current sample rate.
    std::array<bool, kNumLines> coefficientsReady{};
    /// Per line, how many entries just before the read head are known to be
    /// silent (cleared since the line last ran).
    std::array<std::int32_t, kNumLines> silentBehindRead{};
    /// Which lines run in the current block, taken once at its start.
    std::array<bool, kNumLines> running{};
    bool wideVectors = false;

  private:
    // The tests keep the earlier block routine as a reference that runs on
    // this same state.
    friend class ReferenceEngine;

    // A delay change made on any thread reaches the audio thread as a new head
    // distance, which it applies at the start of the line's next block.
    std::array<Relaxed<std::int32_t>, kNumLines> headDistance;
    std::array<std::atomic<bool>, kNumLines> headMoved{};
    TempoFollowing following = TempoFollowing::IntoParameter;
    EngineListener* listener_ = nullptr;
    /// Counts every change of a parameter, program, rate or memory (any thread).
    std::atomic<std::uint32_t> changeCount_{0};
    /// The change count `quietFrames_` counts from, and how many frames since
    /// then the input and every running line have been silent (audio thread).
    std::uint32_t quietSince_ = 0;
    std::int64_t quietFrames_ = 0;
    /// The last quiet block left the filters as it found them.
    bool settled_ = false;
    /// No block has run since the delay memory was made or cleared.
    bool memorySilent_ = true;

    void allocateEngineBuffers();
    /// Zeroed delay memory of `length` floats for every line; false, with the
    /// memory unchanged, when it cannot be had.
    bool renewDelayMemory(std::size_t length);
    void applyHeadMove(int line);
    void followHostTempo(int line, const HostTransport& host);
    /// No change since the input and every running line last sounded, longer
    /// ago than any echo lasts: the delay memory holds nothing but silence.
    bool echoesDiedAway() const;
    /// Whether the block of silent `inputs` may be skipped: quiet, with no head
    /// to move or fade (audio thread).
    bool canSkipSilence(float** inputs, std::int32_t frames, const HostTransport& host);
    /// What the block routine does to a quiet engine over silence: silent
    /// outputs, and the heads of the running lines moved on.
    void skipSilence(float** outputs, std::int32_t frames);
    /// Counts the block just processed towards quiet, or starts counting again.
    void noteSilence(float** inputs, std::int32_t frames);
    static constexpr std::size_t kHistoryFloats = 8;
    using FilterHistories = std::array<float, 4 * kHistoryFloats>;
    /// Both filter stages' histories, to the bit (compared as floats they would
    /// not tell -0.0 from 0.0, nor NaN from itself: bits do).
    FilterHistories filterHistories() const;
    /// Tells the listener that parameter `index` holds `value`.
    void notify(std::int32_t index, float value) {
        if (listener_ != nullptr) listener_->parameterChanged(index, value);
    }
    /// Makes `bpm` the tempo line `line` plays at, and tells the listener when that
    /// moves the tempo it shows (`TempoFollowing::InUseOnly`).
    void hearTempo(int line, float bpm);
    void setTempo(int line, float v);
    /// The host's tempo `bpm` into the line's `Tempo`, unless it no longer holds `seen`.
    void takeHostTempo(int line, float seen, float bpm);
    /// Brings the program's copy, the tempo in use and the delay to the line's `Tempo`.
    void settleTempo(int line);
    void setTempoSync(int line, bool on);
    void mixToMono(const float* left, const float* right, std::int32_t frames);
    void writeDryPath(float** inputs, float** outputs, std::int32_t frames);
    void processLine(int line, std::int32_t frames, const HostTransport& host);
    /// The cross-fade gain of every frame of a fading block, in `fadeGain`.
    const float* fillFadeGains(std::int32_t frames);
    void updateFilterCoefficients(int line);
    /// Saturation, both filter stages and the mix onto the outputs, in one pass.
    void shapeAndMixLines(float** outputs, std::int32_t frames);
    void preparePass(ShapingPass& pass, float** outputs);
    /// Brings the line's saturation gains up to date; false when the stage is off.
    bool prepareSaturation(int line);
    void clearConsumedMemory(std::int32_t frames);
    void setInputSource(int line, float v);
    void fallBackInputsListeningTo(int line);
    std::int32_t bufferLength() const { return 4 * sampleRateInt; }
};

} // namespace tesk
