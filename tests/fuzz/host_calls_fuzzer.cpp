// Turns bytes into a sequence of host calls on one instance made through the
// module's entry: dispatcher opcodes with odd arguments, parameter values,
// process calls with odd audio and sizes, host tempo and sample-rate changes,
// and the editor's opcodes while it is closed.
// Two fuzzers are made of it: tesk_host_calls_fuzzer with the module's code
// linked in, and tesk_module_fuzzer with the built TeskDelay.so loaded as a host
// loads it; the same input makes the same calls in both.
// The instance is reused from input to input (reused_instance.h says why and
// how the inputs stay independent).
#include "fuzz_input.h"
#include "reused_instance.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <vector>

namespace {

using tesk::fuzz::FuzzInput;
using tesk::fuzz::ReusedInstance;

constexpr int kMaxSteps = 64;
constexpr int kChannels = 8;

/// The audio every process call works in, made once: the call uses the first frames.
std::array<std::vector<float>, kChannels>& channels() {
    static std::array<std::vector<float>, kChannels> storage = [] {
        std::array<std::vector<float>, kChannels> made;
        for (auto& c : made)
            c.assign(FuzzInput::kMaxFrames, 0.0f);
        return made;
    }();
    return storage;
}

void dispatchSomething(ReusedInstance& instance, FuzzInput& in) {
    std::int32_t opcode = static_cast<std::int32_t>(in.byte() % 90) - 5;
    if (opcode == effClose || opcode == effEditOpen) opcode = effGetVstVersion;
    const std::int32_t index = static_cast<std::int16_t>(in.int32());
    VstIntPtr value = in.int32();
    // A rate from the input's rates: any float could ask for gigabytes of memory.
    const float opt = opcode == effSetSampleRate ? in.sampleRate() : in.value();
    alignas(16) char buffer[1024] = {};
    for (int i = 0; i < 64; ++i)
        buffer[i] = static_cast<char>(in.byte());
    buffer[63] = '\0';
    void* slots[2] = {};
    // Opcodes that take a pointer in `value` get one to real storage, as a host passes.
    if (opcode == effGetSpeakerArrangement || opcode == effSetSpeakerArrangement)
        value = reinterpret_cast<VstIntPtr>(&slots[0]);
    void* ptr = (in.byte() & 1) != 0 ? static_cast<void*>(buffer) : nullptr;
    if (opcode == effGetSpeakerArrangement && ptr != nullptr) ptr = &slots[1];
    if (opcode == effSetSpeakerArrangement || opcode == effProcessEvents ||
        opcode == effProcessVarIo || (opcode >= effOfflineNotify && opcode <= effOfflineRun))
        std::memset(buffer, 0, sizeof buffer);
    instance.dispatch(opcode, index, value, ptr, opt);
}

void processSomething(AEffect* e, FuzzInput& in) {
    const std::int32_t frames = in.frames();
    const auto length = static_cast<std::size_t>(std::max(frames, 1));
    auto& audio = channels();
    for (auto& c : audio)
        std::fill_n(c.begin(), length, 0.0f);
    for (std::size_t k = 0; k < length && !in.empty(); k += 1 + in.byte() % 64)
        audio[k % 2][k] = in.value();
    float* inputs[2] = {audio[0].data(), audio[1].data()};
    float* outputs[6];
    const bool inPlace = (in.byte() & 1) != 0;
    for (int c = 0; c < 6; ++c)
        outputs[c] = inPlace && c < 2 ? inputs[c] : audio[2 + c].data();
    if ((in.byte() & 1) != 0)
        e->processReplacing(e, inputs, outputs, frames);
    else
        e->process(e, inputs, outputs, frames);
}

/// The editor's opcodes while it is closed, as hosts send them before opening it
/// and after closing it. Opening it costs more than all other calls of an input
/// together and would draw the fuzzer to it: tesk_editor_input_fuzzer works the
/// open editor, with these host calls mixed in.
void useClosedEditor(ReusedInstance& instance, FuzzInput& in) {
    switch (in.byte() % 4) {
    case 0:
        instance.dispatch(effEditIdle);
        break;
    case 1:
        instance.dispatch(effEditClose);
        break;
    case 2: {
        ERect* rect = nullptr;
        instance.dispatch(effEditGetRect, 0, 0, &rect);
        break;
    }
    default: {
        const std::int32_t opcode = (in.byte() & 1) != 0 ? effEditKeyDown : effEditKeyUp;
        const std::int32_t character = in.byte();
        const VstIntPtr key = in.byte();
        instance.dispatch(opcode, character, key, nullptr, in.value());
        break;
    }
    }
}

void changeTransport(ReusedInstance& instance, FuzzInput& in) {
    vsthost::HostState& host = instance.host();
    host.provideTime = (in.byte() & 3) != 0;
    host.timeInfo.tempo = static_cast<double>(in.value()) * 300.0;
}

void step(ReusedInstance& instance, FuzzInput& in) {
    AEffect* e = instance.effect();
    switch (in.byte() % 9) {
    case 0:
        dispatchSomething(instance, in);
        break;
    case 1: {
        const std::int32_t index = static_cast<std::int32_t>(in.byte()) - 5;
        e->setParameter(e, index, in.value());
        break;
    }
    case 2:
        (void)e->getParameter(e, static_cast<std::int32_t>(in.byte()) - 5);
        break;
    case 3:
    case 4:
        processSomething(e, in);
        break;
    case 5:
        changeTransport(instance, in);
        break;
    case 6:
        instance.dispatch(effSetSampleRate, 0, 0, nullptr, in.sampleRate());
        break;
    case 7:
        instance.dispatch(effSetProgram, 0, static_cast<std::int8_t>(in.byte()));
        break;
    case 8:
        useClosedEditor(instance, in);
        break;
    }
    instance.noteProgram();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Never destroyed: closing it at exit would outlive the toolkit's own statics.
    static ReusedInstance& instance = *new ReusedInstance(tesk::fuzz::fuzzedModule());
    FuzzInput in(data, size);
    instance.begin(in);
    for (int s = 0; s < kMaxSteps && !in.empty(); ++s)
        step(instance, in);
    instance.end();
    return 0;
}
