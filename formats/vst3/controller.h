// The VST 3 edit controller: what a host shows and edits. It owns an instance
// of the effect of its own, never switched on, which holds the values, the
// programs and the editor; the texts for any value come from the parameters'
// descriptors. It learns everything of the processor through the host:
// parameter changes, the component's state, the meter values as output
// parameters, the latency as a message. So it works the same whether the host
// keeps the two together or apart.
#pragma once

#include <array>
#include <memory>

#include "formats/vst3/vst3_layout.h"
#include "formats/vst3/vst3_support.h"
#include "formats/vst3/vst3_view.h"

namespace vst3 {

class PlugView;

class Controller final : public IEditController,
                         public IUnitInfo,
                         public IConnectionPoint,
                         private ModelListener {
public:
    Controller() = default;
    Controller(const Controller&) = delete;
    Controller& operator=(const Controller&) = delete;

    tresult VST3_CALL queryInterface(const char* iid, void** object) override;
    uint32_t VST3_CALL addRef() override { return references.add(); }
    uint32_t VST3_CALL release() override { return references.release(this); }

    tresult VST3_CALL initialize(FUnknown* context) override;
    tresult VST3_CALL terminate() override;

    tresult VST3_CALL setComponentState(IBStream* state) override;
    tresult VST3_CALL setState(IBStream*) override { return kResultOk; }
    tresult VST3_CALL getState(IBStream*) override { return kResultOk; }
    int32_t VST3_CALL getParameterCount() override { return kControllerParameters; }
    tresult VST3_CALL getParameterInfo(int32_t index, ParameterInfo* info) override;
    tresult VST3_CALL getParamStringByValue(ParamID id, ParamValue value, String128 text) override;
    tresult VST3_CALL getParamValueByString(ParamID id, TChar* text, ParamValue* value) override;
    ParamValue VST3_CALL normalizedParamToPlain(ParamID id, ParamValue value) override;
    ParamValue VST3_CALL plainParamToNormalized(ParamID id, ParamValue plain) override;
    ParamValue VST3_CALL getParamNormalized(ParamID id) override;
    tresult VST3_CALL setParamNormalized(ParamID id, ParamValue value) override;
    tresult VST3_CALL setComponentHandler(IComponentHandler* handler) override;
    IPlugView* VST3_CALL createView(FIDString name) override;

    int32_t VST3_CALL getUnitCount() override { return 1; }
    tresult VST3_CALL getUnitInfo(int32_t index, UnitInfo* info) override;
    int32_t VST3_CALL getProgramListCount() override { return 1; }
    tresult VST3_CALL getProgramListInfo(int32_t index, ProgramListInfo* info) override;
    tresult VST3_CALL getProgramName(ProgramListID list, int32_t program, String128 name) override;
    tresult VST3_CALL getProgramInfo(ProgramListID, int32_t, const char*, String128) override { return kResultFalse; }
    tresult VST3_CALL hasProgramPitchNames(ProgramListID, int32_t) override { return kResultFalse; }
    tresult VST3_CALL getProgramPitchName(ProgramListID, int32_t, int16_t, String128) override { return kResultFalse; }
    UnitID VST3_CALL getSelectedUnit() override { return kRootUnitId; }
    tresult VST3_CALL selectUnit(UnitID unit) override { return unit == kRootUnitId ? kResultOk : kInvalidArgument; }
    tresult VST3_CALL getUnitByBus(MediaType, BusDirection, int32_t, int32_t, UnitID* unit) override;
    tresult VST3_CALL setUnitProgramData(int32_t, int32_t, IBStream*) override { return kNotImplemented; }

    tresult VST3_CALL connect(IConnectionPoint* other) override { return peer.connect(other); }
    tresult VST3_CALL disconnect(IConnectionPoint* other) override { return peer.disconnect(other); }
    tresult VST3_CALL notify(IMessage* message) override;

    // For the editor's view: the effect (null once terminated), the context the
    // host gave at initialize (where some Linux hosts offer their run loop).
    LimiterModel* effectModel() const { return effect.get(); }
    FUnknown* hostContext() const { return context.get(); }
    void viewClosed(const PlugView* closed);

private:
    friend class References;  // deletes it at the last release
    ~Controller() override;
    void parameterEdited(int32_t index, float value) override;
    void editBegun(int32_t index) override;
    void editEnded(int32_t index) override;
    void selectProgram(int32_t program);
    void showChange();

    References references;
    std::unique_ptr<LimiterModel> effect;
    HostPointer<FUnknown> context;
    HostPointer<IComponentHandler> handler;
    ConnectionPeer peer;
    PlugView* view = nullptr;
    // The formats' own parameters (the bypass, the ceiling, the true-peak
    // switch) as the host last set them: the processor has them from the host.
    double& ownValue(ParamID id);
    std::array<double, kDescribedParameters - kParameterCount> own{};
    std::array<float, kMeterCount> meters{1.0f, 1.0f, 1.0f};
    std::array<bool, kParameterCount> editing{};  // the editor holds the control
};

}  // namespace vst3
