#include "editor_base.h"

#include "parameter_texts.h"

#include "gui/frame.h"
#include "gui/platform/platform.h"

namespace tesk {

void EffectCore::getParameterDisplay(std::int32_t index, char* text) {
    ParamRef ref{};
    if (!splitParameterIndex(index, ref)) return;
    const float crossover = getParameter(parameterIndex(ParamKind::CrossFrequency, ref.line));
    parameterDisplay(index, getParameter(index), crossover, text);
}

EditorBase::EditorBase(EffectCore& core) : nextIdleTime(gui::platform::tickCount()), host_(core) {}

EditorBase::~EditorBase() = default;

std::int32_t EditorBase::getRect(EditorRect** out) {
    const gui::Rect size = scaleFor(nullptr).toWindow(editorSize_);
    rect = {0, 0, static_cast<std::int16_t>(size.bottom), static_cast<std::int16_t>(size.right)};
    *out = &rect;
    return 1;
}

void EditorBase::setEditorSize(std::int32_t width, std::int32_t height) {
    editorSize_ = {0, 0, width, height};
}

bool EditorBase::setHostScale(double factor) {
    hostScale_ = gui::Scale::nearest(factor);
    return true;
}

gui::Scale EditorBase::scaleFor(void* parent) const {
    if (frame != nullptr) return frame->scale();
    if (hostScale_) return *hostScale_;
    return gui::Scale::nearest(gui::platform::desktopScale(parent));
}

std::int32_t EditorBase::open(void* window) {
    postUpdate();
    systemWindow = window;
    return 0;
}

void EditorBase::idle() {
    if (inIdle) return;
    if (updatePending.exchange(0, std::memory_order_relaxed) != 0) update();
    if (frame != nullptr) frame->idle();
}

std::int32_t EditorBase::onKeyDown(gui::VstKeyCode& key) {
    return frame != nullptr ? frame->keyDown(key) : -1;
}

std::int32_t EditorBase::onKeyUp(gui::VstKeyCode& key) {
    return frame != nullptr ? frame->keyUp(key) : -1;
}

std::int32_t EditorBase::setKnobMode(std::int32_t mode) {
    gui::setKnobMode(mode);
    return 1;
}

int EditorBase::eventDescriptor() const {
    if (frame == nullptr || frame->getWindow() == nullptr) return -1;
    return frame->getWindow()->eventDescriptor();
}

bool EditorBase::idleFromWindow(std::int32_t periodMs) {
    if (frame == nullptr || frame->getWindow() == nullptr) return false;
    return frame->getWindow()->startIdleTimer(periodMs);
}

bool EditorBase::onWheel(float distance) {
    if (frame == nullptr) return false;
    gui::Point origin;
    return frame->wheel(nullptr, origin, distance);
}

void EditorBase::redrawAll() {
    if (frame != nullptr) frame->drawView(nullptr);
}

void EditorBase::pumpIdle() {
    std::uint32_t now = gui::platform::tickCount();
    if (now < nextIdleTime) {
        gui::platform::sleepMs(4);
        now += 4;
        if (now < nextIdleTime - 50) return;
    }
    idle();
    gui::platform::dispatchPendingPaint();
    nextIdleTime = now + 100;
    inIdle = true;
    host_.hostIdle();
    inIdle = false;
}

void EditorBase::beginEdit(std::int32_t tag) {
    host_.beginEdit(tag);
}
void EditorBase::endEdit(std::int32_t tag) {
    host_.endEdit(tag);
}

} // namespace tesk
