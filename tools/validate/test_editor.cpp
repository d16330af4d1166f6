// The editor as hosts use it: opened in a window of the host's, idled, closed,
// again and again, while automation changes parameters from another thread.
// The window is the system's own kind (platform.h), as hosts there make it.
#include "platform.h"
#include "plugin.h"
#include "tests.h"

#include <atomic>
#include <thread>

namespace tesk::validate {

namespace {

constexpr int kIdlesPerOpening = 3;

// The editor's size as the module reports it before opening, or a usual one.
void editorSize(const Plugin& plugin, int& width, int& height) {
    ERect* rect = nullptr;
    width = 400;
    height = 300;
    if (plugin.instance().dispatch(effEditGetRect, 0, 0, &rect) == 0 || rect == nullptr) return;
    if (rect->right > rect->left && rect->bottom > rect->top) {
        width = rect->right - rect->left;
        height = rect->bottom - rect->top;
    }
}

} // namespace

std::string editorCycles(Context& context) {
    std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
    if ((plugin->effect().flags & effFlagsHasEditor) == 0)
        throw Skipped("the module has no editor");
    plugin->start(44100.0, 512);
    int width = 0, height = 0;
    editorSize(*plugin, width, height);
    std::unique_ptr<HostWindow> window = HostWindow::open(width, height);

    std::atomic<bool> stop{false};
    std::atomic<long> changes{0};
    std::thread automation([&] {
        std::mt19937_64 random(7);
        std::uniform_real_distribution<float> value(0.0f, 1.0f);
        while (!stop.load()) {
            const auto index = static_cast<std::int32_t>(
                random() % static_cast<unsigned>(std::max(1, plugin->parameters())));
            plugin->instance().setParameter(index, value(random));
            ++changes;
        }
    });

    const int cycles = context.scaled(500);
    int refused = 0;
    for (int cycle = 0; cycle < cycles; ++cycle) {
        context.doing("opening the editor, cycle " + std::to_string(cycle + 1));
        if (plugin->instance().dispatch(effEditOpen, 0, 0, window->handle()) == 0) ++refused;
        for (int i = 0; i < kIdlesPerOpening; ++i) {
            context.doing("idling the editor, cycle " + std::to_string(cycle + 1));
            plugin->instance().dispatch(effEditIdle);
            window->drainEvents();
        }
        context.doing("closing the editor, cycle " + std::to_string(cycle + 1));
        plugin->instance().dispatch(effEditClose);
    }
    stop = true;
    automation.join();
    if (refused == cycles) fail("effEditOpen answered 0 every time: the editor never opened");
    if (refused > 0) context.warn(std::to_string(refused) + " of the openings answered 0");
    return std::to_string(cycles) + " openings of " + std::to_string(width) + " x " +
           std::to_string(height) + " in " + window->kind() + ", " +
           std::to_string(kIdlesPerOpening) + " idles each, while another thread made " +
           std::to_string(changes.load()) + " parameter changes";
}

} // namespace tesk::validate
