// The VST 3 binary interface as this plug-in uses it: the module's entry points,
// the factory, the processor and controller interfaces with the records they pass,
// the editor's view and the host services it asks for. Written by us from the
// public interface headers of Steinberg's VST 3 SDK (steinbergmedia/vst3sdk,
// MIT licence since 3.8) and checked against its version 3.7.14; only what we
// use is declared, and none of the SDK's text is copied. Every interface is a
// C++ class of pure virtual methods, so a method's place in its class is its
// place in the vtable the host calls: never reorder, insert or remove one.
// Sizes and offsets of the records are checked below for 64-bit targets, 32-bit
// Windows and 32-bit x86 Linux; tests/vst3/vst3_sdk_layout_test.cpp compares
// all of it with the SDK itself.
#pragma once

#include <cstddef>
#include <cstdint>

// Methods use the host's calling convention: __stdcall on 32-bit Windows, where
// a member function would otherwise be __thiscall; the platform's default
// everywhere else (64-bit Windows has one convention only).
#if defined(_WIN32) && !defined(_WIN64)
#if defined(__GNUC__)
#define TESK_PLUGIN_API __attribute__((__stdcall__))
#else
#define TESK_PLUGIN_API __stdcall
#endif
#else
#define TESK_PLUGIN_API
#endif

namespace tesk::vst3 {

using int8 = char; ///< the SDK's int8 is plain char, and so are a TUID's bytes
using int16 = std::int16_t;
using uint16 = std::uint16_t;
using int32 = std::int32_t;
using uint32 = std::uint32_t;
using int64 = std::int64_t;
using uint64 = std::uint64_t;
using uint8 = std::uint8_t;
using TBool = std::uint8_t;
using char8 = char;
using char16 = char16_t;
using TChar = char16_t;
using tresult = std::int32_t;
using FIDString = const char8*; ///< an identifier in ASCII, or a TUID's 16 bytes
using CString = const char8*;

/// A UTF-16 text field the host lends us; always terminated within its 128 units.
using String128 = TChar[128];

// ---- results
//
// Windows builds speak COM, and so take COM's HRESULTs; everywhere else the
// results are small numbers. kResultOk is 0 on both and kResultFalse 1.

#if defined(_WIN32)
inline constexpr tresult kNoInterface = static_cast<tresult>(0x80004002u);
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = static_cast<tresult>(0x80070057u);
inline constexpr tresult kNotImplemented = static_cast<tresult>(0x80004001u);
inline constexpr tresult kInternalError = static_cast<tresult>(0x80004005u);
inline constexpr tresult kNotInitialized = static_cast<tresult>(0x8000FFFFu);
inline constexpr tresult kOutOfMemory = static_cast<tresult>(0x8007000Eu);
#else
inline constexpr tresult kNoInterface = -1;
inline constexpr tresult kResultOk = 0;
inline constexpr tresult kResultTrue = kResultOk;
inline constexpr tresult kResultFalse = 1;
inline constexpr tresult kInvalidArgument = 2;
inline constexpr tresult kNotImplemented = 3;
inline constexpr tresult kInternalError = 4;
inline constexpr tresult kNotInitialized = 5;
inline constexpr tresult kOutOfMemory = 6;
#endif

// ---- interface and class identifiers
//
// An identifier is 16 bytes, written down as four 32-bit words. Elsewhere the
// bytes are the words' in big-endian order. On Windows they are laid out as a
// COM GUID in memory: the first word little-endian, then the second word's
// high half and its low half, each little-endian, then the last two words
// big-endian.

using TUID = char[16];

struct Uid {
    char bytes[16];
    /// Lets an identifier go wherever the interface wants a TUID.
    constexpr operator const TUID&() const { return bytes; }
};

constexpr Uid make_uid(uint32 l1, uint32 l2, uint32 l3, uint32 l4) {
    Uid uid{};
    auto byte = [](uint32 word, int shift) { return static_cast<char>((word >> shift) & 0xFFu); };
#if defined(_WIN32)
    for (int i = 0; i < 4; ++i)
        uid.bytes[i] = byte(l1, 8 * i);
    uid.bytes[4] = byte(l2, 16);
    uid.bytes[5] = byte(l2, 24);
    uid.bytes[6] = byte(l2, 0);
    uid.bytes[7] = byte(l2, 8);
#else
    for (int i = 0; i < 4; ++i) {
        uid.bytes[i] = byte(l1, 24 - 8 * i);
        uid.bytes[4 + i] = byte(l2, 24 - 8 * i);
    }
#endif
    for (int i = 0; i < 4; ++i) {
        uid.bytes[8 + i] = byte(l3, 24 - 8 * i);
        uid.bytes[12 + i] = byte(l4, 24 - 8 * i);
    }
    return uid;
}

/// Whether the 16 bytes a host passed name `uid` (for queryInterface and createInstance).
constexpr bool uid_equal(const char* candidate, const Uid& uid) {
    if (candidate == nullptr) return false;
    for (int i = 0; i < 16; ++i)
        if (candidate[i] != uid.bytes[i]) return false;
    return true;
}

// ---- base

struct FUnknown {
    virtual tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) = 0;
    virtual uint32 TESK_PLUGIN_API addRef() = 0;
    virtual uint32 TESK_PLUGIN_API release() = 0;
    static constexpr Uid iid = make_uid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

/// What both halves of a plug-in are: initialize gets the host's context.
struct IPluginBase : FUnknown {
    virtual tresult TESK_PLUGIN_API initialize(FUnknown* context) = 0;
    virtual tresult TESK_PLUGIN_API terminate() = 0;
    static constexpr Uid iid = make_uid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

// The factory's records are laid out naturally (no packing pragma around them).

struct PFactoryInfo {
    enum FactoryFlags : int32 {
        kNoFlags = 0,
        kClassesDiscardable = 1 << 0,
        kLicenseCheck = 1 << 1,
        kComponentNonDiscardable = 1 << 3,
        kUnicode = 1 << 4, ///< our texts are UTF-16 where the records allow it
    };
    enum : int32 { kURLSize = 256, kEmailSize = 128, kNameSize = 64 };
    char8 vendor[kNameSize];
    char8 url[kURLSize];
    char8 email[kEmailSize];
    int32 flags;
};

struct PClassInfo {
    enum ClassCardinality : int32 { kManyInstances = 0x7FFFFFFF };
    enum : int32 { kCategorySize = 32, kNameSize = 64 };
    TUID cid;
    int32 cardinality;
    char8 category[kCategorySize];
    char8 name[kNameSize];
};

struct PClassInfo2 {
    enum : int32 { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };
    TUID cid;
    int32 cardinality;
    char8 category[PClassInfo::kCategorySize];
    char8 name[PClassInfo::kNameSize];
    uint32 classFlags;                       ///< ComponentFlags
    char8 subCategories[kSubCategoriesSize]; ///< '|'-separated, e.g. "Fx|Delay"
    char8 vendor[kVendorSize];
    char8 version[kVersionSize];
    char8 sdkVersion[kVersionSize];
};

/// PClassInfo2 with the texts a user reads in UTF-16.
struct PClassInfoW {
    enum : int32 { kVendorSize = 64, kVersionSize = 64, kSubCategoriesSize = 128 };
    TUID cid;
    int32 cardinality;
    char8 category[PClassInfo::kCategorySize];
    char16 name[PClassInfo::kNameSize];
    uint32 classFlags;
    char8 subCategories[kSubCategoriesSize];
    char16 vendor[kVendorSize];
    char16 version[kVersionSize];
    char16 sdkVersion[kVersionSize];
};

struct IPluginFactory : FUnknown {
    virtual tresult TESK_PLUGIN_API getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32 TESK_PLUGIN_API countClasses() = 0;
    virtual tresult TESK_PLUGIN_API getClassInfo(int32 index, PClassInfo* info) = 0;
    /// cid and iid are 16-byte identifiers, not strings.
    virtual tresult TESK_PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) = 0;
    static constexpr Uid iid = make_uid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

struct IPluginFactory2 : IPluginFactory {
    virtual tresult TESK_PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) = 0;
    static constexpr Uid iid = make_uid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

struct IPluginFactory3 : IPluginFactory2 {
    virtual tresult TESK_PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) = 0;
    /// The host's IHostApplication, on Linux also its IRunLoop.
    virtual tresult TESK_PLUGIN_API setHostContext(FUnknown* context) = 0;
    static constexpr Uid iid = make_uid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
};

/// The category of each of the factory's classes.
inline constexpr char kVstAudioEffectClass[] = "Audio Module Class";
inline constexpr char kVstComponentControllerClass[] = "Component Controller Class";

namespace PlugType {
inline constexpr char kFx[] = "Fx";
inline constexpr char kFxDelay[] = "Fx|Delay";
} // namespace PlugType

/// Our factory's flags: PFactoryInfo::kUnicode, as hosts expect of a VST 3 module.
inline constexpr int32 kDefaultFactoryFlags = PFactoryInfo::kUnicode;

struct IBStream : FUnknown {
    enum IStreamSeekMode : int32 { kIBSeekSet = 0, kIBSeekCur = 1, kIBSeekEnd = 2 };
    /// Hosts may hand fewer bytes than asked for; the count read says how many.
    virtual tresult TESK_PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) = 0;
    virtual tresult TESK_PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) = 0;
    virtual tresult TESK_PLUGIN_API seek(int64 pos, int32 mode, int64* result) = 0;
    virtual tresult TESK_PLUGIN_API tell(int64* pos) = 0;
    static constexpr Uid iid = make_uid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};

// ---- the audio half and the controller
//
// Every record from here to the view is declared under the packing the SDK puts
// around these interfaces: at most 16-byte alignment on 64-bit targets, 8 on
// 32-bit ones. No member of ours asks for more, so on every target we build
// for the pragma changes nothing; it is here so that the layouts stay the SDK's
// under whatever packing a compiler defaults to. Where 32-bit Windows and 32-bit
// x86 Linux differ (an int64 or a double is 8-aligned on Windows, 4 on Linux),
// each follows its platform's own rule, as the SDK's do.
#if UINTPTR_MAX > 0xFFFFFFFFu
#pragma pack(push, 16)
#else
#pragma pack(push, 8)
#endif

using MediaType = int32;
using BusDirection = int32;
using BusType = int32;
using IoMode = int32;
using UnitID = int32;
using ProgramListID = int32;
using ParamID = uint32;
using ParamValue = double; ///< normalized, 0 to 1
using TQuarterNotes = double;
using TSamples = int64;
using Sample32 = float;
using Sample64 = double;
using SampleRate = double;
using SpeakerArrangement = uint64; ///< one bit per speaker
using Speaker = uint64;

inline constexpr ParamID kNoParamId = 0xFFFFFFFFu;
inline constexpr ParamID kMaxParamId = 0x7FFFFFFFu; ///< hosts reserve the ids above

inline constexpr Speaker kSpeakerL = 1 << 0;
inline constexpr Speaker kSpeakerR = 1 << 1;
inline constexpr Speaker kSpeakerM = 1 << 19;
namespace SpeakerArr {
inline constexpr SpeakerArrangement kEmpty = 0;
inline constexpr SpeakerArrangement kMono = kSpeakerM;
inline constexpr SpeakerArrangement kStereo = kSpeakerL | kSpeakerR;
} // namespace SpeakerArr

enum MediaTypes : int32 { kAudio = 0, kEvent = 1, kNumMediaTypes = 2 };
enum BusDirections : int32 { kInput = 0, kOutput = 1 };
enum BusTypes : int32 { kMain = 0, kAux = 1 };
enum IoModes : int32 { kSimple = 0, kAdvanced = 1, kOfflineProcessing = 2 };

struct BusInfo {
    enum BusFlags : uint32 {
        kDefaultActive = 1 << 0,
        kIsControlVoltage = 1 << 1,
    };
    MediaType mediaType;
    BusDirection direction;
    int32 channelCount;
    String128 name;
    BusType busType;
    uint32 flags;
};

struct RoutingInfo {
    MediaType mediaType;
    int32 busIndex;
    int32 channel;
};

struct IComponent : IPluginBase {
    virtual tresult TESK_PLUGIN_API getControllerClassId(TUID classId) = 0;
    virtual tresult TESK_PLUGIN_API setIoMode(IoMode mode) = 0;
    virtual int32 TESK_PLUGIN_API getBusCount(MediaType type, BusDirection dir) = 0;
    virtual tresult TESK_PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index,
                                               BusInfo& bus) = 0;
    virtual tresult TESK_PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) = 0;
    virtual tresult TESK_PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index,
                                                TBool state) = 0;
    virtual tresult TESK_PLUGIN_API setActive(TBool state) = 0;
    virtual tresult TESK_PLUGIN_API setState(IBStream* state) = 0;
    virtual tresult TESK_PLUGIN_API getState(IBStream* state) = 0;
    static constexpr Uid iid = make_uid(0xE831FF31, 0xF2D54301, 0x928EBBEE, 0x25697802);
};

/// PClassInfo2::classFlags of the audio class.
enum ComponentFlags : uint32 {
    kDistributable = 1 << 0,
    kSimpleModeSupported = 1 << 1,
};

enum SymbolicSampleSizes : int32 { kSample32 = 0, kSample64 = 1 };
enum ProcessModes : int32 { kRealtime = 0, kPrefetch = 1, kOffline = 2 };

inline constexpr uint32 kNoTail = 0;
inline constexpr uint32 kInfiniteTail = 0xFFFFFFFFu;

struct ProcessSetup {
    int32 processMode;        ///< ProcessModes
    int32 symbolicSampleSize; ///< SymbolicSampleSizes
    int32 maxSamplesPerBlock;
    SampleRate sampleRate;
};

struct AudioBusBuffers {
    int32 numChannels;
    uint64 silenceFlags; ///< bit n: channel n is silent
    union {
        Sample32** channelBuffers32;
        Sample64** channelBuffers64;
    };
};

struct FrameRate {
    enum FrameRateFlags : uint32 { kPullDownRate = 1 << 0, kDropRate = 1 << 1 };
    uint32 framesPerSecond;
    uint32 flags;
};

struct Chord {
    enum Masks : int32 { kChordMask = 0x0FFF, kReservedMask = 0xF000 };
    uint8 keyNote;
    uint8 rootNote;
    int16 chordMask;
};

/// The transport at a block's first sample; a field is valid only with its flag.
struct ProcessContext {
    enum StatesAndFlags : uint32 {
        kPlaying = 1 << 1,
        kCycleActive = 1 << 2,
        kRecording = 1 << 3,
        kSystemTimeValid = 1 << 8,
        kProjectTimeMusicValid = 1 << 9,
        kTempoValid = 1 << 10,
        kBarPositionValid = 1 << 11,
        kCycleValid = 1 << 12,
        kTimeSigValid = 1 << 13,
        kSmpteValid = 1 << 14,
        kClockValid = 1 << 15,
        kContTimeValid = 1 << 17,
        kChordValid = 1 << 18,
    };
    uint32 state;
    double sampleRate;
    TSamples projectTimeSamples;
    int64 systemTime;              ///< nanoseconds
    TSamples continousTimeSamples; ///< (sic) the interface's own spelling
    TQuarterNotes projectTimeMusic;
    TQuarterNotes barPositionMusic;
    TQuarterNotes cycleStartMusic;
    TQuarterNotes cycleEndMusic;
    double tempo; ///< quarter notes per minute
    int32 timeSigNumerator;
    int32 timeSigDenominator;
    Chord chord;
    int32 smpteOffsetSubframes;
    FrameRate frameRate;
    int32 samplesToNextClock;
};

struct IParamValueQueue : FUnknown {
    virtual ParamID TESK_PLUGIN_API getParameterId() = 0;
    virtual int32 TESK_PLUGIN_API getPointCount() = 0;
    virtual tresult TESK_PLUGIN_API getPoint(int32 index, int32& sampleOffset,
                                             ParamValue& value) = 0;
    virtual tresult TESK_PLUGIN_API addPoint(int32 sampleOffset, ParamValue value,
                                             int32& index) = 0;
    static constexpr Uid iid = make_uid(0x01263A18, 0xED074F6F, 0x98C9D356, 0x4686F9BA);
};

struct IParameterChanges : FUnknown {
    virtual int32 TESK_PLUGIN_API getParameterCount() = 0;
    virtual IParamValueQueue* TESK_PLUGIN_API getParameterData(int32 index) = 0;
    virtual IParamValueQueue* TESK_PLUGIN_API addParameterData(const ParamID& id, int32& index) = 0;
    static constexpr Uid iid = make_uid(0xA4779663, 0x0BB64A56, 0xB44384A8, 0x466FEB9D);
};

/// Note and other events. We take none, so the record stays incomplete: a
/// host's list is only passed along, never read.
struct Event;

struct IEventList : FUnknown {
    virtual int32 TESK_PLUGIN_API getEventCount() = 0;
    virtual tresult TESK_PLUGIN_API getEvent(int32 index, Event& e) = 0;
    virtual tresult TESK_PLUGIN_API addEvent(Event& e) = 0;
    static constexpr Uid iid = make_uid(0x3A2C4214, 0x346349FE, 0xB2C4F397, 0xB9695A44);
};

struct ProcessData {
    int32 processMode;
    int32 symbolicSampleSize;
    int32 numSamples; ///< 0 for a call that only flushes parameter changes
    int32 numInputs;
    int32 numOutputs;
    AudioBusBuffers* inputs;
    AudioBusBuffers* outputs;
    IParameterChanges* inputParameterChanges;
    IParameterChanges* outputParameterChanges;
    IEventList* inputEvents;
    IEventList* outputEvents;
    ProcessContext* processContext; ///< may be null
};

struct IAudioProcessor : FUnknown {
    virtual tresult TESK_PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                                       SpeakerArrangement* outputs,
                                                       int32 numOuts) = 0;
    virtual tresult TESK_PLUGIN_API getBusArrangement(BusDirection dir, int32 index,
                                                      SpeakerArrangement& arr) = 0;
    virtual tresult TESK_PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) = 0;
    virtual uint32 TESK_PLUGIN_API getLatencySamples() = 0;
    virtual tresult TESK_PLUGIN_API setupProcessing(ProcessSetup& setup) = 0;
    virtual tresult TESK_PLUGIN_API setProcessing(TBool state) = 0;
    virtual tresult TESK_PLUGIN_API process(ProcessData& data) = 0;
    virtual uint32 TESK_PLUGIN_API getTailSamples() = 0;
    static constexpr Uid iid = make_uid(0x42043F99, 0xB7DA453C, 0xA569E79D, 0x9AAEC33D);
};

/// Which of ProcessContext's fields the processor reads; hosts may leave the rest out.
struct IProcessContextRequirements : FUnknown {
    enum Flags : uint32 {
        kNeedSystemTime = 1 << 0,
        kNeedContinousTimeSamples = 1 << 1,
        kNeedProjectTimeMusic = 1 << 2,
        kNeedBarPositionMusic = 1 << 3,
        kNeedCycleMusic = 1 << 4,
        kNeedSamplesToNextClock = 1 << 5,
        kNeedTempo = 1 << 6,
        kNeedTimeSignature = 1 << 7,
        kNeedChord = 1 << 8,
        kNeedFrameRate = 1 << 9,
        kNeedTransportState = 1 << 10,
    };
    virtual uint32 TESK_PLUGIN_API getProcessContextRequirements() = 0;
    static constexpr Uid iid = make_uid(0x2A654303, 0xEF764E3D, 0x95B5FE83, 0x730EF6D0);
};

struct ParameterInfo {
    enum ParameterFlags : int32 {
        kNoFlags = 0,
        kCanAutomate = 1 << 0,
        kIsReadOnly = 1 << 1,
        kIsWrapAround = 1 << 2,
        kIsList = 1 << 3,
        kIsHidden = 1 << 4,
        kIsProgramChange = 1 << 15,
        kIsBypass = 1 << 16,
    };
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32 stepCount; ///< 0: continuous; n: n + 1 values
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32 flags;
};

inline constexpr UnitID kRootUnitId = 0;
inline constexpr UnitID kNoParentUnitId = -1;
inline constexpr ProgramListID kNoProgramListId = -1;

namespace ViewType {
inline constexpr char kEditor[] = "editor";
} // namespace ViewType

/// What restartComponent asks the host to look at again.
enum RestartFlags : int32 {
    kReloadComponent = 1 << 0,
    kIoChanged = 1 << 1,
    kParamValuesChanged = 1 << 2,
    kLatencyChanged = 1 << 3,
    kParamTitlesChanged = 1 << 4,
    kMidiCCAssignmentChanged = 1 << 5,
    kNoteExpressionChanged = 1 << 6,
    kIoTitlesChanged = 1 << 7,
    kPrefetchableSupportChanged = 1 << 8,
    kRoutingInfoChanged = 1 << 9,
    kKeyswitchChanged = 1 << 10,
    kParamIDMappingChanged = 1 << 11,
};

struct IComponentHandler : FUnknown {
    virtual tresult TESK_PLUGIN_API beginEdit(ParamID id) = 0;
    virtual tresult TESK_PLUGIN_API performEdit(ParamID id, ParamValue valueNormalized) = 0;
    virtual tresult TESK_PLUGIN_API endEdit(ParamID id) = 0;
    virtual tresult TESK_PLUGIN_API restartComponent(int32 flags) = 0;
    static constexpr Uid iid = make_uid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

struct IComponentHandler2 : FUnknown {
    virtual tresult TESK_PLUGIN_API setDirty(TBool state) = 0;
    virtual tresult TESK_PLUGIN_API requestOpenEditor(FIDString name) = 0;
    virtual tresult TESK_PLUGIN_API startGroupEdit() = 0;
    virtual tresult TESK_PLUGIN_API finishGroupEdit() = 0;
    static constexpr Uid iid = make_uid(0xF040B4B3, 0xA36045EC, 0xABCDC045, 0xB4D5A2CC);
};

struct IPlugView;

struct IEditController : IPluginBase {
    virtual tresult TESK_PLUGIN_API setComponentState(IBStream* state) = 0;
    virtual tresult TESK_PLUGIN_API setState(IBStream* state) = 0;
    virtual tresult TESK_PLUGIN_API getState(IBStream* state) = 0;
    virtual int32 TESK_PLUGIN_API getParameterCount() = 0;
    virtual tresult TESK_PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo& info) = 0;
    virtual tresult TESK_PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                          String128 string) = 0;
    virtual tresult TESK_PLUGIN_API getParamValueByString(ParamID id, TChar* string,
                                                          ParamValue& valueNormalized) = 0;
    virtual ParamValue TESK_PLUGIN_API normalizedParamToPlain(ParamID id,
                                                              ParamValue valueNormalized) = 0;
    virtual ParamValue TESK_PLUGIN_API plainParamToNormalized(ParamID id,
                                                              ParamValue plainValue) = 0;
    virtual ParamValue TESK_PLUGIN_API getParamNormalized(ParamID id) = 0;
    virtual tresult TESK_PLUGIN_API setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult TESK_PLUGIN_API setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* TESK_PLUGIN_API createView(FIDString name) = 0;
    static constexpr Uid iid = make_uid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

using KnobMode = int32;
enum KnobModes : KnobMode { kCircularMode = 0, kRelativCircularMode = 1, kLinearMode = 2 };

struct IEditController2 : FUnknown {
    virtual tresult TESK_PLUGIN_API setKnobMode(KnobMode mode) = 0;
    virtual tresult TESK_PLUGIN_API openHelp(TBool onlyCheck) = 0;
    virtual tresult TESK_PLUGIN_API openAboutBox(TBool onlyCheck) = 0;
    static constexpr Uid iid = make_uid(0x7F4EFE59, 0xF3204967, 0xAC27A3AE, 0xAFB63038);
};

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32 programCount;
};

/// Units group parameters; a program list is how hosts show our factory programs.
struct IUnitInfo : FUnknown {
    virtual int32 TESK_PLUGIN_API getUnitCount() = 0;
    virtual tresult TESK_PLUGIN_API getUnitInfo(int32 unitIndex, UnitInfo& info) = 0;
    virtual int32 TESK_PLUGIN_API getProgramListCount() = 0;
    virtual tresult TESK_PLUGIN_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) = 0;
    virtual tresult TESK_PLUGIN_API getProgramName(ProgramListID listId, int32 programIndex,
                                                   String128 name) = 0;
    virtual tresult TESK_PLUGIN_API getProgramInfo(ProgramListID listId, int32 programIndex,
                                                   CString attributeId,
                                                   String128 attributeValue) = 0;
    virtual tresult TESK_PLUGIN_API hasProgramPitchNames(ProgramListID listId,
                                                         int32 programIndex) = 0;
    virtual tresult TESK_PLUGIN_API getProgramPitchName(ProgramListID listId, int32 programIndex,
                                                        int16 midiPitch, String128 name) = 0;
    virtual UnitID TESK_PLUGIN_API getSelectedUnit() = 0;
    virtual tresult TESK_PLUGIN_API selectUnit(UnitID unitId) = 0;
    virtual tresult TESK_PLUGIN_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex,
                                                 int32 channel, UnitID& unitId) = 0;
    virtual tresult TESK_PLUGIN_API setUnitProgramData(int32 listOrUnitId, int32 programIndex,
                                                       IBStream* data) = 0;
    static constexpr Uid iid = make_uid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
};

// ---- messages between the two halves

struct IAttributeList : FUnknown {
    using AttrID = const char*;
    virtual tresult TESK_PLUGIN_API setInt(AttrID id, int64 value) = 0;
    virtual tresult TESK_PLUGIN_API getInt(AttrID id, int64& value) = 0;
    virtual tresult TESK_PLUGIN_API setFloat(AttrID id, double value) = 0;
    virtual tresult TESK_PLUGIN_API getFloat(AttrID id, double& value) = 0;
    virtual tresult TESK_PLUGIN_API setString(AttrID id, const TChar* string) = 0;
    virtual tresult TESK_PLUGIN_API getString(AttrID id, TChar* string, uint32 sizeInBytes) = 0;
    virtual tresult TESK_PLUGIN_API setBinary(AttrID id, const void* data, uint32 sizeInBytes) = 0;
    virtual tresult TESK_PLUGIN_API getBinary(AttrID id, const void*& data,
                                              uint32& sizeInBytes) = 0;
    static constexpr Uid iid = make_uid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
};

struct IMessage : FUnknown {
    virtual FIDString TESK_PLUGIN_API getMessageID() = 0;
    virtual void TESK_PLUGIN_API setMessageID(FIDString id) = 0;
    virtual IAttributeList* TESK_PLUGIN_API getAttributes() = 0;
    static constexpr Uid iid = make_uid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
};

struct IConnectionPoint : FUnknown {
    virtual tresult TESK_PLUGIN_API connect(IConnectionPoint* other) = 0;
    virtual tresult TESK_PLUGIN_API disconnect(IConnectionPoint* other) = 0;
    virtual tresult TESK_PLUGIN_API notify(IMessage* message) = 0;
    static constexpr Uid iid = make_uid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
};

/// The host's context given to initialize: its name, and the messages it makes for us.
struct IHostApplication : FUnknown {
    virtual tresult TESK_PLUGIN_API getName(String128 name) = 0;
    virtual tresult TESK_PLUGIN_API createInstance(TUID cid, TUID iid, void** obj) = 0;
    static constexpr Uid iid = make_uid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
};

/// The editor's scale, for hosts that do not leave it to the system.
struct IPlugViewContentScaleSupport : FUnknown {
    using ScaleFactor = float;
    virtual tresult TESK_PLUGIN_API setContentScaleFactor(ScaleFactor factor) = 0;
    static constexpr Uid iid = make_uid(0x65ED9690, 0x8AC44525, 0x8AADEF7A, 0x72EA703F);
};

#pragma pack(pop)

// ---- the editor's view (natural layout again)

/// In pixels on Linux and Windows.
struct ViewRect {
    int32 left;
    int32 top;
    int32 right;
    int32 bottom;
};

/// What attached's parent is: an X11 Window id, or a HWND.
inline constexpr char kPlatformTypeX11EmbedWindowID[] = "X11EmbedWindowID";
inline constexpr char kPlatformTypeHWND[] = "HWND";

struct IPlugFrame;

struct IPlugView : FUnknown {
    virtual tresult TESK_PLUGIN_API isPlatformTypeSupported(FIDString type) = 0;
    virtual tresult TESK_PLUGIN_API attached(void* parent, FIDString type) = 0;
    virtual tresult TESK_PLUGIN_API removed() = 0;
    virtual tresult TESK_PLUGIN_API onWheel(float distance) = 0;
    virtual tresult TESK_PLUGIN_API onKeyDown(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult TESK_PLUGIN_API onKeyUp(char16 key, int16 keyCode, int16 modifiers) = 0;
    virtual tresult TESK_PLUGIN_API getSize(ViewRect* size) = 0;
    virtual tresult TESK_PLUGIN_API onSize(ViewRect* newSize) = 0;
    virtual tresult TESK_PLUGIN_API onFocus(TBool state) = 0;
    virtual tresult TESK_PLUGIN_API setFrame(IPlugFrame* frame) = 0;
    virtual tresult TESK_PLUGIN_API canResize() = 0;
    virtual tresult TESK_PLUGIN_API checkSizeConstraint(ViewRect* rect) = 0;
    static constexpr Uid iid = make_uid(0x5BC32507, 0xD06049EA, 0xA6151B52, 0x2B755B29);
};

struct IPlugFrame : FUnknown {
    virtual tresult TESK_PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) = 0;
    static constexpr Uid iid = make_uid(0x367FAF01, 0xAFA94693, 0x8D4DA2A0, 0xED0882A3);
};

// The host's run loop on Linux, which the editor's X11 connection and timers
// must go through: a plug-in there has no thread of its own to wait on.
// The SDK keeps these in a Linux namespace; ours sits with the rest
// (`linux` itself is a macro under GNU dialects).

using TimerInterval = uint64; ///< milliseconds
using FileDescriptor = int;

struct IEventHandler : FUnknown {
    virtual void TESK_PLUGIN_API onFDIsSet(FileDescriptor fd) = 0;
    static constexpr Uid iid = make_uid(0x561E65C9, 0x13A0496F, 0x813A2C35, 0x654D7983);
};

struct ITimerHandler : FUnknown {
    virtual void TESK_PLUGIN_API onTimer() = 0;
    static constexpr Uid iid = make_uid(0x10BDD94F, 0x41424774, 0x821FAD8F, 0xECA72CA9);
};

struct IRunLoop : FUnknown {
    virtual tresult TESK_PLUGIN_API registerEventHandler(IEventHandler* handler,
                                                         FileDescriptor fd) = 0;
    virtual tresult TESK_PLUGIN_API unregisterEventHandler(IEventHandler* handler) = 0;
    virtual tresult TESK_PLUGIN_API registerTimer(ITimerHandler* handler,
                                                  TimerInterval milliseconds) = 0;
    virtual tresult TESK_PLUGIN_API unregisterTimer(ITimerHandler* handler) = 0;
    static constexpr Uid iid = make_uid(0x18C35366, 0x97764F1A, 0x9C5B8385, 0x7A871389);
};

// ---- the module's entry points, as the host looks them up by name

/// GetPluginFactory: every platform. The host takes a reference to the factory.
using GetFactoryProc = IPluginFactory*(TESK_PLUGIN_API*)();
/// ModuleEntry(the dlopen handle) and ModuleExit: Linux, once around the module's use.
using ModuleEntryProc = bool (*)(void* sharedLibraryHandle);
using ModuleExitProc = bool (*)();
/// InitDll and ExitDll: Windows, likewise. Without arguments __stdcall and the
/// default convention call alike, so these declare none.
using InitDllProc = bool (*)();
using ExitDllProc = bool (*)();

} // namespace tesk::vst3

// The SDK declares GetPluginFactory too, with its own factory type; a file that
// includes both (our layout test) leaves ours out.
#if !defined(TESK_VST3_NO_ENTRY_DECLARATIONS)
extern "C" {
tesk::vst3::IPluginFactory* TESK_PLUGIN_API GetPluginFactory();
#if defined(_WIN32)
bool InitDll();
bool ExitDll();
#else
bool ModuleEntry(void* sharedLibraryHandle);
bool ModuleExit();
#endif
}
#endif

// ---- layout checks

namespace tesk::vst3::layout {

/// Where an int64 lands after an int32: 8 on 64-bit targets, 32-bit Windows and
/// 32-bit ARM; 4 on 32-bit x86 Linux, whose ABI aligns 8-byte fields to 4.
struct Int64Probe {
    int32 a;
    int64 b;
};
inline constexpr std::size_t kInt64Offset = offsetof(Int64Probe, b);

} // namespace tesk::vst3::layout

namespace tesk::vst3 {

static_assert(sizeof(TUID) == 16 && sizeof(Uid) == 16);
static_assert(sizeof(TChar) == 2 && sizeof(TBool) == 1);
static_assert(sizeof(String128) == 256);

// The records with no pointer and no 8-byte field: alike everywhere.
static_assert(offsetof(PFactoryInfo, url) == 64);
static_assert(offsetof(PFactoryInfo, email) == 320);
static_assert(offsetof(PFactoryInfo, flags) == 448);
static_assert(sizeof(PFactoryInfo) == 452);

static_assert(offsetof(PClassInfo, cardinality) == 16);
static_assert(offsetof(PClassInfo, category) == 20);
static_assert(offsetof(PClassInfo, name) == 52);
static_assert(sizeof(PClassInfo) == 116);

static_assert(offsetof(PClassInfo2, cardinality) == 16);
static_assert(offsetof(PClassInfo2, category) == 20);
static_assert(offsetof(PClassInfo2, name) == 52);
static_assert(offsetof(PClassInfo2, classFlags) == 116);
static_assert(offsetof(PClassInfo2, subCategories) == 120);
static_assert(offsetof(PClassInfo2, vendor) == 248);
static_assert(offsetof(PClassInfo2, version) == 312);
static_assert(offsetof(PClassInfo2, sdkVersion) == 376);
static_assert(sizeof(PClassInfo2) == 440);

static_assert(offsetof(PClassInfoW, cardinality) == 16);
static_assert(offsetof(PClassInfoW, category) == 20);
static_assert(offsetof(PClassInfoW, name) == 52);
static_assert(offsetof(PClassInfoW, classFlags) == 180);
static_assert(offsetof(PClassInfoW, subCategories) == 184);
static_assert(offsetof(PClassInfoW, vendor) == 312);
static_assert(offsetof(PClassInfoW, version) == 440);
static_assert(offsetof(PClassInfoW, sdkVersion) == 568);
static_assert(sizeof(PClassInfoW) == 696);

static_assert(offsetof(BusInfo, direction) == 4);
static_assert(offsetof(BusInfo, channelCount) == 8);
static_assert(offsetof(BusInfo, name) == 12);
static_assert(offsetof(BusInfo, busType) == 268);
static_assert(offsetof(BusInfo, flags) == 272);
static_assert(sizeof(BusInfo) == 276);

static_assert(offsetof(RoutingInfo, busIndex) == 4);
static_assert(offsetof(RoutingInfo, channel) == 8);
static_assert(sizeof(RoutingInfo) == 12);

static_assert(offsetof(FrameRate, flags) == 4);
static_assert(sizeof(FrameRate) == 8);
static_assert(offsetof(Chord, rootNote) == 1);
static_assert(offsetof(Chord, chordMask) == 2);
static_assert(sizeof(Chord) == 4);

static_assert(offsetof(UnitInfo, parentUnitId) == 4);
static_assert(offsetof(UnitInfo, name) == 8);
static_assert(offsetof(UnitInfo, programListId) == 264);
static_assert(sizeof(UnitInfo) == 268);

static_assert(offsetof(ProgramListInfo, name) == 4);
static_assert(offsetof(ProgramListInfo, programCount) == 260);
static_assert(sizeof(ProgramListInfo) == 264);

static_assert(offsetof(ViewRect, top) == 4);
static_assert(offsetof(ViewRect, right) == 8);
static_assert(offsetof(ViewRect, bottom) == 12);
static_assert(sizeof(ViewRect) == 16);

// ParameterInfo's double falls on 776 whichever way 8-byte fields align.
static_assert(offsetof(ParameterInfo, title) == 4);
static_assert(offsetof(ParameterInfo, shortTitle) == 260);
static_assert(offsetof(ParameterInfo, units) == 516);
static_assert(offsetof(ParameterInfo, stepCount) == 772);
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776);
static_assert(offsetof(ParameterInfo, unitId) == 784);
static_assert(offsetof(ParameterInfo, flags) == 788);
static_assert(sizeof(ParameterInfo) == 792);

#if UINTPTR_MAX > 0xFFFFFFFFu
// 64-bit: Linux (x86-64, aarch64) and Windows (x64) alike, as no field is a long.
static_assert(sizeof(void*) == 8 && layout::kInt64Offset == 8);

static_assert(offsetof(ProcessSetup, sampleRate) == 16);
static_assert(sizeof(ProcessSetup) == 24);

static_assert(offsetof(AudioBusBuffers, silenceFlags) == 8);
static_assert(offsetof(AudioBusBuffers, channelBuffers32) == 16);
static_assert(offsetof(AudioBusBuffers, channelBuffers64) == 16);
static_assert(sizeof(AudioBusBuffers) == 24);

static_assert(offsetof(ProcessData, numOutputs) == 16);
static_assert(offsetof(ProcessData, inputs) == 24);
static_assert(offsetof(ProcessData, outputs) == 32);
static_assert(offsetof(ProcessData, inputParameterChanges) == 40);
static_assert(offsetof(ProcessData, outputParameterChanges) == 48);
static_assert(offsetof(ProcessData, inputEvents) == 56);
static_assert(offsetof(ProcessData, outputEvents) == 64);
static_assert(offsetof(ProcessData, processContext) == 72);
static_assert(sizeof(ProcessData) == 80);
#else
static_assert(sizeof(void*) == 4);

static_assert(offsetof(ProcessData, numOutputs) == 16);
static_assert(offsetof(ProcessData, inputs) == 20);
static_assert(offsetof(ProcessData, outputs) == 24);
static_assert(offsetof(ProcessData, inputParameterChanges) == 28);
static_assert(offsetof(ProcessData, outputParameterChanges) == 32);
static_assert(offsetof(ProcessData, inputEvents) == 36);
static_assert(offsetof(ProcessData, outputEvents) == 40);
static_assert(offsetof(ProcessData, processContext) == 44);
static_assert(sizeof(ProcessData) == 48);

#endif

// The records with 8-byte fields: on 64-bit targets, 32-bit Windows and 32-bit
// ARM those fields align to 8; on 32-bit x86 Linux to 4.
#if UINTPTR_MAX > 0xFFFFFFFFu || defined(_WIN32)
static_assert(layout::kInt64Offset == 8);
#endif
#if UINTPTR_MAX <= 0xFFFFFFFFu
static_assert(offsetof(ProcessSetup, sampleRate) == layout::kInt64Offset + 8);
static_assert(sizeof(ProcessSetup) == layout::kInt64Offset + 16);

static_assert(offsetof(AudioBusBuffers, silenceFlags) == layout::kInt64Offset);
static_assert(offsetof(AudioBusBuffers, channelBuffers32) == layout::kInt64Offset + 8);
static_assert(sizeof(AudioBusBuffers) == (layout::kInt64Offset == 8 ? 24 : 16));
#endif

static_assert(offsetof(ProcessContext, sampleRate) == layout::kInt64Offset);
static_assert(offsetof(ProcessContext, projectTimeSamples) == layout::kInt64Offset + 8);
static_assert(offsetof(ProcessContext, systemTime) == layout::kInt64Offset + 16);
static_assert(offsetof(ProcessContext, continousTimeSamples) == layout::kInt64Offset + 24);
static_assert(offsetof(ProcessContext, projectTimeMusic) == layout::kInt64Offset + 32);
static_assert(offsetof(ProcessContext, barPositionMusic) == layout::kInt64Offset + 40);
static_assert(offsetof(ProcessContext, cycleStartMusic) == layout::kInt64Offset + 48);
static_assert(offsetof(ProcessContext, cycleEndMusic) == layout::kInt64Offset + 56);
static_assert(offsetof(ProcessContext, tempo) == layout::kInt64Offset + 64);
static_assert(offsetof(ProcessContext, timeSigNumerator) == layout::kInt64Offset + 72);
static_assert(offsetof(ProcessContext, timeSigDenominator) == layout::kInt64Offset + 76);
static_assert(offsetof(ProcessContext, chord) == layout::kInt64Offset + 80);
static_assert(offsetof(ProcessContext, smpteOffsetSubframes) == layout::kInt64Offset + 84);
static_assert(offsetof(ProcessContext, frameRate) == layout::kInt64Offset + 88);
static_assert(offsetof(ProcessContext, samplesToNextClock) == layout::kInt64Offset + 96);
static_assert(sizeof(ProcessContext) == (layout::kInt64Offset == 8 ? 112 : 104));

// Every interface is one vtable pointer.
static_assert(sizeof(IComponent) == sizeof(void*) && sizeof(IPluginFactory3) == sizeof(void*));

} // namespace tesk::vst3
