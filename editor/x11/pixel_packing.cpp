#include "editor/x11/pixel_packing.h"

#include <X11/Xutil.h>

#include <cstring>

namespace {

constexpr int32_t kChannelBits = 8;
constexpr int32_t kWideBitsPerPixel = 32;
// Byte offsets of the channels in a composed pixel.
constexpr int32_t kBlueByte = 0;
constexpr int32_t kGreenByte = 1;
constexpr int32_t kRedByte = 2;

ChannelPacking channelPacking(unsigned long mask) {
    ChannelPacking channel{0, 0};
    if (mask == 0) {
        return channel;
    }
    while ((mask & 1UL) == 0) {
        mask >>= 1;
        ++channel.shift;
    }
    while ((mask & 1UL) != 0) {
        mask >>= 1;
        ++channel.bits;
    }
    return channel;
}

// The top bits of an 8-bit value for narrower channels; for wider ones the
// value repeated into the low bits, so full brightness stays full.
uint32_t packChannel(uint8_t value, const ChannelPacking& channel) {
    uint32_t scaled = value;
    if (channel.bits < kChannelBits) {
        scaled >>= kChannelBits - channel.bits;
    } else {
        for (int32_t have = kChannelBits; have < channel.bits; have += kChannelBits) {
            scaled = scaled << kChannelBits | value;
        }
        scaled >>= ((channel.bits + kChannelBits - 1) / kChannelBits) * kChannelBits - channel.bits;
    }
    return scaled << channel.shift;
}

}  // namespace

PixelPacking pixelPacking(unsigned long redMask, unsigned long greenMask, unsigned long blueMask) {
    return PixelPacking{channelPacking(redMask), channelPacking(greenMask), channelPacking(blueMask)};
}

int nativeByteOrder() {
    const uint32_t one = 1;
    uint8_t first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1 ? LSBFirst : MSBFirst;
}

void packPixels(const PixelImage& pixels, const PixelPacking& packing, XImage& image) {
    const bool wide = image.bits_per_pixel == kWideBitsPerPixel && image.byte_order == nativeByteOrder();
    for (int32_t y = 0; y < pixels.height; ++y) {
        const uint8_t* in = pixels.at(0, y);
        auto* row = reinterpret_cast<uint32_t*>(image.data + static_cast<size_t>(y) * image.bytes_per_line);
        for (int32_t x = 0; x < pixels.width; ++x, in += kBytesPerPixel) {
            const uint32_t pixel = packChannel(in[kRedByte], packing.red) | packChannel(in[kGreenByte], packing.green) |
                                   packChannel(in[kBlueByte], packing.blue);
            if (wide) {
                row[x] = pixel;
            } else {
                XPutPixel(&image, x, y, pixel);
            }
        }
    }
}
