// Every dispatcher opcode from -10 to 200 with random arguments: a plug-in must
// answer what it knows, ignore what it does not, and never write outside the
// memory the host gives it.
#include "canary_buffer.h"
#include "plugin.h"
#include "random_values.h"
#include "tests.h"

#include <array>
#include <cstdio>
#include <cstring>

namespace tesk::validate {

namespace {

constexpr std::int32_t kFirstOpcode = -10;
constexpr std::int32_t kLastOpcode = 200;
/// A chunk larger than this is no settings a host could save.
constexpr VstIntPtr kLargestChunk = VstIntPtr{1} << 30;

/// Opcodes not sent here, and why. effClose would end the instance under test
/// (every test closes its instances anyway); effEditOpen needs a real window
/// and belongs to the editor test.
bool leftOut(std::int32_t opcode) {
    return opcode == effClose || opcode == effEditOpen;
}

/// Opcodes that write a text into `ptr`.
bool writesText(std::int32_t opcode) {
    switch (opcode) {
    case effGetProgramName:
    case effGetParamLabel:
    case effGetParamDisplay:
    case effGetParamName:
    case effGetProgramNameIndexed:
    case effGetEffectName:
    case effGetErrorText:
    case effGetVendorString:
    case effGetProductString:
    case effShellGetNextPlugin:
        return true;
    default:
        return false;
    }
}

/// Opcodes that store a pointer into `ptr`, which the host reads afterwards.
bool storesPointer(std::int32_t opcode) {
    return opcode == effEditGetRect || opcode == effGetChunk || opcode == effGetSpeakerArrangement;
}

/// Opcodes whose `value` is a pointer or the count of records at `ptr`, so a
/// call without records must give 0 there.
bool valueDescribesPtr(std::int32_t opcode) {
    switch (opcode) {
    case effSetChunk:
    case effOfflineNotify:
    case effOfflinePrepare:
    case effOfflineRun:
    case effSetSpeakerArrangement:
    case effGetSpeakerArrangement:
        return true;
    default:
        return false;
    }
}

std::string opcodeName(std::int32_t opcode) {
    static const std::array<const char*, 80> kNames = {"effOpen",
                                                       "effClose",
                                                       "effSetProgram",
                                                       "effGetProgram",
                                                       "effSetProgramName",
                                                       "effGetProgramName",
                                                       "effGetParamLabel",
                                                       "effGetParamDisplay",
                                                       "effGetParamName",
                                                       "effGetVu",
                                                       "effSetSampleRate",
                                                       "effSetBlockSize",
                                                       "effMainsChanged",
                                                       "effEditGetRect",
                                                       "effEditOpen",
                                                       "effEditClose",
                                                       "effEditDraw",
                                                       "effEditMouse",
                                                       "effEditKey",
                                                       "effEditIdle",
                                                       "effEditTop",
                                                       "effEditSleep",
                                                       "effIdentify",
                                                       "effGetChunk",
                                                       "effSetChunk",
                                                       "effProcessEvents",
                                                       "effCanBeAutomated",
                                                       "effString2Parameter",
                                                       "effGetNumProgramCategories",
                                                       "effGetProgramNameIndexed",
                                                       "effCopyProgram",
                                                       "effConnectInput",
                                                       "effConnectOutput",
                                                       "effGetInputProperties",
                                                       "effGetOutputProperties",
                                                       "effGetPlugCategory",
                                                       "effGetCurrentPosition",
                                                       "effGetDestinationBuffer",
                                                       "effOfflineNotify",
                                                       "effOfflinePrepare",
                                                       "effOfflineRun",
                                                       "effProcessVarIo",
                                                       "effSetSpeakerArrangement",
                                                       "effSetBlockSizeAndSampleRate",
                                                       "effSetBypass",
                                                       "effGetEffectName",
                                                       "effGetErrorText",
                                                       "effGetVendorString",
                                                       "effGetProductString",
                                                       "effGetVendorVersion",
                                                       "effVendorSpecific",
                                                       "effCanDo",
                                                       "effGetTailSize",
                                                       "effIdle",
                                                       "effGetIcon",
                                                       "effSetViewPosition",
                                                       "effGetParameterProperties",
                                                       "effKeysRequired",
                                                       "effGetVstVersion",
                                                       "effEditKeyDown",
                                                       "effEditKeyUp",
                                                       "effSetEditKnobMode",
                                                       "effGetMidiProgramName",
                                                       "effGetCurrentMidiProgram",
                                                       "effGetMidiProgramCategory",
                                                       "effHasMidiProgramsChanged",
                                                       "effGetMidiKeyName",
                                                       "effBeginSetProgram",
                                                       "effEndSetProgram",
                                                       "effGetSpeakerArrangement",
                                                       "effShellGetNextPlugin",
                                                       "effStartProcess",
                                                       "effStopProcess",
                                                       "effSetTotalSampleToProcess",
                                                       "effSetPanLaw",
                                                       "effBeginLoadBank",
                                                       "effBeginLoadProgram",
                                                       "effSetProcessPrecision",
                                                       "effGetNumMidiInputChannels",
                                                       "effGetNumMidiOutputChannels"};
    std::string number = "opcode " + std::to_string(opcode);
    if (opcode < 0 || opcode >= static_cast<std::int32_t>(kNames.size())) return number;
    return number + " (" + kNames[static_cast<std::size_t>(opcode)] + ")";
}

// The event records effProcessEvents reads, laid out as the interface fixes them.
constexpr std::int32_t kMidiEventType = 1;

struct MidiEvent {
    std::int32_t type;
    std::int32_t byteSize;
    std::int32_t deltaFrames;
    std::int32_t flags;
    std::int32_t noteLength;
    std::int32_t noteOffset;
    char midiData[4];
    char detune;
    char noteOffVelocity;
    char reserved1;
    char reserved2;
};
static_assert(sizeof(MidiEvent) == 32);

struct Events {
    std::int32_t numEvents;
    VstIntPtr reserved;
    MidiEvent* events[2];
};

// Arrangement types and speaker kinds as the interface numbers them.
constexpr std::int32_t kArrangementMono = 0;
constexpr std::int32_t kArrangementStereo = 1;
constexpr std::int32_t kArrangementUserDefined = -2;
constexpr std::int32_t kSpeakerUndefined = 0x7FFFFFFF;

/// An arrangement of `channels` speakers; the vector gives room past the record's eight.
std::vector<VstSpeakerArrangement> arrangement(std::int32_t channels) {
    std::vector<VstSpeakerArrangement> records(static_cast<std::size_t>(1 + channels / 8));
    VstSpeakerArrangement& record = records.front();
    record.numChannels = channels;
    record.type = channels == 1   ? kArrangementMono
                  : channels == 2 ? kArrangementStereo
                                  : kArrangementUserDefined;
    for (std::int32_t i = 0; i < channels; ++i) {
        VstSpeakerProperties& speaker = record.speakers[i];
        speaker.type = channels == 2 ? i + 1 : channels == 1 ? 0 : kSpeakerUndefined;
        std::snprintf(speaker.name, sizeof speaker.name, "speaker %d", i + 1);
    }
    return records;
}

/// The arguments of one dispatcher call.
struct Call {
    std::int32_t opcode;
    std::int32_t index;
    VstIntPtr value;
    void* ptr;
    float opt;
};

std::string describe(const Call& call) {
    char opt[32];
    std::snprintf(opt, sizeof opt, "%g", static_cast<double>(call.opt));
    return opcodeName(call.opcode) + ", index " + std::to_string(call.index) + ", value " +
           std::to_string(call.value) + ", opt " + opt + ", " +
           (call.ptr != nullptr ? "guarded buffer or records" : "null ptr");
}

/// The memory one call may point into: the guarded buffer, and records for the
/// opcodes that read or fill real ones.
struct Records {
    CanaryBuffer buffer;
    MidiEvent midi{};
    Events events{};
    std::vector<VstSpeakerArrangement> inputs;
    std::vector<VstSpeakerArrangement> outputs;
    void* slot = nullptr;
    std::vector<char> chunk;
};

/// A copy of the plug-in's chunk (`index` 0: bank, 1: program); empty when it has none.
std::vector<char> chunkOf(const Plugin& plugin, std::int32_t index, Context& context) {
    context.doing("asking for the chunk to give back to effSetChunk (effGetChunk, index " +
                  std::to_string(index) + ")");
    void* data = nullptr;
    VstIntPtr size = plugin.instance().dispatch(effGetChunk, index, 0, &data);
    if (size <= 0) return {};
    if (data == nullptr) fail("effGetChunk answered " + std::to_string(size) + " bytes at null");
    if (size > kLargestChunk) fail("effGetChunk answered " + std::to_string(size) + " bytes");
    const char* bytes = static_cast<const char*>(data);
    return std::vector<char>(bytes, bytes + size);
}

/// Points the call at memory fit for its opcode. Opcodes that read records
/// with pointers or counts inside get real records or none, never random bytes.
void aim(Call& call, Records& records, const Plugin& plugin, Context& context) {
    switch (call.opcode) {
    case effSetChunk: // reads `value` bytes: give back the plug-in's own chunk
        records.chunk = chunkOf(plugin, call.index == 0 ? 0 : 1, context);
        call.ptr = records.chunk.empty() ? nullptr : records.chunk.data();
        call.value = static_cast<VstIntPtr>(records.chunk.size());
        return;
    case effProcessEvents: // reads a list of event pointers: one real note
        records.midi = {kMidiEventType,
                        static_cast<std::int32_t>(sizeof(MidiEvent)),
                        static_cast<std::int32_t>(context.between(0, kBlock - 1)),
                        0,
                        0,
                        0,
                        {'\x90', 60, 100, 0},
                        0,
                        0,
                        0,
                        0};
        records.events = {1, 0, {&records.midi, nullptr}};
        call.ptr = &records.events;
        return;
    case effOfflineNotify: // these read `value` offline records at `ptr`
    case effOfflinePrepare:
    case effOfflineRun:
    case effProcessVarIo: // reads a record of buffer pointers
        call.ptr = nullptr;
        call.value = 0;
        return;
    case effSetSpeakerArrangement: // `value` and `ptr` point at arrangements
        records.inputs = arrangement(plugin.inputs());
        records.outputs = arrangement(plugin.outputs());
        call.value = reinterpret_cast<VstIntPtr>(records.inputs.data());
        call.ptr = records.outputs.data();
        return;
    case effGetSpeakerArrangement: // `value` and `ptr` point at slots it fills with pointers
        records.slot = nullptr;
        call.value = reinterpret_cast<VstIntPtr>(&records.slot);
        break;
    default:
        break;
    }
    if (writesText(call.opcode)) {
        records.buffer.fillUnterminated();
    } else if (storesPointer(call.opcode)) {
        records.buffer.clear();
    } else {
        records.buffer.fillText(context.random());
    }
    call.ptr = records.buffer.data();
}

/// Reads a record the plug-in handed back by pointer, so a bad pointer shows here.
void touch(const void* record, std::size_t bytes) {
    std::vector<char> copy(bytes);
    std::memcpy(copy.data(), record, bytes);
}

/// Checks what one call into the guarded buffer left there.
void inspect(const Call& call, VstIntPtr answer, Records& records, Context& context) {
    if (call.ptr != records.buffer.data()) return;
    std::string damage = records.buffer.damage();
    if (!damage.empty()) fail(describe(call) + ": " + damage);
    if (writesText(call.opcode) && records.buffer.changed() && !records.buffer.text())
        fail(describe(call) + ": the text has no terminating zero within 512 bytes");
    void* written = nullptr;
    std::memcpy(&written, records.buffer.data(), sizeof written);
    context.doing("reading what " + describe(call) + " pointed to");
    if (call.opcode == effGetChunk && answer > 0) {
        if (written == nullptr || answer > kLargestChunk)
            fail(describe(call) + ": answered a chunk of " + std::to_string(answer) + " bytes at " +
                 (written == nullptr ? "null" : "a pointer"));
        touch(written, static_cast<std::size_t>(answer));
    }
    if (call.opcode == effEditGetRect && written != nullptr) touch(written, sizeof(ERect));
    if (call.opcode == effGetSpeakerArrangement) {
        for (void* arrangement : {written, records.slot})
            if (arrangement != nullptr) touch(arrangement, sizeof(std::int32_t) * 2);
    }
}

Call randomCall(std::int32_t opcode, const Plugin& plugin, std::mt19937_64& random) {
    std::int32_t count = std::max(plugin.parameters(), plugin.programs());
    return {opcode, randomIndex(random, count), randomValue(random), nullptr, randomFloat(random)};
}

/// Switches the plug-in on with sane settings and checks one block comes out clean.
void expectSound(Plugin& plugin, AudioBuffers& buffers, std::int32_t opcode, Context& context) {
    context.doing("processing after the calls of " + opcodeName(opcode));
    plugin.restart(kRate, kBlock);
    plugin.process(buffers, kBlock, Signal::quietNoise, context.random());
    std::string fault = buffers.fault(true);
    if (!fault.empty())
        fail("processing after the calls of " + opcodeName(opcode) +
             " with sane settings: " + fault);
}

void sendOpcode(Plugin& plugin, std::int32_t opcode, int rounds, Context& context) {
    auto records = std::make_unique<Records>();
    for (int round = 0; round < rounds; ++round) {
        Call call = randomCall(opcode, plugin, context.random());
        aim(call, *records, plugin, context);
        context.doing(describe(call));
        VstIntPtr answer =
            plugin.instance().dispatch(call.opcode, call.index, call.value, call.ptr, call.opt);
        inspect(call, answer, *records, context);
        call.ptr = nullptr;
        if (valueDescribesPtr(opcode)) call.value = 0;
        context.doing(describe(call));
        plugin.instance().dispatch(call.opcode, call.index, call.value, nullptr, call.opt);
    }
}

} // namespace

std::string everyOpcode(Context& context) {
    std::unique_ptr<Plugin> plugin = Plugin::open(context.path());
    plugin->start(kRate, kBlock);
    AudioBuffers buffers(plugin->inputs(), plugin->outputs(), kBlock);
    int rounds = context.scaled(10);
    int opcodes = 0;
    for (std::int32_t opcode = kFirstOpcode; opcode <= kLastOpcode; ++opcode) {
        if (leftOut(opcode)) continue;
        sendOpcode(*plugin, opcode, rounds, context);
        expectSound(*plugin, buffers, opcode, context);
        ++opcodes;
    }
    return std::to_string(opcodes) + " opcodes from " + std::to_string(kFirstOpcode) + " to " +
           std::to_string(kLastOpcode) + " (not effClose, effEditOpen), " + std::to_string(rounds) +
           " random calls each into a guarded buffer or real records " +
           "and as many with null: nothing written outside, texts terminated, sound after each";
}

} // namespace tesk::validate
