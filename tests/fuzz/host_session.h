// A fuzz input read as a host session: a sequence of actions on up to a few
// instances of the plug-in, each action a kind byte followed by its
// arguments. The encoding is shared by the fuzz target and by the program
// that writes the seed and regression inputs.
//
//   Instance  one byte, taken modulo the live instances.
//   Integer   one byte b: below kRawMark it stands for b - kSmallBias;
//             otherwise a raw 32-bit integer follows.
//   Float     one byte b: below kRawMark it picks kChosenFloats[b % count];
//             otherwise a raw 32-bit float follows.
//   Signal    kind byte, amplitude (Float), seed byte; the raw kind takes a
//             count byte and that many raw floats, repeated over the block.
//
//   Create        -
//   Close         Instance
//   Dispatch      Instance, opcode byte, index (Integer), value (Integer),
//                 pointer byte (0 null, else a buffer fit for the opcode),
//                 opt (Float); opcodes that take a text from the host then
//                 read a length byte and the text.
//   SetParameter  Instance, index (Integer), value (Float)
//   GetParameter  Instance, index (Integer)
//   Process       Instance, layout byte (bit 0 accumulates, the rest picks
//                 the buffer layout), frames (16 bits), a Signal per channel
//   SetRate       Instance, rate (Float)          (opcode 10 in short)
//   Switch        Instance, byte (0 suspends)     (opcode 12 in short)
//   SetBlockSize  Instance, size (Integer)        (opcode 11 in short)
//   Pins          byte: bit i set leaves pin i unconnected (inputs 0-1,
//                 outputs 2-3) in the host's answers
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>

#include "byte_stream.h"

namespace fuzz {

enum HostAction : uint8_t {
    kCreate,
    kClose,
    kDispatch,
    kSetParameter,
    kGetParameter,
    kProcess,
    kSetRate,
    kSwitch,
    kSetBlockSize,
    kPins,
    kHostActionCount,
};

enum SignalKind : uint8_t { kSilence, kSine, kNoise, kClicks, kSpecials, kRawSamples, kSignalKindCount };

enum BufferLayout : uint8_t {
    kSeparate,       // four buffers
    kMonoInput,      // one buffer on both inputs
    kSharedOutput,   // one buffer on both outputs
    kInPlace,        // each output is its input
    kMonoInPlace,    // one buffer for everything
    kCrossedInPlace, // each output is the other channel's input
    kLayoutCount,
};

constexpr uint8_t kRawMark = 0xf0;
constexpr int32_t kSmallBias = 16;
constexpr uint8_t kAccumulateBit = 1;

constexpr float kChosenFloats[] = {
    0.0f, 1.0f, 0.5f, -1.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 8000.0f, 22050.0f,
    384000.0f, 800000.0f, 100.0f, 1e-30f, 3e12f, 1e20f, 3e38f, -3e38f, -1e13f,
    std::numeric_limits<float>::max(), std::numeric_limits<float>::min(),
    std::numeric_limits<float>::denorm_min(), std::numeric_limits<float>::infinity(),
    -std::numeric_limits<float>::infinity(), std::numeric_limits<float>::quiet_NaN(),
    0.25f, 0.75f, 2.0f, 0.001f, 64.0f,
};
constexpr std::size_t kChosenFloatCount = sizeof kChosenFloats / sizeof kChosenFloats[0];

inline int32_t readInteger(ByteReader& in) {
    const uint8_t b = in.byte();
    if (b < kRawMark) return static_cast<int32_t>(b) - kSmallBias;
    return static_cast<int32_t>(in.u32());
}

inline float readFloat(ByteReader& in) {
    const uint8_t b = in.byte();
    if (b < kRawMark) return kChosenFloats[b % kChosenFloatCount];
    return in.f32();
}

// Writes actions in the encoding above; raw values throughout, so that an
// input says exactly what it does.
class SessionWriter {
public:
    SessionWriter& create() { return action(kCreate); }
    SessionWriter& close(uint8_t instance) { return action(kClose).byte(instance); }
    SessionWriter& setParameter(uint8_t instance, int32_t index, float value) {
        return action(kSetParameter).byte(instance).integer(index).real(value);
    }
    SessionWriter& getParameter(uint8_t instance, int32_t index) {
        return action(kGetParameter).byte(instance).integer(index);
    }
    SessionWriter& dispatch(uint8_t instance, uint8_t opcode, int32_t index, int32_t value, bool pointer,
                            float opt) {
        return action(kDispatch).byte(instance).byte(opcode).integer(index).integer(value).byte(pointer ? 1 : 0).real(opt);
    }
    // A signal per channel: kind, amplitude and seed.
    SessionWriter& process(uint8_t instance, uint8_t layout, uint16_t frames, SignalKind kind, float amplitude) {
        action(kProcess).byte(instance).byte(layout);
        out.u16(frames);
        for (uint8_t seed = 1; seed <= 2; ++seed) byte(kind).real(amplitude).byte(seed);
        return *this;
    }
    SessionWriter& dispatchText(uint8_t instance, uint8_t opcode, int32_t index, const std::string& given) {
        dispatch(instance, opcode, index, 0, true, 0.0f);
        return byte(static_cast<uint8_t>(given.size())).text(given);
    }
    SessionWriter& pins(uint8_t unconnected) { return action(kPins).byte(unconnected); }
    SessionWriter& setRate(uint8_t instance, float rate) { return action(kSetRate).byte(instance).real(rate); }
    SessionWriter& switchOn(uint8_t instance, bool on) { return action(kSwitch).byte(instance).byte(on ? 1 : 0); }
    SessionWriter& setBlockSize(uint8_t instance, int32_t size) {
        return action(kSetBlockSize).byte(instance).integer(size);
    }
    const std::string& str() const { return out.str(); }

private:
    SessionWriter& action(HostAction kind) { return byte(kind); }
    SessionWriter& byte(uint8_t value) {
        out.byte(value);
        return *this;
    }
    SessionWriter& text(const std::string& given) {
        out.bytes(given);
        return *this;
    }
    SessionWriter& integer(int32_t value) {
        out.byte(kRawMark).u32(static_cast<uint32_t>(value));
        return *this;
    }
    SessionWriter& real(float value) {
        out.byte(kRawMark).f32(value);
        return *this;
    }
    ByteWriter out;
};

}  // namespace fuzz
