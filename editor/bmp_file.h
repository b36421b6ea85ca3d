// 24-bit uncompressed BMP files, read and written whole. Enough for the skin
// bitmaps and for pictures of rendered frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Pixels as blue, green, red bytes, top row first, rows packed without padding.
struct PixelImage {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> pixels;

    PixelImage() = default;
    PixelImage(int32_t w, int32_t h);
    bool empty() const { return pixels.empty(); }
    uint8_t* at(int32_t x, int32_t y);
    const uint8_t* at(int32_t x, int32_t y) const;
};

constexpr int32_t kBytesPerPixel = 3;

// False for anything but a well-formed 24-bit uncompressed bitmap; a file too
// short for its pixels is refused, never read past.
bool readBmp(const std::string& path, PixelImage& image);
bool decodeBmp(const uint8_t* data, size_t size, PixelImage& image);
bool writeBmp(const std::string& path, const PixelImage& image);
