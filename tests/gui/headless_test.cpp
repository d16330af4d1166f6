// The headless back end as the tests and the snapshot tool drive it: scripted input
// for drags, the clock, pending paints, the edit box and PNG snapshots.
#include "gui/platform/software/png_image.h"
#include "gui_test_support.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace gui::test {
namespace {

using Log = std::vector<std::string>;

/// Tracks a drag as controls do: polls buttons and cursor until the button is up.
class DragView : public View {
  public:
    explicit DragView(const Rect& size) : View(size) {}
    void mouse(DrawContext* ctx, Point&) override {
        while ((ctx->readButtons() & kPrimaryButton) != 0) {
            Point where;
            ctx->readCursor(where);
            path.push_back(where);
        }
    }
    std::vector<Point> path;
};

class HeadlessBackEndTest : public HeadlessTest {
  protected:
    Frame frame{{0, 0, 64, 48}, headless::parentWindow(), nullptr};
    headless::HeadlessWindow& window = *headless::windowOf(frame.getWindow());
};

TEST_F(HeadlessBackEndTest, ScriptedInputPlaysADrag) {
    auto* drag = new DragView({0, 0, 64, 48});
    frame.addView(drag);
    window.moveTo({10, 20});
    headless::scriptInput({{kPrimaryButton, {15, 25}},
                           {kPrimaryButton | kShift, {16, 27}},
                           {kPrimaryButton, {20, 30}},
                           {0, {21, 31}}});
    window.buttonDown({5, 5});
    // The click itself reads the first step; the drag loop reads the rest.
    ASSERT_EQ(drag->path.size(), 2u);
    EXPECT_EQ(drag->path[0].x, 6);
    EXPECT_EQ(drag->path[0].y, 7);
    EXPECT_EQ(drag->path[1].x, 10);
    EXPECT_EQ(drag->path[1].y, 10);
    EXPECT_EQ(headless::pendingInputSteps(), 0u);
    EXPECT_EQ(platform::readButtons(), 0) << "the last step stays in force";
}

TEST_F(HeadlessBackEndTest, ClockMovesOnlyWhenToldOrSleeping) {
    const std::uint32_t start = platform::tickCount();
    EXPECT_GT(start, 0u);
    EXPECT_EQ(platform::tickCount(), start);
    platform::sleepMs(4);
    headless::advanceTicks(100);
    EXPECT_EQ(platform::tickCount(), start + 104);
    EXPECT_EQ(platform::doubleClickTime(), 500);
    headless::setDoubleClickTime(200);
    EXPECT_EQ(platform::doubleClickTime(), 200);
}

TEST_F(HeadlessBackEndTest, PendingPaintsAreDispatchedOneAtATime) {
    Frame other({0, 0, 8, 8}, headless::parentWindow(), nullptr);
    EXPECT_TRUE(platform::dispatchPendingPaint());
    EXPECT_TRUE(platform::dispatchPendingPaint());
    EXPECT_FALSE(platform::dispatchPendingPaint());
    window.destroy();
    window.invalidate({0, 0, 4, 4});
    EXPECT_FALSE(platform::dispatchPendingPaint()) << "a destroyed window paints no more";
}

class EndRecorder : public platform::EditBoxListener {
  public:
    void editEnded() override {
        char text[300];
        box->getText(text, sizeof text);
        ended.push_back(text);
        box.reset();
    }
    std::unique_ptr<platform::EditBox> box;
    std::vector<std::string> ended;
};

TEST_F(HeadlessBackEndTest, EditBoxHoldsAtMost255CharactersAndMayCloseWhenDone) {
    window.paintAll();
    EndRecorder recorder;
    platform::EditBoxStyle style;
    style.area = {4, 4, 40, 20};
    recorder.box = platform::EditBox::create(*frame.getWindow(), style, "120", recorder);
    ASSERT_NE(headless::activeEditBox(), nullptr);
    EXPECT_EQ(headless::activeEditBox()->text(), "120");
    headless::activeEditBox()->type(std::string(300, 'x'));
    char small[4];
    recorder.box->getText(small, sizeof small);
    EXPECT_STREQ(small, "xxx");
    headless::activeEditBox()->pressReturn();
    ASSERT_EQ(recorder.ended.size(), 1u);
    EXPECT_EQ(recorder.ended[0], std::string(255, 'x'));
    EXPECT_EQ(headless::activeEditBox(), nullptr);
    EXPECT_TRUE(window.paintPending()) << "the area under the box is painted again";

    recorder.box = platform::EditBox::create(*frame.getWindow(), style, nullptr, recorder);
    EXPECT_EQ(headless::activeEditBox()->style().area.right, 40);
    headless::activeEditBox()->loseFocus();
    ASSERT_EQ(recorder.ended.size(), 2u);
    EXPECT_EQ(recorder.ended[1], "");
    EXPECT_EQ(headless::activeEditBox(), nullptr);
}

TEST_F(HeadlessBackEndTest, SnapshotIsAPngOfTheWindowPixels) {
    Bitmap* picture = new Bitmap(1001);
    frame.setBackground(picture);
    picture->forget();
    window.paintAll();
    const auto path = std::filesystem::temp_directory_path() / "tesk_gui_snapshot.png";
    ASSERT_TRUE(window.savePng(path.string().c_str()));
    std::vector<unsigned char> bytes;
    {
        // Closed before the removal: Windows keeps open files from being removed.
        std::ifstream file(path, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(file), {});
    }
    std::filesystem::remove(path);
    RgbImage image;
    ASSERT_TRUE(decodePng(bytes.data(), bytes.size(), image));
    EXPECT_EQ(image.width, 64);
    EXPECT_EQ(image.height, 48);
    EXPECT_EQ(image.rgb, window.pixels().rgb());
    EXPECT_FALSE(window.savePng("/nonexistent-folder/x.png"));
}

} // namespace
} // namespace gui::test
