// The files a VST 2 host saves of the limiter, as hosts write them: a bank of
// the ten programs or a single program, perhaps behind the header a host puts
// in front when it hands them to a newer format, with values that tell every
// program and parameter apart.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "host/vst_abi.h"

namespace vst2_files {

// A VST 2 file written the way hosts write them: big-endian words.
struct BigEndian {
    std::vector<uint8_t> bytes;
    BigEndian& word(uint32_t w) {
        for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(static_cast<uint8_t>(w >> shift));
        return *this;
    }
    BigEndian& tag(const char* t) { return word(static_cast<uint32_t>(fourCharCode(t[0], t[1], t[2], t[3]))); }
    BigEndian& real(float f) {
        uint32_t bits;
        std::memcpy(&bits, &f, sizeof bits);
        return word(bits);
    }
    BigEndian& name(const std::string& text, size_t field) {
        bytes.insert(bytes.end(), text.begin(), text.end());
        bytes.insert(bytes.end(), field - text.size(), 0);
        return *this;
    }
    BigEndian& append(const std::vector<uint8_t>& more) {
        bytes.insert(bytes.end(), more.begin(), more.end());
        return *this;
    }
};

inline float valueOf(int32_t program, int32_t index) { return static_cast<float>(program * 6 + index) / 64.0f; }

inline std::vector<uint8_t> program(int32_t number) {
    BigEndian p;
    p.tag("CcnK").word(72).tag("FxCk").word(1).tag("Vqzu").word(1).word(6);
    p.name("Bank " + std::to_string(number), 28);
    for (int32_t i = 0; i < 6; ++i) p.real(valueOf(number, i));
    return p.bytes;
}

inline std::vector<uint8_t> bank(uint32_t version, uint32_t current) {
    BigEndian b;
    b.tag("CcnK").word(948).tag("FxBk").word(version).tag("Vqzu").word(1).word(10);
    b.word(version == 2 ? current : 0).name("", 124);
    for (int32_t p = 0; p < 10; ++p) b.append(program(p));
    return b.bytes;
}

inline std::vector<uint8_t> wrapped(const std::vector<uint8_t>& inner, uint32_t bypass) {
    BigEndian w;
    w.tag("VstW").word(8).word(1).word(bypass);
    return w.append(inner).bytes;
}

}  // namespace vst2_files
