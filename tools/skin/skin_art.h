// The three skin pictures, painted from the layout the editor draws with.
#pragma once

#include "tools/skin/raster.h"

// The meter face behind the needle, with or without the L and R letters.
Canvas paintMeterFace(bool withLetters);
// Applies the meter glass over a region given in face coordinates.
void paintMeterGlass(Canvas& canvas, int32_t left, int32_t top, int32_t width, int32_t height, int32_t faceX,
                     int32_t faceY);
// The needle for a frame, into a canvas whose origin is at face x, y.
void paintNeedle(Canvas& canvas, int32_t frame, int32_t faceX, int32_t faceY);

Canvas paintFace();
Canvas paintFaceSheet();
Canvas paintKnobStrip();
Canvas paintNeedleStrip();

// Sprites on the sheet.
void paintLampSprites(Canvas& sheet);
void paintReadoutFont(Canvas& sheet);
void paintLinkButton(Canvas& canvas, int32_t x, int32_t y, bool pressed);
