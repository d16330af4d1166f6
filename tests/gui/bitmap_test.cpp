// Loading embedded pictures, plain and transparent copies, and reference counting.
#include "allocation_watch.h"
#include "gui_test_support.h"

namespace gui::test {
namespace {

// Test pictures (resources/make_test_images.py): 1001 a 16 × 144 strip whose pixel
// (x, y) is (16x, y, 200); 1002 8 × 8 blue with white corners, (255, 255, 254) at
// (3, 3) and (254, 255, 255) at (4, 4); 1003 not a PNG; 1010 384 × 530.
constexpr std::int32_t kStrip = 1001;
constexpr std::int32_t kMarked = 1002;
constexpr std::int32_t kBroken = 1003;
constexpr std::int32_t kEditorSized = 1010;
constexpr std::int32_t kMissing = 999;

Color stripPixel(std::int32_t x, std::int32_t y) {
    return {static_cast<std::uint8_t>(16 * x), static_cast<std::uint8_t>(y), 200, 0};
}

class BitmapTest : public HeadlessTest {};

TEST_F(BitmapTest, LoadsItsSizeFromTheEmbeddedPicture) {
    Bitmap* strip = new Bitmap(kStrip);
    EXPECT_EQ(strip->width, 16);
    EXPECT_EQ(strip->height, 144);
    EXPECT_EQ(strip->getRefCount(), 1);
    EXPECT_EQ(strip->transparentColor, kWhite);
    strip->forget();
}

TEST_F(BitmapTest, PixelsAreDecodedAtTheFirstDrawNotBefore) {
    // The picture's pixels take 384 × 530 × 3 bytes; its size alone takes none.
    OffscreenContext c(nullptr, 384, 530, kBlack);
    watchSizes();
    Bitmap* picture = new Bitmap(kEditorSized);
    EXPECT_EQ(picture->width, 384);
    EXPECT_EQ(picture->height, 530);
    EXPECT_LT(largestBlock(), std::size_t{384} * 530);
    picture->draw(c, {0, 0, 384, 530});
    EXPECT_GE(largestBlock(), std::size_t{384} * 530 * 3);
    EXPECT_EQ(pixelAt(*c.getSurface(), 300, 500), (Color{300 % 256, 500 % 256, 64, 0}));
    EXPECT_EQ(pixelAt(*c.getSurface(), 7, 9), (Color{7, 9, 64, 0}));
    picture->forget();
}

TEST_F(BitmapTest, DrawCopiesTheSourceBlockToTheTranslatedDestination) {
    Bitmap* strip = new Bitmap(kStrip);
    OffscreenContext c(nullptr, 40, 40, kBlack);
    c.offset = {3, 4};
    strip->draw(c, {10, 10, 26, 26}, {0, 48});
    for (std::int32_t y = 0; y < 16; ++y) {
        for (std::int32_t x = 0; x < 16; ++x) {
            ASSERT_EQ(pixelAt(*c.getSurface(), 13 + x, 14 + y), stripPixel(x, 48 + y))
                << x << "," << y;
        }
    }
    EXPECT_EQ(inkBox(*c.getSurface(), kBlack).left, 13);
    EXPECT_EQ(countInk(*c.getSurface(), kBlack), 16 * 16);
    strip->forget();
}

TEST_F(BitmapTest, BlocksReachingPastThePictureCopyOnlyWhatExists) {
    Bitmap* strip = new Bitmap(kStrip);
    OffscreenContext c(nullptr, 40, 40, kRed);
    strip->draw(c, {0, 0, 30, 30}, {10, 140});
    EXPECT_EQ(countInk(*c.getSurface(), kRed), 6 * 4);
    EXPECT_EQ(pixelAt(*c.getSurface(), 5, 3), stripPixel(15, 143));
    strip->draw(c, {-5, -5, 5, 5}, {-3, 0});
    EXPECT_EQ(pixelAt(*c.getSurface(), 0, 0), stripPixel(2, 5));
    strip->forget();
}

TEST_F(BitmapTest, TransparentDrawSkipsExactlyTheTransparentColour) {
    Bitmap* marked = new Bitmap(kMarked);
    OffscreenContext c(nullptr, 8, 8, kRed);
    marked->drawTransparent(c, {0, 0, 8, 8});
    const auto& s = *c.getSurface();
    for (const Point corner : {Point{0, 0}, Point{7, 0}, Point{0, 7}, Point{7, 7}}) {
        EXPECT_EQ(pixelAt(s, corner.x, corner.y), kRed) << corner.x << "," << corner.y;
    }
    EXPECT_EQ(pixelAt(s, 3, 3), (Color{255, 255, 254, 0}));
    EXPECT_EQ(pixelAt(s, 4, 4), (Color{254, 255, 255, 0}));
    EXPECT_EQ(countOf(s, kBlue), 58);

    marked->draw(c, {0, 0, 8, 8});
    EXPECT_EQ(pixelAt(s, 0, 0), kWhite) << "a plain draw copies white too";
    marked->forget();
}

TEST_F(BitmapTest, TransparentDrawUsesTheSourceOffsetAndContextOffset) {
    Bitmap* marked = new Bitmap(kMarked);
    OffscreenContext c(nullptr, 10, 10, kRed);
    c.offset = {2, 2};
    marked->drawTransparent(c, {0, 0, 4, 4}, {4, 4}); // the bottom-right quarter
    const auto& s = *c.getSurface();
    EXPECT_EQ(pixelAt(s, 2, 2), (Color{254, 255, 255, 0}));
    EXPECT_EQ(pixelAt(s, 5, 5), kRed) << "the white corner (7, 7)";
    EXPECT_EQ(countOf(s, kBlue), 14);
    marked->forget();
}

TEST_F(BitmapTest, PictureThatDoesNotLoadIsEmptyAndDrawsNothing) {
    for (const std::int32_t id : {kMissing, kBroken}) {
        Bitmap* nothing = new Bitmap(id);
        EXPECT_EQ(nothing->width, 0);
        EXPECT_EQ(nothing->height, 0);
        OffscreenContext c(nullptr, 10, 10, kRed);
        nothing->draw(c, {0, 0, 10, 10});
        nothing->drawTransparent(c, {0, 0, 10, 10});
        EXPECT_EQ(countInk(*c.getSurface(), kRed), 0);
        nothing->forget();
    }
}

TEST_F(BitmapTest, TwoHoldersKeepItAliveAndTheLastForgetFreesIt) {
    Bitmap* shared = new Bitmap(kStrip);
    watchBlock(shared);
    {
        Frame first({0, 0, 10, 10}, nullptr, nullptr);
        Frame second({0, 0, 10, 10}, nullptr, nullptr);
        first.setBackground(shared);
        second.setBackground(shared);
        shared->forget();
        EXPECT_EQ(shared->getRefCount(), 2);
        EXPECT_FALSE(wasFreed());
        first.setBackground(nullptr);
        EXPECT_EQ(shared->getRefCount(), 1);
        EXPECT_FALSE(wasFreed());
    }
    EXPECT_TRUE(wasFreed());
}

TEST_F(BitmapTest, RememberAndForgetBalance) {
    Bitmap* shared = new Bitmap(kMarked);
    watchBlock(shared);
    shared->remember();
    shared->remember();
    shared->forget();
    shared->forget();
    EXPECT_EQ(shared->getRefCount(), 1);
    EXPECT_FALSE(wasFreed());
    shared->forget();
    EXPECT_TRUE(wasFreed());
}

} // namespace
} // namespace gui::test
