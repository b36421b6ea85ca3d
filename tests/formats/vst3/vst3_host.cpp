#include "formats/vst3/vst3_host.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace vst3_test {

namespace {

// Messages as the host makes them for the plug-in; they delete themselves.
class AttributeList final : public HostObject<IAttributeList> {
public:
    tresult VST3_CALL setInt(AttrID, int64_t) override { return kResultOk; }
    tresult VST3_CALL getInt(AttrID, int64_t*) override { return kResultFalse; }
    tresult VST3_CALL setFloat(AttrID, double) override { return kResultOk; }
    tresult VST3_CALL getFloat(AttrID, double*) override { return kResultFalse; }
    tresult VST3_CALL setString(AttrID, const TChar*) override { return kResultOk; }
    tresult VST3_CALL getString(AttrID, TChar*, uint32_t) override { return kResultFalse; }
    tresult VST3_CALL setBinary(AttrID, const void*, uint32_t) override { return kResultOk; }
    tresult VST3_CALL getBinary(AttrID, const void**, uint32_t*) override { return kResultFalse; }
};

class Message final : public IMessage {
public:
    tresult VST3_CALL queryInterface(const char* iid, void** object) override {
        return answerQuery<IMessage>(this, iid, object);
    }
    uint32_t VST3_CALL addRef() override { return ++references; }
    uint32_t VST3_CALL release() override {
        if (--references > 0) return references;
        delete this;
        return 0;
    }
    FIDString VST3_CALL getMessageID() override { return id.c_str(); }
    void VST3_CALL setMessageID(FIDString given) override { id = given != nullptr ? given : ""; }
    IAttributeList* VST3_CALL getAttributes() override { return &attributes; }

private:
    uint32_t references = 1;
    std::string id;
    AttributeList attributes;
};

}  // namespace

tresult MemoryStream::read(void* buffer, int32_t count, int32_t* done) {
    if (buffer == nullptr || count < 0) return kInvalidArgument;
    const size_t n = std::min(static_cast<size_t>(count), bytes.size() - std::min(position, bytes.size()));
    if (n > 0) std::memcpy(buffer, bytes.data() + position, n);
    position += n;
    if (done != nullptr) *done = static_cast<int32_t>(n);
    return kResultOk;
}

tresult MemoryStream::write(void* buffer, int32_t count, int32_t* done) {
    if (buffer == nullptr || count < 0) return kInvalidArgument;
    const auto* from = static_cast<const uint8_t*>(buffer);
    if (bytes.size() < position + static_cast<size_t>(count)) bytes.resize(position + static_cast<size_t>(count));
    std::copy(from, from + count, bytes.begin() + static_cast<std::ptrdiff_t>(position));
    position += static_cast<size_t>(count);
    if (done != nullptr) *done = count;
    return kResultOk;
}

tresult MemoryStream::seek(int64_t to, int32_t mode, int64_t* result) {
    const int64_t base = mode == kSeekSet ? 0 : mode == kSeekCurrent ? static_cast<int64_t>(position)
                                                                      : static_cast<int64_t>(bytes.size());
    if (base + to < 0) return kInvalidArgument;
    position = static_cast<size_t>(base + to);
    if (result != nullptr) *result = base + to;
    return kResultOk;
}

tresult MemoryStream::tell(int64_t* at) {
    if (at == nullptr) return kInvalidArgument;
    *at = static_cast<int64_t>(position);
    return kResultOk;
}

tresult ValueQueue::getPoint(int32_t index, int32_t* offset, double* value) {
    if (index < 0 || index >= getPointCount() || offset == nullptr || value == nullptr) return kInvalidArgument;
    *offset = points[static_cast<size_t>(index)].offset;
    *value = points[static_cast<size_t>(index)].value;
    return kResultOk;
}

tresult ValueQueue::addPoint(int32_t offset, double value, int32_t* index) {
    points.push_back({offset, value});
    if (index != nullptr) *index = getPointCount() - 1;
    return kResultOk;
}

IParamValueQueue* ParameterChanges::getParameterData(int32_t index) {
    return index >= 0 && index < getParameterCount() ? queues[static_cast<size_t>(index)].get() : nullptr;
}

IParamValueQueue* ParameterChanges::addParameterData(const ParamID* id, int32_t* index) {
    if (id == nullptr) return nullptr;
    for (size_t i = 0; i < queues.size(); ++i) {
        if (queues[i]->id != *id) continue;
        if (index != nullptr) *index = static_cast<int32_t>(i);
        return queues[i].get();
    }
    queues.push_back(std::make_unique<ValueQueue>(*id));
    if (index != nullptr) *index = getParameterCount() - 1;
    return queues.back().get();
}

void ParameterChanges::add(ParamID id, int32_t offset, double value) {
    int32_t index = 0;
    addParameterData(&id, &index)->addPoint(offset, value, &index);
}

const ValueQueue* ParameterChanges::find(ParamID id) const {
    for (const auto& queue : queues) {
        if (queue->id == id) return queue.get();
    }
    return nullptr;
}

tresult ComponentHandler::queryInterface(const char* iid, void** object) {
    return answerQuery<IComponentHandler, IUnitHandler>(this, iid, object);
}
tresult ComponentHandler::beginEdit(ParamID id) {
    calls.push_back({HandlerCall::kBegin, id, 0.0});
    return kResultOk;
}
tresult ComponentHandler::performEdit(ParamID id, double value) {
    calls.push_back({HandlerCall::kPerform, id, value});
    return kResultOk;
}
tresult ComponentHandler::endEdit(ParamID id) {
    calls.push_back({HandlerCall::kEnd, id, 0.0});
    return kResultOk;
}
tresult ComponentHandler::restartComponent(int32_t flags) {
    calls.push_back({HandlerCall::kRestart, flags, 0.0});
    return kResultOk;
}
tresult ComponentHandler::notifyProgramListChange(ProgramListID list, int32_t) {
    calls.push_back({HandlerCall::kProgramList, list, 0.0});
    return kResultOk;
}

tresult HostApplication::getName(String128 name) {
    copyText(name, kString128, "quillo test host");
    return kResultOk;
}

tresult HostApplication::createInstance(uint8_t cid[16], uint8_t iid[16], void** object) {
    if (object == nullptr) return kInvalidArgument;
    *object = nullptr;
    if (!IMessage::iid.matches(cid)) return kNoInterface;
    auto* message = new Message;
    const tresult result = message->queryInterface(reinterpret_cast<const char*>(iid), object);
    message->release();
    messagesMade += result == kResultOk ? 1 : 0;
    return result;
}

Vst3Module::Vst3Module(const char* path) : library(path) {
#if defined(_WIN32)
    auto enter = reinterpret_cast<bool (*)()>(symbol("InitDll"));
    if (enter == nullptr || !enter()) return;
#else
    auto enter = reinterpret_cast<bool (*)(void*)>(symbol("ModuleEntry"));
    if (enter == nullptr || !enter(library.native())) return;
#endif
    auto entry = reinterpret_cast<GetFactoryProc>(symbol("GetPluginFactory"));
    pluginFactory = entry != nullptr ? entry() : nullptr;
}

// The module is left before the library unloads it.
Vst3Module::~Vst3Module() {
    if (!library.loaded()) return;
    if (pluginFactory != nullptr) pluginFactory->release();
#if defined(_WIN32)
    const char* const leaving = "ExitDll";
#else
    const char* const leaving = "ModuleExit";
#endif
    if (auto leave = reinterpret_cast<bool (*)()>(symbol(leaving))) leave();
}

void* Vst3Module::symbol(const char* name) const { return reinterpret_cast<void*>(library.entry(name)); }

bool findClass(IPluginFactory* factory, const char* category, uint8_t (&cid)[16]) {
    for (int32_t i = 0; factory != nullptr && i < factory->countClasses(); ++i) {
        PClassInfo info{};
        if (factory->getClassInfo(i, &info) == kResultOk && std::strcmp(info.category, category) == 0) {
            std::memcpy(cid, info.cid, sizeof cid);
            return true;
        }
    }
    return false;
}

}  // namespace vst3_test
