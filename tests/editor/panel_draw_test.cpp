// The frame composed at each tick: what is drawn when, the read-outs, the
// needle's meter reading and the about panel.
#include <gtest/gtest.h>

#include <string>

#include "editor/editor_panel.h"
#include "editor/face_mapping.h"
#include "editor/skin_layout.h"
#include "editor_fakes.h"

namespace {

struct PanelFixture : ::testing::Test {
    PanelFixture() : panel(effect) { panel.isOpen = 1; }

    Readout drawOne(double value, ReadoutUnit unit) {
        target.calls.clear();
        panel.drawReadout(target, value, kGainReadoutCentre, kReadoutTop, unit);
        auto all = readouts(target);
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? Readout{} : all[0];
    }

    FakeEffect effect;
    EditorPanel panel;
    RecordingTarget target;
};

}  // namespace

TEST_F(PanelFixture, ReadoutTextsMatchTheFormatterWithUnits) {
    const struct {
        double value;
        ReadoutUnit unit;
        const char* text;
    } cases[] = {
        {0.0099999886, ReadoutUnit::kDecibels, "-40.db"}, {0.5011872, ReadoutUnit::kDecibels, "-6.0db"},
        {0.98855, ReadoutUnit::kDecibels, "-0.1db"},      {0.99999887, ReadoutUnit::kDecibels, "0.0db"},
        {1.0115794 + 0.00001, ReadoutUnit::kDecibels, "0.10db"}, {2.5118864, ReadoutUnit::kDecibels, "8.00db"},
        {101.15783 + 0.00001, ReadoutUnit::kDecibels, "40.0db"}, {0.0, ReadoutUnit::kPercent, "0.00%"},
        {70.07874, ReadoutUnit::kPercent, "70.0%"},       {100.0, ReadoutUnit::kPercent, "100.%"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(drawOne(c.value, c.unit).text, c.text) << c.value;
    }
}

TEST_F(PanelFixture, ReadoutIsCentredWithThreePixelMargins) {
    // "-40." advances 4 + 7 + 7 + 3, the unit 13 more.
    const Readout low = drawOne(0.0099999886, ReadoutUnit::kDecibels);
    EXPECT_EQ(low.width, 34 + 2 * kReadoutMargin);
    EXPECT_EQ(low.x, kGainReadoutCentre - 34 / 2 - kReadoutMargin);
    EXPECT_EQ(low.y, kReadoutTop);
    // "100." with the narrow one: 5 + 7 + 7 + 3, the percent sign 10 more.
    const Readout full = drawOne(100.0, ReadoutUnit::kPercent);
    EXPECT_EQ(full.width, 32 + 2 * kReadoutMargin);
    EXPECT_LE(full.width, kScratchLine.width);
}

TEST_F(PanelFixture, FullFaceDrawsEverythingAndClearsBothRequests) {
    panel.drawFrame(target, kFullFace, kNoControl);
    EXPECT_EQ(target.presented, 1);
    ASSERT_FALSE(target.calls.empty());
    EXPECT_EQ(target.calls.front().source, SkinBitmap::kFaceSheet);
    EXPECT_EQ(target.calls.front().width, kFaceWidth);
    EXPECT_EQ(target.calls.back().destination, SkinBitmap::kWindow);
    const auto shown = readouts(target);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[0].text, "0.0db");
    EXPECT_EQ(shown[1].text, "70.0%");
    EXPECT_EQ(target.at(kGainKnobAt.x, kGainKnobAt.y).size(), 2u);
    EXPECT_EQ(target.at(kKneeKnobAt.x, kKneeKnobAt.y).size(), 2u);
    // The meter window is part of the face copy, so it is not restored again.
    EXPECT_TRUE(target.at(kMeterWindow.x, kMeterWindow.y).empty());
    EXPECT_EQ(panel.redrawRequest, kNoRedraw);
    EXPECT_EQ(panel.changedControl, kNoControl);
}

TEST_F(PanelFixture, OnlyTheLastChangedKnobIsRedrawn) {
    panel.changedControl = kGainControl;
    panel.changedControl = kKneeControl;
    panel.redrawRequest = kNoRedraw;
    panel.onTimerTick(target);
    const auto shown = readouts(target);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "70.0%");
    EXPECT_TRUE(target.at(kGainKnobAt.x, kGainKnobAt.y).empty());
    const auto knee = target.at(kKneeKnobAt.x, kKneeKnobAt.y);
    ASSERT_EQ(knee.size(), 2u);
    EXPECT_EQ(knee[0].op, RasterOp::kAnd);
    EXPECT_EQ(knee[0].sourceX, 0);
    EXPECT_EQ(knee[1].op, RasterOp::kPaint);
    EXPECT_EQ(knee[1].sourceX, kKnobCell * (1 + 53));
    EXPECT_EQ(target.at(kMeterWindow.x, kMeterWindow.y).size(), 1u);
    EXPECT_EQ(panel.changedControl, kNoControl);
}

TEST_F(PanelFixture, NothingIsDrawnWhileClosedOrWithoutAWindowButRequestsClear) {
    panel.isOpen = 0;
    panel.drawFrame(target, kFullFace, kGainControl);
    EXPECT_EQ(target.frames, 0);
    panel.isOpen = 1;
    target.hasWindow = false;
    panel.redrawRequest = kFullFace;
    panel.changedControl = kKneeControl;
    panel.drawFrame(target, kFullFace, kKneeControl);
    EXPECT_TRUE(target.calls.empty());
    EXPECT_EQ(panel.redrawRequest, kNoRedraw);
    EXPECT_EQ(panel.changedControl, kNoControl);
}

TEST_F(PanelFixture, MeterReadsOnlyActiveChannelsAndHandsThemBack) {
    effect.meters[0] = 0.5012f;
    effect.meters[1] = 0.01f;
    effect.active[1] = 0;
    panel.drawFrame(target, kNoRedraw, kNoControl);
    EXPECT_EQ(panel.needlePosition, 43.0f);
    EXPECT_EQ(effect.meters[0], 1.0f);
    EXPECT_EQ(effect.meters[1], 0.01f);
    // The R mark is covered, the L mark shows.
    EXPECT_EQ(target.at(kRightMarkCover.x, kRightMarkCover.y).size(), 1u);
    EXPECT_TRUE(target.at(kLeftMarkCover.x, kLeftMarkCover.y).empty());
    const auto needle = target.at(needleSliceX(43), kNeedleOrigin.y);
    ASSERT_EQ(needle.size(), 1u);
    EXPECT_EQ(needle[0].sourceX, kNeedleSliceWidth * 43);
}

TEST_F(PanelFixture, WithNoChannelActiveTheNeedleRestsAndBothMarksAreCovered) {
    effect.active[0] = effect.active[1] = 0;
    effect.meters[0] = effect.meters[1] = 0.1f;
    panel.needlePosition = 20.0f;
    for (int tick = 0; tick < 20; ++tick) {
        panel.drawFrame(target, kNoRedraw, kNoControl);
    }
    EXPECT_EQ(panel.needlePosition, 81.0f);
    EXPECT_EQ(target.at(kLeftMarkCover.x, kLeftMarkCover.y).size(), 20u);
    EXPECT_EQ(target.at(kRightMarkCover.x, kRightMarkCover.y).size(), 20u);
}

TEST_F(PanelFixture, LinkButtonShowsRaisedWhenOffOrOnASingleChannel) {
    auto buttonSource = [&] {
        target.calls.clear();
        panel.drawFrame(target, kNoRedraw, kNoControl);
        return target.at(kLinkButton.x, kLinkButton.y).at(0).sourceX;
    };
    EXPECT_EQ(buttonSource(), kLinkButton.x);
    effect.single = true;
    EXPECT_EQ(buttonSource(), kRaisedButtonRegion.x);
    effect.single = false;
    effect.values[kFaceStereoLink] = 0.0f;
    EXPECT_EQ(buttonSource(), kRaisedButtonRegion.x);
}

TEST_F(PanelFixture, KneeLampIsRaisedEachTickAndIqLampBrightens) {
    effect.lamp = 0.0f;
    effect.values[kFaceIq] = 1.0f;
    panel.drawFrame(target, kNoRedraw, kNoControl);
    EXPECT_FLOAT_EQ(effect.lamp, 0.1f);
    EXPECT_FLOAT_EQ(panel.iqLampLevel, 0.09f);
    const auto knee = target.at(kKneeLampAt.x, kKneeLampAt.y);
    ASSERT_EQ(knee.size(), 2u);
    EXPECT_EQ(knee[0].sourceX, kLampMask.x);
    EXPECT_EQ(knee[1].sourceX, lampFrameRegion(15).x);
}

TEST_F(PanelFixture, HeldAboutPanelHidesTheLiveControlsAndLeavesMetersAlone) {
    panel.dragMode = kAboutHeld;
    effect.meters[0] = 0.2f;
    effect.lamp = 0.5f;
    panel.drawFrame(target, kAboutPanel, kGainControl);
    ASSERT_EQ(target.calls.size(), 2u);
    EXPECT_EQ(target.calls[0].x, kAboutPanelAt.x);
    EXPECT_EQ(target.calls[0].sourceX, kAboutPanelRegion.x);
    EXPECT_EQ(target.calls[1].destination, SkinBitmap::kWindow);
    EXPECT_EQ(effect.meters[0], 0.2f);
    EXPECT_EQ(effect.lamp, 0.5f);
    // A full-face request during the hold shows the bare face.
    target.calls.clear();
    panel.drawFrame(target, kFullFace, kNoControl);
    ASSERT_EQ(target.calls.size(), 2u);
    EXPECT_EQ(target.calls[0].sourceX, kFaceRegion.x);
    EXPECT_EQ(target.calls[0].width, kFaceWidth);
}
