#include "tools/skin/raster.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr float kFull = 255.0f;
constexpr int32_t kChannelBits = 8;
constexpr int32_t kChannelMask = 0xFF;

float clampUnit(float v) {
    return std::min(1.0f, std::max(0.0f, v));
}

uint8_t toByte(float v) {
    return static_cast<uint8_t>(std::lround(clampUnit(v) * kFull));
}

}  // namespace

Colour mix(Colour a, Colour b, float t) {
    return Colour{a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

Colour scaled(Colour c, float factor) {
    return Colour{c.r * factor, c.g * factor, c.b * factor};
}

Colour grey(float level) {
    return Colour{level, level, level};
}

Colour rgb(int32_t hex) {
    return Colour{static_cast<float>((hex >> (2 * kChannelBits)) & kChannelMask) / kFull,
                  static_cast<float>((hex >> kChannelBits) & kChannelMask) / kFull,
                  static_cast<float>(hex & kChannelMask) / kFull};
}

Canvas::Canvas(int32_t width, int32_t height)
    : w(width), h(height), pixels(static_cast<size_t>(width) * height, Colour{0, 0, 0}) {}

Colour Canvas::get(int32_t x, int32_t y) const {
    if (x < 0 || y < 0 || x >= w || y >= h) {
        return Colour{0, 0, 0};
    }
    return pixels[static_cast<size_t>(y) * w + x];
}

void Canvas::set(int32_t x, int32_t y, Colour c) {
    if (x >= 0 && y >= 0 && x < w && y < h) {
        pixels[static_cast<size_t>(y) * w + x] = c;
    }
}

void Canvas::blend(int32_t x, int32_t y, Colour c, float coverage) {
    if (coverage > 0.0f) {
        set(x, y, mix(get(x, y), c, clampUnit(coverage)));
    }
}

void Canvas::fill(Colour c) {
    std::fill(pixels.begin(), pixels.end(), c);
}

void Canvas::fillRect(int32_t x, int32_t y, int32_t width, int32_t height, Colour c) {
    for (int32_t j = y; j < y + height; ++j) {
        for (int32_t i = x; i < x + width; ++i) {
            set(i, j, c);
        }
    }
}

void Canvas::fillShape(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& distance,
                       const std::function<Colour(float, float)>& colour) {
    const int32_t left = std::max(0, static_cast<int32_t>(std::floor(x0)) - 1);
    const int32_t top = std::max(0, static_cast<int32_t>(std::floor(y0)) - 1);
    const int32_t right = std::min(w - 1, static_cast<int32_t>(std::ceil(x1)) + 1);
    const int32_t bottom = std::min(h - 1, static_cast<int32_t>(std::ceil(y1)) + 1);
    const float half = 0.5f;
    for (int32_t y = top; y <= bottom; ++y) {
        for (int32_t x = left; x <= right; ++x) {
            const float px = static_cast<float>(x) + half;
            const float py = static_cast<float>(y) + half;
            const float coverage = clampUnit(half - distance(px, py));
            if (coverage > 0.0f) {
                blend(x, y, colour(px, py), coverage);
            }
        }
    }
}

void Canvas::fillCircle(float cx, float cy, float radius, Colour c) {
    fillShape(cx - radius, cy - radius, cx + radius, cy + radius,
              [=](float x, float y) { return circleDistance(x, y, cx, cy, radius); },
              [=](float, float) { return c; });
}

void Canvas::fillRoundRect(float x, float y, float width, float height, float radius, Colour c) {
    fillShape(x, y, x + width, y + height,
              [=](float px, float py) { return roundRectDistance(px, py, x, y, width, height, radius); },
              [=](float, float) { return c; });
}

void Canvas::line(float x0, float y0, float x1, float y1, float thickness, Colour c) {
    const float half = thickness / 2.0f;
    fillShape(std::min(x0, x1) - half, std::min(y0, y1) - half, std::max(x0, x1) + half, std::max(y0, y1) + half,
              [=](float x, float y) { return segmentDistance(x, y, x0, y0, x1, y1) - half; },
              [=](float, float) { return c; });
}

void Canvas::paste(const Canvas& from, int32_t sx, int32_t sy, int32_t width, int32_t height, int32_t x,
                   int32_t y) {
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t i = 0; i < width; ++i) {
            set(x + i, y + j, from.get(sx + i, sy + j));
        }
    }
}

PixelImage Canvas::toImage() const {
    PixelImage image(w, h);
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            const Colour c = get(x, y);
            uint8_t* p = image.at(x, y);
            p[0] = toByte(c.b);
            p[1] = toByte(c.g);
            p[2] = toByte(c.r);
        }
    }
    return image;
}

float circleDistance(float x, float y, float cx, float cy, float radius) {
    return std::hypot(x - cx, y - cy) - radius;
}

float roundRectDistance(float x, float y, float rx, float ry, float width, float height, float radius) {
    const float hx = width / 2.0f;
    const float hy = height / 2.0f;
    const float dx = std::fabs(x - (rx + hx)) - (hx - radius);
    const float dy = std::fabs(y - (ry + hy)) - (hy - radius);
    const float outside = std::hypot(std::max(dx, 0.0f), std::max(dy, 0.0f));
    return outside + std::min(std::max(dx, dy), 0.0f) - radius;
}

float segmentDistance(float x, float y, float x0, float y0, float x1, float y1) {
    const float vx = x1 - x0;
    const float vy = y1 - y0;
    const float length = vx * vx + vy * vy;
    float t = length > 0.0f ? ((x - x0) * vx + (y - y0) * vy) / length : 0.0f;
    t = clampUnit(t);
    return std::hypot(x - (x0 + t * vx), y - (y0 + t * vy));
}

float grain(int32_t x, int32_t y, uint32_t seed) {
    // A small integer hash: the same pixels on every machine and every run.
    uint32_t v = static_cast<uint32_t>(x) * 0x8DA6B343u ^ static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    v ^= v >> 13;
    v *= 0x5BD1E995u;
    v ^= v >> 15;
    return static_cast<float>(v & 0xFFFFu) / 32767.5f - 1.0f;
}
