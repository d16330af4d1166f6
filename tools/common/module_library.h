// The system's loader for the test hosts: a module opened, a symbol found, the
// module closed, on Linux (dlopen) and on Windows (LoadLibrary).
#pragma once

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdlib>
#include <string>

namespace hostlib {

/// Opens the module at `path`; null with the loader's reason in `why`. With
/// `keepMapped` a Linux module stays mapped after closing (for a leak report's
/// frames); Windows has nothing of the kind. Any thread.
inline void* openLibrary(const std::string& path, bool keepMapped, std::string& why) {
#if defined(_WIN32)
    (void)keepMapped;
    HMODULE handle = LoadLibraryA(path.c_str());
    if (handle == nullptr) why = "system error " + std::to_string(GetLastError());
    return reinterpret_cast<void*>(handle);
#else
    // A bare file name would make dlopen search the library path instead.
    const std::string openPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle =
        dlopen(openPath.c_str(), RTLD_NOW | RTLD_LOCAL | (keepMapped ? RTLD_NODELETE : 0));
    if (handle == nullptr) {
        const char* message = dlerror();
        why = message != nullptr ? message : "unknown error";
    }
    return handle;
#endif
}

/// The address of `name` in an open module, null when it exports none. Any thread.
inline void* findSymbol(void* handle, const char* name) {
#if defined(_WIN32)
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
#else
    return dlsym(handle, name);
#endif
}

/// Closes a module `openLibrary` opened. Any thread.
inline void closeLibrary(void* handle) {
#if defined(_WIN32)
    FreeLibrary(static_cast<HMODULE>(handle));
#else
    dlclose(handle);
#endif
}

/// Sets environment variable `name` to `value` unless it is set already. Main thread.
inline void setEnvironmentDefault(const char* name, const char* value) {
    if (std::getenv(name) != nullptr) return;
#if defined(_WIN32)
    _putenv_s(name, value);
#else
    setenv(name, value, 0);
#endif
}

} // namespace hostlib
