// The interface's original entry name, `main`, for hosts that look for it.
// Kept apart from the other entry so that programs with a main function of
// their own (the fuzzer) can link the module's code.
#include "vst2.h"

extern "C" AEffect* VSTCALL VSTPluginMain(audioMasterCallback host);

extern "C" {
// C++ keeps the name `main` for programs, so the function carries another
// name. On ELF it takes `main` as its symbol; Windows builds export it under
// that name from the .def file.
#if defined(_WIN32)
AEffect* VSTCALL vstMainEntry(audioMasterCallback host);
#else
VST_EXPORT AEffect* VSTCALL vstMainEntry(audioMasterCallback host) __asm__("main");
#endif
AEffect* VSTCALL vstMainEntry(audioMasterCallback host) { return VSTPluginMain(host); }
}
