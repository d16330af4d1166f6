// The editor in a CLAP host: the same DelayEditor and window back end as the
// VST 2 module, embedded into the host's window at its fixed size: an X11
// window on Linux, whose idle runs on the host's timer, and a Win32 window on
// Windows, whose idle runs on a timer of the editor's own window (the host's
// message loop dispatches it); the module keeps no thread of its own. The host's
// set_scale decides the scale (both window systems count physical pixels, so the
// sizes given are the scaled ones); without it the desktop's (Xft.dpi, or the
// window's DPI) does.
#include "clap_delay.h"
#include "clap_extensions.h"

#include <cstring>

namespace tesk::clapfmt {

namespace {

/// About 30 updates a second, what CLAP hosts allow every timer.
constexpr std::uint32_t kIdlePeriodMs = 33;

#if defined(_WIN32)
constexpr const char* kOwnApi = CLAP_WINDOW_API_WIN32;
/// The window handle a host's record gives for our API.
void* parentOf(const clap_window_t& window) {
    return window.win32;
}
/// The editor's own window timer drives it: no host timer is asked for.
constexpr bool kNeedsHostTimer = false;
#else
constexpr const char* kOwnApi = CLAP_WINDOW_API_X11;
void* parentOf(const clap_window_t& window) {
    return reinterpret_cast<void*>(window.x11);
}
/// Without the host's timer the editor would never draw.
constexpr bool kNeedsHostTimer = true;
#endif

bool isEmbeddedOwn(const char* api, bool floating) {
    return api != nullptr && std::strcmp(api, kOwnApi) == 0 && !floating;
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
        return isEmbeddedOwn(api, floating);
    }

    static bool preferredApi(const clap_plugin_t* plugin, const char** api, bool* floating) {
        if (editorOf(ClapDelay::of(plugin)) == nullptr || api == nullptr || floating == nullptr)
            return false;
        *api = kOwnApi;
        *floating = false;
        return true;
    }

    static bool create(const clap_plugin_t* plugin, const char* api, bool floating) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (editorOf(self) == nullptr || self->guiCreated_ || !isEmbeddedOwn(api, floating))
            return false;
        self->requireMainThread("gui.create");
        if (kNeedsHostTimer &&
            (self->hostTimer_ == nullptr ||
             !self->hostTimer_->register_timer(self->host_, kIdlePeriodMs, &self->timerId_)))
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
            !isEmbeddedOwn(window->api, false) || parentOf(*window) == nullptr)
            return false;
        self->requireMainThread("gui.set_parent");
        if (editor->open(parentOf(*window)) == 0) return false;
        if (kNeedsHostTimer || editor->idleFromWindow(static_cast<std::int32_t>(kIdlePeriodMs)))
            return true;
        editor->close();
        return false;
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
        if (kNeedsHostTimer) self->hostTimer_->unregister_timer(self->host_, self->timerId_);
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
