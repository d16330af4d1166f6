// The editor on a scaled desktop: the window and the size the host reads grow by
// the scale, the picture is the scale-1 one drawn finer rather than magnified, and
// every click, drag and edit box lands where it does at scale 1.
#include "editor_fixture.h"

#include "gui/controls/fader.h"
#include "gui/controls/overlay_panel.h"
#include "gui/controls/rotary_knob.h"
#include "gui/controls/text_field.h"
#include "gui/platform/software/edit_line.h"

#include <array>
#include <cmath>
#include <numeric>
#include <vector>

namespace tesk::test {
namespace {

using gui::Point;
using gui::Rect;

/// A window's pixels as luminance, one byte a pixel.
struct Gray {
    int width = 0;
    int height = 0;
    std::vector<double> value;
    double at(int x, int y) const { return value[static_cast<std::size_t>(y) * width + x]; }
};

Gray grayOf(const gui::software::PixelSurface& pixels) {
    Gray g{pixels.width(), pixels.height(), {}};
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const gui::Color c = pixels.pixel(x, y);
            g.value.push_back(0.299 * c.red + 0.587 * c.green + 0.114 * c.blue);
        }
    return g;
}

Gray nearestDouble(const Gray& small) {
    Gray g{small.width * 2, small.height * 2, {}};
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x)
            g.value.push_back(small.at(x / 2, y / 2));
    return g;
}

// Each pixel of the doubled picture samples the small one at its own centre.
Gray bilinearDouble(const Gray& small) {
    Gray g{small.width * 2, small.height * 2, {}};
    for (int y = 0; y < g.height; ++y)
        for (int x = 0; x < g.width; ++x) {
            const double sx = std::clamp((x + 0.5) / 2 - 0.5, 0.0, small.width - 1.0);
            const double sy = std::clamp((y + 0.5) / 2 - 0.5, 0.0, small.height - 1.0);
            const int x0 = static_cast<int>(sx), y0 = static_cast<int>(sy);
            const int x1 = std::min(x0 + 1, small.width - 1),
                      y1 = std::min(y0 + 1, small.height - 1);
            const double fx = sx - x0, fy = sy - y0;
            const double top = small.at(x0, y0) * (1 - fx) + small.at(x1, y0) * fx;
            const double bottom = small.at(x0, y1) * (1 - fx) + small.at(x1, y1) * fx;
            g.value.push_back(top * (1 - fy) + bottom * fy);
        }
    return g;
}

/// The mean width, in pixels, of the edges in `areas` of `g`: along each row, every
/// monotonic run that rises or falls by at least kEdgeContrast counts the pixels
/// lying strictly inside its 10 %..90 % band. A crisp edge has none of them; a
/// magnified one has at least as many as the factor.
constexpr double kEdgeContrast = 40.0;

void addEdgeWidths(const Gray& g, const Rect& area, std::vector<int>& widths) {
    for (int y = area.top; y < area.bottom; ++y) {
        int start = area.left;
        while (start + 1 < area.right) {
            // A run starts at the first change and goes on while nothing turns back;
            // the steps of a magnified picture stay inside it.
            const double sign = g.at(start + 1, y) - g.at(start, y);
            if (sign == 0) {
                ++start;
                continue;
            }
            int end = start + 1;
            while (end + 1 < area.right && (g.at(end + 1, y) - g.at(end, y)) * sign >= 0)
                ++end;
            const double from = g.at(start, y), to = g.at(end, y);
            if (std::abs(to - from) >= kEdgeContrast) {
                const double low = std::min(from, to) + 0.1 * std::abs(to - from);
                const double high = std::max(from, to) - 0.1 * std::abs(to - from);
                int inside = 0;
                for (int x = start; x <= end; ++x)
                    inside += g.at(x, y) > low && g.at(x, y) < high ? 1 : 0;
                widths.push_back(inside);
            }
            start = end;
        }
    }
}

double meanEdgeWidth(const Gray& g, const std::vector<Rect>& areas) {
    std::vector<int> widths;
    for (const Rect& area : areas)
        addEdgeWidths(g, area, widths);
    if (widths.empty()) return 0.0;
    return std::accumulate(widths.begin(), widths.end(), 0.0) / static_cast<double>(widths.size());
}

/// Rows of `area` holding any pixel unlike the area's top-left one: the text's height.
int inkRows(const gui::software::PixelSurface& pixels, const Rect& area) {
    const gui::Color back = pixels.pixel(area.left, area.top);
    int first = area.bottom, last = area.top - 1;
    for (int y = area.top; y < area.bottom; ++y)
        for (int x = area.left; x < area.right; ++x)
            if (!pixels.pixel(x, y).sameRgb(back)) {
                first = std::min(first, y);
                last = std::max(last, y);
            }
    return last - first + 1;
}

class EditorScaleTest : public EditorTest {
  protected:
    /// Opens the editor on a desktop scaled by `factor`.
    void openAt(double factor) {
        gui::headless::setDesktopScale(factor);
        openEditor();
    }
    void close() { effect->dispatch(effEditClose, 0, 0, nullptr, 0.0f); }
    /// A new effect holding program `program` as its factory made it.
    void freshEffect(std::int32_t program) {
        TearDown();
        SetUp();
        effect->dispatch(effSetProgram, 0, program, nullptr, 0.0f);
    }
    /// What effEditGetRect answers: width and height.
    std::pair<int, int> hostSize() {
        EditorRect* rect = nullptr;
        effect->dispatch(effEditGetRect, 0, 0, &rect, 0.0f);
        return {rect->right - rect->left, rect->bottom - rect->top};
    }
    gui::Scale scale() const { return editor().getFrame()->scale(); }
    /// The window pixel at the middle of editor pixel `p`.
    Point onWindow(Point p) const {
        const Point first = scale().toWindow(p);
        const Point next = scale().toWindow(Point{p.x + 1, p.y + 1});
        return {(first.x + next.x - 1) / 2, (first.y + next.y - 1) / 2};
    }
    /// Presses at `from`, moves through `path` and releases at its end (window pixels);
    /// the button is still down at the last point when it is read there.
    void drag(Point from, const std::vector<Point>& path) {
        std::vector<gui::headless::InputStep> steps{{gui::kPrimaryButton, from},
                                                    {gui::kPrimaryButton, from}};
        for (Point p : path)
            steps.push_back({gui::kPrimaryButton, p});
        steps.push_back({gui::kPrimaryButton, path.back()});
        steps.push_back({0, path.back()});
        gui::headless::scriptInput(steps);
        window().buttonDown(from);
        gui::headless::setInput(0, path.back());
        idle();
    }
};

Rect sizeOf(const gui::View* view) {
    Rect r;
    view->getViewSize(r);
    return r;
}

Point centre(const gui::View* view) {
    const Rect r = sizeOf(view);
    return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

TEST_F(EditorScaleTest, TheWindowAndTheSizeTheHostReadsGrowByTheDesktopsScale) {
    // Factors between the three the artwork has go to the nearest, ties upwards.
    const struct {
        double desktop;
        int width, height;
    } cases[] = {{1.0, 384, 530},  {2.0, 768, 1060},  {1.5, 576, 795},  {1.24, 384, 530},
                 {1.25, 576, 795}, {1.75, 768, 1060}, {3.0, 768, 1060}, {0.5, 384, 530}};
    for (const auto& c : cases) {
        gui::headless::setDesktopScale(c.desktop);
        EXPECT_EQ(hostSize(), std::make_pair(c.width, c.height)) << c.desktop << " before opening";
        openEditor();
        EXPECT_EQ(window().pixels().width(), c.width) << c.desktop;
        EXPECT_EQ(window().pixels().height(), c.height) << c.desktop;
        // A desktop changing its scale while the editor is open changes nothing until
        // the next opening: the host has sized its window already.
        gui::headless::setDesktopScale(1.0);
        EXPECT_EQ(hostSize(), std::make_pair(c.width, c.height)) << c.desktop << " while open";
        close();
    }
}

TEST_F(EditorScaleTest, TheHostsScaleOverridesTheDesktops) {
    gui::headless::setDesktopScale(2.0);
    ASSERT_TRUE(effect->editor->setHostScale(1.0));
    EXPECT_EQ(hostSize(), std::make_pair(384, 530));
    ASSERT_TRUE(effect->editor->setHostScale(1.5));
    openEditor();
    EXPECT_EQ(window().pixels().width(), 576);
}

TEST_F(EditorScaleTest, AtTwoThePictureIsTheScaleOnePictureDrawnFiner) {
    effect->dispatch(effSetProgram, 0, 8, nullptr, 0.0f);
    openAt(1.0);
    const gui::software::PixelSurface one = window().pixels();
    close();
    openAt(2.0);
    const gui::software::PixelSurface& two = window().pixels();
    ASSERT_EQ(two.width(), 768);
    ASSERT_EQ(two.height(), 1060);

    // Where the scale-1 picture is flat (a pixel and its eight neighbours alike),
    // the scale-2 picture shows the same colour in its four pixels.
    int flat = 0;
    int matching = 0;
    for (int y = 1; y + 1 < one.height(); ++y)
        for (int x = 1; x + 1 < one.width(); ++x) {
            const gui::Color c = one.pixel(x, y);
            bool isFlat = true;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    isFlat = isFlat && one.pixel(x + dx, y + dy).sameRgb(c);
            if (!isFlat) continue;
            ++flat;
            bool same = true;
            for (int k = 0; k < 4; ++k) {
                const gui::Color d = two.pixel(2 * x + k % 2, 2 * y + k / 2);
                same = same && std::abs(d.red - c.red) <= 6 && std::abs(d.green - c.green) <= 6 &&
                       std::abs(d.blue - c.blue) <= 6;
            }
            matching += same ? 1 : 0;
        }
    ASSERT_GT(flat, 5000);
    EXPECT_GT(matching, flat * 97 / 100) << matching << " of " << flat << " flat pixels";

    // The info panel's texts, drawn by the font renderer: at scale 2 their edges
    // are narrower (in window pixels) than in either magnification of scale 1. The
    // cells are measured inside their one-pixel margins.
    std::vector<Rect> cells;
    for (int i = 0; i < DelayEditor::kNumInfoLabels; ++i) {
        const Rect r = sizeOf(editor().infoLabel(static_cast<DelayEditor::InfoLabel>(i)));
        cells.push_back({2 * r.left + 2, 2 * r.top + 2, 2 * r.right - 2, 2 * r.bottom - 2});
    }
    const Gray gray1 = grayOf(one);
    const double drawn = meanEdgeWidth(grayOf(two), cells);
    const double nearest = meanEdgeWidth(nearestDouble(gray1), cells);
    const double bilinear = meanEdgeWidth(bilinearDouble(gray1), cells);
    RecordProperty("edge_width_scale2", std::to_string(drawn));
    RecordProperty("edge_width_nearest", std::to_string(nearest));
    RecordProperty("edge_width_bilinear", std::to_string(bilinear));
    std::printf("info panel edge width (window pixels): drawn at 2 %.3f, nearest %.3f, "
                "bilinear %.3f\n",
                drawn, nearest, bilinear);
    EXPECT_GT(drawn, 0.0) << "no text edges found";
    // The lettering itself is twice as tall, rendered at the doubled size.
    for (const Rect& cell : cells) {
        const int inkOne =
            inkRows(one, {cell.left / 2, cell.top / 2, cell.right / 2, cell.bottom / 2});
        const int inkTwo = inkRows(two, cell);
        EXPECT_GT(inkOne, 4);
        EXPECT_NEAR(inkTwo, 2 * inkOne, 2) << "text rows in the cell at " << cell.left;
    }
    EXPECT_LT(drawn, nearest * 0.8);
    EXPECT_LT(drawn, bilinear * 0.5);
}

TEST_F(EditorScaleTest, EveryControlIsHitAtItsScaledRectangle) {
    for (double factor : {1.5, 2.0}) {
        openAt(factor);
        gui::Frame* frame = editor().getFrame();
        for (std::int32_t i = 0; i < frame->getViewCount(); ++i) {
            gui::View* view = frame->getView(i);
            const Rect r = sizeOf(view);
            // The inside corners and the middle, one editor pixel in from the shared edges.
            for (Point p : {Point{r.left + 1, r.top + 1}, Point{r.right - 1, r.top + 1},
                            Point{r.left + 1, r.bottom - 1}, Point{r.right - 1, r.bottom - 1},
                            centre(view)}) {
                gui::headless::setInput(0, onWindow(p));
                EXPECT_EQ(frame->viewUnderCursor(), view)
                    << factor << " view " << i << " at " << p.x << "," << p.y;
            }
        }
        close();
    }
}

// One click at the middle of each control in turn, from program 8: the host hears the
// same changes at every scale.
TEST_F(EditorScaleTest, ClicksOnEveryControlChangeWhatTheyChangeAtScaleOne) {
    std::vector<std::vector<std::pair<std::int32_t, float>>> heard;
    for (double factor : {1.0, 1.5, 2.0}) {
        freshEffect(8);
        openAt(factor);
        gui::Frame* frame = editor().getFrame();
        for (std::int32_t i = 0; i < frame->getViewCount(); ++i) {
            gui::View* view = frame->getView(i);
            if (dynamic_cast<gui::OverlayPanel*>(view) != nullptr) continue; // the about page
            click(onWindow(centre(view)));
            idle();
        }
        heard.push_back(automation());
        close();
    }
    ASSERT_GT(heard[0].size(), 20u);
    EXPECT_EQ(heard[1], heard[0]) << "at 1.5";
    EXPECT_EQ(heard[2], heard[0]) << "at 2";
}

// Drags in editor pixels, the same length relative to the window at every scale
// (even lengths, whole window pixels at 1.5 too).
TEST_F(EditorScaleTest, KnobAndFaderDragsGiveTheSameValuesAsAtScaleOne) {
    struct Drag {
        ParamKind kind;
        int line;
        std::int32_t knobMode; // 2 linear, 0 circular
        Point by;              // editor pixels from the control's middle
    };
    const Drag drags[] = {
        {ParamKind::FeedBack, 0, 2, {0, -38}},   {ParamKind::Volume, 1, 2, {14, 6}},
        {ParamKind::Saturation, 2, 0, {-8, 10}}, {ParamKind::CrossFrequency, 3, 0, {10, -2}},
        {ParamKind::Pan, 0, 0, {26, 0}},         {ParamKind::Pan, 3, 0, {-34, 4}}};
    for (const Drag& d : drags) {
        std::vector<float> values;
        float before = 0.0f;
        for (double factor : {1.0, 1.5, 2.0}) {
            freshEffect(8);
            effect->dispatch(effSetEditKnobMode, 0, d.knobMode, nullptr, 0.0f);
            openAt(factor);
            gui::Control* control = nullptr;
            const auto& c = editor().lineControls(d.line);
            const std::array<gui::Control*, 5> candidates{
                c.feedbackKnob, c.volumeKnob, c.saturationKnob, c.crossKnob, c.panSlider};
            for (gui::Control* candidate : candidates)
                if (candidate->getTag() == parameterIndex(d.kind, d.line)) control = candidate;
            ASSERT_NE(control, nullptr);
            Point start = centre(control);
            if (d.kind == ParamKind::Pan) {
                // A fader is taken by its handle.
                const Rect r = sizeOf(control);
                const float pan = control->getValue();
                start = {r.left + 1 + static_cast<int>((r.right - r.left - 11) * pan) + 5,
                         r.top + 10};
            }
            const Point from = scale().toWindow(start);
            std::vector<Point> path;
            for (int step = 1; step <= 4; ++step)
                path.push_back({from.x + scale().toWindow(d.by.x * step / 4),
                                from.y + scale().toWindow(d.by.y * step / 4)});
            before = control->getValue();
            drag(from, path);
            values.push_back(parameter(d.kind, d.line));
            close();
        }
        EXPECT_NE(values[0], before) << static_cast<int>(d.kind) << ": the drag moved nothing";
        EXPECT_FLOAT_EQ(values[1], values[0]) << static_cast<int>(d.kind) << " at 1.5";
        EXPECT_FLOAT_EQ(values[2], values[0]) << static_cast<int>(d.kind) << " at 2";
    }
}

TEST_F(EditorScaleTest, TheTempoFieldsEditBoxSitsOverTheFieldInScaledLettering) {
    openAt(1.0);
    click(centre(editor().lineControls(0).tempoField));
    ASSERT_NE(gui::headless::activeEditBox(), nullptr);
    const gui::platform::EditBoxStyle one = gui::headless::activeEditBox()->style();
    close();
    openAt(2.0);
    click(onWindow(centre(editor().lineControls(0).tempoField)));
    ASSERT_NE(gui::headless::activeEditBox(), nullptr);
    const gui::platform::EditBoxStyle two = gui::headless::activeEditBox()->style();
    EXPECT_EQ(two.area.left, 2 * one.area.left);
    EXPECT_EQ(two.area.top, 2 * one.area.top);
    EXPECT_EQ(two.area.right, 2 * one.area.right);
    EXPECT_EQ(two.area.bottom, 2 * one.area.bottom);
    EXPECT_EQ(two.font.height, 2 * one.font.height);
    // Typing there reaches the parameter as at scale 1.
    gui::headless::HeadlessEditBox* box = gui::headless::activeEditBox();
    box->pressKey(gui::software::EditKey::backspace);
    box->type("140");
    box->pressReturn();
    idle();
    EXPECT_EQ(tempo(0), 140.0f);
}

} // namespace
} // namespace tesk::test
