// The LV2 bundle's ports and the values they carry. The described parameters
// are control ports in the units a user reads (decibels, per cent, switches, a
// channel choice), converted by their descriptors, so each port value of the
// effect's six stands for exactly one VST 2 value and the bundle's output bits
// are the VST 2 build's for that value. The bypass is LV2's `enabled` port,
// which says the opposite. The audio binary, the UI binary, the TTL generator
// and the tests all convert through these functions.
#pragma once

#include <cstdint>
#include <optional>

#include "plugin/parameters.h"

namespace formats::lv2 {

// Port indices as the TTL numbers them. The effect's parameter i is port
// kFirstParameterPort + i; ports added later come after the meters.
enum Port : uint32_t {
    kInputLeft = 0,
    kInputRight = 1,
    kOutputLeft = 2,
    kOutputRight = 3,
    kFirstParameterPort = 4,
    kLatencyPort = kFirstParameterPort + kParameterCount,
    kMeterLeftPort,
    kMeterRightPort,
    kKneeLampPort,
    kEnabledPort,
    kCeilingPort,
    kTruePeakPort,
    kPortCount,
};
static_assert(kLatencyPort == 10 && kEnabledPort == 14 && kTruePeakPort == 16,
              "the TTL's port indices are released and never move");

constexpr uint32_t kAudioPorts = 4;
constexpr uint32_t kMeterPorts = 3;
constexpr const char* kAudioSymbols[kAudioPorts] = {"in_left", "in_right", "out_left", "out_right"};
constexpr const char* kLatencySymbol = "latency";
constexpr const char* kMeterSymbols[kMeterPorts] = {"meter_left", "meter_right", "knee_lamp"};
constexpr const char* kEnabledSymbol = "enabled";

// The port of each described parameter, in the descriptors' order.
constexpr uint32_t kParameterPorts[kDescribedParameters] = {4, 5, 6, 7, 8, 9, kEnabledPort, kCeilingPort, kTruePeakPort};

constexpr uint32_t portOfParameter(int32_t position) { return kParameterPorts[position]; }
// The described parameter a port carries, or -1.
constexpr int32_t parameterOfPort(uint32_t port) {
    for (int32_t position = 0; position < kDescribedParameters; ++position) {
        if (kParameterPorts[position] == port) return position;
    }
    return -1;
}

struct PortRange {
    float minimum;
    float maximum;
    float start;
};
PortRange portRange(int32_t position);
const char* portSymbol(int32_t position);

// The normalised value a port value stands for (see normalisedFromUser);
// nothing for a value that is not a number.
std::optional<float> normalisedValue(int32_t position, float portValue);
// The port value that stands for a normalised value.
float portValue(int32_t position, float normalised);

}  // namespace formats::lv2
