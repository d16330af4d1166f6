// The pieces of ClapDelay's extensions that live in files of their own.
#pragma once

#include "clap_api.h"

namespace tesk::clapfmt {

/// The gui or timer-support extension when `id` names one, else null.
const void* guiExtension(const char* id);
/// The preset-load extension when `id` names it (CLAP 1.2's id or the draft's),
/// else null (any thread).
const void* presetLoadExtension(const char* id);
/// The preset-discovery factory when `id` names it (CLAP 1.2's id or the
/// draft's), else null (any thread).
const void* presetDiscoveryFactory(const char* id);

/// Takes the editor down when the host destroys an instance with it still open.
struct GuiExtension {
    static void destroy(const clap_plugin_t* plugin);
};

} // namespace tesk::clapfmt
