// What a full redraw of the editor-sized window costs: the background copy alone, and
// with a grid of labels drawing a frame and text each, as the editor's displays do.
#include "gui/bitmap.h"
#include "gui/draw_context.h"
#include "gui/frame.h"
#include "gui/platform/headless/headless.h"

#include <benchmark/benchmark.h>

#include <cstdio>

namespace {

constexpr gui::Rect kWindow{0, 0, 384, 530};
constexpr std::int32_t kBackground = 1010;

/// A text display like the editor's value labels: filled, outlined, one line of text.
class Label : public gui::View {
  public:
    explicit Label(const gui::Rect& size) : View(size) {}
    void draw(gui::DrawContext* ctx) override {
        ctx->setFillColor({20, 24, 32, 0});
        ctx->setLineColor({90, 100, 120, 0});
        ctx->fillRect(size);
        ctx->outlineRect(size);
        ctx->setFont(3);
        ctx->setTextColor({230, 230, 230, 0});
        char text[32];
        std::snprintf(text, sizeof text, "%d.%02d dB", size.left, size.top % 100);
        ctx->drawText(text, size, false, 1);
        setDirty(false);
    }
};

/// A frame of the editor's size with the background picture.
struct Window {
    explicit Window(int labels) {
        auto* background = new gui::Bitmap(kBackground);
        frame.setBackground(background);
        background->forget();
        for (int i = 0; i < labels; ++i) {
            const std::int32_t x = 8 + (i % 4) * 94;
            const std::int32_t y = 8 + (i / 4) * 50;
            frame.addView(new Label({x, y, x + 84, y + 18}));
        }
    }
    gui::Frame frame{kWindow, gui::headless::parentWindow(), nullptr};
};

void BM_FullRedrawBackground(benchmark::State& state) {
    Window window(0);
    for (auto _ : state)
        window.frame.drawView(nullptr);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FullRedrawBackground);

void BM_FullRedrawBackgroundAndLabels(benchmark::State& state) {
    Window window(40);
    for (auto _ : state)
        window.frame.drawView(nullptr);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FullRedrawBackgroundAndLabels);

} // namespace
