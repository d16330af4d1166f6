// The LV2 plug-in: the very same DelayEngine, driven through LV2's ports. The
// control ports are read at the start of every run and a changed one goes to
// setParameter, in the order a program load applies values, so that a preset
// arriving as a set of port values leaves the engine as setProgram would.
//
// A plug-in cannot write its own input ports, so nothing the host keeps may
// change under it: a line that follows the host's tempo plays at it without
// writing it into its `Tempo` port, and the tempo each line plays at goes out
// on an output port of its own, for the UI and the host to show. Every session
// the host saves therefore reopens sounding as it was saved.
#include "bypass_fade.h"
#include "delay_engine.h"
#include "lv2_ports.h"

#include <lv2/atom/util.h>
#include <lv2/core/lv2.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>

namespace tesk::lv2 {

namespace {

// The URIs the transport is read with, mapped once at instantiation.
struct TimeUrids {
    LV2_URID atomBlank = 0, atomObject = 0, atomFloat = 0, atomDouble = 0;
    LV2_URID position = 0, beatsPerMinute = 0;
};

// Without a map every URID stays 0, which no atom carries: the transport is then
// ignored and the delay keeps its own tempos.
TimeUrids mapTimeUrids(const LV2_URID_Map* map) {
    if (map == nullptr) return {};
    auto m = [&](const char* uri) { return map->map(map->handle, uri); };
    return {m(LV2_ATOM__Blank),  m(LV2_ATOM__Object),   m(LV2_ATOM__Float),
            m(LV2_ATOM__Double), m(LV2_TIME__Position), m(LV2_TIME__beatsPerMinute)};
}

const LV2_URID_Map* findUridMap(const LV2_Feature* const* features) {
    for (; features != nullptr && *features != nullptr; ++features)
        if (std::strcmp((*features)->URI, LV2_URID__map) == 0)
            return static_cast<const LV2_URID_Map*>((*features)->data);
    return nullptr;
}

/// The delay as an LV2 instance: it learns its host's tempo from time:Position
/// objects rather than by asking.
class Lv2DelayEffect final : public DelayEngine {
  public:
    explicit Lv2DelayEffect(const LV2_URID_Map* map) : urids(mapTimeUrids(map)) {
        lastPortValue.fill(NAN);
        setTempoFollowing(TempoFollowing::InUseOnly);
    }

    /// Stores the host's buffer for `port`; any port at any time, null included.
    void connect(std::uint32_t port, void* data) {
        if (port < kNumPorts) ports[port] = data;
    }

    /// One host block of any length (audio thread).
    void run(std::uint32_t frames) {
        applyControlPorts();
        readTransport();
        float* in[kNumAudioInputs];
        float* out[kNumAudioOutputs];
        for (std::uint32_t c = 0; c < kNumAudioInputs; ++c)
            in[c] = static_cast<float*>(ports[c]);
        for (std::uint32_t c = 0; c < kNumAudioOutputs; ++c)
            out[c] = static_cast<float*>(ports[kFirstOutputPort + c]);
        // LV2 counts frames unsigned; the engine runs longer blocks in pieces.
        const auto count = frames > 0x7fffffffU ? 0x7fffffff : static_cast<std::int32_t>(frames);
        const auto* enabled = static_cast<const float*>(ports[kEnabledPort]);
        bypass.setBypassed(enabled != nullptr && !(*enabled > 0.5f));
        // A session saved bypassed starts bypassed, without crossing over first.
        if (starting) bypass.settle();
        starting = false;
        bypass.process(*this, in, out, count, transport);
        writeTempoInUse();
    }

    /// Silent delay memory, and the bypass where the host's port puts it at the
    /// first block (not while running).
    void start() {
        resume();
        starting = true;
    }

    /// Sets the rate of the engine and of the bypass crossing (not while running).
    void setRate(float rate) {
        setSampleRate(rate);
        bypass.setSampleRate(rate);
    }
    bool usable() const { return isUsable() && bypass.isUsable(); }

  private:
    void applyControlPort(int index) {
        const auto* port = static_cast<const float*>(ports[controlPortOf(index)]);
        if (port == nullptr) return;
        const float value = *port;
        // A value the host did not change is not applied again: the engine may
        // have moved on from it (a followed tempo, an input that fell back).
        if (value == lastPortValue[index] || std::isnan(value)) return;
        lastPortValue[index] = value;
        setParameter(index, parameterValueOf(index, value));
    }

    void applyControlPorts() {
        for (int line = 0; line < kNumLines; ++line)
            for (ParamKind kind : kProgramLoadOrder)
                applyControlPort(parameterIndex(kind, line));
        applyControlPort(parameterIndex(ParamKind::VolumeThruInput, 0));
    }

    void writeTempoInUse() {
        for (int line = 0; line < kNumLines; ++line)
            if (auto* port = static_cast<float*>(ports[tempoInUsePortOf(line)]))
                *port = tempoInUse[static_cast<std::size_t>(line)];
    }

    std::optional<double> numberOf(const LV2_Atom* atom) const {
        if (atom == nullptr) return std::nullopt;
        if (atom->type == urids.atomFloat)
            return reinterpret_cast<const LV2_Atom_Float*>(atom)->body;
        if (atom->type == urids.atomDouble)
            return reinterpret_cast<const LV2_Atom_Double*>(atom)->body;
        return std::nullopt;
    }

    // The last time:Position of the block gives its tempo; hosts send one when
    // the transport changes, so the tempo holds until the next.
    // The sequence is read through copies, not in place: atoms must be 64-bit
    // aligned, but jalv 1.6.6 (Debian 12's) hands this port a buffer 4 bytes off
    // that, and an LV2_Atom_Event read there is undefined behaviour (UBSan stops
    // the host on it). An object too large for `objectCopy` is no time:Position
    // a host sends, and is passed over.
    void readTransport() {
        const auto* port = static_cast<const std::uint8_t*>(ports[kTimePort]);
        if (port == nullptr) return;
        LV2_Atom sequence;
        std::memcpy(&sequence, port, sizeof sequence);
        const std::size_t end = sizeof(LV2_Atom) + sequence.size;
        for (std::size_t at = sizeof(LV2_Atom_Sequence); at + sizeof(LV2_Atom_Event) <= end;) {
            LV2_Atom_Event event;
            std::memcpy(&event, port + at, sizeof event);
            const std::size_t body = at + offsetof(LV2_Atom_Event, body);
            const std::size_t size = sizeof(LV2_Atom) + event.body.size;
            at += sizeof(LV2_Atom_Event) + lv2_atom_pad_size(event.body.size);
            if (event.body.type == 0 ||
                (event.body.type != urids.atomObject && event.body.type != urids.atomBlank) ||
                size < sizeof(LV2_Atom_Object) || size > objectCopy.size() || body + size > end)
                continue;
            std::memcpy(objectCopy.data(), port + body, size);
            const auto* object = reinterpret_cast<const LV2_Atom_Object*>(objectCopy.data());
            if (object->body.otype != urids.position) continue;
            const LV2_Atom* bpm = nullptr;
            lv2_atom_object_get(object, urids.beatsPerMinute, &bpm, 0);
            if (const std::optional<double> tempo = numberOf(bpm)) transport = {*tempo, true};
        }
    }

    TimeUrids urids;
    std::array<void*, kNumPorts> ports{};
    /// The transport's objects, each copied here to be read at the alignment atoms have.
    alignas(LV2_Atom_Event) std::array<std::uint8_t, 1024> objectCopy{};
    std::array<float, kNumParameters> lastPortValue{};
    HostTransport transport;
    BypassFade bypass;
    bool starting = true; ///< until the first block after activation
};

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*,
                       const LV2_Feature* const* features) {
    // The rates the VST 2 module accepts; any other would leave the delay on a
    // rate it does not run at, so there is no instance.
    if (!(rate >= 1.0 && rate <= DelayEngine::kMaxSampleRate)) return nullptr;
    try {
        // urid:map is needed for the transport; a host that gives none (lv2apply,
        // lv2proc) still gets the delay, on its own tempos.
        auto* effect = new (std::nothrow) Lv2DelayEffect(findUridMap(features));
        if (effect == nullptr) return nullptr;
        effect->setRate(static_cast<float>(rate));
        if (!effect->usable() || effect->sampleRateInt != static_cast<std::int32_t>(rate)) {
            delete effect;
            return nullptr;
        }
        return effect;
    } catch (...) {
        return nullptr; // out of memory: no instance, and nothing thrown into the host
    }
}

Lv2DelayEffect* effectOf(LV2_Handle handle) {
    return static_cast<Lv2DelayEffect*>(handle);
}

void connectPort(LV2_Handle handle, std::uint32_t port, void* data) {
    if (handle != nullptr) effectOf(handle)->connect(port, data);
}

void activate(LV2_Handle handle) {
    if (handle != nullptr) effectOf(handle)->start();
}

void run(LV2_Handle handle, std::uint32_t frames) {
    if (handle != nullptr) effectOf(handle)->run(frames);
}

void cleanup(LV2_Handle handle) {
    delete effectOf(handle);
}

const void* extensionData(const char*) {
    return nullptr;
}

constexpr LV2_Descriptor kDescriptor = {kPluginUri, instantiate, connectPort, activate,
                                        run,        nullptr,     cleanup,     extensionData};

} // namespace

} // namespace tesk::lv2

LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(std::uint32_t index) {
    return index == 0 ? &tesk::lv2::kDescriptor : nullptr;
}
