// Sprites: the knob frames with their mask, the lamp frames with their mask,
// and the digit font of the read-outs.
#include <cmath>

#include "editor/skin_layout.h"
#include "tools/skin/skin_art.h"

namespace {

constexpr float kDegrees = 3.14159265f / 180.0f;
constexpr float kKnobRadius = 22.5f;
constexpr float kLampRadius = 8.0f;
const Colour kBlack = grey(0.0f);

// Masks are hard-edged so that a sprite's outside stays exactly black and
// the two-step drawing leaves the face around it untouched.
bool insideDisc(int32_t x, int32_t y, float centre, float radius) {
    const float dx = x + 0.5f - centre;
    const float dy = y + 0.5f - centre;
    return dx * dx + dy * dy <= radius * radius;
}

void maskOutside(Canvas& c, int32_t left, int32_t size, float radius) {
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            if (!insideDisc(x, y, size / 2.0f, radius)) {
                c.set(left + x, y, kBlack);
            }
        }
    }
}

void paintMask(Canvas& c, int32_t left, int32_t top, int32_t size, float radius) {
    for (int32_t y = 0; y < size; ++y) {
        for (int32_t x = 0; x < size; ++x) {
            c.set(left + x, top + y, insideDisc(x, y, size / 2.0f, radius) ? kBlack : grey(1.0f));
        }
    }
}

void paintKnob(Canvas& c, int32_t left, int32_t frame) {
    const float centre = kKnobCell / 2.0f;
    const float cx = left + centre;
    const float cy = centre;
    const float turn = static_cast<float>(frame * kKnobDegreesPerFrame) * kDegrees;
    // Knurled skirt: ridges turn with the knob, light stays with the room.
    c.fillShape(left, 0, left + kKnobCell, kKnobCell,
                [=](float x, float y) { return circleDistance(x, y, cx, cy, kKnobRadius); },
                [=](float x, float y) {
                    const float a = std::atan2(y - cy, x - cx);
                    const float ridge = 0.5f + 0.5f * std::cos(36.0f * (a - turn));
                    const float light = 0.5f - 0.5f * std::sin(a + 0.8f);
                    return grey(0.08f + 0.10f * ridge + 0.10f * light);
                });
    // Cap: brushed aluminium with a conical sheen, lit from the top left.
    const float cap = 16.5f;
    c.fillCircle(cx + 0.8f, cy + 1.2f, cap + 0.6f, grey(0.05f));
    c.fillShape(cx - cap, cy - cap, cx + cap, cy + cap,
                [=](float x, float y) { return circleDistance(x, y, cx, cy, cap); },
                [=](float x, float y) {
                    const float a = std::atan2(y - cy, x - cx);
                    const float sheen = 0.5f + 0.5f * std::cos(2.0f * (a + 0.7f));
                    const float r = std::hypot(x - cx, y - cy) / cap;
                    return grey(0.48f + 0.28f * sheen - 0.10f * r);
                });
    c.fillCircle(cx, cy, 3.0f, grey(0.62f));
    // The pointer: from straight down, turning clockwise on screen.
    const float dx = -std::sin(turn);
    const float dy = std::cos(turn);
    c.line(cx + dx * 6.0f, cy + dy * 6.0f, cx + dx * 15.0f, cy + dy * 15.0f, 3.2f, grey(0.12f));
    c.line(cx + dx * 6.5f, cy + dy * 6.5f, cx + dx * 14.5f, cy + dy * 14.5f, 2.0f, rgb(0xF4F4F0));
    c.line(cx + dx * 18.0f, cy + dy * 18.0f, cx + dx * 21.5f, cy + dy * 21.5f, 1.6f, rgb(0xF0A830));
    maskOutside(c, left, kKnobCell, kKnobRadius);
}

void paintLamp(Canvas& c, int32_t left, int32_t top, int32_t frame) {
    const float level = static_cast<float>(frame - 1) / (kLampFrames - 1);
    const float cx = left + kLampSize / 2.0f;
    const float cy = top + kLampSize / 2.0f;
    const Colour dark = rgb(0x0E2A12);
    const Colour lit = rgb(0x5CFF6A);
    c.fillShape(cx - kLampRadius, cy - kLampRadius, cx + kLampRadius, cy + kLampRadius,
                [=](float x, float y) { return circleDistance(x, y, cx, cy, kLampRadius + 0.5f); },
                [=](float x, float y) {
                    const float r = std::hypot(x - cx, y - cy) / kLampRadius;
                    const Colour glow = mix(dark, lit, level * (1.0f - 0.45f * r * r));
                    return mix(glow, grey(1.0f), level * std::max(0.0f, 0.6f - r) * 0.6f);
                });
    // The lens highlight shows even on a dark lamp.
    c.fillCircle(cx - 2.5f, cy - 2.8f, 1.8f, mix(dark, grey(1.0f), 0.35f + 0.4f * level));
    for (int32_t y = 0; y < kLampSize; ++y) {
        for (int32_t x = 0; x < kLampSize; ++x) {
            if (!insideDisc(x, y, kLampSize / 2.0f, kLampRadius)) {
                c.set(left + x, top + y, kBlack);
            }
        }
    }
}

// The read-out digits, each row a string where '#' is lit.
struct PixelGlyph {
    int32_t glyph;
    const char* rows[8];
};

const PixelGlyph kPixelGlyphs[] = {
    {0, {".####.", "##..##", "##..##", "##..##", "##..##", "##..##", "##..##", ".####."}},
    {1, {".##.", "###.", ".##.", ".##.", ".##.", ".##.", ".##.", "####"}},
    {2, {".####.", "##..##", "....##", "...##.", "..##..", ".##...", "##....", "######"}},
    {3, {".####.", "##..##", "....##", "..###.", "....##", "....##", "##..##", ".####."}},
    {4, {"...##.", "..###.", ".####.", "##.##.", "##.##.", "######", "...##.", "...##."}},
    {5, {"######", "##....", "##....", "#####.", "....##", "....##", "##..##", ".####."}},
    {6, {"..###.", ".##...", "##....", "#####.", "##..##", "##..##", "##..##", ".####."}},
    {7, {"######", "....##", "...##.", "...##.", "..##..", "..##..", ".##...", ".##..."}},
    {8, {".####.", "##..##", "##..##", ".####.", "##..##", "##..##", "##..##", ".####."}},
    {9, {".####.", "##..##", "##..##", "##..##", ".#####", "....##", "...##.", ".###.."}},
    {kGlyphMinus, {"...", "...", "...", "###", "###", "...", "...", "..."}},
    {kGlyphDecibel,
     {"....##.##....", "....##.##....", ".#####.#####.", "##..##.##..##", "##..##.##..##", "##..##.##..##",
      "##..##.##..##", ".#####.#####."}},
    {kGlyphPoint, {"..", "..", "..", "..", "..", "..", "##", "##"}},
    {kGlyphPercent,
     {".##.....##", "####...##.", "####..##..", ".##..##...", "...##..##.", "..##..####", ".##...####",
      "##.....##."}},
};

}  // namespace

Canvas paintKnobStrip() {
    Canvas strip(kKnobStripWidth, kKnobCell);
    paintMask(strip, 0, 0, kKnobCell, kKnobRadius);
    for (int32_t frame = 0; frame < kKnobFrames; ++frame) {
        paintKnob(strip, kKnobCell + kKnobCell * frame, frame);
    }
    return strip;
}

void paintLampSprites(Canvas& sheet) {
    paintMask(sheet, kLampMask.x, kLampMask.y, kLampSize, kLampRadius);
    for (int32_t frame = 1; frame <= kLampFrames; ++frame) {
        const SkinRect r = lampFrameRegion(frame);
        paintLamp(sheet, r.x, r.y, frame);
    }
}

void paintReadoutFont(Canvas& sheet) {
    const Colour ink = rgb(0xD8DCD8);
    for (const PixelGlyph& g : kPixelGlyphs) {
        const GlyphSpan& span = kFontGlyphs[g.glyph];
        for (int32_t row = 0; row < 8; ++row) {
            for (int32_t x = 0; x < span.width && g.rows[row][x] != '\0'; ++x) {
                // One row of black above the ink centres the digits in their strip.
                sheet.set(span.x + x, kFontTop + 1 + row, g.rows[row][x] == '#' ? ink : kBlack);
            }
        }
    }
}
