#include "demo_phrase.h"

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

namespace tesk::render {

namespace {

/// One note of the phrase: when (in eighths), which MIDI note, where in the stereo field.
struct Note {
    int eighth;
    int key;
    float pan;
    float level;
};

// A rising A minor figure with an answering fall, sparse enough for the echoes to be heard.
constexpr std::array<Note, 7> kPhrase{{{0, 57, 0.5f, 0.5f},
                                       {1, 64, 0.3f, 0.35f},
                                       {2, 69, 0.7f, 0.35f},
                                       {3, 72, 0.4f, 0.4f},
                                       {5, 76, 0.6f, 0.35f},
                                       {6, 72, 0.5f, 0.3f},
                                       {8, 69, 0.5f, 0.45f}}};
constexpr double kRingSeconds = 1.0;
/// How much of each round trip the string keeps: sets how long a note rings.
constexpr float kStringLoss = 0.996f;

/// A fixed-seed generator: the demo sounds the same on every run.
class NoiseSource {
  public:
    float next() {
        state_ = state_ * 1664525u + 1013904223u;
        return static_cast<float>(state_ >> 8) / static_cast<float>(1u << 23) - 1.0f;
    }

  private:
    std::uint32_t state_ = 0x5eedu;
};

/// A Karplus-Strong pluck: a burst of noise circulating in a string-length delay,
/// averaged on every pass so the high partials die first, as on a real string.
std::vector<float> pluck(int key, double rate, std::size_t frames, NoiseSource& noise) {
    double hertz = 440.0 * std::pow(2.0, (key - 69) / 12.0);
    auto period = static_cast<std::size_t>(std::lround(rate / hertz));
    std::vector<float> string(period);
    for (float& sample : string)
        sample = noise.next();
    std::vector<float> sound(frames);
    for (std::size_t k = 0; k < frames; ++k) {
        std::size_t here = k % period;
        std::size_t next = (k + 1) % period;
        sound[k] = string[here];
        string[here] = kStringLoss * 0.5f * (string[here] + string[next]);
    }
    return sound;
}

} // namespace

std::unique_ptr<MemorySource> demoPhrase(double tempo, double rate) {
    double eighthSeconds = 30.0 / tempo;
    int lastEighth = kPhrase.back().eighth;
    auto frames =
        static_cast<std::size_t>(((lastEighth + 1) * eighthSeconds + kRingSeconds) * rate);
    std::vector<float> left(frames);
    std::vector<float> right(frames);
    NoiseSource noise;
    for (const Note& note : kPhrase) {
        auto start = static_cast<std::size_t>(note.eighth * eighthSeconds * rate);
        std::vector<float> sound = pluck(note.key, rate, frames - start, noise);
        for (std::size_t k = 0; k < sound.size(); ++k) {
            left[start + k] += sound[k] * note.level * (1.0f - note.pan);
            right[start + k] += sound[k] * note.level * note.pan;
        }
    }
    return std::make_unique<MemorySource>(std::move(left), std::move(right), rate);
}

} // namespace tesk::render
