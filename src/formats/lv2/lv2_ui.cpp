// The LV2 UI: the very same DelayEditor on the same X11 back end. It never
// touches the DSP instance: it keeps a parameter model of its own (a DelayEffect
// that processes nothing), which gives the editor the values, texts and the
// follow-on changes the VST 2 effect gives it, and it talks to the host only
// through write_function, ui:touch and port_event.
#include "delay_editor.h"
#include "delay_effect.h"
#include "lv2_ports.h"

#include "gui/frame.h"
#include "gui/platform/x11/x11.h"

#include <lv2/ui/ui.h>

#include <cstdint>
#include <cstring>
#include <new>

namespace tesk::lv2 {

namespace {

/// What the UI's host offers it.
struct UiHost {
    LV2UI_Write_Function write = nullptr;
    LV2UI_Controller controller = nullptr;
    const LV2UI_Touch* touch = nullptr;
    const LV2UI_Resize* resize = nullptr;
    void* parent = nullptr;
};

UiHost findUiHost(const LV2_Feature* const* features) {
    UiHost host;
    for (; features != nullptr && *features != nullptr; ++features) {
        const char* uri = (*features)->URI;
        void* data = (*features)->data;
        if (std::strcmp(uri, LV2_UI__parent) == 0) host.parent = data;
        if (std::strcmp(uri, LV2_UI__touch) == 0)
            host.touch = static_cast<const LV2UI_Touch*>(data);
        if (std::strcmp(uri, LV2_UI__resize) == 0)
            host.resize = static_cast<const LV2UI_Resize*>(data);
    }
    return host;
}

/// The seam on the UI side: values come from the model, changes go to the host's ports.
class Lv2UiCore final : public EffectCore {
  public:
    explicit Lv2UiCore(const UiHost& host) : host(host) {}

    float getParameter(std::int32_t index) override { return model.getParameter(index); }
    void setParameterAutomated(std::int32_t index, float value) override {
        model.setParameter(index, value);
        if (index < 0 || index >= kNumParameters) return;
        // The port gets the value the model kept, which the DSP keeps the same way.
        const float port = portValueOf(index, model.getParameter(index));
        host.write(host.controller, controlPortOf(index), sizeof port, 0, &port);
    }
    void beginEdit(std::int32_t index) override { touch(index, true); }
    void endEdit(std::int32_t index) override { touch(index, false); }
    void getParameterDisplay(std::int32_t index, char* text) override {
        model.getParameterDisplay(index, text);
    }
    // An LV2 host has no idle to be asked for: its own loop runs again once the
    // gesture that holds the editor's thread ends.
    void hostIdle() override {}

    /// A port value the host reports (UI thread): moves the model, which tells the editor.
    void portChanged(int index, float portValue) {
        model.setParameter(index, parameterValueOf(index, portValue));
    }

    /// The model owns the editor, as a VST 2 effect owns its editor.
    void adoptEditor(DelayEditor* editor) { model.editor = editor; }
    DelayEditor* editor() const { return static_cast<DelayEditor*>(model.editor); }

  private:
    void touch(std::int32_t index, bool grabbed) {
        if (host.touch == nullptr || index < 0 || index >= kNumParameters) return;
        host.touch->touch(host.touch->handle, controlPortOf(index), grabbed);
    }

    UiHost host;
    DelayEffect model{nullptr};
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
        auto* core = new Lv2UiCore(host);
        core->adoptEditor(new DelayEditor(*core));
        DelayEditor* editor = core->editor();
        if (editor->open(host.parent) == 0 || editor->getFrame() == nullptr) {
            delete core;
            return nullptr;
        }
        gui::Frame* frame = editor->getFrame();
        *widget = reinterpret_cast<LV2UI_Widget>(
            static_cast<std::uintptr_t>(gui::x11::windowId(frame->getWindow())));
        ERect* size = nullptr;
        editor->getRect(&size);
        if (host.resize != nullptr)
            host.resize->ui_resize(host.resize->handle, size->right - size->left,
                                   size->bottom - size->top);
        return core;
    } catch (...) {
        return nullptr; // no UI, and nothing thrown into the host
    }
}

void cleanup(LV2UI_Handle handle) {
    delete coreOf(handle); // the model deletes its editor, which closes the window
}

void portEvent(LV2UI_Handle handle, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer) {
    int index = 0;
    if (handle == nullptr || buffer == nullptr || format != 0 || size != sizeof(float) ||
        !parameterOfPort(port, index))
        return;
    float value;
    std::memcpy(&value, buffer, sizeof value);
    coreOf(handle)->portChanged(index, value);
}

int idle(LV2UI_Handle handle) {
    if (handle != nullptr) coreOf(handle)->editor()->idle();
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
