// The bridge between the host's editor requests and the toolkit: owns the
// frame while the window is open, answers size, key and knob-mode requests,
// and pumps idle time while a control tracks the mouse.
#pragma once

#include "editor_interface.h"
#include "effect_core.h"
#include "gui/frame_editor.h"

#include <cstdint>

namespace gui {
class Frame;
}

namespace tesk {

class EditorBase : public EditorInterface, public gui::FrameEditor {
  public:
    /// Made for the effect `core` stands for, in whichever format carries it.
    explicit EditorBase(EffectCore& core);
    ~EditorBase() override;

    /// Hands the host `rect`; 1.
    std::int32_t getRect(ERect** rect) override;
    /// Posts an update and keeps the host's window; the derived editor builds the frame.
    std::int32_t open(void* window) override;
    /// Draws what is dirty; nothing while the host runs its idle from `pumpIdle`.
    void idle() override;
    /// The frame's answer to the key; -1 while closed.
    std::int32_t onKeyDown(VstKeyCode& key) override;
    std::int32_t onKeyUp(VstKeyCode& key) override;
    /// Sets the knob mode every knob reads; 1.
    std::int32_t setKnobMode(std::int32_t mode) override;
    bool onWheel(float distance) override;

    /// Has the frame draw itself completely at once; nothing while closed.
    virtual void redrawAll();
    /// Keeps the window painting and the host running while a control tracks
    /// the mouse: does its work at most every 50 ms or so (user-interface thread).
    void pumpIdle() override;
    /// Tells the host a mouse gesture on parameter `tag` starts.
    void beginEdit(std::int32_t tag) override;
    /// Tells the host the gesture on parameter `tag` ended.
    void endEdit(std::int32_t tag) override;

    /// The frame while the window is open, else null.
    gui::Frame* getFrame() const { return frame; }

  protected:
    EffectCore& host() const { return host_; }

    ERect rect{};
    gui::Frame* frame = nullptr;
    std::uint32_t nextIdleTime;
    bool inIdle = false;

  private:
    EffectCore& host_;
};

} // namespace tesk
