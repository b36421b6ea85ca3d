// A bare effect on the base layers, counting what the dispatcher reaches.
#pragma once

#include "host/editor_base.h"
#include "host/effect_base.h"

class TestEffect : public EffectBaseX {
public:
    explicit TestEffect(audioMasterCallback callback = nullptr, int32_t programs = 3, int32_t parameters = 2)
        : EffectBaseX(callback, programs, parameters) {}

    void processAccumulate(float**, float**, int32_t) override {}
    void setParameterValue(int32_t index, float value) override {
        lastParameter = index;
        lastValue = value;
        ++parameterSets;
    }
    void selectProgram(int32_t program) override {
        ++programSelections;
        EffectBaseX::selectProgram(program);
    }
    float vuLevel() override { return level; }
    void changeSampleRate(float rate) override {
        ++rateChanges;
        EffectBaseX::changeSampleRate(rate);
    }
    void onSuspend() override { ++suspends; }
    void onResume() override { ++resumes; }
    void onClose() override { ++*closes; }

    using EffectBase::callHost;
    float storedRate() const { return currentSampleRate; }
    int32_t storedBlock() const { return currentBlockSize; }
    int32_t flags() const { return record.flags; }

    float level = 0.0f;
    int32_t lastParameter = -1;
    float lastValue = 0.0f;
    int parameterSets = 0;
    int programSelections = 0;
    int rateChanges = 0;
    int suspends = 0;
    int resumes = 0;
    int closeCount = 0;
    int* closes = &closeCount;
};

// An editor that reports its own destruction.
class TestEditor : public EditorBase {
public:
    TestEditor(EffectBase* owner, bool* destroyed) : EditorBase(owner), destroyedFlag(destroyed) {}
    ~TestEditor() override { *destroyedFlag = true; }
    void editorUpdate() override { ++updates; }
    int updates = 0;

private:
    bool* destroyedFlag;
};
