// The factory programs as CLAP presets: the preset-discovery factory, whose one
// provider lists them as presets inside the plug-in, and the preset-load
// extension that loads one into an instance. They are the presets the LV2
// edition lists: the twelve factory programs and the neutral one, "01 Simple
// single echo" to "13 Init", each with what it sounds like. A preset loads as a
// state does, so it reaches the engine between blocks while the instance runs;
// the bypass stays as it is.
#include "clap_delay.h"
#include "clap_extensions.h"
#include "parameter_state.h"
#include "product.h"
#include "programs.h"

#include <cstring>
#include <new>
#include <string>

namespace tesk::clapfmt {

namespace {

using FactoryPrograms = std::array<DelayProgram, kNumPrograms>;

FactoryPrograms factoryPrograms() {
    FactoryPrograms programs;
    makeFactoryPrograms(programs);
    return programs;
}

// The key that loads preset `program`: the program's name as hosts show it
// ("Ping pong", "Init 13").
std::string loadKeyOf(const FactoryPrograms& programs, int program) {
    return programDisplayName(programs[static_cast<std::size_t>(program)], program);
}

// The preset `key` names, 0 to 12; -1 for none.
int presetOfKey(const FactoryPrograms& programs, const char* key) {
    if (key == nullptr) return -1;
    for (int program = 0; program < kNumPresets; ++program)
        if (loadKeyOf(programs, program) == key) return program;
    return -1;
}

// What loading preset `program` leaves: the program current, its values as a
// load leaves them (follow-on changes included), and the bypass `bypassed`.
SavedState presetState(const FactoryPrograms& programs, int program, bool bypassed) {
    ParameterState loaded;
    loaded.loadProgram(programs[static_cast<std::size_t>(program)]);
    SavedState state;
    state.program = program;
    for (int i = 0; i < kNumParameters; ++i)
        state.values[static_cast<std::size_t>(i)] = loaded.value(i);
    state.bypassed = bypassed;
    return state;
}

// ---------------------------------------------------------------- discovery

constexpr clap_preset_discovery_provider_descriptor_t kProviderDescriptor = {
    CLAP_VERSION, "org.teskdelay.TeskDelay.factory-programs", "TeskDelay factory programs",
    kVendorName};

/// One provider, made for one indexer.
struct Provider {
    clap_preset_discovery_provider_t record;
    const clap_preset_discovery_indexer_t* indexer;

    static const Provider& of(const clap_preset_discovery_provider_t* provider) {
        return *static_cast<const Provider*>(provider->provider_data);
    }

    // The presets live inside the plug-in: one location, no files.
    static bool init(const clap_preset_discovery_provider_t* provider) {
        const clap_preset_discovery_indexer_t* indexer = of(provider).indexer;
        const clap_preset_discovery_location_t location = {
            CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, kProviderDescriptor.name,
            CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
        return indexer->declare_location != nullptr &&
               indexer->declare_location(indexer, &location);
    }

    static void destroy(const clap_preset_discovery_provider_t* provider) { delete &of(provider); }

    static bool getMetadata(const clap_preset_discovery_provider_t*, std::uint32_t kind,
                            const char*,
                            const clap_preset_discovery_metadata_receiver_t* receiver) {
        if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || receiver == nullptr) return false;
        const FactoryPrograms programs = factoryPrograms();
        const clap_universal_plugin_id_t plugin = {"clap", ClapDelay::kDescriptor.id};
        for (int program = 0; program < kNumPresets; ++program) {
            const std::string label =
                presetLabel(programs[static_cast<std::size_t>(program)], program);
            if (!receiver->begin_preset(receiver, label.c_str(),
                                        loadKeyOf(programs, program).c_str()))
                break;
            receiver->add_plugin_id(receiver, &plugin);
            receiver->set_description(receiver, factoryProgramDescription(program));
        }
        return true;
    }

    static const void* getExtension(const clap_preset_discovery_provider_t*, const char*) {
        return nullptr;
    }
};

std::uint32_t providerCount(const clap_preset_discovery_factory_t*) {
    return 1;
}

const clap_preset_discovery_provider_descriptor_t*
providerDescriptor(const clap_preset_discovery_factory_t*, std::uint32_t index) {
    return index == 0 ? &kProviderDescriptor : nullptr;
}

const clap_preset_discovery_provider_t*
createProvider(const clap_preset_discovery_factory_t*,
               const clap_preset_discovery_indexer_t* indexer, const char* id) {
    if (indexer == nullptr || id == nullptr || std::strcmp(id, kProviderDescriptor.id) != 0)
        return nullptr;
    auto* provider = new (std::nothrow)
        Provider{{&kProviderDescriptor, nullptr, Provider::init, Provider::destroy,
                  Provider::getMetadata, Provider::getExtension},
                 indexer};
    if (provider == nullptr) return nullptr;
    provider->record.provider_data = provider;
    return &provider->record;
}

constexpr clap_preset_discovery_factory_t kFactory{providerCount, providerDescriptor,
                                                   createProvider};

} // namespace

// ---------------------------------------------------------------- loading

struct PresetLoadExtension {
    static bool fromLocation(const clap_plugin_t* plugin, std::uint32_t kind, const char* location,
                             const char* key) {
        ClapDelay* self = ClapDelay::of(plugin);
        if (self == nullptr) return false;
        self->requireMainThread("preset_load.from_location");
        const FactoryPrograms programs = factoryPrograms();
        const int program =
            kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN ? presetOfKey(programs, key) : -1;
        if (program < 0)
            return failed(*self, kind, location, key,
                          "TeskDelay has no such preset: its presets are its factory programs, "
                          "inside the plug-in, each loaded by its name");
        if (!self->loadState(presetState(programs, program, self->mainBypassed())))
            return failed(*self, kind, location, key,
                          "the host runs no block and no flush, so the preset cannot reach the "
                          "engine");
        if (self->hostPresetLoad_ != nullptr)
            self->hostPresetLoad_->loaded(self->host_, kind, location, key);
        return true;
    }

    // Tells the host why a load failed, when it listens.
    static bool failed(const ClapDelay& self, std::uint32_t kind, const char* location,
                       const char* key, const char* message) {
        if (self.hostPresetLoad_ != nullptr)
            self.hostPresetLoad_->on_error(self.host_, kind, location, key, 0, message);
        return false;
    }

    static constexpr clap_plugin_preset_load_t table{fromLocation};
};

const void* presetLoadExtension(const char* id) {
    if (std::strcmp(id, CLAP_EXT_PRESET_LOAD) == 0 ||
        std::strcmp(id, CLAP_EXT_PRESET_LOAD_COMPAT) == 0)
        return &PresetLoadExtension::table;
    return nullptr;
}

const void* presetDiscoveryFactory(const char* id) {
    if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
        std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0)
        return &kFactory;
    return nullptr;
}

} // namespace tesk::clapfmt
