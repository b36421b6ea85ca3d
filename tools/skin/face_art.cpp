// The front panel and the sheet that carries it with the about panel, the
// raised button, the cover patches and the sprites.
#include <cmath>

#include "editor/editor_panel.h"
#include "editor/face_mapping.h"
#include "editor/panel_regions.h"
#include "editor/skin_layout.h"
#include "tools/skin/skin_art.h"
#include "tools/skin/stroke_font.h"

namespace {

const Colour kPanel = rgb(0x34373C);
const Colour kPanelDark = rgb(0x1E2024);
const Colour kSilver = rgb(0xD9DCE0);
const Colour kLabel = rgb(0xC4C8CE);
const Colour kAmber = rgb(0xF0A830);
const Colour kBlack = grey(0.0f);
constexpr float kDegrees = 3.14159265f / 180.0f;
// The ends of the IN Gain range as linear gains, where its knob scale starts and stops.
constexpr float kLowestInputGain = 0.0099999886f;
constexpr float kHighestInputGain = 101.15783f;
constexpr int32_t kGainScaleDivisions = 8;   // every ten dB
constexpr int32_t kKneeScaleDivisions = 10;  // every ten percent
// Rows of the printing, by the top of its capitals.
constexpr float kTitleTop = 8.0f;
constexpr float kSubtitleTop = 25.5f;
constexpr float kLampLabelTop = 161.0f;
constexpr float kLinkLabelTop = 165.5f;
constexpr float kKnobLabelTop = 176.0f;
// The badge keeps clear of the corner screw beside it.
constexpr float kBadgeSize = 20.0f;

void paintBrushedPanel(Canvas& c) {
    for (int32_t y = 0; y < kFaceHeight; ++y) {
        // Brushing runs along the rows: a grain per row, finer per pixel.
        const float row = grain(0, y, 7u) * 0.025f;
        for (int32_t x = 0; x < kFaceWidth; ++x) {
            const float shade = 1.0f + row + grain(x, y, 11u) * 0.02f - 0.10f * y / kFaceHeight;
            c.set(x, y, scaled(kPanel, shade));
        }
    }
    // Bevelled edge: lit from the top left.
    for (int32_t i = 0; i < kFaceWidth; ++i) {
        c.set(i, 0, mix(c.get(i, 0), grey(1.0f), 0.25f));
        c.set(i, kFaceHeight - 1, mix(c.get(i, kFaceHeight - 1), kBlack, 0.6f));
    }
    for (int32_t j = 0; j < kFaceHeight; ++j) {
        c.set(0, j, mix(c.get(0, j), grey(1.0f), 0.2f));
        c.set(kFaceWidth - 1, j, mix(c.get(kFaceWidth - 1, j), kBlack, 0.6f));
    }
}

void paintScrew(Canvas& c, float x, float y) {
    c.fillCircle(x + 0.6f, y + 0.8f, 4.2f, scaled(kPanelDark, 0.6f));
    c.fillShape(x - 4, y - 4, x + 4, y + 4, [=](float px, float py) { return circleDistance(px, py, x, y, 3.8f); },
                [=](float px, float py) { return mix(grey(0.85f), grey(0.35f), ((px - x) + (py - y) + 4.0f) / 8.0f); });
    c.line(x - 2.6f, y + 1.2f, x + 2.6f, y - 1.2f, 1.1f, grey(0.2f));
}

// A recessed rounded opening: shadowed rim above, light catching the lower lip.
void paintRecess(Canvas& c, float x, float y, float w, float h, float r, Colour inside) {
    c.fillRoundRect(x - 2, y - 2, w + 4, h + 4, r + 2, scaled(kPanel, 1.35f));
    c.fillRoundRect(x - 2, y - 2, w + 4, h + 3, r + 2, kPanelDark);
    c.fillRoundRect(x, y, w, h, r, inside);
}

void paintWell(Canvas& c, float cx, float cy, float r, Colour inside) {
    c.fillCircle(cx, cy + 0.6f, r + 2.0f, scaled(kPanel, 1.4f));
    c.fillCircle(cx, cy, r + 2.0f, kPanelDark);
    c.fillCircle(cx, cy, r, inside);
}

void paintKnobScale(Canvas& c, SkinPoint at, int32_t firstFrame, int32_t lastFrame, int32_t marks,
                    const char* low, const char* high) {
    const float cx = at.x + kKnobCell / 2.0f;
    const float cy = at.y + kKnobCell / 2.0f;
    for (int32_t m = 0; m <= marks; ++m) {
        const float frame = firstFrame + (lastFrame - firstFrame) * static_cast<float>(m) / marks;
        const float angle = static_cast<float>(frame * kKnobDegreesPerFrame) * kDegrees;
        const float dx = -std::sin(angle);
        const float dy = std::cos(angle);
        const bool major = m == 0 || m == marks || 2 * m == marks;
        const float inner = major ? 25.5f : 26.5f;
        c.line(cx + dx * inner, cy + dy * inner, cx + dx * 29.0f, cy + dy * 29.0f, major ? 1.3f : 0.9f, kLabel);
    }
    const TextStyle small{0.75f, 0.85f, 0.2f, kLabel};
    drawTextCentred(c, low, cx - 25.0f, cy + 25.5f, small);
    drawTextCentred(c, high, cx + 25.0f, cy + 25.5f, small);
}

void paintLabels(Canvas& c) {
    drawTextCentred(c, "QUILLO", kFaceWidth / 2.0f, kTitleTop, TextStyle{2.0f, 2.0f, 0.9f, kSilver});
    drawTextCentred(c, "BRICKWALL  PEAK  LIMITER", kFaceWidth / 2.0f, kSubtitleTop, TextStyle{0.8f, 0.9f, 0.5f, kAmber});
    const TextStyle label{0.85f, 0.95f, 0.6f, kLabel};
    drawTextCentred(c, "IQ", kIqLampAt.x + kLampSize / 2.0f, kLampLabelTop, label);
    drawTextCentred(c, "KNEE", kKneeLampAt.x + kLampSize / 2.0f, kLampLabelTop, label);
    drawTextCentred(c, "STEREO LINK", kLinkButton.x + kLinkButton.width / 2.0f, kLinkLabelTop, label);
    drawTextCentred(c, "IN GAIN", kGainKnobAt.x + kKnobCell / 2.0f, kKnobLabelTop, label);
    drawTextCentred(c, "KNEE", kKneeKnobAt.x + kKnobCell / 2.0f, kKnobLabelTop, label);
}

// The about hotspot: a small badge with the maker's initial.
void paintLogo(Canvas& c) {
    const float x = kAboutHotspot.left + 1.0f;
    const float y = kAboutHotspot.top + 1.0f;
    const float w = kBadgeSize;
    const float h = kBadgeSize;
    c.fillRoundRect(x, y + 1, w, h + 1, 4, kPanelDark);
    c.fillShape(x, y, x + w, y + h, [=](float px, float py) { return roundRectDistance(px, py, x, y, w, h, 4); },
                [=](float, float py) { return mix(grey(0.78f), grey(0.5f), (py - y) / h); });
    c.fillRoundRect(x + 2, y + 2, w - 4, h - 4, 3, rgb(0x202226));
    drawTextCentred(c, "Q", x + w / 2.0f, y + 4.5f, TextStyle{1.6f, 1.6f, 0.0f, kAmber});
}

void paintControls(Canvas& c) {
    paintRecess(c, kMeterWindow.x, kMeterWindow.y, kMeterWindow.width, kMeterWindow.height, 3, kBlack);
    for (SkinPoint lamp : {kIqLampAt, kKneeLampAt}) {
        paintWell(c, lamp.x + kLampSize / 2.0f, lamp.y + kLampSize / 2.0f, 8.5f, rgb(0x0C140C));
    }
    for (SkinPoint knob : {kGainKnobAt, kKneeKnobAt}) {
        paintWell(c, knob.x + kKnobCell / 2.0f, knob.y + kKnobCell / 2.0f, 23.0f, kBlack);
    }
    paintKnobScale(c, kGainKnobAt, gainKnobFrame(kLowestInputGain), gainKnobFrame(kHighestInputGain),
                   kGainScaleDivisions, "-40", "+40");
    paintKnobScale(c, kKneeKnobAt, kneeKnobFrame(0.0f), kneeKnobFrame(kKneeMaximum), kKneeScaleDivisions, "0", "100");
    for (int32_t centre : {kGainReadoutCentre, kKneeReadoutCentre}) {
        paintRecess(c, centre - 26.0f, kReadoutTop - 3.0f, 52, 16, 2, kBlack);
    }
    paintRecess(c, kLinkButton.x, kLinkButton.y, kLinkButton.width, kLinkButton.height, 2, kBlack);
    paintLinkButton(c, kLinkButton.x, kLinkButton.y, true);
}

}  // namespace

Canvas paintFace() {
    Canvas c(kFaceWidth, kFaceHeight);
    paintBrushedPanel(c);
    for (float sx : {8.0f, kFaceWidth - 9.0f}) {
        for (float sy : {8.0f, kFaceHeight - 9.0f}) {
            paintScrew(c, sx, sy);
        }
    }
    paintControls(c);
    paintLabels(c);
    paintLogo(c);
    const Canvas meter = paintMeterFace(true);
    c.paste(meter, kMeterWindow.x, kMeterWindow.y, kMeterWindow.width, kMeterWindow.height, kMeterWindow.x,
            kMeterWindow.y);
    paintMeterGlass(c, kMeterWindow.x, kMeterWindow.y, kMeterWindow.width, kMeterWindow.height, kMeterWindow.x,
                    kMeterWindow.y);
    return c;
}

void paintLinkButton(Canvas& c, int32_t x, int32_t y, bool pressed) {
    const float w = kLinkButton.width;
    const float h = kLinkButton.height;
    const float top = pressed ? 0.30f : 0.62f;
    const float bottom = pressed ? 0.20f : 0.38f;
    c.fillRect(x, y, kLinkButton.width, kLinkButton.height, kBlack);
    c.fillShape(x, y, x + w, y + h, [=](float px, float py) { return roundRectDistance(px, py, x + 1, y + 1, w - 2, h - 2, 2); },
                [=](float, float py) { return mix(grey(top), grey(bottom), (py - y) / h); });
    if (!pressed) {
        c.line(x + 3, y + 1.5f, x + w - 3, y + 1.5f, 1.0f, grey(0.8f));
        c.line(x + 3, y + h - 1.5f, x + w - 3, y + h - 1.5f, 1.0f, grey(0.18f));
    }
    const Colour text = pressed ? kAmber : grey(0.16f);
    drawTextCentred(c, "LINK", x + w / 2.0f, y + (pressed ? 9.0f : 8.0f), TextStyle{0.9f, 1.1f, 0.6f, text});
    if (pressed) {
        // The lit legend of an engaged switch.
        c.line(x + 9, y + h - 5, x + w - 9, y + h - 5, 1.0f, scaled(kAmber, 0.55f));
    }
}

Canvas paintFaceSheet() {
    Canvas sheet(kFaceSheetWidth, kFaceSheetHeight);
    sheet.fill(kBlack);
    const Canvas face = paintFace();
    sheet.paste(face, 0, 0, kFaceWidth, kFaceHeight, 0, 0);

    // The about panel: the face it covers, dimmed, with the credits over it.
    Canvas about(kAboutPanelRegion.width, kAboutPanelRegion.height);
    about.paste(face, kAboutPanelAt.x, kAboutPanelAt.y, kAboutPanelRegion.width, kAboutPanelRegion.height, 0, 0);
    for (int32_t y = 0; y < about.height(); ++y) {
        for (int32_t x = 0; x < about.width(); ++x) {
            about.set(x, y, scaled(about.get(x, y), 0.28f));
        }
    }
    const float w = kAboutPanelRegion.width;
    about.fillRoundRect(14, 70, w - 28, 112, 6, rgb(0x8A6A2A));
    about.fillRoundRect(15, 71, w - 30, 110, 5, rgb(0x15171A));
    drawTextCentred(about, "Vrn-Quillo_Limiter", w / 2, 84, TextStyle{1.15f, 1.2f, 0.2f, kSilver});
    drawTextCentred(about, "stereo brickwall peak limiter", w / 2, 104, TextStyle{0.8f, 0.9f, 0.15f, kLabel});
    drawTextCentred(about, "Kzo v1.2", w / 2, 128, TextStyle{1.15f, 1.2f, 0.2f, kAmber});
    drawTextCentred(about, "latency 40 samples", w / 2, 152, TextStyle{0.95f, 1.0f, 0.2f, kLabel});
    sheet.paste(about, 0, 0, kAboutPanelRegion.width, kAboutPanelRegion.height, kAboutPanelRegion.x,
                kAboutPanelRegion.y);

    Canvas raised(kRaisedButtonRegion.width, kRaisedButtonRegion.height);
    paintLinkButton(raised, 0, 0, false);
    sheet.paste(raised, 0, 0, kRaisedButtonRegion.width, kRaisedButtonRegion.height, kRaisedButtonRegion.x,
                kRaisedButtonRegion.y);

    // Cover patches: the meter face where the letters stand, without them.
    Canvas blank = paintMeterFace(false);
    paintMeterGlass(blank, kMeterWindow.x, kMeterWindow.y, kMeterWindow.width, kMeterWindow.height, kMeterWindow.x,
                    kMeterWindow.y);
    sheet.paste(blank, kLeftMarkCover.x, kLeftMarkCover.y, kLeftCoverPatch.width, kLeftCoverPatch.height,
                kLeftCoverPatch.x, kLeftCoverPatch.y);
    sheet.paste(blank, kRightMarkCover.x, kRightMarkCover.y, kRightCoverPatch.width, kRightCoverPatch.height,
                kRightCoverPatch.x, kRightCoverPatch.y);

    paintReadoutFont(sheet);
    paintLampSprites(sheet);
    return sheet;
}
