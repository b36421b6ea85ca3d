// Mouse interaction: hit regions, switch toggles, knob resets and the knob
// drags, which the timer applies from the latest pointer position.
#include <cstdlib>
#include <limits>

#include "editor/editor_panel.h"
#include "editor/face_mapping.h"
#include "editor/panel_regions.h"

namespace {

constexpr uint32_t kWordBits = 16;
constexpr uint32_t kWordMask = 0xFFFFu;
constexpr float kGainDragPerPixel = 0.00116279069f;
// Two single-precision constants whose product is one within rounding.
constexpr float kGainDragUnit = 0.00125f;
constexpr float kGainDragSpan = 800.0f;

}  // namespace

bool regionContains(const HitRegion& region, int32_t x, int32_t y) {
    return x >= region.left && x <= region.right && y >= region.top && y <= region.bottom;
}

void EditorPanel::recordPosition(uint32_t position) {
    mouseX = static_cast<int16_t>(static_cast<uint16_t>(position & kWordMask));
    mouseY = static_cast<int16_t>(static_cast<uint16_t>((position >> kWordBits) & kWordMask));
}

void EditorPanel::onMouseMove(uint32_t position) {
    recordPosition(position);
}

void EditorPanel::onLeftButtonDown(uint32_t position) {
    recordPosition(position);
    if (dragMode == kNoDrag && !pressSwitchOrKnob() && regionContains(kAboutHotspot, mouseX, mouseY)) {
        dragMode = kAboutHeld;
        redrawRequest = kAboutPanel;
    }
    view->updateInputGain();
}

// Tests the controls in their fixed order; true when one of them took the press.
bool EditorPanel::pressSwitchOrKnob() {
    if (regionContains(kIqLampRegion, mouseX, mouseY)) {
        toggleSwitch(kFaceIq);
        return true;
    }
    // A link that cannot act on a single channel offers no button to press.
    if (!view->singleChannel() && regionContains(kLinkButtonRegion, mouseX, mouseY)) {
        toggleSwitch(kFaceStereoLink);
        return true;
    }
    if (regionContains(kKneeKnobRegion, mouseX, mouseY)) {
        dragAnchorY = mouseY;
        dragValue = view->parameter(kFaceKnee);
        dragMode = kKneeDrag;
        releaseHeldKnob();
        heldKnob = kFaceKnee;
        view->beginEdit(kFaceKnee);
        return true;
    }
    if (regionContains(kGainKnobRegion, mouseX, mouseY)) {
        dragAnchorY = mouseY;
        const float value = view->parameter(kFaceInGain) * kGainDragUnit * kGainDragSpan;
        dragValue = value > 1.0f ? 1.0f : value;
        dragMode = kGainDrag;
        releaseHeldKnob();
        heldKnob = kFaceInGain;
        view->beginEdit(kFaceInGain);
        return true;
    }
    return false;
}

void EditorPanel::toggleSwitch(int32_t index) {
    view->storeParameter(index, switchIsOn(view->parameter(index)) ? 0.0f : 1.0f);
    editOnce(index);
}

// A change made by one click is an edit of its own.
void EditorPanel::editOnce(int32_t index) {
    view->beginEdit(index);
    view->notifyParameterChange(index);
    view->endEdit(index);
}

void EditorPanel::releaseHeldKnob() {
    if (heldKnob < 0) return;
    view->endEdit(heldKnob);
    heldKnob = -1;
}

void EditorPanel::onRightButtonDown(uint32_t position) {
    recordPosition(position);
    if (dragMode != kNoDrag) {
        return;
    }
    if (regionContains(kGainKnobRegion, mouseX, mouseY)) {
        // Toggles between unity and the last other setting.
        const float old = view->parameter(kFaceInGain);
        view->storeParameter(kFaceInGain, old == kUnityGainValue ? storedGain : kUnityGainValue);
        storedGain = old;
        editOnce(kFaceInGain);
        changedControl = kGainControl;
    } else if (regionContains(kKneeKnobRegion, mouseX, mouseY)) {
        view->storeParameter(kFaceKnee, kDefaultKnee);
        editOnce(kFaceKnee);
        changedControl = kKneeControl;
    }
    view->updateInputGain();
}

void EditorPanel::onButtonUp() {
    if (dragMode == kAboutHeld) {
        redrawRequest = kFullFace;
    }
    dragMode = kNoDrag;
    releaseHeldKnob();
}

void EditorPanel::applyDragStep() {
    if (dragMode == kGainDrag) {
        applyGainDrag();
    } else if (dragMode == kKneeDrag) {
        applyKneeDrag();
    }
}

// Relative to the last applied position: travel beyond an end is forgotten.
void EditorPanel::applyGainDrag() {
    const int32_t y = mouseY;
    if (y == dragAnchorY) {
        return;
    }
    const float step = static_cast<float>(std::abs(y - dragAnchorY)) * kGainDragPerPixel;
    float value = y < dragAnchorY ? dragValue + step : dragValue - step;
    value = value < 0.0f ? 0.0f : value;
    dragValue = value > 1.0f ? 1.0f : value;
    dragAnchorY = y;
    if (dragValue != view->parameter(kFaceInGain)) {
        view->storeParameter(kFaceInGain, dragValue);
        view->notifyParameterChange(kFaceInGain);
        changedControl = kGainControl;
    }
}

// Relative to the press point, in whole steps of one pixel.
void EditorPanel::applyKneeDrag() {
    const int32_t maximum = static_cast<int32_t>(kKneeMaximum);
    // Bounded only so that a value a host stored far out of range stays a valid int.
    const int32_t start = truncateWithin(dragValue, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
    int32_t knee = start + dragAnchorY - mouseY;
    knee = knee < 0 ? 0 : (knee > maximum ? maximum : knee);
    const float value = static_cast<float>(knee);
    if (value != view->parameter(kFaceKnee)) {
        view->storeParameter(kFaceKnee, value);
        view->notifyParameterChange(kFaceKnee);
        changedControl = kKneeControl;
    }
}
