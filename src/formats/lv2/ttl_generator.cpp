// Writes the bundle's data (manifest.ttl, TeskDelay.ttl, presets.ttl) from the
// parameter model and the factory programs, so that no name, range, label or
// preset value is ever copied by hand.
//   tesk-lv2-ttl <bundle directory> <plug-in binary name> <UI binary name>
#include "lv2_ports.h"
#include "parameter_info.h"
#include "parameter_state.h"
#include "parameter_texts.h"
#include "product.h"
#include "programs.h"
#include "version.h"

#include <array>
#include <cstdio>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

namespace tesk::lv2 {

namespace {

const char* const kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

/// A float as Turtle reads it back to the very same float.
std::string number(float v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", static_cast<double>(v));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string presetUri(int program) {
    return std::string(kPresetUriPrefix) + std::to_string(program + 1);
}

/// The VST 2 value text of `v` without its padding: what a scale point reads.
std::string displayOf(int index, float v) {
    char text[16] = {};
    parameterDisplay(index, v, defaultValue(parameterIndex(ParamKind::CrossFrequency, 0)), text);
    std::string shown = text;
    shown.erase(0, shown.find_first_not_of(' '));
    shown.erase(shown.find_last_not_of(' ') + 1);
    return shown;
}

void writeScalePoints(std::ostream& out, int index) {
    if (styleOf(index) != ValueStyle::Choice) return;
    out << " ;\n        lv2:portProperty lv2:enumeration";
    for (int k = 0; k < choiceCount(index); ++k) {
        if (!choiceOffered(index, k)) continue;
        const float v = choiceValue(index, k);
        out << " ;\n        lv2:scalePoint [ rdfs:label " << quoted(displayOf(index, v))
            << " ; rdf:value " << number(v) << " ]";
    }
}

void writeControlPort(std::ostream& out, int index) {
    const std::string symbol = parameterSymbol(index);
    const bool bpm = carriesBpm(index);
    out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index "
        << controlPortOf(index) << " ;\n        lv2:symbol \"" << symbol
        << "\" ;\n        lv2:name " << quoted(symbol) << " ;\n        lv2:default "
        << number(portValueOf(index, defaultValue(index))) << " ;\n        lv2:minimum "
        << number(bpm ? kMinTempo : 0.0f) << " ;\n        lv2:maximum "
        << number(bpm ? kMaxTempo : 1.0f);
    if (bpm) out << " ;\n        units:unit units:bpm";
    if (styleOf(index) == ValueStyle::Switch) out << " ;\n        lv2:portProperty lv2:toggled";
    writeScalePoints(out, index);
    out << "\n    ]";
}

void writeTempoInUsePort(std::ostream& out, int line) {
    out << "    [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index "
        << tempoInUsePortOf(line) << " ;\n        lv2:symbol \"TempoInUse" << line + 1
        << "\" ;\n        lv2:name \"Delay " << line + 1
        << " tempo in use\" ;\n        rdfs:comment \"The tempo the line plays at: its own, or "
           "the host's while it follows the host.\" ;\n        lv2:default "
        << number(tempoFromInterface(defaultValue(parameterIndex(ParamKind::Tempo, line))))
        << " ;\n        lv2:minimum " << number(kMinTempo) << " ;\n        lv2:maximum "
        << number(kMaxTempo) << " ;\n        units:unit units:bpm\n    ]";
}

void writeAudioPort(std::ostream& out, std::uint32_t index, bool input, const char* symbol,
                    const char* name) {
    out << "    [\n        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort")
        << " ;\n        lv2:index " << index << " ;\n        lv2:symbol \"" << symbol
        << "\" ;\n        lv2:name " << quoted(name) << "\n    ]";
}

void writePlugin(std::ostream& out, const std::string& binary) {
    out << kPrefixes << "<" << kPluginUri
        << ">\n    a lv2:Plugin , lv2:DelayPlugin , doap:Project ;\n"
        << "    doap:name " << quoted(kProductName) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(kVendorName) << " ] ;\n"
        << "    lv2:binary <" << binary << "> ;\n"
        << "    rdfs:comment \"Four tempo-synchronised delay lines. The effect adds no latency, "
           "so it has no latency port.\" ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable ;\n    lv2:requiredFeature urid:map ;\n";
    out << "    lv2:port\n";
    const char* const inSymbols[] = {"in_1", "in_2"};
    const char* const inNames[] = {"Main in 1", "Main in 2"};
    for (std::uint32_t c = 0; c < kNumAudioInputs; ++c) {
        writeAudioPort(out, c, true, inSymbols[c], inNames[c]);
        out << " ,\n";
    }
    const char* const outSymbols[] = {"main_left",  "main_right", "out2_left",
                                      "out2_right", "out3_left",  "out3_right"};
    const char* const outNames[] = {"Main LEFT",   "Main RIGHT", "Out 2 LEFT",
                                    "Out 2 RIGHT", "Out 3 LEFT", "OUT 3 RIGHT"};
    for (std::uint32_t c = 0; c < kNumAudioOutputs; ++c) {
        writeAudioPort(out, kFirstOutputPort + c, false, outSymbols[c], outNames[c]);
        out << " ,\n";
    }
    for (int i = 0; i < kNumParameters; ++i) {
        writeControlPort(out, i);
        out << " ,\n";
    }
    out << "    [\n        a lv2:InputPort , atom:AtomPort ;\n        lv2:index " << kTimePort
        << " ;\n        lv2:symbol \"time\" ;\n        lv2:name \"Host transport\" ;\n"
        << "        atom:bufferType atom:Sequence ;\n        atom:supports time:Position ;\n"
        // Without a transport the delay keeps its own tempos, so hosts may leave it out.
        << "        lv2:portProperty lv2:connectionOptional ;\n"
        << "        lv2:designation lv2:control\n    ]";
    for (int line = 0; line < kNumLines; ++line) {
        out << " ,\n";
        writeTempoInUsePort(out, line);
    }
    out << " .\n";
}

void writePresets(std::ostream& out) {
    std::array<DelayProgram, kNumPrograms> programs;
    makeFactoryPrograms(programs);
    out << kPrefixes;
    for (int program = 0; program < kNumPrograms; ++program) {
        // The values as a load leaves them, follow-on changes included.
        ParameterState loaded;
        loaded.loadProgram(programs[static_cast<std::size_t>(program)]);
        out << "<" << presetUri(program) << ">\n    a pset:Preset ;\n    lv2:appliesTo <"
            << kPluginUri << "> ;\n    rdfs:label "
            << quoted(programDisplayName(programs[static_cast<std::size_t>(program)], program))
            << " ;\n    lv2:port";
        for (int i = 0; i < kNumParameters; ++i)
            out << (i == 0 ? "" : " ,") << "\n        [ lv2:symbol \"" << parameterSymbol(i)
                << "\" ; pset:value " << number(portValueOf(i, loaded.value(i))) << " ]";
        out << " .\n\n";
    }
}

void writeManifest(std::ostream& out, const std::string& binary, const std::string& uiBinary) {
    out << kPrefixes << "<" << kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary
        << "> ;\n    rdfs:seeAlso <TeskDelay.ttl> .\n\n";
    out << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << uiBinary
        << "> ;\n    lv2:requiredFeature ui:parent ;\n"
        << "    lv2:optionalFeature ui:idleInterface , ui:resize , ui:touch , ui:noUserResize ;\n"
        << "    lv2:extensionData ui:idleInterface .\n\n"
        << "<" << kPluginUri << "> ui:ui <" << kUiUri << "> .\n\n";
    for (int program = 0; program < kNumPrograms; ++program)
        out << "<" << presetUri(program) << ">\n    a pset:Preset ;\n    lv2:appliesTo <"
            << kPluginUri << "> ;\n    rdfs:seeAlso <presets.ttl> .\n\n";
}

bool writeFile(const std::string& path, const std::function<void(std::ostream&)>& write) {
    std::ofstream out(path);
    write(out);
    out.close();
    return static_cast<bool>(out);
}

} // namespace

} // namespace tesk::lv2

int main(int argc, char** argv) {
    using namespace tesk::lv2;
    if (tesk::askedForVersion(argc, argv)) {
        tesk::printVersion("tesk-lv2-ttl");
        return 0;
    }
    const char* usage = "usage: tesk-lv2-ttl <bundle directory> <binary> <UI binary>\n"
                        "Writes the LV2 bundle's manifest.ttl, TeskDelay.ttl and presets.ttl into\n"
                        "the bundle directory, naming the plug-in and UI binaries in it.\n";
    if (argc == 2 && (std::string_view(argv[1]) == "--help" || std::string_view(argv[1]) == "-h")) {
        std::cout << usage;
        return 0;
    }
    if (argc != 4) {
        std::cerr << usage;
        return 2;
    }
    const std::string dir = argv[1], binary = argv[2], uiBinary = argv[3];
    const bool written =
        writeFile(dir + "/manifest.ttl",
                  [&](std::ostream& out) { writeManifest(out, binary, uiBinary); }) &&
        writeFile(dir + "/TeskDelay.ttl", [&](std::ostream& out) { writePlugin(out, binary); }) &&
        writeFile(dir + "/presets.ttl", [](std::ostream& out) { writePresets(out); });
    if (!written) std::cerr << "tesk-lv2-ttl: cannot write into " << dir << "\n";
    return written ? 0 : 1;
}
