// The fuzz inputs as a plain stream of little-endian values, read front to back
// by the targets and written the same way by the program that makes the seed
// and regression inputs. A read past the end gives zeros, so every byte string
// is a valid input.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>

namespace fuzz {

constexpr int kByteBits = 8;
constexpr int kHalfWordBits = 16;
constexpr uint32_t kByteMask = 0xff;
constexpr uint32_t kHalfWordMask = 0xffff;

class ByteReader {
public:
    ByteReader(const uint8_t* bytes, std::size_t size) : data(bytes), left(size) {}

    bool empty() const { return left == 0; }
    uint8_t byte() {
        if (left == 0) return 0;
        --left;
        return *data++;
    }
    uint16_t u16() {
        const uint32_t low = byte();
        return static_cast<uint16_t>(low | (static_cast<uint32_t>(byte()) << kByteBits));
    }
    uint32_t u32() {
        const uint32_t low = u16();
        return low | (static_cast<uint32_t>(u16()) << kHalfWordBits);
    }
    float f32() {
        const uint32_t bits = u32();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // Up to `count` bytes, fewer at the end.
    std::string bytes(std::size_t count) {
        std::string taken;
        while (count-- > 0 && left > 0) taken += static_cast<char>(byte());
        return taken;
    }

private:
    const uint8_t* data;
    std::size_t left;
};

class ByteWriter {
public:
    ByteWriter& byte(uint8_t value) {
        text += static_cast<char>(value);
        return *this;
    }
    ByteWriter& u16(uint16_t value) {
        return byte(static_cast<uint8_t>(value & kByteMask)).byte(static_cast<uint8_t>(value >> kByteBits));
    }
    ByteWriter& u32(uint32_t value) {
        return u16(static_cast<uint16_t>(value & kHalfWordMask)).u16(static_cast<uint16_t>(value >> kHalfWordBits));
    }
    ByteWriter& f32(float value) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        return u32(bits);
    }
    ByteWriter& bytes(const std::string& more) {
        text += more;
        return *this;
    }
    const std::string& str() const { return text; }

private:
    std::string text;
};

}  // namespace fuzz
