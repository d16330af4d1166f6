// Writes the bundle's data (manifest.ttl, TeskDelay.ttl, presets.ttl) from the
// parameter model and the factory programs, so that no name, range, label or
// preset value is ever copied by hand.
//   tesk-lv2-ttl <bundle directory> <plug-in binary name> <UI binary name>
#include "lv2_ports.h"
#include "parameter_info.h"
#include "parameter_state.h"
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

namespace tesk::lv2 {

namespace {

const char* const kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix time: <http://lv2plug.in/ns/ext/time#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

// The maintainer as the Debian package names it, and the vendor's site.
constexpr const char* kMaintainerMail = "mailto:teskdelay@velmora.org";
constexpr const char* kVendorSite = "https://velmora.org/";

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

/// A node of the plug-in's own: `<urn:velmora:TeskDelay#name>`.
std::string own(const std::string& name) {
    return std::string("<") + kPluginUri + "#" + name + ">";
}

std::string presetUri(int program) {
    return std::string(kPresetUriPrefix) + std::to_string(program + 1);
}

// ---------------------------------------------------------------- ports

/// One audio port: its group is a stereo pair, its role the side of it.
struct AudioPort {
    const char* symbol;
    const char* name;
    const char* group;
    const char* side;
    const char* comment;
};

constexpr AudioPort kInputs[kNumAudioInputs] = {
    {"in_1", "Input left", "in", "left", "The left input; the lines hear the mono sum of both."},
    {"in_2", "Input right", "in", "right", "The right input; the lines hear the mono sum of both."},
};

constexpr AudioPort kOutputs[kNumAudioOutputs] = {
    {"main_left", "Main left", "main", "left", "The dry input and the lines sent to output 1."},
    {"main_right", "Main right", "main", "right", "The dry input and the lines sent to output 1."},
    {"out2_left", "Out 2 left", "out2", "left", "The lines sent to output 2."},
    {"out2_right", "Out 2 right", "out2", "right", "The lines sent to output 2."},
    {"out3_left", "Out 3 left", "out3", "left", "The lines sent to output 3."},
    {"out3_right", "Out 3 right", "out3", "right", "The lines sent to output 3."},
};

void writeAudioPort(std::ostream& out, std::uint32_t index, bool input, const AudioPort& port) {
    out << "    [\n        a lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort")
        << " ;\n        lv2:index " << index << " ;\n        lv2:symbol \"" << port.symbol
        << "\" ;\n        lv2:name " << quoted(port.name) << " ;\n        rdfs:comment "
        << quoted(port.comment) << " ;\n        pg:group " << own(port.group)
        << " ;\n        lv2:designation pg:" << port.side << "\n    ]";
}

void writeScalePoints(std::ostream& out, int index) {
    out << " ;\n        lv2:portProperty lv2:enumeration";
    for (int k = 0; k < choiceCount(index); ++k)
        if (choiceOffered(index, k))
            out << " ;\n        lv2:scalePoint [ rdfs:label " << quoted(choiceLabel(index, k))
                << " ; rdf:value " << number(choiceValue(index, k)) << " ]";
}

void writeControlPort(std::ostream& out, int index) {
    const bool bpm = carriesBpm(index);
    out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index "
        << controlPortOf(index) << " ;\n        lv2:symbol " << quoted(parameterSymbol(index))
        << " ;\n        lv2:name " << quoted(parameterName(index)) << " ;\n        lv2:shortName "
        << quoted(parameterShortName(index)) << " ;\n        rdfs:comment "
        << quoted(parameterComment(index)) << " ;\n        pg:group "
        << own(groupSymbol(groupOf(index))) << " ;\n        lv2:default "
        << number(portValueOf(index, defaultValue(index))) << " ;\n        lv2:minimum "
        << number(bpm ? kMinTempo : 0.0f) << " ;\n        lv2:maximum "
        << number(bpm ? kMaxTempo : 1.0f);
    if (unitOf(index) == Unit::BeatsPerMinute) out << " ;\n        units:unit units:bpm";
    if (unitOf(index) == Unit::Coefficient) out << " ;\n        units:unit units:coef";
    if (styleOf(index) == ValueStyle::Switch) out << " ;\n        lv2:portProperty lv2:toggled";
    if (styleOf(index) == ValueStyle::Choice) writeScalePoints(out, index);
    out << "\n    ]";
}

void writeTimePort(std::ostream& out) {
    out << "    [\n        a lv2:InputPort , atom:AtomPort ;\n        lv2:index " << kTimePort
        << " ;\n        lv2:symbol \"time\" ;\n        lv2:name \"Host transport\" ;\n"
        << "        rdfs:comment \"The host's tempo, which lines with Sync on follow.\" ;\n"
        << "        pg:group " << own(groupSymbol(kMixGroup)) << " ;\n"
        << "        atom:bufferType atom:Sequence ;\n        atom:supports time:Position ;\n"
        // Without a transport the delay keeps its own tempos, so hosts may leave it out.
        << "        lv2:portProperty lv2:connectionOptional ;\n"
        << "        lv2:designation lv2:control\n    ]";
}

void writeTempoInUsePort(std::ostream& out, int line) {
    const float fresh = tempoFromInterface(defaultValue(parameterIndex(ParamKind::Tempo, line)));
    out << "    [\n        a lv2:OutputPort , lv2:ControlPort ;\n        lv2:index "
        << tempoInUsePortOf(line) << " ;\n        lv2:symbol \"TempoInUse" << line + 1
        << "\" ;\n        lv2:name " << quoted(groupName(line) + " Tempo in use")
        << " ;\n        lv2:shortName \"D" << line + 1 << " Tempo in use\" ;\n"
        << "        rdfs:comment \"The tempo the line plays at: its own, or the host's while it "
           "follows the host.\" ;\n        pg:group "
        << own(groupSymbol(line)) << " ;\n        lv2:default " << number(fresh)
        << " ;\n        lv2:minimum " << number(kMinTempo) << " ;\n        lv2:maximum "
        << number(kMaxTempo) << " ;\n        units:unit units:bpm\n    ]";
}

void writeEnabledPort(std::ostream& out) {
    out << "    [\n        a lv2:InputPort , lv2:ControlPort ;\n        lv2:index " << kEnabledPort
        << " ;\n        lv2:symbol \"enabled\" ;\n        lv2:name \"Enabled\" ;\n"
        << "        rdfs:comment \"Off bypasses the delay: the main pair crosses over to the "
           "input in 10 ms, without a click.\" ;\n"
        << "        pg:group " << own(groupSymbol(kMixGroup)) << " ;\n"
        << "        lv2:designation lv2:enabled ;\n        lv2:portProperty lv2:toggled ;\n"
        << "        lv2:default 1 ;\n        lv2:minimum 0 ;\n        lv2:maximum 1\n    ]";
}

// ---------------------------------------------------------------- groups

void writeStereoGroup(std::ostream& out, const char* symbol, const char* label, bool input,
                      const AudioPort* ports) {
    out << own(symbol) << "\n    a pg:StereoGroup , "
        << (input ? "pg:InputGroup" : "pg:OutputGroup") << " ;\n    lv2:symbol \"" << symbol
        << "\" ;\n    lv2:name " << quoted(label) << " ;\n    rdfs:label " << quoted(label);
    if (!input) out << " ;\n    pg:source " << own("in");
    for (int side = 0; side < 2; ++side)
        out << " ;\n    pg:element [ lv2:index " << side
            << " ; lv2:designation pg:" << ports[side].side << " ]";
    out << " .\n\n";
}

void writeGroups(std::ostream& out) {
    writeStereoGroup(out, "in", "Input", true, kInputs);
    writeStereoGroup(out, "main", "Main", false, kOutputs);
    writeStereoGroup(out, "out2", "Out 2", false, kOutputs + 2);
    writeStereoGroup(out, "out3", "Out 3", false, kOutputs + 4);
    for (int group = 0; group < kNumGroups; ++group)
        out << own(groupSymbol(group)) << "\n    a pg:Group ;\n    lv2:symbol \""
            << groupSymbol(group) << "\" ;\n    lv2:name " << quoted(groupName(group))
            << " ;\n    rdfs:label " << quoted(groupName(group)) << " .\n\n";
}

// ---------------------------------------------------------------- the plug-in

/// The minor and micro numbers of the project's version "major.minor.micro".
std::array<int, 2> minorAndMicro() {
    int major = 0, minor = 0, micro = 0;
    std::sscanf(TESK_VERSION, "%d.%d.%d", &major, &minor, &micro);
    return {minor, micro};
}

void writePlugin(std::ostream& out, const std::string& binary) {
    const auto [minor, micro] = minorAndMicro();
    out << kPrefixes << "<" << kPluginUri
        << ">\n    a lv2:Plugin , lv2:DelayPlugin , doap:Project ;\n"
        << "    lv2:project " << own("project") << " ;\n"
        << "    doap:name " << quoted(kProductName) << " ;\n"
        << "    doap:shortdesc \"Four-line tempo-synchronised stereo delay\" ;\n"
        << "    doap:license <http://opensource.org/licenses/MIT> ;\n"
        << "    doap:maintainer [\n        a foaf:Person ;\n        foaf:name "
        << quoted(kVendorName) << " ;\n        foaf:mbox <" << kMaintainerMail
        << "> ;\n        foaf:homepage <" << kVendorSite << ">\n    ] ;\n"
        << "    lv2:minorVersion " << minor << " ;\n    lv2:microVersion " << micro << " ;\n"
        << "    lv2:binary <" << binary << "> ;\n"
        << "    rdfs:comment \"Four delay lines, each repeating a musical length at its own "
           "tempo or the host's, as a single echo or recirculating, with saturation and a "
           "high-pass and low-pass pair, panned onto one of three stereo output pairs; lines "
           "can feed each other. The effect adds no latency, so it has no latency port.\" ;\n"
        << "    lv2:optionalFeature lv2:hardRTCapable , urid:map ;\n"
        << "    pg:mainInput " << own("in") << " ;\n    pg:mainOutput " << own("main") << " ;\n";
    out << "    lv2:port\n";
    for (std::uint32_t c = 0; c < kNumAudioInputs; ++c) {
        writeAudioPort(out, c, true, kInputs[c]);
        out << " ,\n";
    }
    for (std::uint32_t c = 0; c < kNumAudioOutputs; ++c) {
        writeAudioPort(out, kFirstOutputPort + c, false, kOutputs[c]);
        out << " ,\n";
    }
    for (int i = 0; i < kNumParameters; ++i) {
        writeControlPort(out, i);
        out << " ,\n";
    }
    writeTimePort(out);
    for (int line = 0; line < kNumLines; ++line) {
        out << " ,\n";
        writeTempoInUsePort(out, line);
    }
    out << " ,\n";
    writeEnabledPort(out);
    out << " .\n\n"
        << own("project") << "\n    a doap:Project ;\n    doap:name " << quoted(kProductName)
        << " .\n\n";
    writeGroups(out);
}

// ---------------------------------------------------------------- presets

void writePresets(std::ostream& out) {
    std::array<DelayProgram, kNumPrograms> programs;
    makeFactoryPrograms(programs);
    out << kPrefixes << own("factory") << "\n    a pset:Bank ;\n    rdfs:label \"" << kProductName
        << " factory programs\" .\n\n";
    for (int program = 0; program < kNumPresets; ++program) {
        // The values as a load leaves them, follow-on changes included.
        ParameterState loaded;
        loaded.loadProgram(programs[static_cast<std::size_t>(program)]);
        out << "<" << presetUri(program) << ">\n    a pset:Preset ;\n    lv2:appliesTo <"
            << kPluginUri << "> ;\n    pset:bank " << own("factory") << " ;\n    rdfs:label "
            << quoted(presetLabel(programs[static_cast<std::size_t>(program)], program))
            << " ;\n    rdfs:comment " << quoted(factoryProgramDescription(program))
            << " ;\n    lv2:port";
        for (int i = 0; i < kNumParameters; ++i)
            out << (i == 0 ? "" : " ,") << "\n        [ lv2:symbol " << quoted(parameterSymbol(i))
                << " ; pset:value " << number(portValueOf(i, loaded.value(i))) << " ]";
        out << " .\n\n";
    }
}

void writeManifest(std::ostream& out, const std::string& binary, const std::string& uiBinary) {
    out << kPrefixes << "<" << kPluginUri << ">\n    a lv2:Plugin ;\n    lv2:binary <" << binary
        << "> ;\n    rdfs:seeAlso <TeskDelay.ttl> .\n\n";
    // The editor embeds into the host's window (ui:parent) and runs on the
    // host's idle calls; it opens no window of its own, so it offers no
    // ui:showInterface.
    out << "<" << kUiUri << ">\n    a ui:X11UI ;\n    ui:binary <" << uiBinary
        << "> ;\n    lv2:requiredFeature ui:parent ;\n"
        << "    lv2:optionalFeature ui:idleInterface , ui:touch , ui:noUserResize ,\n"
        << "        opts:options , urid:map ;\n"
        << "    opts:supportedOption ui:scaleFactor ;\n"
        << "    lv2:extensionData ui:idleInterface .\n\n"
        << "<" << kPluginUri << "> ui:ui <" << kUiUri << "> .\n\n";
    for (int program = 0; program < kNumPresets; ++program)
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
