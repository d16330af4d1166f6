// The CLAP binary interface as this plug-in and our test host use it: the entry,
// the plug-in and preset-discovery factories, the plug-in and host records,
// processing, events and the extensions we offer or ask for. Written by us from
// the public CLAP 1.2 headers (free-audio/clap, MIT licence), version 1.2.1; only
// what we use is declared. The records are plain C layouts, so every size and
// offset is checked below for 64-bit builds: x86-64 and aarch64 Linux and
// 64-bit Windows lay them out alike. The 32-bit Windows module takes the
// compiler's layout of the same fields, as clap's own headers would get there.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__GNUC__)
#define CLAP_EXPORT __attribute__((visibility("default")))
#else
#define CLAP_EXPORT
#endif

extern "C" {

using clap_id = std::uint32_t;
constexpr clap_id CLAP_INVALID_ID = UINT32_MAX;

/// Beats and seconds in the transport: 31 bits of fraction.
using clap_beattime = std::int64_t;
using clap_sectime = std::int64_t;

constexpr std::uint32_t CLAP_NAME_SIZE = 256;
constexpr std::uint32_t CLAP_PATH_SIZE = 1024;

struct clap_version_t {
    std::uint32_t major;
    std::uint32_t minor;
    std::uint32_t revision;
};
constexpr clap_version_t CLAP_VERSION = {1, 2, 1};
/// Every 1.x host and plug-in speak the same binary interface.
constexpr bool clap_version_is_compatible(clap_version_t v) {
    return v.major >= 1;
}

// ---- host

struct clap_host_t {
    clap_version_t clap_version;
    void* host_data;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    const void* (*get_extension)(const clap_host_t* host, const char* extension_id);
    void (*request_restart)(const clap_host_t* host);
    void (*request_process)(const clap_host_t* host);
    void (*request_callback)(const clap_host_t* host);
};

// ---- events

struct clap_event_header_t {
    std::uint32_t size; ///< the whole event's size in bytes
    std::uint32_t time; ///< sample offset within the block
    std::uint16_t space_id;
    std::uint16_t type;
    std::uint32_t flags;
};
constexpr std::uint16_t CLAP_CORE_EVENT_SPACE_ID = 0;

enum : std::uint16_t {
    CLAP_EVENT_PARAM_VALUE = 5,
    CLAP_EVENT_PARAM_GESTURE_BEGIN = 7,
    CLAP_EVENT_PARAM_GESTURE_END = 8,
    CLAP_EVENT_TRANSPORT = 9,
};

struct clap_event_param_value_t {
    clap_event_header_t header;
    clap_id param_id;
    void* cookie;
    std::int32_t note_id;
    std::int16_t port_index;
    std::int16_t channel;
    std::int16_t key;
    double value;
};

struct clap_event_param_gesture_t {
    clap_event_header_t header;
    clap_id param_id;
};

enum : std::uint32_t {
    CLAP_TRANSPORT_HAS_TEMPO = 1 << 0,
    CLAP_TRANSPORT_HAS_BEATS_TIMELINE = 1 << 1,
    CLAP_TRANSPORT_HAS_TIME_SIGNATURE = 1 << 3,
    CLAP_TRANSPORT_IS_PLAYING = 1 << 4,
};

struct clap_event_transport_t {
    clap_event_header_t header;
    std::uint32_t flags;
    clap_beattime song_pos_beats;
    clap_sectime song_pos_seconds;
    double tempo; ///< beats per minute
    double tempo_inc;
    clap_beattime loop_start_beats;
    clap_beattime loop_end_beats;
    clap_sectime loop_start_seconds;
    clap_sectime loop_end_seconds;
    clap_beattime bar_start;
    std::int32_t bar_number;
    std::uint16_t tsig_num;
    std::uint16_t tsig_denom;
};

/// Events in, sorted by time.
struct clap_input_events_t {
    void* ctx;
    std::uint32_t (*size)(const clap_input_events_t* list);
    const clap_event_header_t* (*get)(const clap_input_events_t* list, std::uint32_t index);
};

/// Events out; the list copies what it is given.
struct clap_output_events_t {
    void* ctx;
    bool (*try_push)(const clap_output_events_t* list, const clap_event_header_t* event);
};

// ---- processing

struct clap_audio_buffer_t {
    float** data32;
    double** data64;
    std::uint32_t channel_count;
    std::uint32_t latency;
    std::uint64_t constant_mask;
};

struct clap_process_t {
    std::int64_t steady_time;
    std::uint32_t frames_count;
    const clap_event_transport_t* transport; ///< at the block's first frame; null when free running
    const clap_audio_buffer_t* audio_inputs;
    clap_audio_buffer_t* audio_outputs;
    std::uint32_t audio_inputs_count;
    std::uint32_t audio_outputs_count;
    const clap_input_events_t* in_events;
    const clap_output_events_t* out_events;
};

using clap_process_status = std::int32_t;
enum : clap_process_status {
    CLAP_PROCESS_ERROR = 0,
    CLAP_PROCESS_CONTINUE = 1,
    /// Nothing sounds: the host may stop calling process until the input or a
    /// parameter changes.
    CLAP_PROCESS_SLEEP = 4,
};

// ---- plug-in

struct clap_plugin_descriptor_t {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
    const char* url;
    const char* manual_url;
    const char* support_url;
    const char* version;
    const char* description;
    const char* const* features; ///< null-terminated
};

struct clap_plugin_t {
    const clap_plugin_descriptor_t* desc;
    void* plugin_data;
    bool (*init)(const clap_plugin_t* plugin);
    void (*destroy)(const clap_plugin_t* plugin);
    bool (*activate)(const clap_plugin_t* plugin, double sample_rate,
                     std::uint32_t min_frames_count, std::uint32_t max_frames_count);
    void (*deactivate)(const clap_plugin_t* plugin);
    bool (*start_processing)(const clap_plugin_t* plugin);
    void (*stop_processing)(const clap_plugin_t* plugin);
    void (*reset)(const clap_plugin_t* plugin);
    clap_process_status (*process)(const clap_plugin_t* plugin, const clap_process_t* process);
    const void* (*get_extension)(const clap_plugin_t* plugin, const char* id);
    void (*on_main_thread)(const clap_plugin_t* plugin);
};

constexpr char CLAP_PLUGIN_FACTORY_ID[] = "clap.plugin-factory";

struct clap_plugin_factory_t {
    std::uint32_t (*get_plugin_count)(const clap_plugin_factory_t* factory);
    const clap_plugin_descriptor_t* (*get_plugin_descriptor)(const clap_plugin_factory_t* factory,
                                                             std::uint32_t index);
    const clap_plugin_t* (*create_plugin)(const clap_plugin_factory_t* factory,
                                          const clap_host_t* host, const char* plugin_id);
};

struct clap_plugin_entry_t {
    clap_version_t clap_version;
    bool (*init)(const char* plugin_path);
    void (*deinit)();
    const void* (*get_factory)(const char* factory_id);
};

// ---- streams

struct clap_istream_t {
    void* ctx;
    /// Bytes read; 0 at the end, -1 on error.
    std::int64_t (*read)(const clap_istream_t* stream, void* buffer, std::uint64_t size);
};

struct clap_ostream_t {
    void* ctx;
    /// Bytes written; -1 on error.
    std::int64_t (*write)(const clap_ostream_t* stream, const void* buffer, std::uint64_t size);
};

// ---- extension: audio ports

constexpr char CLAP_EXT_AUDIO_PORTS[] = "clap.audio-ports";
constexpr char CLAP_PORT_STEREO[] = "stereo";
enum : std::uint32_t { CLAP_AUDIO_PORT_IS_MAIN = 1 << 0 };

struct clap_audio_port_info_t {
    clap_id id;
    char name[CLAP_NAME_SIZE];
    std::uint32_t flags;
    std::uint32_t channel_count;
    const char* port_type;
    clap_id in_place_pair;
};

struct clap_plugin_audio_ports_t {
    std::uint32_t (*count)(const clap_plugin_t* plugin, bool is_input);
    bool (*get)(const clap_plugin_t* plugin, std::uint32_t index, bool is_input,
                clap_audio_port_info_t* info);
};

// ---- extension: parameters

constexpr char CLAP_EXT_PARAMS[] = "clap.params";

enum : std::uint32_t {
    CLAP_PARAM_IS_STEPPED = 1 << 0,
    /// Merges the plug-in's bypass with the host's: 0 processes, 1 bypasses; stepped.
    CLAP_PARAM_IS_BYPASS = 1 << 4,
    CLAP_PARAM_IS_AUTOMATABLE = 1 << 5,
    CLAP_PARAM_IS_ENUM = 1 << 16,
};

struct clap_param_info_t {
    clap_id id;
    std::uint32_t flags;
    void* cookie;
    char name[CLAP_NAME_SIZE];
    char module[CLAP_PATH_SIZE]; ///< '/'-separated path shown as a tree
    double min_value;
    double max_value;
    double default_value;
};

struct clap_plugin_params_t {
    std::uint32_t (*count)(const clap_plugin_t* plugin);
    bool (*get_info)(const clap_plugin_t* plugin, std::uint32_t param_index,
                     clap_param_info_t* param_info);
    bool (*get_value)(const clap_plugin_t* plugin, clap_id param_id, double* out_value);
    bool (*value_to_text)(const clap_plugin_t* plugin, clap_id param_id, double value,
                          char* out_buffer, std::uint32_t out_buffer_capacity);
    bool (*text_to_value)(const clap_plugin_t* plugin, clap_id param_id,
                          const char* param_value_text, double* out_value);
    void (*flush)(const clap_plugin_t* plugin, const clap_input_events_t* in,
                  const clap_output_events_t* out);
};

enum : std::uint32_t { CLAP_PARAM_RESCAN_VALUES = 1 << 0 };

struct clap_host_params_t {
    void (*rescan)(const clap_host_t* host, std::uint32_t flags);
    void (*clear)(const clap_host_t* host, clap_id param_id, std::uint32_t flags);
    void (*request_flush)(const clap_host_t* host);
};

// ---- extension: state

constexpr char CLAP_EXT_STATE[] = "clap.state";

struct clap_plugin_state_t {
    bool (*save)(const clap_plugin_t* plugin, const clap_ostream_t* stream);
    bool (*load)(const clap_plugin_t* plugin, const clap_istream_t* stream);
};

struct clap_host_state_t {
    void (*mark_dirty)(const clap_host_t* host);
};

// ---- extension: gui

constexpr char CLAP_EXT_GUI[] = "clap.gui";
constexpr char CLAP_WINDOW_API_X11[] = "x11";
constexpr char CLAP_WINDOW_API_WIN32[] = "win32";

struct clap_window_t {
    const char* api;
    union {
        void* cocoa;
        unsigned long x11;
        void* win32;
        void* ptr;
    };
};

struct clap_gui_resize_hints_t {
    bool can_resize_horizontally;
    bool can_resize_vertically;
    bool preserve_aspect_ratio;
    std::uint32_t aspect_ratio_width;
    std::uint32_t aspect_ratio_height;
};

struct clap_plugin_gui_t {
    bool (*is_api_supported)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    bool (*get_preferred_api)(const clap_plugin_t* plugin, const char** api, bool* is_floating);
    bool (*create)(const clap_plugin_t* plugin, const char* api, bool is_floating);
    void (*destroy)(const clap_plugin_t* plugin);
    bool (*set_scale)(const clap_plugin_t* plugin, double scale);
    bool (*get_size)(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height);
    bool (*can_resize)(const clap_plugin_t* plugin);
    bool (*get_resize_hints)(const clap_plugin_t* plugin, clap_gui_resize_hints_t* hints);
    bool (*adjust_size)(const clap_plugin_t* plugin, std::uint32_t* width, std::uint32_t* height);
    bool (*set_size)(const clap_plugin_t* plugin, std::uint32_t width, std::uint32_t height);
    bool (*set_parent)(const clap_plugin_t* plugin, const clap_window_t* window);
    bool (*set_transient)(const clap_plugin_t* plugin, const clap_window_t* window);
    void (*suggest_title)(const clap_plugin_t* plugin, const char* title);
    bool (*show)(const clap_plugin_t* plugin);
    bool (*hide)(const clap_plugin_t* plugin);
};

struct clap_host_gui_t {
    void (*resize_hints_changed)(const clap_host_t* host);
    bool (*request_resize)(const clap_host_t* host, std::uint32_t width, std::uint32_t height);
    bool (*request_show)(const clap_host_t* host);
    bool (*request_hide)(const clap_host_t* host);
    void (*closed)(const clap_host_t* host, bool was_destroyed);
};

// ---- extension: timer support

constexpr char CLAP_EXT_TIMER_SUPPORT[] = "clap.timer-support";

struct clap_plugin_timer_support_t {
    void (*on_timer)(const clap_plugin_t* plugin, clap_id timer_id);
};

struct clap_host_timer_support_t {
    bool (*register_timer)(const clap_host_t* host, std::uint32_t period_ms, clap_id* timer_id);
    bool (*unregister_timer)(const clap_host_t* host, clap_id timer_id);
};

// ---- extension: thread check

constexpr char CLAP_EXT_THREAD_CHECK[] = "clap.thread-check";

struct clap_host_thread_check_t {
    bool (*is_main_thread)(const clap_host_t* host);
    bool (*is_audio_thread)(const clap_host_t* host);
};

// ---- extension: preset load

/// CLAP 1.2's id, and the id of the draft before it, which 1.1 hosts ask for:
/// the records are the same.
constexpr char CLAP_EXT_PRESET_LOAD[] = "clap.preset-load/2";
constexpr char CLAP_EXT_PRESET_LOAD_COMPAT[] = "clap.preset-load.draft/2";

struct clap_plugin_preset_load_t {
    /// Loads the preset at `location` (null for presets inside the plug-in)
    /// that `load_key` names; true on success.
    bool (*from_location)(const clap_plugin_t* plugin, std::uint32_t location_kind,
                          const char* location, const char* load_key);
};

struct clap_host_preset_load_t {
    /// A from_location call failed; `os_error` is 0 when no system call did.
    void (*on_error)(const clap_host_t* host, std::uint32_t location_kind, const char* location,
                     const char* load_key, std::int32_t os_error, const char* msg);
    /// The plug-in loaded this preset (from_location, or its own browser).
    void (*loaded)(const clap_host_t* host, std::uint32_t location_kind, const char* location,
                   const char* load_key);
};

// ---- factory: preset discovery

/// CLAP 1.2's id, and the id of the draft before it (the same records).
constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID[] = "clap.preset-discovery-factory/2";
constexpr char CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT[] = "clap.preset-discovery-factory/draft-2";

enum : std::uint32_t {
    CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
    /// Presets inside the plug-in itself: the location is null.
    CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1,
};

enum : std::uint32_t { CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1 << 0 };

/// Seconds since the epoch; 0 when unknown.
using clap_timestamp_t = std::uint64_t;

/// A plug-in of any format: "clap" and the plug-in's id, for example.
struct clap_universal_plugin_id_t {
    const char* abi;
    const char* id;
};

/// The host's side of a get_metadata call: one preset after another, each
/// opened by begin_preset and described by the calls after it.
struct clap_preset_discovery_metadata_receiver_t {
    void* receiver_data;
    void (*on_error)(const clap_preset_discovery_metadata_receiver_t* receiver,
                     std::int32_t os_error, const char* error_message);
    /// Name and load key are required inside a container; false: stop calling.
    bool (*begin_preset)(const clap_preset_discovery_metadata_receiver_t* receiver,
                         const char* name, const char* load_key);
    void (*add_plugin_id)(const clap_preset_discovery_metadata_receiver_t* receiver,
                          const clap_universal_plugin_id_t* plugin_id);
    void (*set_soundpack_id)(const clap_preset_discovery_metadata_receiver_t* receiver,
                             const char* soundpack_id);
    /// Unset, the preset takes its location's flags.
    void (*set_flags)(const clap_preset_discovery_metadata_receiver_t* receiver,
                      std::uint32_t flags);
    void (*add_creator)(const clap_preset_discovery_metadata_receiver_t* receiver,
                        const char* creator);
    void (*set_description)(const clap_preset_discovery_metadata_receiver_t* receiver,
                            const char* description);
    void (*set_timestamps)(const clap_preset_discovery_metadata_receiver_t* receiver,
                           clap_timestamp_t creation_time, clap_timestamp_t modification_time);
    void (*add_feature)(const clap_preset_discovery_metadata_receiver_t* receiver,
                        const char* feature);
    void (*add_extra_info)(const clap_preset_discovery_metadata_receiver_t* receiver,
                           const char* key, const char* value);
};

struct clap_preset_discovery_filetype_t {
    const char* name;
    const char* description;
    const char* file_extension; ///< without the dot
};

struct clap_preset_discovery_location_t {
    std::uint32_t flags;
    const char* name;
    std::uint32_t kind;
    const char* location; ///< a path, or null for presets inside the plug-in
};

struct clap_preset_discovery_soundpack_t {
    std::uint32_t flags;
    const char* id;
    const char* name;
    const char* description;
    const char* homepage_url;
    const char* vendor;
    const char* image_path;
    clap_timestamp_t release_timestamp;
};

struct clap_preset_discovery_provider_descriptor_t {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
};

struct clap_preset_discovery_provider_t {
    const clap_preset_discovery_provider_descriptor_t* desc;
    void* provider_data;
    /// Declares the provider's locations (and file types, sound packs) to its indexer.
    bool (*init)(const clap_preset_discovery_provider_t* provider);
    void (*destroy)(const clap_preset_discovery_provider_t* provider);
    /// Tells `metadata_receiver` of every preset at the location; true on success.
    bool (*get_metadata)(const clap_preset_discovery_provider_t* provider,
                         std::uint32_t location_kind, const char* location,
                         const clap_preset_discovery_metadata_receiver_t* metadata_receiver);
    const void* (*get_extension)(const clap_preset_discovery_provider_t* provider,
                                 const char* extension_id);
};

/// The host's side of a provider's init.
struct clap_preset_discovery_indexer_t {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data;
    bool (*declare_filetype)(const clap_preset_discovery_indexer_t* indexer,
                             const clap_preset_discovery_filetype_t* filetype);
    bool (*declare_location)(const clap_preset_discovery_indexer_t* indexer,
                             const clap_preset_discovery_location_t* location);
    bool (*declare_soundpack)(const clap_preset_discovery_indexer_t* indexer,
                              const clap_preset_discovery_soundpack_t* soundpack);
    const void* (*get_extension)(const clap_preset_discovery_indexer_t* indexer,
                                 const char* extension_id);
};

/// Every call may come from any thread.
struct clap_preset_discovery_factory_t {
    std::uint32_t (*count)(const clap_preset_discovery_factory_t* factory);
    const clap_preset_discovery_provider_descriptor_t* (*get_descriptor)(
        const clap_preset_discovery_factory_t* factory, std::uint32_t index);
    /// A new provider, which the host destroys; it calls its indexer only from init on.
    const clap_preset_discovery_provider_t* (*create)(
        const clap_preset_discovery_factory_t* factory,
        const clap_preset_discovery_indexer_t* indexer, const char* provider_id);
};

/// The module's one exported symbol.
CLAP_EXPORT extern const clap_plugin_entry_t clap_entry;

} // extern "C"

// ---- layout checks (64-bit builds: 8-byte pointers and doubles, natural alignment)

#if UINTPTR_MAX == UINT64_MAX

static_assert(sizeof(clap_version_t) == 12);

static_assert(offsetof(clap_host_t, host_data) == 16);
static_assert(offsetof(clap_host_t, name) == 24);
static_assert(offsetof(clap_host_t, version) == 48);
static_assert(offsetof(clap_host_t, get_extension) == 56);
static_assert(offsetof(clap_host_t, request_callback) == 80);
static_assert(sizeof(clap_host_t) == 88);

static_assert(sizeof(clap_event_header_t) == 16);
static_assert(offsetof(clap_event_header_t, time) == 4);
static_assert(offsetof(clap_event_header_t, space_id) == 8);
static_assert(offsetof(clap_event_header_t, type) == 10);
static_assert(offsetof(clap_event_header_t, flags) == 12);

static_assert(offsetof(clap_event_param_value_t, param_id) == 16);
static_assert(offsetof(clap_event_param_value_t, cookie) == 24);
static_assert(offsetof(clap_event_param_value_t, note_id) == 32);
static_assert(offsetof(clap_event_param_value_t, port_index) == 36);
static_assert(offsetof(clap_event_param_value_t, channel) == 38);
static_assert(offsetof(clap_event_param_value_t, key) == 40);
static_assert(offsetof(clap_event_param_value_t, value) == 48);
static_assert(sizeof(clap_event_param_value_t) == 56);

static_assert(offsetof(clap_event_param_gesture_t, param_id) == 16);
static_assert(sizeof(clap_event_param_gesture_t) == 20);

static_assert(offsetof(clap_event_transport_t, flags) == 16);
static_assert(offsetof(clap_event_transport_t, song_pos_beats) == 24);
static_assert(offsetof(clap_event_transport_t, tempo) == 40);
static_assert(offsetof(clap_event_transport_t, tempo_inc) == 48);
static_assert(offsetof(clap_event_transport_t, bar_start) == 88);
static_assert(offsetof(clap_event_transport_t, bar_number) == 96);
static_assert(offsetof(clap_event_transport_t, tsig_num) == 100);
static_assert(offsetof(clap_event_transport_t, tsig_denom) == 102);
static_assert(sizeof(clap_event_transport_t) == 104);

static_assert(sizeof(clap_input_events_t) == 24);
static_assert(sizeof(clap_output_events_t) == 16);

static_assert(offsetof(clap_audio_buffer_t, data64) == 8);
static_assert(offsetof(clap_audio_buffer_t, channel_count) == 16);
static_assert(offsetof(clap_audio_buffer_t, latency) == 20);
static_assert(offsetof(clap_audio_buffer_t, constant_mask) == 24);
static_assert(sizeof(clap_audio_buffer_t) == 32);

static_assert(offsetof(clap_process_t, frames_count) == 8);
static_assert(offsetof(clap_process_t, transport) == 16);
static_assert(offsetof(clap_process_t, audio_inputs) == 24);
static_assert(offsetof(clap_process_t, audio_outputs) == 32);
static_assert(offsetof(clap_process_t, audio_inputs_count) == 40);
static_assert(offsetof(clap_process_t, audio_outputs_count) == 44);
static_assert(offsetof(clap_process_t, in_events) == 48);
static_assert(offsetof(clap_process_t, out_events) == 56);
static_assert(sizeof(clap_process_t) == 64);

static_assert(offsetof(clap_plugin_descriptor_t, id) == 16);
static_assert(offsetof(clap_plugin_descriptor_t, description) == 72);
static_assert(offsetof(clap_plugin_descriptor_t, features) == 80);
static_assert(sizeof(clap_plugin_descriptor_t) == 88);

static_assert(offsetof(clap_plugin_t, plugin_data) == 8);
static_assert(offsetof(clap_plugin_t, init) == 16);
static_assert(offsetof(clap_plugin_t, activate) == 32);
static_assert(offsetof(clap_plugin_t, reset) == 64);
static_assert(offsetof(clap_plugin_t, process) == 72);
static_assert(offsetof(clap_plugin_t, get_extension) == 80);
static_assert(offsetof(clap_plugin_t, on_main_thread) == 88);
static_assert(sizeof(clap_plugin_t) == 96);

static_assert(sizeof(clap_plugin_factory_t) == 24);
static_assert(offsetof(clap_plugin_entry_t, init) == 16);
static_assert(offsetof(clap_plugin_entry_t, get_factory) == 32);
static_assert(sizeof(clap_plugin_entry_t) == 40);

static_assert(sizeof(clap_istream_t) == 16);
static_assert(sizeof(clap_ostream_t) == 16);

static_assert(offsetof(clap_audio_port_info_t, name) == 4);
static_assert(offsetof(clap_audio_port_info_t, flags) == 260);
static_assert(offsetof(clap_audio_port_info_t, channel_count) == 264);
static_assert(offsetof(clap_audio_port_info_t, port_type) == 272);
static_assert(offsetof(clap_audio_port_info_t, in_place_pair) == 280);
static_assert(sizeof(clap_audio_port_info_t) == 288);
static_assert(sizeof(clap_plugin_audio_ports_t) == 16);

static_assert(offsetof(clap_param_info_t, flags) == 4);
static_assert(offsetof(clap_param_info_t, cookie) == 8);
static_assert(offsetof(clap_param_info_t, name) == 16);
static_assert(offsetof(clap_param_info_t, module) == 272);
static_assert(offsetof(clap_param_info_t, min_value) == 1296);
static_assert(offsetof(clap_param_info_t, default_value) == 1312);
static_assert(sizeof(clap_param_info_t) == 1320);
static_assert(sizeof(clap_plugin_params_t) == 48);
static_assert(sizeof(clap_host_params_t) == 24);

static_assert(sizeof(clap_plugin_state_t) == 16);
static_assert(sizeof(clap_host_state_t) == 8);

static_assert(offsetof(clap_window_t, x11) == 8);
static_assert(sizeof(clap_window_t) == 16);
static_assert(offsetof(clap_gui_resize_hints_t, aspect_ratio_width) == 4);
static_assert(sizeof(clap_gui_resize_hints_t) == 12);
static_assert(sizeof(clap_plugin_gui_t) == 15 * 8);
static_assert(sizeof(clap_host_gui_t) == 5 * 8);

static_assert(sizeof(clap_plugin_preset_load_t) == 8);
static_assert(sizeof(clap_host_preset_load_t) == 16);

static_assert(sizeof(clap_universal_plugin_id_t) == 16);
static_assert(offsetof(clap_preset_discovery_metadata_receiver_t, on_error) == 8);
static_assert(offsetof(clap_preset_discovery_metadata_receiver_t, begin_preset) == 16);
static_assert(offsetof(clap_preset_discovery_metadata_receiver_t, set_description) == 56);
static_assert(offsetof(clap_preset_discovery_metadata_receiver_t, add_extra_info) == 80);
static_assert(sizeof(clap_preset_discovery_metadata_receiver_t) == 88);
static_assert(sizeof(clap_preset_discovery_filetype_t) == 24);
static_assert(offsetof(clap_preset_discovery_location_t, name) == 8);
static_assert(offsetof(clap_preset_discovery_location_t, kind) == 16);
static_assert(offsetof(clap_preset_discovery_location_t, location) == 24);
static_assert(sizeof(clap_preset_discovery_location_t) == 32);
static_assert(offsetof(clap_preset_discovery_soundpack_t, id) == 8);
static_assert(offsetof(clap_preset_discovery_soundpack_t, release_timestamp) == 56);
static_assert(sizeof(clap_preset_discovery_soundpack_t) == 64);
static_assert(offsetof(clap_preset_discovery_provider_descriptor_t, id) == 16);
static_assert(offsetof(clap_preset_discovery_provider_descriptor_t, vendor) == 32);
static_assert(sizeof(clap_preset_discovery_provider_descriptor_t) == 40);
static_assert(offsetof(clap_preset_discovery_provider_t, init) == 16);
static_assert(offsetof(clap_preset_discovery_provider_t, get_metadata) == 32);
static_assert(sizeof(clap_preset_discovery_provider_t) == 48);
static_assert(offsetof(clap_preset_discovery_indexer_t, name) == 16);
static_assert(offsetof(clap_preset_discovery_indexer_t, indexer_data) == 48);
static_assert(offsetof(clap_preset_discovery_indexer_t, declare_filetype) == 56);
static_assert(offsetof(clap_preset_discovery_indexer_t, get_extension) == 80);
static_assert(sizeof(clap_preset_discovery_indexer_t) == 88);
static_assert(sizeof(clap_preset_discovery_factory_t) == 24);

static_assert(sizeof(clap_plugin_timer_support_t) == 8);
static_assert(sizeof(clap_host_timer_support_t) == 16);
static_assert(sizeof(clap_host_thread_check_t) == 16);
#endif
