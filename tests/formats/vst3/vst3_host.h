// A VST 3 host for tests: loads the built module from its bundle as a host
// does, makes the processor and the controller, connects them and passes
// what a host passes between them (parameter changes, output parameters, the
// component's state, messages), and records what the plug-in asks of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "formats/vst3/vst3_edit.h"
#include "formats/vst3/vst3_support.h"
#include "formats/vst3/vst3_view.h"
#include "support/plugin_library.h"

namespace vst3_test {

using namespace vst3;

// What every object of the host answers alike: it offers `Interface`, and the
// test owns it, so its references are not counted.
template <typename Interface>
class HostObject : public Interface {
public:
    tresult VST3_CALL queryInterface(const char* iid, void** object) override {
        return answerQuery<Interface>(this, iid, object);
    }
    uint32_t VST3_CALL addRef() override { return 1; }
    uint32_t VST3_CALL release() override { return 1; }
};

// A stream over bytes in memory.
class MemoryStream final : public HostObject<IBStream> {
public:
    MemoryStream() = default;
    explicit MemoryStream(std::vector<uint8_t> content) : bytes(std::move(content)) {}
    tresult VST3_CALL read(void* buffer, int32_t count, int32_t* done) override;
    tresult VST3_CALL write(void* buffer, int32_t count, int32_t* done) override;
    tresult VST3_CALL seek(int64_t to, int32_t mode, int64_t* result) override;
    tresult VST3_CALL tell(int64_t* at) override;

    std::vector<uint8_t> bytes;
    size_t position = 0;
};

struct Point {
    int32_t offset;
    double value;
};

class ValueQueue final : public HostObject<IParamValueQueue> {
public:
    explicit ValueQueue(ParamID parameter) : id(parameter) {}
    ParamID VST3_CALL getParameterId() override { return id; }
    int32_t VST3_CALL getPointCount() override { return static_cast<int32_t>(points.size()); }
    tresult VST3_CALL getPoint(int32_t index, int32_t* offset, double* value) override;
    tresult VST3_CALL addPoint(int32_t offset, double value, int32_t* index) override;

    ParamID id;
    std::vector<Point> points;
};

class ParameterChanges final : public HostObject<IParameterChanges> {
public:
    int32_t VST3_CALL getParameterCount() override { return static_cast<int32_t>(queues.size()); }
    IParamValueQueue* VST3_CALL getParameterData(int32_t index) override;
    IParamValueQueue* VST3_CALL addParameterData(const ParamID* id, int32_t* index) override;

    void add(ParamID id, int32_t offset, double value);
    // The last value of a parameter's queue, or nothing.
    const ValueQueue* find(ParamID id) const;

    std::vector<std::unique_ptr<ValueQueue>> queues;
};

// What the controller asks of the host, in order.
struct HandlerCall {
    enum Kind { kBegin, kPerform, kEnd, kRestart, kProgramList } kind;
    int64_t what;  // the parameter, the restart flags, the list
    double value;
};

class ComponentHandler final : public IComponentHandler, public IUnitHandler {
public:
    tresult VST3_CALL queryInterface(const char* iid, void** object) override;
    uint32_t VST3_CALL addRef() override { return 1; }
    uint32_t VST3_CALL release() override { return 1; }
    tresult VST3_CALL beginEdit(ParamID id) override;
    tresult VST3_CALL performEdit(ParamID id, double value) override;
    tresult VST3_CALL endEdit(ParamID id) override;
    tresult VST3_CALL restartComponent(int32_t flags) override;
    tresult VST3_CALL notifyUnitSelection(UnitID) override { return kResultOk; }
    tresult VST3_CALL notifyProgramListChange(ProgramListID list, int32_t) override;

    std::vector<HandlerCall> calls;
};

// The host application: the context both halves are initialised with. It
// makes messages; on Linux its frames offer a run loop.
class HostApplication final : public HostObject<IHostApplication> {
public:
    tresult VST3_CALL getName(String128 name) override;
    tresult VST3_CALL createInstance(uint8_t cid[16], uint8_t iid[16], void** object) override;

    int32_t messagesMade = 0;
};

// The built module, loaded from its bundle and entered as hosts do.
class Vst3Module {
public:
    explicit Vst3Module(const char* path);
    ~Vst3Module();
    Vst3Module(const Vst3Module&) = delete;
    Vst3Module& operator=(const Vst3Module&) = delete;

    IPluginFactory* factory() const { return pluginFactory; }
    // The address of an exported name, or null.
    void* symbol(const char* name) const;

private:
    PluginLibrary library;
    IPluginFactory* pluginFactory = nullptr;
};

// Asks `from` for an interface; null where it has none.
template <typename Interface>
Interface* ask(FUnknown* from) {
    void* found = nullptr;
    const auto* iid = reinterpret_cast<const char*>(Interface::iid.bytes);
    if (from == nullptr || from->queryInterface(iid, &found) != kResultOk) return nullptr;
    return static_cast<Interface*>(found);
}

// One instance as a host holds it: the two halves made, initialised,
// connected and in step.
class Vst3Plugin {
public:
    Vst3Plugin(IPluginFactory* factory, HostApplication& application, ComponentHandler& handler);
    ~Vst3Plugin();
    Vst3Plugin(const Vst3Plugin&) = delete;
    Vst3Plugin& operator=(const Vst3Plugin&) = delete;

    bool valid() const { return controller != nullptr; }
    // Buses, set-up and switching on as hosts do it; false where refused.
    bool start(double rate, int32_t maxBlock, SpeakerArrangement arrangement = kArrangementStereo);
    void stop();

    // A change as a host makes it: to the controller now, to the processor at
    // `offset` of the next block.
    void change(ParamID id, double value, int32_t offset = 0);
    // The processor's part of a change alone, as an audio thread's automation.
    void queue(ParamID id, double value, int32_t offset = 0) { pending.add(id, offset, value); }
    // One block through the processor; its output parameters go to the
    // controller, as hosts pass them on. Answers process's result.
    tresult process(float* const* inputs, float* const* outputs, int32_t frames, int32_t channels = 2);
    const ParameterChanges& lastOutput() const { return output; }

    std::vector<uint8_t> state();
    // The state to the processor, and then to the controller.
    bool restore(const std::vector<uint8_t>& bytes);

    IComponent* component = nullptr;
    IAudioProcessor* processor = nullptr;
    IEditController* controller = nullptr;
    IUnitInfo* units = nullptr;

private:
    ParameterChanges pending;
    ParameterChanges output;
    IConnectionPoint* componentPoint = nullptr;
    IConnectionPoint* controllerPoint = nullptr;
    bool active = false;
};

// The processor's class among the factory's classes, and the controller's.
bool findClass(IPluginFactory* factory, const char* category, uint8_t (&cid)[16]);

}  // namespace vst3_test
