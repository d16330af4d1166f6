// Our VST 3 definitions (src/formats/vst3/vst3_api.h) against the interface
// headers of Steinberg's SDK, on a developer's machine that has fetched one
// (configure with -DTESK_VST3_SDK_DIR=<its folder>): every identifier, every
// record's size, alignment and field offsets, every constant, and for each
// method its vtable slot and its signature. Most of it is decided when this file
// compiles; the run repeats the comparisons as test results and calls objects of
// ours through the SDK's interfaces. The SDK never enters the repository, so
// where its headers are absent this is one test, skipped, saying so.

// The SDK declares GetPluginFactory with its own types; ours would clash.
#define TESK_VST3_NO_ENTRY_DECLARATIONS
#include "vst3_api.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#if __has_include(<pluginterfaces/base/funknown.h>)
#define TESK_HAVE_VST3_SDK 1
#elif defined(TESK_VST3_SDK_DIR)
#error "TESK_VST3_SDK_DIR is set, but pluginterfaces/base/funknown.h is not found under it"
#endif

#if defined(TESK_HAVE_VST3_SDK)

// The SDK makes these two names macros: read ours before its headers come in.
namespace before_sdk {
constexpr std::string_view audio_effect_class = tesk::vst3::kVstAudioEffectClass;
constexpr std::string_view controller_class = tesk::vst3::kVstComponentControllerClass;
} // namespace before_sdk

#include <pluginterfaces/base/funknown.h>
#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/gui/iplugviewcontentscalesupport.h>
#include <pluginterfaces/vst/ivstattributes.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstevents.h>
#include <pluginterfaces/vst/ivsthostapplication.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstparameterchanges.h>
#include <pluginterfaces/vst/ivstprocesscontext.h>
#include <pluginterfaces/vst/ivstunits.h>
#include <pluginterfaces/vst/vstspeaker.h>
#include <pluginterfaces/vst/vsttypes.h>

#if !(defined(__GNUC__) && !defined(_MSC_VER))
#error "the vtable checks read member function pointers as GCC and Clang lay them out"
#endif

namespace {

namespace ours = tesk::vst3;
namespace sb = Steinberg;
namespace sv = Steinberg::Vst;

// ---- our types, said in the SDK's

template <class T> struct ToSdk {
    using type = T; // the arithmetic types are the same types in both
};
template <class T> using to_sdk = typename ToSdk<T>::type;
template <class T> struct ToSdk<T*> { using type = to_sdk<T>*; };
template <class T> struct ToSdk<T&> { using type = to_sdk<T>&; };
template <class T> struct ToSdk<const T> { using type = const to_sdk<T>; };
template <class T, std::size_t N> struct ToSdk<T[N]> { using type = to_sdk<T>[N]; };
template <class R, class... A> struct ToSdk<R(A...)> { using type = to_sdk<R>(to_sdk<A>...); };
template <class R, class C, class... A> struct ToSdk<R (C::*)(A...)> {
    using type = to_sdk<R> (to_sdk<C>::*)(to_sdk<A>...);
};
#if defined(_WIN32) && !defined(_WIN64)
// The calling convention is part of a function's type here: a method left
// __thiscall matches the one above, and so differs from the SDK's.
template <class R, class... A> struct ToSdk<R TESK_PLUGIN_API(A...)> {
    using type = to_sdk<R> TESK_PLUGIN_API(to_sdk<A>...);
};
template <class R, class C, class... A> struct ToSdk<R (TESK_PLUGIN_API C::*)(A...)> {
    using type = to_sdk<R> (TESK_PLUGIN_API to_sdk<C>::*)(to_sdk<A>...);
};
#endif

#define TESK_SDK_NAME(ours_type, sdk_type)                                                         \
    template <> struct ToSdk<ours::ours_type> { using type = sdk_type; };

TESK_SDK_NAME(FUnknown, sb::FUnknown)
TESK_SDK_NAME(IPluginBase, sb::IPluginBase)
TESK_SDK_NAME(PFactoryInfo, sb::PFactoryInfo)
TESK_SDK_NAME(PClassInfo, sb::PClassInfo)
TESK_SDK_NAME(PClassInfo2, sb::PClassInfo2)
TESK_SDK_NAME(PClassInfoW, sb::PClassInfoW)
TESK_SDK_NAME(IPluginFactory, sb::IPluginFactory)
TESK_SDK_NAME(IPluginFactory2, sb::IPluginFactory2)
TESK_SDK_NAME(IPluginFactory3, sb::IPluginFactory3)
TESK_SDK_NAME(IBStream, sb::IBStream)
TESK_SDK_NAME(BusInfo, sv::BusInfo)
TESK_SDK_NAME(RoutingInfo, sv::RoutingInfo)
TESK_SDK_NAME(IComponent, sv::IComponent)
TESK_SDK_NAME(ProcessSetup, sv::ProcessSetup)
TESK_SDK_NAME(AudioBusBuffers, sv::AudioBusBuffers)
TESK_SDK_NAME(FrameRate, sv::FrameRate)
TESK_SDK_NAME(Chord, sv::Chord)
TESK_SDK_NAME(ProcessContext, sv::ProcessContext)
TESK_SDK_NAME(IParamValueQueue, sv::IParamValueQueue)
TESK_SDK_NAME(IParameterChanges, sv::IParameterChanges)
TESK_SDK_NAME(Event, sv::Event)
TESK_SDK_NAME(IEventList, sv::IEventList)
TESK_SDK_NAME(ProcessData, sv::ProcessData)
TESK_SDK_NAME(IAudioProcessor, sv::IAudioProcessor)
TESK_SDK_NAME(IProcessContextRequirements, sv::IProcessContextRequirements)
TESK_SDK_NAME(ParameterInfo, sv::ParameterInfo)
TESK_SDK_NAME(IComponentHandler, sv::IComponentHandler)
TESK_SDK_NAME(IComponentHandler2, sv::IComponentHandler2)
TESK_SDK_NAME(IEditController, sv::IEditController)
TESK_SDK_NAME(IEditController2, sv::IEditController2)
TESK_SDK_NAME(UnitInfo, sv::UnitInfo)
TESK_SDK_NAME(ProgramListInfo, sv::ProgramListInfo)
TESK_SDK_NAME(IUnitInfo, sv::IUnitInfo)
TESK_SDK_NAME(IAttributeList, sv::IAttributeList)
TESK_SDK_NAME(IMessage, sv::IMessage)
TESK_SDK_NAME(IConnectionPoint, sv::IConnectionPoint)
TESK_SDK_NAME(IHostApplication, sv::IHostApplication)
TESK_SDK_NAME(IPlugViewContentScaleSupport, sb::IPlugViewContentScaleSupport)
TESK_SDK_NAME(ViewRect, sb::ViewRect)
TESK_SDK_NAME(IPlugView, sb::IPlugView)
TESK_SDK_NAME(IPlugFrame, sb::IPlugFrame)
TESK_SDK_NAME(IEventHandler, sb::Linux::IEventHandler)
TESK_SDK_NAME(ITimerHandler, sb::Linux::ITimerHandler)
TESK_SDK_NAME(IRunLoop, sb::Linux::IRunLoop)

// The mapping itself must not let a mismatch through.
static_assert(std::is_same_v<to_sdk<const ours::ProcessData*&>, const sv::ProcessData*&>);
static_assert(!std::is_same_v<to_sdk<ours::int32&>, sb::int32*>);

// ---- identifiers

constexpr bool same_bytes(const char (&a)[16], const char (&b)[16]) {
    for (int i = 0; i < 16; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

TEST(Vst3SdkLayout, InterfaceIdentifiersAreTheSdks) {
#define TESK_SAME_IID(iface, sdk_iid)                                                              \
    static_assert(same_bytes(ours::iface::iid, sdk_iid), #iface "'s identifier is not the SDK's"); \
    EXPECT_TRUE(ours::uid_equal(sdk_iid, ours::iface::iid)) << #iface;                             \
    EXPECT_EQ(0, std::memcmp(ours::iface::iid.bytes, sdk_iid, 16)) << #iface;

    TESK_SAME_IID(FUnknown, sb::FUnknown_iid)
    TESK_SAME_IID(IPluginBase, sb::IPluginBase_iid)
    TESK_SAME_IID(IPluginFactory, sb::IPluginFactory_iid)
    TESK_SAME_IID(IPluginFactory2, sb::IPluginFactory2_iid)
    TESK_SAME_IID(IPluginFactory3, sb::IPluginFactory3_iid)
    TESK_SAME_IID(IBStream, sb::IBStream_iid)
    TESK_SAME_IID(IComponent, sv::IComponent_iid)
    TESK_SAME_IID(IAudioProcessor, sv::IAudioProcessor_iid)
    TESK_SAME_IID(IProcessContextRequirements, sv::IProcessContextRequirements_iid)
    TESK_SAME_IID(IParamValueQueue, sv::IParamValueQueue_iid)
    TESK_SAME_IID(IParameterChanges, sv::IParameterChanges_iid)
    TESK_SAME_IID(IEventList, sv::IEventList_iid)
    TESK_SAME_IID(IEditController, sv::IEditController_iid)
    TESK_SAME_IID(IEditController2, sv::IEditController2_iid)
    TESK_SAME_IID(IComponentHandler, sv::IComponentHandler_iid)
    TESK_SAME_IID(IComponentHandler2, sv::IComponentHandler2_iid)
    TESK_SAME_IID(IUnitInfo, sv::IUnitInfo_iid)
    TESK_SAME_IID(IAttributeList, sv::IAttributeList_iid)
    TESK_SAME_IID(IMessage, sv::IMessage_iid)
    TESK_SAME_IID(IConnectionPoint, sv::IConnectionPoint_iid)
    TESK_SAME_IID(IHostApplication, sv::IHostApplication_iid)
    TESK_SAME_IID(IPlugViewContentScaleSupport, sb::IPlugViewContentScaleSupport_iid)
    TESK_SAME_IID(IPlugView, sb::IPlugView_iid)
    TESK_SAME_IID(IPlugFrame, sb::IPlugFrame_iid)
    TESK_SAME_IID(IEventHandler, sb::Linux::IEventHandler_iid)
    TESK_SAME_IID(ITimerHandler, sb::Linux::ITimerHandler_iid)
    TESK_SAME_IID(IRunLoop, sb::Linux::IRunLoop_iid)
#undef TESK_SAME_IID
}

TEST(Vst3SdkLayout, IdentifiersAreBuiltInThePlatformsByteOrder) {
    // Four words of our own, through both builders: the byte order is the
    // platform's (COM's on Windows), not only right for the identifiers above.
    constexpr ours::Uid ours_uid = ours::make_uid(0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210);
    constexpr sb::TUID sdk_uid = INLINE_UID(0x01234567, 0x89ABCDEF, 0xFEDCBA98, 0x76543210);
    static_assert(same_bytes(ours_uid, sdk_uid));
    EXPECT_EQ(0, std::memcmp(ours_uid.bytes, sdk_uid, 16));
    // And one byte off is told apart.
    sb::TUID other;
    std::memcpy(other, sdk_uid, 16);
    other[15] = static_cast<char>(other[15] ^ 1);
    EXPECT_FALSE(ours::uid_equal(other, ours_uid));
    EXPECT_FALSE(ours::uid_equal(nullptr, ours_uid));
}

// ---- records

TEST(Vst3SdkLayout, RecordsAreLaidOutAsTheSdks) {
#define TESK_SAME_RECORD(record)                                                                   \
    static_assert(sizeof(ours::record) == sizeof(to_sdk<ours::record>),                            \
                  #record "'s size is not the SDK's");                                             \
    static_assert(alignof(ours::record) == alignof(to_sdk<ours::record>),                          \
                  #record "'s alignment is not the SDK's");                                        \
    static_assert(std::is_standard_layout_v<ours::record>);                                        \
    EXPECT_EQ(sizeof(ours::record), sizeof(to_sdk<ours::record>)) << #record;                      \
    EXPECT_EQ(alignof(ours::record), alignof(to_sdk<ours::record>)) << #record;
#define TESK_SAME_FIELD(record, field)                                                             \
    static_assert(offsetof(ours::record, field) == offsetof(to_sdk<ours::record>, field),          \
                  #record "::" #field " is not where the SDK has it");                             \
    static_assert(std::is_same_v<to_sdk<decltype(ours::record::field)>,                            \
                                 decltype(to_sdk<ours::record>::field)>,                           \
                  #record "::" #field " is not of the SDK's type");                                \
    EXPECT_EQ(offsetof(ours::record, field), offsetof(to_sdk<ours::record>, field))                \
        << #record "::" #field;

    TESK_SAME_RECORD(PFactoryInfo)
    TESK_SAME_FIELD(PFactoryInfo, vendor)
    TESK_SAME_FIELD(PFactoryInfo, url)
    TESK_SAME_FIELD(PFactoryInfo, email)
    TESK_SAME_FIELD(PFactoryInfo, flags)

    TESK_SAME_RECORD(PClassInfo)
    TESK_SAME_FIELD(PClassInfo, cid)
    TESK_SAME_FIELD(PClassInfo, cardinality)
    TESK_SAME_FIELD(PClassInfo, category)
    TESK_SAME_FIELD(PClassInfo, name)

    TESK_SAME_RECORD(PClassInfo2)
    TESK_SAME_FIELD(PClassInfo2, cid)
    TESK_SAME_FIELD(PClassInfo2, cardinality)
    TESK_SAME_FIELD(PClassInfo2, category)
    TESK_SAME_FIELD(PClassInfo2, name)
    TESK_SAME_FIELD(PClassInfo2, classFlags)
    TESK_SAME_FIELD(PClassInfo2, subCategories)
    TESK_SAME_FIELD(PClassInfo2, vendor)
    TESK_SAME_FIELD(PClassInfo2, version)
    TESK_SAME_FIELD(PClassInfo2, sdkVersion)

    TESK_SAME_RECORD(PClassInfoW)
    TESK_SAME_FIELD(PClassInfoW, cid)
    TESK_SAME_FIELD(PClassInfoW, cardinality)
    TESK_SAME_FIELD(PClassInfoW, category)
    TESK_SAME_FIELD(PClassInfoW, name)
    TESK_SAME_FIELD(PClassInfoW, classFlags)
    TESK_SAME_FIELD(PClassInfoW, subCategories)
    TESK_SAME_FIELD(PClassInfoW, vendor)
    TESK_SAME_FIELD(PClassInfoW, version)
    TESK_SAME_FIELD(PClassInfoW, sdkVersion)

    TESK_SAME_RECORD(BusInfo)
    TESK_SAME_FIELD(BusInfo, mediaType)
    TESK_SAME_FIELD(BusInfo, direction)
    TESK_SAME_FIELD(BusInfo, channelCount)
    TESK_SAME_FIELD(BusInfo, name)
    TESK_SAME_FIELD(BusInfo, busType)
    TESK_SAME_FIELD(BusInfo, flags)

    TESK_SAME_RECORD(RoutingInfo)
    TESK_SAME_FIELD(RoutingInfo, mediaType)
    TESK_SAME_FIELD(RoutingInfo, busIndex)
    TESK_SAME_FIELD(RoutingInfo, channel)

    TESK_SAME_RECORD(ProcessSetup)
    TESK_SAME_FIELD(ProcessSetup, processMode)
    TESK_SAME_FIELD(ProcessSetup, symbolicSampleSize)
    TESK_SAME_FIELD(ProcessSetup, maxSamplesPerBlock)
    TESK_SAME_FIELD(ProcessSetup, sampleRate)

    TESK_SAME_RECORD(AudioBusBuffers)
    TESK_SAME_FIELD(AudioBusBuffers, numChannels)
    TESK_SAME_FIELD(AudioBusBuffers, silenceFlags)
    TESK_SAME_FIELD(AudioBusBuffers, channelBuffers32)
    TESK_SAME_FIELD(AudioBusBuffers, channelBuffers64)

    TESK_SAME_RECORD(ProcessData)
    TESK_SAME_FIELD(ProcessData, processMode)
    TESK_SAME_FIELD(ProcessData, symbolicSampleSize)
    TESK_SAME_FIELD(ProcessData, numSamples)
    TESK_SAME_FIELD(ProcessData, numInputs)
    TESK_SAME_FIELD(ProcessData, numOutputs)
    TESK_SAME_FIELD(ProcessData, inputs)
    TESK_SAME_FIELD(ProcessData, outputs)
    TESK_SAME_FIELD(ProcessData, inputParameterChanges)
    TESK_SAME_FIELD(ProcessData, outputParameterChanges)
    TESK_SAME_FIELD(ProcessData, inputEvents)
    TESK_SAME_FIELD(ProcessData, outputEvents)
    TESK_SAME_FIELD(ProcessData, processContext)

    TESK_SAME_RECORD(FrameRate)
    TESK_SAME_FIELD(FrameRate, framesPerSecond)
    TESK_SAME_FIELD(FrameRate, flags)

    TESK_SAME_RECORD(Chord)
    TESK_SAME_FIELD(Chord, keyNote)
    TESK_SAME_FIELD(Chord, rootNote)
    TESK_SAME_FIELD(Chord, chordMask)

    TESK_SAME_RECORD(ProcessContext)
    TESK_SAME_FIELD(ProcessContext, state)
    TESK_SAME_FIELD(ProcessContext, sampleRate)
    TESK_SAME_FIELD(ProcessContext, projectTimeSamples)
    TESK_SAME_FIELD(ProcessContext, systemTime)
    TESK_SAME_FIELD(ProcessContext, continousTimeSamples)
    TESK_SAME_FIELD(ProcessContext, projectTimeMusic)
    TESK_SAME_FIELD(ProcessContext, barPositionMusic)
    TESK_SAME_FIELD(ProcessContext, cycleStartMusic)
    TESK_SAME_FIELD(ProcessContext, cycleEndMusic)
    TESK_SAME_FIELD(ProcessContext, tempo)
    TESK_SAME_FIELD(ProcessContext, timeSigNumerator)
    TESK_SAME_FIELD(ProcessContext, timeSigDenominator)
    TESK_SAME_FIELD(ProcessContext, chord)
    TESK_SAME_FIELD(ProcessContext, smpteOffsetSubframes)
    TESK_SAME_FIELD(ProcessContext, frameRate)
    TESK_SAME_FIELD(ProcessContext, samplesToNextClock)

    TESK_SAME_RECORD(ParameterInfo)
    TESK_SAME_FIELD(ParameterInfo, id)
    TESK_SAME_FIELD(ParameterInfo, title)
    TESK_SAME_FIELD(ParameterInfo, shortTitle)
    TESK_SAME_FIELD(ParameterInfo, units)
    TESK_SAME_FIELD(ParameterInfo, stepCount)
    TESK_SAME_FIELD(ParameterInfo, defaultNormalizedValue)
    TESK_SAME_FIELD(ParameterInfo, unitId)
    TESK_SAME_FIELD(ParameterInfo, flags)

    TESK_SAME_RECORD(UnitInfo)
    TESK_SAME_FIELD(UnitInfo, id)
    TESK_SAME_FIELD(UnitInfo, parentUnitId)
    TESK_SAME_FIELD(UnitInfo, name)
    TESK_SAME_FIELD(UnitInfo, programListId)

    TESK_SAME_RECORD(ProgramListInfo)
    TESK_SAME_FIELD(ProgramListInfo, id)
    TESK_SAME_FIELD(ProgramListInfo, name)
    TESK_SAME_FIELD(ProgramListInfo, programCount)

    TESK_SAME_RECORD(ViewRect)
    TESK_SAME_FIELD(ViewRect, left)
    TESK_SAME_FIELD(ViewRect, top)
    TESK_SAME_FIELD(ViewRect, right)
    TESK_SAME_FIELD(ViewRect, bottom)
#undef TESK_SAME_RECORD
#undef TESK_SAME_FIELD
}

TEST(Vst3SdkLayout, TypesAreTheSdks) {
#define TESK_SAME_TYPE(ours_type, sdk_type)                                                        \
    static_assert(std::is_same_v<to_sdk<ours::ours_type>, sdk_type>,                               \
                  #ours_type " is not the SDK's " #sdk_type);                                      \
    EXPECT_EQ(sizeof(ours::ours_type), sizeof(sdk_type)) << #ours_type;

    TESK_SAME_TYPE(int8, sb::int8)
    TESK_SAME_TYPE(uint8, sb::uint8)
    TESK_SAME_TYPE(int16, sb::int16)
    TESK_SAME_TYPE(int32, sb::int32)
    TESK_SAME_TYPE(uint32, sb::uint32)
    TESK_SAME_TYPE(int64, sb::int64)
    TESK_SAME_TYPE(uint64, sb::uint64)
    TESK_SAME_TYPE(TBool, sb::TBool)
    TESK_SAME_TYPE(char8, sb::char8)
    TESK_SAME_TYPE(char16, sb::char16)
    TESK_SAME_TYPE(tresult, sb::tresult)
    TESK_SAME_TYPE(FIDString, sb::FIDString)
    TESK_SAME_TYPE(TUID, sb::TUID)
    TESK_SAME_TYPE(TChar, sv::TChar)
    TESK_SAME_TYPE(String128, sv::String128)
    TESK_SAME_TYPE(CString, sv::CString)
    TESK_SAME_TYPE(MediaType, sv::MediaType)
    TESK_SAME_TYPE(BusDirection, sv::BusDirection)
    TESK_SAME_TYPE(BusType, sv::BusType)
    TESK_SAME_TYPE(IoMode, sv::IoMode)
    TESK_SAME_TYPE(UnitID, sv::UnitID)
    TESK_SAME_TYPE(ProgramListID, sv::ProgramListID)
    TESK_SAME_TYPE(ParamID, sv::ParamID)
    TESK_SAME_TYPE(ParamValue, sv::ParamValue)
    TESK_SAME_TYPE(TQuarterNotes, sv::TQuarterNotes)
    TESK_SAME_TYPE(TSamples, sv::TSamples)
    TESK_SAME_TYPE(Sample32, sv::Sample32)
    TESK_SAME_TYPE(Sample64, sv::Sample64)
    TESK_SAME_TYPE(SampleRate, sv::SampleRate)
    TESK_SAME_TYPE(SpeakerArrangement, sv::SpeakerArrangement)
    TESK_SAME_TYPE(Speaker, sv::Speaker)
    TESK_SAME_TYPE(KnobMode, sv::KnobMode)
    TESK_SAME_TYPE(IAttributeList::AttrID, sv::IAttributeList::AttrID)
    TESK_SAME_TYPE(IPlugViewContentScaleSupport::ScaleFactor,
                   sb::IPlugViewContentScaleSupport::ScaleFactor)
    TESK_SAME_TYPE(TimerInterval, sb::Linux::TimerInterval)
    TESK_SAME_TYPE(FileDescriptor, sb::Linux::FileDescriptor)
    TESK_SAME_TYPE(GetFactoryProc, ::GetFactoryProc)
#undef TESK_SAME_TYPE
}

// ---- constants

template <class T> constexpr long long value_of(T v) {
    return static_cast<long long>(v);
}

TEST(Vst3SdkLayout, ConstantsAreTheSdks) {
#define TESK_SAME_VALUE(ours_name, sdk_name)                                                       \
    static_assert(value_of(ours::ours_name) == value_of(sdk_name),                                 \
                  #ours_name " is not the SDK's " #sdk_name);                                      \
    EXPECT_EQ(value_of(ours::ours_name), value_of(sdk_name)) << #ours_name;
#define TESK_SAME_TEXT(ours_name, sdk_name)                                                        \
    static_assert(std::string_view(ours::ours_name) == std::string_view(sdk_name),                 \
                  #ours_name " is not the SDK's " #sdk_name);                                      \
    EXPECT_EQ(std::string_view(ours::ours_name), std::string_view(sdk_name)) << #ours_name;
// Some of the SDK's texts are plain const pointers, readable only at run time.
#define TESK_SAME_TEXT_AT_RUN_TIME(ours_name, sdk_name)                                            \
    EXPECT_EQ(std::string_view(ours::ours_name), std::string_view(sdk_name)) << #ours_name;

    TESK_SAME_VALUE(kNoInterface, sb::kNoInterface)
    TESK_SAME_VALUE(kResultOk, sb::kResultOk)
    TESK_SAME_VALUE(kResultTrue, sb::kResultTrue)
    TESK_SAME_VALUE(kResultFalse, sb::kResultFalse)
    TESK_SAME_VALUE(kInvalidArgument, sb::kInvalidArgument)
    TESK_SAME_VALUE(kNotImplemented, sb::kNotImplemented)
    TESK_SAME_VALUE(kInternalError, sb::kInternalError)
    TESK_SAME_VALUE(kNotInitialized, sb::kNotInitialized)
    TESK_SAME_VALUE(kOutOfMemory, sb::kOutOfMemory)

    TESK_SAME_VALUE(PFactoryInfo::kNoFlags, sb::PFactoryInfo::kNoFlags)
    TESK_SAME_VALUE(PFactoryInfo::kClassesDiscardable, sb::PFactoryInfo::kClassesDiscardable)
    TESK_SAME_VALUE(PFactoryInfo::kLicenseCheck, sb::PFactoryInfo::kLicenseCheck)
    TESK_SAME_VALUE(PFactoryInfo::kComponentNonDiscardable,
                    sb::PFactoryInfo::kComponentNonDiscardable)
    TESK_SAME_VALUE(PFactoryInfo::kUnicode, sb::PFactoryInfo::kUnicode)
    TESK_SAME_VALUE(PFactoryInfo::kURLSize, sb::PFactoryInfo::kURLSize)
    TESK_SAME_VALUE(PFactoryInfo::kEmailSize, sb::PFactoryInfo::kEmailSize)
    TESK_SAME_VALUE(PFactoryInfo::kNameSize, sb::PFactoryInfo::kNameSize)
    TESK_SAME_VALUE(PClassInfo::kManyInstances, sb::PClassInfo::kManyInstances)
    TESK_SAME_VALUE(PClassInfo::kCategorySize, sb::PClassInfo::kCategorySize)
    TESK_SAME_VALUE(PClassInfo::kNameSize, sb::PClassInfo::kNameSize)
    TESK_SAME_VALUE(PClassInfo2::kVendorSize, sb::PClassInfo2::kVendorSize)
    TESK_SAME_VALUE(PClassInfo2::kVersionSize, sb::PClassInfo2::kVersionSize)
    TESK_SAME_VALUE(PClassInfo2::kSubCategoriesSize, sb::PClassInfo2::kSubCategoriesSize)
    TESK_SAME_VALUE(PClassInfoW::kVendorSize, sb::PClassInfoW::kVendorSize)
    TESK_SAME_VALUE(PClassInfoW::kVersionSize, sb::PClassInfoW::kVersionSize)
    TESK_SAME_VALUE(PClassInfoW::kSubCategoriesSize, sb::PClassInfoW::kSubCategoriesSize)
    TESK_SAME_VALUE(kDefaultFactoryFlags, sv::kDefaultFactoryFlags)
    static_assert(before_sdk::audio_effect_class == std::string_view(kVstAudioEffectClass));
    EXPECT_EQ(before_sdk::audio_effect_class, std::string_view(kVstAudioEffectClass));
    static_assert(before_sdk::controller_class == std::string_view(kVstComponentControllerClass));
    EXPECT_EQ(before_sdk::controller_class, std::string_view(kVstComponentControllerClass));
    TESK_SAME_TEXT(PlugType::kFx, sv::PlugType::kFx)
    TESK_SAME_TEXT(PlugType::kFxDelay, sv::PlugType::kFxDelay)

    TESK_SAME_VALUE(IBStream::kIBSeekSet, sb::IBStream::kIBSeekSet)
    TESK_SAME_VALUE(IBStream::kIBSeekCur, sb::IBStream::kIBSeekCur)
    TESK_SAME_VALUE(IBStream::kIBSeekEnd, sb::IBStream::kIBSeekEnd)

    TESK_SAME_VALUE(kNoParamId, sv::kNoParamId)
    TESK_SAME_VALUE(kMaxParamId, sv::kMaxParamId)
    TESK_SAME_VALUE(kSpeakerL, sv::kSpeakerL)
    TESK_SAME_VALUE(kSpeakerR, sv::kSpeakerR)
    TESK_SAME_VALUE(kSpeakerM, sv::kSpeakerM)
    TESK_SAME_VALUE(SpeakerArr::kEmpty, sv::SpeakerArr::kEmpty)
    TESK_SAME_VALUE(SpeakerArr::kMono, sv::SpeakerArr::kMono)
    TESK_SAME_VALUE(SpeakerArr::kStereo, sv::SpeakerArr::kStereo)

    TESK_SAME_VALUE(kAudio, sv::kAudio)
    TESK_SAME_VALUE(kEvent, sv::kEvent)
    TESK_SAME_VALUE(kNumMediaTypes, sv::kNumMediaTypes)
    TESK_SAME_VALUE(kInput, sv::kInput)
    TESK_SAME_VALUE(kOutput, sv::kOutput)
    TESK_SAME_VALUE(kMain, sv::kMain)
    TESK_SAME_VALUE(kAux, sv::kAux)
    TESK_SAME_VALUE(kSimple, sv::kSimple)
    TESK_SAME_VALUE(kAdvanced, sv::kAdvanced)
    TESK_SAME_VALUE(kOfflineProcessing, sv::kOfflineProcessing)
    TESK_SAME_VALUE(BusInfo::kDefaultActive, sv::BusInfo::kDefaultActive)
    TESK_SAME_VALUE(BusInfo::kIsControlVoltage, sv::BusInfo::kIsControlVoltage)

    TESK_SAME_VALUE(kDistributable, sv::kDistributable)
    TESK_SAME_VALUE(kSimpleModeSupported, sv::kSimpleModeSupported)
    TESK_SAME_VALUE(kSample32, sv::kSample32)
    TESK_SAME_VALUE(kSample64, sv::kSample64)
    TESK_SAME_VALUE(kRealtime, sv::kRealtime)
    TESK_SAME_VALUE(kPrefetch, sv::kPrefetch)
    TESK_SAME_VALUE(kOffline, sv::kOffline)
    TESK_SAME_VALUE(kNoTail, sv::kNoTail)
    TESK_SAME_VALUE(kInfiniteTail, sv::kInfiniteTail)

    TESK_SAME_VALUE(FrameRate::kPullDownRate, sv::FrameRate::kPullDownRate)
    TESK_SAME_VALUE(FrameRate::kDropRate, sv::FrameRate::kDropRate)
    TESK_SAME_VALUE(Chord::kChordMask, sv::Chord::kChordMask)
    TESK_SAME_VALUE(Chord::kReservedMask, sv::Chord::kReservedMask)
    TESK_SAME_VALUE(ProcessContext::kPlaying, sv::ProcessContext::kPlaying)
    TESK_SAME_VALUE(ProcessContext::kCycleActive, sv::ProcessContext::kCycleActive)
    TESK_SAME_VALUE(ProcessContext::kRecording, sv::ProcessContext::kRecording)
    TESK_SAME_VALUE(ProcessContext::kSystemTimeValid, sv::ProcessContext::kSystemTimeValid)
    TESK_SAME_VALUE(ProcessContext::kProjectTimeMusicValid,
                    sv::ProcessContext::kProjectTimeMusicValid)
    TESK_SAME_VALUE(ProcessContext::kTempoValid, sv::ProcessContext::kTempoValid)
    TESK_SAME_VALUE(ProcessContext::kBarPositionValid, sv::ProcessContext::kBarPositionValid)
    TESK_SAME_VALUE(ProcessContext::kCycleValid, sv::ProcessContext::kCycleValid)
    TESK_SAME_VALUE(ProcessContext::kTimeSigValid, sv::ProcessContext::kTimeSigValid)
    TESK_SAME_VALUE(ProcessContext::kSmpteValid, sv::ProcessContext::kSmpteValid)
    TESK_SAME_VALUE(ProcessContext::kClockValid, sv::ProcessContext::kClockValid)
    TESK_SAME_VALUE(ProcessContext::kContTimeValid, sv::ProcessContext::kContTimeValid)
    TESK_SAME_VALUE(ProcessContext::kChordValid, sv::ProcessContext::kChordValid)

    using ours_req = ours::IProcessContextRequirements;
    using sdk_req = sv::IProcessContextRequirements;
    static_assert(value_of(ours_req::kNeedSystemTime) == value_of(sdk_req::kNeedSystemTime));
    static_assert(value_of(ours_req::kNeedContinousTimeSamples) ==
                  value_of(sdk_req::kNeedContinousTimeSamples));
    static_assert(value_of(ours_req::kNeedProjectTimeMusic) ==
                  value_of(sdk_req::kNeedProjectTimeMusic));
    static_assert(value_of(ours_req::kNeedBarPositionMusic) ==
                  value_of(sdk_req::kNeedBarPositionMusic));
    static_assert(value_of(ours_req::kNeedCycleMusic) == value_of(sdk_req::kNeedCycleMusic));
    static_assert(value_of(ours_req::kNeedSamplesToNextClock) ==
                  value_of(sdk_req::kNeedSamplesToNextClock));
    static_assert(value_of(ours_req::kNeedTempo) == value_of(sdk_req::kNeedTempo));
    static_assert(value_of(ours_req::kNeedTimeSignature) == value_of(sdk_req::kNeedTimeSignature));
    static_assert(value_of(ours_req::kNeedChord) == value_of(sdk_req::kNeedChord));
    static_assert(value_of(ours_req::kNeedFrameRate) == value_of(sdk_req::kNeedFrameRate));
    static_assert(value_of(ours_req::kNeedTransportState) ==
                  value_of(sdk_req::kNeedTransportState));
    EXPECT_EQ(value_of(ours_req::kNeedTempo), value_of(sdk_req::kNeedTempo));
    EXPECT_EQ(value_of(ours_req::kNeedTransportState), value_of(sdk_req::kNeedTransportState));

    TESK_SAME_VALUE(ParameterInfo::kNoFlags, sv::ParameterInfo::kNoFlags)
    TESK_SAME_VALUE(ParameterInfo::kCanAutomate, sv::ParameterInfo::kCanAutomate)
    TESK_SAME_VALUE(ParameterInfo::kIsReadOnly, sv::ParameterInfo::kIsReadOnly)
    TESK_SAME_VALUE(ParameterInfo::kIsWrapAround, sv::ParameterInfo::kIsWrapAround)
    TESK_SAME_VALUE(ParameterInfo::kIsList, sv::ParameterInfo::kIsList)
    TESK_SAME_VALUE(ParameterInfo::kIsHidden, sv::ParameterInfo::kIsHidden)
    TESK_SAME_VALUE(ParameterInfo::kIsProgramChange, sv::ParameterInfo::kIsProgramChange)
    TESK_SAME_VALUE(ParameterInfo::kIsBypass, sv::ParameterInfo::kIsBypass)
    TESK_SAME_VALUE(kRootUnitId, sv::kRootUnitId)
    TESK_SAME_VALUE(kNoParentUnitId, sv::kNoParentUnitId)
    TESK_SAME_VALUE(kNoProgramListId, sv::kNoProgramListId)
    TESK_SAME_TEXT_AT_RUN_TIME(ViewType::kEditor, sv::ViewType::kEditor)

    TESK_SAME_VALUE(kReloadComponent, sv::kReloadComponent)
    TESK_SAME_VALUE(kIoChanged, sv::kIoChanged)
    TESK_SAME_VALUE(kParamValuesChanged, sv::kParamValuesChanged)
    TESK_SAME_VALUE(kLatencyChanged, sv::kLatencyChanged)
    TESK_SAME_VALUE(kParamTitlesChanged, sv::kParamTitlesChanged)
    TESK_SAME_VALUE(kMidiCCAssignmentChanged, sv::kMidiCCAssignmentChanged)
    TESK_SAME_VALUE(kNoteExpressionChanged, sv::kNoteExpressionChanged)
    TESK_SAME_VALUE(kIoTitlesChanged, sv::kIoTitlesChanged)
    TESK_SAME_VALUE(kPrefetchableSupportChanged, sv::kPrefetchableSupportChanged)
    TESK_SAME_VALUE(kRoutingInfoChanged, sv::kRoutingInfoChanged)
    TESK_SAME_VALUE(kKeyswitchChanged, sv::kKeyswitchChanged)
    TESK_SAME_VALUE(kParamIDMappingChanged, sv::kParamIDMappingChanged)
    TESK_SAME_VALUE(kCircularMode, sv::kCircularMode)
    TESK_SAME_VALUE(kRelativCircularMode, sv::kRelativCircularMode)
    TESK_SAME_VALUE(kLinearMode, sv::kLinearMode)

    TESK_SAME_TEXT_AT_RUN_TIME(kPlatformTypeX11EmbedWindowID, sb::kPlatformTypeX11EmbedWindowID)
    TESK_SAME_TEXT_AT_RUN_TIME(kPlatformTypeHWND, sb::kPlatformTypeHWND)
#undef TESK_SAME_VALUE
#undef TESK_SAME_TEXT
#undef TESK_SAME_TEXT_AT_RUN_TIME
}

// ---- methods: their vtable slots and signatures

/// The slot a pointer to a virtual member function names, read as GCC and
/// Clang store it: the vtable offset plus one, or on ARM the offset with the
/// flag in the adjustment instead. -1 for a function that is not virtual.
template <class Method> long vtable_slot(Method method) {
    struct Representation {
        std::uintptr_t ptr;
        std::ptrdiff_t adj;
    };
    static_assert(sizeof(Method) == sizeof(Representation));
    Representation r;
    std::memcpy(&r, &method, sizeof r);
#if defined(__arm__) || defined(__aarch64__)
    if ((r.adj & 1) == 0) return -1;
    return static_cast<long>(r.ptr / sizeof(void*));
#else
    if ((r.ptr & 1) == 0) return -1;
    return static_cast<long>((r.ptr - 1) / sizeof(void*));
#endif
}

#define TESK_SAME_METHOD(iface, method, slot)                                                      \
    static_assert(std::is_same_v<to_sdk<decltype(&ours::iface::method)>,                           \
                                 decltype(&to_sdk<ours::iface>::method)>,                          \
                  #iface "::" #method "'s signature is not the SDK's");                            \
    EXPECT_EQ(vtable_slot(&ours::iface::method), slot) << "ours: " #iface "::" #method;            \
    EXPECT_EQ(vtable_slot(&to_sdk<ours::iface>::method), slot) << "SDK's: " #iface "::" #method;

#define TESK_SAME_BASE(iface, base)                                                                \
    static_assert(std::is_base_of_v<ours::base, ours::iface>);                                     \
    static_assert(std::is_base_of_v<to_sdk<ours::base>, to_sdk<ours::iface>>);                     \
    static_assert(sizeof(ours::iface) == sizeof(to_sdk<ours::iface>));

TEST(Vst3SdkLayout, MethodsSitInTheSdksSlotsWithItsSignatures) {
    // The slot reading itself: the three of FUnknown are 0, 1 and 2.
    ASSERT_EQ(vtable_slot(&sb::FUnknown::queryInterface), 0);
    ASSERT_EQ(vtable_slot(&sb::FUnknown::release), 2);

    TESK_SAME_METHOD(FUnknown, queryInterface, 0)
    TESK_SAME_METHOD(FUnknown, addRef, 1)
    TESK_SAME_METHOD(FUnknown, release, 2)

    TESK_SAME_BASE(IPluginBase, FUnknown)
    TESK_SAME_METHOD(IPluginBase, initialize, 3)
    TESK_SAME_METHOD(IPluginBase, terminate, 4)

    TESK_SAME_BASE(IPluginFactory, FUnknown)
    TESK_SAME_METHOD(IPluginFactory, getFactoryInfo, 3)
    TESK_SAME_METHOD(IPluginFactory, countClasses, 4)
    TESK_SAME_METHOD(IPluginFactory, getClassInfo, 5)
    TESK_SAME_METHOD(IPluginFactory, createInstance, 6)
    TESK_SAME_BASE(IPluginFactory2, IPluginFactory)
    TESK_SAME_METHOD(IPluginFactory2, getClassInfo2, 7)
    TESK_SAME_BASE(IPluginFactory3, IPluginFactory2)
    TESK_SAME_METHOD(IPluginFactory3, getClassInfoUnicode, 8)
    TESK_SAME_METHOD(IPluginFactory3, setHostContext, 9)

    TESK_SAME_BASE(IBStream, FUnknown)
    TESK_SAME_METHOD(IBStream, read, 3)
    TESK_SAME_METHOD(IBStream, write, 4)
    TESK_SAME_METHOD(IBStream, seek, 5)
    TESK_SAME_METHOD(IBStream, tell, 6)

    TESK_SAME_BASE(IComponent, IPluginBase)
    TESK_SAME_METHOD(IComponent, getControllerClassId, 5)
    TESK_SAME_METHOD(IComponent, setIoMode, 6)
    TESK_SAME_METHOD(IComponent, getBusCount, 7)
    TESK_SAME_METHOD(IComponent, getBusInfo, 8)
    TESK_SAME_METHOD(IComponent, getRoutingInfo, 9)
    TESK_SAME_METHOD(IComponent, activateBus, 10)
    TESK_SAME_METHOD(IComponent, setActive, 11)
    TESK_SAME_METHOD(IComponent, setState, 12)
    TESK_SAME_METHOD(IComponent, getState, 13)

    TESK_SAME_BASE(IAudioProcessor, FUnknown)
    TESK_SAME_METHOD(IAudioProcessor, setBusArrangements, 3)
    TESK_SAME_METHOD(IAudioProcessor, getBusArrangement, 4)
    TESK_SAME_METHOD(IAudioProcessor, canProcessSampleSize, 5)
    TESK_SAME_METHOD(IAudioProcessor, getLatencySamples, 6)
    TESK_SAME_METHOD(IAudioProcessor, setupProcessing, 7)
    TESK_SAME_METHOD(IAudioProcessor, setProcessing, 8)
    TESK_SAME_METHOD(IAudioProcessor, process, 9)
    TESK_SAME_METHOD(IAudioProcessor, getTailSamples, 10)

    TESK_SAME_BASE(IProcessContextRequirements, FUnknown)
    TESK_SAME_METHOD(IProcessContextRequirements, getProcessContextRequirements, 3)

    TESK_SAME_BASE(IParamValueQueue, FUnknown)
    TESK_SAME_METHOD(IParamValueQueue, getParameterId, 3)
    TESK_SAME_METHOD(IParamValueQueue, getPointCount, 4)
    TESK_SAME_METHOD(IParamValueQueue, getPoint, 5)
    TESK_SAME_METHOD(IParamValueQueue, addPoint, 6)

    TESK_SAME_BASE(IParameterChanges, FUnknown)
    TESK_SAME_METHOD(IParameterChanges, getParameterCount, 3)
    TESK_SAME_METHOD(IParameterChanges, getParameterData, 4)
    TESK_SAME_METHOD(IParameterChanges, addParameterData, 5)

    TESK_SAME_BASE(IEventList, FUnknown)
    TESK_SAME_METHOD(IEventList, getEventCount, 3)
    TESK_SAME_METHOD(IEventList, getEvent, 4)
    TESK_SAME_METHOD(IEventList, addEvent, 5)

    TESK_SAME_BASE(IEditController, IPluginBase)
    TESK_SAME_METHOD(IEditController, setComponentState, 5)
    TESK_SAME_METHOD(IEditController, setState, 6)
    TESK_SAME_METHOD(IEditController, getState, 7)
    TESK_SAME_METHOD(IEditController, getParameterCount, 8)
    TESK_SAME_METHOD(IEditController, getParameterInfo, 9)
    TESK_SAME_METHOD(IEditController, getParamStringByValue, 10)
    TESK_SAME_METHOD(IEditController, getParamValueByString, 11)
    TESK_SAME_METHOD(IEditController, normalizedParamToPlain, 12)
    TESK_SAME_METHOD(IEditController, plainParamToNormalized, 13)
    TESK_SAME_METHOD(IEditController, getParamNormalized, 14)
    TESK_SAME_METHOD(IEditController, setParamNormalized, 15)
    TESK_SAME_METHOD(IEditController, setComponentHandler, 16)
    TESK_SAME_METHOD(IEditController, createView, 17)

    TESK_SAME_BASE(IEditController2, FUnknown)
    TESK_SAME_METHOD(IEditController2, setKnobMode, 3)
    TESK_SAME_METHOD(IEditController2, openHelp, 4)
    TESK_SAME_METHOD(IEditController2, openAboutBox, 5)

    TESK_SAME_BASE(IComponentHandler, FUnknown)
    TESK_SAME_METHOD(IComponentHandler, beginEdit, 3)
    TESK_SAME_METHOD(IComponentHandler, performEdit, 4)
    TESK_SAME_METHOD(IComponentHandler, endEdit, 5)
    TESK_SAME_METHOD(IComponentHandler, restartComponent, 6)

    TESK_SAME_BASE(IComponentHandler2, FUnknown)
    TESK_SAME_METHOD(IComponentHandler2, setDirty, 3)
    TESK_SAME_METHOD(IComponentHandler2, requestOpenEditor, 4)
    TESK_SAME_METHOD(IComponentHandler2, startGroupEdit, 5)
    TESK_SAME_METHOD(IComponentHandler2, finishGroupEdit, 6)

    TESK_SAME_BASE(IUnitInfo, FUnknown)
    TESK_SAME_METHOD(IUnitInfo, getUnitCount, 3)
    TESK_SAME_METHOD(IUnitInfo, getUnitInfo, 4)
    TESK_SAME_METHOD(IUnitInfo, getProgramListCount, 5)
    TESK_SAME_METHOD(IUnitInfo, getProgramListInfo, 6)
    TESK_SAME_METHOD(IUnitInfo, getProgramName, 7)
    TESK_SAME_METHOD(IUnitInfo, getProgramInfo, 8)
    TESK_SAME_METHOD(IUnitInfo, hasProgramPitchNames, 9)
    TESK_SAME_METHOD(IUnitInfo, getProgramPitchName, 10)
    TESK_SAME_METHOD(IUnitInfo, getSelectedUnit, 11)
    TESK_SAME_METHOD(IUnitInfo, selectUnit, 12)
    TESK_SAME_METHOD(IUnitInfo, getUnitByBus, 13)
    TESK_SAME_METHOD(IUnitInfo, setUnitProgramData, 14)

    TESK_SAME_BASE(IAttributeList, FUnknown)
    TESK_SAME_METHOD(IAttributeList, setInt, 3)
    TESK_SAME_METHOD(IAttributeList, getInt, 4)
    TESK_SAME_METHOD(IAttributeList, setFloat, 5)
    TESK_SAME_METHOD(IAttributeList, getFloat, 6)
    TESK_SAME_METHOD(IAttributeList, setString, 7)
    TESK_SAME_METHOD(IAttributeList, getString, 8)
    TESK_SAME_METHOD(IAttributeList, setBinary, 9)
    TESK_SAME_METHOD(IAttributeList, getBinary, 10)

    TESK_SAME_BASE(IMessage, FUnknown)
    TESK_SAME_METHOD(IMessage, getMessageID, 3)
    TESK_SAME_METHOD(IMessage, setMessageID, 4)
    TESK_SAME_METHOD(IMessage, getAttributes, 5)

    TESK_SAME_BASE(IConnectionPoint, FUnknown)
    TESK_SAME_METHOD(IConnectionPoint, connect, 3)
    TESK_SAME_METHOD(IConnectionPoint, disconnect, 4)
    TESK_SAME_METHOD(IConnectionPoint, notify, 5)

    TESK_SAME_BASE(IHostApplication, FUnknown)
    TESK_SAME_METHOD(IHostApplication, getName, 3)
    TESK_SAME_METHOD(IHostApplication, createInstance, 4)

    TESK_SAME_BASE(IPlugViewContentScaleSupport, FUnknown)
    TESK_SAME_METHOD(IPlugViewContentScaleSupport, setContentScaleFactor, 3)

    TESK_SAME_BASE(IPlugView, FUnknown)
    TESK_SAME_METHOD(IPlugView, isPlatformTypeSupported, 3)
    TESK_SAME_METHOD(IPlugView, attached, 4)
    TESK_SAME_METHOD(IPlugView, removed, 5)
    TESK_SAME_METHOD(IPlugView, onWheel, 6)
    TESK_SAME_METHOD(IPlugView, onKeyDown, 7)
    TESK_SAME_METHOD(IPlugView, onKeyUp, 8)
    TESK_SAME_METHOD(IPlugView, getSize, 9)
    TESK_SAME_METHOD(IPlugView, onSize, 10)
    TESK_SAME_METHOD(IPlugView, onFocus, 11)
    TESK_SAME_METHOD(IPlugView, setFrame, 12)
    TESK_SAME_METHOD(IPlugView, canResize, 13)
    TESK_SAME_METHOD(IPlugView, checkSizeConstraint, 14)

    TESK_SAME_BASE(IPlugFrame, FUnknown)
    TESK_SAME_METHOD(IPlugFrame, resizeView, 3)

    TESK_SAME_BASE(IEventHandler, FUnknown)
    TESK_SAME_METHOD(IEventHandler, onFDIsSet, 3)
    TESK_SAME_BASE(ITimerHandler, FUnknown)
    TESK_SAME_METHOD(ITimerHandler, onTimer, 3)
    TESK_SAME_BASE(IRunLoop, FUnknown)
    TESK_SAME_METHOD(IRunLoop, registerEventHandler, 3)
    TESK_SAME_METHOD(IRunLoop, unregisterEventHandler, 4)
    TESK_SAME_METHOD(IRunLoop, registerTimer, 5)
    TESK_SAME_METHOD(IRunLoop, unregisterTimer, 6)
}

#undef TESK_SAME_METHOD
#undef TESK_SAME_BASE

} // namespace

#else // no SDK headers

TEST(Vst3SdkLayout, AgainstTheSdk) {
    GTEST_SKIP() << "the VST 3 SDK's headers are not present: configure with "
                    "-DTESK_VST3_SDK_DIR=<folder of a fetched SDK> to check our interface "
                    "definitions against them";
}

#endif
