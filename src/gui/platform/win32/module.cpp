// The module's instance handle: the window class and the bitmap resources belong
// to the DLL the toolkit is linked into, not to the host's program.
#include "gui/platform/win32/win32.h"

namespace {

HINSTANCE loadedModule = nullptr;

} // namespace

/// The DLL's entry: remembers which module this is; nothing else runs under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    if (reason == DLL_PROCESS_ATTACH) loadedModule = instance;
    return TRUE;
}

namespace gui::win32 {

HINSTANCE moduleInstance() {
    if (loadedModule != nullptr) return loadedModule;
    // A program (a test) gets no DllMain call: ask which module holds this code.
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&loadedModule), &self);
    loadedModule = self;
    return loadedModule;
}

} // namespace gui::win32
