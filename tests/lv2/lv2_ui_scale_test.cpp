// The LV2 UI as a lilv-based host loads it: found through the bundle's data, which
// declares ui:scaleFactor among the options it reads; dlopened and made inside a
// window of an Xvfb server, once with the host's options saying ui:scaleFactor 2 and
// once with no options, where the desktop's scale (none set: 1) holds.
// GoogleTest comes before Xlib, whose None and Bool macros clash with its names.
#include <gtest/gtest.h>

#include "lv2_ports.h"
#include "lv2_test_host.h"
#include "x11_test_support.h"

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/ui/ui.h>

#include <dlfcn.h>

#include <optional>
#include <string>
#include <vector>

namespace tesk::test {
namespace {

using namespace x11test;

/// What the UI asked of ui:resize.
struct ResizeLog {
    int width = 0;
    int height = 0;
};

int recordResize(LV2UI_Feature_Handle handle, int width, int height) {
    auto* log = static_cast<ResizeLog*>(handle);
    log->width = width;
    log->height = height;
    return 0;
}

void ignoreWrite(LV2UI_Controller, std::uint32_t, std::uint32_t, std::uint32_t, const void*) {}

class Lv2UiScaleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(x11test::installed("Xvfb")) << x11test::notInstalled("Xvfb", "xvfb");
        server_.emplace();
        ASSERT_TRUE(server_->running()) << "Xvfb did not start";
        display_ = XOpenDisplay(nullptr);
        ASSERT_NE(display_, nullptr);
        ASSERT_NE(world_.plugin(), nullptr);
        uis_ = lilv_plugin_get_uis(world_.plugin());
        ASSERT_EQ(lilv_uis_size(uis_), 1u);
        ui_ = lilv_uis_get(uis_, lilv_uis_begin(uis_));
        char* path = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui_)), nullptr);
        module_ = dlopen(path, RTLD_NOW | RTLD_LOCAL);
        lilv_free(path);
        ASSERT_NE(module_, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module_, "lv2ui_descriptor"));
        ASSERT_NE(entry, nullptr);
        descriptor_ = entry(0);
        ASSERT_NE(descriptor_, nullptr);
    }
    void TearDown() override {
        if (module_ != nullptr) dlclose(module_);
        if (display_ != nullptr) XCloseDisplay(display_);
        if (uis_ != nullptr) lilv_uis_free(uis_);
    }

    /// True when the UI's data lists `option` among opts:supportedOption.
    bool declaresOption(const char* option) {
        LilvNode* predicate = lilv_new_uri(world_.world(), LV2_OPTIONS__supportedOption);
        LilvNode* object = lilv_new_uri(world_.world(), option);
        const bool found = lilv_world_ask(world_.world(), lilv_ui_get_uri(ui_), predicate, object);
        lilv_node_free(object);
        lilv_node_free(predicate);
        return found;
    }

    /// Makes the UI in a new top-level window, with ui:scaleFactor `factor` among the
    /// options when given; its window, 0 when none was made. `log` hears ui:resize.
    ::Window instantiate(std::optional<float> factor, ResizeLog& log, LV2UI_Handle& handle) {
        const ::Window top = makeTopLevel(display_, 800, 1100);
        LV2_Feature parent{LV2_UI__parent, reinterpret_cast<void*>(top)};
        LV2UI_Resize resize{&log, recordResize};
        LV2_Feature resizeFeature{LV2_UI__resize, &resize};
        LV2_URID_Map* map = world_.urids().map();
        float value = factor.value_or(0.0f);
        const LV2_Options_Option options[] = {
            {LV2_OPTIONS_INSTANCE, 0, map->map(map->handle, LV2_UI__scaleFactor), sizeof value,
             map->map(map->handle, LV2_ATOM__Float), &value},
            {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr}};
        LV2_Feature optionsFeature{LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
        LV2_Feature mapFeature{LV2_URID__map, map};
        std::vector<const LV2_Feature*> features{&parent, &resizeFeature, &mapFeature};
        if (factor) features.push_back(&optionsFeature);
        features.push_back(nullptr);
        LV2UI_Widget widget = nullptr;
        handle = descriptor_->instantiate(descriptor_, tesk::lv2::kPluginUri, "", ignoreWrite,
                                          nullptr, &widget, features.data());
        return handle != nullptr ? reinterpret_cast<::Window>(widget) : 0;
    }

    std::pair<int, int> sizeOf(::Window window) {
        XSync(display_, False);
        XWindowAttributes attributes{};
        XGetWindowAttributes(display_, window, &attributes);
        return {attributes.width, attributes.height};
    }

    std::optional<Xvfb> server_;
    Display* display_ = nullptr;
    Lv2World world_;
    LilvUIs* uis_ = nullptr;
    const LilvUI* ui_ = nullptr;
    void* module_ = nullptr;
    const LV2UI_Descriptor* descriptor_ = nullptr;
};

TEST_F(Lv2UiScaleTest, TheHostsScaleFactorSizesTheUiAndWhatItAsksTheHostFor) {
    EXPECT_TRUE(declaresOption(LV2_UI__scaleFactor));
    for (const auto& [factor, width, height] : {std::tuple{std::optional<float>{2.0f}, 768, 1060},
                                                std::tuple{std::optional<float>{1.5f}, 576, 795},
                                                std::tuple{std::optional<float>{}, 384, 530}}) {
        ResizeLog log;
        LV2UI_Handle handle = nullptr;
        const ::Window window = instantiate(factor, log, handle);
        ASSERT_NE(window, 0u);
        EXPECT_EQ(sizeOf(window), std::make_pair(width, height)) << factor.value_or(0.0f);
        EXPECT_EQ(log.width, width);
        EXPECT_EQ(log.height, height);
        descriptor_->cleanup(handle);
    }
}

} // namespace
} // namespace tesk::test
