// The extensions of a ClapDelay: audio ports, params, state, and (in
// clap_presets.cpp) preset load and (in clap_gui.cpp) the editor with its timer.
#include "clap_extensions.h"
#include "clap_delay.h"
#include "clap_params.h"
#include "clap_state.h"
#include "parameter_info.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace tesk::clapfmt {

// ---------------------------------------------------------------- audio ports

struct PortsExtension {
    static std::uint32_t count(const clap_plugin_t* plugin, bool isInput) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (self == nullptr) return 0;
        self->requireMainThread("audio_ports.count");
        return isInput ? 1 : 3;
    }

    static bool get(const clap_plugin_t* plugin, std::uint32_t index, bool isInput,
                    clap_audio_port_info_t* info) {
        static const char* const outputNames[] = {"Main", "Out 2", "Out 3"};
        if (info == nullptr || index >= count(plugin, isInput)) return false;
        *info = clap_audio_port_info_t{};
        info->id = index;
        std::snprintf(info->name, sizeof info->name, "%s", isInput ? "Input" : outputNames[index]);
        info->flags = index == 0 ? static_cast<std::uint32_t>(CLAP_AUDIO_PORT_IS_MAIN) : 0u;
        info->channel_count = 2;
        info->port_type = CLAP_PORT_STEREO;
        // The engine reads its input after writing the main pair: no in-place pair.
        info->in_place_pair = CLAP_INVALID_ID;
        return true;
    }

    static constexpr clap_plugin_audio_ports_t table{count, get};
};

// ---------------------------------------------------------------- params

namespace {

// The crossover value the texts of parameter `index` are made relative to.
float crossoverFor(const ClapDelay& self, int index) {
    ParamRef ref{};
    splitParameterIndex(index, ref);
    return self.mainValue(parameterIndex(ParamKind::CrossFrequency, ref.line));
}

bool copyText(const std::string& text, char* out, std::uint32_t capacity) {
    if (out == nullptr || capacity == 0) return false;
    std::snprintf(out, capacity, "%s", text.c_str());
    return true;
}

std::string programName(const DelayEngine& engine, int program) {
    return engine.programName(program);
}

} // namespace

struct ParamsExtension {
    static std::uint32_t count(const clap_plugin_t* plugin) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (self == nullptr) return 0;
        self->requireMainThread("params.count");
        return kNumClapParams;
    }

    static bool getInfo(const clap_plugin_t* plugin, std::uint32_t position,
                        clap_param_info_t* info) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (self == nullptr || info == nullptr) return false;
        self->requireMainThread("params.get_info");
        return describe(position, *info);
    }

    static bool getValue(const clap_plugin_t* plugin, clap_id id, double* value) {
        ClapDelay* self = ClapDelay::of(plugin);
        const int position = positionOf(id);
        if (self == nullptr || value == nullptr || position < 0) return false;
        self->requireMainThread("params.get_value");
        if (position == kProgramPosition)
            *value = self->mainProgram();
        else if (position == kBypassPosition)
            *value = self->mainBypassed() ? 1.0 : 0.0;
        else
            *value = plainValue(position, self->mainValue(position));
        return true;
    }

    static bool valueToText(const clap_plugin_t* plugin, clap_id id, double value, char* out,
                            std::uint32_t capacity) {
        ClapDelay* self = ClapDelay::of(plugin);
        const int position = positionOf(id);
        if (self == nullptr || position < 0 || !std::isfinite(value)) return false;
        self->requireMainThread("params.value_to_text");
        if (position == kProgramPosition)
            return copyText(programName(*self->engine_, programOf(value)), out, capacity);
        if (position == kBypassPosition) return copyText(bypassText(value), out, capacity);
        return copyText(valueText(position, value, crossoverFor(*self, position)), out, capacity);
    }

    static bool textToValue(const clap_plugin_t* plugin, clap_id id, const char* text,
                            double* value) {
        ClapDelay* self = ClapDelay::of(plugin);
        const int position = positionOf(id);
        if (self == nullptr || position < 0 || text == nullptr || value == nullptr) return false;
        self->requireMainThread("params.text_to_value");
        if (position == kProgramPosition) return programOfText(*self->engine_, text, *value);
        const auto parsed = position == kBypassPosition
                                ? bypassOfText(text)
                                : textValue(position, text, crossoverFor(*self, position));
        if (parsed) *value = *parsed;
        return parsed.has_value();
    }

    /// A program's name, or its number 1 to 16.
    static bool programOfText(const DelayEngine& effect, const char* text, double& value) {
        for (int program = 0; program < kNumPrograms; ++program) {
            if (programName(effect, program) == text) {
                value = program;
                return true;
            }
        }
        char* end = nullptr;
        const long number = std::strtol(text, &end, 10);
        if (end == text || number < 1 || number > kNumPrograms) return false;
        value = static_cast<double>(number - 1);
        return true;
    }

    // Any time process is not running: on the audio thread while the instance
    // is active, on the main thread while it is not.
    static void flush(const clap_plugin_t* plugin, const clap_input_events_t* in,
                      const clap_output_events_t* out) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (self == nullptr) return;
        if (self->active())
            self->requireAudioThread("params.flush");
        else
            self->requireMainThread("params.flush");
        self->beginServing(out);
        self->applyEngineCommands();
        const std::uint32_t count = in != nullptr && in->size != nullptr ? in->size(in) : 0;
        for (std::uint32_t i = 0; i < count; ++i)
            if (const clap_event_header_t* event = in->get(in, i)) self->apply(*event);
        self->endServing();
    }

    static constexpr clap_plugin_params_t table{count,       getInfo,     getValue,
                                                valueToText, textToValue, flush};
};

// ---------------------------------------------------------------- state

struct StateExtension {
    static bool save(const clap_plugin_t* plugin, const clap_ostream_t* stream) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (self == nullptr || stream == nullptr || stream->write == nullptr) return false;
        self->requireMainThread("state.save");
        SavedState state;
        state.program = self->mainProgram();
        for (int i = 0; i < kNumParameters; ++i)
            state.values[static_cast<std::size_t>(i)] = self->mainValue(i);
        state.bypassed = self->mainBypassed();
        const auto bytes = encodeState(state);
        for (std::size_t done = 0; done < bytes.size();) {
            const std::int64_t n = stream->write(stream, bytes.data() + done, bytes.size() - done);
            if (n <= 0 || static_cast<std::uint64_t>(n) > bytes.size() - done) return false;
            done += static_cast<std::size_t>(n);
        }
        return true;
    }

    static bool load(const clap_plugin_t* plugin, const clap_istream_t* stream) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (self == nullptr || stream == nullptr || stream->read == nullptr) return false;
        self->requireMainThread("state.load");
        // One byte more than a record holds, to tell a longer stream from a whole one.
        std::uint8_t bytes[kStateSize + 1];
        std::size_t size = 0;
        while (size < sizeof bytes) {
            const std::int64_t n = stream->read(stream, bytes + size, sizeof bytes - size);
            if (n < 0 || static_cast<std::uint64_t>(n) > sizeof bytes - size) return false;
            if (n == 0) break;
            size += static_cast<std::size_t>(n);
        }
        const auto state = decodeState(bytes, size);
        return state && self->loadState(*state);
    }

    static constexpr clap_plugin_state_t table{save, load};
};

const void* ClapDelay::getExtension(const clap_plugin_t* plugin, const char* id) {
    if (of(plugin) == nullptr || id == nullptr) return nullptr;
    if (std::strcmp(id, CLAP_EXT_AUDIO_PORTS) == 0) return &PortsExtension::table;
    if (std::strcmp(id, CLAP_EXT_PARAMS) == 0) return &ParamsExtension::table;
    if (std::strcmp(id, CLAP_EXT_STATE) == 0) return &StateExtension::table;
    if (const void* presetLoad = presetLoadExtension(id)) return presetLoad;
    return guiExtension(id);
}

} // namespace tesk::clapfmt
