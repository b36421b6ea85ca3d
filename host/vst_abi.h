// The VST 2 binary interface as this plug-in uses it: the effect record, the
// dispatcher and host-callback opcodes, the flag bits and the small records the
// host hands over. Declared here from the interface's numbers and offsets.
#pragma once

#include <cstddef>
#include <cstdint>

struct AEffect;

// The host callback and the record's entries. Pointer-sized `value` and result,
// so one declaration serves the 32-bit (where they are int32) and 64-bit hosts.
using audioMasterCallback = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                         intptr_t value, void* ptr, float opt);
using AEffectDispatcherProc = intptr_t (*)(AEffect* effect, int32_t opcode, int32_t index,
                                           intptr_t value, void* ptr, float opt);
using AEffectProcessProc = void (*)(AEffect* effect, float** inputs, float** outputs,
                                    int32_t sampleFrames);
using AEffectSetParameterProc = void (*)(AEffect* effect, int32_t index, float value);
using AEffectGetParameterProc = float (*)(AEffect* effect, int32_t index);

constexpr int32_t fourCharCode(char a, char b, char c, char d) {
    return static_cast<int32_t>((static_cast<uint32_t>(static_cast<unsigned char>(a)) << 24) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(b)) << 16) |
                                (static_cast<uint32_t>(static_cast<unsigned char>(c)) << 8) |
                                static_cast<uint32_t>(static_cast<unsigned char>(d)));
}

constexpr int32_t kEffectMagic = fourCharCode('V', 's', 't', 'P');
constexpr int32_t kNoEffectId = fourCharCode('N', 'o', 'E', 'f');
constexpr int32_t kIdentifyAnswer = fourCharCode('N', 'v', 'E', 'f');
constexpr int32_t kRecordVersion = 2;
constexpr std::size_t kRecordReservedBytes = 56;

struct AEffect {
    int32_t magic;
    AEffectDispatcherProc dispatcher;
    AEffectProcessProc process;
    AEffectSetParameterProc setParameter;
    AEffectGetParameterProc getParameter;
    int32_t numPrograms;
    int32_t numParams;
    int32_t numInputs;
    int32_t numOutputs;
    int32_t flags;
    intptr_t resvd1;
    intptr_t resvd2;
    int32_t initialDelay;
    int32_t realQualities;
    int32_t offQualities;
    float ioRatio;
    void* object;
    void* user;
    int32_t uniqueID;
    int32_t version;
    AEffectProcessProc processReplacing;
    intptr_t reservedEntry;  // an entry this plug-in never offers; stays null
    char reserved[kRecordReservedBytes];
};

#if INTPTR_MAX == INT32_MAX
static_assert(sizeof(AEffect) == 144, "effect record is 144 bytes");
static_assert(offsetof(AEffect, magic) == 0x00, "magic");
static_assert(offsetof(AEffect, dispatcher) == 0x04, "dispatcher");
static_assert(offsetof(AEffect, process) == 0x08, "process");
static_assert(offsetof(AEffect, setParameter) == 0x0C, "setParameter");
static_assert(offsetof(AEffect, getParameter) == 0x10, "getParameter");
static_assert(offsetof(AEffect, numPrograms) == 0x14, "numPrograms");
static_assert(offsetof(AEffect, numParams) == 0x18, "numParams");
static_assert(offsetof(AEffect, numInputs) == 0x1C, "numInputs");
static_assert(offsetof(AEffect, numOutputs) == 0x20, "numOutputs");
static_assert(offsetof(AEffect, flags) == 0x24, "flags");
static_assert(offsetof(AEffect, resvd1) == 0x28, "resvd1");
static_assert(offsetof(AEffect, resvd2) == 0x2C, "resvd2");
static_assert(offsetof(AEffect, initialDelay) == 0x30, "initialDelay");
static_assert(offsetof(AEffect, realQualities) == 0x34, "realQualities");
static_assert(offsetof(AEffect, offQualities) == 0x38, "offQualities");
static_assert(offsetof(AEffect, ioRatio) == 0x3C, "ioRatio");
static_assert(offsetof(AEffect, object) == 0x40, "object");
static_assert(offsetof(AEffect, user) == 0x44, "user");
static_assert(offsetof(AEffect, uniqueID) == 0x48, "uniqueID");
static_assert(offsetof(AEffect, version) == 0x4C, "version");
static_assert(offsetof(AEffect, processReplacing) == 0x50, "processReplacing");
static_assert(offsetof(AEffect, reservedEntry) == 0x54, "reserved area");
#elif INTPTR_MAX == INT64_MAX
// 64-bit hosts (Linux and Windows alike): pointer-sized fields widen to 8 bytes
// and are aligned to 8, so 32-bit fields before them leave gaps.
static_assert(sizeof(AEffect) == 192, "effect record is 192 bytes");
static_assert(offsetof(AEffect, magic) == 0x00, "magic");
static_assert(offsetof(AEffect, dispatcher) == 0x08, "dispatcher");
static_assert(offsetof(AEffect, process) == 0x10, "process");
static_assert(offsetof(AEffect, setParameter) == 0x18, "setParameter");
static_assert(offsetof(AEffect, getParameter) == 0x20, "getParameter");
static_assert(offsetof(AEffect, numPrograms) == 0x28, "numPrograms");
static_assert(offsetof(AEffect, numParams) == 0x2C, "numParams");
static_assert(offsetof(AEffect, numInputs) == 0x30, "numInputs");
static_assert(offsetof(AEffect, numOutputs) == 0x34, "numOutputs");
static_assert(offsetof(AEffect, flags) == 0x38, "flags");
static_assert(offsetof(AEffect, resvd1) == 0x40, "resvd1");
static_assert(offsetof(AEffect, resvd2) == 0x48, "resvd2");
static_assert(offsetof(AEffect, initialDelay) == 0x50, "initialDelay");
static_assert(offsetof(AEffect, realQualities) == 0x54, "realQualities");
static_assert(offsetof(AEffect, offQualities) == 0x58, "offQualities");
static_assert(offsetof(AEffect, ioRatio) == 0x5C, "ioRatio");
static_assert(offsetof(AEffect, object) == 0x60, "object");
static_assert(offsetof(AEffect, user) == 0x68, "user");
static_assert(offsetof(AEffect, uniqueID) == 0x70, "uniqueID");
static_assert(offsetof(AEffect, version) == 0x74, "version");
static_assert(offsetof(AEffect, processReplacing) == 0x78, "processReplacing");
static_assert(offsetof(AEffect, reservedEntry) == 0x80, "reserved area");
#else
#error "the effect record's layout is known for 32-bit and 64-bit pointers only"
#endif

enum EffectFlags : int32_t {
    effFlagsHasEditor = 1 << 0,
    effFlagsHasClip = 1 << 1,
    effFlagsHasVu = 1 << 2,
    effFlagsCanMono = 1 << 3,
    effFlagsCanReplacing = 1 << 4,
    effFlagsProgramChunks = 1 << 5,
    effFlagsIsSynth = 1 << 8,
    effFlagsNoSoundInStop = 1 << 9,
    effFlagsExtIsAsync = 1 << 10,
    effFlagsExtHasBuffer = 1 << 11,
};

enum EffectOpcode : int32_t {
    effOpen = 0,
    effClose = 1,
    effSetProgram = 2,
    effGetProgram = 3,
    effSetProgramName = 4,
    effGetProgramName = 5,
    effGetParamLabel = 6,
    effGetParamDisplay = 7,
    effGetParamName = 8,
    effGetVu = 9,
    effSetSampleRate = 10,
    effSetBlockSize = 11,
    effMainsChanged = 12,
    effEditGetRect = 13,
    effEditOpen = 14,
    effEditClose = 15,
    effEditDraw = 16,
    effEditMouse = 17,
    effEditKey = 18,
    effEditIdle = 19,
    effEditTop = 20,
    effEditSleep = 21,
    effIdentify = 22,
    effGetChunk = 23,
    effSetChunk = 24,
    effProcessEvents = 25,
    effCanBeAutomated = 26,
    effString2Parameter = 27,
    effGetNumProgramCategories = 28,
    effGetProgramNameIndexed = 29,
    effCopyProgram = 30,
    effConnectInput = 31,
    effConnectOutput = 32,
    effGetInputProperties = 33,
    effGetOutputProperties = 34,
    effGetPlugCategory = 35,
    effGetCurrentPosition = 36,
    effGetDestinationBuffer = 37,
    effOfflineNotify = 38,
    effOfflinePrepare = 39,
    effOfflineRun = 40,
    effProcessVarIo = 41,
    effSetSpeakerArrangement = 42,
    effSetBlockSizeAndSampleRate = 43,
    effSetBypass = 44,
    effGetEffectName = 45,
    effGetErrorText = 46,
    effGetVendorString = 47,
    effGetProductString = 48,
    effGetVendorVersion = 49,
    effVendorSpecific = 50,
    effCanDo = 51,
    effGetTailSize = 52,
    effIdle = 53,
    effGetIcon = 54,
    effSetViewPosition = 55,
    effGetParameterProperties = 56,
    effKeysRequired = 57,
    effGetVstVersion = 58,
};

constexpr int32_t kFirstOpcodeV1 = effOpen;
constexpr int32_t kLastOpcodeV1 = effSetChunk;
constexpr int32_t kFirstOpcodeV2 = effProcessEvents;
constexpr int32_t kLastOpcodeV2 = effGetVstVersion;

enum HostOpcode : int32_t {
    audioMasterAutomate = 0,
    audioMasterVersion = 1,
    audioMasterCurrentId = 2,
    audioMasterIdle = 3,
    audioMasterPinConnected = 4,
    audioMasterWantMidi = 6,
    audioMasterGetTime = 7,
    audioMasterProcessEvents = 8,
    audioMasterTempoAt = 10,
    audioMasterGetNumAutomatableParameters = 11,
    audioMasterGetParameterQuantization = 12,
    audioMasterIOChanged = 13,
    audioMasterNeedIdle = 14,
    audioMasterSizeWindow = 15,
    audioMasterGetSampleRate = 16,
    audioMasterGetBlockSize = 17,
    audioMasterGetInputLatency = 18,
    audioMasterGetOutputLatency = 19,
    audioMasterGetPreviousPlug = 20,
    audioMasterGetNextPlug = 21,
    audioMasterWillReplaceOrAccumulate = 22,
    audioMasterGetCurrentProcessLevel = 23,
    audioMasterGetAutomationState = 24,
    audioMasterOfflineStart = 25,
    audioMasterOfflineRead = 26,
    audioMasterOfflineWrite = 27,
    audioMasterOfflineGetCurrentPass = 28,
    audioMasterOfflineGetCurrentMetaPass = 29,
    audioMasterSetOutputSampleRate = 30,
    audioMasterGetSpeakerArrangement = 31,
    audioMasterGetVendorString = 32,
    audioMasterGetProductString = 33,
    audioMasterGetVendorVersion = 34,
    audioMasterVendorSpecific = 35,
    audioMasterCanDo = 37,
    audioMasterGetLanguage = 38,
    audioMasterOpenWindow = 39,
    audioMasterCloseWindow = 40,
    audioMasterGetDirectory = 41,
    audioMasterUpdateDisplay = 42,
};

enum PinFlags : int32_t {
    kVstPinIsActive = 1 << 0,
    kVstPinIsStereo = 1 << 1,
};

constexpr std::size_t kPinLabelBytes = 64;
constexpr std::size_t kPinShortLabelBytes = 8;
constexpr std::size_t kPinReservedBytes = 48;

struct VstPinProperties {
    char label[kPinLabelBytes];
    int32_t flags;
    int32_t arrangementType;
    char shortLabel[kPinShortLabelBytes];
    char reserved[kPinReservedBytes];
};
static_assert(offsetof(VstPinProperties, flags) == 64, "pin flags follow the label");

struct ERect {
    int16_t top;
    int16_t left;
    int16_t bottom;
    int16_t right;
};
static_assert(sizeof(ERect) == 8, "rectangle of four 16-bit values");

// Records the interface passes through but this plug-in never looks into.
struct VstEvents;
struct VstTimeInfo;
struct VstAudioFile;
struct VstOfflineTask;
struct VstVariableIo;
struct VstSpeakerArrangement;
struct VstParameterProperties;
struct VstWindow;
