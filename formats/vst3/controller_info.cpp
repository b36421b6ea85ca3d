// What the controller tells a host about its parameters, their texts and its
// program list. The effect's six parameters carry the effect's own names,
// units and texts; the others are the adapter's.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "formats/vst3/controller.h"

namespace vst3 {

namespace {

constexpr char kBypassTitle[] = "Bypass";
constexpr char kProgramTitle[] = "Program";
constexpr char kProgramListName[] = "Programs";
constexpr const char* kMeterTitles[kMeterCount] = {"Gain Reduction Left", "Gain Reduction Right", "Knee Lamp"};
constexpr const char* kSwitchTexts[] = {"Off", "On"};
constexpr float kMeterRest = 1.0f;
constexpr double kDecibelsPerDecade = 20.0;
constexpr int32_t kFirstOtherIndex = kEffectParameterCount;
constexpr int32_t kFirstMeterIndex = kFirstOtherIndex + 2;
constexpr size_t kNumberText = 32;

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

// Steps of the discrete parameters; 0 for the continuous ones.
int32_t stepsOf(ParamID id) {
    if (isEffectParameter(id)) return stepCountOf(static_cast<int32_t>(id));
    if (id == kBypassId) return kSwitchSteps;
    if (id == kProgramId) return kProgramSteps;
    return 0;
}

bool knownId(ParamID id) {
    return isEffectParameter(id) || id == kBypassId || id == kProgramId ||
           std::find(std::begin(kMeterIds), std::end(kMeterIds), id) != std::end(kMeterIds);
}

}  // namespace

void Controller::describeEffectParameter(int32_t index, ParameterInfo& info) const {
    // A channel choice reads best as a list; every one of the six is automatable.
    const int32_t list = index == formats::kParamForceChannels ? kIsList : kNoParameterFlags;
    describe(info, static_cast<ParamID>(index), texts->name(index), texts->unit(index), stepCountOf(index),
             defaults[static_cast<size_t>(index)], kCanAutomate | list);
}

tresult Controller::getParameterInfo(int32_t index, ParameterInfo* info) {
    if (!effect || info == nullptr || index < 0 || index >= kParameterCount) return kInvalidArgument;
    if (index < kFirstOtherIndex) {
        describeEffectParameter(index, *info);
    } else if (index == kFirstOtherIndex) {
        describe(*info, kBypassId, kBypassTitle, "", kSwitchSteps, 0.0, kCanAutomate | kIsBypass);
    } else if (index == kFirstOtherIndex + 1) {
        describe(*info, kProgramId, kProgramTitle, "", kProgramSteps, 0.0, kCanAutomate | kIsList | kIsProgramChange);
    } else {
        const int32_t meter = index - kFirstMeterIndex;
        describe(*info, kMeterIds[meter], kMeterTitles[meter], "", 0, kMeterRest, kIsReadOnly | kIsHidden);
    }
    return kResultOk;
}

// The effect's parameters show the effect's own display text for the value;
// the meters show their gain in decibels.
tresult Controller::getParamStringByValue(ParamID id, ParamValue value, String128 text) {
    if (!effect || text == nullptr || !std::isfinite(value) || !knownId(id)) return kInvalidArgument;
    value = std::clamp(value, 0.0, 1.0);
    std::string shown;
    if (isEffectParameter(id)) {
        shown = texts->display(static_cast<int32_t>(id), static_cast<float>(value));
    } else if (id == kBypassId) {
        shown = kSwitchTexts[bypassOf(value) ? 1 : 0];
    } else if (id == kProgramId) {
        shown = formats::trimmed(effect->programName(programOf(value)));
    } else {
        char number[kNumberText];
        std::snprintf(number, sizeof number, "%.1f", kDecibelsPerDecade * std::log10(value));
        shown = number;
    }
    copyText(text, kString128, shown);
    return kResultOk;
}

// What getParamStringByValue prints reads back; for the effect's parameters
// also numbers a user types, taken to the nearest value the parameter holds.
tresult Controller::getParamValueByString(ParamID id, TChar* text, ParamValue* value) {
    if (!effect || value == nullptr) return kInvalidArgument;
    const auto typed = asciiText(text, kString128);
    if (!typed) return kResultFalse;
    if (isEffectParameter(id)) {
        const auto parsed = texts->parse(static_cast<int32_t>(id), *typed);
        if (!parsed) return kResultFalse;
        *value = *parsed;
        return kResultOk;
    }
    const std::string wanted = formats::trimmed(*typed);
    std::optional<double> found;
    if (id == kBypassId) {
        for (int32_t state = 0; state <= kSwitchSteps && !found; ++state) {
            if (wanted == kSwitchTexts[state]) found = state;
        }
    } else if (id == kProgramId) {
        for (int32_t p = 0; p <= kProgramSteps && !found; ++p) {
            if (wanted == formats::trimmed(effect->programName(p))) found = programValue(p);
        }
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
    copyText(info->name, kString128, formats::trimmed(effect->effectName()));
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
    copyText(name, kString128, formats::trimmed(effect->programName(program)));
    return kResultOk;
}

tresult Controller::getUnitByBus(MediaType, BusDirection, int32_t, int32_t, UnitID* unit) {
    if (unit == nullptr) return kInvalidArgument;
    *unit = kRootUnitId;
    return kResultOk;
}

}  // namespace vst3
