// The VST 3 binary interface as this adapter uses it, declared here from its
// numbers, orders and layouts: the basic object model (identifiers, results,
// reference counting), the module's class factory and the byte stream. Each
// interface is a table of operations in a fixed order with query, add and
// release first, in the platform's calling convention; no destructor is ever
// part of a table. Arguments passed by reference are pointers in the binary
// interface and are declared as pointers here, so that a null one from a
// careless host can be refused. The rest is in vst3_audio.h, vst3_edit.h and
// vst3_view.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

// Windows hosts call every operation with the standard calling convention
// (which differs from the default on 32-bit); elsewhere the default applies.
#if defined(_WIN32)
#define VST3_CALL __stdcall
#else
#define VST3_CALL
#endif

namespace vst3 {

using tresult = int32_t;
using TBool = uint8_t;
using char16 = char16_t;
using FIDString = const char*;

// Windows hosts expect the COM result codes, other systems small numbers.
#if defined(_WIN32)
enum Result : tresult {
    kNoInterface = static_cast<tresult>(0x80004002u),
    kResultOk = 0,
    kResultTrue = kResultOk,
    kResultFalse = 1,
    kInvalidArgument = static_cast<tresult>(0x80070057u),
    kNotImplemented = static_cast<tresult>(0x80004001u),
    kInternalError = static_cast<tresult>(0x80004005u),
    kNotInitialized = static_cast<tresult>(0x8000FFFFu),
    kOutOfMemory = static_cast<tresult>(0x8007000Eu),
};
#else
enum Result : tresult {
    kNoInterface = -1,
    kResultOk = 0,
    kResultTrue = kResultOk,
    kResultFalse = 1,
    kInvalidArgument = 2,
    kNotImplemented = 3,
    kInternalError = 4,
    kNotInitialized = 5,
    kOutOfMemory = 6,
};
#endif

// A 16-byte identifier made of four 32-bit words. Windows lays the first two
// words out as a COM GUID does (the first little-endian, the second as two
// little-endian halves); elsewhere, and for the last two words everywhere,
// the bytes follow the words' order, most significant first.
struct Uid {
    uint8_t bytes[16];

    bool matches(const void* other) const { return other != nullptr && std::memcmp(bytes, other, sizeof bytes) == 0; }
};
static_assert(sizeof(Uid) == 16, "an identifier is 16 bytes");

constexpr uint8_t byteOf(uint32_t word, int shift) { return static_cast<uint8_t>(word >> shift); }

constexpr Uid makeUid(uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
#if defined(_WIN32)
    return Uid{{byteOf(a, 0), byteOf(a, 8), byteOf(a, 16), byteOf(a, 24), byteOf(b, 16), byteOf(b, 24), byteOf(b, 0),
                byteOf(b, 8), byteOf(c, 24), byteOf(c, 16), byteOf(c, 8), byteOf(c, 0), byteOf(d, 24), byteOf(d, 16),
                byteOf(d, 8), byteOf(d, 0)}};
#else
    return Uid{{byteOf(a, 24), byteOf(a, 16), byteOf(a, 8), byteOf(a, 0), byteOf(b, 24), byteOf(b, 16), byteOf(b, 8),
                byteOf(b, 0), byteOf(c, 24), byteOf(c, 16), byteOf(c, 8), byteOf(c, 0), byteOf(d, 24), byteOf(d, 16),
                byteOf(d, 8), byteOf(d, 0)}};
#endif
}

class FUnknown {
public:
    virtual tresult VST3_CALL queryInterface(const char* iid, void** object) = 0;
    virtual uint32_t VST3_CALL addRef() = 0;
    virtual uint32_t VST3_CALL release() = 0;
    static constexpr Uid iid = makeUid(0x00000000, 0x00000000, 0xC0000000, 0x00000046);
};

class IPluginBase : public FUnknown {
public:
    virtual tresult VST3_CALL initialize(FUnknown* context) = 0;
    virtual tresult VST3_CALL terminate() = 0;
    static constexpr Uid iid = makeUid(0x22888DDB, 0x156E45AE, 0x8358B348, 0x08190625);
};

// Texts in factory records are 8-bit in the older records, UTF-16 in the newest.
constexpr size_t kNameSize = 64;
constexpr size_t kUrlSize = 256;
constexpr size_t kEmailSize = 128;
constexpr size_t kCategorySize = 32;
constexpr size_t kSubCategoriesSize = 128;
constexpr size_t kVersionSize = 64;
constexpr int32_t kManyInstances = 0x7FFFFFFF;
constexpr int32_t kUnicodeFactory = 1 << 4;

struct PFactoryInfo {
    char vendor[kNameSize];
    char url[kUrlSize];
    char email[kEmailSize];
    int32_t flags;
};
static_assert(sizeof(PFactoryInfo) == 452, "factory record");
static_assert(offsetof(PFactoryInfo, flags) == 448, "factory flags");

struct PClassInfo {
    uint8_t cid[16];
    int32_t cardinality;
    char category[kCategorySize];
    char name[kNameSize];
};
static_assert(sizeof(PClassInfo) == 116, "class record");
static_assert(offsetof(PClassInfo, name) == 52, "class name");

struct PClassInfo2 {
    uint8_t cid[16];
    int32_t cardinality;
    char category[kCategorySize];
    char name[kNameSize];
    uint32_t classFlags;
    char subCategories[kSubCategoriesSize];
    char vendor[kNameSize];
    char version[kVersionSize];
    char sdkVersion[kVersionSize];
};
static_assert(sizeof(PClassInfo2) == 440, "class record, second version");
static_assert(offsetof(PClassInfo2, classFlags) == 116, "class flags");
static_assert(offsetof(PClassInfo2, sdkVersion) == 376, "interface version text");

struct PClassInfoW {
    uint8_t cid[16];
    int32_t cardinality;
    char category[kCategorySize];
    char16 name[kNameSize];
    uint32_t classFlags;
    char subCategories[kSubCategoriesSize];
    char16 vendor[kNameSize];
    char16 version[kVersionSize];
    char16 sdkVersion[kVersionSize];
};
static_assert(sizeof(PClassInfoW) == 696, "class record, UTF-16 version");
static_assert(offsetof(PClassInfoW, classFlags) == 180, "class flags");
static_assert(offsetof(PClassInfoW, vendor) == 312, "class vendor");
static_assert(offsetof(PClassInfoW, sdkVersion) == 568, "interface version text");

class IPluginFactory : public FUnknown {
public:
    virtual tresult VST3_CALL getFactoryInfo(PFactoryInfo* info) = 0;
    virtual int32_t VST3_CALL countClasses() = 0;
    virtual tresult VST3_CALL getClassInfo(int32_t index, PClassInfo* info) = 0;
    virtual tresult VST3_CALL createInstance(FIDString cid, FIDString iid, void** object) = 0;
    static constexpr Uid iid = makeUid(0x7A4D811C, 0x52114A1F, 0xAED9D2EE, 0x0B43BF9F);
};

class IPluginFactory2 : public IPluginFactory {
public:
    virtual tresult VST3_CALL getClassInfo2(int32_t index, PClassInfo2* info) = 0;
    static constexpr Uid iid = makeUid(0x0007B650, 0xF24B4C0B, 0xA464EDB9, 0xF00B2ABB);
};

class IPluginFactory3 : public IPluginFactory2 {
public:
    virtual tresult VST3_CALL getClassInfoUnicode(int32_t index, PClassInfoW* info) = 0;
    virtual tresult VST3_CALL setHostContext(FUnknown* context) = 0;
    static constexpr Uid iid = makeUid(0x4555A2AB, 0xC1234E57, 0x9B122910, 0x36878931);
};

enum SeekMode : int32_t { kSeekSet = 0, kSeekCurrent = 1, kSeekEnd = 2 };

class IBStream : public FUnknown {
public:
    virtual tresult VST3_CALL read(void* buffer, int32_t bytes, int32_t* bytesRead) = 0;
    virtual tresult VST3_CALL write(void* buffer, int32_t bytes, int32_t* bytesWritten) = 0;
    virtual tresult VST3_CALL seek(int64_t position, int32_t mode, int64_t* result) = 0;
    virtual tresult VST3_CALL tell(int64_t* position) = 0;
    static constexpr Uid iid = makeUid(0xC3BF6EA2, 0x30994752, 0x9B6BF990, 0x1EE33E9B);
};

// The module's entry points, exported by name (vst3.def, vst3_exports.map).
using GetFactoryProc = IPluginFactory* (VST3_CALL*)();

}  // namespace vst3
