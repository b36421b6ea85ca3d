// The limiter as every way of running it in process drives it (the offline
// tool and each plug-in format's adapter): the same effect object the VST 2
// record drives, made by the same factory, offered through typed operations
// instead of opcodes. Parameters by index and normalised value, programs read
// and written by index without switching, whether the engine runs, the meter
// values, the editor's own window, the editor's hold on a control, and the
// routing as the effect decides it. The output bits are the VST 2 build's.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "plugin/limiter_effect.h"

constexpr int32_t kEffectChannels = kInputCount;

// The editor's edits as they happen, on the thread the editor runs on.
class ModelListener {
public:
    virtual ~ModelListener() = default;
    // The user set a parameter in the editor. Normalised.
    virtual void parameterEdited(int32_t index, float value) = 0;
    // The user takes hold of a control in the editor and lets it go.
    virtual void editBegun(int32_t) {}
    virtual void editEnded(int32_t) {}
};

// The values the editor shows beside the parameters: the brickwall stage's
// lowest gain per channel and the soft stage's lowest gain (the knee lamp),
// each 1.0 at rest.
struct MeterValues {
    float gain[kEffectChannels] = {1.0f, 1.0f};
    float kneeLamp = 1.0f;
};

// How the effect routes blocks now, for a stereo pair of buffers or for one
// buffer on both sides (a mono track).
struct PlannedRouting {
    bool automatic;     // Auto Select Channels: the effect picks the channels itself
    int32_t untouched;  // the output the effect leaves as the host handed it, else -1
};

class LimiterModel final : private EffectObserver {
public:
    // Creates the effect; valid() tells whether it could be made whole.
    LimiterModel();
    ~LimiterModel() override;
    LimiterModel(const LimiterModel&) = delete;
    LimiterModel& operator=(const LimiterModel&) = delete;

    bool valid() const { return effect != nullptr; }
    void setListener(ModelListener* newListener) { listener = newListener; }

    // Set-up, never while a block runs. resume() answers whether the engine
    // runs (it cannot at rates it was not made for, or without memory).
    void setSampleRate(float rate);
    void setMaxBlock(int32_t frames);
    bool resume();
    void suspend();
    bool running() const;
    // The look-ahead delay at the rate last set.
    int32_t latency() const;
    // See LimiterEngine::restartAtRest: off, as in the VST 2 build, unless asked for.
    void restartAtRest(bool on);

    // The effect's six parameters, normalised, from any thread. Values outside
    // 0..1 are taken as the nearer end; others are not values.
    void setParameter(int32_t index, float value);
    float parameter(int32_t index) const;

    // Programs. Writing a program's values changes the sound only where the
    // program is then selected.
    int32_t program() const;
    void selectProgram(int32_t index);
    // A program's name as the effect keeps it (padded to its field, as a VST 2
    // host receives it); empty for an unknown program.
    std::string programName(int32_t index) const;
    void renameProgram(int32_t index, const char* name);
    float programValue(int32_t program, int32_t index) const;
    void setProgramValue(int32_t program, int32_t index, float value);

    // One block of at most the block size; two buffers each way (the same
    // buffer twice for a mono track).
    void process(float** inputs, float** outputs, int32_t frames);
    PlannedRouting routing(bool mono) const;
    // Marks the channels such a block would process for the editor: for an
    // editor whose effect runs no audio of its own.
    void showRouting(bool mono);

    // The meter values the engine keeps for the editor. Where the editor runs
    // apart from the audio, the audio side takes them (which returns them to
    // rest) and hands them to the editor's effect, which keeps the lowest until
    // the editor looks.
    MeterValues takeMeters();
    MeterValues meters() const;  // without taking them
    void showMeters(const MeterValues& values);

    // The effect's editor inside a parent of the platform's kind (an HWND on
    // Windows, an X window id on X11), on the user-interface thread. open
    // answers the editor's own window, or null.
    bool hasEditor() const;
    void editorSize(int32_t& width, int32_t& height) const;
    void* openEditor(void* parent);
    void idleEditor();
    void closeEditor();
    bool editorOpen() const;
    // The descriptor whose readable state means the open editor has events to
    // take, for hosts whose loop watches descriptors; -1 where there is none.
    int editorEventDescriptor() const;

    static std::string effectName();
    static std::string vendorName();
    // A pin's label as the effect names it to a host.
    std::string pinLabel(bool input, int32_t index) const;

private:
    void parameterEdited(int32_t index, float value) override;
    void editBegun(int32_t index) override;
    void editEnded(int32_t index) override;

    std::unique_ptr<LimiterPlugin> effect;
    ModelListener* listener = nullptr;
    bool resumed = false;
};
