#include "formats/vst3/vst3_support.h"

#include <algorithm>

namespace vst3 {

namespace {

constexpr char16 kHighestAscii = 0x7F;
// A stream is read in pieces of this size, so that a host's stream that
// reports no size still reads whole.
constexpr int32_t kReadPiece = 4096;

}  // namespace

void copyText(char16* field, size_t capacity, const std::string& text) {
    if (field == nullptr || capacity == 0) return;
    const size_t length = std::min(text.size(), capacity - 1);
    for (size_t i = 0; i < length; ++i) field[i] = static_cast<char16>(static_cast<unsigned char>(text[i]));
    field[length] = 0;
}

void copyText(char* field, size_t capacity, const std::string& text) {
    if (field == nullptr || capacity == 0) return;
    const size_t length = std::min(text.size(), capacity - 1);
    text.copy(field, length);
    field[length] = '\0';
}

std::optional<std::string> asciiText(const char16* text, size_t capacity) {
    if (text == nullptr) return std::nullopt;
    std::string ascii;
    for (size_t i = 0; i < capacity; ++i) {
        if (text[i] == 0) return ascii;
        if (text[i] > kHighestAscii) return std::nullopt;
        ascii.push_back(static_cast<char>(text[i]));
    }
    return std::nullopt;
}

std::optional<std::vector<uint8_t>> readStream(IBStream* stream, size_t limit) {
    if (stream == nullptr) return std::nullopt;
    std::vector<uint8_t> bytes;
    uint8_t piece[kReadPiece];
    for (;;) {
        int32_t got = 0;
        const tresult result = stream->read(piece, kReadPiece, &got);
        if (got < 0 || got > kReadPiece) return std::nullopt;
        bytes.insert(bytes.end(), piece, piece + got);
        if (bytes.size() > limit) return std::nullopt;
        if (result != kResultOk || got < kReadPiece) return bytes;
    }
}

bool writeStream(IBStream* stream, const std::vector<uint8_t>& bytes) {
    if (stream == nullptr) return false;
    int32_t written = 0;
    std::vector<uint8_t> copy(bytes);  // the interface takes a writable buffer
    const auto size = static_cast<int32_t>(copy.size());
    return stream->write(copy.data(), size, &written) == kResultOk && written == size;
}

}  // namespace vst3
