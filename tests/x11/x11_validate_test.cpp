// tesk-validate with a display: every check passes on our module, the editor's
// 500-fold open, idle and close in a real X window among them.
#include <gtest/gtest.h>

// After GoogleTest: Xlib's macros (None, Bool) would break its templates.
#include "x11_test_support.h"

#include <cstdio>
#include <string>

namespace tesk::x11test {
namespace {

std::string run(const std::string& command) {
    std::string out;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return out;
    char chunk[4096];
    while (std::fgets(chunk, sizeof chunk, pipe) != nullptr)
        out += chunk;
    pclose(pipe);
    return out;
}

TEST(X11Validate, EveryCheckPassesWithTheEditorInAnXWindow) {
    ASSERT_TRUE(installed("Xvfb")) << notInstalled("Xvfb", "xvfb");
    Xvfb server;
    ASSERT_TRUE(server.running());
    const std::string out = run(std::string(TESK_VALIDATE) + " --strictness 1 --seed 5 2>&1");
    EXPECT_NE(out.find("PASS editor"), std::string::npos) << out;
    EXPECT_NE(out.find("11 passed, 0 failed"), std::string::npos) << out;
}

} // namespace
} // namespace tesk::x11test
