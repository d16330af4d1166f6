#include "lv2_test_host.h"

#include "lv2_ports.h"

#include <lv2/atom/util.h>
#include <lv2/presets/presets.h>
#include <lv2/time/time.h>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace tesk::test {

UridMap::UridMap() : map_{this, &UridMap::mapUri}, feature_{LV2_URID__map, &map_} {}

LV2_URID UridMap::id(const char* uri) {
    auto [it, added] = ids_.emplace(uri, static_cast<LV2_URID>(ids_.size() + 1));
    return it->second;
}

LV2_URID UridMap::mapUri(LV2_URID_Map_Handle handle, const char* uri) {
    return static_cast<UridMap*>(handle)->id(uri);
}

Lv2World::Lv2World() : world_(lilv_world_new()) {
    LilvNode* bundle = lilv_new_file_uri(world_, nullptr, TESK_LV2_BUNDLE "/");
    lilv_world_load_specifications(world_);
    lilv_world_load_bundle(world_, bundle);
    lilv_node_free(bundle);
    LilvNode* uri = lilv_new_uri(world_, lv2::kPluginUri);
    plugin_ = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world_), uri);
    lilv_node_free(uri);
}

Lv2World::~Lv2World() {
    lilv_world_free(world_);
}

std::vector<std::string> Lv2World::presetUris() const {
    std::vector<std::string> uris;
    LilvNode* presetClass = lilv_new_uri(world_, LV2_PRESETS__Preset);
    LilvNodes* presets = lilv_plugin_get_related(plugin_, presetClass);
    LILV_FOREACH(nodes, i, presets)
    uris.emplace_back(lilv_node_as_uri(lilv_nodes_get(presets, i)));
    lilv_nodes_free(presets);
    lilv_node_free(presetClass);
    std::sort(uris.begin(), uris.end());
    return uris;
}

std::unique_ptr<Lv2Instance> Lv2Instance::create(Lv2World& world, double rate) {
    if (world.plugin() == nullptr) return nullptr;
    const LV2_Feature* features[] = {world.urids().feature(), nullptr};
    LilvInstance* instance = lilv_plugin_instantiate(world.plugin(), rate, features);
    if (instance == nullptr) return nullptr;
    return std::unique_ptr<Lv2Instance>(new Lv2Instance(world, instance));
}

Lv2Instance::Lv2Instance(Lv2World& world, LilvInstance* instance)
    : world_(world), instance_(instance), controls_(kNumParameters), atoms_(4096) {
    const std::uint32_t ports = lilv_plugin_get_num_ports(world.plugin());
    std::vector<float> defaults(ports);
    lilv_plugin_get_port_ranges_float(world.plugin(), nullptr, nullptr, defaults.data());
    for (int i = 0; i < kNumParameters; ++i) {
        controls_[static_cast<std::size_t>(i)] = defaults[lv2::controlPortOf(i)];
        lilv_instance_connect_port(instance_, lv2::controlPortOf(i),
                                   &controls_[static_cast<std::size_t>(i)]);
    }
    tempoInUse_.fill(NAN);
    for (int line = 0; line < kNumLines; ++line)
        lilv_instance_connect_port(instance_, lv2::tempoInUsePortOf(line),
                                   &tempoInUse_[static_cast<std::size_t>(line)]);
    lv2_atom_forge_init(&forge_, world.urids().map());
    timeUrids_ = {world.urids().id(LV2_TIME__Position), world.urids().id(LV2_TIME__beatsPerMinute),
                  world.urids().id(LV2_TIME__speed)};
    lilv_instance_activate(instance_);
}

Lv2Instance::~Lv2Instance() {
    lilv_instance_deactivate(instance_);
    lilv_instance_free(instance_);
}

void Lv2Instance::fillTransport() {
    std::uint8_t* const buffer = atoms_.data() + transportOffset_;
    lv2_atom_forge_set_buffer(&forge_, buffer, atoms_.size() - transportOffset_);
    LV2_Atom_Forge_Frame sequence, object;
    lv2_atom_forge_sequence_head(&forge_, &sequence, 0);
    if (pendingTempo_) {
        lv2_atom_forge_frame_time(&forge_, 0);
        lv2_atom_forge_object(&forge_, &object, 0, timeUrids_[0]);
        lv2_atom_forge_key(&forge_, timeUrids_[1]);
        lv2_atom_forge_float(&forge_, *pendingTempo_);
        lv2_atom_forge_key(&forge_, timeUrids_[2]);
        lv2_atom_forge_float(&forge_, 1.0f);
        lv2_atom_forge_pop(&forge_, &object);
        pendingTempo_.reset();
    }
    lv2_atom_forge_pop(&forge_, &sequence);
    lilv_instance_connect_port(instance_, lv2::kTimePort, buffer);
}

void Lv2Instance::run(std::uint32_t frames) {
    fillTransport();
    lilv_instance_run(instance_, frames);
}

Lv2Outputs Lv2Instance::render(const std::vector<float>& left, const std::vector<float>& right,
                               int block, const std::function<void(int)>& beforeBlock) {
    const int frames = static_cast<int>(left.size());
    Lv2Outputs out;
    for (auto& channel : out)
        channel.assign(left.size(), 0.0f);
    std::vector<float> inL = left, inR = right;
    for (int start = 0, k = 0; start < frames; start += block, ++k) {
        if (beforeBlock) beforeBlock(k);
        const int n = std::min(block, frames - start);
        lilv_instance_connect_port(instance_, 0, inL.data() + start);
        lilv_instance_connect_port(instance_, 1, inR.data() + start);
        for (std::uint32_t c = 0; c < 6; ++c)
            lilv_instance_connect_port(instance_, lv2::kFirstOutputPort + c, out[c].data() + start);
        run(static_cast<std::uint32_t>(n));
    }
    return out;
}

namespace {

void setPortValue(const char* symbol, void* data, const void* value, std::uint32_t size,
                  std::uint32_t type) {
    static_cast<Lv2Instance*>(data)->restorePort(symbol, value, size, type);
}

} // namespace

bool Lv2Instance::parameterOfSymbol(const char* symbol, int& index) const {
    LilvNode* name = lilv_new_string(world_.world(), symbol);
    const LilvPort* port = lilv_plugin_get_port_by_symbol(world_.plugin(), name);
    lilv_node_free(name);
    return port != nullptr &&
           lv2::parameterOfPort(lilv_port_get_index(world_.plugin(), port), index);
}

void Lv2Instance::restorePort(const char* symbol, const void* value, std::uint32_t size,
                              std::uint32_t type) {
    int index = 0;
    if (type != world_.urids().id(LV2_ATOM__Float) || size != sizeof(float) ||
        !parameterOfSymbol(symbol, index))
        return;
    std::memcpy(&control(index), value, sizeof(float));
    restored_.push_back(index);
}

bool Lv2Instance::loadPreset(const std::string& uri) {
    LilvNode* node = lilv_new_uri(world_.world(), uri.c_str());
    lilv_world_load_resource(world_.world(), node);
    LilvState* state = lilv_state_new_from_world(world_.world(), world_.urids().map(), node);
    lilv_node_free(node);
    if (state == nullptr) return false;
    restoreState(state);
    lilv_state_free(state);
    return true;
}

void Lv2Instance::restoreState(const LilvState* state) {
    restored_.clear();
    lilv_state_restore(state, instance_, setPortValue, this, 0, nullptr);
}

bool Lv2Instance::loadStateFile(const std::string& path) {
    LilvState* state =
        lilv_state_new_from_file(world_.world(), world_.urids().map(), nullptr, path.c_str());
    if (state == nullptr) return false;
    restoreState(state);
    lilv_state_free(state);
    return true;
}

const void* Lv2Instance::portValue(const char* symbol, void* data, std::uint32_t* size,
                                   std::uint32_t* type) {
    auto& self = *static_cast<Lv2Instance*>(data);
    int index = 0;
    if (!self.parameterOfSymbol(symbol, index)) return nullptr;
    *size = sizeof(float);
    *type = self.world_.urids().id(LV2_ATOM__Float);
    return &self.control(index);
}

LilvState* Lv2Instance::saveState() {
    return lilv_state_new_from_instance(world_.plugin(), instance_, world_.urids().map(), nullptr,
                                        nullptr, nullptr, nullptr, portValue, this, 0, nullptr);
}

} // namespace tesk::test
