// TeskDelay where an installer put it, loaded as a Windows host loads it; run
// under Wine by tests/package/check_windows_installer.sh.
//
//   tesk-installed-modules play <TeskDelay.vst3 bundle> <TeskDelay.clap>
//       loads both through the test hosts, makes an instance of each and plays
//       an impulse through it: both must echo it, and alike to the bit.
//   tesk-installed-modules hold <module>
//       loads the module with LoadLibrary, says "holding", and keeps it loaded
//       until its standard input ends, as a host with the plug-in open does.
#include "clap_host.h"
#include "vst3_host.h"

#include <windows.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr double kRate = 44100.0;
constexpr int kBlock = 256;
constexpr int kFrames = 344 * kBlock; // two seconds, whole blocks

using Channels = std::array<std::vector<float>, 6>;

std::vector<float> impulse() {
    std::vector<float> in(kFrames, 0.0f);
    in[kBlock] = 1.0f;
    return in;
}

bool playVst3(const std::string& bundle, Channels& out, std::string& error) {
    auto module = vst3host::Module::load(bundle, error);
    if (!module) return false;
    auto instance = vst3host::Instance::create(*module, error);
    if (!instance || !instance->start(kRate, kBlock, true, error)) return false;
    const std::vector<float> in = impulse();
    for (int start = 0; start < kFrames; start += kBlock) {
        const float* inputs[2] = {in.data() + start, in.data() + start};
        float* outputs[6];
        for (std::size_t c = 0; c < out.size(); ++c)
            outputs[c] = out[c].data() + start;
        if (instance->process(inputs, outputs, kBlock).result != vst3host::kResultOk) {
            error = "TeskDelay.vst3 refused a block at frame " + std::to_string(start);
            return false;
        }
    }
    return true;
}

bool playClap(const std::string& path, Channels& out, std::string& error) {
    auto module = claphost::Module::load(path, error);
    if (!module) return false;
    claphost::HostState host;
    auto instance = claphost::Instance::create(*module, host, "", error);
    if (!instance) return false;
    if (!instance->start(kRate, kBlock)) {
        error = "TeskDelay.clap did not start";
        return false;
    }
    std::vector<float> left = impulse(), right = impulse();
    claphost::InputEvents events;
    for (int start = 0; start < kFrames; start += kBlock) {
        std::vector<float*> inputs{left.data() + start, right.data() + start};
        std::vector<float*> outputs;
        for (auto& channel : out)
            outputs.push_back(channel.data() + start);
        if (instance->process(inputs, outputs, kBlock, events) == CLAP_PROCESS_ERROR) {
            error = "TeskDelay.clap failed a block at frame " + std::to_string(start);
            return false;
        }
    }
    return true;
}

/// Whether the main output carries something a while after the impulse: an echo.
bool echoes(const Channels& out) {
    const auto late = out[0].begin() + kBlock + static_cast<int>(kRate / 20);
    return std::any_of(late, out[0].end(), [](float s) { return s != 0.0f; });
}

int play(const std::string& bundle, const std::string& clap) {
    Channels vst3, clapOut;
    for (auto* channels : {&vst3, &clapOut})
        for (auto& channel : *channels)
            channel.assign(kFrames, 0.0f);
    std::string error;
    if (!playVst3(bundle, vst3, error) || !playClap(clap, clapOut, error)) {
        std::fprintf(stderr, "FAIL: %s\n", error.c_str());
        return 1;
    }
    if (!echoes(vst3) || !echoes(clapOut)) {
        std::fprintf(stderr, "FAIL: no echo of the impulse (VST 3: %s, CLAP: %s)\n",
                     echoes(vst3) ? "echoes" : "silent", echoes(clapOut) ? "echoes" : "silent");
        return 1;
    }
    if (vst3 != clapOut) {
        std::fprintf(stderr, "FAIL: the installed TeskDelay.vst3 and TeskDelay.clap differ\n");
        return 1;
    }
    std::printf("%s and %s: loaded, echo an impulse alike to the bit\n", bundle.c_str(),
                clap.c_str());
    return 0;
}

int hold(const std::string& module) {
    HMODULE loaded = LoadLibraryA(module.c_str());
    if (loaded == nullptr) {
        std::fprintf(stderr, "FAIL: %s did not load (error %lu)\n", module.c_str(), GetLastError());
        return 1;
    }
    std::printf("holding %s\n", module.c_str());
    std::fflush(stdout);
    while (std::getchar() != EOF) {
    }
    FreeLibrary(loaded);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "play") == 0) return play(argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "hold") == 0) return hold(argv[2]);
    std::fprintf(stderr, "usage: tesk-installed-modules play <TeskDelay.vst3> <TeskDelay.clap>\n"
                         "       tesk-installed-modules hold <module>\n");
    return 2;
}
