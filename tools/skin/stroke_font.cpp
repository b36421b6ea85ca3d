#include "tools/skin/stroke_font.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>
#include <vector>

namespace {

struct GlyphShape {
    char symbol;
    float width;
    const char* strokes;  // points "x,y" separated by spaces, strokes by '|'
};

const GlyphShape kGlyphs[] = {
    {'A', 4, "0,6 2,0 4,6|0.7,4 3.3,4"},
    {'B', 4, "0,6 0,0 3,0 4,0.8 4,2.2 3,3 0,3|3,3 4,3.8 4,5.2 3,6 0,6"},
    {'C', 4, "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5"},
    {'D', 4, "0,0 0,6 2.5,6 4,4.5 4,1.5 2.5,0 0,0"},
    {'E', 3.6f, "3.6,0 0,0 0,6 3.6,6|0,3 2.8,3"},
    {'F', 3.6f, "3.6,0 0,0 0,6|0,3 2.8,3"},
    {'G', 4, "4,1 3,0 1,0 0,1 0,5 1,6 3,6 4,5 4,3.5 2.5,3.5"},
    {'H', 4, "0,0 0,6|4,0 4,6|0,3 4,3"},
    {'I', 0, "0,0 0,6"},
    {'J', 3.5f, "3.5,0 3.5,5 2.5,6 1,6 0,5"},
    {'K', 4, "0,0 0,6|4,0 0,3.7|1.3,2.7 4,6"},
    {'L', 3.6f, "0,0 0,6 3.6,6"},
    {'M', 5, "0,6 0,0 2.5,4 5,0 5,6"},
    {'N', 4, "0,6 0,0 4,6 4,0"},
    {'O', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"},
    {'P', 4, "0,6 0,0 3,0 4,0.8 4,2.4 3,3.2 0,3.2"},
    {'Q', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0|2.5,4.5 4.2,6.2"},
    {'R', 4, "0,6 0,0 3,0 4,0.8 4,2.4 3,3.2 0,3.2|2,3.2 4,6"},
    {'S', 4, "4,1 3,0 1,0 0,1 0,2 1,3 3,3 4,4 4,5 3,6 1,6 0,5"},
    {'T', 4, "0,0 4,0|2,0 2,6"},
    {'U', 4, "0,0 0,5 1,6 3,6 4,5 4,0"},
    {'V', 4, "0,0 2,6 4,0"},
    {'W', 5, "0,0 1.2,6 2.5,2 3.8,6 5,0"},
    {'X', 4, "0,0 4,6|4,0 0,6"},
    {'Y', 4, "0,0 2,3 4,0|2,3 2,6"},
    {'Z', 4, "0,0 4,0 0,6 4,6"},
    {'0', 4, "1,0 3,0 4,1 4,5 3,6 1,6 0,5 0,1 1,0"},
    {'1', 2, "0,1 1.5,0 1.5,6"},
    {'2', 4, "0,1 1,0 3,0 4,1 4,2 0,6 4,6"},
    {'3', 4, "0,1 1,0 3,0 4,1 4,2 3,3 1.5,3|3,3 4,4 4,5 3,6 1,6 0,5"},
    {'4', 4, "3,6 3,0 0,4 4,4"},
    {'5', 4, "4,0 0,0 0,2.8 3,2.8 4,3.8 4,5 3,6 1,6 0,5"},
    {'6', 4, "3.5,0 1.5,0 0,1.5 0,5 1,6 3,6 4,5 4,4 3,3 0,3"},
    {'7', 4, "0,0 4,0 1.5,6"},
    {'8', 4, "1,0 3,0 4,1 4,2 3,3 1,3 0,2 0,1 1,0|1,3 0,4 0,5 1,6 3,6 4,5 4,4 3,3"},
    {'9', 4, "0.5,6 2.5,6 4,4.5 4,1 3,0 1,0 0,1 0,2 1,3 4,3"},
    {'a', 3, "0.3,2 2,2 3,2.8 3,6|3,3.8 1,3.8 0,4.6 0,5.3 0.8,6 2,6 3,5.2"},
    {'b', 3, "0,0 0,6|0,2.8 0.8,2 2.2,2 3,2.8 3,5.2 2.2,6 0.8,6 0,5.2"},
    {'c', 3, "3,2.6 2.2,2 0.8,2 0,2.8 0,5.2 0.8,6 2.2,6 3,5.4"},
    {'d', 3, "3,0 3,6|3,2.8 2.2,2 0.8,2 0,2.8 0,5.2 0.8,6 2.2,6 3,5.2"},
    {'e', 3, "0,4 3,4 3,2.8 2.2,2 0.8,2 0,2.8 0,5.2 0.8,6 2.2,6 3,5.4"},
    {'f', 2.5f, "2.5,0.3 1.8,0 1.3,0 0.8,0.6 0.8,6|0,2 2.3,2"},
    {'g', 3, "3,2 3,7.2 2.2,8 0.8,8 0.2,7.5|3,2.8 2.2,2 0.8,2 0,2.8 0,5.2 0.8,6 2.2,6 3,5.2"},
    {'h', 3, "0,0 0,6|0,2.8 0.8,2 2.2,2 3,2.8 3,6"},
    {'i', 0, "0,2 0,6|0,0.5 0,0.7"},
    {'k', 3, "0,0 0,6|3,2 0,4.2|1,3.5 3,6"},
    {'l', 0, "0,0 0,6"},
    {'m', 5, "0,6 0,2|0,2.8 0.8,2 1.7,2 2.5,2.8 2.5,6|2.5,2.8 3.3,2 4.2,2 5,2.8 5,6"},
    {'n', 3, "0,6 0,2|0,2.8 0.8,2 2.2,2 3,2.8 3,6"},
    {'o', 3, "0.8,2 2.2,2 3,2.8 3,5.2 2.2,6 0.8,6 0,5.2 0,2.8 0.8,2"},
    {'p', 3, "0,2 0,8|0,2.8 0.8,2 2.2,2 3,2.8 3,5.2 2.2,6 0.8,6 0,5.2"},
    {'r', 2.5f, "0,6 0,2|0,3 1,2 2.5,2"},
    {'s', 3, "3,2.6 2.2,2 0.8,2 0,2.7 0,3.3 0.8,4 2.2,4 3,4.7 3,5.3 2.2,6 0.8,6 0,5.4"},
    {'t', 2.5f, "1,0.5 1,5.3 1.7,6 2.5,6|0,2 2.5,2"},
    {'u', 3, "0,2 0,5.2 0.8,6 2.2,6 3,5.2|3,2 3,6"},
    {'v', 3, "0,2 1.5,6 3,2"},
    {'w', 5, "0,2 1.2,6 2.5,2.8 3.8,6 5,2"},
    {'x', 3, "0,2 3,6|3,2 0,6"},
    {'y', 3, "0,2 1.5,6|3,2 1.2,8 0.3,8"},
    {'z', 3, "0,2 3,2 0,6 3,6"},
    {'-', 2.5f, "0,3.5 2.5,3.5"},
    {'_', 4, "0,6.6 4,6.6"},
    {'.', 0, "0,5.8 0,5.9"},
    {':', 0, "0,2 0,2.1|0,5.8 0,5.9"},
    {'+', 4, "0,3 4,3|2,1 2,5"},
    {'/', 3, "0,6 3,0"},
    {'%', 4, "0,6 4,0|0.6,0 1.2,0.6 0.6,1.2 0,0.6 0.6,0|3.4,4.8 4,5.4 3.4,6 2.8,5.4 3.4,4.8"},
};

constexpr float kSpaceWidth = 2.5f;
constexpr float kLetterGap = 1.6f;

const GlyphShape* findGlyph(char c) {
    for (const GlyphShape& g : kGlyphs) {
        if (g.symbol == c) {
            return &g;
        }
    }
    return nullptr;
}

struct Segment {
    float x0, y0, x1, y1;
};

std::vector<Segment> segmentsOf(const GlyphShape& glyph, float x, float y, float unit) {
    std::vector<Segment> segments;
    std::stringstream strokes(glyph.strokes);
    std::string stroke;
    while (std::getline(strokes, stroke, '|')) {
        std::stringstream points(stroke);
        std::string point;
        bool first = true;
        float px = 0;
        float py = 0;
        while (points >> point) {
            const size_t comma = point.find(',');
            const float gx = x + std::strtof(point.substr(0, comma).c_str(), nullptr) * unit;
            const float gy = y + std::strtof(point.substr(comma + 1).c_str(), nullptr) * unit;
            if (!first) {
                segments.push_back({px, py, gx, gy});
            }
            px = gx;
            py = gy;
            first = false;
        }
    }
    return segments;
}

float advanceOf(char c, const TextStyle& style) {
    const GlyphShape* glyph = findGlyph(c);
    const float width = glyph != nullptr ? glyph->width : kSpaceWidth;
    return (width + kLetterGap + style.tracking) * style.unit;
}

}  // namespace

float textWidth(const std::string& text, const TextStyle& style) {
    float width = 0;
    for (char c : text) {
        width += advanceOf(c, style);
    }
    return text.empty() ? 0 : width - (kLetterGap + style.tracking) * style.unit;
}

void drawText(Canvas& canvas, const std::string& text, float x, float y, const TextStyle& style) {
    float cursor = x;
    const float half = style.thickness / 2.0f;
    for (char c : text) {
        const GlyphShape* glyph = findGlyph(c);
        if (glyph != nullptr) {
            const std::vector<Segment> segments = segmentsOf(*glyph, cursor, y, style.unit);
            float x0 = std::numeric_limits<float>::max(), y0 = x0, x1 = -x0, y1 = -x0;
            for (const Segment& s : segments) {
                x0 = std::min({x0, s.x0, s.x1});
                x1 = std::max({x1, s.x0, s.x1});
                y0 = std::min({y0, s.y0, s.y1});
                y1 = std::max({y1, s.y0, s.y1});
            }
            canvas.fillShape(
                x0 - half, y0 - half, x1 + half, y1 + half,
                [&](float px, float py) {
                    float nearest = std::numeric_limits<float>::max();
                    for (const Segment& s : segments) {
                        nearest = std::min(nearest, segmentDistance(px, py, s.x0, s.y0, s.x1, s.y1));
                    }
                    return nearest - half;
                },
                [&](float, float) { return style.colour; });
        }
        cursor += advanceOf(c, style);
    }
}

void drawTextCentred(Canvas& canvas, const std::string& text, float centreX, float y, const TextStyle& style) {
    drawText(canvas, text, centreX - textWidth(text, style) / 2.0f, y, style);
}
