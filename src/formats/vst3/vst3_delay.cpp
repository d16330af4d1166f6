#include "vst3_delay.h"

#include "parameter_info.h"
#include "programs.h"
#include "vst3_params.h"

#if TESK_HAS_EDITOR
#include "vst3_view.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstring>
#include <new>
#include <thread>

namespace tesk::vst3 {

namespace {

constexpr int32 kOutputBuses = 3;
constexpr int32 kChannels = 2;

const char* const kOutputBusNames[kOutputBuses] = {"Main", "Out 2", "Out 3"};

bool isStereoBus(const AudioBusBuffers& bus) {
    return bus.numChannels >= kChannels && bus.channelBuffers32 != nullptr &&
           bus.channelBuffers32[0] != nullptr && bus.channelBuffers32[1] != nullptr;
}

/// Everything a stream hands us, up to `limit` bytes; false when it fails.
bool readAll(IBStream* stream, std::vector<std::uint8_t>& bytes, std::size_t limit) {
    bytes.assign(limit, 0);
    std::size_t size = 0;
    while (size < limit) {
        int32 got = 0;
        const auto want = static_cast<int32>(limit - size);
        if (stream->read(bytes.data() + size, want, &got) != kResultOk || got <= 0) break;
        size += static_cast<std::size_t>(got);
    }
    bytes.resize(size);
    return true;
}

} // namespace

Vst3Delay* Vst3Delay::create() {
    try {
        auto* instance = new (std::nothrow) Vst3Delay;
        if (instance == nullptr) return nullptr;
        if (!instance->engine_ || !instance->engine_->isUsable() || !instance->bypass_.isUsable()) {
            instance->release();
            return nullptr;
        }
        return instance;
    } catch (...) {
        return nullptr; // out of memory: no instance, and nothing thrown into the host
    }
}

Vst3Delay::Vst3Delay() : engine_(new (std::nothrow) DelayEngine) {
    if (!engine_) return;
    // The host keeps the values it set: a followed tempo is heard, not written.
    engine_->setTempoFollowing(TempoFollowing::InUseOnly);
    for (int i = 0; i < kNumParameters; ++i)
        values_[static_cast<std::size_t>(i)] = engine_->getParameter(i);
    for (int line = 0; line < kNumLines; ++line)
        reportedTempo_[static_cast<std::size_t>(line)] = tempoInUse(line);
#if TESK_HAS_EDITOR
    editor_.reset(makeVst3Editor(*this));
    if (editor_) editor_->setKnobMode(2);
#endif
    engine_->setListener(this);
}

Vst3Delay::~Vst3Delay() {
    if (handler_ != nullptr) handler_->release();
}

// ---------------------------------------------------------------- FUnknown

tresult Vst3Delay::queryInterface(const TUID iid, void** obj) {
    if (obj == nullptr) return kInvalidArgument;
    *obj = nullptr;
    if (uid_equal(iid, FUnknown::iid) || uid_equal(iid, IPluginBase::iid) ||
        uid_equal(iid, IComponent::iid))
        *obj = static_cast<IComponent*>(this);
    else if (uid_equal(iid, IAudioProcessor::iid))
        *obj = static_cast<IAudioProcessor*>(this);
    else if (uid_equal(iid, IEditController::iid))
        *obj = static_cast<IEditController*>(this);
    else if (uid_equal(iid, IUnitInfo::iid))
        *obj = static_cast<IUnitInfo*>(this);
    else if (uid_equal(iid, IProcessContextRequirements::iid))
        *obj = static_cast<IProcessContextRequirements*>(this);
    else
        return kNoInterface;
    addRef();
    return kResultOk;
}

uint32 Vst3Delay::addRef() {
    return refs_.fetch_add(1, std::memory_order_relaxed) + 1;
}

uint32 Vst3Delay::release() {
    const uint32 left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
}

// ---------------------------------------------------------------- IPluginBase

tresult Vst3Delay::initialize(FUnknown*) {
    return kResultOk;
}

tresult Vst3Delay::terminate() {
    setComponentHandler(nullptr);
    return kResultOk;
}

// ---------------------------------------------------------------- IComponent

tresult Vst3Delay::getControllerClassId(TUID) {
    return kResultFalse; // the component is its own controller
}

tresult Vst3Delay::setIoMode(IoMode) {
    return kResultOk;
}

int32 Vst3Delay::getBusCount(MediaType type, BusDirection dir) {
    if (type != kAudio) return 0;
    return dir == kInput ? 1 : kOutputBuses;
}

tresult Vst3Delay::getBusInfo(MediaType type, BusDirection dir, int32 index, BusInfo& bus) {
    if (type != kAudio || index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
    bus = BusInfo{};
    bus.mediaType = kAudio;
    bus.direction = dir;
    bus.channelCount = kChannels;
    toString128(dir == kInput ? "Input" : kOutputBusNames[index], bus.name);
    bus.busType = index == 0 ? kMain : kAux;
    bus.flags = index == 0 ? static_cast<uint32>(BusInfo::kDefaultActive) : 0u;
    return kResultOk;
}

tresult Vst3Delay::getRoutingInfo(RoutingInfo&, RoutingInfo&) {
    return kNotImplemented;
}

tresult Vst3Delay::activateBus(MediaType type, BusDirection dir, int32 index, TBool state) {
    if (type != kAudio || index < 0 || index >= getBusCount(type, dir)) return kInvalidArgument;
    if (dir == kOutput && index > 0) auxActive_[static_cast<std::size_t>(index - 1)] = state != 0;
    return kResultOk;
}

tresult Vst3Delay::setActive(TBool state) {
    if (state == 0) {
        active_.store(false, std::memory_order_release);
        // No block runs any more: a state still on its way is applied here.
        takePostedState();
        return kResultOk;
    }
    if (!engine_->setSampleRate(static_cast<float>(rate_))) return kResultFalse;
    try {
        // Input and output where the host gives none: two channels in, four out.
        scratch_.assign(static_cast<std::size_t>(maxFrames_) * 6, 0.0f);
    } catch (...) {
        return kOutOfMemory;
    }
    bypass_.setSampleRate(static_cast<float>(rate_));
    // A session saved bypassed starts bypassed, without crossing over first.
    bypass_.settle();
    active_.store(true, std::memory_order_release);
    return kResultOk;
}

tresult Vst3Delay::setState(IBStream* stream) {
    if (stream == nullptr) return kInvalidArgument;
    std::vector<std::uint8_t> bytes;
    readAll(stream, bytes, kStateSize + 1);
    const std::optional<SavedState> state = decodeState(bytes.data(), bytes.size());
    if (!state) return kResultFalse;
    if (!active_.load(std::memory_order_acquire)) {
        applyState(*state);
    } else {
        postState(*state);
        program_ = state->program;
        bypassed_ = state->bypassed;
        for (int i = 0; i < kNumParameters; ++i)
            values_[static_cast<std::size_t>(i)] = state->values[static_cast<std::size_t>(i)];
        if (editor_) editor_->postUpdate();
    }
    if (handler_ != nullptr) handler_->restartComponent(kParamValuesChanged);
    return kResultOk;
}

void Vst3Delay::postState(const SavedState& state) {
    // A second state before the next block replaces the first; one the audio
    // thread is reading right now is left to it for the moment it takes.
    for (int seen = pendingSlot_.load(std::memory_order_acquire);;) {
        if (seen == kReading) {
            std::this_thread::yield();
            seen = pendingSlot_.load(std::memory_order_acquire);
            continue;
        }
        if (pendingSlot_.compare_exchange_weak(seen, kWriting, std::memory_order_acquire)) break;
    }
    pendingState_ = state;
    pendingSlot_.store(kReady, std::memory_order_release);
}

bool Vst3Delay::takePostedState() {
    int ready = kReady;
    if (!pendingSlot_.compare_exchange_strong(ready, kReading, std::memory_order_acquire))
        return false;
    applyState(pendingState_);
    pendingSlot_.store(kEmpty, std::memory_order_release);
    return true;
}

tresult Vst3Delay::getState(IBStream* stream) {
    if (stream == nullptr) return kInvalidArgument;
    std::vector<std::uint8_t> bytes = encodeState(currentState());
    int32 written = 0;
    const tresult result = stream->write(bytes.data(), static_cast<int32>(bytes.size()), &written);
    return result == kResultOk && written == static_cast<int32>(bytes.size()) ? kResultOk
                                                                              : kResultFalse;
}

SavedState Vst3Delay::currentState() const {
    // The slot's only writer is this thread: what waits there is the state.
    if (pendingSlot_.load(std::memory_order_acquire) == kReady) return pendingState_;
    SavedState state;
    state.program = engine_->getProgram();
    for (int i = 0; i < kNumParameters; ++i)
        state.values[static_cast<std::size_t>(i)] = engine_->getParameter(i);
    state.bypassed = bypass_.bypassed();
    return state;
}

void Vst3Delay::applyState(const SavedState& state) {
    // The program first, then every value over it, in index order (a line's
    // switch comes before the inputs that listen to it).
    engine_->setProgram(state.program);
    for (int i = 0; i < kNumParameters; ++i)
        engine_->setParameter(i, state.values[static_cast<std::size_t>(i)]);
    bypass_.setBypassed(state.bypassed);
    program_ = state.program;
    bypassed_ = state.bypassed;
}

// ---------------------------------------------------------------- IAudioProcessor

tresult Vst3Delay::setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                      SpeakerArrangement* outputs, int32 numOuts) {
    if (numIns != 1 || numOuts < 1 || numOuts > kOutputBuses || inputs == nullptr ||
        outputs == nullptr || inputs[0] != SpeakerArr::kStereo)
        return kResultFalse;
    for (int32 i = 0; i < numOuts; ++i)
        if (outputs[i] != SpeakerArr::kStereo) return kResultFalse;
    return kResultOk;
}

tresult Vst3Delay::getBusArrangement(BusDirection dir, int32 index, SpeakerArrangement& arr) {
    if (index < 0 || index >= getBusCount(kAudio, dir)) return kInvalidArgument;
    arr = SpeakerArr::kStereo;
    return kResultOk;
}

tresult Vst3Delay::canProcessSampleSize(int32 symbolicSampleSize) {
    // The engine's arithmetic is single precision, bit for bit the same in every format.
    return symbolicSampleSize == kSample32 ? kResultOk : kResultFalse;
}

uint32 Vst3Delay::getLatencySamples() {
    return 0;
}

tresult Vst3Delay::setupProcessing(ProcessSetup& setup) {
    if (active_.load(std::memory_order_acquire)) return kResultFalse;
    if (setup.symbolicSampleSize != kSample32 || !(setup.sampleRate >= 1.0) ||
        setup.sampleRate > DelayEngine::kMaxSampleRate || setup.maxSamplesPerBlock <= 0)
        return kResultFalse;
    rate_ = setup.sampleRate;
    maxFrames_ = setup.maxSamplesPerBlock;
    return kResultOk;
}

tresult Vst3Delay::setProcessing(TBool) {
    return kResultOk;
}

uint32 Vst3Delay::getTailSamples() {
    // A recirculating line repeats for as long as its feedback lets it; a
    // single echo is over once the longest delay the memory holds has passed.
    for (int line = 0; line < kNumLines; ++line)
        if (engine_->lineOn[line] && engine_->delayType[line] == 2 &&
            engine_->feedback[line] > 0.0f)
            return kInfiniteTail;
    return static_cast<uint32>(4 * engine_->sampleRateInt + DelayEngine::kMaxFrames);
}

tresult Vst3Delay::process(ProcessData& data) {
    if (!active_.load(std::memory_order_acquire)) return kNotInitialized;
    if (data.symbolicSampleSize != kSample32) return kInvalidArgument;
    inProcess_ = true;
    if (takePostedState()) programLoaded_ = true;
    HostTransport transport;
    if (const ProcessContext* context = data.processContext;
        context != nullptr && (context->state & ProcessContext::kTempoValid) != 0)
        transport = {context->tempo, true};

    const int32 count = collectChanges(data.inputParameterChanges);
    float* in[kChannels] = {};
    float* out[kOutputBuses * kChannels] = {};
    const int32 frames = data.numSamples;
    const bool audio = frames > 0 && frames <= maxFrames_ && bindBuffers(data, in, out);
    int32 done = 0;
    for (int32 i = 0; i < count; ++i) {
        const Change& change = changes_[static_cast<std::size_t>(i)];
        if (audio && change.offset > done) {
            runFrames(transport, in, out, done, std::min(change.offset, frames));
            done = std::min(change.offset, frames);
        }
        applyChange(change.id, change.value);
    }
    if (audio) {
        runFrames(transport, in, out, done, frames);
        markSilence(data, out);
    }
    reportChanges(data.outputParameterChanges);
    inProcess_ = false;
    return audio || frames == 0 ? kResultOk : kInvalidArgument;
}

int32 Vst3Delay::collectChanges(IParameterChanges* changes) {
    if (changes == nullptr) return 0;
    int32 count = 0;
    const int32 queues = changes->getParameterCount();
    for (int32 q = 0; q < queues; ++q) {
        IParamValueQueue* queue = changes->getParameterData(q);
        if (queue == nullptr) continue;
        const ParamID id = queue->getParameterId();
        const int32 points = queue->getPointCount();
        for (int32 p = 0; p < points && count < kMaxChanges; ++p) {
            Change change{0, id, 0.0};
            if (queue->getPoint(p, change.offset, change.value) != kResultOk) continue;
            change.offset = std::max<int32>(change.offset, 0);
            // In order of their offsets; equal offsets keep the host's order.
            int32 at = count++;
            while (at > 0 && changes_[static_cast<std::size_t>(at - 1)].offset > change.offset) {
                changes_[static_cast<std::size_t>(at)] = changes_[static_cast<std::size_t>(at - 1)];
                --at;
            }
            changes_[static_cast<std::size_t>(at)] = change;
        }
    }
    return count;
}

void Vst3Delay::applyChange(ParamID id, ParamValue value) {
    if (!std::isfinite(value)) return;
    if (id == kProgramParamId) {
        engine_->setProgram(static_cast<int>(plainOf(id, value)));
        programLoaded_ = true;
        return;
    }
    if (id == kBypassParamId) {
        bypass_.setBypassed(plainOf(id, value) >= 1.0);
        return;
    }
    if (id >= static_cast<ParamID>(kNumParameters)) return; // read-only, or not ours
    const int index = static_cast<int>(id);
    const float asked = valueOfNormalized(index, value);
    engine_->setParameter(index, asked);
    // A value the engine keeps otherwise (an input whose source is off) goes
    // back, so that the host shows what is heard.
    if (normalizedOfValue(index, engine_->getParameter(index)) != normalizedOfValue(index, asked))
        ownChanged_[static_cast<std::size_t>(index)] = true;
}

bool Vst3Delay::bindBuffers(ProcessData& data, float** in, float** out) {
    if (data.numInputs < 1 || data.inputs == nullptr || data.numOutputs < 1 ||
        data.outputs == nullptr || !isStereoBus(data.inputs[0]) || !isStereoBus(data.outputs[0]))
        return false;
    in[0] = data.inputs[0].channelBuffers32[0];
    in[1] = data.inputs[0].channelBuffers32[1];
    for (int32 bus = 0; bus < kOutputBuses; ++bus) {
        for (int32 c = 0; c < kChannels; ++c) {
            const std::size_t channel = static_cast<std::size_t>(bus * kChannels + c);
            if (bus < data.numOutputs && isStereoBus(data.outputs[bus]))
                out[channel] = data.outputs[bus].channelBuffers32[c];
            else // an output the host leaves out: computed, and not heard
                out[channel] = scratch_.data() + channel * static_cast<std::size_t>(maxFrames_);
        }
    }
    return true;
}

void Vst3Delay::runFrames(const HostTransport& transport, float** in, float** out, int32 from,
                          int32 to) {
    if (to <= from) return;
    float* inputs[kChannels] = {in[0] + from, in[1] + from};
    float* outputs[kOutputBuses * kChannels];
    for (int c = 0; c < kOutputBuses * kChannels; ++c)
        outputs[c] = out[c] + from;
    bypass_.process(*engine_, inputs, outputs, to - from, transport);
}

void Vst3Delay::markSilence(ProcessData& data, float** out) {
    // Silent channels are marked, so that a host can skip what follows.
    const auto frames = static_cast<std::size_t>(data.numSamples);
    for (int32 bus = 0; bus < std::min(data.numOutputs, kOutputBuses); ++bus) {
        AudioBusBuffers& buffers = data.outputs[bus];
        buffers.silenceFlags = 0;
        if (!isStereoBus(buffers)) continue;
        for (int32 c = 0; c < kChannels; ++c) {
            const float* samples = out[bus * kChannels + c];
            if (std::all_of(samples, samples + frames, [](float s) { return s == 0.0f; }))
                buffers.silenceFlags |= std::uint64_t{1} << c;
        }
    }
}

void Vst3Delay::report(IParameterChanges* out, ParamID id, ParamValue value) {
    int32 index = 0;
    IParamValueQueue* queue = out->addParameterData(id, index);
    if (queue != nullptr) queue->addPoint(0, value, index);
}

void Vst3Delay::reportChanges(IParameterChanges* out) {
    // Without a list to write to, the news waits for a block that has one.
    if (out == nullptr) return;
    for (int i = 0; i < kNumParameters; ++i) {
        auto& changed = ownChanged_[static_cast<std::size_t>(i)];
        if (!changed && !programLoaded_) continue;
        changed = false;
        report(out, static_cast<ParamID>(i), normalizedOfValue(i, engine_->getParameter(i)));
    }
    if (programLoaded_) {
        report(out, kProgramParamId, normalizedOf(kProgramParamId, engine_->getProgram()));
        report(out, kBypassParamId, bypass_.bypassed() ? 1.0 : 0.0);
        programLoaded_ = false;
    }
    for (int line = 0; line < kNumLines; ++line) {
        const float bpm = tempoInUse(line);
        float& reported = reportedTempo_[static_cast<std::size_t>(line)];
        if (bpm == reported) continue;
        reported = bpm;
        report(out, kTempoInUseParamId + static_cast<ParamID>(line),
               normalizedOf(kTempoInUseParamId + static_cast<ParamID>(line), bpm));
    }
}

// ---------------------------------------------------------------- the engine's news

void Vst3Delay::parameterChanged(std::int32_t index, float value) {
    if (index >= 0 && index < kNumParameters) values_[static_cast<std::size_t>(index)] = value;
    if (editor_) editor_->parameterChanged(index, value);
}

void Vst3Delay::ownParameterChange(std::int32_t index) {
    if (index < 0 || index >= kNumParameters) return;
    if (inProcess_) {
        ownChanged_[static_cast<std::size_t>(index)] = true;
        return;
    }
    // The user-interface thread drives the engine while inactive: the host
    // hears of it as of an edit.
    tellHost(static_cast<ParamID>(index), normalizedOfValue(index, engine_->getParameter(index)));
}

void Vst3Delay::tellHost(ParamID id, ParamValue value) {
    if (handler_ == nullptr) return;
    handler_->beginEdit(id);
    handler_->performEdit(id, value);
    handler_->endEdit(id);
}

// ---------------------------------------------------------------- IEditController

tresult Vst3Delay::setComponentState(IBStream*) {
    // One object: setState has already given the controller its values.
    return kResultOk;
}

int32 Vst3Delay::getParameterCount() {
    return kNumVst3Params;
}

tresult Vst3Delay::getParameterInfo(int32 paramIndex, ParameterInfo& info) {
    return describe(paramIndex, info) ? kResultOk : kInvalidArgument;
}

std::string Vst3Delay::programText(int program) const {
    return programDisplayName((*engine_->programs)[static_cast<std::size_t>(program)], program);
}

tresult Vst3Delay::getParamStringByValue(ParamID id, ParamValue valueNormalized, String128 string) {
    if (string == nullptr || !isParamId(id)) return kInvalidArgument;
    if (id == kProgramParamId) {
        toString128(programText(static_cast<int>(plainOf(id, valueNormalized))), string);
        return kResultOk;
    }
    float crossover = 0.0f;
    ParamRef ref{};
    if (splitParameterIndex(static_cast<int>(id), ref))
        crossover = controllerValue(parameterIndex(ParamKind::CrossFrequency, ref.line));
    toString128(textOf(id, valueNormalized, crossover), string);
    return kResultOk;
}

tresult Vst3Delay::getParamValueByString(ParamID id, TChar* string, ParamValue& valueNormalized) {
    if (string == nullptr || !isParamId(id)) return kInvalidArgument;
    const std::string text = fromUtf16(string);
    if (id == kProgramParamId) {
        for (int program = 0; program < kNumPrograms; ++program) {
            if (programText(program) != text) continue;
            valueNormalized = normalizedOf(id, program);
            return kResultOk;
        }
        return kResultFalse;
    }
    float crossover = 0.0f;
    ParamRef ref{};
    if (splitParameterIndex(static_cast<int>(id), ref))
        crossover = controllerValue(parameterIndex(ParamKind::CrossFrequency, ref.line));
    const std::optional<ParamValue> value = normalizedOfText(id, text, crossover);
    if (!value) return kResultFalse;
    valueNormalized = *value;
    return kResultOk;
}

ParamValue Vst3Delay::normalizedParamToPlain(ParamID id, ParamValue valueNormalized) {
    return isParamId(id) ? plainOf(id, valueNormalized) : valueNormalized;
}

ParamValue Vst3Delay::plainParamToNormalized(ParamID id, ParamValue plainValue) {
    return isParamId(id) ? normalizedOf(id, plainValue) : plainValue;
}

float Vst3Delay::controllerValue(int index) const {
    return index >= 0 && index < kNumParameters ? values_[static_cast<std::size_t>(index)].load()
                                                : 0.0f;
}

ParamValue Vst3Delay::getParamNormalized(ParamID id) {
    if (id < static_cast<ParamID>(kNumParameters))
        return normalizedOfValue(static_cast<int>(id), controllerValue(static_cast<int>(id)));
    if (id == kProgramParamId) return normalizedOf(id, program_);
    if (id == kBypassParamId) return bypassed_ ? 1.0 : 0.0;
    if (const int line = tempoLineOf(id); line >= 0) return normalizedOf(id, tempoInUse(line));
    return 0.0;
}

tresult Vst3Delay::setParamNormalized(ParamID id, ParamValue value) {
    if (!isParamId(id) || !std::isfinite(value)) return kInvalidArgument;
    if (id < static_cast<ParamID>(kNumParameters)) {
        const int index = static_cast<int>(id);
        values_[static_cast<std::size_t>(index)] = valueOfNormalized(index, value);
        if (editor_) editor_->parameterChanged(index, values_[static_cast<std::size_t>(index)]);
    } else if (id == kProgramParamId) {
        program_ = static_cast<int>(plainOf(id, value));
    } else if (id == kBypassParamId) {
        bypassed_ = plainOf(id, value) >= 1.0;
    }
    return kResultOk;
}

tresult Vst3Delay::setComponentHandler(IComponentHandler* handler) {
    if (handler == handler_) return kResultOk;
    if (handler != nullptr) handler->addRef();
    if (handler_ != nullptr) handler_->release();
    handler_ = handler;
    return kResultOk;
}

IPlugView* Vst3Delay::createView(FIDString name) {
#if TESK_HAS_EDITOR
    if (editor_ && name != nullptr && std::strcmp(name, ViewType::kEditor) == 0)
        return makeVst3View(*this);
#else
    (void)name;
#endif
    return nullptr;
}

void Vst3Delay::editParameter(int index, float value) {
    if (index < 0 || index >= kNumParameters) return;
    if (!active_.load(std::memory_order_acquire)) {
        engine_->setParameter(index, value);
    } else {
        values_[static_cast<std::size_t>(index)] = value;
        if (editor_) editor_->parameterChanged(index, value);
    }
    if (handler_ == nullptr) return;
    const auto id = static_cast<ParamID>(index);
    const bool bracket = !gestures_[static_cast<std::size_t>(index)];
    if (bracket) handler_->beginEdit(id);
    handler_->performEdit(id, normalizedOfValue(index, controllerValue(index)));
    if (bracket) handler_->endEdit(id);
}

void Vst3Delay::editGesture(int index, bool begin) {
    if (index < 0 || index >= kNumParameters) return;
    bool& inGesture = gestures_[static_cast<std::size_t>(index)];
    if (inGesture == begin) return;
    inGesture = begin;
    if (handler_ == nullptr) return;
    if (begin)
        handler_->beginEdit(static_cast<ParamID>(index));
    else
        handler_->endEdit(static_cast<ParamID>(index));
}

// ---------------------------------------------------------------- IUnitInfo

int32 Vst3Delay::getUnitCount() {
    return kNumUnits;
}

tresult Vst3Delay::getUnitInfo(int32 unitIndex, UnitInfo& info) {
    return describeUnit(unitIndex, info) ? kResultOk : kInvalidArgument;
}

int32 Vst3Delay::getProgramListCount() {
    return 1;
}

tresult Vst3Delay::getProgramListInfo(int32 listIndex, ProgramListInfo& info) {
    if (listIndex != 0) return kInvalidArgument;
    info = ProgramListInfo{};
    info.id = kProgramListId;
    toString128("Programs", info.name);
    info.programCount = kNumPrograms;
    return kResultOk;
}

tresult Vst3Delay::getProgramName(ProgramListID listId, int32 programIndex, String128 name) {
    if (listId != kProgramListId || programIndex < 0 || programIndex >= kNumPrograms ||
        name == nullptr)
        return kInvalidArgument;
    toString128(programText(programIndex), name);
    return kResultOk;
}

tresult Vst3Delay::getProgramInfo(ProgramListID, int32, CString, String128) {
    return kResultFalse;
}

tresult Vst3Delay::hasProgramPitchNames(ProgramListID, int32) {
    return kResultFalse;
}

tresult Vst3Delay::getProgramPitchName(ProgramListID, int32, int16, String128) {
    return kResultFalse;
}

UnitID Vst3Delay::getSelectedUnit() {
    return selectedUnit_;
}

tresult Vst3Delay::selectUnit(UnitID unitId) {
    if (unitId < 0 || unitId >= kNumUnits) return kInvalidArgument;
    selectedUnit_ = unitId;
    return kResultOk;
}

tresult Vst3Delay::getUnitByBus(MediaType, BusDirection, int32, int32, UnitID& unitId) {
    unitId = kRootUnitId;
    return kResultOk;
}

tresult Vst3Delay::setUnitProgramData(int32, int32, IBStream*) {
    return kNotImplemented;
}

uint32 Vst3Delay::getProcessContextRequirements() {
    return IProcessContextRequirements::kNeedTempo;
}

} // namespace tesk::vst3
