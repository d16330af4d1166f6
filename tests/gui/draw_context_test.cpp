// Pixel coverage of lines, outlines and fills, translation, dotted pens, clipping and
// offscreen surfaces.
#include "gui_test_support.h"

#include <limits>

namespace gui::test {
namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

class DrawContextTest : public HeadlessTest {
  protected:
    // An offscreen context starts with its pen in the background colour.
    void SetUp() override {
        HeadlessTest::SetUp();
        ctx.setLineColor(kWhite);
    }

    OffscreenContext ctx{nullptr, 20, 20, kBlack};

    Color at(std::int32_t x, std::int32_t y) const { return pixelAt(*ctx.getSurface(), x, y); }
    int ink() const { return countInk(*ctx.getSurface(), kBlack); }
};

TEST_F(DrawContextTest, FillRectPaintsOnlyTheInside) {
    ctx.setFillColor(kWhite);
    ctx.fillRect({0, 0, 10, 10});
    for (std::int32_t y = 0; y <= 10; ++y) {
        for (std::int32_t x = 0; x <= 10; ++x) {
            const bool inside = x >= 1 && x <= 9 && y >= 1 && y <= 9;
            EXPECT_EQ(at(x, y) == kWhite, inside) << x << "," << y;
        }
    }
    EXPECT_EQ(ink(), 81);
}

TEST_F(DrawContextTest, OutlineRectCoversBothEdges) {
    ctx.outlineRect({0, 0, 10, 10});
    for (std::int32_t y = 0; y <= 10; ++y) {
        for (std::int32_t x = 0; x <= 10; ++x) {
            const bool edge = x == 0 || x == 10 || y == 0 || y == 10;
            EXPECT_EQ(at(x, y) == kWhite, edge) << x << "," << y;
        }
    }
    EXPECT_EQ(ink(), 40);
}

TEST_F(DrawContextTest, FillThenOutlineCoversTheWholeRectangle) {
    ctx.setFillColor(kRed);
    ctx.setLineColor(kRed);
    ctx.fillRect({2, 3, 12, 9});
    ctx.outlineRect({2, 3, 12, 9});
    EXPECT_EQ(ink(), 11 * 7);
    EXPECT_EQ(inkBox(*ctx.getSurface(), kBlack).left, 2);
    EXPECT_EQ(inkBox(*ctx.getSurface(), kBlack).bottom, 10);
}

TEST_F(DrawContextTest, NewContextDrawsWhiteLinesAndBlackFills) {
    OffscreenContext red(nullptr, 10, 10, kRed);
    red.fillRect({0, 0, 5, 5});
    red.moveTo({0, 8});
    red.lineTo({0, 9});
    EXPECT_EQ(pixelAt(*red.getSurface(), 2, 2), kRed) << "the offscreen's own fill is red";
    DrawContext plain(nullptr, red.getSurface(), nullptr);
    plain.fillRect({0, 0, 5, 5});
    plain.moveTo({0, 8});
    plain.lineTo({0, 9});
    EXPECT_EQ(pixelAt(*red.getSurface(), 2, 2), kBlack);
    EXPECT_EQ(pixelAt(*red.getSurface(), 0, 8), kWhite);
}

TEST_F(DrawContextTest, OffsetTranslatesEveryCoordinate) {
    ctx.offset = {10, 5};
    ctx.moveTo({0, 0});
    ctx.lineTo({5, 0});
    EXPECT_EQ(inkBox(*ctx.getSurface(), kBlack).left, 10);
    EXPECT_EQ(inkBox(*ctx.getSurface(), kBlack).right, 15);
    EXPECT_EQ(inkBox(*ctx.getSurface(), kBlack).top, 5);
    EXPECT_EQ(ink(), 5);
}

TEST_F(DrawContextTest, LinesExcludeTheirEndPointInEveryDirection) {
    const Point ends[] = {{17, 10}, {3, 10}, {10, 17}, {10, 2}, {16, 16}, {4, 15}, {13, 1}};
    for (const Point end : ends) {
        OffscreenContext c(nullptr, 20, 20, kBlack);
        c.setLineColor(kWhite);
        c.moveTo({10, 10});
        c.lineTo(end);
        const auto& s = *c.getSurface();
        EXPECT_EQ(pixelAt(s, 10, 10), kWhite) << end.x << "," << end.y;
        EXPECT_EQ(pixelAt(s, end.x, end.y), kBlack) << end.x << "," << end.y;
        EXPECT_EQ(countInk(s, kBlack), std::max(std::abs(end.x - 10), std::abs(end.y - 10)));
    }
}

TEST_F(DrawContextTest, DottedPenDrawsThreeOnThreeOff) {
    ctx.setLineStyle(1);
    ctx.moveTo({0, 0});
    ctx.lineTo({12, 0});
    for (std::int32_t x = 0; x < 12; ++x)
        EXPECT_EQ(at(x, 0) == kWhite, (x / 3) % 2 == 0) << x;
    ctx.setLineStyle(0);
    ctx.moveTo({0, 2});
    ctx.lineTo({12, 2});
    for (std::int32_t x = 0; x < 12; ++x)
        EXPECT_EQ(at(x, 2), kWhite) << x;
}

TEST_F(DrawContextTest, OffscreenIsClearedToItsBackgroundEdgeToEdge) {
    for (const Color background : {kBlack, kRed}) {
        OffscreenContext c(nullptr, 100, 20, background);
        EXPECT_EQ(c.getWidth(), 100);
        EXPECT_EQ(countInk(*c.getSurface(), background), 0);
    }
}

TEST_F(DrawContextTest, CopyToPlacesTheBlockAtTheTranslatedDestination) {
    OffscreenContext source(nullptr, 6, 6, kRed);
    source.setFillColor(kBlue);
    source.fillRect({1, 1, 6, 6}); // blue from (2, 2) on
    ctx.offset = {3, 4};
    source.offset = {100, 100}; // the source point is never translated
    source.copyTo(ctx, {0, 0, 4, 4}, {2, 2});
    EXPECT_EQ(ink(), 16);
    EXPECT_EQ(at(3, 4), kBlue);
    EXPECT_EQ(at(6, 7), kBlue);
    EXPECT_EQ(at(7, 8), kBlack);
}

TEST_F(DrawContextTest, DrawingPastTheEdgesIsClipped) {
    OffscreenContext c(nullptr, 10, 10, kBlack);
    const auto& s = *c.getSurface();
    c.setFillColor(kRed);
    c.fillRect({-100, -100, 1000, 1000});
    EXPECT_EQ(countInk(s, kRed), 0);

    OffscreenContext lines(nullptr, 10, 10, kBlack);
    lines.setLineColor(kWhite);
    lines.outlineRect({-5, -5, 5, 5});
    EXPECT_EQ(countInk(*lines.getSurface(), kBlack), 11);
    lines.moveTo({kMin, 8});
    lines.lineTo({kMax, 8});
    EXPECT_EQ(countInk(*lines.getSurface(), kBlack), 21);
    lines.moveTo({-1000000000, -1000000000});
    lines.lineTo({1000000000, 1000000000});
    EXPECT_EQ(pixelAt(*lines.getSurface(), 9, 9), kWhite);
    EXPECT_EQ(pixelAt(*lines.getSurface(), 8, 9), kBlack);

    lines.offset = {kMax, kMin};
    lines.fillRect({kMax, kMin, kMax, kMin});
    lines.outlineRect({0, 0, kMax, kMax});
    lines.drawText("far away", {0, 0, 100, 100});
    EXPECT_EQ(countInk(*lines.getSurface(), kBlack), 29);
}

TEST_F(DrawContextTest, ContextWithoutSurfaceDrawsNothing) {
    DrawContext nowhere(nullptr, nullptr, nullptr);
    nowhere.fillRect({0, 0, 10, 10});
    nowhere.outlineRect({0, 0, 10, 10});
    nowhere.drawText("text", {0, 0, 10, 10});
    Bitmap* strip = new Bitmap(1001);
    strip->draw(nowhere, {0, 0, 16, 16});
    strip->forget();
    EXPECT_EQ(nowhere.getSurface(), nullptr);
}

TEST_F(DrawContextTest, EmptyOffscreenAcceptsDrawing) {
    OffscreenContext empty(nullptr, -5, 0, kRed);
    empty.fillRect({0, 0, 10, 10});
    empty.drawText("x", {0, 0, 10, 10});
    EXPECT_EQ(empty.getSurface()->width(), 0);
}

} // namespace
} // namespace gui::test
