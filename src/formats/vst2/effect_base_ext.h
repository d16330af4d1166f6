// The extended host-interface base: opcodes 25 to 76 and the further host
// services, each with its default. Effects derive from this.
#pragma once

#include "effect_base.h"

#include <cstdint>

struct VstEvents;
struct VstOfflineTask;
struct VstAudioFile;
struct VstVariableIo;
struct VstParameterProperties;
struct MidiProgramName;
struct MidiProgramCategory;
struct MidiKeyName;
struct VstFileSelect;
struct VstPatchChunkInfo;

namespace tesk {

class EffectBaseExt : public EffectBase {
public:
    EffectBaseExt(audioMasterCallback hostCallback, std::int32_t numPrograms,
                  std::int32_t numParams);

    /// Handles opcodes 25 to 76 and hands every other one to `EffectBase`.
    VstIntPtr dispatch(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                       float opt) override;

    virtual EditorInterface* getEditor();
    virtual std::int32_t wantEvents(std::int32_t filter);
    /// The host's transport for the fields in `mask`; null when it gives none.
    /// Called from the audio thread during processing.
    virtual VstTimeInfo* getTimeInfo(std::int32_t mask);
    virtual std::int32_t getHostTempoAt(std::int32_t position);
    virtual std::int32_t processEvents(VstEvents* events);
    virtual std::int32_t getNumAutomatableParameters();
    virtual std::int32_t getParameterQuantization();
    virtual bool canBeAutomated(std::int32_t index);
    virtual bool textToParameter(std::int32_t index, char* text);
    virtual float getChannelParameter(std::int32_t channel, std::int32_t index);
    virtual std::int32_t getNumCategories();
    virtual bool getProgramNameIndexed(std::int32_t category, std::int32_t index, char* text);
    virtual bool copyProgram(std::int32_t destination);
    virtual bool ioChanged();
    virtual bool needIdle();
    virtual bool sizeWindow(std::int32_t width, std::int32_t height);
    /// Asks the host for its sample rate; a positive answer replaces `sampleRate`.
    virtual float updateSampleRate();
    /// Asks the host for its block size; a positive answer replaces `blockSize`.
    virtual std::int32_t updateBlockSize();
    virtual std::int32_t getInputLatency();
    virtual std::int32_t getOutputLatency();
    virtual AEffect* getPreviousPlug(std::int32_t input);
    virtual AEffect* getNextPlug(std::int32_t output);
    virtual void inputConnected(std::int32_t index, bool state);
    virtual void outputConnected(std::int32_t index, bool state);
    virtual bool getInputProperties(std::int32_t index, VstPinProperties* properties);
    virtual bool getOutputProperties(std::int32_t index, VstPinProperties* properties);
    virtual std::int32_t getPlugCategory();
    virtual std::int32_t willProcessReplacing();
    virtual std::int32_t getCurrentProcessLevel();
    virtual std::int32_t getAutomationState();
    virtual void setWantAsyncOperation(bool state);
    virtual void setHasExternalBuffer(bool state);
    virtual std::int32_t reportCurrentPosition();
    virtual float* reportDestinationBuffer();
    virtual bool offlineRead(VstOfflineTask* offline, std::int32_t option, bool readSource);
    virtual bool offlineWrite(VstOfflineTask* offline, std::int32_t option);
    virtual bool offlineStart(VstAudioFile* files, std::int32_t count, std::int32_t newCount);
    virtual bool offlineGetCurrentPass();
    virtual bool offlineGetCurrentMetaPass();
    virtual bool offlineNotify(VstAudioFile* files, std::int32_t count, bool start);
    virtual bool offlinePrepare(VstOfflineTask* offline, std::int32_t count);
    virtual bool offlineRun(VstOfflineTask* offline, std::int32_t count);
    virtual std::int32_t offlineGetNumPasses();
    virtual std::int32_t offlineGetNumMetaPasses();
    virtual std::int32_t setOutputSampleRate(float rate);
    virtual VstSpeakerArrangement* getInputSpeakerArrangement();
    virtual VstSpeakerArrangement* getOutputSpeakerArrangement();
    virtual bool getHostVendorString(char* text);
    virtual bool getHostProductString(char* text);
    virtual std::int32_t getHostVendorVersion();
    virtual VstIntPtr hostVendorSpecific(std::int32_t index, VstIntPtr value, void* ptr, float opt);
    virtual bool hostCanDo(char* text);
    virtual void setIsSynth(bool state);
    virtual void setNoTail(bool state);
    virtual std::int32_t getHostLanguage();
    virtual void* openWindow(void* window);
    virtual bool closeWindow(void* window);
    virtual void* getDirectory();
    virtual bool updateDisplay();
    virtual bool processVariableIo(VstVariableIo* io);
    virtual bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output);
    virtual bool getSpeakerArrangement(VstSpeakerArrangement** input,
                                       VstSpeakerArrangement** output);
    virtual void setBlockSizeAndSampleRate(std::int32_t blockSize, float sampleRate);
    virtual bool setBypass(bool onOff);
    virtual bool getEffectName(char* name);
    virtual bool getErrorText(char* text);
    virtual bool getVendorString(char* text);
    virtual bool getProductString(char* text);
    virtual std::int32_t getVendorVersion();
    virtual VstIntPtr vendorSpecific(std::int32_t index, VstIntPtr value, void* ptr, float opt);
    virtual std::int32_t canDo(char* text);
    virtual void* getIcon();
    virtual bool setViewPosition(std::int32_t x, std::int32_t y);
    virtual std::int32_t getTailSize();
    virtual std::int32_t effectIdle();
    virtual bool getParameterProperties(std::int32_t index, VstParameterProperties* properties);
    virtual bool keysRequired();
    virtual std::int32_t getVstVersion();
    virtual std::int32_t getMidiProgramName(std::int32_t channel, MidiProgramName* name);
    virtual std::int32_t getCurrentMidiProgram(std::int32_t channel, MidiProgramName* current);
    virtual std::int32_t getMidiProgramCategory(std::int32_t channel, MidiProgramCategory* category);
    virtual bool hasMidiProgramsChanged(std::int32_t channel);
    virtual bool getMidiKeyName(std::int32_t channel, MidiKeyName* keyName);
    virtual bool beginSetProgram();
    virtual bool endSetProgram();
    /// Tells the host a mouse gesture on parameter `index` starts (user-interface thread).
    virtual bool beginEdit(std::int32_t index);
    /// Tells the host the gesture on parameter `index` ended.
    virtual bool endEdit(std::int32_t index);
    virtual bool openFileSelector(VstFileSelect* selector);
    virtual std::int32_t setTotalSampleToProcess(std::int32_t value);
    virtual std::int32_t getNextShellPlugin(char* name);
    virtual std::int32_t startProcess();
    virtual std::int32_t stopProcess();
    virtual bool setPanLaw(std::int32_t type, float value);
    virtual std::int32_t beginLoadBank(VstPatchChunkInfo* info);
    virtual std::int32_t beginLoadProgram(VstPatchChunkInfo* info);
    /// Replaces `*arrangement` by a zeroed one with room for `channels` speakers.
    virtual bool allocateArrangement(VstSpeakerArrangement** arrangement, std::int32_t channels);
    /// Frees `*arrangement` and stores null.
    virtual bool deallocateArrangement(VstSpeakerArrangement** arrangement);
    virtual bool copySpeaker(VstSpeakerProperties* to, VstSpeakerProperties* from);
    /// Makes `*to` a copy of `from`.
    virtual bool matchArrangement(VstSpeakerArrangement** to, VstSpeakerArrangement* from);
};

} // namespace tesk
