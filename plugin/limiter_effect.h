// The limiter as an effect: six parameters, ten programs, identity, and the
// audio path that hands each block to the engine with this block's routing.
#pragma once

#include <cstdint>

#include "dsp/engine_timing.h"
#include "dsp/limiter_engine.h"
#include "dsp/shared_value.h"
#include "host/effect_base.h"

class LimiterEditor;

// What a host in this process learns of the editor's edits as they happen,
// on the thread the editor runs on: each value the user set, and the hold on
// a control from the press to the release. The VST 2 record carries the
// values only, with every other change the effect makes itself.
class EffectObserver {
public:
    virtual ~EffectObserver() = default;
    virtual void parameterEdited(int32_t index, float value) = 0;
    virtual void editBegun(int32_t index) = 0;
    virtual void editEnded(int32_t index) = 0;
};

constexpr int32_t kProgramCount = 10;
constexpr int32_t kParameterCount = 6;
constexpr int32_t kInputCount = 2;
constexpr int32_t kOutputCount = 2;
constexpr int32_t kParameterSlots = 11;
constexpr int32_t kParameterNameLength = 22;
constexpr int32_t kProgramNameLength = 23;
constexpr int32_t kProgramValueSlots = 20;
constexpr int32_t kLimiterId = fourCharCode('V', 'q', 'z', 'u');
// The names hosts list the effect by: effect and product, and vendor.
constexpr char kEffectName[] = "Vrn-Quillo_Limiter";
constexpr char kVendorName[] = "Kzo v1.2";

// Natural start values of the six parameters, the same in every program, and
// their top values (each parameter runs from 0).
constexpr float kParameterStart[] = {0.5f, 89.0f, 0.0f, 1.0f, 1.0f, 0.0f};
constexpr float kParameterMaximum[kParameterCount] = {1.0f, 127.0f, 1.0f, 1.0f, 1.0f, 2.0f};

enum ParameterIndex : int32_t {
    kInGain = 0,
    kKnee = 1,
    kIq = 2,
    kStereoLink = 3,
    kAutoSelectChannels = 4,
    kForceChannels = 5,
};

// A program's values are written by automation on the audio thread as well as
// by the host's program calls, so each is a shared value.
struct ProgramRecord {
    SharedValue<float> values[kProgramValueSlots];
    char name[kProgramNameLength + 1];
    ProgramRecord();
    void copyFrom(const ProgramRecord& other);
};

class LimiterEffect : public EffectBaseX {
public:
    explicit LimiterEffect(audioMasterCallback callback);
    ~LimiterEffect() override;

    void setParameterValue(int32_t index, float value) override;
    float getParameterValue(int32_t index) override;
    void automateParameter(int32_t index, float value) override;
    void processAccumulate(float** inputs, float** outputs, int32_t frames) override;
    void processReplace(float** inputs, float** outputs, int32_t frames) override;
    void selectProgram(int32_t program) override;
    void renameProgram(char* name) override;
    void programName(char* name) override;
    void parameterUnit(int32_t index, char* text) override;
    void parameterText(int32_t index, char* text) override;
    void parameterName(int32_t index, char* text) override;
    float vuLevel() override;
    void changeSampleRate(float rate) override;
    void changeBlockSize(int32_t frames) override;
    void onSuspend() override;
    void onResume() override;
    void flagCanMono(bool on) override;
    void declareLatency(int32_t samples) override;
    bool inputPinConnected(int32_t pin) override;
    bool outputPinConnected(int32_t pin) override;
    bool programNameAt(int32_t category, int32_t index, char* text) override;
    bool copyProgramTo(int32_t destination) override;
    bool inputPinInfo(int32_t index, VstPinProperties* properties) override;
    bool outputPinInfo(int32_t index, VstPinProperties* properties) override;
    bool hostCanDo(char* text) override;
    bool effectName(char* text) override;
    bool vendorText(char* text) override;
    bool productText(char* text) override;
    int32_t answerCanDo(char* text) override;
    virtual bool hostSendEvents(VstEvents* events);

    // Reports a value the plug-in changed itself (editor, program, engine) to the
    // host, after storing it as if the host had set it.
    void notifyParameterChange(int32_t index);
    void updateInputGain();
    // The editor's edits: a value it stored (reported as notifyParameterChange
    // reports it, and to the observer), and its hold on a control.
    void editorChanged(int32_t index);
    void beginEdit(int32_t index);
    void endEdit(int32_t index);
    void setObserver(EffectObserver* newObserver) { observer = newObserver; }

    // Programs by index, without switching: each one's stored (normalised)
    // values and its name.
    float programValue(int32_t program, int32_t index) const;
    void storeProgramValue(int32_t program, int32_t index, float value);
    void renameProgramAt(int32_t program, const char* name);
    int32_t programIndex() const { return currentProgram; }

    // How a block with these buffers is routed, decided as the next block
    // decides it, without changing anything; `showRouting` also marks it for
    // the editor, as a block does.
    Routing plannedRouting(float** inputs, float** outputs);
    void showRouting(const Routing& routing);

    // The engine's timing for the rate last set, and whether blocks run.
    const EngineTiming& timing() const { return engineTimingValues; }
    bool engineRunning() const { return engineReady; }

    // Read and written directly by the editor; each is one 32-bit shared value.
    LimiterEditor* limiterEditor = nullptr;
    SharedValue<float> paramValue[kParameterSlots];
    float paramMinimum[kParameterSlots] = {};
    float paramMaximum[kParameterSlots] = {};
    char paramName[kParameterSlots][kParameterNameLength + 2] = {};
    SharedValue<float> inputGainLinear{1.0f};
    SharedValue<int32_t> leftActive{1};
    SharedValue<int32_t> rightActive{1};
    SharedValue<bool> singleChannel{false};
    LimiterEngine engine;

protected:
    bool creationComplete() const { return programs != nullptr; }

private:
    void initialisePrograms();
    void runBlock(float** inputs, float** outputs, int32_t frames, bool accumulate);
    Routing selectChannels(float** inputs, float** outputs);
    Routing automaticRouting(float** inputs, float** outputs);
    void publishChannelChoice(const Routing& routing);
    bool pinsDiffer(bool inputs);
    BlockParameters blockParameters(const Routing& routing) const;
    bool switchOn(int32_t index) const;

    ProgramRecord* programs = nullptr;
    EffectObserver* observer = nullptr;
    EngineTiming engineTimingValues = timingForRate(kDefaultSampleRate);
    float levelReading = 0.0f;
    SharedValue<bool> engineReady{false};
    bool accumulateMode = false;
    SharedValue<bool> channelChoicePending{true};
    SharedValue<bool> changeFromPlugin{false};
};

class LimiterPlugin : public LimiterEffect {
public:
    explicit LimiterPlugin(audioMasterCallback callback);
    ~LimiterPlugin() override;
    // Everything the effect needs could be made (its programs and its editor).
    bool complete() const { return editor != nullptr && creationComplete(); }
};
