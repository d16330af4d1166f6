// The module can be unloaded after its editor was open, as a host unloads it: a
// copy of the DLL is loaded with LoadLibrary, its editor opened in a window and pumped
// until it has drawn (text included), closed, the instance ended, FreeLibrary called;
// then the system no longer knows the module and its file can be deleted. The MinGW
// runtime pins a DLL that registered a thread_local destructor until that thread
// ends, which for a host's UI thread means until the host quits.
#include "host_window.h"
#include "plugin_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace tesk::test {
namespace {

/// A copy of the built module under a name of this process's own, so that the test
/// may delete it.
std::string copyOfModule() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string copy =
        std::string(folder) + "TeskDelay-unload-" + std::to_string(GetCurrentProcessId()) + ".dll";
    if (!CopyFileA(modulePath().c_str(), copy.c_str(), FALSE)) return {};
    return copy;
}

/// One instance of `module` with its editor opened in a host window, pumped until it
/// has drawn, closed again, and the instance closed.
void openAndCloseTheEditor(const vsthost::Module& module) {
    vsthost::HostState host;
    std::string error;
    auto instance = vsthost::Instance::create(module, host, error);
    ASSERT_NE(instance, nullptr) << error;
    ERect* rect = nullptr;
    ASSERT_EQ(instance->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    HostWindow window(rect->right - rect->left, rect->bottom - rect->top);
    ASSERT_EQ(instance->dispatch(effEditOpen, 0, 0, window.handle()), 1);
    EXPECT_TRUE(
        pumpMessagesUntil([&] { return window.child() != nullptr && showsPicture(window.child()); },
                          [&] { instance->dispatch(effEditIdle); }))
        << "the editor never drew";
    instance->dispatch(effEditClose);
    instance->close();
}

TEST(ModuleUnload, TheModuleIsUnloadedAfterItsEditorWasOpen) {
    const std::string path = copyOfModule();
    ASSERT_FALSE(path.empty()) << "cannot copy " << modulePath() << ": error " << GetLastError();
    ASSERT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "loaded before the test loaded it";
    {
        std::string error;
        const auto module = vsthost::Module::load(path, error);
        ASSERT_NE(module, nullptr) << error;
        ASSERT_NE(GetModuleHandleA(path.c_str()), nullptr) << "the system does not know it";
        openAndCloseTheEditor(*module);
    } // FreeLibrary
    EXPECT_EQ(GetModuleHandleA(path.c_str()), nullptr) << "still loaded after FreeLibrary";
    EXPECT_TRUE(DeleteFileA(path.c_str()))
        << "cannot delete " << path << ": error " << GetLastError();
}

} // namespace
} // namespace tesk::test
