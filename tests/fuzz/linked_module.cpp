// The module's code linked into the fuzzer, reached through its entry: the
// fuzzer can then look inside the instance (the editor's window, for one).
#include "reused_instance.h"

extern "C" AEffect* VSTCALL VSTPluginMain(audioMasterCallback host);

const vsthost::Module& tesk::fuzz::fuzzedModule() {
    // Never destroyed, as the instance made from it.
    static const vsthost::Module& module =
        *vsthost::Module::linked(VSTPluginMain, "the module's code linked into the fuzzer")
             .release();
    return module;
}
