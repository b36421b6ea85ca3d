// The digit read-outs: which glyph of the skin font goes where for a text.
#pragma once

#include <cstdint>

enum class ReadoutUnit : uint8_t { kDecibels = 0, kPercent = 1 };

// Holds the longest text the formatter writes for the read-outs, and its end.
constexpr int32_t kReadoutTextSize = 10;
constexpr int8_t kReadoutFormatOffset = 4;
// The unit glyph follows the last character.
constexpr int32_t kReadoutMaxGlyphs = kReadoutTextSize + 1;

struct GlyphPlacement {
    int32_t glyph;  // FontGlyph
    int32_t x;      // on the scratch line
};

struct ReadoutLayout {
    GlyphPlacement glyphs[kReadoutMaxGlyphs];
    int32_t count;
    int32_t cursor;  // advance of all glyphs, the unit included
};

// Lays a formatted number and its unit out on the scratch line. Characters the
// font lacks are skipped without advancing.
ReadoutLayout layoutReadout(const char* text, ReadoutUnit unit);

// The value a read-out formats: decibels of a gain, or the percentage itself.
float readoutNumber(double value, ReadoutUnit unit);
