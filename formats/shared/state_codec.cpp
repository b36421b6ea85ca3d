#include "formats/shared/state_codec.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace formats {

namespace {

// VST 2 bank and program files: big-endian, four-character tags.
constexpr uint32_t kChunkTag = static_cast<uint32_t>(fourCharCode('C', 'c', 'n', 'K'));
constexpr uint32_t kBankTag = static_cast<uint32_t>(fourCharCode('F', 'x', 'B', 'k'));
constexpr uint32_t kProgramTag = static_cast<uint32_t>(fourCharCode('F', 'x', 'C', 'k'));
constexpr uint32_t kWrapperTag = static_cast<uint32_t>(fourCharCode('V', 's', 't', 'W'));
constexpr uint32_t kEffectId = static_cast<uint32_t>(kLimiterId);
constexpr uint32_t kWrapperHeaderSize = 8;
constexpr uint32_t kOldestFileVersion = 1;
constexpr uint32_t kNewestFileVersion = 2;
constexpr uint32_t kBankWithCurrentProgram = 2;
constexpr size_t kFileNameBytes = 28;
constexpr size_t kBankReservedBytes = 128;
// Tag and byte count ahead of what the byte count covers.
constexpr size_t kChunkHeader = 8;
constexpr size_t kProgramBytes = kChunkHeader + 5 * 4 + kFileNameBytes + kParameterCount * 4;
constexpr size_t kBankHeaderBytes = kChunkHeader + 5 * 4 + kBankReservedBytes;
constexpr size_t kFirstStateBytes = 6 * 4 + kProgramCount * (kStateNameBytes + kParameterCount * 4);
constexpr size_t kStateBytes = kFirstStateBytes + 2 * 4;

// Reads fields one after the other; any read past the end marks it failed.
class Reader {
public:
    Reader(const uint8_t* bytes, size_t size, bool bigEndian) : at(bytes), left(size), big(bigEndian) {}

    uint32_t word() {
        uint8_t b[4] = {};
        take(b, sizeof b);
        return big ? (uint32_t{b[0]} << 24) | (uint32_t{b[1]} << 16) | (uint32_t{b[2]} << 8) | b[3]
                   : (uint32_t{b[3]} << 24) | (uint32_t{b[2]} << 16) | (uint32_t{b[1]} << 8) | b[0];
    }
    float real() {
        const uint32_t bits = word();
        float value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }
    // A NUL-terminated text in a field of `bytes`, cut to a program name's
    // length; unterminated fails.
    void name(size_t bytes, std::array<char, kStateNameBytes>& text) {
        text.fill('\0');
        if (bytes > left) return fail();
        const auto* end = static_cast<const uint8_t*>(std::memchr(at, 0, bytes));
        if (end == nullptr) return fail();
        std::memcpy(text.data(), at, std::min(static_cast<size_t>(end - at), kStateNameBytes - 1));
        skip(bytes);
    }
    void skip(size_t bytes) {
        if (bytes > left) return fail();
        at += bytes;
        left -= bytes;
    }
    size_t remaining() const { return left; }
    bool ok() const { return good; }
    void fail() {
        good = false;
        left = 0;
    }

private:
    void take(uint8_t* out, size_t bytes) {
        if (bytes > left) return fail();
        std::memcpy(out, at, bytes);
        skip(bytes);
    }

    const uint8_t* at;
    size_t left;
    bool big;
    bool good = true;
};

void putWord(std::vector<uint8_t>& out, uint32_t word) {
    for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<uint8_t>(word >> shift));
}

bool usableValue(float value) { return std::isfinite(value) && value >= 0.0f && value <= 1.0f; }

bool readValues(Reader& in, std::array<float, kParameterCount>& values) {
    for (float& value : values) {
        value = in.real();
        if (!usableValue(value)) in.fail();
    }
    return in.ok();
}

// One program as a VST 2 host writes it, inside a bank or alone.
bool readProgram(Reader& in, ProgramState& program) {
    const size_t start = in.remaining();
    if (in.word() != kChunkTag) return false;
    const uint32_t byteSize = in.word();
    if (in.word() != kProgramTag || byteSize != kProgramBytes - kChunkHeader) return false;
    const uint32_t version = in.word();
    if (version < kOldestFileVersion || version > kNewestFileVersion || in.word() != kEffectId) return false;
    in.word();  // the effect's version: any
    if (in.word() != kParameterCount) return false;
    in.name(kFileNameBytes, program.name);
    return readValues(in, program.values) && start - in.remaining() == kProgramBytes;
}

bool readBank(Reader& in, size_t size, RestoredState& restored) {
    if (size != kBankHeaderBytes + kProgramCount * kProgramBytes) return false;
    if (in.word() != kChunkTag || in.word() != size - kChunkHeader || in.word() != kBankTag) return false;
    const uint32_t version = in.word();
    if (version < kOldestFileVersion || version > kNewestFileVersion || in.word() != kEffectId) return false;
    in.word();  // the effect's version: any
    if (in.word() != kProgramCount) return false;
    uint32_t current = 0;
    if (version >= kBankWithCurrentProgram) {
        current = in.word();
        in.skip(kBankReservedBytes - 4);
    } else {
        in.skip(kBankReservedBytes);
    }
    if (current >= kProgramCount) return false;
    restored.state.program = static_cast<int32_t>(current);
    for (ProgramState& program : restored.state.programs) {
        if (!readProgram(in, program)) return false;
    }
    return in.ok() && in.remaining() == 0;
}

// A VST 2 file, perhaps behind the wrapper header that carries the bypass.
std::optional<RestoredState> decodeVst2(const uint8_t* bytes, size_t size) {
    RestoredState restored;
    Reader probe(bytes, size, true);
    if (probe.word() == kWrapperTag) {
        if (probe.word() != kWrapperHeaderSize) return std::nullopt;
        probe.word();  // the wrapper's version
        const uint32_t bypass = probe.word();
        if (!probe.ok() || bypass > 1) return std::nullopt;
        restored.bypass = bypass == 1;
        bytes += size - probe.remaining();
        size = probe.remaining();
    }
    Reader kind(bytes, size, true);
    kind.skip(kChunkHeader);
    const uint32_t tag = kind.word();
    Reader in(bytes, size, true);
    if (tag == kBankTag && readBank(in, size, restored)) return restored;
    if (tag == kProgramTag && size == kProgramBytes && readProgram(in, restored.state.programs[0])) {
        restored.wholeBank = false;
        return restored;
    }
    return std::nullopt;
}

std::optional<RestoredState> decodeOwn(const uint8_t* bytes, size_t size) {
    Reader in(bytes + 4, size - 4, false);
    RestoredState restored;
    const uint32_t version = in.word();
    const uint32_t program = in.word();
    const uint32_t bypass = in.word();
    restored.delivery = version == kStateVersion;
    if (size != (restored.delivery ? kStateBytes : kFirstStateBytes)) return std::nullopt;
    if ((version != kStateVersion && version != kFirstStateVersion) || program >= kProgramCount || bypass > 1 ||
        in.word() != kProgramCount || in.word() != kParameterCount) {
        return std::nullopt;
    }
    restored.state.program = static_cast<int32_t>(program);
    restored.state.bypass = bypass == 1;
    restored.bypass = restored.state.bypass;
    for (ProgramState& p : restored.state.programs) {
        in.name(kStateNameBytes, p.name);
        if (!readValues(in, p.values)) return std::nullopt;
    }
    if (restored.delivery) {
        restored.state.ceiling = in.real();
        const uint32_t truePeak = in.word();
        if (!usableValue(restored.state.ceiling) || truePeak > 1) return std::nullopt;
        restored.state.truePeak = truePeak == 1;
    }
    if (!in.ok()) return std::nullopt;
    return restored;
}

}  // namespace

std::vector<uint8_t> encodeState(const EffectState& state) {
    std::vector<uint8_t> out(kStateTag, kStateTag + 4);
    putWord(out, kStateVersion);
    putWord(out, static_cast<uint32_t>(state.program));
    putWord(out, state.bypass ? 1 : 0);
    putWord(out, kProgramCount);
    putWord(out, kParameterCount);
    for (const ProgramState& program : state.programs) {
        std::array<char, kStateNameBytes> name = program.name;
        name.back() = '\0';
        out.insert(out.end(), name.begin(), name.end());
        for (float value : program.values) {
            uint32_t bits;
            std::memcpy(&bits, &value, sizeof bits);
            putWord(out, bits);
        }
    }
    uint32_t ceiling;
    std::memcpy(&ceiling, &state.ceiling, sizeof ceiling);
    putWord(out, ceiling);
    putWord(out, state.truePeak ? 1 : 0);
    return out;
}

std::optional<RestoredState> decodeState(const uint8_t* bytes, size_t size) {
    if (bytes == nullptr || size < 4) return std::nullopt;
    if (std::memcmp(bytes, kStateTag, 4) == 0) return decodeOwn(bytes, size);
    return decodeVst2(bytes, size);
}

EffectState captureState(const LimiterModel& model, bool bypass) {
    EffectState state;
    state.program = model.program();
    state.bypass = bypass;
    for (int32_t p = 0; p < kProgramCount; ++p) {
        ProgramState& program = state.programs[static_cast<size_t>(p)];
        model.programName(p).copy(program.name.data(), kStateNameBytes - 1);
        for (int32_t i = 0; i < kParameterCount; ++i) program.values[static_cast<size_t>(i)] = model.programValue(p, i);
    }
    return state;
}

void applyNames(LimiterModel& model, const RestoredState& restored) {
    if (!restored.wholeBank) {
        model.renameProgram(model.program(), restored.state.programs[0].name.data());
        return;
    }
    for (int32_t p = 0; p < kProgramCount; ++p) model.renameProgram(p, restored.state.programs[static_cast<size_t>(p)].name.data());
}

void applyValues(LimiterModel& model, const RestoredState& restored) {
    const auto write = [&model](int32_t index, const ProgramState& program) {
        for (int32_t i = 0; i < kParameterCount; ++i) model.setProgramValue(index, i, program.values[static_cast<size_t>(i)]);
    };
    if (!restored.wholeBank) {
        write(model.program(), restored.state.programs[0]);
        model.selectProgram(model.program());
        return;
    }
    for (int32_t p = 0; p < kProgramCount; ++p) write(p, restored.state.programs[static_cast<size_t>(p)]);
    model.selectProgram(restored.state.program);
}

void applyState(LimiterModel& model, const RestoredState& restored) {
    applyNames(model, restored);
    applyValues(model, restored);
}

void applyState(EffectState& state, const RestoredState& restored) {
    if (restored.wholeBank) {
        const EffectState before = state;
        state = restored.state;
        state.bypass = before.bypass;
        if (!restored.delivery) {
            state.ceiling = before.ceiling;
            state.truePeak = before.truePeak;
        }
    } else {
        state.programs[static_cast<size_t>(state.program)] = restored.state.programs[0];
    }
    if (restored.bypass) state.bypass = *restored.bypass;
    if (restored.delivery) {
        state.ceiling = restored.state.ceiling;
        state.truePeak = restored.state.truePeak;
    }
}

}  // namespace formats
