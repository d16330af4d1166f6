#include "gui/platform/headless/headless.h"

#include "gui/platform/software/png_image.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <memory>

namespace gui::headless {
namespace {

// The clock starts well above 0: the controls take a tick count of 0 for "no click yet".
constexpr std::uint32_t kFirstTick = 1000;
constexpr std::int32_t kDefaultDoubleClickTime = 500;
// Dropped file paths travel in buffers of this size, as the native drop delivers them.
constexpr std::size_t kDropPathSize = 1024;

struct InputState {
    std::deque<InputStep> script;
    InputStep current;
    std::uint32_t ticks = kFirstTick;
    std::int32_t doubleClickTime = kDefaultDoubleClickTime;
    double desktopScale = 1.0;
};

InputState& input() {
    thread_local InputState state;
    return state;
}

std::vector<HeadlessWindow*>& liveWindows() {
    thread_local std::vector<HeadlessWindow*> windows;
    return windows;
}

std::vector<HeadlessEditBox*>& openEditBoxes() {
    thread_local std::vector<HeadlessEditBox*> boxes;
    return boxes;
}

// Any non-null handle will do as a parent; this one has a recognisable address.
char parentToken;

} // namespace

// ---- Window ----------------------------------------------------------------------

HeadlessWindow::HeadlessWindow(const Rect& size, Frame* frame)
    : Window(frame), pixels_(size.width(), size.height(), nullptr),
      pending_(Rect{0, 0, pixels_.width(), pixels_.height()}) {
    liveWindows().push_back(this);
}

HeadlessWindow::~HeadlessWindow() {
    std::erase(liveWindows(), this);
}

void HeadlessWindow::invalidate(const Rect& area) {
    if (destroyed_) return;
    pending_ = pending_ ? unite(*pending_, area) : area;
}

bool HeadlessWindow::paintPending() {
    if (destroyed_ || !pending_) return false;
    platform::WindowEvent event;
    event.kind = platform::WindowEvent::Kind::paint;
    event.area = *pending_;
    event.surface = &pixels_;
    pending_.reset();
    deliver(event);
    // Edit boxes are child windows: they stay on top of whatever the frame painted.
    for (HeadlessEditBox* box : openEditBoxes()) {
        if (&box->window() == this) box->paint(pixels_);
    }
    return true;
}

void HeadlessWindow::paintAll() {
    invalidate({0, 0, pixels_.width(), pixels_.height()});
    paintPending();
}

void HeadlessWindow::buttonDown(Point where) {
    if (destroyed_) return;
    platform::WindowEvent event;
    event.kind = platform::WindowEvent::Kind::buttonDown;
    event.where = where;
    // The press holds what the script will report first, without taking that step.
    const InputState& state = input();
    event.buttons = state.script.empty() ? state.current.buttons : state.script.front().buttons;
    event.screen = {origin_.x + where.x, origin_.y + where.y};
    event.time = platform::tickCount();
    deliver(event);
}

void HeadlessWindow::destroy() {
    if (destroyed_) return;
    destroyed_ = true;
    pending_.reset();
    deliverDestroy();
}

bool HeadlessWindow::dropOnLiveWindow(void** items, std::int32_t count, std::int32_t kind) {
    return !destroyed_ && deliverDrop(items, count, kind);
}

bool HeadlessWindow::dropFiles(const std::vector<std::string>& paths) {
    std::vector<std::unique_ptr<char[]>> buffers;
    std::vector<void*> items;
    for (const std::string& path : paths) {
        auto buffer = std::make_unique<char[]>(kDropPathSize);
        std::strncpy(buffer.get(), path.c_str(), kDropPathSize - 1);
        items.push_back(buffer.get());
        buffers.push_back(std::move(buffer));
    }
    return dropOnLiveWindow(items.data(), static_cast<std::int32_t>(items.size()), 0);
}

bool HeadlessWindow::dropText(const std::string& text) {
    std::vector<char> buffer(text.begin(), text.end());
    buffer.push_back('\0');
    void* item = buffer.data();
    return dropOnLiveWindow(&item, static_cast<std::int32_t>(buffer.size()), 1);
}

bool HeadlessWindow::savePng(const char* path) const {
    return writePng(path, {pixels_.width(), pixels_.height(), pixels_.rgb()});
}

void* parentWindow() {
    return &parentToken;
}

HeadlessWindow* windowOf(platform::Window* window) {
    return static_cast<HeadlessWindow*>(window);
}

const software::PixelSurface& pixelsOf(const platform::Surface& surface) {
    return static_cast<const software::PixelSurface&>(surface);
}

// ---- Edit box ----------------------------------------------------------------------

HeadlessEditBox::HeadlessEditBox(HeadlessWindow& window, const platform::EditBoxStyle& style,
                                 const char* text, platform::EditBoxListener& listener)
    : SoftwareEditBox(style, text, listener), window_(window) {
    openEditBoxes().push_back(this);
    changed();
}

HeadlessEditBox::~HeadlessEditBox() {
    std::erase(openEditBoxes(), this);
    // What the box covered is painted again by the window, as a native window does.
    window_.invalidate(style().area);
}

HeadlessEditBox* activeEditBox() {
    return openEditBoxes().empty() ? nullptr : openEditBoxes().back();
}

// ---- Scripted input ----------------------------------------------------------------

void setInput(ButtonState buttons, Point cursor) {
    input().script.clear();
    input().current = {buttons, cursor};
}

void scriptInput(std::vector<InputStep> steps) {
    input().script.assign(steps.begin(), steps.end());
}

std::size_t pendingInputSteps() {
    return input().script.size();
}

void advanceTicks(std::uint32_t milliseconds) {
    input().ticks += milliseconds;
}

void setDoubleClickTime(std::int32_t milliseconds) {
    input().doubleClickTime = milliseconds;
}

void setDesktopScale(double factor) {
    input().desktopScale = factor;
}

void resetInput() {
    input() = InputState{};
}

} // namespace gui::headless

namespace gui::platform {

std::unique_ptr<Window> Window::create(void* parent, const Rect& size, Frame* frame) {
    if (parent == nullptr) return nullptr;
    return std::make_unique<headless::HeadlessWindow>(size, frame);
}

std::unique_ptr<EditBox> EditBox::create(Window& window, const EditBoxStyle& style,
                                         const char* text, EditBoxListener& listener) {
    return std::make_unique<headless::HeadlessEditBox>(*headless::windowOf(&window), style, text,
                                                       listener);
}

ButtonState readButtons() {
    auto& state = headless::input();
    if (!state.script.empty()) {
        state.current = state.script.front();
        state.script.pop_front();
    }
    return state.current.buttons;
}

Point readCursor() {
    return headless::input().current.cursor;
}

std::uint32_t tickCount() {
    return headless::input().ticks;
}

std::int32_t doubleClickTime() {
    return headless::input().doubleClickTime;
}

double desktopScale(void*) {
    return headless::input().desktopScale;
}

void sleepMs(std::int32_t milliseconds) {
    // Sleeping moves the clock instead of the test's wall time.
    if (milliseconds > 0) headless::advanceTicks(static_cast<std::uint32_t>(milliseconds));
}

bool dispatchPendingPaint() {
    for (headless::HeadlessWindow* window : headless::liveWindows()) {
        if (window->paintPending()) return true;
    }
    return false;
}

} // namespace gui::platform
