// The editor in a CLAP host: the same DelayEditor and X11 back end as the VST 2
// module, embedded into the host's window at its fixed size. Its idle runs on
// the host's timer; the module keeps no thread of its own. The host's set_scale
// decides the scale (X11 windows count physical pixels, so the sizes given are the
// scaled ones); without it the desktop's Xft.dpi does.
#include "clap_delay.h"
#include "clap_extensions.h"

#include <cstring>

namespace tesk::clapfmt {

namespace {

/// About 30 updates a second, what CLAP hosts allow every timer.
constexpr std::uint32_t kIdlePeriodMs = 33;

bool isEmbeddedX11(const char* api, bool floating) {
    return api != nullptr && std::strcmp(api, CLAP_WINDOW_API_X11) == 0 && !floating;
}

} // namespace

struct GuiCalls {
    static EditorInterface* editorOf(ClapDelay* self) {
        return self != nullptr ? self->editor_.get() : nullptr;
    }

    static bool isApiSupported(const clap_plugin_t* plugin, const char* api, bool floating) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (editorOf(self) == nullptr) return false;
        self->requireMainThread("gui.is_api_supported");
        return isEmbeddedX11(api, floating);
    }

    static bool preferredApi(const clap_plugin_t* plugin, const char** api, bool* floating) {
        if (editorOf(ClapDelay::of(plugin)) == nullptr || api == nullptr || floating == nullptr)
            return false;
        *api = CLAP_WINDOW_API_X11;
        *floating = false;
        return true;
    }

    static bool create(const clap_plugin_t* plugin, const char* api, bool floating) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (editorOf(self) == nullptr || self->guiCreated_ || !isEmbeddedX11(api, floating))
            return false;
        self->requireMainThread("gui.create");
        // Without the host's timer the editor would never draw.
        if (self->hostTimer_ == nullptr ||
            !self->hostTimer_->register_timer(self->host_, kIdlePeriodMs, &self->timerId_))
            return false;
        self->guiCreated_ = true;
        return true;
    }

    static bool getSize(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height) {
        EditorInterface* editor = editorOf(ClapDelay::of(plugin));
        EditorRect* rect = nullptr;
        if (editor == nullptr || width == nullptr || height == nullptr ||
            editor->getRect(&rect) == 0 || rect == nullptr)
            return false;
        *width = static_cast<std::uint32_t>(rect->right - rect->left);
        *height = static_cast<std::uint32_t>(rect->bottom - rect->top);
        return true;
    }

    // A host's scale that arrives while the window is open applies from the next
    // opening: the size cannot change under a host that cannot resize us.
    static bool setScale(const clap_plugin_t* plugin, double scale) {
        ClapDelay* self = ClapDelay::of(plugin);
        EditorInterface* editor = editorOf(self);
        if (editor == nullptr || !self->guiCreated_ || !(scale > 0.0)) return false;
        self->requireMainThread("gui.set_scale");
        return editor->setHostScale(scale);
    }

    // The size is fixed: any size asked for becomes the editor's own.
    static bool adjustSize(const clap_plugin_t* plugin, std::uint32_t* width,
                           std::uint32_t* height) {
        return width != nullptr && height != nullptr && getSize(plugin, width, height);
    }

    static bool setSize(const clap_plugin_t* plugin, std::uint32_t width, std::uint32_t height) {
        std::uint32_t w = 0;
        std::uint32_t h = 0;
        return getSize(plugin, &w, &h) && w == width && h == height;
    }

    static bool setParent(const clap_plugin_t* plugin, const clap_window_t* window) {
        ClapDelay* self = ClapDelay::of(plugin);
        EditorInterface* editor = editorOf(self);
        if (editor == nullptr || !self->guiCreated_ || window == nullptr ||
            !isEmbeddedX11(window->api, false) || window->x11 == 0)
            return false;
        self->requireMainThread("gui.set_parent");
        return editor->open(reinterpret_cast<void*>(window->x11)) != 0;
    }

    static bool show(const clap_plugin_t* plugin) {
        ClapDelay* self = ClapDelay::of(plugin);
        return editorOf(self) != nullptr && self->guiCreated_;
    }

    static void onTimer(const clap_plugin_t* plugin, clap_id id) {
        ClapDelay* self = ClapDelay::of(plugin);
        EditorInterface* editor = editorOf(self);
        if (editor == nullptr || !self->guiCreated_ || id != self->timerId_) return;
        self->requireMainThread("timer_support.on_timer");
        editor->idle();
    }

    static void destroyGui(const clap_plugin_t* plugin) {
        ClapDelay* self = ClapDelay::of(plugin);
        EditorInterface* editor = editorOf(self);
        if (editor == nullptr || !self->guiCreated_) return;
        self->requireMainThread("gui.destroy");
        editor->close();
        self->hostTimer_->unregister_timer(self->host_, self->timerId_);
        self->timerId_ = CLAP_INVALID_ID;
        self->guiCreated_ = false;
    }

    static bool no(const clap_plugin_t*) { return false; }
    static bool noHints(const clap_plugin_t*, clap_gui_resize_hints_t*) { return false; }
    static bool noTransient(const clap_plugin_t*, const clap_window_t*) { return false; }
    static void noTitle(const clap_plugin_t*, const char*) {}

    static constexpr clap_plugin_gui_t gui{
        isApiSupported, preferredApi, create,    destroyGui,  setScale, getSize, no,  noHints,
        adjustSize,     setSize,      setParent, noTransient, noTitle,  show,    show};
    static constexpr clap_plugin_timer_support_t timer{onTimer};
};

void GuiExtension::destroy(const clap_plugin_t* plugin) {
    GuiCalls::destroyGui(plugin);
}

const void* guiExtension(const char* id) {
    if (std::strcmp(id, CLAP_EXT_GUI) == 0) return &GuiCalls::gui;
    if (std::strcmp(id, CLAP_EXT_TIMER_SUPPORT) == 0) return &GuiCalls::timer;
    return nullptr;
}

} // namespace tesk::clapfmt
