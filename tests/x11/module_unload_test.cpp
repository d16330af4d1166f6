// Every Linux module can be unloaded after its editor was open: it is loaded as a host
// loads it, its editor opened on a window of an Xvfb of the test's own and idled until
// it has drawn (text included), closed, the instance ended, the module unloaded; then
// nothing of its file may stay mapped. A pending thread-exit destructor of the module
// (a thread_local with a destructor) makes glibc keep it until the thread ends, which
// for a host's UI thread means until the host quits.
// GoogleTest comes before Xlib, whose None and Bool macros clash with its names.
#include <gtest/gtest.h>

#include "clap_host.h"
#include "vst_host.h"
#include "x11_test_support.h"

#include <lv2/ui/ui.h>

#include <dlfcn.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tesk::x11test {
namespace {

// The editor's size, the same in every format.
constexpr int kWidth = 384;
constexpr int kHeight = 530;

/// The lines of /proc/self/maps that map the file at `path`.
std::vector<std::string> mappingsOf(const std::string& path) {
    const std::string file = std::filesystem::canonical(path).string();
    std::ifstream maps("/proc/self/maps");
    std::vector<std::string> found;
    for (std::string line; std::getline(maps, line);) {
        const auto name = line.find('/');
        if (name == std::string::npos) continue;
        const std::string mapped = line.substr(name);
        if (mapped == file || mapped == file + " (deleted)") found.push_back(line);
    }
    return found;
}

/// The mappings as one message, a line each.
std::string listed(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines)
        text += "\n  " + line;
    return text;
}

/// A native window handle as the formats pass it.
void* handleOf(::Window window) {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(window));
}

class ModuleUnloadTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(installed("Xvfb")) << notInstalled("Xvfb", "xvfb");
        server_.emplace();
        ASSERT_TRUE(server_->running()) << "Xvfb did not start";
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        parent_ = makeTopLevel(display_, kWidth, kHeight);
    }
    void TearDown() override {
        if (display_ == nullptr) return;
        XDestroyWindow(display_, parent_);
        XCloseDisplay(display_);
    }

    /// The host's window the editor opens in.
    ::Window parent() const { return parent_; }

    /// Calls `idle` until the editor's window inside the host's shows its picture.
    bool idleUntilDrawn(const std::function<void()>& idle) const {
        const auto drawn = [this] {
            const ::Window editor = firstChild(display_, parent_);
            return editor != 0 && showsPicture(captureRgb(display_, editor, kWidth, kHeight));
        };
        return waitUntil(drawn, idle);
    }

    /// Checks that `path` is not mapped before the test loads it.
    static void expectNotLoadedYet(const std::string& path) {
        ASSERT_TRUE(std::filesystem::exists(path)) << path << " is not built";
        ASSERT_TRUE(mappingsOf(path).empty()) << path << " was mapped before the test loaded it";
    }

  private:
    std::optional<Xvfb> server_;
    Display* display_ = nullptr;
    ::Window parent_ = 0;
};

TEST_F(ModuleUnloadTest, TheVst2ModuleIsUnmappedAfterItsEditorWasOpen) {
    const std::string path = TESK_VST2_MODULE;
    expectNotLoadedYet(path);
    {
        std::string error;
        const auto module = vsthost::Module::load(path, error);
        ASSERT_NE(module, nullptr) << error;
        ASSERT_FALSE(mappingsOf(path).empty()) << "the maps do not show the loaded module";
        vsthost::HostState host;
        auto instance = vsthost::Instance::create(*module, host, error);
        ASSERT_NE(instance, nullptr) << error;
        ASSERT_EQ(instance->dispatch(effEditOpen, 0, 0, handleOf(parent())), 1);
        EXPECT_TRUE(idleUntilDrawn([&] { instance->dispatch(effEditIdle); }))
            << "the editor never drew";
        instance->dispatch(effEditClose);
        instance->close();
    } // dlclose
    const auto left = mappingsOf(path);
    EXPECT_TRUE(left.empty()) << "still mapped after dlclose:" << listed(left);
}

/// The write function of the LV2 UI's host: the values go nowhere.
void ignoreWrite(LV2UI_Controller, std::uint32_t, std::uint32_t, std::uint32_t, const void*) {}

TEST_F(ModuleUnloadTest, TheLv2UiModuleIsUnmappedAfterItsEditorWasOpen) {
    const std::string path = TESK_LV2_UI_MODULE;
    expectNotLoadedYet(path);
    {
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library, nullptr) << dlerror();
        const auto entry =
            reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(library, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        const LV2UI_Descriptor* ui = entry(0);
        ASSERT_NE(ui, nullptr);
        const auto* idle =
            static_cast<const LV2UI_Idle_Interface*>(ui->extension_data(LV2_UI__idleInterface));
        ASSERT_NE(idle, nullptr);
        const LV2_Feature parentFeature{LV2_UI__parent, handleOf(parent())};
        const LV2_Feature* features[] = {&parentFeature, nullptr};
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle handle = ui->instantiate(ui, "urn:velmora:TeskDelay", TESK_LV2_BUNDLE,
                                              ignoreWrite, nullptr, &widget, features);
        ASSERT_NE(handle, nullptr);
        EXPECT_TRUE(idleUntilDrawn([&] { idle->idle(handle); })) << "the editor never drew";
        ui->cleanup(handle);
        ASSERT_EQ(dlclose(library), 0) << dlerror();
    }
    const auto left = mappingsOf(path);
    EXPECT_TRUE(left.empty()) << "still mapped after dlclose:" << listed(left);
}

TEST_F(ModuleUnloadTest, TheClapModuleIsUnmappedAfterItsEditorWasOpen) {
    const std::string path = TESK_CLAP_MODULE;
    expectNotLoadedYet(path);
    {
        std::string error;
        const auto module =
            claphost::Module::load(path, error, claphost::Module::Mapping::releasedOnUnload);
        ASSERT_NE(module, nullptr) << error;
        claphost::HostState host;
        auto instance = claphost::Instance::create(*module, host, "", error);
        ASSERT_NE(instance, nullptr) << error;
        const clap_plugin_t* plugin = instance->plugin();
        const auto* gui = instance->extension<clap_plugin_gui_t>(CLAP_EXT_GUI);
        ASSERT_NE(gui, nullptr);
        ASSERT_TRUE(gui->create(plugin, CLAP_WINDOW_API_X11, false));
        clap_window_t window{CLAP_WINDOW_API_X11, {}};
        window.x11 = parent();
        ASSERT_TRUE(gui->set_parent(plugin, &window));
        ASSERT_TRUE(gui->show(plugin));
        EXPECT_TRUE(idleUntilDrawn([&] { host.fireTimers(plugin); })) << "the editor never drew";
        gui->destroy(plugin);
    } // the instance is destroyed, then the entry's deinit and dlclose
    const auto left = mappingsOf(path);
    EXPECT_TRUE(left.empty()) << "still mapped after dlclose:" << listed(left);
}

} // namespace
} // namespace tesk::x11test
