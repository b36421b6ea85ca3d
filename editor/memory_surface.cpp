#include "editor/memory_surface.h"

#include <algorithm>

#include "editor/skin_layout.h"

namespace {

struct Span {
    int32_t from;
    int32_t to;  // one past the end
};

// Limits a run of length starting at start (and at sourceStart in the source)
// to both extents; returns the shift applied to both starts.
Span clipSpan(int32_t start, int32_t length, int32_t extent, int32_t sourceStart, int32_t sourceExtent) {
    int32_t from = std::max({0, -start, -sourceStart});
    int32_t to = std::min({length, extent - start, sourceExtent - sourceStart});
    return Span{from, std::max(from, to)};
}

uint8_t combine(uint8_t destination, uint8_t source, RasterOp op) {
    switch (op) {
    case RasterOp::kCopy:
        return source;
    case RasterOp::kAnd:
        return destination & source;
    case RasterOp::kPaint:
        return destination | source;
    case RasterOp::kBlackness:
        break;
    }
    return 0;
}

}  // namespace

const char* skinFileName(SkinBitmap bitmap) {
    switch (bitmap) {
    case SkinBitmap::kFaceSheet:
        return "face_sheet.bmp";
    case SkinBitmap::kKnobStrip:
        return "knob_strip.bmp";
    case SkinBitmap::kNeedleStrip:
        return "needle_strip.bmp";
    default:
        return "";
    }
}

MemorySurface::MemorySurface() {
    image(SkinBitmap::kOffscreen) = PixelImage(kOffscreenWidth, kOffscreenHeight);
    image(SkinBitmap::kWindow) = PixelImage(kFaceWidth, kFaceHeight);
}

bool MemorySurface::loadSkin(const std::string& directory) {
    for (SkinBitmap bitmap : {SkinBitmap::kFaceSheet, SkinBitmap::kKnobStrip, SkinBitmap::kNeedleStrip}) {
        if (!readBmp(directory + "/" + skinFileName(bitmap), image(bitmap))) {
            return false;
        }
    }
    return true;
}

void MemorySurface::blit(SkinBitmap destination, int32_t x, int32_t y, int32_t width, int32_t height,
                         SkinBitmap source, int32_t sourceX, int32_t sourceY, RasterOp op) {
    blitPixels(image(destination), x, y, width, height, image(source), sourceX, sourceY, op);
}

void blitPixels(PixelImage& target, int32_t x, int32_t y, int32_t width, int32_t height, const PixelImage& source,
                int32_t sourceX, int32_t sourceY, RasterOp op) {
    // Blackness reads nothing, so only the destination limits it.
    const bool readsSource = op != RasterOp::kBlackness;
    const PixelImage& from = readsSource ? source : target;
    if (!readsSource) {
        sourceX = x;
        sourceY = y;
    }
    const Span columns = clipSpan(x, width, target.width, sourceX, from.width);
    const Span rows = clipSpan(y, height, target.height, sourceY, from.height);
    if (columns.from >= columns.to || rows.from >= rows.to) {
        return;
    }
    const int32_t bytes = (columns.to - columns.from) * kBytesPerPixel;
    std::vector<uint8_t> copied(static_cast<size_t>(bytes));
    for (int32_t row = rows.from; row < rows.to; ++row) {
        // Through a copy of the source row, so a bitmap copied onto itself reads unchanged pixels.
        const uint8_t* in = from.at(sourceX + columns.from, sourceY + row);
        std::copy(in, in + bytes, copied.begin());
        uint8_t* out = target.at(x + columns.from, y + row);
        for (int32_t i = 0; i < bytes; ++i) {
            out[i] = combine(out[i], copied[static_cast<size_t>(i)], op);
        }
    }
}
