// A small stroke font for the panel's printing: capitals, digits, the lower
// case the credits need and a few signs, drawn as anti-aliased strokes on a
// grid where capitals are six units high.
#pragma once

#include <string>

#include "tools/skin/raster.h"

struct TextStyle {
    float unit;       // pixels per grid unit
    float thickness;  // stroke width in pixels
    float tracking;   // extra units between letters
    Colour colour;
};

// Width in pixels of a line of text.
float textWidth(const std::string& text, const TextStyle& style);
// Draws text with its cap top at y, starting at x.
void drawText(Canvas& canvas, const std::string& text, float x, float y, const TextStyle& style);
void drawTextCentred(Canvas& canvas, const std::string& text, float centreX, float y, const TextStyle& style);
