// tesk-snapshot: draws TeskDelay's editor without a display and writes it as a
// PNG. The plug-in's own code is linked in and reached through its entry, as
// a host reaches it; the editor opens on the in-memory window system.
#include "delay_editor.h"
#include "effect_base.h"
#include "errors.h"
#include "number_text.h"
#include "options.h"
#include "plugin.h"
#include "version.h"

#include "gui/frame.h"
#include "gui/platform/headless/headless.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

extern "C" AEffect* VSTCALL VSTPluginMain(audioMasterCallback host);

namespace tesk::snapshot {
namespace {

using render::ExitCode;
using render::RenderError;

struct Options {
    std::string output = "editor.png";
    std::string program;
    std::vector<render::Setting> settings;
    double tempo = 120.0;
    double scale = 1.0;
    bool help = false;
};

const char* const kHelp =
    "usage: tesk-snapshot [options] [OUTPUT.png]\n"
    "\n"
    "Draws TeskDelay's editor window (384 x 530, times --scale) as the plug-in\n"
    "shows it and writes it as a PNG: OUTPUT ends in .png (default editor.png). No\n"
    "display is needed.\n"
    "\n"
    "options:\n"
    "  --program N|NAME   load a program first, by number (0-15) or by name\n"
    "  --set NAME=VALUE   set a parameter after the program (repeatable); names\n"
    "                     and values as tesk-render --list shows them\n"
    "  --tempo BPM        the host tempo synced lines follow (default 120)\n"
    "  --scale 1|1.5|2    draw the editor as on a desktop scaled by this factor\n"
    "                     (default 1)\n"
    "  -h, --help         this text\n"
    "  --version          the version\n"
    "\n"
    "exit codes: 0 written, 2 bad option or an OUTPUT not ending in .png,\n"
    "4 cannot write OUTPUT, 5 no instance, 6 unknown parameter, 7 value out of\n"
    "range, 8 unknown program\n";

/// `name` when it ends in .png (any case): the only format written, so that no
/// PNG data lands in a file whose name promises another.
std::string pngName(const std::string& name) {
    std::string extension = std::filesystem::path(name).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension != ".png") {
        throw RenderError(ExitCode::usage, "OUTPUT '" + name +
                                               "' does not end in .png, and a PNG is all this "
                                               "tool writes; give a name ending in .png");
    }
    return name;
}

Options parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw RenderError(ExitCode::usage, arg + " needs a value; see --help");
            return argv[++i];
        };
        if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--program") {
            o.program = value();
        } else if (arg == "--set") {
            o.settings.push_back(render::settingFrom(value()));
        } else if (arg == "--tempo") {
            const std::string text = value();
            const std::optional<double> tempo = numberFrom(text);
            if (!tempo || !(*tempo > 0.0))
                throw RenderError(ExitCode::usage, "--tempo takes beats per minute, such as 120, not '" + text + "'");
            o.tempo = *tempo;
        } else if (arg == "--scale") {
            const std::string text = value();
            const std::optional<double> scale = numberFrom(text);
            if (!scale || (*scale != 1.0 && *scale != 1.5 && *scale != 2.0))
                throw RenderError(ExitCode::usage, "--scale takes 1, 1.5 or 2, not '" + text + "'");
            o.scale = *scale;
        } else if (!arg.empty() && arg[0] == '-') {
            throw RenderError(ExitCode::usage, "unknown option '" + arg + "'; see --help");
        } else {
            o.output = pngName(arg);
        }
    }
    return o;
}

gui::headless::HeadlessWindow* editorWindow(AEffect* effect) {
    EffectBase* object = EffectBase::fromRecord(effect);
    auto* editor = object != nullptr ? dynamic_cast<DelayEditor*>(object->editor) : nullptr;
    if (editor == nullptr || editor->getFrame() == nullptr) return nullptr;
    return gui::headless::windowOf(editor->getFrame()->getWindow());
}

int run(const Options& o) {
    render::HostSetup setup{o.tempo, 44100.0, 512, false, "tesk-render --list"};
    auto plugin = render::Plugin::fromModule(vsthost::Module::linked(VSTPluginMain, "TeskDelay"), setup);
    plugin->start();
    if (!o.program.empty()) plugin->selectProgram(o.program);
    for (const render::Setting& setting : o.settings) plugin->apply(setting);
    // One block lets synced lines take the host tempo, as in a playing host.
    std::vector<float> silence(512 * 8, 0.0f);
    float* inputs[2] = {silence.data(), silence.data() + 512};
    float* outputs[6];
    for (int c = 0; c < 6; ++c) outputs[c] = silence.data() + 1024 + 512 * c;
    plugin->process(inputs, outputs, 512);

    vsthost::Instance& instance = plugin->instance();
    // The editor takes its scale from the desktop, as it does in a VST 2 host.
    gui::headless::setDesktopScale(o.scale);
    if (instance.dispatch(effEditOpen, 0, 0, gui::headless::parentWindow()) != 1)
        throw RenderError(ExitCode::plugin, "the editor did not open");
    instance.dispatch(effEditIdle);
    instance.dispatch(effEditIdle);
    gui::headless::HeadlessWindow* window = editorWindow(instance.effect());
    if (window == nullptr) throw RenderError(ExitCode::plugin, "the editor made no window");
    window->paintAll();
    if (!window->savePng(o.output.c_str()))
        throw RenderError(ExitCode::outputFile, "cannot write '" + o.output + "'; check the folder exists and is writable");
    instance.dispatch(effEditClose);
    plugin->finish();
    std::printf("wrote %s\n", o.output.c_str());
    return 0;
}

} // namespace
} // namespace tesk::snapshot

int main(int argc, char** argv) {
    if (tesk::askedForVersion(argc, argv)) {
        tesk::printVersion("tesk-snapshot");
        return 0;
    }
    try {
        const tesk::snapshot::Options options = tesk::snapshot::parse(argc, argv);
        if (options.help) {
            std::fputs(tesk::snapshot::kHelp, stdout);
            return 0;
        }
        return tesk::snapshot::run(options);
    } catch (const tesk::render::RenderError& error) {
        std::fprintf(stderr, "tesk-snapshot: %s\n", error.what());
        return static_cast<int>(error.code());
    } catch (const std::exception& error) {
        std::fprintf(stderr, "tesk-snapshot: %s\n", error.what());
        return 1;
    }
}
