// The editors of TeskDelay.vst3 (IPlugView on an HWND) and TeskDelay.clap (CLAP's
// win32 window API) as a Windows host shows them, under Wine on a desktop at the
// DPI the run names in TESK_DESKTOP_DPI (96, or 192 through with_dpi.sh): sized
// for that DPI, drawn, redrawn after the host changes a parameter while nothing
// but the editor's own window timer drives it (a Windows host gives no idle), a
// click reaching the host, and the module unloaded after closing so that its file
// can be deleted. Each test loads a copy of its module of its own.
#include "clap_host.h"
#include "host_window.h"
#include "parameters.h"
#include "vst3_host.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace tesk::test {
namespace {

// The editor's size at scale 1, the same in every format.
constexpr int kWidth = 384;
constexpr int kHeight = 530;
// Line 1's on/off switch, in editor pixels.
constexpr POINT kOnOffButton{26, 108};
const int kLineOneOn = parameterIndex(ParamKind::IsDelayOn, 0);

// A per-monitor DPI aware host, as hosts of these formats are (-3: Wine 8 has no -4).
bool becomeDpiAware() {
    using SetContext = HANDLE(WINAPI*)(HANDLE);
    const auto set = reinterpret_cast<SetContext>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    return set != nullptr && set(reinterpret_cast<HANDLE>(-3)) != nullptr;
}

int desktopDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSX);
    ReleaseDC(nullptr, screen);
    return dpi;
}

/// A copy of `path` under a name of this process's own, so that the test may delete it.
std::string copyOf(const std::string& path, const char* suffix) {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string copy =
        std::string(folder) + "TeskDelay-editor-" + std::to_string(GetCurrentProcessId()) + suffix;
    return CopyFileA(path.c_str(), copy.c_str(), FALSE) ? copy : std::string();
}

/// What the test asks of either edition's editor, as its host.
class EditionEditor {
  public:
    virtual ~EditionEditor() = default;
    /// The size the editor asks for; 0 × 0 when refused.
    virtual std::pair<int, int> size() = 0;
    virtual bool open(HWND parent) = 0;
    virtual void close() = 0;
    /// Line 1's on/off as the host holds it, 0 or 1.
    virtual double lineOneOn() = 0;
    /// Sets line 1's on/off as the host's automation does.
    virtual void setLineOneOn(double value) = 0;
};

bool pump(const std::function<bool()>& done) {
    return pumpMessagesUntil(done, {}); // no idle from the host
}

/// Opens `editor` in a host window of the size it asks for and plays with it.
void showAndUse(EditionEditor& editor, int scale) {
    const std::pair<int, int> size = editor.size();
    ASSERT_EQ(size, std::make_pair(kWidth * scale, kHeight * scale));
    HostWindow window(size.first, size.second);
    ASSERT_TRUE(editor.open(window.handle()));
    ASSERT_TRUE(pump([&] { return window.child() != nullptr && showsPicture(window.child()); }))
        << "the editor never drew";
    RECT area{};
    GetClientRect(window.child(), &area);
    EXPECT_EQ(std::make_pair(int(area.right), int(area.bottom)), size);

    const std::vector<std::uint32_t> before = shownPixels(window.child());
    editor.setLineOneOn(1.0 - editor.lineOneOn());
    EXPECT_TRUE(pump([&] { return shownPixels(window.child()) != before; }))
        << "the host's change never reached the screen: nothing drives the editor's idle";

    const double set = editor.lineOneOn();
    moveCursor(window.child(), kOnOffButton.x * scale, kOnOffButton.y * scale);
    pressLeftButton(true);
    pressLeftButton(false);
    EXPECT_TRUE(pump([&] { return editor.lineOneOn() != set; }))
        << "a click on line 1's switch never reached the host";
    editor.close();
}

class EditionEditorTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(becomeDpiAware());
        const char* dpi = std::getenv("TESK_DESKTOP_DPI");
        ASSERT_NE(dpi, nullptr) << "TESK_DESKTOP_DPI names the DPI the run sets";
        ASSERT_EQ(desktopDpi(), std::atoi(dpi)) << "the desktop is not at the DPI the run sets";
        scale = desktopDpi() / 96;
    }
    /// Deletes `path` once nothing has it loaded.
    static void expectUnloaded(const std::string& path) {
        EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "still loaded after FreeLibrary";
        EXPECT_TRUE(DeleteFileA(path.c_str()))
            << "cannot delete " << path << ": error " << GetLastError();
    }
    int scale = 1;
};

// ---- VST 3

class Vst3Editor final : public EditionEditor {
  public:
    explicit Vst3Editor(vst3host::Instance& instance)
        : instance_(instance), frame_(vst3host::RunLoopFrame::make()),
          view_(vst3host::Ref<vst3host::IPlugView>::adopt(
              instance.controller()->createView(vst3host::ViewType::kEditor))) {}
    vst3host::IPlugView* view() const { return view_.get(); }

    std::pair<int, int> size() override {
        vst3host::ViewRect rect{};
        if (view_->getSize(&rect) != vst3host::kResultOk) return {};
        return {rect.right - rect.left, rect.bottom - rect.top};
    }
    bool open(HWND parent) override {
        view_->setFrame(frame_.get());
        return view_->attached(parent, vst3host::kPlatformTypeHWND) == vst3host::kResultOk;
    }
    void close() override {
        EXPECT_EQ(view_->removed(), vst3host::kResultOk);
        view_->setFrame(nullptr);
        view_.reset();
    }
    double lineOneOn() override {
        return instance_.normalized(static_cast<vst3host::ParamID>(kLineOneOn));
    }
    void setLineOneOn(double value) override {
        instance_.setNormalized(static_cast<vst3host::ParamID>(kLineOneOn), value);
    }

  private:
    vst3host::Instance& instance_;
    vst3host::Ref<vst3host::RunLoopFrame> frame_;
    vst3host::Ref<vst3host::IPlugView> view_;
};

TEST_F(EditionEditorTest, Vst3EditorOnAnHwnd) {
    const std::string path = copyOf(TESK_VST3_MODULE_PATH, ".vst3");
    ASSERT_FALSE(path.empty()) << "cannot copy " << TESK_VST3_MODULE_PATH;
    {
        std::string error;
        auto module =
            vst3host::Module::load(path, error, vst3host::Module::Mapping::releasedOnUnload);
        ASSERT_NE(module, nullptr) << error;
        auto instance = vst3host::Instance::create(*module, error);
        ASSERT_NE(instance, nullptr) << error;
        Vst3Editor editor(*instance);
        ASSERT_NE(editor.view(), nullptr);
        EXPECT_EQ(editor.view()->isPlatformTypeSupported(vst3host::kPlatformTypeHWND),
                  vst3host::kResultTrue);
        EXPECT_EQ(editor.view()->isPlatformTypeSupported(vst3host::kPlatformTypeX11EmbedWindowID),
                  vst3host::kResultFalse);
        showAndUse(editor, scale);
        bool told = false;
        for (const vst3host::HandlerCall& call : instance->handler().take())
            told |= call.kind == vst3host::HandlerCall::Kind::perform &&
                    call.id == static_cast<vst3host::ParamID>(kLineOneOn);
        EXPECT_TRUE(told) << "the click reached no performEdit";
    }
    expectUnloaded(path);
}

// A host's factor decides over the desktop's, from the next opening.
TEST_F(EditionEditorTest, Vst3EditorAtTheHostsScaleFactor) {
    std::string error;
    auto module = vst3host::Module::load(TESK_VST3_MODULE_PATH, error);
    ASSERT_NE(module, nullptr) << error;
    auto instance = vst3host::Instance::create(*module, error);
    ASSERT_NE(instance, nullptr) << error;
    Vst3Editor editor(*instance);
    auto scaling = vst3host::queryAs<vst3host::IPlugViewContentScaleSupport>(editor.view());
    ASSERT_TRUE(scaling);
    const int hostScale = 3 - scale; // the other of 1 and 2
    EXPECT_EQ(scaling->setContentScaleFactor(static_cast<float>(hostScale)), vst3host::kResultOk);
    showAndUse(editor, hostScale);
}

// ---- CLAP

class ClapEditor final : public EditionEditor {
  public:
    explicit ClapEditor(claphost::Instance& instance)
        : instance_(instance), gui_(instance.extension<clap_plugin_gui_t>(CLAP_EXT_GUI)) {}
    const clap_plugin_gui_t* gui() const { return gui_; }

    std::pair<int, int> size() override {
        std::uint32_t width = 0, height = 0;
        if (!gui_->get_size(instance_.plugin(), &width, &height)) return {};
        return {int(width), int(height)};
    }
    bool open(HWND parent) override {
        clap_window_t window{};
        window.api = CLAP_WINDOW_API_WIN32;
        window.win32 = parent;
        return gui_->set_parent(instance_.plugin(), &window) && gui_->show(instance_.plugin());
    }
    void close() override { gui_->destroy(instance_.plugin()); }
    double lineOneOn() override {
        return instance_.value(static_cast<clap_id>(kLineOneOn)).value_or(-1.0);
    }
    void setLineOneOn(double value) override {
        claphost::InputEvents events;
        events.addParam(0, static_cast<clap_id>(kLineOneOn), value);
        instance_.flush(events);
    }

  private:
    claphost::Instance& instance_;
    const clap_plugin_gui_t* gui_;
};

/// Makes the editor of `instance` through the win32 API at `hostScale` (none: 0).
void clapEditorAt(claphost::Instance& instance, int hostScale, int expectedScale) {
    ClapEditor editor(instance);
    ASSERT_NE(editor.gui(), nullptr);
    const clap_plugin_t* plugin = instance.plugin();
    EXPECT_TRUE(editor.gui()->is_api_supported(plugin, CLAP_WINDOW_API_WIN32, false));
    EXPECT_FALSE(editor.gui()->is_api_supported(plugin, CLAP_WINDOW_API_X11, false));
    ASSERT_TRUE(editor.gui()->create(plugin, CLAP_WINDOW_API_WIN32, false));
    if (hostScale > 0) {
        EXPECT_TRUE(editor.gui()->set_scale(plugin, hostScale));
    }
    showAndUse(editor, expectedScale);
}

TEST_F(EditionEditorTest, ClapEditorOnAWin32Window) {
    const std::string path = copyOf(TESK_CLAP_MODULE_PATH, ".clap");
    ASSERT_FALSE(path.empty()) << "cannot copy " << TESK_CLAP_MODULE_PATH;
    {
        std::string error;
        auto module =
            claphost::Module::load(path, error, claphost::Module::Mapping::releasedOnUnload);
        ASSERT_NE(module, nullptr) << error;
        claphost::HostState host;
        // Windows hosts need not offer a timer: the editor drives itself.
        host.offerTimerSupport = false;
        auto instance = claphost::Instance::create(*module, host, "", error);
        ASSERT_NE(instance, nullptr) << error;
        clapEditorAt(*instance, 0, scale);
        EXPECT_EQ(host.timerCount(), 0u);
    }
    expectUnloaded(path);
}

TEST_F(EditionEditorTest, ClapEditorAtTheHostsScale) {
    std::string error;
    auto module = claphost::Module::load(TESK_CLAP_MODULE_PATH, error);
    ASSERT_NE(module, nullptr) << error;
    claphost::HostState host;
    auto instance = claphost::Instance::create(*module, host, "", error);
    ASSERT_NE(instance, nullptr) << error;
    clapEditorAt(*instance, 3 - scale, 3 - scale);
}

} // namespace
} // namespace tesk::test
