#include "formats/vst3/factory.h"

#include <cstring>
#include <new>
#include <string>

#include "formats/vst3/controller.h"
#include "formats/vst3/processor.h"

#ifndef QUILLO_VERSION
#error "QUILLO_VERSION must give the product's version"
#endif

namespace vst3 {

namespace {

constexpr char kInterfaceVersion[] = "VST 3.7.2";
constexpr int32_t kClassCount = 2;

struct ClassDescription {
    const Uid& id;
    const char* category;
    const char* subCategories;
    uint32_t flags;
};

// The processor may run apart from its controller: all they share goes through the host.
const ClassDescription kClasses[kClassCount] = {
    {kProcessorClassId, kAudioEffectClass, kDynamicsSubCategory, kDistributable},
    {kControllerClassId, kComponentControllerClass, "", 0},
};

template <typename Info>
void describeClass(const ClassDescription& description, Info& info) {
    std::memset(&info, 0, sizeof info);
    std::memcpy(info.cid, description.id.bytes, sizeof info.cid);
    info.cardinality = kManyInstances;
    copyText(info.category, kCategorySize, description.category);
    copyText(info.name, kNameSize, kEffectName);
}

// The second and the UTF-16 record alike.
template <typename Info>
void describeFully(const ClassDescription& description, Info& info) {
    describeClass(description, info);
    info.classFlags = description.flags;
    copyText(info.subCategories, kSubCategoriesSize, description.subCategories);
    copyText(info.vendor, kNameSize, kVendorName);
    copyText(info.version, kVersionSize, QUILLO_VERSION);
    copyText(info.sdkVersion, kVersionSize, kInterfaceVersion);
}

// The new object's own reference ends here; the host holds the one it asked for.
template <typename Object>
tresult hand(Object* created, FIDString iid, void** object) {
    if (created == nullptr) return kOutOfMemory;
    const tresult result = created->queryInterface(iid, object);
    created->release();
    return result;
}

class Factory final : public IPluginFactory3 {
public:
    tresult VST3_CALL queryInterface(const char* iid, void** object) override {
        return answerQuery<IPluginFactory3, IPluginFactory2, IPluginFactory>(this, iid, object);
    }
    // Lives as long as the module: references are not counted.
    uint32_t VST3_CALL addRef() override { return 1; }
    uint32_t VST3_CALL release() override { return 1; }

    tresult VST3_CALL getFactoryInfo(PFactoryInfo* info) override {
        if (info == nullptr) return kInvalidArgument;
        std::memset(info, 0, sizeof *info);
        copyText(info->vendor, kNameSize, kVendorName);
        info->flags = kUnicodeFactory;
        return kResultOk;
    }

    int32_t VST3_CALL countClasses() override { return kClassCount; }

    tresult VST3_CALL getClassInfo(int32_t index, PClassInfo* info) override {
        if (info == nullptr || index < 0 || index >= kClassCount) return kInvalidArgument;
        describeClass(kClasses[index], *info);
        return kResultOk;
    }

    tresult VST3_CALL getClassInfo2(int32_t index, PClassInfo2* info) override {
        if (info == nullptr || index < 0 || index >= kClassCount) return kInvalidArgument;
        describeFully(kClasses[index], *info);
        return kResultOk;
    }

    tresult VST3_CALL getClassInfoUnicode(int32_t index, PClassInfoW* info) override {
        if (info == nullptr || index < 0 || index >= kClassCount) return kInvalidArgument;
        describeFully(kClasses[index], *info);
        return kResultOk;
    }

    tresult VST3_CALL setHostContext(FUnknown*) override { return kResultOk; }

    tresult VST3_CALL createInstance(FIDString cid, FIDString iid, void** object) override {
        if (object == nullptr) return kInvalidArgument;
        *object = nullptr;
        if (cid == nullptr || iid == nullptr) return kInvalidArgument;
        try {
            if (kProcessorClassId.matches(cid)) return hand(new (std::nothrow) Processor, iid, object);
            if (kControllerClassId.matches(cid)) return hand(new (std::nothrow) Controller, iid, object);
        } catch (...) {
            return kOutOfMemory;
        }
        return kResultFalse;
    }
};

}  // namespace

IPluginFactory* moduleFactory() {
    static Factory factory;
    return &factory;
}

}  // namespace vst3
