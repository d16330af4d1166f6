// The interface's original entry name, `main`, for hosts that look for it.
// Kept apart from the other entry so that programs with a main function of
// their own (the fuzzer) can link the module's code.
#include "vst2.h"

extern "C" AEffect* VSTCALL VSTPluginMain(audioMasterCallback host);

extern "C" {
// C++ keeps the name `main` for programs, so the function carries another
// name and takes `main` as its symbol.
__attribute__((visibility("default"))) AEffect* VSTCALL vstMainEntry(audioMasterCallback host)
    __asm__("main");
AEffect* VSTCALL vstMainEntry(audioMasterCallback host) { return VSTPluginMain(host); }
}
