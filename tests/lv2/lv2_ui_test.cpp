// The LV2 UI as a host drives it: TeskDelay_ui.so loaded by hand, embedded in a
// window of the test's own on an Xvfb, told of port changes through
// port_event, idled through its idle interface. What it writes back to the
// host's ports and what its tempo field shows are checked.
// GoogleTest first: Xlib's macros (None) would break its headers.
#include <gtest/gtest.h>

#include "x11_test_support.h"

#include "lv2_ports.h"
#include "parameters.h"

#include <lv2/ui/ui.h>

#include <dlfcn.h>

#include <cstring>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace tesk::test {
namespace {

using x11test::Xvfb;

constexpr int kEditorWidth = 384;
constexpr int kEditorHeight = 530;

int idx(ParamKind kind, int line = 0) {
    return parameterIndex(kind, line);
}

// The host's side of one UI: what the UI wrote, touched and asked for.
struct UiHostLog {
    std::vector<std::pair<std::uint32_t, float>> writes;
    std::vector<std::pair<std::uint32_t, bool>> touches;
    int width = 0;
    int height = 0;

    static void write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size,
                      std::uint32_t format, const void* buffer) {
        auto& log = *static_cast<UiHostLog*>(controller);
        float value = 0.0f;
        ASSERT_EQ(format, 0u) << "control ports take plain floats";
        ASSERT_EQ(size, sizeof value);
        std::memcpy(&value, buffer, sizeof value);
        log.writes.emplace_back(port, value);
    }
    static void touch(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed) {
        static_cast<UiHostLog*>(handle)->touches.emplace_back(port, grabbed);
    }
    static int resize(LV2UI_Feature_Handle handle, int width, int height) {
        auto& log = *static_cast<UiHostLog*>(handle);
        log.width = width;
        log.height = height;
        return 0;
    }
};

// The UI module, its descriptor and one instance embedded in a top-level window.
class Lv2UiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(x11test::installed("Xvfb")) << x11test::notInstalled("Xvfb", "xvfb");
        server_.emplace();
        ASSERT_TRUE(server_->running()) << "Xvfb did not start";
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        module_ = dlopen(TESK_LV2_BUNDLE "/TeskDelay_ui.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module_, nullptr) << dlerror();
        const auto entry =
            reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module_, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor_ = entry(0);
        ASSERT_NE(descriptor_, nullptr);
        EXPECT_STREQ(descriptor_->URI, lv2::kUiUri);
        idle_ = static_cast<const LV2UI_Idle_Interface*>(
            descriptor_->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle_, nullptr);

        parent_ = x11test::makeTopLevel(display_, kEditorWidth, kEditorHeight);
        touch_ = {&log, UiHostLog::touch};
        resize_ = {&log, UiHostLog::resize};
        const LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(parent_)};
        const LV2_Feature touch{LV2_UI__touch, &touch_};
        const LV2_Feature resize{LV2_UI__resize, &resize_};
        const LV2_Feature* features[] = {&parent, &touch, &resize, nullptr};
        LV2UI_Widget widget = nullptr;
        handle_ = descriptor_->instantiate(descriptor_, lv2::kPluginUri, TESK_LV2_BUNDLE,
                                           UiHostLog::write, &log, &widget, features);
        ASSERT_NE(handle_, nullptr);
        editorWindow_ = static_cast<::Window>(reinterpret_cast<std::uintptr_t>(widget));
        ASSERT_NE(editorWindow_, 0u);
    }
    void TearDown() override {
        if (handle_ != nullptr) descriptor_->cleanup(handle_);
        if (module_ != nullptr) dlclose(module_);
        if (display_ != nullptr) XCloseDisplay(display_);
    }

    /// Tells the UI that the control port of parameter `index` holds `value`.
    void portEvent(int index, float value) { portEventAt(lv2::controlPortOf(index), value); }
    void portEventAt(std::uint32_t port, float value) {
        descriptor_->port_event(handle_, port, sizeof value, 0, &value);
    }
    void idle() { idle_->idle(handle_); }

    /// The pixels of line 1's tempo field, once idling has drawn something
    /// other than `unlike` (any picture when `unlike` is empty); none at the deadline.
    std::optional<std::vector<std::uint8_t>>
    tempoField(const std::vector<std::uint8_t>& unlike = {}) {
        std::vector<std::uint8_t> field;
        const auto drawn = [&] {
            field = tempoFieldNow();
            return !field.empty() && field != unlike && !flat(field);
        };
        if (!x11test::waitUntil(drawn, [this] { idle(); })) return std::nullopt;
        return field;
    }

    UiHostLog log;

  private:
    std::vector<std::uint8_t> tempoFieldNow() {
        constexpr int kLeft = 33, kTop = 158, kRight = 62, kBottom = 173;
        const auto all = x11test::captureRgb(display_, editorWindow_, kEditorWidth, kEditorHeight);
        std::vector<std::uint8_t> field;
        if (all.empty()) return field;
        for (int y = kTop; y <= kBottom; ++y) {
            const auto row = all.begin() + (y * kEditorWidth + kLeft) * 3;
            field.insert(field.end(), row, row + (kRight - kLeft + 1) * 3);
        }
        return field;
    }
    static bool flat(const std::vector<std::uint8_t>& pixels) {
        for (std::size_t i = 3; i < pixels.size(); ++i)
            if (pixels[i] != pixels[i % 3]) return false;
        return true;
    }

    std::optional<Xvfb> server_;
    Display* display_ = nullptr;
    ::Window parent_ = 0;
    void* module_ = nullptr;
    const LV2UI_Descriptor* descriptor_ = nullptr;
    const LV2UI_Idle_Interface* idle_ = nullptr;
    LV2UI_Touch touch_{};
    LV2UI_Resize resize_{};
    LV2UI_Handle handle_ = nullptr;
    ::Window editorWindow_ = 0;
};

TEST_F(Lv2UiTest, AskedForItsFixedSizeAndTouchesNothingUnasked) {
    EXPECT_EQ(log.width, kEditorWidth);
    EXPECT_EQ(log.height, kEditorHeight);
    ASSERT_TRUE(tempoField());
    EXPECT_TRUE(log.writes.empty());
    EXPECT_TRUE(log.touches.empty());
}

// The host switches line 2 off while line 3 listens to it: the DSP sends line 3
// back to the main input but cannot write its own port, so the UI does.
TEST_F(Lv2UiTest, AnInputFallingBackIsWrittenToTheHostsPort) {
    portEvent(idx(ParamKind::IsDelayOn, 1), 1.0f);
    portEvent(idx(ParamKind::Input, 2), 0.2f);
    portEvent(idx(ParamKind::Input, 3), 0.1f);
    EXPECT_TRUE(log.writes.empty()) << "values the host sent are not sent back";
    portEvent(idx(ParamKind::IsDelayOn, 1), 0.0f);
    EXPECT_EQ(log.writes, (std::vector<std::pair<std::uint32_t, float>>{
                              {lv2::controlPortOf(idx(ParamKind::Input, 2)), 0.0f}}));
}

// The tempo field shows the tempo the line plays at, which the DSP reports on
// its TempoInUse port, not the Tempo the host keeps for it.
TEST_F(Lv2UiTest, TheTempoFieldShowsTheTempoInUse) {
    portEvent(idx(ParamKind::Tempo, 0), 88.0f);
    const auto own = tempoField();
    ASSERT_TRUE(own) << "the UI drew no tempo field";
    portEvent(idx(ParamKind::Tempo, 0), 140.0f);
    const auto at140 = tempoField(*own);
    ASSERT_TRUE(at140) << "a new Tempo redrew nothing";

    portEvent(idx(ParamKind::Tempo, 0), 88.0f);
    const auto back = tempoField(*at140);
    ASSERT_TRUE(back) << "the Tempo going back redrew nothing";
    EXPECT_EQ(*back, *own);
    portEventAt(lv2::tempoInUsePortOf(0), 140.0f);
    const auto heard = tempoField(*own);
    ASSERT_TRUE(heard) << "the tempo in use did not reach the field";
    EXPECT_EQ(*heard, *at140);
}

} // namespace
} // namespace tesk::test
