// Composed frames, blue-green-red bytes, turned into the pixels of a
// true-colour X visual.
#pragma once

#include <X11/Xlib.h>

#include <cstdint>

#include "editor/bmp_file.h"

struct ChannelPacking {
    int32_t shift;  // of the channel's lowest bit in a pixel
    int32_t bits;
};

struct PixelPacking {
    ChannelPacking red;
    ChannelPacking green;
    ChannelPacking blue;
};

PixelPacking pixelPacking(unsigned long redMask, unsigned long greenMask, unsigned long blueMask);
// LSBFirst or MSBFirst, as this machine stores a 32-bit value.
int nativeByteOrder();
// Fills image, of the same size as pixels, with its pixels.
void packPixels(const PixelImage& pixels, const PixelPacking& packing, XImage& image);
