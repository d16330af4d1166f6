// The pieces of ClapDelay's extensions that live in files of their own.
#pragma once

#include "clap_api.h"

namespace tesk::clapfmt {

/// The gui or timer-support extension when `id` names one, else null.
const void* guiExtension(const char* id);

/// Takes the editor down when the host destroys an instance with it still open.
struct GuiExtension {
    static void destroy(const clap_plugin_t* plugin);
};

} // namespace tesk::clapfmt
