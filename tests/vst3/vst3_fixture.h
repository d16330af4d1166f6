// Test support: TeskDelay.vst3 loaded through our VST 3 host, instances
// started as a host starts them, and renders comparable with the VST 2 module's.
#pragma once

#include "parameters.h"
#include "plugin_fixture.h"
#include "vst3_host.h"

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tesk::test {

using vst3host::ParamID;
using vst3host::ParamPoint;

constexpr ParamID kProgramId = 1000;
constexpr ParamID kBypassId = 1001;
/// Line 1's tempo in use; lines 2 to 4 follow.
constexpr ParamID kTempoInUseId = 1002;
/// The 61, the program, the bypass and the four tempos in use.
constexpr int kNumVst3Params = kNumParameters + 2 + kNumLines;

/// Where the built bundle is.
const char* vst3BundlePath();
/// The built bundle, loaded once for the whole test program.
const vst3host::Module& vst3Module();

/// The normalized value of plain value `plain` of parameter `index` (0..60):
/// a position over the positions' count less one, else the place in the range.
double normalizedOfPlain(int index, double plain);
/// The normalized value standing for VST 2 value `v` of parameter `index`.
double normalizedOfValue(int index, float v);

/// One instance with its own host objects, started unless told otherwise.
class Vst3Plugin {
  public:
    /// Made and initialised, not started.
    Vst3Plugin();
    /// Made and started.
    Vst3Plugin(double rate, int maxBlock, bool auxActive = true);
    vst3host::Instance& operator*() const { return *instance_; }
    vst3host::Instance* operator->() const { return instance_.get(); }

    /// Changes for the block starting at frame `start`, at offsets within it.
    using ChangesFor = std::function<void(int start, int frames, std::vector<ParamPoint>&)>;
    /// Runs `left`/`right` through process in blocks of `block` frames with
    /// host tempo `tempo` (none: the context has no tempo). Every block must
    /// succeed and flag exactly its silent output channels.
    Outputs render(const std::vector<float>& left, const std::vector<float>& right, int block,
                   std::optional<double> tempo, const ChangesFor& changesFor = {});
    /// One block of silence carrying `changes`.
    vst3host::ProcessResult apply(const std::vector<ParamPoint>& changes, int frames = 64);
    /// The output parameter changes of the last render, offsets counted from its start.
    std::vector<ParamPoint> sent;

  private:
    std::unique_ptr<vst3host::Instance> instance_;
};

/// Silence up to `start`, an impulse there, from a tenth of a second later a
/// quarter second of noise in ±0.5 (the same for the same seed), then silence.
std::vector<float> impulseThenPhrase(int frames, double rate, int start, unsigned seed);

/// Sum of squares: whether a channel carries anything to compare.
double energy(const std::vector<float>& channel);

} // namespace tesk::test
