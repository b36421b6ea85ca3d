// The LV2 bundle's ports and the values they carry. The six parameters are
// control ports in the units a user reads (decibels, per cent, switches, a
// channel choice); each port value stands for exactly one VST 2 parameter
// value, the one the effect is given, so the bundle's output bits are the
// VST 2 build's for that value. The audio binary, the UI binary, the TTL
// generator and the tests all convert through these functions.
#pragma once

#include <cstdint>
#include <optional>

#include "formats/shared/effect_host.h"
#include "formats/shared/parameter_values.h"

namespace formats::lv2 {

// Port indices as the TTL numbers them. Parameter i of the effect is port
// kFirstParameterPort + i.
enum Port : uint32_t {
    kInputLeft = 0,
    kInputRight = 1,
    kOutputLeft = 2,
    kOutputRight = 3,
    kFirstParameterPort = 4,
    kLatencyPort = kFirstParameterPort + kParamCount,
    kMeterLeftPort,
    kMeterRightPort,
    kKneeLampPort,
    kPortCount,
};
static_assert(kLatencyPort == 10 && kPortCount == 14, "the TTL's port indices are released and never move");

constexpr uint32_t kAudioPorts = 4;
constexpr uint32_t kMeterPorts = 3;

// How a parameter appears as a port.
enum class PortKind { Decibels, Percent, Switch, Choice };

struct ParameterPort {
    const char* symbol;
    PortKind kind;
};

constexpr ParameterPort kParameterPorts[kParamCount] = {
    {"gain", PortKind::Decibels},    {"knee", PortKind::Percent},          {"iq", PortKind::Switch},
    {"link", PortKind::Switch},      {"auto_select", PortKind::Switch},    {"force_channels", PortKind::Choice},
};

constexpr const char* kAudioSymbols[kAudioPorts] = {"in_left", "in_right", "out_left", "out_right"};
constexpr const char* kLatencySymbol = "latency";
constexpr const char* kMeterSymbols[kMeterPorts] = {"meter_left", "meter_right", "knee_lamp"};

// Force Channels counts its choices 0 (Stereo), 1 (Left), 2 (Right).
constexpr int32_t kLastChannelChoice = 2;

// A Knee percentage this close (in the effect's Knee units, 0 to 127) to one
// of the editor's whole Knee steps means exactly that step. Percentages in
// single precision cannot reach every Knee value the effect holds, but every
// whole step is reached this way, so the editor's steps, the start value and
// the presets cross the port without a change of a bit. Twice the largest
// rounding error of a percentage in single precision (half a float step
// below 100, times 1.27).
constexpr double kKneeStepTolerance = 1e-5;

struct PortRange {
    float minimum;
    float maximum;
};

constexpr bool isParameterPort(uint32_t port) { return port >= kFirstParameterPort && port < kLatencyPort; }
constexpr int32_t parameterOfPort(uint32_t port) { return static_cast<int32_t>(port - kFirstParameterPort); }
constexpr uint32_t portOfParameter(int32_t parameter) { return kFirstParameterPort + static_cast<uint32_t>(parameter); }

PortRange portRange(int32_t parameter);

// The VST 2 value a port value stands for; values out of the range count as
// its nearer end, and a value that is not a number stands for nothing.
//   IN Gain: decibels, to the nearest tenth, the step of the gain table;
//   Knee: per cent of the Knee range, p / 100 in double rounded to single
//         precision, except near a whole Knee step (kKneeStepTolerance);
//   switches: on above 0 (LV2's toggle), off otherwise;
//   Force Channels: the nearest choice.
std::optional<float> vst2Value(int32_t parameter, float portValue);

// The port value that stands for a VST 2 value: exactly that value where a
// port value can, otherwise the one whose Knee is nearest.
float portValue(int32_t parameter, float vst2Value);

}  // namespace formats::lv2
