#include "gui_test_support.h"

#include <algorithm>

namespace gui::test {

namespace {

template <typename Wanted> Rect boxWhere(const platform::Surface& surface, Wanted wanted) {
    Rect box{surface.width(), surface.height(), 0, 0};
    bool any = false;
    for (std::int32_t y = 0; y < surface.height(); ++y) {
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            if (!wanted(pixelAt(surface, x, y))) continue;
            any = true;
            box = {std::min(box.left, x), std::min(box.top, y), std::max(box.right, x + 1),
                   std::max(box.bottom, y + 1)};
        }
    }
    return any ? box : Rect{};
}

template <typename Wanted> int countWhere(const platform::Surface& surface, Wanted wanted) {
    int count = 0;
    for (std::int32_t y = 0; y < surface.height(); ++y) {
        for (std::int32_t x = 0; x < surface.width(); ++x) {
            count += wanted(pixelAt(surface, x, y)) ? 1 : 0;
        }
    }
    return count;
}

} // namespace

Rect inkBox(const platform::Surface& surface, Color background) {
    return boxWhere(surface, [background](Color c) { return !(c == background); });
}

int countInk(const platform::Surface& surface, Color background) {
    return countWhere(surface, [background](Color c) { return !(c == background); });
}

Rect boxOf(const platform::Surface& surface, Color color) {
    return boxWhere(surface, [color](Color c) { return c == color; });
}

int countOf(const platform::Surface& surface, Color color) {
    return countWhere(surface, [color](Color c) { return c == color; });
}

void RecordingView::draw(DrawContext* ctx) {
    log_.push_back(name_ + ":draw");
    if (ctx != nullptr) {
        ctx->setFillColor(fill);
        Rect area;
        getViewSize(area);
        ctx->fillRect({area.left - 1, area.top - 1, area.right + 1, area.bottom + 1});
    }
    setDirty(false);
}

std::int32_t RecordingView::keyDown(VstKeyCode&) {
    log_.push_back(name_ + ":keyDown");
    return keyAnswer;
}

std::int32_t RecordingView::keyUp(VstKeyCode&) {
    log_.push_back(name_ + ":keyUp");
    return keyAnswer;
}

bool RecordingView::drop(void** items, std::int32_t count, std::int32_t kind, Point& where) {
    log_.push_back(name_ + ":drop" + std::to_string(kind));
    lastWhere = where;
    dropped.clear();
    const std::int32_t n = kind == 0 ? count : 1;
    for (std::int32_t i = 0; i < n; ++i)
        dropped.emplace_back(static_cast<const char*>(items[i]));
    return dropAnswer;
}

bool RecordingView::wheel(DrawContext*, Point& where, float) {
    log_.push_back(name_ + ":wheel");
    lastWhere = where;
    return true;
}

void RecordingView::looseFocus(DrawContext*) {
    log_.push_back(name_ + ":looseFocus");
}

bool RecordingView::removed(View*) {
    log_.push_back(name_ + ":removed");
    return true;
}

bool RecordingView::attached(View*) {
    log_.push_back(name_ + ":attached");
    return true;
}

} // namespace gui::test
