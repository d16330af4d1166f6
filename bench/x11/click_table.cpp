// tesk_click_table: of so many taps of each hold time, how many a toggle and a step
// switch of TeskDelay's editor count, in tesk-x11host on an Xvfb of its own, as a
// Markdown table. A measurement for comparing builds (--plugin and --host name
// others than those built here); the X11 host tests hold every tap to one count.
#include "x11_host_process.h"
#include "x11_test_support.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace tesk::x11test {
namespace {

struct Options {
    std::string host = TESK_X11HOST;
    std::string plugin = TESK_MODULE;
    int tries = 20;
};

/// A control under test: where to tap it and the parameter its taps automate.
struct Kind {
    const char* name;
    int x, y;
    const char* parameter;
};

constexpr Kind kKinds[] = {{"toggle", 192 + 18 + 4, 100 + 4, "IsDelayOn2"},
                           {"step switch", 144 + 5, 96 + 5, "Output1"}};
constexpr int kHoldTimes[] = {0, 10, 20, 50};
// Taps this far apart are separate clicks to a user; the measurement is of clicks at
// that pace, so it keeps it.
constexpr auto kBetweenTaps = std::chrono::milliseconds(120);

const char* const kUsage = "usage: tesk_click_table [--host PATH] [--plugin PATH] [--tries N]\n";

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        if (option == "--host") {
            o.host = argv[i + 1];
        } else if (option == "--plugin") {
            o.plugin = argv[i + 1];
        } else if (option == "--tries") {
            o.tries = std::atoi(argv[i + 1]);
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && o.tries > 0;
}

/// Taps `kind` `tries` times, each held `held` ms, in a fresh host; how many counted,
/// or -1 when the host failed.
int countTaps(const Options& o, Display* display, const Kind& kind, int held) {
    HostProcess host(o.host, {"--plugin", o.plugin, "--program", "0"});
    if (host.waitUntilReady() == 0 || !host.sync()) return -1;
    for (int i = 0; i < o.tries; ++i) {
        movePointer(display, kind.x, kind.y);
        setButton(display, 1, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(held));
        setButton(display, 1, false);
        std::this_thread::sleep_for(kBetweenTaps);
    }
    if (!host.sync()) return -1;
    int status = -1;
    const Report report = parseReport(host.quit(status));
    if (status != 0 || report.indices.count(kind.parameter) == 0) return -1;
    return static_cast<int>(report.automated(kind.parameter).size());
}

void printHeader() {
    std::printf("| control |");
    for (const int held : kHoldTimes)
        std::printf(" %d ms |", held);
    std::printf("\n|---|");
    for (std::size_t i = 0; i < std::size(kHoldTimes); ++i)
        std::printf("---|");
    std::printf("\n");
}

int run(const Options& o) {
    if (!installed("Xvfb")) {
        std::fprintf(stderr, "tesk_click_table: %s\n", notInstalled("Xvfb", "xvfb").c_str());
        return 1;
    }
    const Xvfb server;
    Display* display = server.running() ? XOpenDisplay(nullptr) : nullptr;
    if (display == nullptr) {
        std::fprintf(stderr, "tesk_click_table: Xvfb did not start\n");
        return 1;
    }
    printHeader();
    int status = 0;
    for (const Kind& kind : kKinds) {
        std::printf("| %s |", kind.name);
        for (const int held : kHoldTimes) {
            const int counted = countTaps(o, display, kind, held);
            if (counted < 0) {
                status = 1;
                std::printf(" host failed |");
            } else {
                std::printf(" %d/%d |", counted, o.tries);
            }
            std::fflush(stdout);
        }
        std::printf("\n");
    }
    XCloseDisplay(display);
    return status;
}

} // namespace
} // namespace tesk::x11test

int main(int argc, char** argv) {
    tesk::x11test::Options options;
    if (!tesk::x11test::parse(argc, argv, options)) {
        std::fputs(tesk::x11test::kUsage, stderr);
        return 2;
    }
    return tesk::x11test::run(options);
}
