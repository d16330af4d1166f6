// A small LV2 host on Debian's lilv: loads the built bundle, makes instances,
// drives their ports and hands them the transport as time:Position.
#pragma once

#include <lilv/lilv.h>
#include <lv2/atom/forge.h>
#include <lv2/urid/urid.h>

#include "parameters.h"

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tesk::test {

/// The URID map the host hands its instances.
class UridMap {
  public:
    UridMap();
    /// The feature carrying this map.
    const LV2_Feature* feature() const { return &feature_; }
    LV2_URID_Map* map() { return &map_; }
    LV2_URID id(const char* uri);

  private:
    static LV2_URID mapUri(LV2_URID_Map_Handle handle, const char* uri);
    std::map<std::string, LV2_URID> ids_;
    LV2_URID_Map map_;
    LV2_Feature feature_;
};

/// The lilv world with the built bundle loaded (and nothing else).
class Lv2World {
  public:
    Lv2World();
    ~Lv2World();
    Lv2World(const Lv2World&) = delete;
    Lv2World& operator=(const Lv2World&) = delete;

    LilvWorld* world() const { return world_; }
    /// The TeskDelay plug-in; null when the bundle does not list it.
    const LilvPlugin* plugin() const { return plugin_; }
    UridMap& urids() { return urids_; }
    /// The URIs of the plug-in's presets.
    std::vector<std::string> presetUris() const;

  private:
    LilvWorld* world_;
    const LilvPlugin* plugin_ = nullptr;
    UridMap urids_;
};

/// Six output channels of a render.
using Lv2Outputs = std::array<std::vector<float>, 6>;

/// One instance with its own port buffers, every control at its default.
class Lv2Instance {
  public:
    /// Null when lilv cannot instantiate the plug-in at `rate`.
    static std::unique_ptr<Lv2Instance> create(Lv2World& world, double rate);
    ~Lv2Instance();
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    /// The control port of parameter `index`.
    float& control(int index) { return controls_[static_cast<std::size_t>(index)]; }
    /// The output port carrying the tempo line `line` plays at; NaN until a run wrote it.
    float tempoInUse(int line) const { return tempoInUse_[static_cast<std::size_t>(line)]; }
    /// A time:Position with `bpm` goes with the next block.
    void sendTempo(float bpm) { pendingTempo_ = bpm; }
    /// The transport's sequence starts `bytes` into its buffer from now on, as with
    /// a host whose buffer is not 64-bit aligned.
    void offsetTransport(std::size_t bytes) { transportOffset_ = bytes; }
    /// Runs `left`/`right` in blocks of `block` frames; `beforeBlock(k)` runs ahead of block k.
    Lv2Outputs render(const std::vector<float>& left, const std::vector<float>& right, int block,
                      const std::function<void(int)>& beforeBlock = {});
    /// Loads the preset `uri` the way hosts do, through lilv's state; false when it cannot.
    bool loadPreset(const std::string& uri);
    /// What a host saves of the instance through lilv: its input control ports.
    /// Freed with lilv_state_free.
    LilvState* saveState();
    /// Restores `state` the way hosts do: the control ports take its values.
    void restoreState(const LilvState* state);
    /// Loads a state a host saved to the file `path`; false when lilv cannot read it.
    bool loadStateFile(const std::string& path);
    /// lilv's answer for one port of a preset: a control port takes the value.
    void restorePort(const char* symbol, const void* value, std::uint32_t size, std::uint32_t type);
    /// The parameters the last preset load set, in the order it set them.
    const std::vector<int>& restored() const { return restored_; }
    LilvInstance* instance() const { return instance_; }
    /// Connects the transport port to an empty sequence again and runs `frames` frames.
    void run(std::uint32_t frames);

  private:
    Lv2Instance(Lv2World& world, LilvInstance* instance);
    void fillTransport();
    /// The parameter whose control port is called `symbol`; false for any other port.
    bool parameterOfSymbol(const char* symbol, int& index) const;
    /// lilv's question for the value of the port `symbol` as it saves a state.
    static const void* portValue(const char* symbol, void* data, std::uint32_t* size,
                                 std::uint32_t* type);

    Lv2World& world_;
    LilvInstance* instance_;
    std::vector<float> controls_;
    std::array<float, kNumLines> tempoInUse_{};
    std::optional<float> pendingTempo_;
    std::vector<int> restored_;
    std::vector<std::uint8_t> atoms_;
    std::size_t transportOffset_ = 0;
    LV2_Atom_Forge forge_{};
    /// time:Position, time:beatsPerMinute, time:speed, mapped once so that a run maps nothing.
    std::array<LV2_URID, 3> timeUrids_{};
};

} // namespace tesk::test
