// The module as a Windows host meets it under Wine: loaded with LoadLibrary, made
// through either entry, processing audio, and its editor opened in a real window,
// clicked, dragged and typed into with the system's own input.
#include "host_window.h"
#include "parameters.h"
#include "plugin_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tesk::test {
namespace {

// Editor layout points (window pixels) of line 1's controls.
constexpr POINT kOnOffButton{26, 108};
constexpr POINT kPanStart{30, 263};
constexpr POINT kPanEnd{140, 263};
constexpr POINT kTempoField{47, 165};
// A point of the background picture that no control covers.
constexpr POINT kBareBackground{370, 200};

struct ERectView {
    std::int16_t top, left, bottom, right;
};

/// One instance of the loaded module with its editor open in a host window.
class EditorWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        plugin_.emplace();
        ERectView* rect = nullptr;
        ASSERT_EQ((*plugin_)->dispatch(effEditGetRect, 0, 0, &rect), 1);
        ASSERT_NE(rect, nullptr);
        width_ = rect->right - rect->left;
        height_ = rect->bottom - rect->top;
        host_.emplace(width_, height_);
        (*plugin_)->dispatch(effEditOpen, 0, 0, host_->handle());
        ASSERT_TRUE(pump([this] { return painted(); })) << "the editor did not paint";
    }
    void TearDown() override {
        if (plugin_) (*plugin_)->dispatch(effEditClose);
        host_.reset();
        plugin_.reset();
    }

    /// Handles messages and idles the editor until `done` holds; its answer.
    bool pump(const std::function<bool()>& done) {
        return pumpMessagesUntil(done, [this] { (*plugin_)->dispatch(effEditIdle); });
    }
    HWND frame() const { return host_->child(); }
    /// True once the editor's window is there with nothing left to paint.
    bool painted() const { return frame() != nullptr && !GetUpdateRect(frame(), nullptr, FALSE); }
    /// The tempo field's edit box, or null while it is closed.
    HWND editBox() const { return FindWindowExA(frame(), nullptr, "EDIT", nullptr); }
    float parameter(ParamKind kind) const {
        return (*plugin_)->getParameter(parameterIndex(kind, 0));
    }
    /// How many values of line 1's `kind` the host has been told of; any thread.
    std::size_t automated(ParamKind kind) {
        const std::int32_t index = parameterIndex(kind, 0);
        const std::vector<vsthost::AutomationEvent> all = plugin_->host().automation();
        return static_cast<std::size_t>(std::count_if(
            all.begin(), all.end(), [index](const auto& a) { return a.index == index; }));
    }
    /// Handles messages until all input is taken and `count` values of line 1's `kind`
    /// have reached the host; true when no more than that came.
    bool pumpUntilAutomated(ParamKind kind, std::size_t count) {
        pump([&] { return !inputWaiting() && automated(kind) >= count; });
        return automated(kind) == count;
    }
    /// A press and release of the left button at `where`, each handled before the
    /// next: the press until `handled` holds. True when it did.
    bool click(POINT where, const std::function<bool()>& handled) {
        moveCursor(frame(), where.x, where.y);
        pressLeftButton(true);
        const bool shown = pump(handled);
        pressLeftButton(false);
        return pump([] { return !inputWaiting(); }) && shown;
    }

    std::optional<Plugin> plugin_;
    std::optional<HostWindow> host_;
    int width_ = 0;
    int height_ = 0;
};

TEST(ModuleEntries, BothEntriesMakeInstancesThatProcessAudio) {
    HMODULE module = LoadLibraryA(modulePath().c_str());
    ASSERT_NE(module, nullptr);
    for (const char* name : {"VSTPluginMain", "main"}) {
        // Through void*: the system hands out every entry under one generic type.
        auto entry = reinterpret_cast<VstPluginMainProc>(
            reinterpret_cast<void*>(GetProcAddress(module, name)));
        ASSERT_NE(entry, nullptr) << name;
        auto linked = vsthost::Module::linked(entry, name);
        vsthost::HostState host;
        std::string error;
        auto instance = vsthost::Instance::create(*linked, host, error);
        ASSERT_NE(instance, nullptr) << name << ": " << error;
        EXPECT_EQ(instance->effect()->numParams, 61);
        instance->start(44100.0, 256);
        std::vector<float> left(256, 0.5f), right(256, -0.5f);
        std::vector<std::vector<float>> outs(6, std::vector<float>(256, NAN));
        float* inputs[] = {left.data(), right.data()};
        float* outputs[6];
        for (int i = 0; i < 6; ++i)
            outputs[i] = outs[i].data();
        for (int block = 0; block < 40; ++block)
            instance->processReplacing(inputs, outputs, 256);
        bool sound = false;
        for (const auto& channel : outs) {
            for (float sample : channel) {
                ASSERT_TRUE(std::isfinite(sample)) << name;
                sound = sound || sample != 0.0f;
            }
        }
        EXPECT_TRUE(sound) << name;
        instance->stop();
    }
    FreeLibrary(module);
}

TEST_F(EditorWindowTest, OpensAChildWindowOfTheModulesClassShowingTheArtwork) {
    ASSERT_NE(frame(), nullptr);
    const std::string name = className(frame());
    EXPECT_EQ(name.rfind("Plugin", 0), 0u) << name;
    EXPECT_GE(name.size(), 14u) << name;
    RECT area{};
    GetClientRect(frame(), &area);
    EXPECT_EQ(area.right, width_);
    EXPECT_EQ(area.bottom, height_);
    // The same pixel as the module's own background picture, read as Windows reads it.
    HMODULE module = GetModuleHandleA("TeskDelay.dll");
    ASSERT_NE(module, nullptr);
    auto* bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(128), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(bitmap, nullptr);
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    const COLORREF expected = GetPixel(memory, kBareBackground.x, kBareBackground.y);
    SelectObject(memory, previous);
    DeleteDC(memory);
    DeleteObject(bitmap);
    EXPECT_EQ(shownPixel(frame(), kBareBackground.x, kBareBackground.y), expected);
}

TEST_F(EditorWindowTest, AClickTogglesTheLine) {
    const float before = parameter(ParamKind::IsDelayOn);
    ASSERT_TRUE(click(kOnOffButton, [this] { return automated(ParamKind::IsDelayOn) == 1; }));
    EXPECT_NE(parameter(ParamKind::IsDelayOn), before);
    ASSERT_TRUE(click(kOnOffButton, [this] { return automated(ParamKind::IsDelayOn) == 2; }));
    EXPECT_EQ(parameter(ParamKind::IsDelayOn), before);
}

// Press and release both queued before the editor sees either, as a tap on a
// touchpad or a UI thread the host kept busy gives them: each click counts once.
TEST_F(EditorWindowTest, QuickClicksAreNeverLost) {
    const float before = parameter(ParamKind::IsDelayOn);
    moveCursor(frame(), kOnOffButton.x, kOnOffButton.y);
    pressLeftButton(true);
    pressLeftButton(false);
    EXPECT_TRUE(pumpUntilAutomated(ParamKind::IsDelayOn, 1)) << "a tap";
    EXPECT_NE(parameter(ParamKind::IsDelayOn), before) << "a tap";
    pressLeftButton(true);
    pressLeftButton(false);
    pressLeftButton(true);
    pressLeftButton(false);
    EXPECT_TRUE(pumpUntilAutomated(ParamKind::IsDelayOn, 3)) << "a double click";
    EXPECT_NE(parameter(ParamKind::IsDelayOn), before) << "a double click toggles twice";
    pressLeftButton(true);
    pressLeftButton(false);
    EXPECT_TRUE(pumpUntilAutomated(ParamKind::IsDelayOn, 4)) << "a tap";
    EXPECT_EQ(parameter(ParamKind::IsDelayOn), before);
}

TEST_F(EditorWindowTest, ADragMovesThePanFaderToItsEnd) {
    const float before = parameter(ParamKind::Pan);
    moveCursor(frame(), kPanStart.x, kPanStart.y);
    pressLeftButton(true);
    // The fader tracks the drag inside the button-down message: the hand moves
    // from another thread, as a user's hand would, each step once the host has been
    // told of the one before, and last past the fader's end.
    std::atomic<bool> released{false};
    std::atomic<int> stepsSeen{0};
    std::thread hand([&] {
        for (const int x : {40, 50, 60, 70, 80, 90, 100, static_cast<int>(kPanEnd.x)}) {
            const std::size_t told = automated(ParamKind::Pan);
            moveCursor(frame(), x, kPanEnd.y);
            // The hand's thread has no windows: it only waits.
            if (!pumpMessagesUntil([&] { return automated(ParamKind::Pan) > told; }, {})) break;
            ++stepsSeen;
        }
        pressLeftButton(false);
        released = true;
    });
    EXPECT_TRUE(pump([&] { return released.load(); }));
    hand.join();
    EXPECT_TRUE(pump([] { return !inputWaiting(); }));
    EXPECT_EQ(stepsSeen.load(), 8) << "the fader stopped following the drag";
    const float after = parameter(ParamKind::Pan);
    EXPECT_NE(after, before);
    EXPECT_TRUE(after == 0.0f || after == 1.0f) << after;
}

TEST_F(EditorWindowTest, TheTempoFieldEditsInTheSystemsEditBox) {
    const std::int32_t tempo = parameterIndex(ParamKind::Tempo, 0);
    ASSERT_TRUE(click(kTempoField, [this] { return editBox() != nullptr; }))
        << "the tempo field opened no edit box";
    HWND edit = editBox();
    char shown[64] = {};
    GetWindowTextA(edit, shown, sizeof shown);
    EXPECT_EQ(std::string(shown),
              (*plugin_)->parameterDisplay(tempo).substr(0, std::strlen(shown)));
    // The whole text is selected, ready to be typed over.
    const auto selection = static_cast<DWORD>(SendMessageA(edit, EM_GETSEL, 0, 0));
    EXPECT_EQ(LOWORD(selection), 0u);
    EXPECT_EQ(HIWORD(selection), std::strlen(shown));
    SetWindowTextA(edit, "95");
    SendMessageA(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(pump([this] { return editBox() == nullptr; })) << "the edit box stayed";
    EXPECT_EQ((*plugin_)->parameterDisplay(tempo).rfind("95", 0), 0u)
        << (*plugin_)->parameterDisplay(tempo);
}

TEST_F(EditorWindowTest, ClosingTheEditorDestroysItsWindowAndClass) {
    const std::string name = className(frame());
    (*plugin_)->dispatch(effEditClose);
    EXPECT_TRUE(pump([this] { return frame() == nullptr; }));
    WNDCLASSA description;
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA("TeskDelay.dll"), name.c_str(), &description));
}

} // namespace
} // namespace tesk::test
