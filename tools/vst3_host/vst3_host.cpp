#include "vst3_host.h"

#include "module_library.h"

#if !defined(_WIN32)
#include <poll.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <utility>

namespace vst3host {

// ---------------------------------------------------------------- texts

std::string toUtf8(const char16_t* text, std::size_t capacity) {
    std::string out;
    for (std::size_t i = 0; i < capacity && text[i] != 0; ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < capacity && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00u);
            ++i;
        }
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

void toString128(const std::string& text, String128 out) {
    std::u16string units;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        char32_t c = length == 1   ? lead
                     : length == 2 ? lead & 0x1Fu
                     : length == 3 ? lead & 0x0Fu
                                   : lead & 0x07u;
        for (int k = 1; k < length && i + static_cast<std::size_t>(k) < text.size(); ++k)
            c = (c << 6) |
                (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3Fu);
        i += static_cast<std::size_t>(length);
        if (c >= 0x10000) {
            units += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
            units += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
        } else {
            units += static_cast<char16_t>(c);
        }
    }
    // A pair is never cut in half.
    std::size_t keep = std::min<std::size_t>(units.size(), 127);
    if (keep > 0 && keep < units.size() && units[keep - 1] >= 0xD800 && units[keep - 1] < 0xDC00)
        --keep;
    std::copy_n(units.begin(), keep, out);
    out[keep] = 0;
}

// ---------------------------------------------------------------- host objects

tresult HostApplication::getName(String128 name) {
    if (name == nullptr) return kInvalidArgument;
    toString128("TeskDelay test host", name);
    return kResultOk;
}

tresult HostApplication::createInstance(TUID, TUID, void** obj) {
    if (obj != nullptr) *obj = nullptr;
    return kNoInterface;
}

void ComponentHandler::record(const HandlerCall& call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(call);
}

tresult ComponentHandler::beginEdit(ParamID id) {
    record({HandlerCall::Kind::begin, id});
    return kResultOk;
}

tresult ComponentHandler::performEdit(ParamID id, ParamValue valueNormalized) {
    record({HandlerCall::Kind::perform, id, valueNormalized});
    return kResultOk;
}

tresult ComponentHandler::endEdit(ParamID id) {
    record({HandlerCall::Kind::end, id});
    return kResultOk;
}

tresult ComponentHandler::restartComponent(int32 flags) {
    record({HandlerCall::Kind::restart, 0, 0.0, flags});
    return kResultOk;
}

std::vector<HandlerCall> ComponentHandler::take() {
    std::lock_guard lock(mutex_);
    return std::exchange(calls_, {});
}

tresult MemoryStream::read(void* buffer, int32 numBytes, int32* numBytesRead) {
    if (numBytesRead != nullptr) *numBytesRead = 0;
    if (numBytes < 0 || (buffer == nullptr && numBytes > 0)) return kInvalidArgument;
    const std::size_t left = position_ < bytes_.size() ? bytes_.size() - position_ : 0;
    const auto n = std::min({left, static_cast<std::size_t>(numBytes),
                             static_cast<std::size_t>(std::max<int32>(readChunk, 1))});
    if (n > 0) std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    if (numBytesRead != nullptr) *numBytesRead = static_cast<int32>(n);
    return kResultOk;
}

tresult MemoryStream::write(void* buffer, int32 numBytes, int32* numBytesWritten) {
    if (numBytesWritten != nullptr) *numBytesWritten = 0;
    if (numBytes < 0 || (buffer == nullptr && numBytes > 0)) return kInvalidArgument;
    const auto n = static_cast<std::size_t>(numBytes);
    if (bytes_.size() < position_ + n) bytes_.resize(position_ + n);
    if (n > 0) std::memcpy(bytes_.data() + position_, buffer, n);
    position_ += n;
    if (numBytesWritten != nullptr) *numBytesWritten = numBytes;
    return kResultOk;
}

tresult MemoryStream::seek(int64 pos, int32 mode, int64* result) {
    int64 base = 0;
    if (mode == kIBSeekCur)
        base = static_cast<int64>(position_);
    else if (mode == kIBSeekEnd)
        base = static_cast<int64>(bytes_.size());
    else if (mode != kIBSeekSet)
        return kInvalidArgument;
    if (base + pos < 0) return kInvalidArgument;
    // Past the end is allowed: a write there fills the gap with zeros.
    position_ = static_cast<std::size_t>(base + pos);
    if (result != nullptr) *result = static_cast<int64>(position_);
    return kResultOk;
}

tresult MemoryStream::tell(int64* pos) {
    if (pos == nullptr) return kInvalidArgument;
    *pos = static_cast<int64>(position_);
    return kResultOk;
}

tresult ParamValueQueue::getPoint(int32 index, int32& sampleOffset, ParamValue& value) {
    if (index < 0 || index >= getPointCount()) return kInvalidArgument;
    sampleOffset = points_[static_cast<std::size_t>(index)].first;
    value = points_[static_cast<std::size_t>(index)].second;
    return kResultOk;
}

tresult ParamValueQueue::addPoint(int32 sampleOffset, ParamValue value, int32& index) {
    auto at =
        std::lower_bound(points_.begin(), points_.end(), sampleOffset,
                         [](const auto& point, int32 offset) { return point.first < offset; });
    if (at != points_.end() && at->first == sampleOffset) {
        at->second = value;
    } else {
        if (points_.size() >= static_cast<std::size_t>(kCapacity)) return kResultFalse;
        at = points_.insert(at, {sampleOffset, value});
    }
    index = static_cast<int32>(at - points_.begin());
    return kResultOk;
}

bool ParamValueQueue::append(int32 sampleOffset, ParamValue value) {
    if (points_.size() >= static_cast<std::size_t>(kCapacity)) return false;
    points_.emplace_back(sampleOffset, value);
    return true;
}

ParameterChanges::ParameterChanges() {
    queues_.reserve(kCapacity);
    for (int32 i = 0; i < kCapacity; ++i)
        queues_.push_back(ParamValueQueue::make());
}

IParamValueQueue* ParameterChanges::getParameterData(int32 index) {
    // The queue is lent, not given: no reference is added.
    return index >= 0 && index < used_ ? queues_[static_cast<std::size_t>(index)].get() : nullptr;
}

IParamValueQueue* ParameterChanges::addParameterData(const ParamID& id, int32& index) {
    for (int32 i = 0; i < used_; ++i) {
        if (queues_[static_cast<std::size_t>(i)]->getParameterId() == id) {
            index = i;
            return queues_[static_cast<std::size_t>(i)].get();
        }
    }
    if (used_ >= kCapacity) return nullptr;
    index = used_++;
    queues_[static_cast<std::size_t>(index)]->reset(id);
    return queues_[static_cast<std::size_t>(index)].get();
}

void ParameterChanges::set(const std::vector<ParamPoint>& points) {
    clear();
    for (const ParamPoint& p : points) {
        int32 index = 0;
        if (addParameterData(p.id, index) != nullptr)
            queues_[static_cast<std::size_t>(index)]->append(p.offset, p.value);
    }
}

std::vector<ParamPoint> ParameterChanges::points() {
    std::vector<ParamPoint> all;
    for (int32 q = 0; q < used_; ++q) {
        ParamValueQueue& queue = *queues_[static_cast<std::size_t>(q)].get();
        for (int32 i = 0; i < queue.getPointCount(); ++i) {
            ParamPoint p{queue.getParameterId(), 0, 0.0};
            queue.getPoint(i, p.offset, p.value);
            all.push_back(p);
        }
    }
    return all;
}

// ---------------------------------------------------------------- an editor's frame

tresult RunLoopFrame::queryInterface(const TUID iid, void** obj) {
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (uid_equal(iid, FUnknown::iid) || uid_equal(iid, IPlugFrame::iid))
        *obj = static_cast<IPlugFrame*>(this);
    else if (offersRunLoop && uid_equal(iid, IRunLoop::iid))
        *obj = static_cast<IRunLoop*>(this);
    else
        return kNoInterface;
    addRef();
    return kResultOk;
}

uint32 RunLoopFrame::release() {
    const uint32 left = --references_;
    if (left == 0) delete this;
    return left;
}

tresult RunLoopFrame::resizeView(IPlugView*, ViewRect* newSize) {
    if (newSize == nullptr) return kInvalidArgument;
    ++resizeRequests;
    return kResultOk;
}

tresult RunLoopFrame::registerEventHandler(IEventHandler* handler, FileDescriptor fd) {
    if (handler == nullptr || fd < 0) return kInvalidArgument;
    watches_.push_back({handler, fd});
    ++registered;
    return kResultOk;
}

tresult RunLoopFrame::unregisterEventHandler(IEventHandler* handler) {
    const auto gone = std::erase_if(watches_, [&](const Watch& w) { return w.handler == handler; });
    unregistered += static_cast<int>(gone);
    return gone > 0 ? kResultOk : kInvalidArgument;
}

tresult RunLoopFrame::registerTimer(ITimerHandler* handler, TimerInterval milliseconds) {
    if (handler == nullptr || milliseconds == 0) return kInvalidArgument;
    timers_.push_back({handler, milliseconds,
                       std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds)});
    ++registered;
    return kResultOk;
}

tresult RunLoopFrame::unregisterTimer(ITimerHandler* handler) {
    const auto gone = std::erase_if(timers_, [&](const Timer& t) { return t.handler == handler; });
    unregistered += static_cast<int>(gone);
    return gone > 0 ? kResultOk : kInvalidArgument;
}

#if defined(_WIN32)
void RunLoopFrame::serveWindowSystem(int waitMs) {
    // A Windows host's loop: the thread's messages, the editor window's timer among them.
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(waitMs), QS_ALLINPUT);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}
#else
void RunLoopFrame::serveWindowSystem(int waitMs) {
    std::vector<pollfd> polled;
    if (serveDescriptors)
        for (const Watch& w : watches_)
            polled.push_back({w.fd, POLLIN, 0});
    if (poll(polled.data(), polled.size(), waitMs) < 0 && errno != EINTR) return;
    // A handler may take back its own registration or another's: each is
    // called only while it is still registered.
    const std::vector<Watch> watched = watches_;
    for (std::size_t i = 0; i < polled.size(); ++i) {
        const bool still = std::any_of(watches_.begin(), watches_.end(), [&](const Watch& w) {
            return w.handler == watched[i].handler && w.fd == watched[i].fd;
        });
        // Not one closed while watched (POLLNVAL): only a view that forgot to
        // take it back does that, and its handler may be gone.
        if (still && (polled[i].revents & (POLLIN | POLLHUP | POLLERR)) != 0)
            watched[i].handler->onFDIsSet(watched[i].fd);
    }
}
#endif

bool RunLoopFrame::pumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + timeout;
    while (!done()) {
        const auto now = Clock::now();
        if (now >= end) return false;
        auto wake = end;
        if (serveTimers)
            for (const Timer& t : timers_)
                wake = std::min(wake, t.due);
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(wake - now).count();
        serveWindowSystem(static_cast<int>(std::max<decltype(wait)>(wait, 0)));
        if (!serveTimers) continue;
        const auto fired = Clock::now();
        const std::vector<Timer> due = timers_;
        for (const Timer& t : due) {
            if (t.due > fired) continue;
            auto held = std::find_if(timers_.begin(), timers_.end(),
                                     [&](const Timer& h) { return h.handler == t.handler; });
            if (held == timers_.end()) continue;
            // Late timers are not made up for, as in a host's loop.
            held->due = fired + std::chrono::milliseconds(held->milliseconds);
            t.handler->onTimer();
        }
    }
    return true;
}

// ---------------------------------------------------------------- the module

namespace {

constexpr const char* kArchitecture =
#if defined(_WIN32) && defined(__x86_64__)
    "x86_64-win";
#elif defined(_WIN32) && defined(__i386__)
    "x86-win";
#elif defined(__x86_64__)
    "x86_64-linux";
#elif defined(__aarch64__)
    "aarch64-linux";
#elif defined(__i386__)
    "i386-linux";
#elif defined(__arm__)
    "armv7l-linux";
#else
#error "no VST 3 bundle folder is known for this processor"
#endif

#if defined(_WIN32)
constexpr const char* kLibrarySuffix = ".vst3";
constexpr const char* kEntryName = "InitDll";
constexpr const char* kExitName = "ExitDll";
#else
constexpr const char* kLibrarySuffix = ".so";
constexpr const char* kEntryName = "ModuleEntry";
constexpr const char* kExitName = "ModuleExit";
#endif

/// The module's entry: Linux hands it the library's handle, Windows nothing.
bool enterModule(void* entry, void* handle) {
#if defined(_WIN32)
    (void)handle;
    return reinterpret_cast<InitDllProc>(entry)();
#else
    return reinterpret_cast<ModuleEntryProc>(entry)(handle);
#endif
}

} // namespace

std::string Module::libraryPath(const std::string& bundle) {
    const std::filesystem::path folder(bundle);
    if (!std::filesystem::is_directory(folder)) return bundle;
    // "x/TeskDelay.vst3/" names its folder too.
    const std::filesystem::path named = folder.filename().empty() ? folder.parent_path() : folder;
    return (named / "Contents" / kArchitecture / named.stem()).string() + kLibrarySuffix;
}

Module::Module(void* handle, Ref<IPluginFactory> factory)
    : handle_(handle), factory_(std::move(factory)),
      factory3_(queryAs<IPluginFactory3>(factory_.get())), context_(HostApplication::make()) {
    if (factory3_) factory3_->setHostContext(context_.get());
}

Module::~Module() {
    factory3_.reset();
    factory_.reset();
    auto exit = reinterpret_cast<ModuleExitProc>(hostlib::findSymbol(handle_, kExitName));
    if (exit != nullptr) exit();
    hostlib::closeLibrary(handle_);
}

std::unique_ptr<Module> Module::load(const std::string& bundle, std::string& error,
                                     Mapping mapping) {
    const std::string path = libraryPath(bundle);
    std::string why;
    void* handle = hostlib::openLibrary(path, mapping == Mapping::keptAfterUnload, why);
    if (handle == nullptr) {
        error = "cannot load '" + path + "': " + why;
        return nullptr;
    }
    void* entry = hostlib::findSymbol(handle, kEntryName);
    auto exit = reinterpret_cast<ModuleExitProc>(hostlib::findSymbol(handle, kExitName));
    auto getFactory =
        reinterpret_cast<GetFactoryProc>(hostlib::findSymbol(handle, "GetPluginFactory"));
    if (entry == nullptr || exit == nullptr || getFactory == nullptr) {
        error = "'" + path + "' lacks " + kEntryName + ", " + kExitName + " or GetPluginFactory";
        hostlib::closeLibrary(handle);
        return nullptr;
    }
    if (!enterModule(entry, handle)) {
        error = std::string(kEntryName) + " of '" + path + "' refused";
        hostlib::closeLibrary(handle);
        return nullptr;
    }
    auto factory = Ref<IPluginFactory>::adopt(getFactory());
    if (!factory) {
        error = "'" + path + "' gave no factory";
        exit();
        hostlib::closeLibrary(handle);
        return nullptr;
    }
    return std::unique_ptr<Module>(new Module(handle, std::move(factory)));
}

std::optional<PClassInfo> Module::audioClass() const {
    for (int32 i = 0; i < factory_->countClasses(); ++i) {
        PClassInfo info{};
        if (factory_->getClassInfo(i, &info) == kResultOk &&
            std::strncmp(info.category, kVstAudioEffectClass, sizeof info.category) == 0)
            return info;
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- an instance

std::unique_ptr<Instance> Instance::create(const Module& module, std::string& error) {
    const auto audio = module.audioClass();
    if (!audio) {
        error = "the factory has no class of category '" + std::string(kVstAudioEffectClass) + "'";
        return nullptr;
    }
    std::unique_ptr<Instance> self(new Instance);
    self->application_ = HostApplication::make();
    self->handler_ = ComponentHandler::make();
    void* made = nullptr;
    if (module.factory()->createInstance(audio->cid, IComponent::iid, &made) != kResultOk ||
        made == nullptr) {
        error = "createInstance refused the audio class";
        return nullptr;
    }
    self->component_ = Ref<IComponent>::adopt(static_cast<IComponent*>(made));
    if (self->component_->initialize(self->application_.get()) != kResultOk) {
        error = "the component refused initialize";
        return nullptr;
    }
    self->initialized_ = true;
    self->processor_ = queryAs<IAudioProcessor>(self->component_.get());
    if (!self->processor_) {
        error = "the component has no IAudioProcessor";
        return nullptr;
    }
    // A plug-in with a controller of its own names its class; ours answers from the component.
    TUID controllerClass{};
    if (self->component_->getControllerClassId(controllerClass) == kResultOk) {
        void* controller = nullptr;
        if (module.factory()->createInstance(controllerClass, IEditController::iid, &controller) ==
                kResultOk &&
            controller != nullptr) {
            self->controller_ =
                Ref<IEditController>::adopt(static_cast<IEditController*>(controller));
            self->separateController_ = true;
            if (self->controller_->initialize(self->application_.get()) != kResultOk) {
                error = "the controller refused initialize";
                return nullptr;
            }
        }
    } else {
        self->controller_ = queryAs<IEditController>(self->component_.get());
    }
    if (!self->controller_) {
        error = "no IEditController: neither a class of its own nor the component";
        return nullptr;
    }
    self->units_ = queryAs<IUnitInfo>(self->controller_.get());
    self->controller_->setComponentHandler(self->handler_.get());
    self->inputChanges_ = ParameterChanges::make();
    self->outputChanges_ = ParameterChanges::make();
    return self;
}

Instance::~Instance() {
    stop();
    if (controller_) controller_->setComponentHandler(nullptr);
    if (separateController_ && controller_) controller_->terminate();
    if (initialized_) component_->terminate();
    units_.reset();
    controller_.reset();
    processor_.reset();
    component_.reset();
}

bool Instance::start(double sampleRate, int32 maxBlock, bool auxActive, std::string& error,
                     int32 sampleSize) {
    stop();
    SpeakerArrangement in[1] = {SpeakerArr::kStereo};
    SpeakerArrangement out[3] = {SpeakerArr::kStereo, SpeakerArr::kStereo, SpeakerArr::kStereo};
    if (processor_->setBusArrangements(in, 1, out, 3) != kResultOk) {
        error = "setBusArrangements refused stereo on every bus";
        return false;
    }
    for (int32 bus = 1; bus < 3; ++bus) {
        if (component_->activateBus(kAudio, kOutput, bus, auxActive ? 1 : 0) != kResultOk) {
            error = "activateBus refused output bus " + std::to_string(bus);
            return false;
        }
    }
    auxActive_ = auxActive;
    ProcessSetup setup{kRealtime, sampleSize, maxBlock, sampleRate};
    if (processor_->setupProcessing(setup) != kResultOk) {
        error = "setupProcessing refused";
        return false;
    }
    if (component_->setActive(1) != kResultOk) {
        error = "setActive(true) refused";
        return false;
    }
    active_ = true;
    // Hosts carry on when setProcessing is not implemented.
    const tresult processing = processor_->setProcessing(1);
    if (processing != kResultOk && processing != kNotImplemented) {
        error = "setProcessing(true) refused";
        return false;
    }
    processing_ = true;
    sampleRate_ = sampleRate;
    maxBlock_ = maxBlock;
    position_ = 0;
    for (auto& channel : inputCopy_)
        channel.assign(static_cast<std::size_t>(std::max(maxBlock, 1)), 0.0f);
    return true;
}

void Instance::stop() {
    if (processing_) processor_->setProcessing(0);
    processing_ = false;
    if (active_) component_->setActive(0);
    active_ = false;
}

ProcessResult Instance::process(const float* const* inputs, float* const* outputs, int32 frames,
                                const std::vector<ParamPoint>& changes,
                                std::optional<double> tempo) {
    ProcessResult result;
    if (frames < 0 || frames > maxBlock_) {
        result.result = kInvalidArgument;
        return result;
    }
    const auto n = static_cast<std::size_t>(frames);
    // The plug-in gets copies: whatever it does to its inputs stays with it.
    AudioBusBuffers in{};
    in.numChannels = 2;
    for (std::size_t c = 0; c < 2; ++c) {
        std::copy_n(inputs[c], n, inputCopy_[c].begin());
        inputChannels_[c] = inputCopy_[c].data();
        if (std::all_of(inputs[c], inputs[c] + n, [](float s) { return s == 0.0f; }))
            in.silenceFlags |= uint64{1} << c;
    }
    in.channelBuffers32 = inputChannels_.data();

    AudioBusBuffers out[3]{};
    for (std::size_t bus = 0; bus < 3; ++bus) {
        const bool live = bus == 0 || auxActive_;
        for (std::size_t c = 0; c < 2; ++c)
            outputChannels_[bus][c] = outputs[2 * bus + c];
        out[bus].numChannels = live ? 2 : 0;
        out[bus].channelBuffers32 = live ? outputChannels_[bus].data() : nullptr;
        if (!live) {
            std::fill_n(outputs[2 * bus], n, 0.0f);
            std::fill_n(outputs[2 * bus + 1], n, 0.0f);
        }
    }

    inputChanges_->set(changes);
    outputChanges_->clear();

    ProcessContext context{};
    context.sampleRate = sampleRate_;
    context.projectTimeSamples = position_;
    context.continousTimeSamples = position_;
    if (tempo) {
        context.state = ProcessContext::kPlaying | ProcessContext::kTempoValid |
                        ProcessContext::kTimeSigValid | ProcessContext::kProjectTimeMusicValid;
        context.tempo = *tempo;
        context.timeSigNumerator = 4;
        context.timeSigDenominator = 4;
        context.projectTimeMusic = static_cast<double>(position_) / sampleRate_ * *tempo / 60.0;
    }

    ProcessData data{};
    data.processMode = kRealtime;
    data.symbolicSampleSize = kSample32;
    data.numSamples = frames;
    data.numInputs = 1;
    data.numOutputs = auxActive_ || inactiveAux == InactiveAux::zeroChannels ? 3 : 1;
    data.inputs = &in;
    data.outputs = out;
    data.inputParameterChanges = inputChanges_.get();
    data.outputParameterChanges = outputChanges_.get();
    data.processContext = sendContext ? &context : nullptr;
    result.result = processor_->process(data);
    position_ += frames;
    for (std::size_t bus = 0; bus < 3; ++bus)
        result.silenceFlags[bus] =
            static_cast<int32>(bus) < data.numOutputs ? out[bus].silenceFlags : 0;
    result.outputChanges = outputChanges_->points();
    if (forwardOutputChanges)
        for (const ParamPoint& p : result.outputChanges)
            controller_->setParamNormalized(p.id, p.value);
    return result;
}

int32 Instance::parameterCount() const {
    return controller_->getParameterCount();
}

std::optional<ParameterInfo> Instance::parameterInfo(int32 index) const {
    ParameterInfo info{};
    if (controller_->getParameterInfo(index, info) != kResultOk) return std::nullopt;
    return info;
}

ParamValue Instance::normalized(ParamID id) const {
    return controller_->getParamNormalized(id);
}

tresult Instance::setNormalized(ParamID id, ParamValue value) const {
    return controller_->setParamNormalized(id, value);
}

std::optional<std::string> Instance::text(ParamID id, ParamValue value) const {
    String128 string{};
    if (controller_->getParamStringByValue(id, value, string) != kResultOk) return std::nullopt;
    return toUtf8(string);
}

std::optional<ParamValue> Instance::valueOf(ParamID id, const std::string& text) const {
    String128 string{};
    toString128(text, string);
    ParamValue value = -1.0;
    if (controller_->getParamValueByString(id, string, value) != kResultOk) return std::nullopt;
    return value;
}

std::optional<std::vector<std::uint8_t>> Instance::saveState() const {
    auto stream = MemoryStream::make();
    if (component_->getState(stream.get()) != kResultOk) return std::nullopt;
    return stream->bytes();
}

tresult Instance::loadState(const std::vector<std::uint8_t>& bytes, int32 chunk) const {
    auto stream = MemoryStream::make(bytes);
    stream->readChunk = chunk;
    return component_->setState(stream.get());
}

} // namespace vst3host
