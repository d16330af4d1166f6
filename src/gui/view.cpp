#include "gui/view.h"

#include "gui/frame.h"

namespace gui {

View::View(const Rect& size) : size(size), mouseArea(size) {}

View::~View() {
    Frame::viewDestroyed(this);
}

void View::draw(DrawContext*) {
    setDirty(false);
}

void View::drawRect(DrawContext* ctx, const Rect&) {
    draw(ctx);
}

bool View::intersects(const Rect& r) const {
    return r.right >= size.left && r.left <= size.right && r.bottom >= size.top &&
           r.top <= size.bottom;
}

void View::mouse(DrawContext*, Point&) {}

void View::update(DrawContext* ctx) {
    if (!isDirty()) return;
    draw(ctx);
    setDirty(false);
}

std::int32_t View::notify(View*, const char*) {
    return 0;
}

std::int32_t View::keyDown(VstKeyCode&) {
    return -1;
}

std::int32_t View::keyUp(VstKeyCode&) {
    return -1;
}

bool View::drop(void**, std::int32_t, std::int32_t, Point&) {
    return false;
}

bool View::wheel(DrawContext*, Point&, float) {
    return false;
}

void View::looseFocus(DrawContext*) {}

void View::takeFocus(DrawContext*) {}

bool View::isDirty() const {
    return dirty;
}

void View::setDirty(bool flag) {
    dirty = flag;
}

void View::setMouseEnabled(bool enabled) {
    mouseEnabled = enabled;
}

bool View::getMouseEnabled() const {
    return mouseEnabled;
}

void View::setMouseArea(const Rect& area) {
    mouseArea = area;
}

Rect& View::getMouseArea(Rect& area) const {
    area = mouseArea;
    return area;
}

bool View::hitTest(const Point& where, ButtonState) const {
    return where.isInside(size);
}

void View::setTransparency(bool transparent) {
    transparency = transparent;
}

bool View::getTransparency() const {
    return transparency;
}

void View::setViewSize(const Rect& newSize) {
    size = newSize;
    setDirty(true);
}

Rect& View::getViewSize(Rect& out) const {
    out = size;
    return out;
}

void View::setParentView(View* parent) {
    parentView = parent;
}

void View::setFrame(Frame* newFrame) {
    frame = newFrame;
}

FrameEditor* View::getEditor() const {
    return frame != nullptr ? frame->getEditor() : nullptr;
}

bool View::removed(View*) {
    return true;
}

bool View::attached(View*) {
    return true;
}

void View::forget() {
    if (refCount <= 0) return;
    if (--refCount == 0) delete this;
}

void View::remember() {
    ++refCount;
}

std::int32_t View::getRefCount() const {
    return refCount;
}

void View::redraw() {
    if (frame != nullptr) frame->drawView(this);
}

} // namespace gui
