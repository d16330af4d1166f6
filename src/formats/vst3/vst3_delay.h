// One TeskDelay instance as a VST 3 plug-in: a single object that is both the
// audio processor and the edit controller, around one `DelayEngine` with a
// `BypassFade` before the host's buffers.
//
// One object rather than two joined by messages: the engine, its programs and
// the texts are one thing here, and a controller that reads them directly can
// never disagree with what is heard. Hosts that want to run the two halves in
// separate processes run it in one, as they do every such plug-in.
//
// Threads. The host's user-interface thread calls the controller and the
// component's set-up; its audio thread calls process. While the component is
// inactive the user-interface thread drives the engine itself; once active only
// process does, and a state loaded meanwhile waits for the next block. The
// controller keeps the values the host and the editor see; the engine's own
// changes (an input that falls back, the tempo a line plays at, a program load)
// reach the host as output parameter changes from process.
#pragma once

#include "bypass_fade.h"
#include "delay_engine.h"
#include "editor_interface.h"
#include "saved_state.h"
#include "vst3_api.h"

#include <array>
#include <atomic>
#include <memory>
#include <vector>

namespace tesk::vst3 {

/// The class id hosts know TeskDelay by; fixed for ever.
inline constexpr Uid kTeskDelayClassId = make_uid(0x254309E7, 0xCE884E27, 0xBE62290F, 0xA63E3999);

class Vst3Delay final : public IComponent,
                        public IAudioProcessor,
                        public IEditController,
                        public IUnitInfo,
                        public IProcessContextRequirements,
                        private EngineListener {
  public:
    /// A new instance with one reference; null when its memory cannot be had.
    static Vst3Delay* create();

    // FUnknown
    tresult TESK_PLUGIN_API queryInterface(const TUID iid, void** obj) override;
    uint32 TESK_PLUGIN_API addRef() override;
    uint32 TESK_PLUGIN_API release() override;

    // IPluginBase
    tresult TESK_PLUGIN_API initialize(FUnknown* context) override;
    tresult TESK_PLUGIN_API terminate() override;

    // IComponent
    tresult TESK_PLUGIN_API getControllerClassId(TUID classId) override;
    tresult TESK_PLUGIN_API setIoMode(IoMode mode) override;
    int32 TESK_PLUGIN_API getBusCount(MediaType type, BusDirection dir) override;
    tresult TESK_PLUGIN_API getBusInfo(MediaType type, BusDirection dir, int32 index,
                                       BusInfo& bus) override;
    tresult TESK_PLUGIN_API getRoutingInfo(RoutingInfo& inInfo, RoutingInfo& outInfo) override;
    tresult TESK_PLUGIN_API activateBus(MediaType type, BusDirection dir, int32 index,
                                        TBool state) override;
    tresult TESK_PLUGIN_API setActive(TBool state) override;
    tresult TESK_PLUGIN_API setState(IBStream* state) override;
    tresult TESK_PLUGIN_API getState(IBStream* state) override;

    // IAudioProcessor
    tresult TESK_PLUGIN_API setBusArrangements(SpeakerArrangement* inputs, int32 numIns,
                                               SpeakerArrangement* outputs, int32 numOuts) override;
    tresult TESK_PLUGIN_API getBusArrangement(BusDirection dir, int32 index,
                                              SpeakerArrangement& arr) override;
    tresult TESK_PLUGIN_API canProcessSampleSize(int32 symbolicSampleSize) override;
    uint32 TESK_PLUGIN_API getLatencySamples() override;
    tresult TESK_PLUGIN_API setupProcessing(ProcessSetup& setup) override;
    tresult TESK_PLUGIN_API setProcessing(TBool state) override;
    tresult TESK_PLUGIN_API process(ProcessData& data) override;
    uint32 TESK_PLUGIN_API getTailSamples() override;

    // IEditController
    tresult TESK_PLUGIN_API setComponentState(IBStream* state) override;
    tresult TESK_PLUGIN_API getParameterInfo(int32 paramIndex, ParameterInfo& info) override;
    int32 TESK_PLUGIN_API getParameterCount() override;
    tresult TESK_PLUGIN_API getParamStringByValue(ParamID id, ParamValue valueNormalized,
                                                  String128 string) override;
    tresult TESK_PLUGIN_API getParamValueByString(ParamID id, TChar* string,
                                                  ParamValue& valueNormalized) override;
    ParamValue TESK_PLUGIN_API normalizedParamToPlain(ParamID id,
                                                      ParamValue valueNormalized) override;
    ParamValue TESK_PLUGIN_API plainParamToNormalized(ParamID id, ParamValue plainValue) override;
    ParamValue TESK_PLUGIN_API getParamNormalized(ParamID id) override;
    tresult TESK_PLUGIN_API setParamNormalized(ParamID id, ParamValue value) override;
    tresult TESK_PLUGIN_API setComponentHandler(IComponentHandler* handler) override;
    IPlugView* TESK_PLUGIN_API createView(FIDString name) override;

    // IUnitInfo
    int32 TESK_PLUGIN_API getUnitCount() override;
    tresult TESK_PLUGIN_API getUnitInfo(int32 unitIndex, UnitInfo& info) override;
    int32 TESK_PLUGIN_API getProgramListCount() override;
    tresult TESK_PLUGIN_API getProgramListInfo(int32 listIndex, ProgramListInfo& info) override;
    tresult TESK_PLUGIN_API getProgramName(ProgramListID listId, int32 programIndex,
                                           String128 name) override;
    tresult TESK_PLUGIN_API getProgramInfo(ProgramListID listId, int32 programIndex,
                                           CString attributeId, String128 attributeValue) override;
    tresult TESK_PLUGIN_API hasProgramPitchNames(ProgramListID listId, int32 programIndex) override;
    tresult TESK_PLUGIN_API getProgramPitchName(ProgramListID listId, int32 programIndex,
                                                int16 midiPitch, String128 name) override;
    UnitID TESK_PLUGIN_API getSelectedUnit() override;
    tresult TESK_PLUGIN_API selectUnit(UnitID unitId) override;
    tresult TESK_PLUGIN_API getUnitByBus(MediaType type, BusDirection dir, int32 busIndex,
                                         int32 channel, UnitID& unitId) override;
    tresult TESK_PLUGIN_API setUnitProgramData(int32 listOrUnitId, int32 programIndex,
                                               IBStream* data) override;

    // IProcessContextRequirements
    uint32 TESK_PLUGIN_API getProcessContextRequirements() override;

    // ---- what the editor's seam uses (user-interface thread)

    /// The interface value of parameter `index` (0..60) as the controller holds it.
    float controllerValue(int index) const;
    /// Sets parameter `index` from the editor: the controller, the host (inside
    /// a gesture of the control's own, else bracketed by one), and the engine at
    /// once while inactive.
    void editParameter(int index, float value);
    /// Starts or ends a gesture of the editor on parameter `index`.
    void editGesture(int index, bool begin);
    /// The tempo line `line` plays at now (any thread).
    float tempoInUse(int line) const { return engine_->tempoInUse[static_cast<std::size_t>(line)]; }
    /// The editor, made with the instance where the build has one; may be null.
    EditorInterface* editor() const { return editor_.get(); }

  private:
    Vst3Delay();
    ~Vst3Delay();

    // EngineListener
    void parameterChanged(std::int32_t index, float value) override;
    void ownParameterChange(std::int32_t index) override;

    /// A parameter change at a sample offset of the block being processed.
    struct Change {
        int32 offset;
        ParamID id;
        ParamValue value;
    };
    int32 collectChanges(IParameterChanges* changes);
    void applyChange(ParamID id, ParamValue value);
    void runFrames(const HostTransport& transport, float** in, float** out, int32 from, int32 to);
    bool bindBuffers(ProcessData& data, float** in, float** out);
    void markSilence(ProcessData& data, float** out);
    void reportChanges(IParameterChanges* out);
    void report(IParameterChanges* out, ParamID id, ParamValue value);

    /// Loads `state` into the engine, the bypass and the controller (not while a block runs).
    void applyState(const SavedState& state);
    /// The state the engine holds, or the one waiting for the next block.
    SavedState currentState() const;
    std::string programText(int program) const;
    void tellHost(ParamID id, ParamValue value);

    std::atomic<uint32> refs_{1};
    std::unique_ptr<DelayEngine> engine_;
    BypassFade bypass_;
    std::unique_ptr<EditorInterface> editor_;
    IComponentHandler* handler_ = nullptr;

    // set-up (user-interface thread)
    double rate_ = DelayEngine::kDefaultSampleRate;
    int32 maxFrames_ = DelayEngine::kMaxFrames;
    std::array<bool, 2> auxActive_{};
    std::vector<float> scratch_; ///< the block's input or output where the host gives none
    std::atomic<bool> active_{false};
    UnitID selectedUnit_ = kRootUnitId;

    // the controller's values: what the host and the editor see
    std::array<Relaxed<float>, kNumParameters> values_{};
    Relaxed<std::int32_t> program_{0};
    Relaxed<bool> bypassed_{false};
    std::array<bool, kNumParameters> gestures_{};

    // A state loaded while active, for the next block. The slot passes from
    // the user-interface thread (writing) to the audio thread (reading) and back.
    enum Slot : int { kEmpty, kWriting, kReady, kReading };
    SavedState pendingState_;
    std::atomic<int> pendingSlot_{kEmpty};
    /// Puts `state` in the slot for the next block (user-interface thread).
    void postState(const SavedState& state);
    /// Applies the state waiting in the slot, if any; true when there was one
    /// (the thread that drives the engine).
    bool takePostedState();

    // the block being processed (audio thread)
    static constexpr int32 kMaxChanges = 1024;
    std::array<Change, kMaxChanges> changes_{};
    bool inProcess_ = false;
    std::array<bool, kNumParameters> ownChanged_{};
    bool programLoaded_ = false;
    std::array<float, kNumLines> reportedTempo_{};
};

} // namespace tesk::vst3
