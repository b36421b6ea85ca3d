// What the controller tells a host about its parameters, their texts and its
// program list. The described parameters carry their descriptors' names,
// units and texts (the effect's own for its six); the others are the adapter's.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>

#include "formats/vst3/controller.h"

namespace vst3 {

namespace {

constexpr char kProgramTitle[] = "Program";
constexpr char kProgramListName[] = "Programs";
constexpr const char* kMeterTitles[kMeterCount] = {"Gain Reduction Left", "Gain Reduction Right", "Knee Lamp"};
constexpr float kMeterRest = 1.0f;
constexpr size_t kNumberText = 32;
// A meter's gain reads in decibels; no gain at all has none.
constexpr char kNoGainText[] = "-inf";

void describe(ParameterInfo& info, ParamID id, const std::string& title, const std::string& units, int32_t steps,
              double start, int32_t flags) {
    std::memset(&info, 0, sizeof info);
    info.id = id;
    copyText(info.title, kString128, title);
    copyText(info.shortTitle, kString128, title);
    copyText(info.units, kString128, units);
    info.stepCount = steps;
    info.defaultNormalizedValue = start;
    info.unitId = kRootUnitId;
    info.flags = flags;
}

int32_t meterIndex(ParamID id) {
    const auto* found = std::find(std::begin(kMeterIds), std::end(kMeterIds), id);
    return found != std::end(kMeterIds) ? static_cast<int32_t>(found - std::begin(kMeterIds)) : -1;
}

// Steps of the discrete parameters; 0 for the continuous ones.
int32_t stepsOf(ParamID id) {
    if (const ParameterDescriptor* p = parameterOfId(id)) return p->steps;
    return id == kProgramId ? kProgramSteps : 0;
}

bool knownId(ParamID id) { return parameterOfId(id) != nullptr || id == kProgramId || meterIndex(id) >= 0; }

std::string meterText(double gain) {
    if (!(gain > 0.0)) return kNoGainText;
    char number[kNumberText];
    std::snprintf(number, sizeof number, "%.1f", quillo::kDecibelsPerDecade * std::log10(gain));
    return number;
}

// Decibels back to the gain, which is at most 1: a meter shows reduction only.
std::optional<double> meterValue(const std::string& text) {
    if (text == kNoGainText) return 0.0;
    char* end = nullptr;
    const double decibels = std::strtod(text.c_str(), &end);
    if (text.empty() || end != text.c_str() + text.size() || !std::isfinite(decibels)) return std::nullopt;
    return std::min(1.0, std::pow(quillo::kDecibelBase, decibels / quillo::kDecibelsPerDecade));
}

}  // namespace

tresult Controller::getParameterInfo(int32_t index, ParameterInfo* info) {
    if (!effect || info == nullptr || index < 0 || index >= kControllerParameters) return kInvalidArgument;
    if (index < kDescribedParameters) {
        // A choice reads best as a list; every one is automatable.
        const ParameterDescriptor& p = parameterAt(index);
        const int32_t flags = kCanAutomate | (p.kind == ParameterKind::Choice ? kIsList : kNoParameterFlags) |
                              (p.bypass ? kIsBypass : kNoParameterFlags);
        describe(*info, p.id, p.name, p.unit, p.steps, p.start, flags);
    } else if (index == kProgramIndex) {
        describe(*info, kProgramId, kProgramTitle, "", kProgramSteps, 0.0, kCanAutomate | kIsList | kIsProgramChange);
    } else {
        const int32_t meter = index - kProgramIndex - 1;
        describe(*info, kMeterIds[meter], kMeterTitles[meter], "", 0, kMeterRest, kIsReadOnly | kIsHidden);
    }
    return kResultOk;
}

// The described parameters show the effect's own display text for the value;
// the meters their gain in decibels.
tresult Controller::getParamStringByValue(ParamID id, ParamValue value, String128 text) {
    if (!effect || text == nullptr || !std::isfinite(value) || !knownId(id)) return kInvalidArgument;
    value = std::clamp(value, 0.0, 1.0);
    std::string shown;
    if (parameterOfId(id) != nullptr) {
        shown = displayOf(id, static_cast<float>(value));
    } else if (id == kProgramId) {
        shown = trimmed(effect->programName(programOf(value)));
    } else {
        shown = meterText(value);
    }
    copyText(text, kString128, shown);
    return kResultOk;
}

// What getParamStringByValue prints reads back; for the described parameters
// also numbers a user types, taken to the nearest value the parameter holds.
tresult Controller::getParamValueByString(ParamID id, TChar* text, ParamValue* value) {
    if (!effect || value == nullptr) return kInvalidArgument;
    const auto typed = asciiText(text, kString128);
    if (!typed) return kResultFalse;
    const std::string wanted = trimmed(*typed);
    std::optional<double> found;
    if (parameterOfId(id) != nullptr) {
        if (const auto parsed = parseDisplay(id, wanted)) found = *parsed;
    } else if (id == kProgramId) {
        for (int32_t p = 0; p <= kProgramSteps && !found; ++p) {
            if (wanted == trimmed(effect->programName(p))) found = programValue(p);
        }
    } else if (meterIndex(id) >= 0) {
        found = meterValue(wanted);
    }
    if (!found) return kResultFalse;
    *value = *found;
    return kResultOk;
}

// A discrete parameter's plain value is its step; the others are plain as they are.
ParamValue Controller::normalizedParamToPlain(ParamID id, ParamValue value) {
    const int32_t steps = stepsOf(id);
    return steps > 0 ? discreteStep(value, steps) : value;
}

ParamValue Controller::plainParamToNormalized(ParamID id, ParamValue plain) {
    if (!std::isfinite(plain)) return 0.0;
    const int32_t steps = stepsOf(id);
    return std::clamp(steps > 0 ? plain / steps : plain, 0.0, 1.0);
}

tresult Controller::getUnitInfo(int32_t index, UnitInfo* info) {
    if (!effect || info == nullptr || index != 0) return kInvalidArgument;
    info->id = kRootUnitId;
    info->parentUnitId = kNoParentUnitId;
    copyText(info->name, kString128, LimiterModel::effectName());
    info->programListId = kProgramListId;
    return kResultOk;
}

tresult Controller::getProgramListInfo(int32_t index, ProgramListInfo* info) {
    if (info == nullptr || index != 0) return kInvalidArgument;
    info->id = kProgramListId;
    copyText(info->name, kString128, kProgramListName);
    info->programCount = kProgramSteps + 1;
    return kResultOk;
}

tresult Controller::getProgramName(ProgramListID list, int32_t program, String128 name) {
    if (!effect || name == nullptr || list != kProgramListId || program < 0 || program > kProgramSteps)
        return kInvalidArgument;
    copyText(name, kString128, trimmed(effect->programName(program)));
    return kResultOk;
}

tresult Controller::getUnitByBus(MediaType, BusDirection, int32_t, int32_t, UnitID* unit) {
    if (unit == nullptr) return kInvalidArgument;
    *unit = kRootUnitId;
    return kResultOk;
}

}  // namespace vst3
