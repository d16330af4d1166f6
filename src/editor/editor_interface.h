// The editor as a plug-in format sees it: the size it asks for, opening in and
// closing from the host's window, idle time, keys, and what the format tells
// the editor of parameter changes. The toolkit-based editor derives from this;
// each format translates its host's editor calls into these.
#pragma once

#include "gui/geometry.h"

#include <atomic>
#include <cstdint>

namespace tesk {

/// The editor's area in pixels, edges as the host's window sees them.
struct EditorRect {
    std::int16_t top = 0;
    std::int16_t left = 0;
    std::int16_t bottom = 0;
    std::int16_t right = 0;
};

class EditorInterface {
  public:
    EditorInterface() = default;
    virtual ~EditorInterface() = default;
    EditorInterface(const EditorInterface&) = delete;
    EditorInterface& operator=(const EditorInterface&) = delete;

    /// Stores the editor's area in `*rect` (null here); answers 1 when it did.
    virtual std::int32_t getRect(EditorRect** rect) {
        *rect = nullptr;
        return 0;
    }
    /// Opens inside the host's `window`.
    virtual std::int32_t open(void* window) {
        systemWindow = window;
        return 0;
    }
    virtual void close() {}
    /// Called by the host's user-interface thread, tens of times a second.
    virtual void idle() {
        if (updatePending.exchange(0, std::memory_order_relaxed) != 0) update();
    }
    virtual void update() {}
    virtual void postUpdate() { updatePending.store(1, std::memory_order_relaxed); }
    /// A key the host passes on; -1 when not handled.
    virtual std::int32_t onKeyDown(gui::VstKeyCode& /*key*/) { return -1; }
    virtual std::int32_t onKeyUp(gui::VstKeyCode& /*key*/) { return -1; }
    virtual std::int32_t setKnobMode(std::int32_t /*mode*/) { return 0; }
    /// The scale factor the host asks the editor to draw at; true when the editor
    /// takes it (from its next opening on). UI thread.
    virtual bool setHostScale(double /*factor*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    /// The file descriptor the open editor's events arrive on, for hosts whose run
    /// loop calls `idle` when it is readable; -1 while closed or where there is none.
    virtual int eventDescriptor() const { return -1; }
    /// Lets a timer of the open editor's own window call `idle` about every
    /// `periodMs` milliseconds, for hosts that drive no idle (VST 3 and CLAP on
    /// Windows); false while closed or where the window system has none. UI thread.
    virtual bool idleFromWindow(std::int32_t /*periodMs*/) { return false; }
    /// A parameter changed, on whatever thread changed it.
    virtual void parameterChanged(std::int32_t /*index*/, float /*value*/) { postUpdate(); }

    void* systemWindow = nullptr;               ///< the host's window given to `open`
    std::atomic<std::int32_t> updatePending{0}; ///< any thread sets it, idle consumes it
};

} // namespace tesk
