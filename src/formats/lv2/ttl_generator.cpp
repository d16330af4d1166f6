// Writes the bundle's data (manifest.ttl, TeskDelay.ttl, presets.ttl) from the
// parameter table, the engine's own texts and the factory programs, so that no
// name, range, label or preset value is ever copied by hand.
//   tesk-lv2-ttl <bundle directory> <plug-in binary name> <UI binary name>
#include "delay_effect.h"
#include "lv2_ports.h"
#include "version.h"

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

std::string parameterName(DelayEffect& model, int index) {
    char text[64] = {};
    model.getParameterName(index, text);
    return text;
}

std::string displayOf(DelayEffect& model, int index, float value) {
    model.setParameter(index, value);
    char text[256] = {};
    model.getParameterDisplay(index, text);
    std::string shown = text;
    // The texts are padded for the host's columns; a label needs no padding.
    shown.erase(0, shown.find_first_not_of(' '));
    shown.erase(shown.find_last_not_of(' ') + 1);
    return shown;
}

std::string presetUri(int program) {
    return std::string(kPresetUriPrefix) + std::to_string(program + 1);
}

/// The points an enumerated parameter offers, as the parameter interface carries them.
std::vector<float> scalePointsOf(ParamRef ref) {
    int count = 0;
    switch (ref.kind) {
    case ParamKind::Input:
        count = ref.line + 1; // a line listens only to lower-numbered lines
        break;
    case ParamKind::Output:
        count = 3;
        break;
    case ParamKind::DelayType:
        return {0.0f, 1.0f};
    case ParamKind::TempoNum:
        count = kNumNumerators;
        break;
    case ParamKind::TempoDen:
        count = kNumDenominators;
        break;
    default:
        return {};
    }
    std::vector<float> points;
    for (int k = 0; k < count; ++k)
        points.push_back(tablePositionValue(k));
    return points;
}

bool isSwitch(ParamKind kind) {
    return kind == ParamKind::IsDelayOn || kind == ParamKind::IsTempoSync;
}

void writeScalePoints(std::ostream& out, DelayEffect& model, int index, ParamRef ref) {
    const std::vector<float> points = scalePointsOf(ref);
    if (points.empty()) return;
    out << " ;\n        lv2:portProperty lv2:enumeration";
    for (float v : points)
        out << " ;\n        lv2:scalePoint [ rdfs:label " << quoted(displayOf(model, index, v))
            << " ; rdf:value " << number(v) << " ]";
}

void writeControlPort(std::ostream& out, DelayEffect& model, int index, float defaultValue) {
    ParamRef ref{};
    splitParameterIndex(index, ref);
    const std::string name = parameterName(model, index);
    const bool bpm = carriesBpm(index);
    out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index "
        << controlPortOf(index) << " ;\n        lv2:symbol \"" << name << "\" ;\n        lv2:name "
        << quoted(name) << " ;\n        lv2:default " << number(portValueOf(index, defaultValue))
        << " ;\n        lv2:minimum " << number(bpm ? kMinTempo : 0.0f)
        << " ;\n        lv2:maximum " << number(bpm ? kMaxTempo : 1.0f);
    if (bpm) out << " ;\n        units:unit units:bpm";
    if (isSwitch(ref.kind)) out << " ;\n        lv2:portProperty lv2:toggled";
    writeScalePoints(out, model, index, ref);
    out << "\n    ]";
}

void writeAudioPort(std::ostream& out, std::uint32_t index, bool input, const char* symbol,
                    const char* name) {
    out << "    [\n        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort")
        << " ;\n        lv2:index " << index << " ;\n        lv2:symbol \"" << symbol
        << "\" ;\n        lv2:name " << quoted(name) << "\n    ]";
}

void writePlugin(std::ostream& out, const std::string& binary) {
    DelayEffect model(nullptr); // program 0: the defaults
    float defaults[kNumParameters];
    for (int i = 0; i < kNumParameters; ++i)
        defaults[i] = model.getParameter(i);
    // Every line on, so that each input source shows its own text.
    for (int line = 0; line < kNumLines; ++line)
        model.setParameter(parameterIndex(ParamKind::IsDelayOn, line), 1.0f);

    char name[64] = {}, vendor[64] = {};
    model.getEffectName(name);
    model.getVendorString(vendor);
    out << kPrefixes << "<" << kPluginUri
        << ">\n    a lv2:Plugin , lv2:DelayPlugin , doap:Project ;\n"
        << "    doap:name " << quoted(name) << " ;\n"
        << "    doap:maintainer [ foaf:name " << quoted(vendor) << " ] ;\n"
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
    for (std::uint32_t c = 0; c < kNumAudioOutputs; ++c) {
        VstPinProperties pin{};
        model.getOutputProperties(static_cast<std::int32_t>(c), &pin);
        writeAudioPort(out, kFirstOutputPort + c, false, outSymbols[c], pin.label);
        out << " ,\n";
    }
    for (int i = 0; i < kNumParameters; ++i) {
        writeControlPort(out, model, i, defaults[i]);
        out << " ,\n";
    }
    out << "    [\n        a lv2:InputPort , atom:AtomPort ;\n        lv2:index " << kTimePort
        << " ;\n        lv2:symbol \"time\" ;\n        lv2:name \"Host transport\" ;\n"
        << "        atom:bufferType atom:Sequence ;\n        atom:supports time:Position ;\n"
        // Without a transport the delay keeps its own tempos, so hosts may leave it out.
        << "        lv2:portProperty lv2:connectionOptional ;\n"
        << "        lv2:designation lv2:control\n    ] .\n";
}

void writePresets(std::ostream& out) {
    DelayEffect model(nullptr);
    out << kPrefixes;
    for (int program = 0; program < kNumPrograms; ++program) {
        model.setProgram(program);
        char name[kProgramNameCapacity + 8] = {};
        model.getProgramName(name);
        const DelayProgram& stored = (*model.programs)[program];
        out << "<" << presetUri(program) << ">\n    a pset:Preset ;\n    lv2:appliesTo <"
            << kPluginUri << "> ;\n    rdfs:label " << quoted(name) << " ;\n    lv2:port";
        for (int i = 0; i < kNumParameters; ++i)
            out << (i == 0 ? "" : " ,") << "\n        [ lv2:symbol \"" << parameterName(model, i)
                << "\" ; pset:value " << number(portValueOf(i, stored.value(i))) << " ]";
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
