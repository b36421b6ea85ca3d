#include <gtest/gtest.h>

#include <cstring>

#include "test_effect.h"

TEST(EffectRecord, BareEffectCarriesTheBaseDefaults) {
    TestEffect effect(nullptr, 3, 2);
    AEffect* record = effect.effectRecord();
    EXPECT_EQ(record->magic, 0x56737450);
    EXPECT_EQ(record->numPrograms, 3);
    EXPECT_EQ(record->numParams, 2);
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, 0);
    EXPECT_EQ(record->initialDelay, 0);
    EXPECT_EQ(record->ioRatio, 2.0f);
    EXPECT_EQ(record->uniqueID, 0x4E6F4566);
    EXPECT_EQ(record->version, 2);
    EXPECT_EQ(record->object, static_cast<void*>(static_cast<EffectBase*>(&effect)));
    EXPECT_EQ(record->user, nullptr);
    EXPECT_EQ(EffectBase::fromRecord(record), &effect);
    EXPECT_EQ(effect.sampleRate(), 44100.0f);
    EXPECT_EQ(effect.blockSize(), 1024);
    const char* reserved = reinterpret_cast<const char*>(&record->reservedEntry);
    for (size_t i = 0; i < sizeof(AEffect) - offsetof(AEffect, reservedEntry); ++i) ASSERT_EQ(reserved[i], 0);
}

TEST(EffectRecord, EachFlagSetterTouchesOnlyItsOwnBit) {
    struct Setter {
        void (*apply)(TestEffect&, bool);
        int32_t mask;
    };
    const Setter setters[] = {
        {[](TestEffect& e, bool on) { e.flagHasClip(on); }, effFlagsHasClip},
        {[](TestEffect& e, bool on) { e.flagHasVu(on); }, effFlagsHasVu},
        {[](TestEffect& e, bool on) { e.flagCanMono(on); }, effFlagsCanMono},
        {[](TestEffect& e, bool on) { e.flagCanReplace(on); }, effFlagsCanReplacing},
        {[](TestEffect& e, bool on) { e.flagProgramChunks(on); }, effFlagsProgramChunks},
        {[](TestEffect& e, bool on) { e.flagSynth(on); }, effFlagsIsSynth},
        {[](TestEffect& e, bool on) { e.flagNoTail(on); }, effFlagsNoSoundInStop},
        {[](TestEffect& e, bool on) { e.flagAsync(on); }, effFlagsExtIsAsync},
        {[](TestEffect& e, bool on) { e.flagExternalBuffer(on); }, effFlagsExtHasBuffer},
    };
    TestEffect effect;
    bool destroyed = false;
    new TestEditor(&effect, &destroyed);
    const int32_t all = effFlagsHasEditor | effFlagsHasClip | effFlagsHasVu | effFlagsCanMono | effFlagsCanReplacing |
                        effFlagsProgramChunks | effFlagsIsSynth | effFlagsNoSoundInStop | effFlagsExtIsAsync |
                        effFlagsExtHasBuffer;
    for (const Setter& setter : setters) setter.apply(effect, true);
    EXPECT_EQ(effect.flags(), all);
    for (const Setter& setter : setters) {
        setter.apply(effect, false);
        EXPECT_EQ(effect.flags(), all & ~setter.mask);
        setter.apply(effect, true);
    }
    EditorBase* editor = effect.attachedEditor();
    effect.attachEditor(nullptr);
    EXPECT_EQ(effect.flags(), all & ~effFlagsHasEditor);
    delete editor;
    EXPECT_TRUE(destroyed);
}

TEST(EffectRecord, SettersStoreIntoTheRecord) {
    TestEffect effect;
    effect.assignUniqueId(0x41424344);
    effect.declareInputs(5);
    effect.declareOutputs(6);
    effect.declareLatency(77);
    effect.declareRealtimeQualities(8);
    effect.declareOfflineQualities(9);
    const AEffect* record = effect.effectRecord();
    EXPECT_EQ(record->uniqueID, 0x41424344);
    EXPECT_EQ(record->numInputs, 5);
    EXPECT_EQ(record->numOutputs, 6);
    EXPECT_EQ(record->initialDelay, 77);
    EXPECT_EQ(record->realQualities, 8);
    EXPECT_EQ(record->offQualities, 9);
}

TEST(EffectRecord, CloseThroughTheRecordAnswersOneAndDestroysTheEditor) {
    auto* effect = new TestEffect;
    bool destroyed = false;
    new TestEditor(effect, &destroyed);
    int closes = 0;
    effect->closes = &closes;
    AEffect* record = effect->effectRecord();
    EXPECT_EQ(record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f), 1);
    EXPECT_EQ(closes, 1);
    EXPECT_TRUE(destroyed);
}

TEST(EffectRecord, ParameterAndProcessEntriesReachTheEffect) {
    TestEffect effect;
    AEffect* record = effect.effectRecord();
    record->setParameter(record, 1, 0.75f);
    EXPECT_EQ(effect.lastParameter, 1);
    EXPECT_EQ(effect.lastValue, 0.75f);
    EXPECT_EQ(record->getParameter(record, 1), 0.0f);
    float left[4] = {1, 2, 3, 4};
    float* channels[2] = {left, left};
    record->processReplacing(record, channels, channels, 4);
    record->process(record, channels, channels, 4);
    EXPECT_EQ(left[3], 4.0f);
}
