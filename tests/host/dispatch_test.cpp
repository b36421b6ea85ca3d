#include <gtest/gtest.h>

#include <cstring>

#include "test_effect.h"

namespace {

intptr_t send(TestEffect& effect, int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
              float opt = 0.0f) {
    AEffect* record = effect.effectRecord();
    return record->dispatcher(record, opcode, index, value, ptr, opt);
}

}  // namespace

TEST(Dispatch, FirstGenerationDefaults) {
    TestEffect effect;
    char text[16] = "something";
    EXPECT_EQ(send(effect, effOpen), 0);
    EXPECT_EQ(send(effect, effGetProgram), 0);
    EXPECT_EQ(send(effect, effSetProgramName, 0, 0, text), 0);
    EXPECT_EQ(text[0], '\0');
    std::strcpy(text, "x");
    for (int32_t opcode : {effGetProgramName, effGetParamLabel, effGetParamDisplay, effGetParamName}) {
        std::strcpy(text, "x");
        EXPECT_EQ(send(effect, opcode, 0, 0, text), 0);
        EXPECT_STREQ(text, "");
    }
    EXPECT_EQ(send(effect, effIdentify), 0x4E764566);
    void* chunk = nullptr;
    EXPECT_EQ(send(effect, effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(send(effect, effSetChunk, 0, 4, text), 0);
    for (int32_t opcode = effEditGetRect; opcode <= effEditSleep; ++opcode) EXPECT_EQ(send(effect, opcode, 0, 0, text), 0);
}

TEST(Dispatch, ProgramNumberMustLieInsideTheBank) {
    TestEffect effect(nullptr, 3, 2);
    send(effect, effSetProgram, 0, 2);
    EXPECT_EQ(send(effect, effGetProgram), 2);
    send(effect, effSetProgram, 0, 3);
    send(effect, effSetProgram, 0, -1);
    EXPECT_EQ(effect.programSelections, 1);
    EXPECT_EQ(send(effect, effGetProgram), 2);
}

TEST(Dispatch, LevelIsScaledAndTruncated) {
    TestEffect effect;
    effect.level = 1.0f;
    EXPECT_EQ(send(effect, effGetVu), 32767);
    effect.level = 0.5f;
    EXPECT_EQ(send(effect, effGetVu), 16383);
    effect.level = -0.5f;
    EXPECT_EQ(send(effect, effGetVu), -16383);
    effect.level = 1e30f;
    EXPECT_EQ(send(effect, effGetVu), 0);
}

TEST(Dispatch, RateBlockAndSwitching) {
    TestEffect effect;
    send(effect, effSetSampleRate, 0, 0, nullptr, 48000.0f);
    send(effect, effSetBlockSize, 0, 256);
    EXPECT_EQ(effect.storedRate(), 48000.0f);
    EXPECT_EQ(effect.storedBlock(), 256);
    send(effect, effMainsChanged, 0, 0);
    send(effect, effMainsChanged, 0, 7);
    send(effect, effMainsChanged, 0, -1);
    EXPECT_EQ(effect.suspends, 1);
    EXPECT_EQ(effect.resumes, 2);
    EXPECT_EQ(send(effect, effSetBlockSizeAndSampleRate, 0, 512, nullptr, 96000.0f), 1);
    EXPECT_EQ(effect.storedRate(), 96000.0f);
    EXPECT_EQ(effect.storedBlock(), 512);
    EXPECT_EQ(effect.rateChanges, 1);
    EXPECT_EQ(send(effect, effSetBlockSizeAndSampleRate, 0, 0, nullptr, -1.0f), 1);
    EXPECT_EQ(effect.storedRate(), 96000.0f);
    EXPECT_EQ(effect.storedBlock(), 512);
}

TEST(Dispatch, SecondGenerationDefaults) {
    TestEffect effect;
    char text[64] = "text";
    VstPinProperties pin{};
    EXPECT_EQ(send(effect, effProcessEvents, 0, 0, text), 0);
    EXPECT_EQ(send(effect, effCanBeAutomated, 12345), 1);
    EXPECT_EQ(send(effect, effString2Parameter, 0, 0, text), 0);
    EXPECT_EQ(send(effect, effGetNumProgramCategories), 1);
    EXPECT_EQ(send(effect, effGetProgramNameIndexed, 0, 0, text), 0);
    EXPECT_EQ(send(effect, effCopyProgram, 1), 0);
    EXPECT_EQ(send(effect, effConnectInput, 0, 1), 1);
    EXPECT_EQ(send(effect, effConnectOutput, 0, 0), 1);
    EXPECT_EQ(send(effect, effGetInputProperties, 0, 0, &pin), 0);
    EXPECT_EQ(send(effect, effGetOutputProperties, 0, 0, &pin), 0);
    EXPECT_EQ(send(effect, effGetPlugCategory), 0);
    effect.flagSynth(true);
    EXPECT_EQ(send(effect, effGetPlugCategory), 2);
    EXPECT_EQ(send(effect, effGetCurrentPosition), 0);
    EXPECT_EQ(send(effect, effGetDestinationBuffer), 0);
    for (int32_t opcode : {effOfflineNotify, effOfflinePrepare, effOfflineRun, effProcessVarIo, effSetSpeakerArrangement})
        EXPECT_EQ(send(effect, opcode, 0, 0, text), 0);
    EXPECT_EQ(send(effect, effSetBypass, 0, 1), 0);
    for (int32_t opcode : {effGetEffectName, effGetErrorText, effGetVendorString, effGetProductString})
        EXPECT_EQ(send(effect, opcode, 0, 0, text), 0);
    EXPECT_EQ(send(effect, effGetVendorVersion), 0);
    EXPECT_EQ(send(effect, effVendorSpecific, 1, 2, text, 3.0f), 0);
    EXPECT_EQ(send(effect, effCanDo, 0, 0, text), 0);
    EXPECT_EQ(send(effect, effGetTailSize), 0);
    EXPECT_EQ(send(effect, effIdle), 0);
    EXPECT_EQ(send(effect, effGetIcon), 0);
    EXPECT_EQ(send(effect, effSetViewPosition, 1, 2), 0);
    EXPECT_EQ(send(effect, effGetParameterProperties, 0, 0, text), 0);
    EXPECT_EQ(send(effect, effKeysRequired), 1);
    EXPECT_EQ(send(effect, effGetVstVersion), 2);
}

TEST(Dispatch, OpcodesOutsideBothTablesAnswerZero) {
    TestEffect effect;
    for (int32_t opcode : {59, 60, 1000, -1, -25, INT32_MIN, INT32_MAX}) EXPECT_EQ(send(effect, opcode, 1, 1), 0) << opcode;
}

TEST(Dispatch, MissingPointerIsNeverFollowed) {
    TestEffect effect;
    for (int32_t opcode = 0; opcode <= effGetVstVersion; ++opcode) {
        if (opcode == effClose) continue;
        const intptr_t answer = send(effect, opcode, 0, 0, nullptr);
        if (opcode == effIdentify) EXPECT_EQ(answer, 0x4E764566);
        else if (opcode == effConnectInput || opcode == effConnectOutput || opcode == effSetBlockSizeAndSampleRate ||
                 opcode == effKeysRequired || opcode == effCanBeAutomated || opcode == effGetNumProgramCategories ||
                 opcode == effGetVstVersion)
            EXPECT_NE(answer, 0) << opcode;
        else
            EXPECT_EQ(answer, 0) << opcode;
    }
}

TEST(Dispatch, EditorOpcodesReachTheEditor) {
    TestEffect effect;
    bool destroyed = false;
    auto* editor = new TestEditor(&effect, &destroyed);
    ERect* rect = reinterpret_cast<ERect*>(&effect);
    EXPECT_EQ(send(effect, effEditGetRect, 0, 0, &rect), 0);
    EXPECT_EQ(rect, nullptr);
    int parent = 0;
    EXPECT_EQ(send(effect, effEditOpen, 0, 0, &parent), 0);
    EXPECT_EQ(send(effect, effEditClose), 0);
    send(effect, effEditIdle);
    EXPECT_EQ(editor->updates, 0);
    editor->requestEditorUpdate();
    send(effect, effEditIdle);
    send(effect, effEditIdle);
    EXPECT_EQ(editor->updates, 1);
    EXPECT_EQ(effect.flags() & effFlagsHasEditor, effFlagsHasEditor);
}
