// The LV2 UI: the very same DelayEditor on the same X11 back end. It never
// touches the DSP instance: it keeps the parameter values as the parameter
// model keeps them, hears from the host what changes (the control ports and
// the tempo each line plays at), and talks back only through write_function
// and ui:touch. A host that gives ui:scaleFactor among its options decides the
// editor's scale; without one the desktop's Xft.dpi does.
#include "cpu_probe.h"
#include "delay_editor.h"
#include "effect_core.h"
#include "lv2_ports.h"
#include "parameter_state.h"
#include "parameter_texts.h"

#include "gui/frame.h"
#include "gui/platform/x11/x11.h"

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <optional>

namespace tesk::lv2 {

namespace {

/// What the UI's host offers it.
struct UiHost {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Touch* touch = nullptr;
    const LV2UI_Resize* resize = nullptr;
    const LV2_URID_Map* map = nullptr;
    const LV2_Options_Option* options = nullptr;
    void* parent = nullptr;
};

UiHost findUiHost(const LV2_Feature* const* features) {
    UiHost host;
    for (; features != nullptr && *features != nullptr; ++features) {
        const char* uri = (*features)->URI;
        void* data = (*features)->data;
        if (std::strcmp(uri, LV2_UI__parent) == 0) host.parent = data;
        if (std::strcmp(uri, LV2_URID__map) == 0) host.map = static_cast<const LV2_URID_Map*>(data);
        if (std::strcmp(uri, LV2_OPTIONS__options) == 0)
            host.options = static_cast<const LV2_Options_Option*>(data);
        if (std::strcmp(uri, LV2_UI__touch) == 0)
            host.touch = static_cast<const LV2UI_Touch*>(data);
        if (std::strcmp(uri, LV2_UI__resize) == 0)
            host.resize = static_cast<const LV2UI_Resize*>(data);
    }
    return host;
}

/// The ui:scaleFactor among the host's options (a float), if it gives one.
std::optional<float> hostScaleFactor(const UiHost& host) {
    if (host.options == nullptr || host.map == nullptr) return std::nullopt;
    const LV2_URID key = host.map->map(host.map->handle, LV2_UI__scaleFactor);
    const LV2_URID floatType = host.map->map(host.map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* option = host.options; option->key != 0; ++option) {
        if (option->key == key && option->type == floatType && option->size == sizeof(float) &&
            option->value != nullptr) {
            float factor;
            std::memcpy(&factor, option->value, sizeof factor);
            return factor;
        }
    }
    return std::nullopt;
}

/// The editor's view of the plug-in on the UI side: values from the model,
/// changes to the host's ports. UI thread only.
class Lv2UiCore final : public EffectCore {
  public:
    explicit Lv2UiCore(const UiHost& host) : host(host) {}

    float getParameter(std::int32_t index) override { return values.value(index); }
    // The port of every value that changes gets it, the follow-on changes too
    // (an input falling back when its source line is switched off), so that the
    // host keeps what the DSP will hold.
    void setParameterAutomated(std::int32_t index, float value) override {
        values.set(index, value, [&](int changed) {
            if (changed != index) tellEditor(changed);
            writePort(changed);
        });
        // The control that moved shows what was kept, even when nothing changed.
        tellEditor(index);
    }
    void beginEdit(std::int32_t index) override { touch(index, true); }
    void endEdit(std::int32_t index) override { touch(index, false); }
    float tempoInUse(int line) override {
        const auto heard = tempoHeard[static_cast<std::size_t>(line)];
        return heard ? *heard
                     : tempoFromInterface(values.value(parameterIndex(ParamKind::Tempo, line)));
    }
    // An LV2 host has no idle to be asked for: its own loop runs again once the
    // gesture that holds the editor's thread ends.
    void hostIdle() override {}

    /// A control port value the host reports: the model and the editor follow,
    /// and the host hears of the follow-on changes (an input falling back), which
    /// the DSP makes without being able to write its own ports.
    void portChanged(int index, float portValue) {
        values.set(index, parameterValueOf(index, portValue), [&](int changed) {
            tellEditor(changed);
            if (changed != index) writePort(changed);
        });
    }
    /// The tempo line `line` plays at, as the DSP reports it.
    void tempoInUseChanged(int line, float bpm) {
        tempoHeard[static_cast<std::size_t>(line)] = bpm;
        tellEditor(parameterIndex(ParamKind::Tempo, line));
    }

    std::unique_ptr<DelayEditor> editor;

  private:
    void writePort(int index) {
        const float port = portValueOf(index, values.value(index));
        host.write(host.controller, controlPortOf(index), sizeof port, 0, &port);
    }
    void tellEditor(int index) {
        if (editor) editor->parameterChanged(index, values.value(index));
    }
    void touch(std::int32_t index, bool grabbed) {
        if (host.touch == nullptr || index < 0 || index >= kNumParameters) return;
        host.touch->touch(host.touch->handle, controlPortOf(index), grabbed);
    }

    UiHost host;
    ParameterState values;
    std::array<std::optional<float>, kNumLines> tempoHeard{};
};

Lv2UiCore* coreOf(LV2UI_Handle handle) {
    return static_cast<Lv2UiCore*>(handle);
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char*, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller,
                         LV2UI_Widget* widget, const LV2_Feature* const* features) {
    UiHost host = findUiHost(features);
    if (write == nullptr || widget == nullptr || host.parent == nullptr) return nullptr;
    host.write = write;
    host.controller = controller;
    try {
        // No engine runs in this process to ask the processor: the editor's
        // artwork depends on the answer, so the UI asks.
        hasVectorUnit = detectVectorUnit();
        auto core = std::make_unique<Lv2UiCore>(host);
        core->editor = std::make_unique<DelayEditor>(*core);
        DelayEditor& editor = *core->editor;
        if (const std::optional<float> factor = hostScaleFactor(host); factor && *factor > 0.0f)
            editor.setHostScale(*factor);
        if (editor.open(host.parent) == 0 || editor.getFrame() == nullptr) return nullptr;
        gui::Frame* frame = editor.getFrame();
        *widget = reinterpret_cast<LV2UI_Widget>(
            static_cast<std::uintptr_t>(gui::x11::windowId(frame->getWindow())));
        EditorRect* size = nullptr;
        editor.getRect(&size);
        if (host.resize != nullptr)
            host.resize->ui_resize(host.resize->handle, size->right - size->left,
                                   size->bottom - size->top);
        return core.release();
    } catch (...) {
        return nullptr; // no UI, and nothing thrown into the host
    }
}

void cleanup(LV2UI_Handle handle) {
    delete coreOf(handle); // its editor closes the window
}

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer) {
    if (handle == nullptr || buffer == nullptr || format != 0 || size != sizeof(float)) return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    int index = 0;
    if (parameterOfPort(port, index)) coreOf(handle)->portChanged(index, value);
    int line = 0;
    if (lineOfTempoInUsePort(port, line) && value >= kMinTempo && value <= kMaxTempo)
        coreOf(handle)->tempoInUseChanged(line, value);
}

int idle(LV2UI_Handle handle) {
    if (handle != nullptr) coreOf(handle)->editor->idle();
    return 0;
}

constexpr LV2UI_Idle_Interface kIdle = {idle};

const void* extensionData(const char* uri) {
    return uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0 ? &kIdle : nullptr;
}

constexpr LV2UI_Descriptor kDescriptor = {kUiUri, instantiate, cleanup, portEvent, extensionData};

} // namespace

} // namespace tesk::lv2

LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(std::uint32_t index) {
    return index == 0 ? &tesk::lv2::kDescriptor : nullptr;
}
