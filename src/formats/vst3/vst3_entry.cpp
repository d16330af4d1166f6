// The module's entries: the factory hosts list and instantiate TeskDelay
// through, and the calls around the module's use.
#include "product.h"
#include "vst3_delay.h"
#include "vst3_params.h"

#include <cstdio>
#include <iterator>

namespace tesk::vst3 {

namespace {

template <std::size_t N> void copyText(char (&out)[N], const char* text) {
    std::snprintf(out, N, "%s", text);
}

/// The one factory of the module: it lives as long as the module, so its
/// reference count is only for show.
class Factory final : public IPluginFactory3 {
  public:
    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        if (obj == nullptr) return kInvalidArgument;
        if (uid_equal(iid, FUnknown::iid) || uid_equal(iid, IPluginFactory::iid) ||
            uid_equal(iid, IPluginFactory2::iid) || uid_equal(iid, IPluginFactory3::iid)) {
            *obj = this;
            return kResultOk;
        }
        *obj = nullptr;
        return kNoInterface;
    }
    uint32 TESK_PLUGIN_API addRef() override { return 1; }
    uint32 TESK_PLUGIN_API release() override { return 1; }

    tresult TESK_PLUGIN_API getFactoryInfo(PFactoryInfo* info) override {
        if (info == nullptr) return kInvalidArgument;
        *info = PFactoryInfo{};
        copyText(info->vendor, kVendorName);
        copyText(info->url, "");
        copyText(info->email, "");
        info->flags = kDefaultFactoryFlags;
        return kResultOk;
    }
    int32 TESK_PLUGIN_API countClasses() override { return 1; }
    tresult TESK_PLUGIN_API getClassInfo(int32 index, PClassInfo* info) override {
        if (index != 0 || info == nullptr) return kInvalidArgument;
        *info = PClassInfo{};
        copyUid(info->cid);
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, kVstAudioEffectClass);
        copyText(info->name, kProductName);
        return kResultOk;
    }
    tresult TESK_PLUGIN_API getClassInfo2(int32 index, PClassInfo2* info) override {
        if (index != 0 || info == nullptr) return kInvalidArgument;
        *info = PClassInfo2{};
        copyUid(info->cid);
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, kVstAudioEffectClass);
        copyText(info->name, kProductName);
        info->classFlags = 0; // the processor and the controller are one object
        copyText(info->subCategories, PlugType::kFxDelay);
        copyText(info->vendor, kVendorName);
        copyText(info->version, TESK_VERSION);
        copyText(info->sdkVersion, kSdkVersion);
        return kResultOk;
    }
    tresult TESK_PLUGIN_API getClassInfoUnicode(int32 index, PClassInfoW* info) override {
        if (index != 0 || info == nullptr) return kInvalidArgument;
        *info = PClassInfoW{};
        copyUid(info->cid);
        info->cardinality = PClassInfo::kManyInstances;
        copyText(info->category, kVstAudioEffectClass);
        toUtf16(kProductName, info->name, std::size(info->name));
        info->classFlags = 0;
        copyText(info->subCategories, PlugType::kFxDelay);
        toUtf16(kVendorName, info->vendor, std::size(info->vendor));
        toUtf16(TESK_VERSION, info->version, std::size(info->version));
        toUtf16(kSdkVersion, info->sdkVersion, std::size(info->sdkVersion));
        return kResultOk;
    }
    tresult TESK_PLUGIN_API createInstance(FIDString cid, FIDString iid, void** obj) override {
        if (obj == nullptr) return kInvalidArgument;
        *obj = nullptr;
        if (!uid_equal(cid, kTeskDelayClassId)) return kNoInterface;
        Vst3Delay* instance = Vst3Delay::create();
        if (instance == nullptr) return kOutOfMemory;
        const tresult result = instance->queryInterface(iid, obj);
        instance->release();
        return result;
    }
    tresult TESK_PLUGIN_API setHostContext(FUnknown*) override { return kResultOk; }

  private:
    /// The interface version the module was written against.
    static constexpr const char* kSdkVersion = "VST 3.8.0";

    static void copyUid(TUID out) {
        for (int i = 0; i < 16; ++i)
            out[i] = kTeskDelayClassId.bytes[i];
    }
};

Factory factory;

} // namespace

} // namespace tesk::vst3

#if defined(_WIN32)
// Exported by name through the module's .def file.
#define TESK_VST3_EXPORT extern "C"
#else
#define TESK_VST3_EXPORT extern "C" __attribute__((visibility("default")))
#endif

TESK_VST3_EXPORT tesk::vst3::IPluginFactory* TESK_PLUGIN_API GetPluginFactory() {
    return &tesk::vst3::factory;
}

// Nothing to set up or tear down: the factory is static, the instances count
// their own references. Linux hosts call the first pair, Windows hosts the second.
#if defined(_WIN32)
TESK_VST3_EXPORT bool InitDll() {
    return true;
}

TESK_VST3_EXPORT bool ExitDll() {
    return true;
}
#else
TESK_VST3_EXPORT bool ModuleEntry(void*) {
    return true;
}

TESK_VST3_EXPORT bool ModuleExit() {
    return true;
}
#endif
