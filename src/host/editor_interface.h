// The editor as the host interface sees it: what the dispatcher's editor
// opcodes reach, and what the effect tells the editor. The toolkit-based
// editor derives from this; the host interface knows nothing more of it.
#pragma once

#include "vst2.h"

#include <atomic>
#include <cstdint>

namespace tesk {

class EffectBase;

class EditorInterface {
public:
    explicit EditorInterface(EffectBase* effect) : effect(effect) {}
    virtual ~EditorInterface() = default;
    EditorInterface(const EditorInterface&) = delete;
    EditorInterface& operator=(const EditorInterface&) = delete;

    /// Stores the editor's size record in `*rect` (null here); answers 1 when it did.
    virtual std::int32_t getRect(ERect** rect) {
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
    virtual std::int32_t onKeyDown(VstKeyCode& /*key*/) { return -1; }
    virtual std::int32_t onKeyUp(VstKeyCode& /*key*/) { return -1; }
    virtual std::int32_t setKnobMode(std::int32_t /*mode*/) { return 0; }
    /// The scale factor the host asks the editor to draw at; true when the editor
    /// takes it (from its next opening on). UI thread.
    virtual bool setHostScale(double /*factor*/) { return false; }
    virtual bool onWheel(float /*distance*/) { return false; }
    /// A parameter changed, on whatever thread changed it.
    virtual void parameterChanged(std::int32_t /*index*/, float /*value*/) { postUpdate(); }

    EffectBase* effect;          ///< the owning effect, not owned
    void* systemWindow = nullptr; ///< the host's window given to `open`
    std::atomic<std::int32_t> updatePending{0}; ///< any thread sets it, idle consumes it
};

} // namespace tesk
