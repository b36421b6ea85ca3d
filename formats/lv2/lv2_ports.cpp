#include "formats/lv2/lv2_ports.h"

#include <cmath>

namespace formats::lv2 {

namespace {

constexpr float kOff = 0.0f;
constexpr float kOn = 1.0f;

bool enabledPort(int32_t position) { return parameterAt(position).bypass; }

}  // namespace

PortRange portRange(int32_t position) {
    const ParameterDescriptor& p = parameterAt(position);
    return {p.minimum, p.maximum, portValue(position, p.start)};
}

const char* portSymbol(int32_t position) { return enabledPort(position) ? kEnabledSymbol : parameterAt(position).symbol; }

std::optional<float> normalisedValue(int32_t position, float value) {
    const ParameterDescriptor& p = parameterAt(position);
    if (enabledPort(position)) {
        if (std::isnan(value)) return std::nullopt;
        return value > kOff ? kOff : kOn;
    }
    return normalisedFromUser(p.id, value);
}

float portValue(int32_t position, float normalised) {
    const ParameterDescriptor& p = parameterAt(position);
    if (enabledPort(position)) return userFromNormalised(p.id, normalised) > kOff ? kOff : kOn;
    return userFromNormalised(p.id, normalised);
}

}  // namespace formats::lv2
