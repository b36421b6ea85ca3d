// Drawing: the frame composed at every timer tick and the digit read-outs.
#include "editor/editor_panel.h"

#include "editor/face_mapping.h"
#include "host/number_format.h"
#include "editor/skin_layout.h"

EditorPanel::EditorPanel(EffectView& effectView) : view(&effectView) {}

// Leaves isOpen alone: it follows the window, which a reset does not close.
void EditorPanel::resetDisplayState() {
    redrawRequest = kFullFace;
    changedControl = kNoControl;
    dragMode = kNoDrag;
    needlePosition = kRestNeedlePosition;
    needleSpeed = 0.0f;
    storedGain = kUnityGainValue;
    iqLampLevel = 0.0f;
}

void EditorPanel::requestFullFace() {
    redrawRequest = kFullFace;
}

void EditorPanel::onTimerTick(BlitTarget& target) {
    if (isOpen != 1) {
        return;
    }
    if (dragMode != kNoDrag) {
        applyDragStep();
        view->updateInputGain();
    }
    drawFrame(target, redrawRequest, changedControl);
}

void EditorPanel::drawFrame(BlitTarget& target, uint8_t request, uint8_t changed) {
    if (isOpen == 1 && target.beginFrame()) {
        if (request == kFullFace) {
            target.blit(SkinBitmap::kOffscreen, 0, 0, kFaceRegion.width, kFaceRegion.height,
                        SkinBitmap::kFaceSheet, kFaceRegion.x, kFaceRegion.y, RasterOp::kCopy);
        }
        if (request == kAboutPanel) {
            target.blit(SkinBitmap::kOffscreen, kAboutPanelAt.x, kAboutPanelAt.y, kAboutPanelRegion.width,
                        kAboutPanelRegion.height, SkinBitmap::kFaceSheet, kAboutPanelRegion.x,
                        kAboutPanelRegion.y, RasterOp::kCopy);
        }
        // While the about panel is held the live controls stay hidden.
        if (dragMode != kAboutHeld) {
            composeControls(target, request, changed);
        }
        target.blit(SkinBitmap::kWindow, 0, 0, kFaceWidth, kFaceHeight, SkinBitmap::kOffscreen, 0, 0,
                    RasterOp::kCopy);
        target.endFrame();
    }
    changedControl = kNoControl;
    redrawRequest = kNoRedraw;
}

void EditorPanel::composeControls(BlitTarget& target, uint8_t request, uint8_t changed) {
    const int32_t active[kMeterChannels] = {view->channelActive(0), view->channelActive(1)};
    drawLamps(target);
    drawLinkButton(target);
    const bool gainDue = request == kFullFace || changed == kGainControl;
    const bool kneeDue = request == kFullFace || changed == kKneeControl;
    const float knee = view->parameter(kFaceKnee);
    if (gainDue) {
        drawReadout(target, gainReadoutValue(view->inputGainLinear()), kGainReadoutCentre, kReadoutTop,
                    ReadoutUnit::kDecibels);
    }
    if (kneeDue) {
        drawReadout(target, kneeReadoutValue(knee), kKneeReadoutCentre, kReadoutTop, ReadoutUnit::kPercent);
    }
    if (gainDue) {
        drawKnob(target, kGainKnobAt.x, kGainKnobAt.y, gainKnobFrame(view->inputGainLinear()));
    }
    if (kneeDue) {
        drawKnob(target, kKneeKnobAt.x, kKneeKnobAt.y, kneeKnobFrame(knee));
    }
    if (request != kFullFace) {
        target.blit(SkinBitmap::kOffscreen, kMeterWindow.x, kMeterWindow.y, kMeterWindow.width,
                    kMeterWindow.height, SkinBitmap::kFaceSheet, kMeterWindow.x, kMeterWindow.y,
                    RasterOp::kCopy);
    }
    drawNeedle(target, active);
    // The printed L and R show only for the channels being processed.
    if (active[0] == 0) {
        target.blit(SkinBitmap::kOffscreen, kLeftMarkCover.x, kLeftMarkCover.y, kLeftCoverPatch.width,
                    kLeftCoverPatch.height, SkinBitmap::kFaceSheet, kLeftCoverPatch.x, kLeftCoverPatch.y,
                    RasterOp::kCopy);
    }
    if (active[1] == 0) {
        target.blit(SkinBitmap::kOffscreen, kRightMarkCover.x, kRightMarkCover.y, kRightCoverPatch.width,
                    kRightCoverPatch.height, SkinBitmap::kFaceSheet, kRightCoverPatch.x,
                    kRightCoverPatch.y, RasterOp::kCopy);
    }
}

void EditorPanel::drawLamps(BlitTarget& target) {
    iqLampLevel = nextIqLampLevel(iqLampLevel, switchIsOn(view->parameter(kFaceIq)));
    drawLamp(target, kIqLampAt.x, kIqLampAt.y, lampFrame(iqLampLevel));
    const float kneeLamp = view->kneeLamp();
    drawLamp(target, kKneeLampAt.x, kKneeLampAt.y, kneeLampFrame(kneeLamp));
    view->setKneeLamp(raisedKneeLamp(kneeLamp));
}

void EditorPanel::drawLinkButton(BlitTarget& target) {
    const bool pressed = truncatesToNonZero(view->parameter(kFaceStereoLink)) && !view->singleChannel();
    const SkinRect& source = pressed ? kLinkButton : kRaisedButtonRegion;
    target.blit(SkinBitmap::kOffscreen, kLinkButton.x, kLinkButton.y, kLinkButton.width, kLinkButton.height,
                SkinBitmap::kFaceSheet, source.x, source.y, RasterOp::kCopy);
}

// Sprites go on in two steps: the mask punches a black disc, the frame fills it.
void EditorPanel::drawKnob(BlitTarget& target, int32_t x, int32_t y, int32_t frame) {
    target.blit(SkinBitmap::kOffscreen, x, y, kKnobCell, kKnobCell, SkinBitmap::kKnobStrip, 0, 0, RasterOp::kAnd);
    target.blit(SkinBitmap::kOffscreen, x, y, kKnobCell, kKnobCell, SkinBitmap::kKnobStrip,
                kKnobCell + kKnobCell * frame, 0, RasterOp::kPaint);
}

void EditorPanel::drawLamp(BlitTarget& target, int32_t x, int32_t y, int32_t frame) {
    const SkinRect source = lampFrameRegion(frame);
    target.blit(SkinBitmap::kOffscreen, x, y, kLampSize, kLampSize, SkinBitmap::kFaceSheet, kLampMask.x,
                kLampMask.y, RasterOp::kAnd);
    target.blit(SkinBitmap::kOffscreen, x, y, kLampSize, kLampSize, SkinBitmap::kFaceSheet, source.x, source.y,
                RasterOp::kPaint);
}

// The deepest reduction of the processed channels since the last tick; each
// meter read is handed back to the engine at rest.
float EditorPanel::takeMeterReading(const int32_t active[kMeterChannels]) {
    float gain = 1.0f;
    for (int32_t channel = 0; channel < kMeterChannels; ++channel) {
        if (active[channel] != 1) {
            continue;
        }
        const float reading = view->meter(channel);
        if (reading < gain) {
            gain = reading;
        }
        view->setMeter(channel, 1.0f);
    }
    return gain;
}

void EditorPanel::drawNeedle(BlitTarget& target, const int32_t active[kMeterChannels]) {
    NeedleState needle{needlePosition, needleSpeed};
    advanceNeedle(needle, needleTargetFrame(takeMeterReading(active)));
    needlePosition = needle.position;
    needleSpeed = needle.speed;
    const int32_t slice = needleSlice(needlePosition);
    target.blit(SkinBitmap::kOffscreen, needleSliceX(slice), kNeedleOrigin.y, kNeedleSliceWidth,
                kNeedleSliceHeight, SkinBitmap::kNeedleStrip, kNeedleSliceWidth * slice, 0, RasterOp::kCopy);
}

void EditorPanel::drawReadout(BlitTarget& target, double value, int32_t centreX, int32_t top,
                              ReadoutUnit unit) {
    target.blit(SkinBitmap::kOffscreen, kScratchLine.x, kScratchLine.y, kScratchLine.width, kScratchLine.height,
                SkinBitmap::kOffscreen, 0, 0, RasterOp::kBlackness);
    readoutText[0] = '\0';
    view->formatNumber(readoutNumber(value, unit), readoutText, kReadoutFormatOffset);
    readoutText[kReadoutTextSize - 1] = '\0';
    dropNegativeZero(readoutText);
    const ReadoutLayout layout = layoutReadout(readoutText, unit);
    for (int32_t i = 0; i < layout.count; ++i) {
        const GlyphSpan& span = kFontGlyphs[layout.glyphs[i].glyph];
        target.blit(SkinBitmap::kOffscreen, layout.glyphs[i].x, kScratchLine.y, span.width, kFontHeight,
                    SkinBitmap::kFaceSheet, span.x, kFontTop, RasterOp::kCopy);
    }
    // The text alone is narrower than an earlier one may have been: the band
    // any read-out can cover first gets the face back, so that the same value
    // always shows the same pixels, whatever was shown before.
    const int32_t bandX = centreX - kScratchLine.width / 2;
    target.blit(SkinBitmap::kOffscreen, bandX, top, kScratchLine.width, kFontHeight, SkinBitmap::kFaceSheet,
                kFaceRegion.x + bandX, kFaceRegion.y + top, RasterOp::kCopy);
    const int32_t width = kReadoutMargin + layout.cursor + kReadoutMargin;
    target.blit(SkinBitmap::kOffscreen, centreX - layout.cursor / 2 - kReadoutMargin, top, width, kFontHeight,
                SkinBitmap::kOffscreen, kScratchLine.x, kScratchLine.y, RasterOp::kCopy);
}
