// Where everything lives: the regions of the three skin bitmaps and the place
// of every element on the face. Shared by the drawing code, the in-memory
// surface and the artwork generator, so the pictures and the code agree.
#pragma once

#include <cstdint>

struct SkinRect {
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
};

struct SkinPoint {
    int32_t x;
    int32_t y;
};

// Resource identifiers of the three bitmaps.
constexpr int32_t kNeedleStripId = 109;
constexpr int32_t kKnobStripId = 110;
constexpr int32_t kFaceSheetId = 111;

constexpr int32_t kSkinBitsPerPixel = 24;

// The face and the editor window.
constexpr int32_t kFaceWidth = 221;
constexpr int32_t kFaceHeight = 289;
// The off-screen bitmap holds the face and, below it, the read-out scratch line.
constexpr int32_t kOffscreenWidth = kFaceWidth;
constexpr int32_t kOffscreenHeight = 300;

// Needle strip: one slice per needle frame, side by side.
constexpr int32_t kNeedleSlices = 82;
constexpr int32_t kNeedleRestFrame = kNeedleSlices - 1;
constexpr int32_t kNeedleSliceWidth = 40;
constexpr int32_t kNeedleSliceHeight = 58;
constexpr int32_t kNeedleStripWidth = kNeedleSlices * kNeedleSliceWidth;

// Knob strip: the mask cell, then the frames turning clockwise from straight down.
constexpr int32_t kKnobCell = 48;
constexpr int32_t kKnobFrames = 80;
constexpr int32_t kKnobStripWidth = (kKnobFrames + 1) * kKnobCell;
constexpr double kKnobDegreesPerFrame = 4.5;

// Face sheet.
constexpr int32_t kFaceSheetWidth = 391;
constexpr int32_t kFaceSheetHeight = 310;
constexpr SkinRect kFaceRegion{0, 0, kFaceWidth, kFaceHeight};
constexpr SkinRect kAboutPanelRegion{221, 0, 170, 268};
constexpr SkinRect kRaisedButtonRegion{341, 268, 49, 23};
constexpr SkinRect kLeftCoverPatch{341, 293, 14, 13};
constexpr SkinRect kRightCoverPatch{356, 293, 14, 13};

// Lamp sprites: the mask, then the frames from dimmest to brightest.
constexpr int32_t kLampSize = 20;
constexpr int32_t kLampFrames = 15;
constexpr SkinRect kLampMask{21, 290, kLampSize, kLampSize};
constexpr SkinRect lampFrameRegion(int32_t frame) {
    return SkinRect{kLampMask.x + kLampSize * frame, kLampMask.y, kLampSize, kLampSize};
}

// The digit font: one row of glyphs, light grey on black.
constexpr int32_t kFontTop = 274;
constexpr int32_t kFontHeight = 10;
enum FontGlyph : int32_t {
    kGlyphDigitZero = 0,  // digits 0 to 9 are glyphs 0 to 9
    kGlyphMinus = 10,
    kGlyphDecibel = 11,
    kGlyphPoint = 12,
    kGlyphPercent = 13,
    kFontGlyphCount = 14,
};
struct GlyphSpan {
    int32_t x;
    int32_t width;
};
constexpr GlyphSpan kFontGlyphs[kFontGlyphCount] = {
    {229, 6}, {236, 4}, {241, 6}, {248, 6}, {255, 6}, {263, 6}, {270, 6},
    {277, 6}, {284, 6}, {291, 6}, {298, 3}, {302, 13}, {317, 2}, {320, 10},
};

// Elements on the face, in window coordinates.
constexpr SkinRect kMeterWindow{47, 42, 128, 69};
constexpr SkinPoint kNeedleOrigin{51, 53};
// From this frame on the slices stand one pixel further right.
constexpr int32_t kNeedleStepFrame = 40;
constexpr SkinPoint kLeftMarkCover{48, 97};
constexpr SkinPoint kRightMarkCover{160, 97};
constexpr SkinPoint kIqLampAt{41, 136};
constexpr SkinPoint kKneeLampAt{161, 136};
constexpr SkinRect kLinkButton{89, 138, 49, 23};
constexpr SkinPoint kGainKnobAt{41, 191};
constexpr SkinPoint kKneeKnobAt{132, 191};
constexpr int32_t kGainReadoutCentre = 66;
constexpr int32_t kKneeReadoutCentre = 158;
constexpr int32_t kReadoutTop = 256;
constexpr SkinPoint kAboutPanelAt{26, 11};

// The scratch line of the off-screen bitmap where a read-out is composed.
constexpr SkinRect kScratchLine{0, 290, 59, kFontHeight};
constexpr int32_t kReadoutMargin = 3;
