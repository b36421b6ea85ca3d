// The VST 3 controller side as this adapter uses it: the edit controller with
// its parameter records, the host's component handler, the unit and program
// list queries, and the messages by which a component and its controller talk
// through the host. Declared from the interface's numbers and layouts; see
// vst3_base.h for the conventions.
#pragma once

#include "formats/vst3/vst3_audio.h"

namespace vst3 {

class IPlugView;

using UnitID = int32_t;
using ProgramListID = int32_t;
using TChar = char16;

constexpr FIDString kComponentControllerClass = "Component Controller Class";
constexpr FIDString kEditorViewType = "editor";
constexpr UnitID kRootUnitId = 0;
constexpr UnitID kNoParentUnitId = -1;
constexpr int32_t kAllProgramsInvalid = -1;

enum ParameterFlags : int32_t {
    kNoParameterFlags = 0,
    kCanAutomate = 1 << 0,
    kIsReadOnly = 1 << 1,
    kIsList = 1 << 3,
    kIsHidden = 1 << 4,
    kIsProgramChange = 1 << 15,
    kIsBypass = 1 << 16,
};

enum RestartFlags : int32_t {
    kReloadComponent = 1 << 0,
    kIoChanged = 1 << 1,
    kParamValuesChanged = 1 << 2,
    kLatencyChanged = 1 << 3,
    kParamTitlesChanged = 1 << 4,
};

struct ParameterInfo {
    ParamID id;
    String128 title;
    String128 shortTitle;
    String128 units;
    int32_t stepCount;
    ParamValue defaultNormalizedValue;
    UnitID unitId;
    int32_t flags;
};
static_assert(sizeof(ParameterInfo) == 792, "parameter record");
static_assert(offsetof(ParameterInfo, stepCount) == 772, "step count");
static_assert(offsetof(ParameterInfo, defaultNormalizedValue) == 776, "default value after a gap");
static_assert(offsetof(ParameterInfo, flags) == 788, "parameter flags");

class IComponentHandler : public FUnknown {
public:
    virtual tresult VST3_CALL beginEdit(ParamID id) = 0;
    virtual tresult VST3_CALL performEdit(ParamID id, ParamValue value) = 0;
    virtual tresult VST3_CALL endEdit(ParamID id) = 0;
    virtual tresult VST3_CALL restartComponent(int32_t flags) = 0;
    static constexpr Uid iid = makeUid(0x93A0BEA3, 0x0BD045DB, 0x8E890B0C, 0xC1E46AC6);
};

class IEditController : public IPluginBase {
public:
    virtual tresult VST3_CALL setComponentState(IBStream* state) = 0;
    virtual tresult VST3_CALL setState(IBStream* state) = 0;
    virtual tresult VST3_CALL getState(IBStream* state) = 0;
    virtual int32_t VST3_CALL getParameterCount() = 0;
    virtual tresult VST3_CALL getParameterInfo(int32_t index, ParameterInfo* info) = 0;
    virtual tresult VST3_CALL getParamStringByValue(ParamID id, ParamValue value, String128 text) = 0;
    virtual tresult VST3_CALL getParamValueByString(ParamID id, TChar* text, ParamValue* value) = 0;
    virtual ParamValue VST3_CALL normalizedParamToPlain(ParamID id, ParamValue value) = 0;
    virtual ParamValue VST3_CALL plainParamToNormalized(ParamID id, ParamValue plain) = 0;
    virtual ParamValue VST3_CALL getParamNormalized(ParamID id) = 0;
    virtual tresult VST3_CALL setParamNormalized(ParamID id, ParamValue value) = 0;
    virtual tresult VST3_CALL setComponentHandler(IComponentHandler* handler) = 0;
    virtual IPlugView* VST3_CALL createView(FIDString name) = 0;
    static constexpr Uid iid = makeUid(0xDCD7BBE3, 0x7742448D, 0xA874AACC, 0x979C759E);
};

struct UnitInfo {
    UnitID id;
    UnitID parentUnitId;
    String128 name;
    ProgramListID programListId;
};
static_assert(sizeof(UnitInfo) == 268, "unit record");
static_assert(offsetof(UnitInfo, programListId) == 264, "program list of a unit");

struct ProgramListInfo {
    ProgramListID id;
    String128 name;
    int32_t programCount;
};
static_assert(sizeof(ProgramListInfo) == 264, "program list record");
static_assert(offsetof(ProgramListInfo, programCount) == 260, "program count");

class IUnitInfo : public FUnknown {
public:
    virtual int32_t VST3_CALL getUnitCount() = 0;
    virtual tresult VST3_CALL getUnitInfo(int32_t index, UnitInfo* info) = 0;
    virtual int32_t VST3_CALL getProgramListCount() = 0;
    virtual tresult VST3_CALL getProgramListInfo(int32_t index, ProgramListInfo* info) = 0;
    virtual tresult VST3_CALL getProgramName(ProgramListID list, int32_t program, String128 name) = 0;
    virtual tresult VST3_CALL getProgramInfo(ProgramListID list, int32_t program, const char* attribute,
                                             String128 value) = 0;
    virtual tresult VST3_CALL hasProgramPitchNames(ProgramListID list, int32_t program) = 0;
    virtual tresult VST3_CALL getProgramPitchName(ProgramListID list, int32_t program, int16_t pitch,
                                                  String128 name) = 0;
    virtual UnitID VST3_CALL getSelectedUnit() = 0;
    virtual tresult VST3_CALL selectUnit(UnitID unit) = 0;
    virtual tresult VST3_CALL getUnitByBus(MediaType type, BusDirection direction, int32_t bus, int32_t channel,
                                           UnitID* unit) = 0;
    virtual tresult VST3_CALL setUnitProgramData(int32_t listOrUnit, int32_t program, IBStream* data) = 0;
    static constexpr Uid iid = makeUid(0x3D4BD6B5, 0x913A4FD2, 0xA886E768, 0xA5EB92C1);
};

// Reached through the component handler where the host has it.
class IUnitHandler : public FUnknown {
public:
    virtual tresult VST3_CALL notifyUnitSelection(UnitID unit) = 0;
    virtual tresult VST3_CALL notifyProgramListChange(ProgramListID list, int32_t program) = 0;
    static constexpr Uid iid = makeUid(0x4B5147F8, 0x4654486B, 0x8DAB30BA, 0x163A3C56);
};

class IAttributeList : public FUnknown {
public:
    using AttrID = const char*;
    virtual tresult VST3_CALL setInt(AttrID id, int64_t value) = 0;
    virtual tresult VST3_CALL getInt(AttrID id, int64_t* value) = 0;
    virtual tresult VST3_CALL setFloat(AttrID id, double value) = 0;
    virtual tresult VST3_CALL getFloat(AttrID id, double* value) = 0;
    virtual tresult VST3_CALL setString(AttrID id, const TChar* text) = 0;
    virtual tresult VST3_CALL getString(AttrID id, TChar* text, uint32_t bytes) = 0;
    virtual tresult VST3_CALL setBinary(AttrID id, const void* data, uint32_t bytes) = 0;
    virtual tresult VST3_CALL getBinary(AttrID id, const void** data, uint32_t* bytes) = 0;
    static constexpr Uid iid = makeUid(0x1E5F0AEB, 0xCC7F4533, 0xA2544011, 0x38AD5EE4);
};

class IMessage : public FUnknown {
public:
    virtual FIDString VST3_CALL getMessageID() = 0;
    virtual void VST3_CALL setMessageID(FIDString id) = 0;
    virtual IAttributeList* VST3_CALL getAttributes() = 0;
    static constexpr Uid iid = makeUid(0x936F033B, 0xC6C047DB, 0xBB0882F8, 0x13C1E613);
};

class IConnectionPoint : public FUnknown {
public:
    virtual tresult VST3_CALL connect(IConnectionPoint* other) = 0;
    virtual tresult VST3_CALL disconnect(IConnectionPoint* other) = 0;
    virtual tresult VST3_CALL notify(IMessage* message) = 0;
    static constexpr Uid iid = makeUid(0x70A4156F, 0x6E6E4026, 0x989148BF, 0xAA60D8D1);
};

// Passed to initialize as the context: the host's name and its objects
// (messages among them) made on request.
class IHostApplication : public FUnknown {
public:
    virtual tresult VST3_CALL getName(String128 name) = 0;
    virtual tresult VST3_CALL createInstance(uint8_t cid[16], uint8_t iid[16], void** object) = 0;
    static constexpr Uid iid = makeUid(0x58E595CC, 0xDB2D4969, 0x8B6AAF8C, 0x36A664E5);
};

}  // namespace vst3
