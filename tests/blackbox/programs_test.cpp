#include <cstring>

#include "support/black_box.h"

namespace {

class Programs : public BlackBox {
protected:
    void SetUp() override {
        BlackBox::SetUp();
        effect = create();
        ASSERT_TRUE(effect);
        record = effect->record();
        host().calls.clear();
    }

    std::string nameAt(int32_t index) {
        char text[64];
        std::memset(text, 0x7f, sizeof text);
        if (effect->dispatch(effGetProgramNameIndexed, index, 0, text) == 0) return "<refused>";
        return text;
    }

    std::unique_ptr<EffectHandle> effect;
    AEffect* record = nullptr;
};

}  // namespace

TEST_F(Programs, TenNamedProgramsAfterConstruction) {
    const char* names[10] = {"Default", "empty 1", "empty 2", "empty 4", "empty 4",
                             "empty 5", "empty 6", "empty 7", "empty 8", "empty 9"};
    for (int32_t i = 0; i < 10; ++i) EXPECT_EQ(nameAt(i), std::string(names[i]) + std::string(16, ' ')) << i;
    EXPECT_EQ(nameAt(10), "<refused>");
    EXPECT_EQ(nameAt(-1), "<refused>");
    EXPECT_EQ(effect->text(effGetProgramName), "Default" + std::string(16, ' '));
    EXPECT_EQ(effect->dispatch(effGetProgram), 0);
}

TEST_F(Programs, EachProgramKeepsItsOwnValues) {
    record->setParameter(record, 0, 0.25f);
    effect->dispatch(effSetProgram, 0, 1);
    EXPECT_EQ(record->getParameter(record, 0), 0.5f);
    effect->dispatch(effSetProgram, 0, 0);
    EXPECT_EQ(record->getParameter(record, 0), 0.25f);
    EXPECT_EQ(effect->dispatch(effGetProgram), 0);
}

TEST_F(Programs, SelectingSendsSixAutomationsInOrder) {
    effect->dispatch(effSetProgram, 0, 7);
    const auto automations = host().callsWith(audioMasterAutomate);
    ASSERT_EQ(automations.size(), 6u);
    for (int32_t i = 0; i < 6; ++i) EXPECT_EQ(automations[i].index, i);
    EXPECT_EQ(automations[1].opt, 89.0f / 127.0f);
    EXPECT_EQ(effect->dispatch(effGetProgram), 7);
}

TEST_F(Programs, OutOfRangeSelectionsAreIgnored) {
    effect->dispatch(effSetProgram, 0, 10);
    effect->dispatch(effSetProgram, 0, -1);
    EXPECT_TRUE(host().calls.empty());
    EXPECT_EQ(effect->dispatch(effGetProgram), 0);
}

TEST_F(Programs, RenameCopyAndList) {
    char name[64] = "Mastering bus";
    effect->dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(effect->text(effGetProgramName), "Mastering bus");
    EXPECT_EQ(nameAt(0), "Mastering bus");
    std::strcpy(name, "exactly twenty-three ch");
    effect->dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(effect->text(effGetProgramName), "exactly twenty-three ch");
    std::strcpy(name, "a name far longer than the field can hold");
    effect->dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(effect->text(effGetProgramName), "a name far longer than ");

    record->setParameter(record, 1, 0.0f);
    EXPECT_EQ(effect->dispatch(effCopyProgram, 5), 1);
    EXPECT_EQ(nameAt(5), "a name far longer than ");
    EXPECT_EQ(effect->dispatch(effCopyProgram, 10), 0);
    EXPECT_EQ(effect->dispatch(effCopyProgram, -1), 0);
    EXPECT_EQ(effect->dispatch(effGetProgram), 0);
    effect->dispatch(effSetProgram, 0, 5);
    EXPECT_EQ(record->getParameter(record, 1), 0.0f);
    EXPECT_EQ(effect->text(effGetProgramName), "a name far longer than ");
}

TEST_F(Programs, NoChunksAreOffered) {
    void* data = nullptr;
    EXPECT_EQ(effect->dispatch(effGetChunk, 0, 0, &data), 0);
    EXPECT_EQ(data, nullptr);
    char bytes[8] = {};
    EXPECT_EQ(effect->dispatch(effSetChunk, 0, 8, bytes), 0);
    EXPECT_EQ(record->flags & effFlagsProgramChunks, 0);
}
