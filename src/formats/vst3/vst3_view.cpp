#include "vst3_view.h"

#include "bound_editor.h"
#include "effect_core.h"
#include "parameter_texts.h"
#include "vst3_delay.h"

#include <atomic>
#include <cstdint>
#include <cstring>
#include <new>

namespace tesk::vst3 {

namespace {

/// About 30 updates a second, as in the other formats.
constexpr TimerInterval kIdlePeriodMs = 33;

// The editor's view of the instance: values as the controller holds them; a
// change goes to the host, which hands it to the processor.
class Vst3EffectCore final : public EffectCore {
  public:
    explicit Vst3EffectCore(Vst3Delay& owner) : owner_(owner) {}

    float getParameter(std::int32_t index) override { return owner_.controllerValue(index); }
    void setParameterAutomated(std::int32_t index, float value) override {
        owner_.editParameter(index, value);
    }
    void beginEdit(std::int32_t index) override { owner_.editGesture(index, true); }
    void endEdit(std::int32_t index) override { owner_.editGesture(index, false); }
    float tempoInUse(int line) override { return owner_.tempoInUse(line); }
    // The host's run loop drives us; there is nothing to hand it here.
    void hostIdle() override {}

  private:
    Vst3Delay& owner_;
};

/// The view: the editor at a fixed size, opened in the host's window. On Linux
/// (an X11 window id) it is driven by the host's run loop alone: its
/// connection's events as they come, and a timer for drawing and for what the
/// server queued meanwhile. On Windows (an HWND) a timer of the editor's own
/// window drives it.
class Vst3View final : public IPlugView,
                       public IPlugViewContentScaleSupport,
                       public ITimerHandler,
                       public IEventHandler {
  public:
    explicit Vst3View(Vst3Delay& owner) : owner_(owner) {
        static_cast<IComponent&>(owner_).addRef();
    }

    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (obj == nullptr) return kInvalidArgument;
        *obj = nullptr;
        if (uid_equal(iid, FUnknown::iid) || uid_equal(iid, IPlugView::iid))
            *obj = static_cast<IPlugView*>(this);
        else if (uid_equal(iid, IPlugViewContentScaleSupport::iid))
            *obj = static_cast<IPlugViewContentScaleSupport*>(this);
        else if (uid_equal(iid, ITimerHandler::iid))
            *obj = static_cast<ITimerHandler*>(this);
        else if (uid_equal(iid, IEventHandler::iid))
            *obj = static_cast<IEventHandler*>(this);
        else
            return kNoInterface;
        addRef();
        return kResultOk;
    }
    uint32 TESK_PLUGIN_API addRef() override {
        return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
    }
    uint32 TESK_PLUGIN_API release() override {
        const uint32 left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete this;
        return left;
    }

    tresult TESK_PLUGIN_API isPlatformTypeSupported(FIDString type) override {
        return isOwnPlatform(type) ? kResultTrue : kResultFalse;
    }
    tresult TESK_PLUGIN_API attached(void* parent, FIDString type) override {
        EditorInterface* editor = owner_.editor();
        if (editor == nullptr || parent == nullptr || !isOwnPlatform(type) || open_)
            return kResultFalse;
        if (!openDriven(*editor, parent)) return kResultFalse;
        open_ = true;
        return kResultOk;
    }
    tresult TESK_PLUGIN_API removed() override {
        if (!open_) return kResultFalse;
        stopDriving();
        owner_.editor()->close();
        open_ = false;
        return kResultOk;
    }
    tresult TESK_PLUGIN_API onWheel(float distance) override {
        return owner_.editor()->onWheel(distance) ? kResultTrue : kResultFalse;
    }
    // Keys reach the editor's window from the window system itself.
    tresult TESK_PLUGIN_API onKeyDown(char16, int16, int16) override { return kResultFalse; }
    tresult TESK_PLUGIN_API onKeyUp(char16, int16, int16) override { return kResultFalse; }
    tresult TESK_PLUGIN_API getSize(ViewRect* size) override {
        EditorRect* rect = nullptr;
        if (size == nullptr || owner_.editor()->getRect(&rect) == 0 || rect == nullptr)
            return kInvalidArgument;
        *size = {0, 0, rect->right - rect->left, rect->bottom - rect->top};
        return kResultOk;
    }
    // The size is fixed: only the editor's own is taken.
    tresult TESK_PLUGIN_API onSize(ViewRect* newSize) override {
        ViewRect own{};
        if (newSize == nullptr || getSize(&own) != kResultOk) return kInvalidArgument;
        return newSize->right - newSize->left == own.right &&
                       newSize->bottom - newSize->top == own.bottom
                   ? kResultOk
                   : kResultFalse;
    }
    tresult TESK_PLUGIN_API onFocus(TBool) override { return kResultOk; }
    tresult TESK_PLUGIN_API setFrame(IPlugFrame* frame) override {
        if (runLoop_ != nullptr) {
            runLoop_->release();
            runLoop_ = nullptr;
        }
        void* loop = nullptr;
        if (frame != nullptr && frame->queryInterface(IRunLoop::iid, &loop) == kResultOk)
            runLoop_ = static_cast<IRunLoop*>(loop);
        return kResultOk;
    }
    tresult TESK_PLUGIN_API canResize() override { return kResultFalse; }
    tresult TESK_PLUGIN_API checkSizeConstraint(ViewRect* rect) override {
        ViewRect own{};
        if (rect == nullptr || getSize(&own) != kResultOk) return kInvalidArgument;
        *rect = {rect->left, rect->top, rect->left + own.right, rect->top + own.bottom};
        return kResultOk;
    }

    // A scale that arrives while the editor is open applies from its next
    // opening: the host cannot resize us under it.
    tresult TESK_PLUGIN_API setContentScaleFactor(ScaleFactor factor) override {
        if (!(factor > 0.0f)) return kInvalidArgument;
        return owner_.editor()->setHostScale(factor) ? kResultOk : kResultFalse;
    }

    void TESK_PLUGIN_API onTimer() override {
        if (open_) owner_.editor()->idle();
    }
    void TESK_PLUGIN_API onFDIsSet(FileDescriptor) override {
        if (open_) owner_.editor()->idle();
    }

  private:
    ~Vst3View() {
        if (open_) removed();
        if (runLoop_ != nullptr) runLoop_->release();
        static_cast<IComponent&>(owner_).release();
    }

#if defined(_WIN32)
    static bool isOwnPlatform(FIDString type) {
        return type != nullptr && std::strcmp(type, kPlatformTypeHWND) == 0;
    }
    // Windows hosts give no run loop: the editor's window runs a timer of its own,
    // as the host's message loop dispatches the window's messages.
    static bool openDriven(EditorInterface& editor, void* parent) {
        if (editor.open(parent) == 0) return false;
        if (editor.idleFromWindow(kIdlePeriodMs)) return true;
        editor.close();
        return false;
    }
    void stopDriving() {}
#else
    static bool isOwnPlatform(FIDString type) {
        return type != nullptr && std::strcmp(type, kPlatformTypeX11EmbedWindowID) == 0;
    }
    // Without the host's run loop the editor would never draw.
    bool openDriven(EditorInterface& editor, void* parent) {
        if (runLoop_ == nullptr || runLoop_->registerTimer(this, kIdlePeriodMs) != kResultOk)
            return false;
        if (editor.open(parent) == 0) {
            runLoop_->unregisterTimer(this);
            return false;
        }
        // Held until removed(): hosts may take the frame away before that.
        registeredWith_ = runLoop_;
        registeredWith_->addRef();
        const int descriptor = editor.eventDescriptor();
        watching_ =
            descriptor >= 0 && registeredWith_->registerEventHandler(this, descriptor) == kResultOk;
        return true;
    }
    void stopDriving() {
        if (watching_) registeredWith_->unregisterEventHandler(this);
        watching_ = false;
        registeredWith_->unregisterTimer(this);
        registeredWith_->release();
        registeredWith_ = nullptr;
    }
#endif

    std::atomic<uint32> refs_{1};
    Vst3Delay& owner_;
    IRunLoop* runLoop_ = nullptr;        ///< the current frame's
    IRunLoop* registeredWith_ = nullptr; ///< the one our handlers are with while open
    bool open_ = false;
    bool watching_ = false; ///< the run loop watches the editor's connection
};

} // namespace

EditorInterface* makeVst3Editor(Vst3Delay& owner) {
    return new BoundDelayEditor<Vst3EffectCore>(owner);
}

IPlugView* makeVst3View(Vst3Delay& owner) {
    return new (std::nothrow) Vst3View(owner);
}

} // namespace tesk::vst3
