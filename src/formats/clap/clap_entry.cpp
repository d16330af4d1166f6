// The module's one export, clap_entry, with its factory of one plug-in and
// (clap_presets.cpp) its preset-discovery factory.
#include "clap_delay.h"
#include "clap_extensions.h"

#include <cstring>

namespace {

using tesk::clapfmt::ClapDelay;

std::uint32_t pluginCount(const clap_plugin_factory_t*) {
    return 1;
}

const clap_plugin_descriptor_t* descriptorAt(const clap_plugin_factory_t*, std::uint32_t index) {
    return index == 0 ? &ClapDelay::kDescriptor : nullptr;
}

const clap_plugin_t* createPlugin(const clap_plugin_factory_t*, const clap_host_t* host,
                                  const char* id) {
    if (id == nullptr || std::strcmp(id, ClapDelay::kDescriptor.id) != 0) return nullptr;
    return ClapDelay::create(host);
}

constexpr clap_plugin_factory_t kFactory{pluginCount, descriptorAt, createPlugin};

// Nothing is set up once per module, so init and deinit may come any number of times.
bool initModule(const char*) {
    return true;
}

void deinitModule() {}

const void* factoryOf(const char* id) {
    if (id == nullptr) return nullptr;
    if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0) return &kFactory;
    return tesk::clapfmt::presetDiscoveryFactory(id);
}

} // namespace

extern "C" {
const clap_plugin_entry_t clap_entry = {CLAP_VERSION, initModule, deinitModule, factoryOf};
}
