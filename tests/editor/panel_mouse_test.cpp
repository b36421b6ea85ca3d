// Presses, releases and drags on the face, and what reaches the host.
#include <gtest/gtest.h>

#include "editor/editor_panel.h"
#include "editor/panel_regions.h"
#include "editor/skin_layout.h"
#include "editor_fakes.h"

namespace {

uint32_t at(int32_t x, int32_t y) {
    return (static_cast<uint32_t>(static_cast<uint16_t>(y)) << 16) | static_cast<uint16_t>(x);
}

struct MouseFixture : ::testing::Test {
    MouseFixture() : panel(effect) { panel.isOpen = 1; }

    // One timer tick with the pointer at y.
    void dragTo(int32_t x, int32_t y) {
        panel.onMouseMove(at(x, y));
        panel.onTimerTick(target);
    }

    FakeEffect effect;
    EditorPanel panel;
    RecordingTarget target;
};

constexpr int32_t kGainX = 60;
constexpr int32_t kGainY = 210;
constexpr int32_t kKneeX = 150;
constexpr int32_t kKneeY = 210;

}  // namespace

TEST_F(MouseFixture, PositionsAreSignedWords) {
    panel.onMouseMove(at(-5, 300));
    EXPECT_EQ(panel.mouseX, -5);
    EXPECT_EQ(panel.mouseY, 300);
    panel.onMouseMove(at(32767, -32768));
    EXPECT_EQ(panel.mouseX, 32767);
    EXPECT_EQ(panel.mouseY, -32768);
    EXPECT_TRUE(effect.automations.empty());
}

TEST_F(MouseFixture, RegionsIncludeBothBoundsAndDoNotOverlap) {
    const HitRegion regions[] = {kIqLampRegion, kLinkButtonRegion, kKneeKnobRegion, kGainKnobRegion, kAboutHotspot};
    for (int32_t y = -1; y <= 289; ++y) {
        for (int32_t x = -1; x <= 221; ++x) {
            int hits = 0;
            for (const HitRegion& r : regions) {
                hits += regionContains(r, x, y) ? 1 : 0;
            }
            ASSERT_LE(hits, 1) << x << "," << y;
        }
    }
    EXPECT_TRUE(regionContains(kIqLampRegion, 40, 136));
    EXPECT_TRUE(regionContains(kIqLampRegion, 60, 155));
    EXPECT_FALSE(regionContains(kIqLampRegion, 61, 155));
    EXPECT_FALSE(regionContains(kIqLampRegion, 40, 156));
}

TEST_F(MouseFixture, IqClickTogglesAndReachesTheHost) {
    panel.onLeftButtonDown(at(50, 140));
    ASSERT_EQ(effect.automations.size(), 1u);
    EXPECT_EQ(effect.automations[0].index, kFaceIq);
    EXPECT_EQ(effect.automations[0].normalised, 1.0f);
    EXPECT_EQ(panel.dragMode, kNoDrag);
    EXPECT_EQ(panel.changedControl, kNoControl);
    panel.onButtonUp();
    effect.values[kFaceIq] = 0.6f;  // below one counts as off: the toggle turns it on
    panel.onLeftButtonDown(at(50, 140));
    EXPECT_EQ(effect.values[kFaceIq], 1.0f);
    effect.values[kFaceIq] = 2.0f;  // out of range from a host: still ends as a plain switch value
    panel.onLeftButtonDown(at(50, 140));
    EXPECT_EQ(effect.values[kFaceIq], 1.0f);
}

TEST_F(MouseFixture, LinkButtonActsOnlyWhileBothChannelsAreProcessed) {
    effect.single = true;
    panel.onLeftButtonDown(at(100, 150));
    EXPECT_TRUE(effect.automations.empty());
    EXPECT_EQ(effect.values[kFaceStereoLink], 1.0f);
    EXPECT_EQ(effect.gainUpdates, 2);  // the press still recomputes the gain
    effect.single = false;
    panel.onLeftButtonDown(at(100, 150));
    ASSERT_EQ(effect.automations.size(), 1u);
    EXPECT_EQ(effect.automations[0].index, kFaceStereoLink);
    EXPECT_EQ(effect.values[kFaceStereoLink], 0.0f);
}

TEST_F(MouseFixture, GainDragMovesRelativeToTheLastAppliedPosition) {
    panel.onLeftButtonDown(at(kGainX, kGainY));
    EXPECT_EQ(panel.dragMode, kGainDrag);
    dragTo(kGainX, kGainY - 43);
    EXPECT_NEAR(effect.values[kFaceInGain], 0.55f, 1e-5f);
    EXPECT_EQ(effect.automations.back().index, kFaceInGain);
    const int32_t updatesBefore = effect.gainUpdates;
    dragTo(kGainX, kGainY - 43 - 500);
    EXPECT_EQ(effect.values[kFaceInGain], 1.0f);
    EXPECT_EQ(effect.gainUpdates, updatesBefore + 1);
    // Travel beyond the end is forgotten: coming back lowers it at once.
    dragTo(kGainX, kGainY - 533);
    EXPECT_NEAR(effect.values[kFaceInGain], 1.0f - 10 * 0.00116279069f, 1e-6f);
    const size_t sent = effect.automations.size();
    dragTo(kGainX, kGainY - 533);  // no movement, no change
    EXPECT_EQ(effect.automations.size(), sent);
    panel.onButtonUp();
    EXPECT_EQ(panel.dragMode, kNoDrag);
}

TEST_F(MouseFixture, KneeDragIsRelativeToThePressPointInWholeSteps) {
    panel.onLeftButtonDown(at(kKneeX, kKneeY));
    EXPECT_EQ(panel.dragMode, kKneeDrag);
    dragTo(kKneeX, kKneeY - 50);
    EXPECT_EQ(effect.values[kFaceKnee], 127.0f);
    EXPECT_EQ(panel.changedControl, kNoControl);  // cleared by the frame drawn in the tick
    dragTo(kKneeX, kKneeY - 40);
    EXPECT_EQ(effect.values[kFaceKnee], 127.0f);
    dragTo(kKneeX, kKneeY + 60);
    EXPECT_EQ(effect.values[kFaceKnee], 29.0f);
    EXPECT_EQ(effect.automations.back().normalised, 29.0f / 127.0f);
    dragTo(kKneeX, kKneeY + 5000);
    EXPECT_EQ(effect.values[kFaceKnee], 0.0f);
}

TEST_F(MouseFixture, DragStepSetsTheKnobHintForTheNextFrame) {
    panel.onLeftButtonDown(at(kKneeX, kKneeY));
    panel.onMouseMove(at(kKneeX, kKneeY - 3));
    panel.applyDragStep();
    EXPECT_EQ(effect.values[kFaceKnee], 92.0f);
    EXPECT_EQ(panel.changedControl, kKneeControl);
}

TEST_F(MouseFixture, RightClicksToggleGainAndResetKnee) {
    effect.values[kFaceInGain] = 0.7f;
    panel.onRightButtonDown(at(kGainX, kGainY));
    EXPECT_EQ(effect.values[kFaceInGain], 0.5f);
    EXPECT_EQ(panel.changedControl, kGainControl);
    panel.onRightButtonDown(at(kGainX, kGainY));
    EXPECT_EQ(effect.values[kFaceInGain], 0.7f);
    panel.onRightButtonDown(at(kGainX, kGainY));
    EXPECT_EQ(effect.values[kFaceInGain], 0.5f);
    EXPECT_EQ(effect.automations.size(), 3u);
    effect.values[kFaceKnee] = 3.0f;
    panel.onRightButtonDown(at(kKneeX, kKneeY));
    EXPECT_EQ(effect.values[kFaceKnee], 89.0f);
    EXPECT_EQ(panel.changedControl, kKneeControl);
}

TEST_F(MouseFixture, RightClickAtUnityBeforeAnyOtherStaysAtUnityButNotifies) {
    panel.onRightButtonDown(at(kGainX, kGainY));
    EXPECT_EQ(effect.values[kFaceInGain], 0.5f);
    ASSERT_EQ(effect.automations.size(), 1u);
    EXPECT_EQ(effect.automations[0].normalised, 0.5f);
}

TEST_F(MouseFixture, RightPressDuringADragDoesNothingButItsReleaseEndsTheDrag) {
    panel.onLeftButtonDown(at(kGainX, kGainY));
    const int32_t updates = effect.gainUpdates;
    panel.onRightButtonDown(at(kKneeX, kKneeY));
    EXPECT_EQ(effect.values[kFaceKnee], 89.0f);
    EXPECT_EQ(effect.gainUpdates, updates);
    EXPECT_EQ(panel.mouseX, kKneeX);
    panel.onButtonUp();
    EXPECT_EQ(panel.dragMode, kNoDrag);
}

TEST_F(MouseFixture, AboutPanelShowsWhileHeldAndTheFaceReturnsAfter) {
    panel.onLeftButtonDown(at(200, 270));
    EXPECT_EQ(panel.dragMode, kAboutHeld);
    EXPECT_EQ(panel.redrawRequest, kAboutPanel);
    panel.onTimerTick(target);
    ASSERT_FALSE(target.calls.empty());
    EXPECT_EQ(target.calls[0].sourceX, kAboutPanelRegion.x);
    panel.onRightButtonDown(at(kKneeX, kKneeY));
    EXPECT_TRUE(effect.automations.empty());
    panel.onButtonUp();
    EXPECT_EQ(panel.redrawRequest, kFullFace);
    EXPECT_EQ(panel.dragMode, kNoDrag);
}

TEST_F(MouseFixture, PressesOutsideAllRegionsOnlyRecordTheSpot) {
    panel.onLeftButtonDown(at(5, 5));
    panel.onRightButtonDown(at(-40, 400));
    EXPECT_TRUE(effect.automations.empty());
    EXPECT_EQ(panel.dragMode, kNoDrag);
    EXPECT_EQ(panel.mouseY, 400);
    EXPECT_EQ(effect.gainUpdates, 3);
}
