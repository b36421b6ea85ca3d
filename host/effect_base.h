// The base layers of every effect: EffectBase owns the record, the host callback
// and the editor pointer and answers the first-generation opcodes; EffectBaseX
// adds the second-generation opcodes and host services. The order of the virtual
// operations is part of the design; new ones go at the end.
#pragma once

#include <cstdint>

#include "dsp/shared_value.h"
#include "host/vst_abi.h"

class EditorBase;

constexpr float kDefaultSampleRate = 44100.0f;
constexpr int32_t kDefaultBlockSize = 1024;
constexpr float kDefaultIoRatio = 2.0f;
constexpr int32_t kDefaultInputs = 1;
constexpr int32_t kDefaultOutputs = 2;
constexpr double kVuScale = 32767.0;
constexpr int32_t kSynthCategory = 2;
constexpr int32_t kInterfaceVersion = 2;
constexpr int32_t kFormatWidth = 8;

class EffectBase {
public:
    EffectBase(audioMasterCallback callback, int32_t programs, int32_t parameters);
    virtual ~EffectBase();

    virtual void setParameterValue(int32_t index, float value);
    virtual float getParameterValue(int32_t index);
    virtual void automateParameter(int32_t index, float value);
    virtual void processAccumulate(float** inputs, float** outputs, int32_t frames) = 0;
    virtual void processReplace(float** inputs, float** outputs, int32_t frames);
    virtual intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    virtual void onOpen();
    virtual void onClose();
    virtual int32_t currentProgramIndex();
    virtual void selectProgram(int32_t program);
    virtual void renameProgram(char* name);
    virtual void programName(char* name);
    virtual void parameterUnit(int32_t index, char* text);
    virtual void parameterText(int32_t index, char* text);
    virtual void parameterName(int32_t index, char* text);
    virtual float vuLevel();
    virtual int32_t saveChunk(void** data, bool isPreset);
    virtual int32_t loadChunk(void* data, int32_t byteSize, bool isPreset);
    virtual void changeSampleRate(float rate);
    virtual void changeBlockSize(int32_t frames);
    virtual void onSuspend();
    virtual void onResume();
    virtual void assignUniqueId(int32_t id);
    virtual void declareInputs(int32_t count);
    virtual void declareOutputs(int32_t count);
    virtual void flagHasVu(bool on);
    virtual void flagHasClip(bool on);
    virtual void flagCanMono(bool on);
    virtual void flagCanReplace(bool on);
    virtual void flagProgramChunks(bool on);
    virtual void declareRealtimeQualities(int32_t qualities);
    virtual void declareOfflineQualities(int32_t qualities);
    virtual void declareLatency(int32_t samples);
    virtual float sampleRate();
    virtual int32_t blockSize();
    virtual int32_t hostVersion();
    virtual int32_t hostCurrentId();
    virtual void hostIdle();
    virtual bool inputPinConnected(int32_t pin);
    virtual bool outputPinConnected(int32_t pin);
    virtual void formatDecibels(float gain, char* text);
    virtual void formatHertz(float samples, char* text);
    virtual void formatMilliseconds(float samples, char* text);
    virtual void formatNumber(float value, char* text, int8_t offset);
    virtual void formatInteger(int32_t value, char* text);

    // Attaches the effect's editor (null detaches it) and keeps the record's
    // editor flag in step. The earlier editor is not destroyed.
    void attachEditor(EditorBase* newEditor);

    AEffect* effectRecord() { return &record; }
    EditorBase* attachedEditor() const { return editor; }
    static EffectBase* fromRecord(AEffect* effect);

    // Rates and block sizes an effect can run at: finite and above zero.
    static bool usableSampleRate(float rate);
    static bool usableBlockSize(int32_t frames) { return frames > 0; }

protected:
    // Opcodes whose operation reads or writes through ptr.
    static bool requiresPointer(int32_t opcode);
    void setFlag(int32_t mask, bool on);
    intptr_t callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    bool hasHost() const { return hostCallback != nullptr; }

    AEffect record;
    float currentSampleRate = kDefaultSampleRate;
    EditorBase* editor = nullptr;
    audioMasterCallback hostCallback;
    int32_t programCount;
    int32_t parameterCount;
    SharedValue<int32_t> currentProgram{0};  // also read by automation on the audio thread
    int32_t currentBlockSize = kDefaultBlockSize;

private:
    intptr_t dispatchEditor(int32_t opcode, void* ptr);
};

class EffectBaseX : public EffectBase {
public:
    EffectBaseX(audioMasterCallback callback, int32_t programs, int32_t parameters);
    ~EffectBaseX() override;

    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) override;

    virtual void requestMidi(int32_t filter);
    virtual VstTimeInfo* hostTimeInfo(int32_t filter);
    virtual int32_t hostTempoAt(int32_t position);
    virtual int32_t receiveEvents(VstEvents* events);
    virtual int32_t hostAutomatableCount();
    virtual int32_t hostParameterQuantization();
    virtual bool parameterAutomatable(int32_t index);
    virtual bool parameterFromText(int32_t index, char* text);
    virtual float channelParameter(int32_t channel, int32_t index);
    virtual int32_t programCategoryCount();
    virtual bool programNameAt(int32_t category, int32_t index, char* text);
    virtual bool copyProgramTo(int32_t destination);
    virtual bool notifyIoChanged();
    virtual bool requestIdle();
    virtual bool requestWindowSize(int32_t width, int32_t height);
    virtual float refreshSampleRate();
    virtual int32_t refreshBlockSize();
    virtual int32_t hostInputLatency();
    virtual int32_t hostOutputLatency();
    virtual AEffect* previousEffect(int32_t pin);
    virtual AEffect* nextEffect(int32_t pin);
    virtual void onInputConnection(int32_t pin, bool connected);
    virtual void onOutputConnection(int32_t pin, bool connected);
    virtual bool inputPinInfo(int32_t index, VstPinProperties* properties);
    virtual bool outputPinInfo(int32_t index, VstPinProperties* properties);
    virtual int32_t effectCategory();
    virtual int32_t hostReplaceMode();
    virtual int32_t hostProcessLevel();
    virtual int32_t hostAutomationState();
    virtual void flagAsync(bool on);
    virtual void flagExternalBuffer(bool on);
    virtual int32_t currentPosition();
    virtual float* destinationBuffer();
    virtual bool hostOfflineRead(VstOfflineTask* task, int32_t option, bool readSource);
    virtual bool hostOfflineWrite(VstOfflineTask* task, int32_t option);
    virtual bool hostOfflineStart(VstAudioFile* files, int32_t fileCount, int32_t newFileCount);
    virtual int32_t hostOfflinePass();
    virtual int32_t hostOfflineMetaPass();
    virtual bool onOfflineNotify(VstAudioFile* files, int32_t count, bool start);
    virtual bool onOfflinePrepare(VstOfflineTask* tasks, int32_t count);
    virtual bool onOfflineRun(VstOfflineTask* tasks, int32_t count);
    virtual int32_t offlinePassCount();
    virtual int32_t offlineMetaPassCount();
    virtual void hostSetOutputRate(float rate);
    virtual bool hostSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output);
    virtual bool hostVendorText(char* text);
    virtual bool hostProductText(char* text);
    virtual int32_t hostVendorVersion();
    virtual int32_t hostVendorCall(int32_t index, intptr_t value, void* ptr, float opt);
    virtual bool hostCanDo(char* text);
    virtual void flagSynth(bool on);
    virtual void flagNoTail(bool on);
    virtual int32_t hostLanguage();
    virtual void* hostOpenWindow(VstWindow* window);
    virtual bool hostCloseWindow(VstWindow* window);
    virtual void* hostDirectory();
    virtual bool hostUpdateDisplay();
    virtual bool processVariableBlock(VstVariableIo* io);
    virtual bool applySpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output);
    virtual bool changeBlockSizeAndRate(int32_t frames, float rate);
    virtual bool applyBypass(bool on);
    virtual bool effectName(char* text);
    virtual bool errorText(char* text);
    virtual bool vendorText(char* text);
    virtual bool productText(char* text);
    virtual int32_t vendorVersion();
    virtual intptr_t vendorCall(int32_t index, intptr_t value, void* ptr, float opt);
    virtual int32_t answerCanDo(char* text);
    virtual void* icon();
    virtual bool moveView(int32_t x, int32_t y);
    virtual int32_t tailSize();
    virtual int32_t onIdle();
    virtual bool parameterInfo(int32_t index, VstParameterProperties* properties);
    virtual bool wantsKeys();
    virtual int32_t interfaceVersion();

    // Hands an event list to the host; true only when the host answers exactly 1.
    bool hostSendEvents(VstEvents* events);

private:
    intptr_t dispatchV2(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
};

// Supplied by the product: builds the one effect this library offers, or null.
EffectBase* createEffectInstance(audioMasterCallback callback);
