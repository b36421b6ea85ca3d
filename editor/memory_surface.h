// The blit interface over pixel buffers: the same frames the window shows,
// composed in memory from the same skin files. Used by tests and by the tool
// that renders a picture of the face.
#pragma once

#include <cstdint>
#include <string>

#include "editor/blit_target.h"
#include "editor/bmp_file.h"

constexpr int32_t kSkinBitmapCount = 5;

// One rectangle copied between pixel buffers with a raster operation, clipped
// to both buffers as a device-context copy is: nothing outside them is touched.
void blitPixels(PixelImage& target, int32_t x, int32_t y, int32_t width, int32_t height, const PixelImage& source,
                int32_t sourceX, int32_t sourceY, RasterOp op);

// The file of a skin bitmap in the resources directory; empty for the editor's own bitmaps.
const char* skinFileName(SkinBitmap bitmap);

class MemorySurface : public BlitTarget {
public:
    MemorySurface();

    // Reads the three skin bitmaps from directory; false if any is missing or malformed.
    bool loadSkin(const std::string& directory);
    PixelImage& image(SkinBitmap bitmap) { return images[static_cast<int32_t>(bitmap)]; }
    const PixelImage& image(SkinBitmap bitmap) const { return images[static_cast<int32_t>(bitmap)]; }

    bool beginFrame() override { return windowAvailable; }
    // Clipped to both bitmaps as a device-context copy is: nothing outside them is touched.
    void blit(SkinBitmap destination, int32_t x, int32_t y, int32_t width, int32_t height, SkinBitmap source,
              int32_t sourceX, int32_t sourceY, RasterOp op) override;
    void endFrame() override { ++framesPresented; }

    bool windowAvailable = true;
    int32_t framesPresented = 0;

private:
    PixelImage images[kSkinBitmapCount];
};
