// Test support: one plug-in instance made through the built module's entry,
// driven through its record as a host drives it, with helpers to run audio.
#pragma once

#include "vst_host.h"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace tesk::test {

/// Path of the built TeskDelay module.
const std::string& modulePath();

/// The module, loaded once for the whole test program.
const vsthost::Module& module();

/// Six output channels of a render.
using Outputs = std::array<std::vector<float>, 6>;

/// One instance with its own scriptable host.
class Plugin {
  public:
    /// Makes an instance; `configure` may change the host's answers first.
    explicit Plugin(const std::function<void(vsthost::HostState&)>& configure = {});

    vsthost::Instance& operator*() const { return *instance_; }
    vsthost::Instance* operator->() const { return instance_.get(); }
    vsthost::HostState& host() { return *host_; }

    /// Sets several parameters by index.
    void set(std::initializer_list<std::pair<int, float>> values) const;

    /// Runs `left`/`right` through processReplacing in blocks of `block` frames.
    Outputs render(const std::vector<float>& left, const std::vector<float>& right,
                   int block = 512) const;
    /// Runs an impulse of `height` on both inputs, followed by silence, `frames` long.
    Outputs renderImpulse(int frames, float height = 1.0f, int block = 512) const;

  private:
    std::unique_ptr<vsthost::HostState> host_;
    std::unique_ptr<vsthost::Instance> instance_;
};

/// Sets the instance to neutral program 12 with only line 1 on, no dry
/// signal, no filters, no saturation, and no tempo following: a clean line to
/// measure echoes on.
void isolateLineOne(const Plugin& plugin);

/// Indices of the non-zero samples of `channel`.
std::vector<int> nonZeroAt(const std::vector<float>& channel);

/// The first non-zero frame of `channel`; -1 when it is silent throughout.
int firstSound(const std::vector<float>& channel);

/// The first frame at which `a` and `b` differ in any bit (or in length); -1
/// when they are bit for bit the same.
int firstDifference(const std::vector<float>& a, const std::vector<float>& b);

/// A click at frame 0, a second of silence, a second of noise in ±0.5 and
/// silence to the end: the same samples on every machine, for renders kept
/// as references.
std::vector<float> clickThenNoise(int frames, unsigned seed);

/// Noise in ±0.5 throughout, the same for the same seed.
std::vector<float> noise(int frames, unsigned seed);

/// FNV-1a (64 bits) over the bytes of every sample, channel after channel: the
/// fingerprint a reference render is kept as.
std::uint64_t fingerprint(const Outputs& outputs);

/// The largest step between neighbouring samples of the main pair in [from, to).
float largestStep(const Outputs& out, int from, int to);

} // namespace tesk::test
