// The only drawing the editor does: copying rectangles between its bitmaps with
// one of four raster operations. The window layer implements it with GDI; the
// in-memory surface implements it over pixel buffers for tests and pictures.
#pragma once

#include <cstdint>

enum class SkinBitmap : uint8_t {
    kFaceSheet,
    kKnobStrip,
    kNeedleStrip,
    kOffscreen,  // the editor's composing bitmap
    kWindow,     // the visible window; only a destination
};

enum class RasterOp : uint8_t {
    kCopy,       // destination = source
    kAnd,        // destination = destination AND source (punches a mask)
    kPaint,      // destination = destination OR source (fills the punched hole)
    kBlackness,  // destination = black; the source is not read
};

class BlitTarget {
public:
    virtual ~BlitTarget() = default;

    // Takes the window's drawing context for one frame; false when there is none.
    virtual bool beginFrame() = 0;
    virtual void blit(SkinBitmap destination, int32_t x, int32_t y, int32_t width, int32_t height,
                      SkinBitmap source, int32_t sourceX, int32_t sourceY, RasterOp op) = 0;
    virtual void endFrame() = 0;
};
