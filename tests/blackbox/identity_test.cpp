#include <cstring>

#include "support/black_box.h"

TEST_F(BlackBox, RecordShowsTheFinishedIdentity) {
    auto effect = create();
    ASSERT_TRUE(effect);
    const AEffect* record = effect->record();
    EXPECT_EQ(record->magic, 0x56737450);
    EXPECT_EQ(record->numPrograms, 10);
    EXPECT_EQ(record->numParams, 6);
    EXPECT_EQ(record->numInputs, 2);
    EXPECT_EQ(record->numOutputs, 2);
    EXPECT_EQ(record->flags, 0x19);
    EXPECT_EQ(record->initialDelay, 40);
    EXPECT_EQ(record->uniqueID, ('V' << 24) | ('q' << 16) | ('z' << 8) | 'u');
    EXPECT_EQ(record->version, 2);
    EXPECT_EQ(record->ioRatio, 2.0f);
    EXPECT_NE(record->object, nullptr);
    EXPECT_NE(record->processReplacing, nullptr);
}

#if !defined(_WIN32) || defined(_WIN64)
// 64-bit hosts look the entry up under its newer name first; it makes the same effect.
TEST_F(BlackBox, NewerEntryNameMakesTheSameEffect) {
    const PluginLibrary::Entry newer = library().entry("VSTPluginMain");
    ASSERT_NE(newer, nullptr);
    AEffect* record = newer(RecordingHost::callback);
    ASSERT_NE(record, nullptr);
    EffectHandle effect(record);
    auto older = create();
    ASSERT_TRUE(older);
    EXPECT_NE(record, older->record());
    EXPECT_EQ(record->magic, 0x56737450);
    EXPECT_EQ(record->uniqueID, older->record()->uniqueID);
    EXPECT_EQ(effect.text(effGetEffectName), "Vrn-Quillo_Limiter");
}
#endif

TEST_F(BlackBox, EntryAsksTheHostVersionFirst) {
    auto effect = create();
    ASSERT_TRUE(effect);
    ASSERT_FALSE(host().calls.empty());
    EXPECT_EQ(host().calls[0].opcode, audioMasterVersion);
    EXPECT_EQ(host().calls[0].effect, nullptr);
}

TEST_F(BlackBox, NoHostOrAVersionZeroHostGetsNoEffect) {
    EXPECT_EQ(entry(nullptr), nullptr);
    host().answer = [](const HostCall&) { return intptr_t{0}; };
    EXPECT_EQ(entry(RecordingHost::callback), nullptr);
    EXPECT_EQ(host().calls.size(), 1u);
}

TEST_F(BlackBox, NamesVendorAndVersions) {
    auto effect = create();
    ASSERT_TRUE(effect);
    EXPECT_EQ(effect->text(effGetEffectName), "Vrn-Quillo_Limiter");
    EXPECT_EQ(effect->text(effGetProductString), "Vrn-Quillo_Limiter");
    EXPECT_EQ(effect->text(effGetVendorString), "Kzo v1.2");
    char text[64];
    EXPECT_EQ(effect->dispatch(effGetEffectName, 0, 0, text), 1);
    EXPECT_EQ(effect->dispatch(effGetVendorString, 0, 0, text), 1);
    EXPECT_EQ(effect->dispatch(effGetProductString, 0, 0, text), 1);
    EXPECT_EQ(effect->dispatch(effGetVendorVersion), 0);
    EXPECT_EQ(effect->dispatch(effGetVstVersion), 2);
    EXPECT_EQ(effect->dispatch(effGetPlugCategory), 0);
    EXPECT_EQ(effect->dispatch(effGetNumProgramCategories), 1);
    EXPECT_EQ(effect->dispatch(effGetTailSize), 0);
    EXPECT_EQ(effect->dispatch(effKeysRequired), 1);
    EXPECT_EQ(effect->dispatch(effIdentify), 0x4E764566);
    EXPECT_EQ(effect->dispatch(effGetVu), 0);
}

TEST_F(BlackBox, CapabilityAnswers) {
    auto effect = create();
    ASSERT_TRUE(effect);
    char text[64];
    const auto ask = [&](const char* capability) {
        std::strcpy(text, capability);
        return effect->dispatch(effCanDo, 0, 0, text);
    };
    EXPECT_EQ(ask("plugAsChannelInsert"), 1);
    EXPECT_EQ(ask("plugAsSend"), 1);
    EXPECT_EQ(ask(""), -1);
    EXPECT_EQ(ask("PlugAsSend"), -1);
    EXPECT_EQ(ask("receiveVstEvents"), -1);
    EXPECT_EQ(effect->dispatch(effCanDo, 0, 0, nullptr), 0);
}

TEST_F(BlackBox, PinDescriptions) {
    auto effect = create();
    ASSERT_TRUE(effect);
    VstPinProperties pin;
    const auto describe = [&](int32_t opcode, int32_t index) {
        std::memset(&pin, 0x5A, sizeof pin);
        return effect->dispatch(opcode, index, 0, &pin);
    };
    const char* inputs[] = {"QX 1", "QX 2"};
    const char* outputs[] = {"QX1", "QX2"};
    for (int32_t i = 0; i < 2; ++i) {
        EXPECT_EQ(describe(effGetInputProperties, i), 1);
        EXPECT_STREQ(pin.label, inputs[i]);
        EXPECT_EQ(pin.flags, 3);
        EXPECT_EQ(static_cast<unsigned char>(pin.shortLabel[0]), 0x5A) << "only label and flags are written";
        EXPECT_EQ(describe(effGetOutputProperties, i), 1);
        EXPECT_STREQ(pin.label, outputs[i]);
        EXPECT_EQ(pin.flags, 3);
    }
    for (int32_t index : {2, 3, -1, INT32_MIN}) {
        EXPECT_EQ(describe(effGetInputProperties, index), 0);
        EXPECT_EQ(static_cast<unsigned char>(pin.label[0]), 0x5A);
        EXPECT_EQ(describe(effGetOutputProperties, index), 0);
    }
}

TEST_F(BlackBox, EditorRectangleOnBothBuilds) {
    auto effect = create();
    ASSERT_TRUE(effect);
    ERect* rect = nullptr;
    EXPECT_EQ(effect->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 289);
    EXPECT_EQ(rect->right, 221);
#if !defined(_WIN32)
    int parent = 0;
    EXPECT_EQ(effect->dispatch(effEditOpen, 0, 0, &parent), 0);
#endif
}

TEST_F(BlackBox, EveryOpcodeIsAnsweredWithoutHarm) {
    auto effect = create();
    ASSERT_TRUE(effect);
    for (int32_t opcode = -2; opcode <= 70; ++opcode) {
        if (opcode == effClose || opcode == effEditOpen) continue;
        effect->dispatch(opcode, 0, 0, nullptr, 0.0f);
    }
    EXPECT_EQ(effect->dispatch(59), 0);
    EXPECT_EQ(effect->dispatch(-1), 0);
    EXPECT_EQ(effect->dispatch(effConnectInput, 0, 1), 1);
    EXPECT_EQ(effect->dispatch(effConnectOutput, 1, 0), 1);
    EXPECT_EQ(effect->dispatch(effCanBeAutomated, 99), 1);
    EXPECT_EQ(effect->dispatch(effString2Parameter, 0, 0, const_cast<char*>("1.0")), 0);
    void* chunk = nullptr;
    EXPECT_EQ(effect->dispatch(effGetChunk, 0, 0, &chunk), 0);
    EXPECT_EQ(chunk, nullptr);
    EXPECT_EQ(effect->close(), 1);
}
