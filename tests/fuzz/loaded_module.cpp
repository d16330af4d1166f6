// The built TeskDelay.so, loaded by the project's host as every host loads it
// (dlopen, then its exported VSTPluginMain): what is fuzzed is the shared object
// itself, its exports, its own copy of the code and the X11 toolkit it carries.
// It is loaded before the first input, so that libFuzzer counts its coverage from
// the start, and never unloaded.
#include "reused_instance.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

const vsthost::Module& tesk::fuzz::fuzzedModule() {
    static const vsthost::Module& module = *[] {
        std::string error;
        std::unique_ptr<vsthost::Module> loaded = vsthost::Module::load(TESK_MODULE_PATH, error);
        if (loaded == nullptr) {
            std::fprintf(stderr, "fuzz: %s; build it with: cmake --build --preset fuzz\n",
                         error.c_str());
            std::exit(1);
        }
        return loaded.release();
    }();
    return module;
}

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    (void)tesk::fuzz::fuzzedModule();
    return 0;
}
