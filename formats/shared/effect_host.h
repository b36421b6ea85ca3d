// The in-process host of the effect that every other way of running the limiter
// shares (the offline tool and each plug-in format's adapter). It creates the
// effect through its entry point and drives it only through the effect record,
// exactly as a VST 2 host does, so the sound, the parameters and their texts
// are the VST 2 build's by construction.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "dsp/shared_value.h"
#include "host/vst_abi.h"
#include "plugin/limiter_effect.h"

namespace formats {

using EffectEntry = AEffect* (*)(audioMasterCallback);

// The host version announced to the effect.
constexpr intptr_t kHostVersion = 2400;
constexpr int32_t kEffectChannels = kInputCount;
constexpr int32_t kEffectParameters = kParameterCount;
constexpr int32_t kEffectPrograms = kProgramCount;
// Text fields handed to the effect: generous beside the effect's own widths.
constexpr int32_t kTextBuffer = 256;

// A name or unit without the padding the effect hands over with it.
std::string trimmed(const std::string& text);

// What the effect tells its host on its own initiative, passed on to the
// format's host. Called on the thread the effect calls from: the editor's
// edits and program changes on the user-interface thread, the automatic
// channel choice on the audio thread.
class EffectListener {
public:
    virtual ~EffectListener() = default;
    // The effect changed a parameter itself (its editor, a program change);
    // `value` is normalised, as the record reports it.
    virtual void parameterAutomated(int32_t index, float value) = 0;
};

// The values the editor shows beside the parameters: the brickwall stage's
// lowest gain per channel and the soft stage's lowest gain (the knee lamp),
// each 1.0 at rest.
struct MeterValues {
    float gain[kEffectChannels] = {1.0f, 1.0f};
    float kneeLamp = 1.0f;
};

class EffectHost {
public:
    // Creates the effect; valid() tells whether the effect agreed to run.
    explicit EffectHost(EffectEntry entry, EffectListener* listener = nullptr);
    ~EffectHost();
    EffectHost(const EffectHost&) = delete;
    EffectHost& operator=(const EffectHost&) = delete;

    bool valid() const { return effect != nullptr; }
    void setListener(EffectListener* newListener) { listener = newListener; }

    // Set-up, never while a block runs: the effect relies on its host for that.
    void setSampleRate(float rate);
    void setBlockSize(int32_t frames);
    void resume();
    void suspend();
    bool running() const { return resumed; }
    // The look-ahead delay the effect reports for the rate it was last given.
    int32_t latency() const;

    // Normalised parameters through the record, from any thread.
    void setParameter(int32_t index, float value);
    float parameter(int32_t index) const;
    // The effect's own texts, with the padding it hands to a host.
    std::string parameterName(int32_t index) const;
    std::string parameterUnit(int32_t index) const;
    std::string parameterDisplay(int32_t index) const;
    // The names a host lists the effect by.
    std::string effectName() const;
    std::string vendorName() const;

    // Programs. A program's values are what the effect stored in it: the host
    // sees every change, so it keeps them without switching programs.
    int32_t program() const;
    void selectProgram(int32_t index);
    std::string programName(int32_t index) const;
    void renameProgram(const std::string& name);  // the current program
    float programValue(int32_t program, int32_t index) const;

    // One block of at most the block size; two buffers each way.
    void process(float** inputs, float** outputs, int32_t frames);
    // How the effect routes the blocks it runs now, read as it reads its
    // parameters. With Auto Select Channels on it chooses the channels itself
    // (and may change Force Channels inside a block); with it off and Force
    // Channels on one side it writes that side only and leaves the other
    // output as the host handed it (`untouched`, else -1). A VST 2 host lives
    // with that; a format whose hosts hand over output buffers of any content
    // writes silence there.
    struct Routing {
        bool automatic;
        float choice;  // Force Channels, normalised
        int32_t untouched;
    };
    Routing routing() const;

    // The effect's editor window inside a parent of the platform's kind (an HWND
    // on Windows, an X window id on X11). Open and idle on the user-interface thread.
    bool hasEditor() const;
    bool openEditor(void* parent);
    void idleEditor();
    void closeEditor();
    bool editorOpen() const { return editorShown; }
    // The editor's fixed size in pixels; false where the effect has no editor.
    bool editorSize(int32_t& width, int32_t& height) const;
    // The descriptor whose readable state means the open editor has events to
    // take (its own X connection), for hosts whose loop watches descriptors
    // instead of sending idle calls; -1 where there is none.
    int editorEventDescriptor() const;

    // The meter values the effect's engine keeps for the editor. A format that
    // runs the editor apart from the audio reads them on the audio side
    // (takeMeters also returns them to rest) and hands them to the editor's
    // effect with showMeters, which keeps the lowest until the editor looks.
    MeterValues takeMeters();
    void showMeters(const MeterValues& values);

    AEffect* record() const { return effect; }

private:
    static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                             void* ptr, float opt);
    intptr_t dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) const;
    std::string text(int32_t opcode, int32_t index) const;
    void remember(int32_t index);
    LimiterEffect& limiter() const;

    AEffect* effect = nullptr;
    EffectListener* listener = nullptr;
    bool resumed = false;
    bool editorShown = false;
    SharedValue<int32_t> currentProgram{0};
    std::array<std::array<SharedValue<float>, kEffectParameters>, kEffectPrograms> programValues;
};

}  // namespace formats
