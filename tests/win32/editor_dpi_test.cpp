// The editor under Wine on a desktop of 192 DPI (the LogPixels value with_dpi.sh
// sets): a host that declares itself per-monitor DPI aware gets the editor at twice
// its size, read from effEditGetRect and shown in a window of that size; a host
// that declares nothing is enlarged by the system as a whole, so the editor stays
// at its own size there and is not enlarged twice.
#include "host_window.h"
#include "plugin_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <optional>
#include <utility>

namespace tesk::test {
namespace {

struct ERectView {
    std::int16_t top, left, bottom, right;
};

// The thread's awareness, looked up as the module looks it up: DPI_AWARENESS_CONTEXT
// handles -1 (unaware) and -3 (per-monitor aware; Wine 8 has no version 2, -4).
using SetContext = HANDLE(WINAPI*)(HANDLE);
const auto kUnaware = reinterpret_cast<HANDLE>(-1);
const auto kPerMonitorAware = reinterpret_cast<HANDLE>(-3);

bool setThreadAwareness(HANDLE context) {
    const auto set = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    return set != nullptr && set(context) != nullptr;
}

class EditorDpiTest : public ::testing::Test {
  protected:
    void SetUp() override {
        // Read as an aware thread: an unaware one is told 96 whatever the desktop's.
        ASSERT_TRUE(setThreadAwareness(kPerMonitorAware));
        HDC screen = GetDC(nullptr);
        const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
        ReleaseDC(nullptr, screen);
        setThreadAwareness(kUnaware);
        ASSERT_EQ(dpi, 192) << "the desktop is not at 192 DPI: run under with_dpi.sh";
    }
    void TearDown() override { setThreadAwareness(kUnaware); }

    /// Opens the editor as a host does: its size first, then a window of that size.
    std::pair<int, int> openEditor() {
        plugin_.emplace();
        ERectView* rect = nullptr;
        EXPECT_EQ((*plugin_)->dispatch(effEditGetRect, 0, 0, &rect), 1);
        if (rect == nullptr) return {};
        const std::pair<int, int> size{rect->right - rect->left, rect->bottom - rect->top};
        host_.emplace(size.first, size.second);
        (*plugin_)->dispatch(effEditOpen, 0, 0, host_->handle());
        EXPECT_TRUE(pumpMessagesUntil(
            [this] { return host_->child() != nullptr && showsPicture(host_->child()); },
            [this] { (*plugin_)->dispatch(effEditIdle); }))
            << "the editor never drew";
        return size;
    }
    std::pair<int, int> frameSize() const {
        RECT area{};
        GetClientRect(host_->child(), &area);
        return {area.right, area.bottom};
    }
    void close() {
        (*plugin_)->dispatch(effEditClose);
        host_.reset();
        plugin_.reset();
    }

    std::optional<Plugin> plugin_;
    std::optional<HostWindow> host_;
};

TEST_F(EditorDpiTest, ADpiAwareHostGetsTheEditorAtTwiceItsSize) {
    ASSERT_TRUE(setThreadAwareness(kPerMonitorAware));
    EXPECT_EQ(openEditor(), std::make_pair(768, 1060));
    EXPECT_EQ(frameSize(), std::make_pair(768, 1060));
    close();
}

TEST_F(EditorDpiTest, AHostThatIsNotDpiAwareIsNotEnlargedTwice) {
    ASSERT_TRUE(setThreadAwareness(kUnaware));
    EXPECT_EQ(openEditor(), std::make_pair(384, 530));
    EXPECT_EQ(frameSize(), std::make_pair(384, 530));
    close();
}

} // namespace
} // namespace tesk::test
