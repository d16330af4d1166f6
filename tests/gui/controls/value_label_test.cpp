// The value label: the text it shows, the dirty rule of its setters, and its frames,
// shadow and style bits, read back from the window's pixels.
#include "controls_test_support.h"
#include "gui/controls/value_label.h"

#include <cstring>

namespace gui::test {
namespace {

class ValueLabelTest : public ControlsTest {
  protected:
    ValueLabel* label(const Rect& size, std::int32_t style = 0) {
        return add(new ValueLabel(size, nullptr, style));
    }
    /// The pixels of `area` in the window, row by row.
    std::vector<Color> pixels(const Rect& area) const {
        std::vector<Color> out;
        for (std::int32_t y = area.top; y < area.bottom; ++y)
            for (std::int32_t x = area.left; x < area.right; ++x)
                out.push_back(at(x, y));
        return out;
    }
    /// Number of pixels of `area` for which `wanted` holds.
    template <typename Wanted> int countIn(const Rect& area, Wanted wanted) const {
        int count = 0;
        for (Color c : pixels(area))
            count += wanted(c) ? 1 : 0;
        return count;
    }
    /// Whether the labels at the two areas (same size) show the same pixels.
    bool samePixels(const Rect& a, const Rect& b) const {
        std::vector<Color> first = pixels(a);
        std::vector<Color> second = pixels({b.left, b.top, b.left + a.width(), b.top + a.height()});
        return std::equal(first.begin(), first.end(), second.begin(),
                          [](Color x, Color y) { return x == y; });
    }
};

void writeHalf(float, char* text) {
    std::strcpy(text, "0.50");
}
void writeShort(float, char* text) {
    std::strcpy(text, "0.5");
}
void writeWithData(float, char* text, void* data) {
    std::strcpy(text, static_cast<const char*>(data));
}

TEST_F(ValueLabelTest, WithoutFunctionTheValueShowsWithTwoDecimals) {
    ValueLabel* plain = label({10, 10, 60, 30});
    ValueLabel* written = label({10, 40, 60, 60});
    ValueLabel* other = label({10, 70, 60, 90});
    plain->setValue(0.5f);
    written->setValueToText(writeHalf);
    other->setValueToText(writeShort);
    frame.idle();
    EXPECT_GT(countInk(window.pixels(), kBlack), 50) << "text drawn";
    EXPECT_TRUE(samePixels({10, 10, 61, 31}, {10, 40, 61, 61})) << "0.50";
    EXPECT_FALSE(samePixels({10, 10, 61, 31}, {10, 70, 61, 91}));

    char greeting[] = "0.5";
    written->setValueToTextWithData(writeWithData, greeting);
    written->setDirty(true);
    frame.idle();
    EXPECT_TRUE(samePixels({10, 40, 61, 61}, {10, 70, 61, 91})) << "the data function wins";
}

TEST_F(ValueLabelTest, SettersMarkDirtyOnlyOnARealChange) {
    ValueLabel* l = label({10, 10, 60, 30});
    frame.idle();
    l->setFontColor({255, 255, 255, 7});
    l->setBackColor({0, 0, 0, 1});
    l->setFont(3);
    l->setAlign(1);
    l->setStyle(0);
    l->setTextFace(0);
    EXPECT_FALSE(l->isDirty()) << "the spare byte is never drawn";
    l->setFrameColor({0, 0, 1, 0});
    EXPECT_TRUE(l->isDirty());
    frame.idle();
    l->setShadowColor({0, 255, 0, 0});
    EXPECT_TRUE(l->isDirty());
    frame.idle();
    l->setAlign(2);
    EXPECT_TRUE(l->isDirty());
}

TEST_F(ValueLabelTest, PlainFrameOrEmbossedEdgesInTheColoursOfTheStyle) {
    ValueLabel* plain = label({10, 10, 60, 30}, kLabelNoText);
    ValueLabel* sunken = label({10, 40, 60, 60}, kLabelSunken | kLabelNoText);
    ValueLabel* raised = label({10, 70, 60, 90}, kLabelRaised | kLabelNoText);
    for (ValueLabel* l : {plain, sunken, raised}) {
        l->setBackColor(kGreen);
        l->setFrameColor(kBlue);
    }
    frame.idle();
    EXPECT_EQ(at(10, 20), kBlue);
    EXPECT_EQ(at(60, 20), kBlue);
    EXPECT_EQ(at(30, 20), kGreen);

    EXPECT_EQ(at(10, 50), kGreen) << "sunken: left edge light";
    EXPECT_EQ(at(30, 40), kGreen) << "sunken: top edge light";
    EXPECT_EQ(at(60, 50), kBlue);
    EXPECT_EQ(at(30, 60), kBlue);
    EXPECT_EQ(at(60, 40), kGreen) << "the light edge owns the top-right corner";
    EXPECT_EQ(at(60, 41), kBlue);

    EXPECT_EQ(at(10, 80), kBlue) << "raised: left edge in the frame colour";
    EXPECT_EQ(at(30, 70), kBlue);
    EXPECT_EQ(at(60, 80), kGreen);
    EXPECT_EQ(at(30, 90), kGreen);
}

TEST_F(ValueLabelTest, StyleBitsForShadowNoTextNoDrawAndTransparency) {
    const auto reddish = [](Color c) { return c.red > 0 && c.green == 0 && c.blue == 0; };
    const auto any = [](Color c) { return !(c == kBlack); };
    ValueLabel* shadowed = label({10, 10, 60, 30}, kLabelShadow);
    shadowed->setShadowColor(kRed);
    label({10, 40, 60, 60}); // the same text without a shadow
    ValueLabel* hidden = label({10, 70, 60, 90}, kLabelNoDraw);
    EXPECT_FALSE(hidden->isDirty()) << "clean from the start";
    ValueLabel* bare = label({100, 10, 150, 30}, kLabelNoText);
    bare->setBackColor(kGreen);
    ValueLabel* seeThrough = label({100, 40, 150, 60});
    seeThrough->setTransparency(true);
    seeThrough->setBackColor(kGreen);
    seeThrough->setFontColor(kBlue);
    hidden->setValue(0.7f);
    frame.idle();

    EXPECT_GT(countIn({10, 10, 62, 32}, reddish), 10) << "shadow one pixel right and down";
    EXPECT_EQ(countIn({10, 40, 62, 62}, reddish), 0);
    EXPECT_EQ(countIn({10, 70, 61, 91}, any), 0) << "0x1000 draws nothing at all";
    EXPECT_EQ(countIn({100, 10, 151, 31}, [](Color c) { return c == kWhite; }), 0);
    EXPECT_GT(countIn({100, 10, 151, 31}, [](Color c) { return c == kGreen; }), 900);
    EXPECT_EQ(countIn({100, 40, 151, 61}, [](Color c) { return c == kGreen; }), 0)
        << "a transparent label fills nothing";
    EXPECT_GT(countIn({100, 40, 151, 61}, [](Color c) { return c.blue > 0; }), 10);
}

} // namespace
} // namespace gui::test
