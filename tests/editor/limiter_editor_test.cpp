// The plug-in's editor over a real limiter effect: start-up values, the
// rectangle, the window lifecycle, and edits that reach the host.
#include <gtest/gtest.h>

#include "editor/limiter_editor.h"
#include "editor_fakes.h"
#include "plugin/limiter_effect.h"
#include "support/recording_host.h"

namespace {

uint32_t at(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

class LimiterEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::instance().reset();
        effect = new LimiterPlugin(RecordingHost::callback);
        editor = effect->limiterEditor;
        RecordingHost::instance().calls.clear();
    }
    void TearDown() override {
        delete effect;
        RecordingHost::instance().reset();
    }

    std::vector<std::string> readoutTexts() {
        RecordingTarget target;
        editor->isOpen = 1;
        editor->drawFrame(target, kFullFace, kNoControl);
        editor->isOpen = 0;
        std::vector<std::string> texts;
        for (const Readout& r : readouts(target)) {
            texts.push_back(r.text);
        }
        return texts;
    }

    LimiterPlugin* effect = nullptr;
    LimiterEditor* editor = nullptr;
    FakeWindowSystem windows;
};

}  // namespace

TEST_F(LimiterEditorTest, StartsWithTheDefaultsOfPanelAndParameters) {
    const float expected[] = {0.5f, 89.0f, 0.0f, 1.0f, 1.0f, 0.0f};
    for (int32_t i = 0; i < kParameterCount; ++i) {
        EXPECT_EQ(effect->paramValue[i], expected[i]) << i;
    }
    EXPECT_EQ(editor->redrawRequest, kFullFace);
    EXPECT_EQ(editor->needlePosition, 81.0f);
    EXPECT_EQ(editor->storedGain, 0.5f);
    EXPECT_EQ(editor->isOpen, 0);
    EXPECT_EQ(effect->engine.kneeLamp, 1.0f);
    EXPECT_NEAR(effect->inputGainLinear, 0.99999887f, 1e-7f);
}

TEST_F(LimiterEditorTest, RectangleIsTheSameBeforeDuringAndAfterOpening) {
    for (int pass = 0; pass < 3; ++pass) {
        ERect* rect = nullptr;
        EXPECT_EQ(effect->dispatch(effEditGetRect, 0, 0, &rect, 0.0f), 1);
        ASSERT_NE(rect, nullptr);
        EXPECT_EQ(rect->top, 0);
        EXPECT_EQ(rect->left, 0);
        EXPECT_EQ(rect->bottom, 289);
        EXPECT_EQ(rect->right, 221);
        if (pass == 0) {
            ASSERT_EQ(editor->openEditorWith(&windows, nullptr), 1);
        } else {
            editor->closeEditor();
        }
    }
    EXPECT_EQ(editor->editorRect(nullptr), 1);
}

TEST_F(LimiterEditorTest, OpeningTwiceKeepsOneWindowAndClosingTwiceIsHarmless) {
    EXPECT_EQ(editor->openEditorWith(&windows, nullptr), 1);
    EXPECT_EQ(editor->openEditorWith(&windows, nullptr), 1);
    EXPECT_EQ(windows.liveWindows, 1);
    EXPECT_EQ(editor->isOpen, 1);
    EXPECT_EQ(effect->dispatch(effEditIdle, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(windows.lastWindow->idles, 1) << "the host's idle call reaches the window";
    editor->closeEditor();
    editor->closeEditor();
    EXPECT_EQ(windows.liveWindows, 0);
    EXPECT_EQ(windows.joined(), "register create load destroy release unregister");
}

TEST_F(LimiterEditorTest, DestroyingTheEffectClosesItsOpenWindowFirst) {
    ASSERT_EQ(editor->openEditorWith(&windows, nullptr), 1);
    delete effect;
    effect = nullptr;
    EXPECT_EQ(windows.liveWindows, 0);
    EXPECT_EQ(windows.joined(), "register create load destroy release unregister");
    EXPECT_EQ(EditorSession::openWindowCount(), 0);
}

TEST_F(LimiterEditorTest, WithoutAWindowTheHostIsToldNoEditorOpened) {
    // No parent to hold a child window (or, in a build without one, no window system).
    EXPECT_EQ(effect->dispatch(effEditOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(editor->isOpen, 0);
    EXPECT_EQ(EditorSession::openWindowCount(), 0);
    effect->dispatch(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(effect->dispatch(effEditIdle, 0, 0, nullptr, 0.0f), 0);
}

TEST_F(LimiterEditorTest, ReadoutsUseTheEffectsFormatterAndGainTable) {
    EXPECT_EQ(readoutTexts(), (std::vector<std::string>{"0.0db", "70.0%"}));
    const struct {
        float gain;
        float knee;
        const char* gainText;
        const char* kneeText;
    } cases[] = {
        {0.0f, 0.0f, "-40.db", "0.00%"},   {340.0f / 801, 1.0f, "-6.0db", "0.78%"},
        {399.0f / 801, 127.0f, "-0.1db", "100.%"}, {401.5f / 801, 89.0f, "0.10db", "70.0%"},
        {480.5f / 801, 89.0f, "8.00db", "70.0%"},  {800.5f / 801, 89.0f, "39.9db", "70.0%"},
        {1.0f, 89.0f, "40.0db", "70.0%"},
    };
    for (const auto& c : cases) {
        effect->setParameterValue(kInGain, c.gain);
        effect->setParameterValue(kKnee, c.knee / 127.0f);
        EXPECT_EQ(readoutTexts(), (std::vector<std::string>{c.gainText, c.kneeText})) << c.gain;
    }
}

TEST_F(LimiterEditorTest, ClicksAndDragsReachTheHostAsAutomation) {
    editor->isOpen = 1;
    RecordingTarget target;
    editor->onLeftButtonDown(at(50, 140));
    editor->onButtonUp();
    auto automations = RecordingHost::instance().callsWith(audioMasterAutomate);
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, kIq);
    EXPECT_EQ(automations[0].opt, 1.0f);
    EXPECT_EQ(effect->getParameterValue(kIq), 1.0f);

    RecordingHost::instance().calls.clear();
    editor->onLeftButtonDown(at(60, 210));
    editor->onMouseMove(at(60, 210 - 86));
    editor->onTimerTick(target);
    editor->onButtonUp();
    automations = RecordingHost::instance().callsWith(audioMasterAutomate);
    ASSERT_EQ(automations.size(), 1u);
    EXPECT_EQ(automations[0].index, kInGain);
    EXPECT_NEAR(automations[0].opt, 0.6f, 1e-5f);
    EXPECT_GT(effect->inputGainLinear, 2.5f);  // about +8 dB
    EXPECT_EQ(editor->changedControl, kNoControl);  // drawn in that tick
    editor->isOpen = 0;
}
