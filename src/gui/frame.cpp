#include "gui/frame.h"

#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame_editor.h"
#include "gui/platform/platform.h"

#include <algorithm>
#include <atomic>
#include <new>
#include <optional>

namespace gui {
namespace {

// The child list grows by this many entries at a time.
constexpr std::size_t kViewGrowth = 20;

std::atomic<std::int32_t> processKnobMode{0};

// The frames alive on this thread, so that a view being destroyed can be taken out of
// every frame that still points at it, whatever its own frame pointer says.
thread_local Frame* liveFrames = nullptr;

} // namespace

void setKnobMode(std::int32_t mode) {
    processKnobMode.store(mode, std::memory_order_relaxed);
}

Frame::Frame(const Rect& size, void* parentWindow, FrameEditor* editor, Scale scale)
    : View(size), editor_(editor), parentWindow_(parentWindow), scale_(scale),
      fontCache_(platform::holdFontCache()),
      window_(platform::Window::create(parentWindow, scale.toWindow(size), this)),
      nextLiveFrame_(liveFrames) {
    liveFrames = this;
}

Frame::~Frame() {
    removeAll(true);
    setBackground(nullptr);
    if (window_ != nullptr) window_->detachFrame();
    window_.reset();
    Frame** link = &liveFrames;
    while (*link != this)
        link = &(*link)->nextLiveFrame_;
    *link = nextLiveFrame_;
}

void Frame::viewDestroyed(View* view) {
    for (Frame* frame = liveFrames; frame != nullptr; frame = frame->nextLiveFrame_) {
        frame->unlink(view);
    }
}

void Frame::unlink(View* view) {
    if (focusView_ == view) focusView_ = nullptr;
    if (modalView_ == view) modalView_ = nullptr;
    std::erase(views_, view);
}

// ---- Child list ---------------------------------------------------------------

bool Frame::addView(View* view) {
    if (view == nullptr) return false;
    if (views_.size() == views_.capacity()) {
        try {
            views_.reserve(views_.size() + kViewGrowth);
        } catch (const std::bad_alloc&) {
            return false;
        }
    }
    views_.push_back(view);
    view->setFrame(this);
    view->attached(this);
    return true;
}

bool Frame::removeView(View* view, const bool& withForget) {
    const auto found = std::find(views_.begin(), views_.end(), view);
    if (found == views_.end()) return true;
    views_.erase(found);
    release(view, withForget);
    return true;
}

bool Frame::removeAll(const bool& withForget) {
    if (focusView_ != nullptr) {
        focusView_->looseFocus(nullptr);
        focusView_ = nullptr;
    }
    // The list is emptied first: a child deleted below must not find itself in it.
    std::vector<View*> children;
    children.swap(views_);
    for (View* view : children)
        release(view, withForget);
    return true;
}

void Frame::release(View* view, bool withForget) {
    view->removed(this);
    // A view that outlives its removal must not keep pointing at this frame.
    if (view->getFrame() == this) view->setFrame(nullptr);
    if (withForget) view->forget();
}

bool Frame::isChild(View* view) const {
    return std::find(views_.begin(), views_.end(), view) != views_.end();
}

std::int32_t Frame::getViewCount() const {
    return static_cast<std::int32_t>(views_.size());
}

View* Frame::getView(std::int32_t index) const {
    if (index < 0 || index >= getViewCount()) return nullptr;
    return views_[static_cast<std::size_t>(index)];
}

void Frame::setBackground(Bitmap* background) {
    if (background_ != nullptr) background_->forget();
    background_ = background;
    if (background_ != nullptr) background_->remember();
}

// ---- Focus and modality ----------------------------------------------------------

void Frame::setFocus(View* view) {
    View* previous = focusView_;
    focusView_ = view;
    if (previous != nullptr) previous->looseFocus(nullptr);
}

bool Frame::setModal(View* view) {
    if (view != nullptr && modalView_ != nullptr) return false;
    if (modalView_ != nullptr) modalView_->removed(this);
    modalView_ = view;
    if (view != nullptr) view->attached(this);
    return true;
}

// ---- Services for controls and the editor --------------------------------------

FrameEditor* Frame::getEditor() const {
    return editor_;
}

void Frame::pumpIdle() {
    if (window_ != nullptr) window_->flush();
    if (editor_ != nullptr) editor_->pumpIdle();
}

std::int32_t Frame::getTicks() const {
    if (editor_ == nullptr) return 0;
    return static_cast<std::int32_t>(pressTime_ ? *pressTime_ : platform::tickCount());
}

std::int32_t Frame::knobMode() const {
    return processKnobMode.load(std::memory_order_relaxed);
}

void Frame::beginEdit(std::int32_t tag) {
    if (editor_ != nullptr) editor_->beginEdit(tag);
}

void Frame::endEdit(std::int32_t tag) {
    if (editor_ != nullptr) editor_->endEdit(tag);
}

void Frame::cursorPosition(Point& p) const {
    p = platform::readCursor();
    if (window_ == nullptr) return;
    const Point origin = window_->origin();
    p = scale_.toEditor(Point{p.x - origin.x, p.y - origin.y});
}

std::unique_ptr<platform::EditBox> Frame::openEditBox(const platform::EditBoxStyle& style,
                                                      const char* text,
                                                      platform::EditBoxListener& listener) {
    if (window_ == nullptr) return nullptr;
    platform::EditBoxStyle scaled = style;
    scaled.area = scale_.toWindow(style.area);
    scaled.font.height = scale_.length(style.font.height);
    return platform::EditBox::create(*window_, scaled, text, listener);
}

View* Frame::viewUnderCursor() const {
    if (modalView_ != nullptr) return modalView_;
    Point where;
    cursorPosition(where);
    for (std::size_t i = views_.size(); i-- > 0;) {
        Rect area;
        if (where.isInside(views_[i]->getViewSize(area))) return views_[i];
    }
    return nullptr;
}

void Frame::drawView(View* view) {
    WindowContext ctx(this, window_.get());
    if (view != nullptr && isChild(view)) {
        view->draw(&ctx);
    } else {
        Frame::draw(&ctx);
    }
}

void Frame::idle() {
    if (window_ != nullptr) window_->dispatchEvents();
    if (!open_ || firstDrawPending_ || !isSomethingDirty()) return;
    WindowContext ctx(this, window_.get());
    update(&ctx);
}

bool Frame::isSomethingDirty() const {
    if (modalView_ != nullptr || isDirty()) return true;
    return std::any_of(views_.begin(), views_.end(), [](View* v) { return v->isDirty(); });
}

// ---- Drawing ---------------------------------------------------------------------
// Children are visited by index so that one removed while drawing ends the pass
// safely instead of leaving an iterator dangling.

void Frame::draw(DrawContext* ctx) {
    firstDrawPending_ = false;
    if (background_ != nullptr && ctx != nullptr) {
        background_->draw(*ctx, {0, 0, background_->width, background_->height});
    }
    for (std::size_t i = 0; i < views_.size(); ++i)
        views_[i]->draw(ctx);
    if (modalView_ != nullptr) modalView_->draw(ctx);
}

void Frame::drawRect(DrawContext* ctx, const Rect& update) {
    firstDrawPending_ = false;
    if (background_ != nullptr && ctx != nullptr) {
        background_->draw(*ctx, update, {update.left, update.top});
    }
    for (std::size_t i = 0; i < views_.size(); ++i) {
        if (views_[i]->intersects(update)) views_[i]->drawRect(ctx, update);
    }
    if (modalView_ != nullptr && modalView_->intersects(update)) modalView_->draw(ctx);
}

void Frame::update(DrawContext* ctx) {
    if (!open_) return;
    if (modalView_ != nullptr) {
        modalView_->update(ctx);
    } else if (isDirty()) {
        Frame::draw(ctx);
        setDirty(false);
    } else {
        for (std::size_t i = 0; i < views_.size(); ++i)
            views_[i]->update(ctx);
    }
}

// ---- Input -----------------------------------------------------------------------

View* Frame::findTarget(const Point& where, ButtonState buttons) const {
    for (std::size_t i = views_.size(); i-- > 0;) {
        if (views_[i]->getMouseEnabled() && views_[i]->hitTest(where, buttons)) return views_[i];
    }
    return nullptr;
}

void Frame::mouse(DrawContext* ctx, Point& where) {
    // Every click ends a text edit, also one on the field being edited.
    if (focusView_ != nullptr) {
        focusView_->looseFocus(nullptr);
        focusView_ = nullptr;
    }
    const ButtonState buttons = ctx != nullptr ? ctx->readButtons() : platform::readButtons();
    if (modalView_ != nullptr) {
        if (modalView_->hitTest(where, buttons)) modalView_->mouse(ctx, where);
        return;
    }
    if (View* target = findTarget(where, buttons)) target->mouse(ctx, where);
}

std::int32_t Frame::offerKey(VstKeyCode& key, KeyHandler handler) {
    if (focusView_ != nullptr) {
        if (const std::int32_t result = (focusView_->*handler)(key); result != -1) return result;
    }
    if (modalView_ != nullptr) {
        if (const std::int32_t result = (modalView_->*handler)(key); result != -1) return result;
    }
    for (std::size_t i = views_.size(); i-- > 0;) {
        if (const std::int32_t result = (views_[i]->*handler)(key); result != -1) return result;
        i = std::min(i, views_.size());
    }
    return -1;
}

std::int32_t Frame::keyDown(VstKeyCode& key) {
    return offerKey(key, &View::keyDown);
}

std::int32_t Frame::keyUp(VstKeyCode& key) {
    return offerKey(key, &View::keyUp);
}

bool Frame::wheel(DrawContext* ctx, Point& where, float distance) {
    View* target = viewUnderCursor();
    if (target == nullptr) return false;
    std::optional<WindowContext> own;
    if (ctx == nullptr) ctx = &own.emplace(this, window_.get());
    cursorPosition(where);
    return target->wheel(ctx, where, distance);
}

bool Frame::drop(void** items, std::int32_t count, std::int32_t kind, Point& where) {
    if (modalView_ != nullptr || focusView_ != nullptr) return false;
    for (std::size_t i = views_.size(); i-- > 0;) {
        View* view = views_[i];
        Rect area;
        if (!view->getMouseEnabled() || !where.isInside(view->getViewSize(area))) continue;
        if (view->drop(items, count, kind, where)) return true;
        i = std::min(i, views_.size());
    }
    return false;
}

bool Frame::onWindowEvent(const platform::WindowEvent& event) {
    using Kind = platform::WindowEvent::Kind;
    switch (event.kind) {
    case Kind::destroy:
        open_ = false;
        parentWindow_ = nullptr;
        return false;
    case Kind::paint: {
        DrawContext ctx(this, event.surface, window_.get());
        drawRect(&ctx, scale_.coveringEditorArea(event.area));
        return false;
    }
    case Kind::buttonDown: {
        WindowContext ctx(this, window_.get());
        Point where = scale_.toEditor(event.where);
        pressTime_ = event.time;
        mouse(&ctx, where);
        pressTime_.reset();
        return false;
    }
    case Kind::drop: {
        Point where;
        cursorPosition(where);
        return drop(event.items, event.count, event.dropKind, where);
    }
    case Kind::idle:
        if (editor_ != nullptr) editor_->windowIdle();
        return false;
    }
    return false;
}

} // namespace gui

namespace gui::platform {

bool Window::deliver(const WindowEvent& event) {
    return frame_ != nullptr && frame_->onWindowEvent(event);
}

void Window::deliverDestroy() {
    WindowEvent event;
    event.kind = WindowEvent::Kind::destroy;
    deliver(event);
}

void Window::deliverIdle() {
    WindowEvent event;
    event.kind = WindowEvent::Kind::idle;
    deliver(event);
}

bool Window::deliverDrop(void** items, std::int32_t count, std::int32_t kind) {
    WindowEvent event;
    event.kind = WindowEvent::Kind::drop;
    event.items = items;
    event.count = count;
    event.dropKind = kind;
    return deliver(event);
}

} // namespace gui::platform
