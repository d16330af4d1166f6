// The VST 2 edition of the delay: the effect record, dispatcher and host
// services of `EffectBaseExt` around one `DelayEngine`. It asks its host for
// the transport while it processes and once when it is made, keeps a followed
// host tempo in the lines' `Tempo` parameters (VST 2 hosts read parameters back
// whenever they like), and tells its editor of every parameter change.
#pragma once

#include "delay_engine.h"
#include "editor_interface.h"
#include "effect_base_ext.h"

#include <cstdint>

namespace tesk {

class DelayEffect;

/// Makes the editor of a new effect; null for an effect without one.
using EditorFactory = EditorInterface* (*)(DelayEffect& effect);

class DelayEffect : public EffectBaseExt, public DelayEngine, private EngineListener {
  public:
    /// Builds the effect for `host`. `makeEditor` creates the editor (none when
    /// null); `vectorUnit` overrides the processor probe (tests use it).
    explicit DelayEffect(audioMasterCallback host, EditorFactory makeEditor = nullptr,
                         const bool* vectorUnit = nullptr);
    ~DelayEffect() override;

    // The engine's program; the record's own copy is not used.
    using DelayEngine::currentProgram;

    // Parameters (any thread).
    void setParameter(std::int32_t index, float value) override;
    float getParameter(std::int32_t index) override;

    // Processing (the host's audio thread). Both entries replace the outputs.
    void process(float** inputs, float** outputs, std::int32_t frames) override;
    void processReplacing(float** inputs, float** outputs, std::int32_t frames) override;
    /// One block of at most `kMaxFrames` frames, at the tempo the host answers now.
    void processBlock(float** inputs, float** outputs, std::int32_t frames);

    // Programs.
    std::int32_t getProgram() override;
    void setProgram(std::int32_t program) override;
    void setProgramName(char* name) override;
    void getProgramName(char* name) override;
    bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text) override;

    // Texts hosts show.
    void getParameterLabel(std::int32_t index, char* label) override;
    void getParameterDisplay(std::int32_t index, char* text) override;
    void getParameterName(std::int32_t index, char* text) override;

    /// The engine's memory for `rate`; the record keeps the rate the engine took.
    void setSampleRate(float rate) override;
    /// Clears the delay memory, keeping delay times.
    void resume() override;

    // What the effect says of itself.
    bool getInputProperties(std::int32_t index, VstPinProperties* properties) override;
    bool getOutputProperties(std::int32_t index, VstPinProperties* properties) override;
    std::int32_t getPlugCategory() override;
    bool getEffectName(char* name) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    std::int32_t getVendorVersion() override;

    /// The host's answer for the fields in `vstMask`, as the engine reads it
    /// (audio thread while processing).
    HostTransport hostTransport(std::int32_t vstMask);

  private:
    // EngineListener: the editor hears of every change; VST 2 hosts read values back.
    void parameterChanged(std::int32_t index, float value) override;

    /// Sets every line's `Tempo` to the host's tempo, when the host gives one.
    void applyHostTempoToAllLines();
};

} // namespace tesk
