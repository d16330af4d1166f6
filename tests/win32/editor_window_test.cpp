// The module as a Windows host meets it under Wine: loaded with LoadLibrary, made
// through either entry, processing audio, and its editor opened in a real window,
// clicked, dragged and typed into with the system's own input.
#include "host_window.h"
#include "parameters.h"
#include "plugin_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstring>
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
        pump(300);
    }
    void TearDown() override {
        if (plugin_) (*plugin_)->dispatch(effEditClose);
        host_.reset();
        plugin_.reset();
    }

    void pump(int milliseconds) {
        pumpMessages(milliseconds, [this] { (*plugin_)->dispatch(effEditIdle); });
    }
    HWND frame() const { return host_->child(); }
    float parameter(ParamKind kind) const {
        return (*plugin_)->getParameter(parameterIndex(kind, 0));
    }
    /// A press and release of the left button at `where`, each handled before the next.
    void click(POINT where) {
        moveCursor(frame(), where.x, where.y);
        pressLeftButton(true);
        pump(150);
        pressLeftButton(false);
        pump(150);
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
    click(kOnOffButton);
    EXPECT_NE(parameter(ParamKind::IsDelayOn), before);
    click(kOnOffButton);
    EXPECT_EQ(parameter(ParamKind::IsDelayOn), before);
}

// Press and release both queued before the editor sees either, as a tap on a
// touchpad or a UI thread the host kept busy gives them: each click counts once.
TEST_F(EditorWindowTest, QuickClicksAreNeverLost) {
    const float before = parameter(ParamKind::IsDelayOn);
    moveCursor(frame(), kOnOffButton.x, kOnOffButton.y);
    pressLeftButton(true);
    pressLeftButton(false);
    pump(300);
    EXPECT_NE(parameter(ParamKind::IsDelayOn), before) << "a tap";
    pressLeftButton(true);
    pressLeftButton(false);
    pressLeftButton(true);
    pressLeftButton(false);
    pump(300);
    EXPECT_NE(parameter(ParamKind::IsDelayOn), before) << "a double click toggles twice";
    pressLeftButton(true);
    pressLeftButton(false);
    pump(300);
    EXPECT_EQ(parameter(ParamKind::IsDelayOn), before);
}

TEST_F(EditorWindowTest, ADragMovesThePanFaderToItsEnd) {
    const float before = parameter(ParamKind::Pan);
    moveCursor(frame(), kPanStart.x, kPanStart.y);
    pressLeftButton(true);
    // The fader tracks the drag inside the button-down message: the hand moves
    // from another thread, as a user's hand would.
    std::thread hand([this] {
        Sleep(200);
        for (int x = kPanStart.x; x <= kPanEnd.x; x += 10) {
            moveCursor(frame(), x, kPanEnd.y);
            Sleep(30);
        }
        Sleep(200);
        pressLeftButton(false);
    });
    pump(1500);
    hand.join();
    pump(100);
    const float after = parameter(ParamKind::Pan);
    EXPECT_NE(after, before);
    EXPECT_TRUE(after == 0.0f || after == 1.0f) << after;
}

TEST_F(EditorWindowTest, TheTempoFieldEditsInTheSystemsEditBox) {
    const std::int32_t tempo = parameterIndex(ParamKind::Tempo, 0);
    click(kTempoField);
    HWND edit = FindWindowExA(frame(), nullptr, "EDIT", nullptr);
    ASSERT_NE(edit, nullptr);
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
    pump(200);
    EXPECT_EQ(FindWindowExA(frame(), nullptr, "EDIT", nullptr), nullptr);
    EXPECT_EQ((*plugin_)->parameterDisplay(tempo).rfind("95", 0), 0u)
        << (*plugin_)->parameterDisplay(tempo);
}

TEST_F(EditorWindowTest, ClosingTheEditorDestroysItsWindowAndClass) {
    const std::string name = className(frame());
    (*plugin_)->dispatch(effEditClose);
    pump(50);
    EXPECT_EQ(frame(), nullptr);
    WNDCLASSA description;
    EXPECT_FALSE(GetClassInfoA(GetModuleHandleA("TeskDelay.dll"), name.c_str(), &description));
}

} // namespace
} // namespace tesk::test
