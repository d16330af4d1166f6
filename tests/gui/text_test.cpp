// Text placement, checked by the box around its ink rather than by glyph pixels, and
// the font table's rules, checked by comparing what different requests draw.
#include "gui_test_support.h"

#include <limits>
#include <string>

namespace gui::test {
namespace {

class TextTest : public HeadlessTest {
  protected:
    /// Draws `text` white on black into a fresh 200 × 80 surface and returns its pixels.
    static std::vector<std::uint8_t> render(const char* text, const Rect& box, std::int32_t align,
                                            std::int32_t font, std::int32_t size,
                                            std::int32_t style) {
        OffscreenContext c(nullptr, 200, 80, kBlack);
        c.setTextColor(kWhite);
        c.setFont(font, size, style);
        c.drawText(text, box, false, align);
        return headless::pixelsOf(*c.getSurface()).rgb();
    }

    Rect inkOf(const char* text, const Rect& box, std::int32_t align = 1, std::int32_t size = 0) {
        OffscreenContext c(nullptr, 200, 80, kBlack);
        c.setTextColor(kWhite);
        c.setFont(3, size);
        c.drawText(text, box, false, align);
        return inkBox(*c.getSurface(), kBlack);
    }
};

TEST_F(TextTest, TextIsCentredVertically) {
    const Rect ink = inkOf("HHHH", {0, 0, 200, 40});
    ASSERT_GT(ink.bottom, ink.top);
    EXPECT_NEAR((ink.top + ink.bottom) / 2.0, 20.0, 3.0);
    // Moving the rectangle's middle by 10 moves the ink by 10, whatever the glyphs.
    const Rect taller = inkOf("HHHH", {0, 0, 200, 60});
    const Rect lower = inkOf("HHHH", {0, 10, 200, 50});
    EXPECT_EQ(taller.top, ink.top + 10);
    EXPECT_EQ(lower.top, ink.top + 10);
    EXPECT_EQ(lower.bottom, ink.bottom + 10);
}

TEST_F(TextTest, AlignmentPlacesTheLineHorizontally) {
    const Rect box{10, 0, 190, 40};
    const Rect left = inkOf("Hello", box, 0);
    const Rect centred = inkOf("Hello", box, 1);
    const Rect right = inkOf("Hello", box, 2);
    EXPECT_GE(left.left, 11);
    EXPECT_LE(left.left, 13);
    EXPECT_NEAR((centred.left + centred.right) / 2.0, 100.0, 2.0);
    EXPECT_LE(right.right, 190);
    EXPECT_GE(right.right, 187);
    EXPECT_EQ(left.right - left.left, right.right - right.left);
}

TEST_F(TextTest, UnknownAlignmentIsLeftWithTheOnePixelIndent) {
    const Rect box{10, 0, 190, 40};
    EXPECT_EQ(render("Hello", box, 5, 3, 0, 0), render("Hello", box, 0, 3, 0, 0));
    EXPECT_EQ(render("Hello", box, -1, 3, 0, 0), render("Hello", box, 0, 3, 0, 0));
    // Left alignment starts one pixel in: it meets right alignment exactly when the
    // rectangle is one pixel wider than the text.
    int matches = 0;
    for (std::int32_t width = 1; width < 150; ++width) {
        const Rect narrow{10, 0, 10 + width, 40};
        if (render("Hello", narrow, 0, 3, 0, 0) == render("Hello", narrow, 2, 3, 0, 0)) {
            ++matches;
            EXPECT_GT(width, 20);
        }
    }
    EXPECT_EQ(matches, 1);
}

TEST_F(TextTest, TextIsClippedToItsRectangle) {
    const Rect box{20, 10, 40, 20};
    for (const std::int32_t align : {0, 1, 2}) {
        const Rect ink = inkOf("WWWWWWWWWWWWWW", box, align, 30);
        EXPECT_GE(ink.left, 20);
        EXPECT_LE(ink.right, 40);
        EXPECT_GE(ink.top, 10);
        EXPECT_LE(ink.bottom, 20);
        EXPECT_GT(ink.right - ink.left, 10);
    }
}

TEST_F(TextTest, OpaqueTextFillsItsCellsFirst) {
    OffscreenContext c(nullptr, 200, 80, kBlack);
    c.setFillColor(kRed);
    c.setFont(3);
    c.drawText("ab", {0, 0, 200, 40}, false, 1);
    EXPECT_EQ(countOf(*c.getSurface(), kRed), 0);
    c.drawText("ab", {0, 0, 200, 40}, true, 1);
    const Rect cells = boxOf(*c.getSurface(), kRed);
    // The cells are one line of the 12-pixel font, centred, and the glyphs lie on them.
    EXPECT_GE(cells.bottom - cells.top, 12);
    EXPECT_LE(cells.bottom - cells.top, 16);
    EXPECT_NEAR((cells.top + cells.bottom) / 2.0, 20.0, 1.0);
    const Rect ink = inkBox(*c.getSurface(), kBlack);
    EXPECT_EQ(ink.left, cells.left);
    EXPECT_EQ(ink.top, cells.top);
    EXPECT_EQ(ink.bottom, cells.bottom);
}

TEST_F(TextTest, FontIndexOutsideTheTableIsTheBoldFirstFont) {
    OffscreenContext c(nullptr, 10, 10, kBlack);
    c.setFont(9, 0, 0);
    EXPECT_EQ(c.getFontIndex(), 0);
    EXPECT_EQ(c.getFontSize(), 12);
    c.setFont(7, 0, 1);
    EXPECT_EQ(c.getFontSize(), 13);
    const Rect box{0, 0, 200, 40};
    EXPECT_EQ(render("Font", box, 1, 9, 0, 0), render("Font", box, 1, 3, 12, 1));
    EXPECT_EQ(render("Font", box, 1, -4, 0, 0), render("Font", box, 1, 0, 0, 0));
}

TEST_F(TextTest, FirstFontIsAlwaysBold) {
    const Rect box{0, 0, 200, 40};
    EXPECT_EQ(render("Bold", box, 1, 0, 20, 0), render("Bold", box, 1, 3, 20, 1));
    EXPECT_NE(render("Bold", box, 1, 0, 20, 0), render("Bold", box, 1, 3, 20, 0));
}

TEST_F(TextTest, ItalicAndUnderlineChangeTheInk) {
    const Rect box{0, 0, 200, 40};
    const auto plain = render("Style", box, 1, 3, 20, 0);
    EXPECT_NE(render("Style", box, 1, 3, 20, 2), plain);
    OffscreenContext plainCtx(nullptr, 200, 80, kBlack);
    OffscreenContext underlined(nullptr, 200, 80, kBlack);
    plainCtx.setFont(3, 20, 0);
    underlined.setFont(3, 20, 4);
    plainCtx.setTextColor(kWhite);
    underlined.setTextColor(kWhite);
    plainCtx.drawText("ace", box);
    underlined.drawText("ace", box);
    const Rect a = inkBox(*plainCtx.getSurface(), kBlack);
    const Rect b = inkBox(*underlined.getSurface(), kBlack);
    EXPECT_GT(b.bottom, a.bottom) << "the underline lies below letters without descenders";
    EXPECT_GT(countInk(*underlined.getSurface(), kBlack), countInk(*plainCtx.getSurface(), kBlack));
}

TEST_F(TextTest, SizeIsTheGlyphHeightNotTheCellHeight) {
    OffscreenContext c(nullptr, 200, 200, kBlack);
    c.setTextColor(kWhite);
    c.setFont(3, 100);
    c.drawText("H", {0, 0, 200, 200});
    const Rect ink = inkBox(*c.getSurface(), kBlack);
    // A capital H is about 0.69 of the em in Arial's metrics; a cell height of 100
    // would give about 0.65.
    EXPECT_GE(ink.bottom - ink.top, 67);
    EXPECT_LE(ink.bottom - ink.top, 71);
}

TEST_F(TextTest, SymbolFontAndWindowsCharactersDrawInk) {
    EXPECT_GT(inkOf("abc", {0, 0, 200, 40}).right, 0);
    OffscreenContext c(nullptr, 200, 80, kBlack);
    c.setTextColor(kWhite);
    c.setFont(7);
    c.drawText("abc", {0, 0, 200, 40});
    EXPECT_GT(countInk(*c.getSurface(), kBlack), 0);
    EXPECT_GT(inkOf("\x80", {0, 0, 200, 40}).right, 0) << "byte 0x80 is the euro sign";
}

TEST_F(TextTest, NullHugeAndOversizedTextStayInside) {
    OffscreenContext c(nullptr, 50, 20, kBlack);
    c.setTextColor(kWhite);
    c.setFillColor(kRed);
    c.drawText(nullptr, {0, 0, 50, 20}, true);
    EXPECT_EQ(countInk(*c.getSurface(), kBlack), 0);
    const std::string huge(200000, 'M');
    c.drawText(huge.c_str(), {5, 5, 45, 15}, true, 2);
    c.setFont(3, 1000000);
    c.drawText("M", {5, 5, 45, 15}, false, 1);
    c.setFont(3, std::numeric_limits<std::int32_t>::min());
    c.drawText(huge.c_str(), {5, 5, 45, 15}, false, 0);
    const Rect ink = inkBox(*c.getSurface(), kBlack);
    EXPECT_GE(ink.left, 5);
    EXPECT_LE(ink.right, 45);
    EXPECT_GE(ink.top, 5);
    EXPECT_LE(ink.bottom, 15);
}

} // namespace
} // namespace gui::test
