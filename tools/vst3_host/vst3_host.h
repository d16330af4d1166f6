// A small VST 3 host for our tests: loads a bundle (the module in its
// Contents/<arch>-linux folder with ModuleEntry, or Contents/<arch>-win with
// InitDll; GetPluginFactory), makes the
// factory's audio class, answers it as a host does (the application context,
// a component handler that records edits) and drives it: buses, processing
// setup, blocks with parameter changes at sample offsets and a tempo, the
// parameter changes the processor sends back, state through a memory stream,
// values and texts through the edit controller; an editor's frame with the
// run loop a Linux host gives it.
#pragma once

#include "vst3_api.h"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace vst3host {

using namespace tesk::vst3;

// ---------------------------------------------------------------- references

/// Holds one reference to an FUnknown and releases it when dropped.
template <typename T> class Ref {
  public:
    Ref() = default;
    /// Takes over the reference the caller already holds (from createInstance,
    /// queryInterface or a factory).
    static Ref adopt(T* object) {
        Ref r;
        r.object_ = object;
        return r;
    }
    /// Takes a reference of its own.
    static Ref share(T* object) {
        if (object != nullptr) object->addRef();
        return adopt(object);
    }
    Ref(const Ref& other) : object_(other.object_) {
        if (object_ != nullptr) object_->addRef();
    }
    Ref(Ref&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
    Ref& operator=(Ref other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ref() { reset(); }
    void reset() {
        if (object_ != nullptr) object_->release();
        object_ = nullptr;
    }
    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }

  private:
    T* object_ = nullptr;
};

/// `object`'s interface `I`, or nothing when it has none.
template <typename I, typename T> Ref<I> queryAs(T* object) {
    void* found = nullptr;
    if (object == nullptr || object->queryInterface(I::iid, &found) != kResultOk ||
        found == nullptr)
        return {};
    return Ref<I>::adopt(static_cast<I*>(found));
}

/// The counting every object the host lends out does: made with one reference
/// (the maker's), deleted when the last one goes.
template <typename Interface> class HostObject : public Interface {
  public:
    uint32 TESK_PLUGIN_API addRef() override { return ++references_; }
    uint32 TESK_PLUGIN_API release() override {
        const uint32 left = --references_;
        if (left == 0) delete this;
        return left;
    }
    /// References held now, the maker's included.
    uint32 references() const { return references_; }

  protected:
    HostObject() = default;
    virtual ~HostObject() = default;
    /// queryInterface for an object that is `Interface`, its bases and nothing else.
    template <typename... Bases> tresult answerQuery(const TUID iid, void** obj) {
        if (obj == nullptr) return kInvalidArgument;
        *obj = nullptr;
        if (!(uid_equal(iid, Interface::iid) || (uid_equal(iid, Bases::iid) || ...)))
            return kNoInterface;
        addRef();
        *obj = static_cast<Interface*>(this);
        return kResultOk;
    }

  private:
    std::atomic<uint32> references_{1};
};

// ---------------------------------------------------------------- host objects

/// The host's context given to initialize.
class HostApplication final : public HostObject<IHostApplication> {
  public:
    static Ref<HostApplication> make() { return Ref<HostApplication>::adopt(new HostApplication); }
    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        return answerQuery<FUnknown>(iid, obj);
    }
    tresult TESK_PLUGIN_API getName(String128 name) override;
    /// We make no messages: a single-component plug-in has nobody to send them to.
    tresult TESK_PLUGIN_API createInstance(TUID cid, TUID iid, void** obj) override;
};

/// One call the controller made on the component handler.
struct HandlerCall {
    enum class Kind { begin, perform, end, restart };
    Kind kind;
    ParamID id = 0;
    ParamValue value = 0.0;
    int32 flags = 0; ///< restartComponent's
};

/// The component handler: records every call, in order.
class ComponentHandler final : public HostObject<IComponentHandler> {
  public:
    static Ref<ComponentHandler> make() {
        return Ref<ComponentHandler>::adopt(new ComponentHandler);
    }
    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        return answerQuery<FUnknown>(iid, obj);
    }
    tresult TESK_PLUGIN_API beginEdit(ParamID id) override;
    tresult TESK_PLUGIN_API performEdit(ParamID id, ParamValue valueNormalized) override;
    tresult TESK_PLUGIN_API endEdit(ParamID id) override;
    tresult TESK_PLUGIN_API restartComponent(int32 flags) override;

    /// The calls since the last `take`.
    std::vector<HandlerCall> take();

  private:
    void record(const HandlerCall& call);
    std::mutex mutex_;
    std::vector<HandlerCall> calls_;
};

/// A growable stream in memory, as hosts hand to getState and setState.
class MemoryStream final : public HostObject<IBStream> {
  public:
    static Ref<MemoryStream> make(std::vector<std::uint8_t> bytes = {}) {
        return Ref<MemoryStream>::adopt(new MemoryStream(std::move(bytes)));
    }
    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        return answerQuery<FUnknown>(iid, obj);
    }
    tresult TESK_PLUGIN_API read(void* buffer, int32 numBytes, int32* numBytesRead) override;
    tresult TESK_PLUGIN_API write(void* buffer, int32 numBytes, int32* numBytesWritten) override;
    tresult TESK_PLUGIN_API seek(int64 pos, int32 mode, int64* result) override;
    tresult TESK_PLUGIN_API tell(int64* pos) override;

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    /// At most this many bytes per read, as a host streaming from disk may hand them.
    int32 readChunk = 0x7FFFFFFF;

  private:
    explicit MemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}
    std::vector<std::uint8_t> bytes_;
    std::size_t position_ = 0;
};

/// One point of a parameter's changes in a block.
struct ParamPoint {
    ParamID id;
    int32 offset;
    ParamValue value;
    bool operator==(const ParamPoint&) const = default;
};

/// The points of one parameter in one block, room for them made up front.
class ParamValueQueue final : public HostObject<IParamValueQueue> {
  public:
    static constexpr int32 kCapacity = 1024;
    static Ref<ParamValueQueue> make() { return Ref<ParamValueQueue>::adopt(new ParamValueQueue); }
    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        return answerQuery<FUnknown>(iid, obj);
    }
    ParamID TESK_PLUGIN_API getParameterId() override { return id_; }
    int32 TESK_PLUGIN_API getPointCount() override { return static_cast<int32>(points_.size()); }
    tresult TESK_PLUGIN_API getPoint(int32 index, int32& sampleOffset, ParamValue& value) override;
    /// Keeps the points in time order; a point at an offset already held replaces it.
    tresult TESK_PLUGIN_API addPoint(int32 sampleOffset, ParamValue value, int32& index) override;

    void reset(ParamID id) {
        id_ = id;
        points_.clear();
    }
    /// Adds a point after the others as it comes, in order or not (for tests of bad input).
    bool append(int32 sampleOffset, ParamValue value);

  private:
    ParamValueQueue() { points_.reserve(kCapacity); }
    ParamID id_ = kNoParamId;
    std::vector<std::pair<int32, ParamValue>> points_;
};

/// A block's parameter changes, one queue per parameter, room made up front.
class ParameterChanges final : public HostObject<IParameterChanges> {
  public:
    static constexpr int32 kCapacity = 256;
    static Ref<ParameterChanges> make() {
        return Ref<ParameterChanges>::adopt(new ParameterChanges);
    }
    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override {
        return answerQuery<FUnknown>(iid, obj);
    }
    int32 TESK_PLUGIN_API getParameterCount() override { return used_; }
    IParamValueQueue* TESK_PLUGIN_API getParameterData(int32 index) override;
    IParamValueQueue* TESK_PLUGIN_API addParameterData(const ParamID& id, int32& index) override;

    void clear() { used_ = 0; }
    /// `points` grouped by parameter (in the order each first appears), each
    /// parameter's points in the order given.
    void set(const std::vector<ParamPoint>& points);
    /// Every point held, queue after queue.
    std::vector<ParamPoint> points();

  private:
    ParameterChanges();
    std::vector<Ref<ParamValueQueue>> queues_;
    int32 used_ = 0;
};

// ---------------------------------------------------------------- an editor's frame

/// The frame an editor's view is given, which is also the host's run loop, as
/// on Linux: the view registers its timers and the descriptors it wants
/// watched, and `pumpUntil` serves them as a host's event loop does.
class RunLoopFrame final : public IPlugFrame, public IRunLoop {
  public:
    static Ref<RunLoopFrame> make() { return Ref<RunLoopFrame>::adopt(new RunLoopFrame); }

    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    uint32 TESK_PLUGIN_API addRef() override { return ++references_; }
    uint32 TESK_PLUGIN_API release() override;
    /// References held now, the maker's included.
    uint32 references() const { return references_; }

    /// Records the request; the host's window is the test's to size.
    tresult TESK_PLUGIN_API resizeView(IPlugView* view, ViewRect* newSize) override;

    tresult TESK_PLUGIN_API registerEventHandler(IEventHandler* handler,
                                                 FileDescriptor fd) override;
    tresult TESK_PLUGIN_API unregisterEventHandler(IEventHandler* handler) override;
    tresult TESK_PLUGIN_API registerTimer(ITimerHandler* handler,
                                          TimerInterval milliseconds) override;
    tresult TESK_PLUGIN_API unregisterTimer(ITimerHandler* handler) override;

    /// Serves the loop until `done` holds or `timeout` passes: waits in poll(2) on
    /// the watched descriptors until the next timer is due, calls the handlers of
    /// those readable, then the timers due; on Windows it waits for and dispatches
    /// the thread's window messages instead of descriptors. Its last answer of `done`.
    bool pumpUntil(const std::function<bool()>& done,
                   std::chrono::milliseconds timeout = std::chrono::milliseconds(20000));

    /// When false, the frame answers no IRunLoop, as a host without one (every
    /// Windows host: there the view's window drives itself).
#if defined(_WIN32)
    bool offersRunLoop = false;
#else
    bool offersRunLoop = true;
#endif
    /// What `pumpUntil` serves: a test turns one off to see the other drive the view.
    bool serveTimers = true;
    bool serveDescriptors = true;

    struct Watch {
        IEventHandler* handler;
        FileDescriptor fd;
    };
    struct Timer {
        ITimerHandler* handler;
        TimerInterval milliseconds;
        std::chrono::steady_clock::time_point due;
    };
    const std::vector<Watch>& watches() const {
        return watches_;
    }
    const std::vector<Timer>& timers() const {
        return timers_;
    }
    /// Registrations made and taken back, timers and descriptors together.
    int registered = 0;
    int unregistered = 0;
    int resizeRequests = 0;

  private:
    RunLoopFrame() = default;
    ~RunLoopFrame() = default;
    /// Waits up to `waitMs` for the window system and serves what arrived.
    void serveWindowSystem(int waitMs);
    std::atomic<uint32> references_{1};
    std::vector<Watch> watches_;
    std::vector<Timer> timers_;
};

// ---------------------------------------------------------------- the module

/// A loaded bundle: its module entered, its factory taken. Releases the
/// factory, calls ModuleExit and unloads on destruction.
class Module {
  public:
    enum class Mapping {
        /// It stays mapped after unloading: a sanitizer's leak report at exit can
        /// still name its frames.
        keptAfterUnload,
        /// It goes as a host's unloading makes it go (unless something pins it).
        releasedOnUnload,
    };
    /// Loads the module of `bundle` (a .vst3 folder, or the library itself).
    /// On failure returns null and puts a sentence for the user into `error`.
    static std::unique_ptr<Module> load(const std::string& bundle, std::string& error,
                                        Mapping mapping = Mapping::keptAfterUnload);
    /// The library inside `bundle` for this machine: Contents/<arch>-linux/<name>.so,
    /// or Contents/<arch>-win/<name>.vst3 on Windows.
    static std::string libraryPath(const std::string& bundle);
    ~Module();
    Module(const Module&) = delete;
    Module& operator=(const Module&) = delete;

    IPluginFactory* factory() const { return factory_.get(); }
    /// The factory's third version, null when it has none.
    IPluginFactory3* factory3() const { return factory3_.get(); }
    /// The first class of the audio category, if any.
    std::optional<PClassInfo> audioClass() const;

  private:
    Module(void* handle, Ref<IPluginFactory> factory);
    void* handle_;
    Ref<IPluginFactory> factory_;
    Ref<IPluginFactory3> factory3_;
    Ref<HostApplication> context_;
};

// ---------------------------------------------------------------- an instance

/// What a block told the host.
struct ProcessResult {
    tresult result = kResultOk;
    /// Each output bus's silence flags as the plug-in left them (0 for a bus not passed).
    std::array<uint64, 3> silenceFlags{};
    /// The processor's outputParameterChanges, queue after queue.
    std::vector<ParamPoint> outputChanges;
};

/// How a block passes the auxiliary outputs while they are inactive.
enum class InactiveAux {
    omitted,      ///< numOutputs is 1
    zeroChannels, ///< three buses, the inactive ones with no channels
};

/// One instance of the factory's audio class, initialised, with its handler
/// set. Stops, terminates and releases it on destruction.
class Instance {
  public:
    static std::unique_ptr<Instance> create(const Module& module, std::string& error);
    ~Instance();
    Instance(const Instance&) = delete;
    Instance& operator=(const Instance&) = delete;

    IComponent* component() const { return component_.get(); }
    IAudioProcessor* processor() const { return processor_.get(); }
    IEditController* controller() const { return controller_.get(); }
    IUnitInfo* units() const { return units_.get(); }
    HostApplication& application() const { return *application_.get(); }
    ComponentHandler& handler() const { return *handler_.get(); }

    /// Stereo on every bus, aux buses (in)active, setup, setActive and setProcessing,
    /// as hosts start a plug-in. False, with the reason in `error`, if any step fails.
    bool start(double sampleRate, int32 maxBlock, bool auxActive, std::string& error,
               int32 sampleSize = kSample32);
    /// setProcessing(false) and setActive(false), whichever were on.
    void stop();
    bool auxActive() const { return auxActive_; }
    InactiveAux inactiveAux = InactiveAux::omitted;
    /// When false, blocks carry no ProcessContext at all.
    bool sendContext = true;
    /// Whether the processor's output parameter changes are passed on to the
    /// controller after each block, as hosts keep the two in step.
    bool forwardOutputChanges = true;

    /// One block of `frames` (at most the started maxBlock): two input
    /// channels in, six output channels out (Main, Out 2, Out 3). While the aux
    /// buses are inactive their four channels are filled with zeros. `changes`
    /// arrive as the block's inputParameterChanges; with a `tempo` the block's
    /// context says so (kTempoValid, playing, 4/4), without one it carries only
    /// the sample position.
    ProcessResult process(const float* const* inputs, float* const* outputs, int32 frames,
                          const std::vector<ParamPoint>& changes = {},
                          std::optional<double> tempo = std::nullopt);

    // Through the edit controller.
    int32 parameterCount() const;
    std::optional<ParameterInfo> parameterInfo(int32 index) const;
    ParamValue normalized(ParamID id) const;
    tresult setNormalized(ParamID id, ParamValue value) const;
    /// getParamStringByValue in UTF-8; nothing when refused.
    std::optional<std::string> text(ParamID id, ParamValue value) const;
    /// getParamValueByString from UTF-8; nothing when refused.
    std::optional<ParamValue> valueOf(ParamID id, const std::string& text) const;

    // Through the component.
    std::optional<std::vector<std::uint8_t>> saveState() const;
    /// setState from a stream handing at most `chunk` bytes per read.
    tresult loadState(const std::vector<std::uint8_t>& bytes, int32 chunk = 0x7FFFFFFF) const;

  private:
    Instance() = default;
    Ref<HostApplication> application_;
    Ref<ComponentHandler> handler_;
    Ref<IComponent> component_;
    Ref<IAudioProcessor> processor_;
    Ref<IEditController> controller_;
    Ref<IUnitInfo> units_;
    bool initialized_ = false;
    bool separateController_ = false;
    bool active_ = false;
    bool processing_ = false;
    bool auxActive_ = true;
    double sampleRate_ = 44100.0;
    int32 maxBlock_ = 0;
    int64 position_ = 0;
    // Made at `start`, so that a block needs no room of its own on the host's side.
    std::array<std::vector<float>, 2> inputCopy_;
    std::array<float*, 2> inputChannels_{};
    std::array<std::array<float*, 2>, 3> outputChannels_{};
    Ref<ParameterChanges> inputChanges_;
    Ref<ParameterChanges> outputChanges_;
};

// ---------------------------------------------------------------- texts

/// UTF-16 (up to a terminator or `capacity` units) to UTF-8.
std::string toUtf8(const char16_t* text, std::size_t capacity = 128);
/// UTF-8 into a String128, cut to fit with its terminator.
void toString128(const std::string& text, String128 out);

} // namespace vst3host
