#include "options.h"

#include "parameters.h"
#include "programs.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace tesk::standalone {

namespace {

std::optional<double> numberOf(const std::string& text) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    const double value = std::strtod(text.c_str(), &end);
    if (errno != 0 || end != text.c_str() + text.size() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

std::optional<Options> parseOptions(const std::vector<std::string>& args, std::string& error) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        std::optional<std::string> attached;
        if (const auto eq = arg.find('='); arg.starts_with("--") && eq != std::string::npos) {
            attached = arg.substr(eq + 1);
            arg.resize(eq);
        }
        const auto value = [&]() -> std::optional<std::string> {
            if (attached) return attached;
            if (i + 1 < args.size()) return args[++i];
            error = arg + " needs a value (see teskdelay --help)";
            return std::nullopt;
        };
        const auto flag = [&](bool& target) {
            if (attached) {
                error = arg + " takes no value";
                return false;
            }
            target = true;
            return true;
        };
        if (arg == "--help" || arg == "-h") {
            if (!flag(options.help)) return std::nullopt;
        } else if (arg == "--version") {
            if (!flag(options.version)) return std::nullopt;
        } else if (arg == "--no-gui") {
            if (!flag(options.noGui)) return std::nullopt;
        } else if (arg == "--connect") {
            if (!flag(options.connect)) return std::nullopt;
        } else if (arg == "--program") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto number = numberOf(*text);
            if (!number || *number != std::floor(*number) || *number < 1 ||
                *number > kNumPrograms) {
                error = "--program takes a program number from 1 to 16, not '" + *text + "'";
                return std::nullopt;
            }
            options.program = static_cast<int>(*number) - 1;
        } else if (arg == "--state") {
            const auto text = value();
            if (!text) return std::nullopt;
            if (text->empty()) {
                error = "--state needs a file name";
                return std::nullopt;
            }
            options.stateFile = *text;
        } else if (arg == "--tempo") {
            const auto text = value();
            if (!text) return std::nullopt;
            const auto number = numberOf(*text);
            if (!number || *number < kMinTempo || *number > kMaxTempo) {
                error = "--tempo takes beats per minute from 48 to 999, not '" + *text + "'";
                return std::nullopt;
            }
            options.tempo = *number;
        } else {
            error = "unknown option '" + args[i] + "' (see teskdelay --help)";
            return std::nullopt;
        }
    }
    return options;
}

std::string helpText() {
    return "Usage: teskdelay [OPTION]...\n"
           "Play TeskDelay, the four-line stereo delay, live as a JACK client.\n"
           "\n"
           "The client is named TeskDelay, with the audio inputs in_L and in_R, the outputs\n"
           "main_L, main_R, out2_L, out2_R, out3_L and out3_R, and the MIDI input midi_in.\n"
           "The editor shows in a window of its own on the X display; teskdelay runs until\n"
           "that window is closed, it is sent SIGINT (Ctrl-C), SIGTERM or SIGHUP (its\n"
           "terminal closed), or the JACK server goes.\n"
           "\n"
           "Options:\n"
           "      --no-gui         run without the editor window, as on a box without a\n"
           "                       display\n"
           "      --connect        connect in_L and in_R to the first two physical capture\n"
           "                       ports, main_L and main_R to the first two physical\n"
           "                       playback ports\n"
           "      --program N      start with program N (1 to 16) instead of the saved\n"
           "                       state's (under a session manager: for a new session\n"
           "                       only)\n"
           "      --state FILE     keep the state in FILE instead of the configuration\n"
           "                       folder\n"
           "      --tempo BPM      the tempo of synced lines while no JACK timebase master\n"
           "                       gives one (48 to 999; default 120)\n"
           "  -h, --help           show this help and exit\n"
           "      --version        show the version and exit\n"
           "\n"
           "MIDI on midi_in, any channel:\n"
           "  Program Change 0 to 15 picks program 1 to 16: the output crosses over to\n"
           "  the dry input in 10 ms, the new program starts there with its delay lines\n"
           "  empty, and the output crosses back in 10 ms, so the change does not click.\n"
           "  Control Change 80: 64 to 127 turns the bypass on, 0 to 63 turns it off.\n"
           "  Every other message is ignored.\n"
           "\n"
           "State:\n"
           "  The program, every value and the bypass are saved at the end, in\n"
           "  $XDG_CONFIG_HOME/teskdelay/state.tkds (else ~/.config/teskdelay/state.tkds),\n"
           "  and restored at the next start. The file is replaced whole or not at all.\n"
           "  A broken file is reported, kept beside it with the suffix .broken, and\n"
           "  TeskDelay starts from program 1.\n"
           "\n"
           "Session managers:\n"
           "  When NSM_URL is set, teskdelay is a client of the session manager there\n"
           "  (New Session Manager, RaySession, Agordejo). Its JACK client opens once the\n"
           "  manager opens the session, named with the client ID the manager gives; the\n"
           "  state is kept in the session's folder, read at the opening and written when\n"
           "  the manager saves, and unsaved changes are reported to it. The manager\n"
           "  shows and hides the editor window; closing the window hides it. SIGTERM\n"
           "  ends teskdelay without writing the state: what the session keeps is what\n"
           "  was saved last.\n"
           "\n"
           "Exit status:\n"
           "  0  ended by closing the editor window, SIGINT, SIGTERM or SIGHUP, the state\n"
           "     saved (under a session manager: as saved last)\n"
           "  1  an unexpected failure (out of memory, a port JACK refused)\n"
           "  2  a bad option or argument\n"
           "  3  no JACK server is running (start jackd, or run under pw-jack)\n"
           "  4  the JACK server went away while teskdelay ran; the state is saved (not\n"
           "     under a session manager), and teskdelay does not wait for the server to\n"
           "     come back: start it again\n"
           "  5  the state could not be saved at the end; the file saved before is kept\n"
           "  6  NSM_URL is not a session manager's address, no manager answered there\n"
           "     within 10 s, or the manager refused teskdelay (unset NSM_URL to run it\n"
           "     on its own)\n"
           "  7  the editor window could not be opened: no X display (run with --no-gui\n"
           "     where there is none)\n";
}

} // namespace tesk::standalone
