// Turns bytes into a sequence of host calls on one instance made through the
// module's entry: dispatcher opcodes with odd arguments, parameter values,
// process calls with odd audio and sizes, host tempo and sample-rate changes,
// and the editor opened, idled, keyed and closed on the headless platform.
#include "vst2.h"

#include "gui/platform/headless/headless.h"

#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

extern "C" AEffect* VSTCALL VSTPluginMain(audioMasterCallback host);

namespace {

// The host side: what the instance sees when it asks for the transport.
VstTimeInfo gTime{};
bool gGiveTime = true;

VstIntPtr VSTCALL fuzzHost(AEffect*, std::int32_t opcode, std::int32_t, VstIntPtr, void*, float) {
    if (opcode == audioMasterVersion) return 2400;
    if (opcode == audioMasterGetTime) return gGiveTime ? reinterpret_cast<VstIntPtr>(&gTime) : 0;
    if (opcode == audioMasterGetSampleRate) return 48000;
    return 0;
}

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    bool empty() const { return pos_ >= size_; }
    std::uint8_t byte() { return pos_ < size_ ? data_[pos_++] : 0; }
    std::int32_t int32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = (v << 8) | byte();
        return static_cast<std::int32_t>(v);
    }
    // Mostly ordinary values, sometimes the worst ones.
    float value() {
        switch (byte() % 8) {
        case 0: return std::numeric_limits<float>::quiet_NaN();
        case 1: return std::numeric_limits<float>::infinity();
        case 2: return -1e30f;
        case 3: {
            std::uint32_t bits = static_cast<std::uint32_t>(int32());
            float f;
            std::memcpy(&f, &bits, sizeof f);
            return f;
        }
        default: return static_cast<float>(byte()) / 127.0f;
        }
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
};

void dispatchSomething(AEffect* e, Bytes& in) {
    std::int32_t opcode = static_cast<std::int32_t>(in.byte() % 90) - 5;
    if (opcode == effClose || opcode == effEditOpen) opcode = effGetVstVersion;
    const std::int32_t index = static_cast<std::int16_t>(in.int32());
    VstIntPtr value = in.int32();
    const float opt = in.value();
    alignas(16) char buffer[1024] = {};
    for (int i = 0; i < 64; ++i) buffer[i] = static_cast<char>(in.byte());
    buffer[63] = '\0';
    void* slots[2] = {};
    // Opcodes that take a pointer in `value` get one to real storage, as a host passes.
    if (opcode == effGetSpeakerArrangement || opcode == effSetSpeakerArrangement)
        value = reinterpret_cast<VstIntPtr>(&slots[0]);
    void* ptr = (in.byte() & 1) != 0 ? static_cast<void*>(buffer) : nullptr;
    if (opcode == effGetSpeakerArrangement && ptr != nullptr) ptr = &slots[1];
    if (opcode == effSetSpeakerArrangement || opcode == effProcessEvents || opcode == effProcessVarIo ||
        (opcode >= effOfflineNotify && opcode <= effOfflineRun))
        std::memset(buffer, 0, sizeof buffer);
    e->dispatcher(e, opcode, index, value, ptr, opt);
}

void processSomething(AEffect* e, Bytes& in) {
    const std::int32_t frames = static_cast<std::int32_t>(in.byte()) * 17 - 40;
    const std::size_t length = frames > 0 ? static_cast<std::size_t>(frames) : 1;
    std::vector<float> channels[8];
    for (auto& c : channels) c.assign(length, 0.0f);
    for (std::size_t k = 0; k < length && !in.empty(); k += 1 + in.byte() % 64) channels[k % 2][k] = in.value();
    float* inputs[2] = {channels[0].data(), channels[1].data()};
    float* outputs[6];
    const bool inPlace = (in.byte() & 1) != 0;
    for (int c = 0; c < 6; ++c) outputs[c] = inPlace && c < 2 ? inputs[c] : channels[2 + c].data();
    if ((in.byte() & 1) != 0)
        e->processReplacing(e, inputs, outputs, frames);
    else
        e->process(e, inputs, outputs, frames);
}

void useEditor(AEffect* e, Bytes& in) {
    switch (in.byte() % 5) {
    case 0: e->dispatcher(e, effEditOpen, 0, 0, gui::headless::parentWindow(), 0.0f); break;
    case 1: e->dispatcher(e, effEditIdle, 0, 0, nullptr, 0.0f); break;
    case 2: e->dispatcher(e, effEditClose, 0, 0, nullptr, 0.0f); break;
    case 3: {
        ERect* rect = nullptr;
        e->dispatcher(e, effEditGetRect, 0, 0, &rect, 0.0f);
        break;
    }
    default:
        e->dispatcher(e, (in.byte() & 1) != 0 ? effEditKeyDown : effEditKeyUp, in.byte(), in.byte(), nullptr, in.value());
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Bytes in(data, size);
    gTime = VstTimeInfo{};
    gTime.tempo = 120.0;
    gGiveTime = true;
    AEffect* e = VSTPluginMain(fuzzHost);
    if (e == nullptr) return 0;
    for (int step = 0; step < 64 && !in.empty(); ++step) {
        switch (in.byte() % 9) {
        case 0: dispatchSomething(e, in); break;
        case 1: e->setParameter(e, static_cast<std::int32_t>(in.byte()) - 5, in.value()); break;
        case 2: (void)e->getParameter(e, static_cast<std::int32_t>(in.byte()) - 5); break;
        case 3:
        case 4: processSomething(e, in); break;
        case 5:
            gGiveTime = (in.byte() & 3) != 0;
            gTime.tempo = static_cast<double>(in.value()) * 300.0;
            break;
        case 6: e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, static_cast<float>(in.byte()) * 1000.0f + in.value()); break;
        case 7: e->dispatcher(e, effSetProgram, 0, static_cast<std::int8_t>(in.byte()), nullptr, 0.0f); break;
        case 8: useEditor(e, in); break;
        }
    }
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}
