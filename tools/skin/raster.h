// Drawing primitives for the skin artwork: colours, anti-aliased shapes from
// distance functions, strokes, gradients and a repeatable grain.
#pragma once

#include <cstdint>
#include <functional>

#include "editor/bmp_file.h"

struct Colour {
    float r;
    float g;
    float b;
};

Colour mix(Colour a, Colour b, float t);
Colour scaled(Colour c, float factor);
Colour grey(float level);
Colour rgb(int32_t hex);

class Canvas {
public:
    Canvas(int32_t width, int32_t height);

    int32_t width() const { return w; }
    int32_t height() const { return h; }
    Colour get(int32_t x, int32_t y) const;
    void set(int32_t x, int32_t y, Colour c);
    // Blends c over the pixel with the given coverage 0..1.
    void blend(int32_t x, int32_t y, Colour c, float coverage);

    void fill(Colour c);
    void fillRect(int32_t x, int32_t y, int32_t width, int32_t height, Colour c);
    // Paints colour(x, y) wherever distance(x, y) is inside (negative), with a
    // one-pixel soft edge, over the box x0..x1, y0..y1.
    void fillShape(float x0, float y0, float x1, float y1, const std::function<float(float, float)>& distance,
                   const std::function<Colour(float, float)>& colour);
    void fillCircle(float cx, float cy, float radius, Colour c);
    void fillRoundRect(float x, float y, float width, float height, float radius, Colour c);
    void line(float x0, float y0, float x1, float y1, float thickness, Colour c);
    // Copies a region of another canvas to x, y.
    void paste(const Canvas& from, int32_t sx, int32_t sy, int32_t width, int32_t height, int32_t x, int32_t y);

    PixelImage toImage() const;

private:
    int32_t w;
    int32_t h;
    std::vector<Colour> pixels;
};

// Signed distances: negative inside.
float circleDistance(float x, float y, float cx, float cy, float radius);
float roundRectDistance(float x, float y, float rx, float ry, float width, float height, float radius);
float segmentDistance(float x, float y, float x0, float y0, float x1, float y1);

// A repeatable value in -1..1 for integer coordinates and a seed.
float grain(int32_t x, int32_t y, uint32_t seed);
