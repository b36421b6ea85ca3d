// An instance that cannot get its editor or its program bank is never handed to
// the host, and once that has happened the library refuses every later one.
#include <gtest/gtest.h>

#include <new>

#include "editor/limiter_editor.h"
#include "host/module_state.h"
#include "plugin/limiter_effect.h"
#include "support/recording_host.h"

extern "C" AEffect* quilloEntry(audioMasterCallback callback);

namespace {

std::size_t failingSize = 0;
bool failArrays = false;

}  // namespace

// The non-throwing forms the plug-in uses, failing on demand; otherwise they
// take memory from the ordinary forms, so the matching deletes stay valid.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    if (failingSize != 0 && size == failingSize) return nullptr;
    try {
        return ::operator new(size);
    } catch (...) {
        return nullptr;
    }
}

void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    if (failArrays) return nullptr;
    try {
        return ::operator new[](size);
    } catch (...) {
        return nullptr;
    }
}

namespace {

class CreationFailure : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::instance().reset();
        creationFailed = false;
    }
    void TearDown() override {
        failingSize = 0;
        failArrays = false;
        creationFailed = false;
    }

    static AEffect* create() { return quilloEntry(RecordingHost::callback); }
    static void close(AEffect* record) { record->dispatcher(record, effClose, 0, 0, nullptr, 0.0f); }
};

}  // namespace

TEST_F(CreationFailure, WorkingAllocationsGiveAnEffect) {
    AEffect* record = create();
    ASSERT_NE(record, nullptr);
    close(record);
}

TEST_F(CreationFailure, MissingEditorRefusesThisAndEveryLaterInstance) {
    failingSize = sizeof(LimiterEditor);
    EXPECT_EQ(create(), nullptr);
    EXPECT_TRUE(creationFailed);
    failingSize = 0;
    EXPECT_EQ(create(), nullptr);
    EXPECT_EQ(create(), nullptr);
}

TEST_F(CreationFailure, MissingProgramBankIsTreatedLikeAMissingEditor) {
    failArrays = true;
    EXPECT_EQ(create(), nullptr);
    failArrays = false;
    EXPECT_EQ(create(), nullptr);
}
