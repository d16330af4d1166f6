// The host-interface base of every effect: the effect record handed to the
// host, its entries, the opcode dispatcher for opcodes 0 to 24 and a default
// for each of its operations.
#pragma once

#include "editor_interface.h"
#include "relaxed.h"
#include "vst2.h"

#include <cstdint>

namespace tesk {

class EffectBase {
public:
    /// Sets up the record for `numPrograms` programs and `numParams` parameters.
    EffectBase(audioMasterCallback hostCallback, std::int32_t numPrograms, std::int32_t numParams);
    /// Destroys the editor, if any.
    virtual ~EffectBase();
    EffectBase(const EffectBase&) = delete;
    EffectBase& operator=(const EffectBase&) = delete;

    virtual void setParameter(std::int32_t index, float value);
    virtual float getParameter(std::int32_t index);
    /// Sets the parameter, then tells the host (audioMasterAutomate).
    virtual void setParameterAutomated(std::int32_t index, float value);
    virtual void process(float** inputs, float** outputs, std::int32_t sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, std::int32_t sampleFrames);
    /// Answers one host opcode; any thread the host uses.
    virtual VstIntPtr dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                               float opt);

    virtual void open();
    virtual void close();
    virtual std::int32_t getProgram();
    virtual void setProgram(std::int32_t program);
    virtual void setProgramName(char* name);
    virtual void getProgramName(char* name);
    virtual void getParameterLabel(std::int32_t index, char* label);
    virtual void getParameterDisplay(std::int32_t index, char* text);
    virtual void getParameterName(std::int32_t index, char* text);
    virtual float getVu();
    virtual std::int32_t getChunk(void** data, bool isPreset);
    virtual std::int32_t setChunk(void* data, std::int32_t byteSize, bool isPreset);
    virtual void setSampleRate(float sampleRate);
    virtual void setBlockSize(std::int32_t blockSize);
    virtual void suspend();
    virtual void resume();

    virtual void setUniqueId(std::int32_t id);
    virtual void setNumInputs(std::int32_t inputs);
    virtual void setNumOutputs(std::int32_t outputs);
    virtual void setHasVu(bool state);
    virtual void setHasClip(bool state);
    virtual void setCanMono(bool state);
    virtual void setCanReplacing(bool state);
    virtual void setProgramsAreChunks(bool state);
    virtual void setRealtimeQualities(std::int32_t qualities);
    virtual void setOfflineQualities(std::int32_t qualities);
    virtual void setInitialDelay(std::int32_t delay);
    virtual float getSampleRate();
    virtual std::int32_t getBlockSize();

    // Host services (audioMaster requests).
    virtual std::int32_t getHostVersion();
    virtual std::int32_t getHostCurrentId();
    virtual void hostIdle();
    virtual bool isInputConnected(std::int32_t input);
    virtual bool isOutputConnected(std::int32_t output);

    // Text tools for value texts.
    virtual void decibelsToText(float value, char* text);
    virtual void samplesToHertzText(float samples, char* text);
    virtual void samplesToMillisecondsText(float samples, char* text);
    virtual void floatToText(float value, char* text);
    virtual void integerToText(std::int32_t value, char* text);

    /// The record the host drives this instance through.
    AEffect* getAeffect() { return &effectRecord; }
    /// The instance behind a record made here.
    static EffectBase* fromRecord(AEffect* effect);

protected:
    /// One host request with this instance's record; `fallback` without a callback.
    VstIntPtr callHost(std::int32_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                       void* ptr = nullptr, float opt = 0.0f, VstIntPtr fallback = 0);
    /// Sets or clears `bit` in the record's flags.
    void setFlag(std::int32_t bit, bool state);
    /// effEditGetRect: the editor's area as the host's record, in `*rect`.
    std::int32_t editorRect(ERect** rect);

public:
    float sampleRate = 44100.0f;
    EditorInterface* editor = nullptr;
    audioMasterCallback hostCallback;
    std::int32_t numPrograms;
    std::int32_t numParams;
    Relaxed<std::int32_t> currentProgram{0}; ///< written by program changes, read by any thread
    std::int32_t blockSize = 1024;
    AEffect effectRecord;
    ERect editorArea{}; ///< what effEditGetRect hands the host
};

/// A rate the host may set: finite and at least 1 Hz.
bool isUsableSampleRate(float rate);
/// The block size a dispatcher value stands for; 0 when it is not a usable size.
std::int32_t blockSizeOf(VstIntPtr value);

/// Identifies the effect kind in the record when no other is set ("NoEf").
constexpr std::int32_t kDefaultUniqueId = fourCharCode("NoEf");
/// What effIdentify answers ("NvEf").
constexpr std::int32_t kIdentifyAnswer = fourCharCode("NvEf");

} // namespace tesk
