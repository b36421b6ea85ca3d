// The editor's face as plain logic: the state of the needle, lamps, knobs and
// gestures, the frame composed at every timer tick, and the mouse handlers.
// It draws only through a BlitTarget and reaches the effect only through an
// EffectView, so it runs the same in a window and in tests.
#pragma once

#include <cstdint>

#include "dsp/shared_value.h"
#include "editor/effect_view.h"
#include "editor/readout.h"
#include "editor/window_system.h"

enum RedrawRequest : uint8_t { kNoRedraw = 0, kFullFace = 1, kAboutPanel = 2 };
enum ChangedControl : uint8_t { kNoControl = 0, kGainControl = 1, kKneeControl = 2 };
enum DragMode : uint8_t { kNoDrag = 0, kGainDrag = 5, kKneeDrag = 7, kAboutHeld = 100 };

// The parameters the face shows and edits.
enum FaceParameter : int32_t { kFaceInGain = 0, kFaceKnee = 1, kFaceIq = 2, kFaceStereoLink = 3 };

constexpr float kUnityGainValue = 0.5f;
constexpr float kDefaultKnee = 89.0f;
constexpr float kKneeMaximum = 127.0f;
constexpr float kRestNeedlePosition = 81.0f;

class EditorPanel : public WindowClient {
public:
    explicit EditorPanel(EffectView& effectView);

    // The editor's own start values; they survive closing and reopening.
    void resetDisplayState();

    void requestFullFace() override;
    void onTimerTick(BlitTarget& target) override;
    void onMouseMove(uint32_t position) override;
    void onLeftButtonDown(uint32_t position) override;
    void onRightButtonDown(uint32_t position) override;
    void onButtonUp() override;

    // Composes one frame, presents it and clears both requests.
    void drawFrame(BlitTarget& target, uint8_t request, uint8_t changed);
    void drawReadout(BlitTarget& target, double value, int32_t centreX, int32_t top, ReadoutUnit unit);
    // Applies the pending knob drag from the last recorded pointer position.
    void applyDragStep();
    // Ends the edit of a knob still held (its window closes under the pointer).
    void releaseHeldKnob();

    // Written by the effect when the host sets IN Gain or Knee.
    SharedValue<uint8_t> changedControl{kNoControl};

    int16_t mouseX = 0;
    int16_t mouseY = 0;
    uint8_t redrawRequest = kFullFace;
    uint8_t dragMode = kNoDrag;
    char readoutText[kReadoutTextSize] = {};
    int32_t dragAnchorY = 0;
    float dragValue = 0.0f;
    float needlePosition = kRestNeedlePosition;
    float needleSpeed = 0.0f;
    float storedGain = kUnityGainValue;
    float iqLampLevel = 0.0f;
    int32_t isOpen = 0;

private:
    void composeControls(BlitTarget& target, uint8_t request, uint8_t changed);
    void drawLamps(BlitTarget& target);
    void drawLinkButton(BlitTarget& target);
    void drawKnob(BlitTarget& target, int32_t x, int32_t y, int32_t frame);
    void drawLamp(BlitTarget& target, int32_t x, int32_t y, int32_t frame);
    void drawNeedle(BlitTarget& target, const int32_t active[kMeterChannels]);
    float takeMeterReading(const int32_t active[kMeterChannels]);

    void recordPosition(uint32_t position);
    bool pressSwitchOrKnob();
    void toggleSwitch(int32_t index);
    void editOnce(int32_t index);
    void applyGainDrag();
    void applyKneeDrag();

    EffectView* view;
    int32_t heldKnob = -1;  // the knob whose edit a press began and no release has ended
};
