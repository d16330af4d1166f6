// A module whose entry makes no instance, as a module does when it cannot run
// on this machine: the validator must refuse it.
#include "vst2.h"

extern "C" __attribute__((visibility("default"))) AEffect* VSTCALL
VSTPluginMain(audioMasterCallback) {
    return nullptr;
}
