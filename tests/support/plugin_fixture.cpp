#include "plugin_fixture.h"

#include "parameters.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

namespace tesk::test {

const std::string& modulePath() {
    static const std::string path = TESK_MODULE_PATH;
    return path;
}

const vsthost::Module& module() {
    static std::unique_ptr<vsthost::Module> loaded = [] {
        std::string error;
        auto m = vsthost::Module::load(modulePath(), error);
        if (!m) ADD_FAILURE() << error;
        return m;
    }();
    return *loaded;
}

Plugin::Plugin(const std::function<void(vsthost::HostState&)>& configure)
    : host_(std::make_unique<vsthost::HostState>()) {
    if (configure) configure(*host_);
    std::string error;
    instance_ = vsthost::Instance::create(module(), *host_, error);
    if (!instance_) throw std::runtime_error(error);
}

void Plugin::set(std::initializer_list<std::pair<int, float>> values) const {
    for (auto [index, value] : values)
        instance_->setParameter(index, value);
}

Outputs Plugin::render(const std::vector<float>& left, const std::vector<float>& right,
                       int block) const {
    const int frames = static_cast<int>(left.size());
    Outputs out;
    for (auto& channel : out)
        channel.assign(left.size(), 0.0f);
    std::vector<float> inL = left, inR = right;
    for (int start = 0; start < frames; start += block) {
        const int n = std::min(block, frames - start);
        float* inputs[2] = {inL.data() + start, inR.data() + start};
        float* outputs[6];
        for (int c = 0; c < 6; ++c)
            outputs[c] = out[c].data() + start;
        instance_->processReplacing(inputs, outputs, n);
        host_->advance(n);
    }
    return out;
}

Outputs Plugin::renderImpulse(int frames, float height, int block) const {
    std::vector<float> impulse(static_cast<std::size_t>(frames), 0.0f);
    impulse[0] = height;
    return render(impulse, impulse, block);
}

void isolateLineOne(const Plugin& plugin) {
    plugin->dispatch(effSetProgram, 0, 12);
    plugin.set({{parameterIndex(ParamKind::IsTempoSync, 0), 0.0f},
                {parameterIndex(ParamKind::VolumeThruInput, 0), 0.0f},
                {parameterIndex(ParamKind::Pan, 0), 0.0f},
                {parameterIndex(ParamKind::Volume, 0), 0.5f},
                {parameterIndex(ParamKind::LowPassFrequency, 0), 0.0f},
                {parameterIndex(ParamKind::HighPassFrequency, 0), 1.0f},
                {parameterIndex(ParamKind::Saturation, 0), 0.0f}});
}

std::vector<int> nonZeroAt(const std::vector<float>& channel) {
    std::vector<int> at;
    for (std::size_t i = 0; i < channel.size(); ++i)
        if (channel[i] != 0.0f) at.push_back(static_cast<int>(i));
    return at;
}

int firstSound(const std::vector<float>& channel) {
    const auto sound =
        std::find_if(channel.begin(), channel.end(), [](float s) { return s != 0.0f; });
    return sound == channel.end() ? -1 : static_cast<int>(sound - channel.begin());
}

int firstDifference(const std::vector<float>& a, const std::vector<float>& b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t k = 0; k < common; ++k)
        if (std::memcmp(&a[k], &b[k], sizeof(float)) != 0) return static_cast<int>(k);
    return a.size() == b.size() ? -1 : static_cast<int>(common);
}

std::vector<float> clickThenNoise(int frames, unsigned seed) {
    std::vector<float> samples(static_cast<std::size_t>(frames), 0.0f);
    samples[0] = 1.0f;
    for (int k = 44100; k < 2 * 44100 && k < frames; ++k) {
        seed = seed * 1664525u + 1013904223u;
        samples[static_cast<std::size_t>(k)] = static_cast<float>(seed >> 8) / 16777216.0f - 0.5f;
    }
    return samples;
}

std::vector<float> noise(int frames, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> uniform(-0.5f, 0.5f);
    std::vector<float> samples(static_cast<std::size_t>(frames));
    for (auto& s : samples)
        s = uniform(random);
    return samples;
}

std::uint64_t fingerprint(const Outputs& outputs) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const auto& channel : outputs) {
        const auto* bytes = reinterpret_cast<const unsigned char*>(channel.data());
        for (std::size_t i = 0; i < channel.size() * sizeof(float); ++i)
            hash = (hash ^ bytes[i]) * 0x100000001b3u;
    }
    return hash;
}

float largestStep(const Outputs& out, int from, int to) {
    float largest = 0.0f;
    for (int c = 0; c < 2; ++c)
        for (int k = std::max(1, from); k < to; ++k)
            largest = std::max(largest, std::fabs(out[c][k] - out[c][k - 1]));
    return largest;
}

} // namespace tesk::test
