// The bridge between the host's editor requests and the toolkit: owns the
// frame while the window is open, answers size, key and knob-mode requests,
// and pumps idle time while a control tracks the mouse. It also chooses the
// scale the frame opens at, by one rule for every format: the host's word where
// the format lets the host give one, else the desktop's setting.
#pragma once

#include "editor_interface.h"
#include "effect_core.h"
#include "gui/frame_editor.h"
#include "gui/geometry.h"
#include "gui/scale.h"

#include <optional>

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

    /// Hands the host `rect`: the editor's size times the scale it is open at, or
    /// would open at now; 1. UI thread.
    std::int32_t getRect(EditorRect** rect) override;
    /// Posts an update and keeps the host's window; the derived editor builds the frame.
    std::int32_t open(void* window) override;
    /// Draws what is dirty; nothing while the host runs its idle from `pumpIdle`.
    void idle() override;
    /// The frame's answer to the key; -1 while closed.
    std::int32_t onKeyDown(gui::VstKeyCode& key) override;
    std::int32_t onKeyUp(gui::VstKeyCode& key) override;
    /// Sets the knob mode every knob reads; 1.
    std::int32_t setKnobMode(std::int32_t mode) override;
    bool onWheel(float distance) override;
    /// The descriptor of the open frame's window; -1 while closed. UI thread.
    int eventDescriptor() const override;
    /// Starts the open frame's window timer; false while closed. UI thread.
    bool idleFromWindow(std::int32_t periodMs) override;
    /// The window's timer: the editor's idle. UI thread.
    void windowIdle() override { idle(); }

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
    /// The scale the host asks for (CLAP gui.set_scale, LV2 ui:scaleFactor), rounded
    /// to the nearest the editor has (1, 1.5, 2); it replaces the desktop's from the
    /// next opening on, and a window already open keeps its size. True. UI thread.
    bool setHostScale(double factor) override;
    /// The scale the editor is open at, or else would open at inside `parent` (may be
    /// null): the host's, else the desktop's. UI thread.
    gui::Scale scaleFor(void* parent) const;

  protected:
    EffectCore& host() const { return host_; }
    /// Sets the editor's size in editor pixels, which getRect scales.
    void setEditorSize(std::int32_t width, std::int32_t height);

    gui::Frame* frame = nullptr;
    std::uint32_t nextIdleTime;
    bool inIdle = false;

  private:
    EffectCore& host_;
    EditorRect rect{};
    gui::Rect editorSize_;
    std::optional<gui::Scale> hostScale_;
};

} // namespace tesk
