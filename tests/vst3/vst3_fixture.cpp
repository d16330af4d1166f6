#include "vst3_fixture.h"

#include "parameter_info.h"

#include <algorithm>
#include <numeric>
#include <random>
#include <stdexcept>

namespace tesk::test {

const char* vst3BundlePath() {
    return TESK_VST3_BUNDLE_PATH;
}

const vst3host::Module& vst3Module() {
    static std::unique_ptr<vst3host::Module> loaded = [] {
        std::string error;
        auto m = vst3host::Module::load(vst3BundlePath(), error);
        if (!m) throw std::runtime_error(error);
        return m;
    }();
    return *loaded;
}

double normalizedOfPlain(int index, double plain) {
    const int positions = choiceCount(index);
    if (positions > 0) return plain / (positions - 1);
    const PlainRange range = plainRange(index);
    return (plain - range.min) / (range.max - range.min);
}

double normalizedOfValue(int index, float v) {
    return normalizedOfPlain(index, plainValue(index, v));
}

Vst3Plugin::Vst3Plugin() {
    std::string error;
    instance_ = vst3host::Instance::create(vst3Module(), error);
    if (!instance_) throw std::runtime_error(error);
}

Vst3Plugin::Vst3Plugin(double rate, int maxBlock, bool auxActive) : Vst3Plugin() {
    std::string error;
    if (!instance_->start(rate, maxBlock, auxActive, error)) throw std::runtime_error(error);
}

Outputs Vst3Plugin::render(const std::vector<float>& left, const std::vector<float>& right,
                           int block, std::optional<double> tempo, const ChangesFor& changesFor) {
    const int frames = static_cast<int>(left.size());
    Outputs out;
    for (auto& channel : out)
        channel.assign(left.size(), 0.0f);
    sent.clear();
    std::vector<ParamPoint> changes;
    int badFlags = 0;
    std::string firstBadFlag;
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        const float* inputs[2] = {left.data() + start, right.data() + start};
        float* outputs[6];
        for (int c = 0; c < 6; ++c)
            outputs[c] = out[static_cast<std::size_t>(c)].data() + start;
        changes.clear();
        if (changesFor) changesFor(start, n, changes);
        const auto result = instance_->process(inputs, outputs, n, changes, tempo);
        if (result.result != vst3host::kResultOk) {
            ADD_FAILURE() << "process answered " << result.result << " at frame " << start;
            break;
        }
        for (ParamPoint p : result.outputChanges) {
            p.offset += start;
            sent.push_back(p);
        }
        const int buses = instance_->auxActive() ? 3 : 1;
        for (int c = 0; c < 2 * buses; ++c) {
            const bool silent =
                std::all_of(outputs[c], outputs[c] + n, [](float s) { return s == 0.0f; });
            const bool flagged =
                ((result.silenceFlags[static_cast<std::size_t>(c / 2)] >> (c % 2)) & 1u) != 0;
            if (silent != flagged && badFlags++ == 0)
                firstBadFlag = "output channel " + std::to_string(c) + " at frame " +
                               std::to_string(start) +
                               (silent ? ": silent, not flagged" : ": flagged silent, not silent");
        }
    }
    EXPECT_EQ(badFlags, 0) << "silence flags wrong, first: " << firstBadFlag;
    return out;
}

vst3host::ProcessResult Vst3Plugin::apply(const std::vector<ParamPoint>& changes, int frames) {
    std::vector<float> silence(static_cast<std::size_t>(frames), 0.0f);
    std::array<std::vector<float>, 6> out;
    float* outputs[6];
    for (int c = 0; c < 6; ++c) {
        out[static_cast<std::size_t>(c)].assign(silence.size(), 0.0f);
        outputs[c] = out[static_cast<std::size_t>(c)].data();
    }
    const float* inputs[2] = {silence.data(), silence.data()};
    auto result = instance_->process(inputs, outputs, frames, changes);
    EXPECT_EQ(result.result, vst3host::kResultOk);
    return result;
}

std::vector<float> impulseThenPhrase(int frames, double rate, int start, unsigned seed) {
    std::vector<float> samples(static_cast<std::size_t>(frames), 0.0f);
    samples[static_cast<std::size_t>(start)] = 1.0f;
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    const int from = start + static_cast<int>(rate / 10);
    const int to = std::min(frames, from + static_cast<int>(rate / 4));
    for (int k = from; k < to; ++k)
        samples[static_cast<std::size_t>(k)] = uniform(random);
    return samples;
}

double energy(const std::vector<float>& channel) {
    return std::inner_product(channel.begin(), channel.end(), channel.begin(), 0.0);
}

} // namespace tesk::test
