#include "editor/bmp_file.h"

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint16_t kBmpMagic = 0x4D42;  // "BM"
constexpr uint16_t kBitsPerPixel = 24;
constexpr uint32_t kNoCompression = 0;
constexpr int32_t kRowAlignment = 4;
constexpr int32_t kLargestSide = 1 << 15;
constexpr int32_t kPixelsPerMetre = 2835;
constexpr int32_t kWord = 2;
constexpr int32_t kLong = 4;
constexpr int32_t kBitsPerByte = 8;
// Field offsets of the file header, then of the info header.
constexpr int32_t kFileSizeAt = 2;
constexpr int32_t kDataOffsetAt = 10;
constexpr int32_t kWidthAt = 4;
constexpr int32_t kHeightAt = 8;
constexpr int32_t kPlanesAt = 12;
constexpr int32_t kBitCountAt = 14;
constexpr int32_t kCompressionAt = 16;
constexpr int32_t kImageSizeAt = 20;
constexpr int32_t kHorizontalResolutionAt = 24;
constexpr int32_t kVerticalResolutionAt = 28;
constexpr size_t kReadChunk = 1 << 16;

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

int32_t paddedRow(int32_t width) {
    const int32_t bytes = width * kBytesPerPixel;
    return (bytes + kRowAlignment - 1) / kRowAlignment * kRowAlignment;
}

uint32_t readLittle(const uint8_t* p, int32_t bytes) {
    uint32_t v = 0;
    for (int32_t i = bytes - 1; i >= 0; --i) {
        v = (v << kBitsPerByte) | p[i];
    }
    return v;
}

void putLittle(uint8_t* p, uint32_t v, int32_t bytes) {
    for (int32_t i = 0; i < bytes; ++i) {
        p[i] = static_cast<uint8_t>(v >> (kBitsPerByte * i));
    }
}

}  // namespace

PixelImage::PixelImage(int32_t w, int32_t h)
    : width(w), height(h), pixels(static_cast<size_t>(w) * h * kBytesPerPixel, 0) {}

uint8_t* PixelImage::at(int32_t x, int32_t y) {
    return &pixels[(static_cast<size_t>(y) * width + x) * kBytesPerPixel];
}

const uint8_t* PixelImage::at(int32_t x, int32_t y) const {
    return &pixels[(static_cast<size_t>(y) * width + x) * kBytesPerPixel];
}

bool decodeBmp(const uint8_t* data, size_t size, PixelImage& image) {
    if (data == nullptr || size < kFileHeaderBytes + kInfoHeaderBytes) {
        return false;
    }
    const uint8_t* info = data + kFileHeaderBytes;
    const uint32_t dataOffset = readLittle(data + kDataOffsetAt, kLong);
    const int32_t width = static_cast<int32_t>(readLittle(info + kWidthAt, kLong));
    const int32_t rawHeight = static_cast<int32_t>(readLittle(info + kHeightAt, kLong));
    const bool bottomUp = rawHeight > 0;
    const int32_t height = bottomUp ? rawHeight : -rawHeight;
    if (readLittle(data, kWord) != kBmpMagic || readLittle(info, kLong) < kInfoHeaderBytes ||
        readLittle(info + kBitCountAt, kWord) != kBitsPerPixel || readLittle(info + kCompressionAt, kLong) != kNoCompression ||
        width <= 0 || height <= 0 || width > kLargestSide || height > kLargestSide) {
        return false;
    }
    const size_t rowBytes = static_cast<size_t>(paddedRow(width));
    if (dataOffset > size || (size - dataOffset) / rowBytes < static_cast<size_t>(height)) {
        return false;
    }
    PixelImage loaded(width, height);
    for (int32_t r = 0; r < height; ++r) {
        const uint8_t* row = data + dataOffset + rowBytes * static_cast<size_t>(r);
        const int32_t y = bottomUp ? height - 1 - r : r;
        std::copy(row, row + width * kBytesPerPixel, loaded.at(0, y));
    }
    image = std::move(loaded);
    return true;
}

bool readBmp(const std::string& path, PixelImage& image) {
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[kReadChunk];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file.get())) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + got);
    }
    return std::ferror(file.get()) == 0 && decodeBmp(bytes.data(), bytes.size(), image);
}

bool writeBmp(const std::string& path, const PixelImage& image) {
    const int32_t rowBytes = paddedRow(image.width);
    const uint32_t dataBytes = static_cast<uint32_t>(rowBytes) * static_cast<uint32_t>(image.height);
    uint8_t header[kFileHeaderBytes + kInfoHeaderBytes] = {};
    uint8_t* info = header + kFileHeaderBytes;
    putLittle(header, kBmpMagic, kWord);
    putLittle(header + kFileSizeAt, sizeof header + dataBytes, kLong);
    putLittle(header + kDataOffsetAt, sizeof header, kLong);
    putLittle(info, kInfoHeaderBytes, kLong);
    putLittle(info + kWidthAt, static_cast<uint32_t>(image.width), kLong);
    putLittle(info + kHeightAt, static_cast<uint32_t>(image.height), kLong);
    putLittle(info + kPlanesAt, 1, kWord);
    putLittle(info + kBitCountAt, kBitsPerPixel, kWord);
    putLittle(info + kImageSizeAt, dataBytes, kLong);
    putLittle(info + kHorizontalResolutionAt, kPixelsPerMetre, kLong);
    putLittle(info + kVerticalResolutionAt, kPixelsPerMetre, kLong);
    File file(std::fopen(path.c_str(), "wb"));
    if (!file || std::fwrite(header, sizeof header, 1, file.get()) != 1) {
        return false;
    }
    std::vector<uint8_t> row(static_cast<size_t>(rowBytes), 0);
    for (int32_t y = image.height - 1; y >= 0; --y) {
        std::copy(image.at(0, y), image.at(0, y) + image.width * kBytesPerPixel, row.begin());
        if (std::fwrite(row.data(), row.size(), 1, file.get()) != 1) {
            return false;
        }
    }
    return true;
}
