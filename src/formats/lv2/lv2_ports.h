// The LV2 plug-in's ports and names, shared by the DSP, the UI and the
// generator of the bundle's data, so that none of them spells a port twice.
#pragma once

#include "parameters.h"

#include <cstdint>

namespace tesk::lv2 {

inline constexpr const char* kPluginUri = "urn:velmora:TeskDelay";
inline constexpr const char* kUiUri = "urn:velmora:TeskDelay#ui";
/// Each preset's URI is this followed by its program number (1 to 16).
inline constexpr const char* kPresetUriPrefix = "urn:velmora:TeskDelay#program";

inline constexpr std::uint32_t kNumAudioInputs = 2;
inline constexpr std::uint32_t kNumAudioOutputs = 6;
/// Audio inputs first, then the outputs, then one control port per parameter in
/// the order of the parameter table, then the transport; after these, in the
/// order they were added (so that saved sessions keep their port indices), the
/// tempo each line plays at and the bypass.
inline constexpr std::uint32_t kFirstOutputPort = kNumAudioInputs;
inline constexpr std::uint32_t kFirstControlPort = kFirstOutputPort + kNumAudioOutputs;
inline constexpr std::uint32_t kTimePort = kFirstControlPort + kNumParameters;
inline constexpr std::uint32_t kFirstTempoInUsePort = kTimePort + 1;
/// lv2:enabled: 1 processes, 0 bypasses (without a click).
inline constexpr std::uint32_t kEnabledPort = kFirstTempoInUsePort + kNumLines;
inline constexpr std::uint32_t kNumPorts = kEnabledPort + 1;

/// The output port that carries the tempo line `line` (0 to 3) plays at.
constexpr std::uint32_t tempoInUsePortOf(int line) {
    return kFirstTempoInUsePort + static_cast<std::uint32_t>(line);
}

/// True when `port` carries a line's tempo in use; `line` is then that line.
constexpr bool lineOfTempoInUsePort(std::uint32_t port, int& line) {
    if (port < kFirstTempoInUsePort || port >= kNumPorts) return false;
    line = static_cast<int>(port - kFirstTempoInUsePort);
    return true;
}

/// The control port of parameter `index` (0 to 60).
constexpr std::uint32_t controlPortOf(int index) {
    return kFirstControlPort + static_cast<std::uint32_t>(index);
}

/// True when `port` is a control port; `index` is then its parameter.
constexpr bool parameterOfPort(std::uint32_t port, int& index) {
    if (port < kFirstControlPort || port >= kTimePort) return false;
    index = static_cast<int>(port - kFirstControlPort);
    return true;
}

/// True for the parameters an LV2 port carries in beats per minute (the tempos):
/// LV2 hosts keep each port's own range, so the port needs no normalising.
constexpr bool carriesBpm(int index) {
    ParamRef ref{};
    return splitParameterIndex(index, ref) && ref.kind == ParamKind::Tempo;
}

/// The port value of a parameter value as the parameter interface carries it.
constexpr float portValueOf(int index, float parameterValue) {
    return carriesBpm(index) ? tempoFromInterface(parameterValue) : parameterValue;
}

/// The value `setParameter` takes for a port value: a tempo in beats per minute
/// (held to 48..999, which `setParameter` takes as such), every other value as it is.
constexpr float parameterValueOf(int index, float portValue) {
    return carriesBpm(index) ? clampTempo(portValue) : portValue;
}

} // namespace tesk::lv2
