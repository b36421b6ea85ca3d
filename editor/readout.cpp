#include "editor/readout.h"

#include <cmath>

#include "dsp/limiter_constants.h"
#include "editor/skin_layout.h"

namespace {


// The font glyph of a character, or -1 when the font has none.
int32_t glyphOf(char c) {
    if (c >= '0' && c <= '9') {
        return kGlyphDigitZero + (c - '0');
    }
    if (c == '-') {
        return kGlyphMinus;
    }
    if (c == '.') {
        return kGlyphPoint;
    }
    return -1;
}

}  // namespace

ReadoutLayout layoutReadout(const char* text, ReadoutUnit unit) {
    ReadoutLayout layout{};
    for (int32_t i = 0; i < kReadoutTextSize && text[i] != '\0'; ++i) {
        const int32_t glyph = glyphOf(text[i]);
        if (glyph < 0) {
            continue;
        }
        layout.glyphs[layout.count++] = GlyphPlacement{glyph, layout.cursor + kReadoutMargin};
        layout.cursor += kFontGlyphs[glyph].width + 1;
    }
    // The unit follows without a gap of its own: its glyph carries the spacing.
    const int32_t unitGlyph = unit == ReadoutUnit::kDecibels ? kGlyphDecibel : kGlyphPercent;
    layout.glyphs[layout.count++] = GlyphPlacement{unitGlyph, layout.cursor + kReadoutMargin};
    layout.cursor += kFontGlyphs[unitGlyph].width;
    return layout;
}

float readoutNumber(double value, ReadoutUnit unit) {
    if (unit == ReadoutUnit::kDecibels) {
        return static_cast<float>(quillo::kDecibelsPerDecade * std::log10(value));
    }
    return static_cast<float>(value);
}
