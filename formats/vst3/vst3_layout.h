// What the limiter is as a VST 3 plug-in: the two classes and their IDs, the
// parameters beside the effect's six, the program list, the buses.
#pragma once

#include <cstdint>

#include "formats/vst3/vst3_edit.h"
#include "plugin/parameters.h"

namespace vst3 {

// Hosts move a project from a VST 2 plug-in to its VST 3 version when the
// processor's class ID is made from the VST 2 identity: "565354" ("VST"), the
// unique ID as eight hex digits, then the first nine characters of the effect
// name in lower case; the controller's class has "565345" ("VSE") in front.
constexpr uint32_t kProcessorIdPrefix = 0x565354;
constexpr uint32_t kControllerIdPrefix = 0x565345;
constexpr int32_t kNameCharactersInId = 9;
static_assert(sizeof kEffectName > kNameCharactersInId, "the name fills the ID");

constexpr uint32_t lowerCase(char c) {
    return static_cast<uint32_t>(static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c));
}
constexpr uint32_t nameWord(const char* name, int32_t first) {
    return lowerCase(name[first]) << 24 | lowerCase(name[first + 1]) << 16 | lowerCase(name[first + 2]) << 8 |
           lowerCase(name[first + 3]);
}
constexpr Uid vst2ClassId(uint32_t prefix, int32_t uniqueId, const char* name) {
    const auto id = static_cast<uint32_t>(uniqueId);
    return makeUid(prefix << 8 | id >> 24, id << 8 | lowerCase(name[0]), nameWord(name, 1), nameWord(name, 5));
}
constexpr Uid kProcessorClassId = vst2ClassId(kProcessorIdPrefix, kLimiterId, kEffectName);
constexpr Uid kControllerClassId = vst2ClassId(kControllerIdPrefix, kLimiterId, kEffectName);

// The described parameters (the effect's six with their VST 2 indexes as IDs
// and their VST 2 values as normalised values, the bypass) keep the IDs the
// descriptors give them, so that automation and saved projects carry over.
// Beside them: the program change, and the editor's meter values, which
// travel from the processor to the controller as read-only, hidden output
// parameters (any host carries those, also one that runs the two apart; a
// message would have to be allocated in the block).
enum ParameterId : ParamID {
    kProgramId = 101,
    kMeterLeftId = 200,
    kMeterRightId = 201,
    kKneeLampId = 202,
};
constexpr ParamID kMeterIds[] = {kMeterLeftId, kMeterRightId, kKneeLampId};
constexpr int32_t kMeterCount = 3;
constexpr int32_t kProgramIndex = kDescribedParameters;
constexpr int32_t kControllerParameters = kDescribedParameters + 1 + kMeterCount;

constexpr ProgramListID kProgramListId = 1;
constexpr int32_t kProgramSteps = kProgramCount - 1;

// A discrete parameter's step as VST 3 defines it: the normalised range cut
// into steps + 1 equal parts.
inline int32_t discreteStep(double value, int32_t steps) {
    if (!(value > 0.0)) return 0;
    if (value >= 1.0) return steps;
    const auto step = static_cast<int32_t>(value * (steps + 1));
    return step < steps ? step : steps;
}
inline int32_t programOf(double value) { return discreteStep(value, kProgramSteps); }
inline double programValue(int32_t program) { return static_cast<double>(program) / kProgramSteps; }

// One main bus each way: stereo, or mono on both sides as a VST 2 host runs a
// mono track (one buffer on both of the effect's inputs).
constexpr int32_t kStereoChannels = 2;
constexpr int32_t kMonoChannels = 1;

// Rates hosts run at; the effect's engine is sized for them.
constexpr double kDefaultRate = 44100.0;
constexpr int32_t kDefaultBlock = 1024;

// The processor tells its controller that the latency changed: only the
// controller can reach the host's component handler.
constexpr FIDString kLatencyMessage = "QuilloLatencyChanged";

// States are small; a stream longer than this is not one of ours.
constexpr size_t kLargestState = 1 << 16;

}  // namespace vst3
